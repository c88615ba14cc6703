#include "ui/main/SlideshowMainObject.h"

#include "model/SlideshowProject.h"
#include "platform/foundation/ApplicationVersion.h"
#include "platform/foundation/StandardPaths.h"
#include "platform/foundation/StringTable.h"
#include "platform/media/SerialQueue.h"
#include "render/NSGLView.h"
#include "render/SlideshowDirector.h"
#include "ui/controls/AWAttachedWindow.h"
#include "ui/controls/ButtonTextColor.h"
#include "ui/editing/ClipMediaPlayer.h"
#include "ui/editing/ColorAdjustWindowController.h"
#include "ui/editing/PanZoomObject.h"
#include "ui/editing/SlideFontEditorObject.h"
#include "ui/editing/TimelineContentView.h"
#include "ui/editing/ToolboxWindowController.h"
#include "ui/editing/VideoPlaybackViewController.h"
#include "ui/main/ClipSlides.h"
#include "ui/main/ControllerDialogs.h"
#include "ui/main/DvdMenuPage.h"
#include "ui/main/EditingPanels.h"
#include "ui/main/IdleSleepInhibitor.h"
#include "ui/main/LayerViews.h"
#include "ui/main/MediaFileTypes.h"
#include "ui/main/MusicController.h"
#include "ui/main/PhotoImporter.h"
#include "ui/main/PlaybackController.h"
#include "ui/main/PreviewHost.h"
#include "ui/main/PreviewWidget.h"
#include "ui/main/ShareController.h"
#include "ui/main/SlideEditing.h"
#include "ui/main/SlideListController.h"
#include "ui/main/StillPreview.h"
#include "ui/main/TimelineGeometry.h"

#include <QApplication>
#include <QDialog>
#include <QFontDatabase>
#include <QLayout>

namespace {

const QColor kTimelineGrey =
    QColor::fromRgbF(0.21176470588235294f, 0.21176470588235294f, 0.21176470588235294f);
constexpr double kDelayedRefreshSeconds = 2.0;

// The timeline's own drag types, besides file names.
const QStringList kTimelineDragTypes = {QStringLiteral("com.qorvane.timelinecelldraganddrop"),
                                        QStringLiteral("com.qorvane.timelineTextdraganddrop"),
                                        QStringLiteral("com.qorvane.timelineAudiodraganddrop"),
                                        QStringLiteral("com.qorvane.timelineBkMusicdraganddrop")};

QFont timeTextFont() {
    QFont font(QStringLiteral("LED"));
    if (!QFontDatabase::families().contains(QStringLiteral("LED")))
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(28.0);
    return font;
}

} // namespace

// ---- start-up and shutdown

SlideshowMainObject::SlideshowMainObject(ControllerDialogs& dialogs,
                                         std::shared_ptr<platform::Scheduler> scheduler, QObject* parent)
    : QObject(parent), userDialogs(dialogs), clock(std::move(scheduler)),
      previewHost(std::make_unique<PreviewHost>()) {
    still =
        std::make_unique<StillPreview>(*this, *clock, [] { return SlideshowProject::currentMainProject(); });
    playback = std::make_unique<PlaybackController>(*this, userDialogs, *clock,
                                                    [] { return SlideshowProject::currentMainProject(); });
    windowCallOuts = std::make_unique<CallOuts>(
        ui, *clock, CallOuts::Hooks{[this] { stop(); }, [this] { return makeThemeListView(); }});
    editing = std::make_unique<SlideEditing>(*this, [] { return SlideshowProject::currentMainProject(); });
    panels = std::make_unique<EditingPanels>(*this, userDialogs, clock,
                                             [] { return SlideshowProject::currentMainProject(); });
    importer = std::make_unique<PhotoImporter>(*this, *clock, ui,
                                               [] { return SlideshowProject::currentMainProject(); });
    // Before the observers, whose handlers hand over to them.
    share = std::make_unique<ShareController>(
        *this, userDialogs, *clock, ui, [] { return SlideshowProject::currentMainProject(); },
        [] { return SlideshowProject::mainProject(); });
    dvdMenu = std::make_unique<DvdMenuPage>(*this, userDialogs, *clock, ui,
                                            [] { return SlideshowProject::currentMainProject(); });
    registerObservers(false);
    const auto currentProject = [] { return SlideshowProject::currentMainProject(); };
    musicControl = std::make_unique<MusicController>(*this, userDialogs, clock, ui, currentProject);
    layerViews = std::make_unique<LayerViews>(*this, ui, currentProject);
    currentSlideIndex = -1;
    clips = std::make_unique<ClipSlides>(*this, userDialogs, clock, ui, currentProject);
    setNTimelineCellWidth(timeline_geometry::kCellWidth);
    SlideListController::Hooks slideListHooks;
    slideListHooks.addPicture = [this](const QString& path, quint64 slot) { importer->addImage(path, slot); };
    slideList = std::make_unique<SlideListController>(
        *this, userDialogs, clock, ui, [] { return SlideshowProject::currentMainProject(); },
        std::move(slideListHooks));
}

