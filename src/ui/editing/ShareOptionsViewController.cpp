#include "ui/editing/ShareOptionsViewController.h"

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/StandardPaths.h"
#include "platform/foundation/StringTable.h"
#include "ui/UiNotifications.h"

#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

struct Target {
    const char* name;
    const char* title;
    const char* badge;
};

const Target kTargets[4] = {{"movieFileButton", "Movie File", "video_file"},
                            {"videoSiteButton", "Video Site", "png_vs_logo_180x72"},
                            {"socialSiteButton", "Social Site", "png_ss_logo_180x72"},
                            {"burnDVDButton", "DVD", "dvd_disc_180x72"}};

} // namespace

ShareOptionsViewController::ShareOptionsViewController(QWidget* parent) : QWidget(parent) {
    setObjectName("ShareOptionsViewController");
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(6, 6, 6, 6);
    column->setSpacing(6);
    for (int choice = 0; choice < 4; ++choice) {
        const Target& target = kTargets[choice];
        // The badge names the target; the title stays as tool tip and accessible name.
        auto* button = new QPushButton(this);
        button->setObjectName(target.name);
        button->setFocusPolicy(Qt::NoFocus);
        button->setToolTip(tr_(target.title));
        button->setAccessibleName(tr_(target.title));
        const QPixmap badge(platform::paths::pathForResource(target.badge, "png"));
        if (badge.isNull()) {
            button->setText(tr_(target.title));
        } else {
            button->setIcon(badge);
            button->setIconSize(badge.size());
            button->setFlat(true);
        }
        connect(button, &QPushButton::clicked, this, [choice] { post(choice); });
        buttons[choice] = button;
        column->addWidget(button);
    }
}

QPushButton* ShareOptionsViewController::button(int choice) const {
    return choice >= 0 && choice < 4 ? buttons[choice] : nullptr;
}

void ShareOptionsViewController::post(int choice) {
    platform::NotificationCenter::defaultCenter().post(kNotifyShareOptionButtonClick, choice);
}
