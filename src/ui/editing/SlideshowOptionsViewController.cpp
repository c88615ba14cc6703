#include "ui/editing/SlideshowOptionsViewController.h"

#include "model/MainWindowServices.h"
#include "model/SlideshowProject.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/StringTable.h"
#include "ui/UiNotifications.h"
#include "ui/controls/IVInspectorViewContainer.h"
#include "ui/main/ControllerDialogs.h"

#include <QBoxLayout>
#include <QEvent>
#include <QFormLayout>
#include <QRadioButton>
#include <QScrollArea>
#include <QSignalBlocker>

#include <cmath>

namespace {

constexpr int kVolumeSteps = 100;

QSlider* slider(QWidget* parent, const QString& name, int minimum, int maximum) {
    auto* control = new QSlider(Qt::Horizontal, parent);
    control->setObjectName(name);
    control->setRange(minimum, maximum);
    return control;
}

QLabel* readOut(QWidget* parent, const QString& name) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setMinimumWidth(52);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

QHBoxLayout* sliderRow(QSlider* control, QLabel* text) {
    auto* row = new QHBoxLayout;
    row->addWidget(control, 1);
    row->addWidget(text);
    return row;
}

QString volumeText(float level) {
    return QString::asprintf("%.2f", double(level));
}

void setChecked(QButtonGroup* group, int id) {
    if (QAbstractButton* button = group->button(id))
        button->setChecked(true);
}

} // namespace

QString SlideshowOptionsViewController::durationText(float seconds) {
    const int tenths = static_cast<int>(seconds * 10.0f); // in float: 2.3 stays 23 tenths
    return QString::asprintf(qPrintable(tr_("%d.%d sec")), tenths / 10, tenths % 10);
}

int SlideshowOptionsViewController::sliderTenths(float seconds) {
    return int(std::lround(seconds * 10.0f));
}

SlideshowOptionsViewController::SlideshowOptionsViewController(ProjectSource project, QWidget* parent)
    : QWidget(parent), projectSource(std::move(project)) {
    setObjectName("SlideshowOptionsViewController");
    scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    container = new IVInspectorViewContainer;
    container->setObjectName("inspectorContainer");
    scroll->setWidget(container);
    scroll->setWidgetResizable(false);
    scroll->viewport()->installEventFilter(this);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(scroll);

    durationsPane = new IVInspectorView(container);
    durationsPane->setObjectName("textInspector");
    durationsPane->setName(tr_("Slideshow"));
    durationsPane->setBody(makeDurationsBody());
    durationsPane->hide();
    levelsPane = new IVInspectorView(container);
    levelsPane->setObjectName("buttonInspector");
    levelsPane->setName(tr_("Music, TV and DVD"));
    levelsPane->setBody(makeLevelsBody());
    levelsPane->hide();
    // The TV system and the DVD aspect sit in the second pane; this one stays out of the container.
    tvPane = new IVInspectorView(container);
    tvPane->setObjectName("tvInspector");
    tvPane->setName(tr_("TV"));
    tvPane->hide();

    initOptions();
    auto& center = platform::NotificationCenter::defaultCenter();
    const auto onMain = [this](auto action) {
        return [this, poster = gate.poster(), action](const platform::Notification&) {
            poster.post([this, action] { (this->*action)(); });
        };
    };
    typeObserver = {center,
                    center.addObserver(kNotifySlideshowTypeChanged,
                                       onMain(&SlideshowOptionsViewController::notifySlideshowTypeChanged))};
    volumeObserver = {center, center.addObserver(kNotifyBKMusicVolumeChange,
                                                 onMain(&SlideshowOptionsViewController::updateBKMusicUI))};
    optionsObserver = {center,
                       center.addObserver(kNotifySlideshowOptionsChanged,
                                          [this, poster = gate.poster()](const platform::Notification&) {
                                              poster.post([this] {
                                                  if (const auto project = projectSource())
                                                      showDurationsAndRepeat(*project, durationControls());
                                              });
                                          })};
}