SlideshowMainObject::~SlideshowMainObject() {
    // Threads first: they may be waiting for the main thread, which is this one.
    clips->stopImporting();
    importer->close();
    gate.close();
    musicControl->stopSongImports();
    observers.clear();
    share.reset(); // its commands first, then what it queued, its call-out and its progress window
    dvdMenu.reset();
    panels->dropOptionsWindow();
    importer.reset();
    // Stopped here, gone with the members: the view's link thread asks whether the preview plays until the
    // view goes.
    playback->shutDown();
    still->cancelTimers();
    clips.reset(); // its delayed requests dropped, its player stopped
    closeThemeCallOut();
    musicControl->closeMusicOptionsCallOut();
    musicControl->closePhotoMusicSyncCallOut();
    if (ui.scrollView1)
        ui.scrollView1->setDelegate(nullptr); // the strip may outlive its delegate
    previewHost->shutDown();
    restoreIdleSleep();
    if (MainWindowServices::current() == this)
        MainWindowServices::setCurrent(nullptr);
    // Last of the body, before any member goes: the refresh thread stops, then the slide-list windows go.
    slideList.reset();
}

void SlideshowMainObject::setOutlets(const MainWindowOutlets& outlets) {
    ui = outlets;
}

void SlideshowMainObject::awakeFromNib() {
    preventIdleSleep();
    registerObservers(true);
    const QString product = QString::fromLatin1(kProductName);
    // The words keep the items' access keys.
    const std::pair<QAction*, const char*> menuTitles[] = {{ui.aboutAppMenuItem, "&About"},
                                                           {ui.hideAppMenuItem, "&Hide"},
                                                           {ui.quitAppMenuItem, "&Quit"},
                                                           {ui.websiteAppMenuItem, "&Website of"}};
    for (const auto& [item, word] : menuTitles)
        if (item)
            item->setText(QStringLiteral("%1 %2").arg(tr_(word), product));
    if (TimelineScrollView* strip = ui.scrollView1) {
        strip->registerForDraggedTypes(QStringList{TimelineScrollView::fileNamesType()} + kTimelineDragTypes);
        strip->setDelegate(this);
        strip->setMainObject(this);
        auto* marker = new QLabel; // the strip takes it
        marker->setGeometry(0, 0, 100, 100);
        marker->setPixmap(
            QPixmap(platform::paths::pathForResource(QStringLiteral("drag3"), QStringLiteral("png"))));
        strip->setBlankImageView(marker);
        strip->setBackgroundColor(kTimelineGrey);
        strip->setNTimelineCellWidth(timelineCellWidth);
        strip->setScheduler(clock);
    }
    delayedRefresh = clock->scheduleOnce(kDelayedRefreshSeconds, [this] {
        refreshUIForOpenProject();
        reshapeOpenGLView();
    });
    if (ui.timelineTimeText)
        ui.timelineTimeText->setFont(timeTextFont());
    setButtonTitle(ui.m_btnShare, tr_("Burn DVD"));
    setButtonTitle(ui.m_btnShare1, tr_("Share"));
    playback->setPlayButtonPlaying(false);
    if (ui.m_btnShare)
        ui.m_btnShare->hide();
    if (ui.m_menuShare1) {
        if (ui.burnDVDMenuItem)
            ui.m_menuShare1->removeAction(ui.burnDVDMenuItem);
        if (ui.sepratorShareMenuItem1)
            ui.m_menuShare1->removeAction(ui.sepratorShareMenuItem1);
    }
    connectActions();
    panels->makeEditingPanels();
    panels->connectClipAndPanelActions();
    share->connectActions();
    musicControl->connectActions();
    awakeWindowLayout();
    layoutScrollImages();
}

