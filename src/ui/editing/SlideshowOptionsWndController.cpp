#include "ui/editing/SlideshowOptionsWndController.h"

#include "model/SlideshowProject.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/StringTable.h"
#include "ui/UiNotifications.h"
#include "ui/editing/SlideshowOptionsViewController.h"
#include "ui/main/ControllerDialogs.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {

QSlider* durationSlider(QWidget* parent, const QString& name, int maximumTenths) {
    auto* control = new QSlider(Qt::Horizontal, parent);
    control->setObjectName(name);
    control->setRange(SlideshowOptionsViewController::kMinTenths, maximumTenths);
    control->setMinimumWidth(220);
    return control;
}

QHBoxLayout* row(QWidget* first, QWidget* second) {
    auto* line = new QHBoxLayout;
    line->addWidget(first, 1);
    line->addWidget(second);
    return line;
}

} // namespace

SlideshowOptionsWndController::SlideshowOptionsWndController(ControllerDialogs* dialogs,
                                                             ProjectSource project, QWidget* parent)
    : QDialog(parent), dialogs(dialogs), projectSource(std::move(project)) {
    setObjectName("SlideshowOptions");
    setWindowTitle(tr_("Options"));
    photoSlider =
        durationSlider(this, "sliderSlideshowTime", SlideshowOptionsViewController::kMaxPhotoTenths);
    transitionSlider =
        durationSlider(this, "sliderTransitionTime", SlideshowOptionsViewController::kMaxTransitionTenths);
    photoText = new QLabel(this);
    photoText->setObjectName("slideshowTextField");
    transitionText = new QLabel(this);
    transitionText->setObjectName("transitionTime");
    repeat = new QCheckBox(tr_("Repeat"), this);
    repeat->setObjectName("btnRepeat");
    outputFolder = new QLineEdit(this);
    outputFolder->setObjectName("outputVideoPathTextField");
    outputFolder->setReadOnly(true);
    browse = new QPushButton(tr_("Browse..."), this);
    browse->setObjectName("btnBrowserOutputPath");
    mp4 = new QRadioButton(QStringLiteral("MP4"), this);
    mp4->setObjectName("mp4ButtonCell");
    mov = new QRadioButton(QStringLiteral("MOV"), this);
    mov->setObjectName("movButtonCell");
    auto* format = new QButtonGroup(this);
    format->addButton(mp4);
    format->addButton(mov);
    signOutVideoSite = new QPushButton(tr_("Sign Out of the Video Site"), this);
    signOutVideoSite->setObjectName("btnSignoutVideoSite");
    signOutSocialSite = new QPushButton(tr_("Sign Out of the Social Site"), this);
    signOutSocialSite->setObjectName("btnSignoutSocialSite");

    auto* formats = new QHBoxLayout;
    formats->addWidget(mp4);
    formats->addWidget(mov);
    formats->addStretch();
    auto* signOuts = new QHBoxLayout;
    signOuts->addWidget(signOutVideoSite);
    signOuts->addWidget(signOutSocialSite);
    auto* form = new QFormLayout;
    form->addRow(tr_("Photo duration:"), row(photoSlider, photoText));
    form->addRow(tr_("Transition duration:"), row(transitionSlider, transitionText));
    form->addRow(QString(), repeat);
    form->addRow(tr_("Output folder:"), row(outputFolder, browse));
    form->addRow(tr_("Movie format:"), formats);
    form->addRow(tr_("Accounts:"), signOuts);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    auto* column = new QVBoxLayout(this);
    column->addLayout(form);
    column->addWidget(buttons);

    windowDidLoad();
    connect(photoSlider, &QSlider::valueChanged, this, &SlideshowOptionsWndController::SliderShowTimeChanged);
    connect(transitionSlider, &QSlider::valueChanged, this,
            &SlideshowOptionsWndController::SliderTransitionTimeChanged);
    connect(repeat, &QCheckBox::clicked, this, &SlideshowOptionsWndController::buttonRepeatClicked);
    connect(browse, &QPushButton::clicked, this, &SlideshowOptionsWndController::buttonBrowseClicked);
    connect(mp4, &QRadioButton::clicked, this, &SlideshowOptionsWndController::mp4ButtonCellClicked);
    connect(mov, &QRadioButton::clicked, this, &SlideshowOptionsWndController::movButtonCellClicked);
    connect(signOutVideoSite, &QPushButton::clicked, this,
            &SlideshowOptionsWndController::buttonSignoutVideoSiteClicked);
    connect(signOutSocialSite, &QPushButton::clicked, this,
            &SlideshowOptionsWndController::buttonSignoutSocialSiteClicked);
    connect(buttons, &QDialogButtonBox::rejected, this, &SlideshowOptionsWndController::CloseWnd);
    auto& center = platform::NotificationCenter::defaultCenter();
    optionsObserver = {
        center, center.addObserver(kNotifySlideshowOptionsChanged,
                                   [this](const platform::Notification&) { showDurationsAndRepeat(); })};
}