SlideshowOptionsViewController::~SlideshowOptionsViewController() = default;

bool SlideshowOptionsViewController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == scroll->viewport() && event->type() == QEvent::Resize)
        container->arrangeViews();
    return QWidget::eventFilter(watched, event);
}

QWidget* SlideshowOptionsViewController::makeDurationsBody() {
    auto* body = new QWidget;
    photoSlider = slider(body, "sliderSlideshowTime", kMinTenths, kMaxPhotoTenths);
    transitionSlider = slider(body, "sliderTransitionTime", kMinTenths, kMaxTransitionTenths);
    photoText = readOut(body, "slideshowTextField");
    transitionText = readOut(body, "transitionTime");
    applyToAll = new QPushButton(tr_("Apply to All Slides"), body);
    applyToAll->setObjectName("applyToAllButton");
    repeat = new QCheckBox(tr_("Repeat"), body);
    repeat->setObjectName("btnRepeat");
    musicSlideshow = new QCheckBox(tr_("Music slideshow"), body);
    musicSlideshow->setObjectName("btnMusicSlidehsow");
    resetCustom = new QCheckBox(tr_("Also change the locked durations"), body);
    resetCustom->setObjectName("resetCustomizedDuration");
    sync = new QPushButton(tr_("Fit Slides to Music"), body);
    sync->setObjectName("syncMusicAndSlideshowButton");

    auto* form = new QFormLayout(body);
    form->setContentsMargins(10, 8, 10, 10);
    form->addRow(tr_("Photo:"), sliderRow(photoSlider, photoText));
    form->addRow(tr_("Transition:"), sliderRow(transitionSlider, transitionText));
    form->addRow(QString(), applyToAll);
    form->addRow(QString(), repeat);
    form->addRow(QString(), musicSlideshow);
    form->addRow(QString(), resetCustom);
    form->addRow(QString(), sync);
    body->resize(IVInspectorViewHeader::kWidth, body->sizeHint().height());

    connect(photoSlider, &QSlider::valueChanged, this,
            &SlideshowOptionsViewController::SliderShowTimeChanged);
    connect(transitionSlider, &QSlider::valueChanged, this,
            &SlideshowOptionsViewController::SliderTransitionTimeChanged);
    connect(applyToAll, &QPushButton::clicked, this,
            &SlideshowOptionsViewController::ApplyToAllButtonClicked);
    connect(repeat, &QCheckBox::clicked, this, &SlideshowOptionsViewController::buttonRepeatClicked);
    connect(musicSlideshow, &QCheckBox::clicked, this,
            &SlideshowOptionsViewController::buttonMusicSlideshowClicked);
    connect(sync, &QPushButton::clicked, this,
            &SlideshowOptionsViewController::buttonSyncMusicAndSlideshowClicked);
    return body;
}

QButtonGroup* SlideshowOptionsViewController::makeMatrix(QWidget* parent, const QString& name,
                                                         const QString& first, const QString& second,
                                                         QBoxLayout* row) {
    auto* group = new QButtonGroup(parent);
    group->setObjectName(name);
    group->setExclusive(true);
    int id = 1;
    for (const QString& title : {first, second}) {
        auto* choice = new QRadioButton(title, parent);
        group->addButton(choice, id++);
        row->addWidget(choice);
    }
    row->addStretch();
    connect(group, &QButtonGroup::idClicked, this, [this, group](int) { findSelectedButton(group); });
    return group;
}

