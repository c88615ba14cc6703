#include "ui/editing/PhotoMusicSyncForExportWindowController.h"

#include "platform/foundation/StringTable.h"
#include "ui/editing/PhotoMusicSyncViewController.h"
#include "ui/main/ControllerDialogs.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QVBoxLayout>

PhotoMusicSyncForExportWindowController::PhotoMusicSyncForExportWindowController(ControllerDialogs& dialogs,
                                                                                 ProjectSource project,
                                                                                 QWidget* parent)
    : QDialog(parent), dialogs(dialogs), projectSource(std::move(project)), musicInfo(new QLabel(this)),
      slideshowInfo(new QLabel(this)), sync(new QPushButton(tr_("Sync"), this)),
      ignore(new QPushButton(tr_("Ignore"), this)), cancel(new QPushButton(tr_("Cancel"), this)) {
    setObjectName("PhotoMusicSyncForExportWindow");
    setWindowTitle(tr_("Music Video"));
    musicInfo->setObjectName("musicInfoTextField");
    slideshowInfo->setObjectName("slideshowInfoTextField");
    auto* explanation = new QLabel(tr_("The photos of this music video do not last as long as its music."),
                                   this); // the window owns its parts
    explanation->setWordWrap(true);
    auto* buttons = new QHBoxLayout; // the column below takes it
    buttons->addStretch();
    for (QPushButton* button : {cancel, ignore, sync}) {
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    sync->setDefault(true);
    auto* column = new QVBoxLayout(this); // the window owns its layout
    column->addWidget(explanation);
    column->addWidget(musicInfo);
    column->addWidget(slideshowInfo);
    column->addLayout(buttons);
    connect(sync, &QPushButton::clicked, this, &PhotoMusicSyncForExportWindowController::syncButtonClicked);
    connect(ignore, &QPushButton::clicked, this,
            &PhotoMusicSyncForExportWindowController::ignoreButtonClicked);
    connect(cancel, &QPushButton::clicked, this,
            &PhotoMusicSyncForExportWindowController::cancelButtonClicked);
    windowDidLoad();
}

void PhotoMusicSyncForExportWindowController::windowDidLoad() {
    const auto project = projectSource();
    musicInfo->setText(PhotoMusicSyncViewController::musicInfoText(project.get()));
    slideshowInfo->setText(PhotoMusicSyncViewController::slideshowInfoText(project.get()));
}

// The slides' own durations stay as they are here.
void PhotoMusicSyncForExportWindowController::syncButtonClicked() {
    if (!PhotoMusicSyncViewController::confirmSync(dialogs))
        return;
    const QVariantMap result = PhotoMusicSyncViewController::runSync(projectSource(), false);
    if (result.value(QStringLiteral("failType")).toString() != QLatin1String("Success")) {
        windowDidLoad();
        dialogs.runModalAlert(result.value(QStringLiteral("desc")).toString(), QString());
        return;
    }
    done(1);
}

void PhotoMusicSyncForExportWindowController::closeEvent(QCloseEvent* event) {
    done(0);
    event->accept();
}
