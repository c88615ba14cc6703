#pragma once

#include "model/MainWindowServices.h"
#include "model/MusicItem.h"
#include "model/SlideItem.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Scheduler.h"
#include "render/DisplayLink.h"
#include "render/PreviewController.h"
#include "ui/controls/AWAttachedWindow.h"
#include "ui/editing/TimelineScrollView.h"
#include "ui/main/MainWindowOutlets.h"
#include "ui/main/PreviewWidget.h"

#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

class ArrangeOrderWndController;
class blankImageWndController;
class ClipMediaPlayer;
class ColorAdjustObject;
class ControllerDialogs;
class DVDCommand;
class DVDMenuViewController;
class ExportProgressWindowController;
class SlideTextures;
class IdleSleepInhibitor;
class MovieExportCommand;
class MP4ExportCommand;
class QDialog;
class MusicDirector;
class MusicTimelineViewController;
class NSGLView;
class PanZoomObject;
class SlideFontEditorObject;
class ToolboxObject;
class VideoPlaybackViewController;
class PhotoImporter;
class PhotoResizeWorker;
class QuartzSlideItem;
class SlideshowProject;
class TimeLineCellViewController;
class SharedShaderPrograms;
class TextureObject;
class WaveFormViewOSX;
namespace platform::gl {
class Context;
}
namespace platform::media {
class AudioPlayer;
class SerialQueue;
} // namespace platform::media

