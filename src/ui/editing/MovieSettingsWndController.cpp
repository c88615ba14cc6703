#include "ui/editing/MovieSettingsWndController.h"

#include "model/SlideshowProject.h"
#include "platform/foundation/StandardPaths.h"
#include "platform/foundation/StringTable.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString kPhotoLibrary = QStringLiteral("PhotoLibrary");
const QString kVideoSite = QStringLiteral("VideoSite");
const QString kSocialSite = QStringLiteral("SocialSite");

QString iconFor(const QString& service) {
    if (service == kVideoSite)
        return QStringLiteral("png_vs_logo_180x72");
    if (service == kSocialSite)
        return QStringLiteral("png_ss_logo_180x72");
    return QStringLiteral("video_file");
}

} // namespace

QStringList MovieSettingsWndController::videoSizeTitles() {
    return {tr_("Medium - 360p"), tr_("Large - 540p"), tr_("HD - 720p"), tr_("HD - 1080p")};
}

QStringList MovieSettingsWndController::privacyTitles(const QString& serviceName) {
    if (serviceName == kVideoSite) // the service's own words
        return {QStringLiteral("Public"), QStringLiteral("Unlisted"), QStringLiteral("Private")};
    if (serviceName == kSocialSite)
        return {tr_("Everyone"), tr_("Friends of Friends"), tr_("Only Friends"), tr_("Only Me")};
    return {};
}

MovieSettingsWndController::MovieSettingsWndController(ProjectSource project, QWidget* parent)
    : QDialog(parent), projectSource(std::move(project)) {
    setObjectName("MovieSettingsWnd");
    setWindowTitle(tr_("Movie Settings"));
    icon = new QLabel(this);
    icon->setObjectName("serviceIcon");
    icon->setAlignment(Qt::AlignCenter);
    title = new QLineEdit(this);
    title->setObjectName("titleTextField");
    description = new QPlainTextEdit(this);
    description->setObjectName("descriptionTextField");
    description->setTabChangesFocus(true);
    description->setFixedHeight(title->sizeHint().height() * 3);
    videoSize = new QComboBox(this);
    videoSize->setObjectName("videoSizePopup");
    privacy = new QComboBox(this);
    privacy->setObjectName("privacyPopup");
    privacyLabel = new QLabel(tr_("Privacy:"), this);
    privacyLabel->setObjectName("labelPrivacy");

    auto* form = new QFormLayout;
    form->addRow(tr_("Title:"), title);
    form->addRow(tr_("Description:"), description);
    form->addRow(tr_("Video size:"), videoSize);
    form->addRow(privacyLabel, privacy);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &MovieSettingsWndController::OKButtonClicked);
    connect(buttons, &QDialogButtonBox::rejected, this, &MovieSettingsWndController::CancelButtonClicked);
    auto* column = new QVBoxLayout(this);
    column->addWidget(icon);
    column->addLayout(form);
    column->addWidget(buttons);
    setMinimumWidth(440);
    windowDidLoad();
}

void MovieSettingsWndController::windowDidLoad() {
    const auto project = projectSource();
    service = project ? project->strShareServceType() : QString();
    addVideoSizeOptions(videoSizeTitles());
    icon->setPixmap(QPixmap(platform::paths::pathForResource(iconFor(service), "png")));
    const QStringList privacyList = privacyTitles(service);
    addPrivacyOptions(privacyList);
    privacy->setVisible(!privacyList.isEmpty());
    privacyLabel->setVisible(!privacyList.isEmpty());
}

void MovieSettingsWndController::addVideoSizeOptions(const QStringList& titles) {
    videoSize->clear();
    videoSize->addItems(titles);
    videoSize->setCurrentIndex(service == kPhotoLibrary ? 3 : 2);
}

void MovieSettingsWndController::addPrivacyOptions(const QStringList& titles) {
    privacy->clear();
    privacy->addItems(titles);
}

void MovieSettingsWndController::OKButtonClicked() {
    if (const auto project = projectSource()) {
        // An empty field keeps what an earlier export stored.
        if (!title->text().isEmpty())
            project->setShareOption("Title", title->text());
        if (!description->toPlainText().isEmpty())
            project->setShareOption("Description", description->toPlainText());
        project->setShareOption("VideoSize", videoSize->currentIndex());
        // A service without a privacy list stores the first (and only meaningful) index.
        project->setShareOption("Privacy", std::max(privacy->currentIndex(), 0));
    }
    accept();
}