QWidget* SlideshowOptionsViewController::makeLevelsBody() {
    auto* body = new QWidget;
    photoVolume = slider(body, "sliderBackgroundVolumeWhenPhotos", 0, kVolumeSteps);
    videoVolume = slider(body, "sliderBackgroundvolumeWhenVideos", 0, kVolumeSteps);
    photoVolumeText = readOut(body, "textfieldBackgroundVolumeWhenPhotos");
    videoVolumeText = readOut(body, "textfieldBackgroundVolumeWhenVideos");
    auto* tvRow = new QHBoxLayout;
    auto* aspectRow = new QHBoxLayout;
    tvGroup = makeMatrix(body, "tvMatrix", tr_("NTSC"), tr_("PAL"), tvRow);
    aspectGroup = makeMatrix(body, "videoAspectMatrix", tr_("16:9"), tr_("4:3"), aspectRow);

    auto* form = new QFormLayout(body);
    form->setContentsMargins(10, 8, 10, 10);
    form->addRow(tr_("Music with photos:"), sliderRow(photoVolume, photoVolumeText));
    form->addRow(tr_("Music with clips:"), sliderRow(videoVolume, videoVolumeText));
    form->addRow(tr_("TV system:"), tvRow);
    form->addRow(tr_("DVD aspect:"), aspectRow);
    body->resize(IVInspectorViewHeader::kWidth, body->sizeHint().height());

    connect(photoVolume, &QSlider::valueChanged, this,
            &SlideshowOptionsViewController::SliderBackgroundVolumeWhenPhotosChanged);
    connect(videoVolume, &QSlider::valueChanged, this,
            &SlideshowOptionsViewController::SliderBackgroundVolumeWhenVideosChanged);
    return body;
}

void SlideshowOptionsViewController::initOptions() {
    const auto project = projectSource();
    if (!project)
        return;
    showDurationsAndRepeat(*project, durationControls());
    const QSignalBlocker blockMusic(musicSlideshow), blockTV(tvGroup), blockAspect(aspectGroup);
    setChecked(tvGroup, project->bTVSystemPAL() ? kPAL : kNTSC);
    setChecked(aspectGroup, project->bDVDVideoAspect16_9() ? kAspect16_9 : kAspect4_3);
    musicSlideshow->setChecked(project->bIsMusicSideshow());
    updateBKMusicUI();
    resetCustom->setChecked(false);
}

SlideshowOptionsViewController::DurationControls SlideshowOptionsViewController::durationControls() const {
    return {photoSlider, photoText, transitionSlider, transitionText, repeat};
}

void SlideshowOptionsViewController::showDurationsAndRepeat(const SlideshowProject& project,
                                                            const DurationControls& controls) {
    const QSignalBlocker blockPhoto(controls.photo), blockTransition(controls.transition),
        blockRepeat(controls.repeat);
    controls.photoText->setText(durationText(project.fltPhotoDuration()));
    controls.transitionText->setText(durationText(project.fltTransitionDuration()));
    controls.photo->setValue(sliderTenths(project.fltPhotoDuration()));
    controls.transition->setValue(sliderTenths(project.fltTransitionDuration()));
    controls.repeat->setChecked(project.bPlayLoop());
}

void SlideshowOptionsViewController::postOptionsChanged() {
    platform::NotificationCenter::defaultCenter().post(kNotifySlideshowOptionsChanged);
}

void SlideshowOptionsViewController::setupOptionsPanel() {
    if (setupDone)
        return;
    container->addInspectorView(durationsPane, true);
    container->addInspectorView(levelsPane, false);
    setupDone = true;
}

void SlideshowOptionsViewController::notifySlideshowTypeChanged() {
    if (const auto project = projectSource()) {
        const QSignalBlocker block(musicSlideshow);
        musicSlideshow->setChecked(project->bIsMusicSideshow());
    }
}

void SlideshowOptionsViewController::updateBKMusicUI() {
    const auto project = projectSource();
    if (!project)
        return;
    const QSignalBlocker blockPhotos(photoVolume), blockVideos(videoVolume);
    photoVolume->setValue(int(std::lround(project->fltBackgroundMusicVolumeWhenPhotos() * kVolumeSteps)));
    videoVolume->setValue(int(std::lround(project->fltBackgroundMusicVolumeWhenVideos() * kVolumeSteps)));
    photoVolumeText->setText(volumeText(project->fltBackgroundMusicVolumeWhenPhotos()));
    videoVolumeText->setText(volumeText(project->fltBackgroundMusicVolumeWhenVideos()));
}

void SlideshowOptionsViewController::markDirty() const {
    if (const auto project = projectSource())
        project->setBIsDirty(true);
}