// The controller of the document window, one for the whole run: it wires the notifications, imports
// photos, shows and steps through slides in the preview, plays the show, and starts the commands of the
// other commands (timeline edits, music, clips, share, DVD, slide list). Every method runs on the main thread
// unless it says otherwise; observers of notifications posted elsewhere hop to it.
//
// The class is spread over files by responsibility:
//   SlideshowMainObject.cpp               start-up, shutdown, accessors, the services of the model and view
//   SlideshowMainObjectNotifications.cpp  the table of observed notifications, the theme
//   SlideshowMainObjectImport.cpp         photo import (handed to PhotoImporter), the content view's
//                                         width, the window title
//   SlideshowMainObjectPreview.cpp        the still preview and the step-by-step browsing
//   SlideshowMainObjectPlayback.cpp       Play and Stop, the play head and the time texts
//   SlideshowMainObjectShare.cpp          the share choices, the movie export and its finish, the cancel
//   SlideshowMainObjectDVD.cpp            the DVD command, the DVD-menu page and the DVD test commands
//   SlideshowMainObjectClips.cpp          clip import, the clip player, playing from the position slider
//   SlideshowMainObjectPanels.cpp         the pop-overs and the floating editing panels
//   SlideshowMainObjectSlideList.cpp      blank pictures, removing and moving slides, slide sounds, the
//                                         timeline's rebuild for an opened project
//   SlideshowMainObjectMenus.cpp          which menu items are enabled, the small menu commands
//   SlideshowMainObjectEditing.cpp, ...Music.cpp
//                                         the other commands, empty hooks until they are built
class SlideshowMainObject : public QObject,
                            public MainWindowServices,
                            public PreviewController,
                            public TimelineScrollViewDelegate {
    Q_OBJECT
public:
    static constexpr const char* kProductName = "Vistrelle";

    // One row of the observer tables: the notification, its handler and whether start-up (init) or the
    // after-load hook registers it. Handlers run on the main thread.
    struct ObservedNotification {
        QString name;
        void (SlideshowMainObject::*handler)(const platform::Notification&);
        bool byAwakeFromNib;
    };
    static const std::vector<ObservedNotification>& observedNotifications();

    // ---- start-up and shutdown
    // init: the resize worker runs, the first observers are registered, the music director exists.
    explicit SlideshowMainObject(
        ControllerDialogs& dialogs,
        std::shared_ptr<platform::Scheduler> scheduler = platform::Scheduler::mainThreadScheduler(),
        QObject* parent = nullptr);
    // Stops the preview, the import and the resize worker (joining their threads), drops the display-awake
    // request, and uninstalls itself as the model's main window.
    ~SlideshowMainObject() override;
    // What the interface file connects before the after-load hook.
    void setOutlets(const MainWindowOutlets& outlets);
    const MainWindowOutlets& outlets() const { return ui; }
    void awakeFromNib();
    // Makes the preview view and its widget in the preview host and prepares GL; false (the preview stays
    // black) when no GL can be had.
    bool hostPreview(std::shared_ptr<DisplayLinkTimeSource> time = DisplayLinkTimeSource::steady());
    void preventIdleSleep();
    void restoreIdleSleep();

    // ---- MainWindowServices
    void updateProjectInfo() override;
    void refreshUIForOpenProject() override;
    void stop() override;
    void setNCurrentSlideshowItemIndex(int index) override;
    void ensureCurrentSlideThumbnailVisible() override;
    float getTimelineXPositionFromFrame(quint64 frame) override;
    void reshapeOpenGLView() override;
    bool isExportRunning() const override;

    // ---- PreviewController (the view calls these while it prepares; m_bPlaying on the link's thread)
    bool m_bPlaying() const override { return playing.load(); }
    void setDisplayLink(DisplayLink* link) override { displayLinkHandle = link; }
    void clearOpenGLWindow() override;
    void setDirector(std::shared_ptr<SlideshowDirector> director) override;
    void setOpengGLView(NSGLView* view) override { glView = view; }

    // ---- TimelineScrollViewDelegate
    void AcceptFileDropped(const QStringList& paths, int index) override;

    // ---- accessors
    std::shared_ptr<SlideshowDirector> director() const { return slideshowDirector; }
    NSGLView* opengGLView() const { return glView; }
    DisplayLink* displayLink() const { return displayLinkHandle; }
    PreviewWidget* previewWidget() const { return preview; }
    std::shared_ptr<TextureObject> previousTextureObj() const { return previousTexture; }
    void setPreviousTextureObj(std::shared_ptr<TextureObject> texture) {
        previousTexture = std::move(texture);
    }
    int nTimelineCellWidth() const { return timelineCellWidth; }
    void setNTimelineCellWidth(int width);
    quint64 nSlideInsertIndex() const { return slideInsertIndex; }
    void setNSlideInsertIndex(quint64 index) { slideInsertIndex = index; }
    int nCurrentSlideshowItemIndex() const { return currentSlideIndex; }
    qint64 nPlayingSlideIndex() const { return playingSlideIndex; }
    void setNPlayingSlideIndex(qint64 index) { playingSlideIndex = index; }
    std::shared_ptr<platform::gl::Context> mainContext() const;
    std::vector<SlideItemRef> slideshowArray() const;
    MusicDirector& musicDirector() const { return *music; }
    MusicTimelineViewController& musicTimelineViewController() const { return *musicTimeline; }
    PhotoResizeWorker& resizeWorker() const;
    platform::Scheduler& scheduler() const { return *clock; }
    ControllerDialogs& dialogs() const { return userDialogs; }
    // The window title last set (also when there is no window).
    QString windowTitle() const { return title; }
    // How often the hub has handed a notification of this name to its handler.
    int handledCount(const QString& name) const;

    // ---- theme (lifecycle part)
    void themeButtonClicked();
    void SlideshowThemeSelected(const platform::Notification& notification);
    void notifyShowMusicList(const platform::Notification& notification);
    AWAttachedWindow* attachedWindowTheme() const { return themeCallOut; }
    void closeThemeCallOut();

    // ---- photo import
    void buttonAddPhotoClicked();
    void buttonAppendPhotoClicked();
    static bool isPhotoFile(const QString& extension);
    static bool isVideoFile(const QString& extension);
    static bool isMusicFile(const QString& extension);
    // One import request each, run in order on the import queue.
    void threadImageAddImages(const QStringList& paths);
    void threadImageAppendImages(const QStringList& paths);
    // True when no import request is queued or running.
    bool isImportIdle() const;
    void layoutScrollImages();
    // The import queue and the resize worker; single photos of other commands go through it too.
    PhotoImporter& photoImporter() const;

    // ---- still preview and browsing
    void showCurrentItemPhoto(const SlideItemRef& slide);
    void showSlideItemImage(const SlideItemRef& slide);
    void showImageByUsingBlock(const QString& path);
    void showImageInOpenGL(std::shared_ptr<TextureObject> texture);
    void showWelcomeScreen();
    void moveItemToThreadArrayHead(const SlideItemRef& slide);
    void showCurrentItemPhotoWithMove_direction(const SlideItemRef& slide, bool direction);
    void showItemPhotoWithMove_direction(const SlideItemRef& slide, bool direction);
    void showFirstImageInOpenGLView();
    void handleShowPhotoStepByStep(bool backward);
    void notifyFullScreenOperBtnClicked(const platform::Notification& notification);
    void showNextImage();
    void showPreviousImage();
    void showFirsttImage();
    void showLastImage();
    void stopSlideshowWith(int reason);
    void stopVideoPreview();
    // The slide animation or bounce under way: its kind and the steps still to show.
    enum class PreviewMotion { None, SlideForward, SlideBackward, BounceRight, BounceLeft };
    PreviewMotion previewMotion() const { return motion; }
    int previewMotionStepsLeft() const;
    // The shifts of a bounce, one per engine frame: out to half a view half-width and back.
    static std::vector<double> bounceShifts();

    // ---- playback
    void play();
    void startPlayMusic(const platform::Notification& notification);
    void notifyPlaySlideIndexChanged(const platform::Notification& notification);
    void showTimelineIndicator();
    void hideTimelineIndicator();
    void timelineIndicatorCallback();
    void showTimelineTimeText(quint64 frame);
    void playMixedAudio();
    // True between Play and the start of the director, half a second later.
    bool isStartPending() const { return playStart.isActive(); }
    QWidget* timelineIndicatorImageView() const { return playHead; }

    // ---- timeline editing
    // The copy of the current slide that the pan-and-zoom panel edits.
    SlideItemRef panZoomTempItem() const { return panZoomCopy; }
    AWAttachedWindow* attachedWindowSetTransition() const { return transitionCallOut; }
    AWAttachedWindow* attachedWindowSetDuration() const { return durationCallOut; }
    // The view shown in the cell call-out opened last.
    QWidget* vcByAttachedWindow() const { return callOutView; }
    void closeTransitionCallOut();
    // The duration pop-over applies its edits first.
    void closeDurationCallOut();
    void showCurrentItemEditingPanZoom(const SlideItemRef& slide);
    // Commits the copy's start values as the slide's start (0) or end (1) values.
    void PanZomSetFrameNotify(int which);
    void rotateImageButtonClicked();
    void setColorToCurrentItem(const QVariantMap& adjustment);
    void EditSlideItemTextClicked();
    void editSlideItemText(const SlideItemRef& slide);
    void UpdateCurrentSlideItemDurationInfo();
    // The text and font of the sample editSlideItemText shows.
    static QVariantMap editSlideItemTextSample();

    // ---- timeline, music, clips, share and slide-list handlers; virtual only where a test fixture records
    // what they are handed instead (addMusicToProject, addVideoToProject).
    // Timeline editing.
    void notifyTimelineCellClicked(const platform::Notification& notification);
    void notifyTimelineCellDurationClicked(const platform::Notification& notification);
    void notifyTimelineCellTransitionClicked(const platform::Notification& notification);
    void TransitionEffectSelected(const platform::Notification& notification);
    void PanZoomValueChanged(const platform::Notification& notification);
    void WindowSizeChanged(const platform::Notification& notification);
    void FontInfoChanged(const platform::Notification& notification);
    void notifyToolboxButtonClicked(const platform::Notification& notification);
    void notifyColorAdjustChanged(const platform::Notification& notification);
    void notifySetDurationButtonClicked(const platform::Notification& notification);
    void notifyUpdateSlideItemDuration(const platform::Notification& notification);
    void notifyCloseSlideItemDurationPanel(const platform::Notification& notification);
    void notifyCloseVideoItemPropertyPanel(const platform::Notification& notification);
    void clearTimelineSelection();
    void createTempSlideItem();
    void setCurrentSlideshowOnTimeline(qint64 index);
    // Music and audio layers.
    void notifyMusicTimelineClicked(const platform::Notification& notification);
    void notifyMusicOptionsCloseClicked(const platform::Notification& notification);
    void notifyMusicOptionsAddMusicClicked(const platform::Notification& notification);
    void notifyRefreshTimelineUI(const platform::Notification& notification);
    void notifyMusicSyncButtonClicked(const platform::Notification& notification);
    void backgroundMusicListMenuItemClicked();
    void layoutMusicSubViews();
    // Songs chosen or dropped, copied into the project with their information.
    virtual void addMusicToProject(const QStringList& paths);
    void syncPhotoMusicButtonClicked();
    void stopRefreshPlayintIndicator();
    float getTimelineXPositionFromFrame_Music(quint64 frame);
    // Video clips and the clip player: clips chosen or dropped at slot `index`, copied into the project one
    // after another as clip slides.
    virtual void addVideoToProject(const QStringList& paths, int index);
    void showVideoPlaybackView(const SlideItemRef& slide);
    void PositionSlideChanged(int frame);
    // The video-clip inspector of a clip slide, shown in the duration call-out; null opens nothing.
    QWidget* makeVideoItemPropertyView(const SlideItemRef& slide);
    // Share, export and DVD; the movie export and DVD command objects observe their own notifications.
    void notifyCancelEncodingVideo(const platform::Notification& notification);
    void notifyPCreateVideoFileEnd(const platform::Notification& notification);
    void NotifyShareButtonClicked(const platform::Notification& notification);
    void UploadSigninSucess(const platform::Notification& notification);
    void notifyVideoInfoEditDone(const platform::Notification& notification);
    void ShowDVDMenuItem(const platform::Notification& notification);
    void NoDVDMenuSelected(const platform::Notification& notification);
    void shareButtonClicked();
    bool isEncoding() const;
    // The theme list shown by the theme button's call-out; null opens nothing.
    QWidget* makeThemeListView();
    // The photo-music fit before an export failed ({"failType", "desc", "result"}): the photo-music sync
    // window's answer, 0 to abandon the export.
    int runPhotoMusicSyncForExport(const QVariantMap& syncResult);
    // Slide list.
    void NotifyInsertBlankImage(const platform::Notification& notification);
    void windowWillClose(const platform::Notification& notification);
    void notifyUpdateSlideItemSound(const platform::Notification& notification);
    // The blank-image window, for a new slide or (themeBackground) the theme's background; null while
    // there is none.
    std::unique_ptr<QDialog> makeBlankImageWindow(bool themeBackground);
    // Window layout and options (the file Panels): the side bar and side panel come up with the window.
    void awakeWindowLayout();
    // Closes an options window still open and opens a new one.
    void ShowApplicationOptions();
    QDialog* optionsWnd() const;

    // ---- clips (the file Clips)
    void AddVideoItem_1();
    void AddVideoFromPath(const QString& path);
    void InsertVideoFromPath(const QString& path, int index);
    // True when no clip request waits, is delayed or is being copied.
    bool isClipImportIdle() const;
    VideoPlaybackViewController* videoPlaybackCtrl() const;
    // The media player each clip player gets (tests give a scripted one).
    void setClipPlayerFactory(std::function<std::unique_ptr<ClipMediaPlayer>()> factory);
    // The composition test commands: a chosen composition as a slide, a chosen clip played through the clip
    // composition as a slide (each appended, with a cell kept off the strip), and the test composition
    // rendered in the preview, shown frame after frame for 200 s of its time.
    void AddQuartzItemTest_3();
    void AddVideoItem();
    void AddQuartzItemTest();
    const std::vector<QPointer<TimeLineCellViewController>>& timelineCellViewArray() const {
        return timelineCells;
    }

    // ---- the floating editing panels (the file Panels), for the whole run
    PanZoomObject* panZoomObj() const { return panZoom.get(); }
    SlideFontEditorObject* fontEditorObj() const { return fontEditor.get(); }
    ToolboxObject* toolboxObj() const { return toolbox.get(); }
    ColorAdjustObject* colorAdjustObj() const { return colorAdjust.get(); }

    // ---- music (the file Music)
    // The open panel for songs, then addMusicToProject.
    void buttonAddMusicClcked();
    // The song's waveform view, then the strip laid out again.
    void AddMusicItemSubView(const MusicItemRef& song);
    // A waveform view for every song again, in order.
    void rebuildMusicSubViews();
    // The strips' frames in timeline coordinates (x, 0, width, 60), one per song up to `count`.
    std::vector<QRectF> musicStripFrames(std::size_t count);
    const std::vector<QPointer<WaveFormViewOSX>>& musicSubviewArray() const { return musicViews; }
    AWAttachedWindow* attachedWindowMusicOptions() const { return musicOptionsCallOut; }
    AWAttachedWindow* attachedWindowPhotoMusicSync() const { return photoMusicSyncCallOut; }
    // True when no song import is under way.
    bool isMusicImportIdle() const { return pendingSongImports.load() == 0; }
    // Cells (0) or a time scale (1), and the time scale's points per second.
    void ChangeTimelineMode();
    void TimelineUnitChanged(int pixelsPerSecond);
    // Sounds copied into the project as audio-layer items, 30 s apart from 3.5 s on.
    void addMusicToAudioLayer(const QStringList& paths);
    void layoutAudioLayerSubviews();
    void layoutTextLayerSubviews();
    // The developers' test commands of the layers and of a song's playing.
    void TestAudioLayer();
    void TestTextLayer();
    void playSongTest();

    // ---- slide list
    using IndexSet = std::set<std::size_t>;
    // The blank-image window (made on first use and kept); its choice arrives as "NOTIFY_INSERT_BLANK_IMAGE".
    void AddBlankImageFromBundle();
    // A wood-pattern picture of 1920 x 1080, written into the project and imported at nSlideInsertIndex.
    void AddBlankImageButtonClicked();
    void ArrangeSlideOrder();
    // Indexes out of range are ignored.
    void removeItemsAtIndexes(const IndexSet& indexes);
    // Moves the slides as one run to `destination` counted before the move; out-of-range indexes are
    // ignored and the run is held inside the list.
    void moveItemsAtIndexes(const IndexSet& indexes, quint64 destination);
    void DeleteCurrentPhoto();
    void MoveCursorToFirstSlide();
    void MoveCursorToLastSlide();
    // A new recorder window on every call; it reports to whatever slide is current.
    void showSoundRecoderWnd();
    blankImageWndController* blankWnd() const;
    ArrangeOrderWndController* arrangeOrderWC() const;
    // True while the thumbnails of a rebuilt timeline are still being made.
    bool isTimelineRefreshRunning() const;

    // ---- menus: items are told apart by their tags
    enum MenuTag {
        kMenuTagNeedsSlide = 2000,       // 2000 to 2002: a current slide
        kMenuTagNeedsPictureSlide = 3000 // 3000 and above: a current slide that is not a clip
    };
    static bool validateMenuItem(int tag, const std::vector<SlideItemRef>& slides, int currentIndex);
    bool validateMenuItem(int tag) const;
    // The font editor and the pan-and-zoom panel answer the tool message as their own buttons.
    void menuItemAddTextClicked();
    void menuItemPanZoomClicked();
    void AdjustColorMenuItemClicked();
    void RotateImageMenuItemClicked();
    void openOutputFolderMenuItemClicked();
    // The pages of the product's other editions.
    void proEditionMenuItemClicked();
    void studioEditionMenuItemClicked();

    // ---- share, export and DVD (the files Share and DVD)
    // The share menu's commands: stop the preview, then the share choice 0, 1 or 2.
    void ShareEncodeMovieButtonClick();
    void ShareVideoSiteButtonClick();
    void ShareSocialSiteButtonClick();
    // Share choice 3: the burn set-up, then the DVD command.
    void BurnDVDButtonClicked();
    // The DVD-menu page in a window of its own; a second call brings it to the front.
    void showDVDMenuPage();
    // The DVD test commands: the menu alone as an MPEG-2 stream, its buttons muxed into it, and a preview
    // loop of the first three slides as a menu would play them.
    void EncodeDVDMenu();
    void TestMpegSpumux();
    void TestDVDMenu();
    void websiteMenuitemClicked();
    static QString websiteAddress();
    AWAttachedWindow* attachedWindow() const { return shareCallOut; }
    void closeShareCallOut();
    // The progress window of the running or last export (the upload takes it over).
    ExportProgressWindowController* exportProgressWC() const;
    // The commands, once the player is there.
    MovieExportCommand* movieExportCommand() const { return movieCommand.get(); }
    MP4ExportCommand* mp4ExportCommand() const { return mp4Command.get(); }
    DVDCommand* dvdCommand() const { return dvd.get(); }
    DVDMenuViewController* dvdMenuViewController() const;
    const std::vector<SlideItemRef>& dvdMenuArray() const { return dvdMenuSlides; }

signals:
    // After every change of the current slide index.
    void currentSlideChanged(int index);

private:
    // lifecycle
    void registerObservers(bool byAwakeFromNib);
    void dispatch(const ObservedNotification& row, const platform::Notification& notification);
    void connectActions();
    // A click or a menu command that runs one of our actions; a control the window lacks is skipped.
    void onClick(QAbstractButton* button, void (SlideshowMainObject::*action)());
    void onTrigger(QAction* item, void (SlideshowMainObject::*action)());
    void setButtonTitle(QAbstractButton* button, const QString& title);
    // preview
    // Draws with the view's programs and the preview's aspect ratio; nothing without a view.
    void drawStill(const std::function<void(const SharedShaderPrograms&, double)>& draw);
    std::shared_ptr<TextureObject> loadSlideTexture(const SlideItem& slide);
    std::shared_ptr<TextureObject> loadPreparedOrThumbnail(const SlideItem& slide);
    void waitUntilReady(const SlideItemRef& slide);
    void runPreviewSteps(PreviewMotion kind, std::vector<std::function<void()>> steps,
                         std::function<void()> then);
    void redrawStill();
    // After an insert: the slide now at the current place, shown as the strip marks it.
    void showCurrentSlideAfterInsert();
    void showCurrentSlideWhenExportEnds();
    // timeline editing
    enum class CallOutKind { Theme, Transition, Duration, MusicOptions, PhotoMusicSync };
    SlideItemRef currentSlideItem() const;
    void openDurationCallOut(const SlideItemRef& slide);
    AWAttachedWindow* openCellCallOut(CallOutKind kind, QWidget* view, const QRectF& timelineRect);
    int sideAboveOnScreen(const QWidget& view, const QPointF& point) const;
    // A call-out that lost the focus to a click on its own control has just closed: that click is its
    // second, which closes and opens nothing.
    void noteClosedByFocus(CallOutKind kind);
    bool takeClosedByFocus(CallOutKind kind);
    // playback
    void setPlayButtonPlaying(bool playingNow);
    void startDirector();
    void placePlayHead(float x, qint64 scrollIndex);
    // clips and panels
    struct ClipRequest {
        QString path;
        bool insert = false;
        qint64 insertIndex = 0;
    };
    void importClips(const QStringList& paths, int index);
    void scheduleClipRequest(ClipRequest request);
    void runClipRequests();
    void copyAndAddClip(const ClipRequest& request);
    void appendCompositionSlide(const std::shared_ptr<QuartzSlideItem>& slide);
    void finishAddingSlide(SlideshowProject& project);
    void makeEditingPanels();
    void connectClipAndPanelActions();
    // share
    void makeExportCommands();
    void dropExportCommands();
    bool fitMusicBeforeExport();
    ExportProgressWindowController& newExportProgressWindow(const QString& windowTitle);
    void showMovieFileResult(const QString& moved, const QString& error);
    void postContinueUpload(const QString& sourcePath);
    void shareChoice(int choice);
    void connectShareActions();
    // music
    void connectMusicActions();
    void finishAddingMusic(const std::vector<QVariantMap>& songs, const QStringList& failures);
    void alertFilesNotAdded(const QString& title, const QStringList& lines);
    void showChangedMusic(double scrollX);
    void dropMusicSubViews(std::size_t count);
    void closeMusicOptionsCallOut();
    void closePhotoMusicSyncCallOut();
    AWAttachedWindow* openMusicCallOut(CallOutKind kind, QWidget* view, QPointF point, int side);

    ControllerDialogs& userDialogs;
    std::shared_ptr<platform::Scheduler> clock;
    MainWindowOutlets ui;
    platform::MainThreadGate gate; // main-thread work of the song thread, the notifications and the title
    std::vector<platform::ObserverHandle> observers;
    std::map<QString, int> handled;

    // engine links
    std::shared_ptr<SlideshowDirector> slideshowDirector;
    NSGLView* glView = nullptr;
    DisplayLink* displayLinkHandle = nullptr;
    std::unique_ptr<NSGLView> ownedView;
    QPointer<PreviewWidget> preview;
    std::unique_ptr<MusicDirector> music;
    std::unique_ptr<MusicTimelineViewController> musicTimeline;
    std::unique_ptr<IdleSleepInhibitor> idleSleep;

    // selection and timeline
    int timelineCellWidth = 170;
    int currentSlideIndex = -1;
    quint64 slideInsertIndex = 0;
    qint64 playingSlideIndex = 0;
    qint64 lastMarkedSlide = -1;
    QString title;
    QPointer<AWAttachedWindow> themeCallOut;

    // timeline editing
    SlideItemRef panZoomCopy;
    std::shared_ptr<SlideTextures> panZoomTextures;
    QPointer<AWAttachedWindow> transitionCallOut, durationCallOut;
    QPointer<QWidget> callOutView;
    struct FocusClose {
        CallOutKind kind = CallOutKind::Theme;
        double at = -1.0;
    };
    std::optional<FocusClose> lastFocusClose;

    // import
    std::unique_ptr<PhotoImporter> importer;
    std::atomic<bool> stopping{false}; // read by the clip and song threads
    platform::Scheduler::Handle delayedRefresh;

    // preview
    std::shared_ptr<TextureObject> previousTexture;
    std::shared_ptr<TextureObject> shownTexture; // drawn again when the view changes size
    platform::Scheduler::Handle readinessWait;
    platform::Scheduler::Handle animation;
    PreviewMotion motion = PreviewMotion::None;
    std::vector<std::function<void()>> animationSteps;
    std::size_t animationNext = 0;

    // playback
    std::atomic<bool> playing{false};
    platform::Scheduler::Handle playStart;
    platform::Scheduler::Handle indicatorTimer;
    QPointer<QWidget> playHead;
    double startTime = 0.0;

    // clips and panels
    std::vector<platform::Scheduler::Handle> clipDelays;
    std::deque<ClipRequest> clipRequests;
    bool copyingClip = false;
    QPointer<VideoPlaybackViewController> clipPlayer;
    std::function<std::unique_ptr<ClipMediaPlayer>()> clipPlayerFactory;
    std::vector<QPointer<TimeLineCellViewController>> timelineCells; // children of ours, never on the strip
    std::unique_ptr<PanZoomObject> panZoom;
    std::unique_ptr<SlideFontEditorObject> fontEditor;
    std::unique_ptr<ToolboxObject> toolbox;
    std::unique_ptr<ColorAdjustObject> colorAdjust;

    // share, export and DVD
    std::unique_ptr<MovieExportCommand> movieCommand;
    std::unique_ptr<MP4ExportCommand> mp4Command;
    std::unique_ptr<DVDCommand> dvd;
    QPointer<ExportProgressWindowController> exportWindow;
    QPointer<AWAttachedWindow> shareCallOut;
    QPointer<QDialog> dvdMenuWindow;
    QPointer<QDialog> optionsWindow;
    std::vector<SlideItemRef> dvdMenuSlides;
    platform::Scheduler::Handle queuedEditDone;
    platform::Scheduler::Handle queuedShareResult;
    platform::Scheduler::Handle exportEndWatch;

    // music
    std::vector<QPointer<WaveFormViewOSX>> musicViews;
    std::vector<QPointer<QWidget>> audioLayerSubviewArray, textLayerSubviewArray;
    QPointer<AWAttachedWindow> musicOptionsCallOut, photoMusicSyncCallOut;
    std::atomic<int> pendingSongImports{0};
    std::unique_ptr<platform::media::SerialQueue> songQueue; // after the gate: its jobs post through it
    platform::Scheduler::Handle queuedMusicRebuild;
    std::unique_ptr<platform::media::AudioPlayer> testSongPlayer;

    // slide list: the windows and the thumbnail refresh, gone first when the controller goes
    struct SlideListState;
    SlideListState& slideList();
    std::shared_ptr<SlideListState> slideListState;
};