void SlideshowMainObject::setButtonTitle(QAbstractButton* button, const QString& text) {
    if (!button)
        return;
    button_text_color::setTitle(*button, text, Qt::white);
}

void SlideshowMainObject::onClick(QAbstractButton* button, void (SlideshowMainObject::*action)()) {
    if (button)
        connect(button, &QAbstractButton::clicked, this, action);
}

void SlideshowMainObject::onTrigger(QAction* item, void (SlideshowMainObject::*action)()) {
    if (item)
        connect(item, &QAction::triggered, this, action);
}

void SlideshowMainObject::connectActions() {
    onClick(ui.m_btnPlayStop, &SlideshowMainObject::play);
    onClick(ui.m_btnShare1, &SlideshowMainObject::shareButtonClicked);
    onClick(ui.themeButton, &SlideshowMainObject::themeButtonClicked);
    onClick(ui.addPhotoButton, &SlideshowMainObject::buttonAddPhotoClicked);
    onClick(ui.appendPhotoButton, &SlideshowMainObject::buttonAppendPhotoClicked);
    onClick(ui.firstImageButton, &SlideshowMainObject::showFirsttImage);
    onClick(ui.previousImageButton, &SlideshowMainObject::showPreviousImage);
    onClick(ui.nextImageButton, &SlideshowMainObject::showNextImage);
    onClick(ui.lastImageButton, &SlideshowMainObject::showLastImage);
    onTrigger(ui.addPhotoMenuItem, &SlideshowMainObject::buttonAddPhotoClicked);
    onTrigger(ui.appendPhotoMenuItem, &SlideshowMainObject::buttonAppendPhotoClicked);
    onTrigger(ui.playMenuItem, &SlideshowMainObject::play);
    onTrigger(ui.playMixedAudioMenuItem, &SlideshowMainObject::playMixedAudio);
    if (ui.quitAppMenuItem)
        connect(ui.quitAppMenuItem, &QAction::triggered, qApp, &QCoreApplication::quit);
    if (ui.hideAppMenuItem && ui.mainWindow)
        connect(ui.hideAppMenuItem, &QAction::triggered, ui.mainWindow, &QWidget::showMinimized);
    if (ui.aboutAppMenuItem)
        connect(ui.aboutAppMenuItem, &QAction::triggered, this, [this] {
            userDialogs.runModalAlert(QString::fromLatin1(kProductName),
                                      tr_("Version %1").arg(platform::applicationVersion()) +
                                          QStringLiteral("\n\n") +
                                          tr_("Vistrelle turns photos, clips and music into a slideshow."));
        });
    if (!ui.positionSlider)
        return;
    connect(ui.positionSlider, &QSlider::sliderMoved, this, &SlideshowMainObject::PositionSlideChanged);
    // Its keys (the window opens with the focus on it), the wheel and a click beside the handle move it too:
    // the show plays from there as after a drag, rather than the slider leaving the clock and the preview.
    connect(ui.positionSlider, &QSlider::actionTriggered, this, [this](int action) {
        if (action != QAbstractSlider::SliderNoAction && !ui.positionSlider->isSliderDown())
            PositionSlideChanged(ui.positionSlider->sliderPosition());
    });
}

bool SlideshowMainObject::hostPreview(std::shared_ptr<DisplayLinkTimeSource> time) {
    if (!ui.previewHost || !previewHost->host(*this, *ui.previewHost, std::move(time)))
        return false;
    connect(previewHost->widget(), &PreviewWidget::reshaped, this, [this] { still->redrawStill(); });
    return true;
}