void SlideshowOptionsViewController::SliderShowTimeChanged() {
    const auto project = projectSource();
    if (!project)
        return;
    project->setFltPhotoDuration(photoSlider->value() / 10.0f);
    photoText->setText(durationText(project->fltPhotoDuration()));
    markDirty();
    postOptionsChanged();
}

void SlideshowOptionsViewController::SliderTransitionTimeChanged() {
    const auto project = projectSource();
    if (!project)
        return;
    project->setFltTransitionDuration(transitionSlider->value() / 10.0f);
    transitionText->setText(durationText(project->fltTransitionDuration()));
    markDirty();
    postOptionsChanged();
}

void SlideshowOptionsViewController::ApplyToAllButtonClicked() {
    const auto project = projectSource();
    if (!project)
        return;
    for (const SlideItemRef& slide : project->slideshowArray()) {
        slide->setFSecTransitionDuration(project->fltTransitionDuration());
        if (slide->itemType() != SlideItem::kItemTypeVideo)
            slide->setFSecPhotoDuration(project->fltPhotoDuration());
    }
    markDirty();
    platform::NotificationCenter::defaultCenter().post(kNotifyUpdateSlideItemDuration);
}

void SlideshowOptionsViewController::buttonRepeatClicked() {
    if (const auto project = projectSource())
        project->setBPlayLoop(repeat->isChecked());
    markDirty();
    postOptionsChanged();
}

void SlideshowOptionsViewController::buttonMusicSlideshowClicked() {
    if (const auto project = projectSource())
        project->setBIsMusicSideshow(musicSlideshow->isChecked());
    markDirty();
}

void SlideshowOptionsViewController::findSelectedButton(QButtonGroup* matrix) {
    const auto project = projectSource();
    if (!project)
        return;
    if (matrix == tvGroup)
        project->setBTVSystemPAL(tvGroup->checkedId() != kNTSC);
    else if (matrix == aspectGroup)
        project->setBDVDVideoAspect16_9(aspectGroup->checkedId() == kAspect16_9);
    else
        return;
    markDirty();
}

void SlideshowOptionsViewController::SliderBackgroundVolumeWhenPhotosChanged() {
    const auto project = projectSource();
    if (!project)
        return;
    project->setFltBackgroundMusicVolumeWhenPhotos(float(photoVolume->value()) / kVolumeSteps);
    photoVolumeText->setText(volumeText(project->fltBackgroundMusicVolumeWhenPhotos()));
    markDirty();
}

void SlideshowOptionsViewController::SliderBackgroundVolumeWhenVideosChanged() {
    const auto project = projectSource();
    if (!project)
        return;
    project->setFltBackgroundMusicVolumeWhenVideos(float(videoVolume->value()) / kVolumeSteps);
    videoVolumeText->setText(volumeText(project->fltBackgroundMusicVolumeWhenVideos()));
    markDirty();
}

void SlideshowOptionsViewController::buttonSyncMusicAndSlideshowClicked() {
    const auto project = projectSource();
    if (!project || !dialogs)
        return;
    const bool resetLocked = resetCustom->isChecked();
    const bool declined = dialogs->runQuestionAlert(
        tr_("Warning!"),
        tr_("Synchronization will change photo's duration and transition duration of current slideshow, "
            "Do you really want to perform it?"),
        tr_("NO"), tr_("YES"), ControllerDialogs::UnchangedBy::DefaultButton);
    if (declined)
        return;
    if (MainWindowServices* main = MainWindowServices::current())
        main->stop();
    if (resetLocked)
        project->resetAllSlidesCustimzedDurationFlag();
    const QVariantMap result = project->syncMusicAndSlideshowDuration();
    if (result.value(QStringLiteral("failType")).toString() == QLatin1String("Success")) {
        project->setBIsDirty(true);
        platform::NotificationCenter::defaultCenter().post(kNotifyRefreshTimelineUI);
    }
    dialogs->runModalAlert(result.value(QStringLiteral("desc")).toString(), QString());
}