void SlideshowOptionsWndController::windowDidLoad() {
    showDurationsAndRepeat();
    outputFolder->setText(SlideshowProject::strOutputVideoPath());
    const bool isMP4 = SlideshowProject::strVideoOutputFormat() == QLatin1String("MP4");
    (isMP4 ? mp4 : mov)->setChecked(true);
    browse->setEnabled(false);
}

void SlideshowOptionsWndController::showDurationsAndRepeat() {
    if (const auto project = projectSource())
        SlideshowOptionsViewController::showDurationsAndRepeat(
            *project, {photoSlider, photoText, transitionSlider, transitionText, repeat});
}

void SlideshowOptionsWndController::SliderShowTimeChanged() {
    if (const auto project = projectSource()) {
        project->setFltPhotoDuration(photoSlider->value() / 10.0f);
        photoText->setText(SlideshowOptionsViewController::durationText(project->fltPhotoDuration()));
        project->setBIsDirty(true);
        SlideshowOptionsViewController::postOptionsChanged();
    }
}

void SlideshowOptionsWndController::SliderTransitionTimeChanged() {
    if (const auto project = projectSource()) {
        project->setFltTransitionDuration(transitionSlider->value() / 10.0f);
        transitionText->setText(
            SlideshowOptionsViewController::durationText(project->fltTransitionDuration()));
        project->setBIsDirty(true);
        SlideshowOptionsViewController::postOptionsChanged();
    }
}

void SlideshowOptionsWndController::buttonRepeatClicked() {
    if (const auto project = projectSource()) {
        project->setBPlayLoop(repeat->isChecked());
        project->setBIsDirty(true);
        SlideshowOptionsViewController::postOptionsChanged();
    }
}

void SlideshowOptionsWndController::buttonBrowseClicked() {
    if (!dialogs)
        return;
    const QString chosen = dialogs->runFolderOpenPanel(SlideshowProject::strOutputVideoPath());
    if (chosen.isEmpty())
        return;
    SlideshowProject::setStrOutputVideoPath(chosen);
    outputFolder->setText(chosen);
}

void SlideshowOptionsWndController::mp4ButtonCellClicked() {
    SlideshowProject::setStrVideoOutputFormat(QStringLiteral("MP4"));
}

void SlideshowOptionsWndController::movButtonCellClicked() {
    SlideshowProject::setStrVideoOutputFormat(QStringLiteral("MOV"));
}

void SlideshowOptionsWndController::buttonSignoutVideoSiteClicked() {
    platform::NotificationCenter::defaultCenter().post(kNotifySignoutVideoSite);
    if (dialogs) // the service's own words, not translated
        dialogs->runModalAlert(QStringLiteral("Vistrelle"),
                               QStringLiteral("VideoSite Signin information was cleared."));
}

void SlideshowOptionsWndController::buttonSignoutSocialSiteClicked() {
    platform::NotificationCenter::defaultCenter().post(kNotifySignoutSocialSite);
}