void SlideshowMainObject::preventIdleSleep() {
    if (!idleSleep)
        idleSleep = std::make_unique<IdleSleepInhibitor>();
    idleSleep->inhibit(QString::fromLatin1(kProductName), QStringLiteral("Corvanta"));
}

void SlideshowMainObject::restoreIdleSleep() {
    if (idleSleep)
        idleSleep->release();
}

// ---- services of the model, the delegate and the view

void SlideshowMainObject::setNCurrentSlideshowItemIndex(int index) {
    const auto project = SlideshowProject::currentMainProject();
    // No current slide is stored too: else the strip would go on marking the last one.
    if (project)
        project->setNCurrentSlideItem(index >= 0 ? quint64(index) : SlideshowProject::kNoCurrentSlideItem);
    if (ui.scrollContentView)
        ui.scrollContentView->update();
    clearTimelineSelection();
    currentSlideIndex = index < 0 ? -1 : index;
    if (project && currentSlideIndex >= 0 && std::size_t(currentSlideIndex) < project->slideCount())
        createTempSlideItem();
    if (playback)
        playback->currentSlideOrLengthChanged();
    emit currentSlideChanged(currentSlideIndex);
}

void SlideshowMainObject::ensureCurrentSlideThumbnailVisible() {
    if (!ui.scrollView1 || currentSlideIndex < 0)
        return;
    const int half = timelineCellWidth / 2;
    ui.scrollView1->ensureVisible(currentSlideIndex * timelineCellWidth + half,
                                  TimelineContentView::kHeight / 2, half, 0);
}

float SlideshowMainObject::getTimelineXPositionFromFrame(quint64 frame) {
    const auto project = SlideshowProject::currentMainProject();
    if (!project)
        return -1.0f;
    if (project->nTimelineStyle() == 1)
        return timeline_geometry::rulerPlayHeadX(frame, SlideshowProject::ulFrameRate(),
                                                 project->nTimelinePixelPerSecond());
    return timelineXPositionFromFrame(project->slideshowArray(), frame);
}

void SlideshowMainObject::reshapeOpenGLView() {
    if (PreviewWidget* preview = previewHost->widget())
        preview->reshape();
}

bool SlideshowMainObject::isExportRunning() const {
    return share && share->isExportRunning(); // none once the controller is going
}

void SlideshowMainObject::clearOpenGLWindow() {
    showWelcomeScreen();
}

void SlideshowMainObject::setDirector(std::shared_ptr<SlideshowDirector> director) {
    previewHost->setDirector(director);
    share->makeExportCommands(std::move(director));
}

// ---- accessors

void SlideshowMainObject::setNTimelineCellWidth(int width) {
    timelineCellWidth = width;
    if (ui.scrollView1)
        ui.scrollView1->setNTimelineCellWidth(width);
}

std::shared_ptr<platform::gl::Context> SlideshowMainObject::mainContext() const {
    const auto player = director();
    return player ? player->mainContext() : nullptr;
}

std::vector<SlideItemRef> SlideshowMainObject::slideshowArray() const {
    const auto project = SlideshowProject::currentMainProject();
    return project ? project->slideshowArray() : std::vector<SlideItemRef>();
}

int SlideshowMainObject::handledCount(const QString& name) const {
    const auto found = handled.find(name);
    return found == handled.end() ? 0 : found->second;
}

// ---- the preview the view hands back

void SlideshowMainObject::setDisplayLink(DisplayLink* link) {
    previewHost->setDisplayLink(link);
}

void SlideshowMainObject::setOpengGLView(NSGLView* view) {
    previewHost->setView(view);
}

std::shared_ptr<SlideshowDirector> SlideshowMainObject::director() const {
    return previewHost ? previewHost->slideshowDirector() : nullptr;
}

NSGLView* SlideshowMainObject::opengGLView() const {
    return previewHost ? previewHost->view() : nullptr;
}

DisplayLink* SlideshowMainObject::displayLink() const {
    return previewHost->link();
}

PreviewWidget* SlideshowMainObject::previewWidget() const {
    return previewHost->widget();
}
