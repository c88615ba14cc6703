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
#include "ui/main/CallOuts.h"
#include "ui/main/MainWindowOutlets.h"
#include "ui/main/PreviewWidget.h"

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <vector>

class ArrangeOrderWndController;
class blankImageWndController;
class ClipMediaPlayer;
class ClipSlides;
class ColorAdjustObject;
class ControllerDialogs;
class DVDCommand;
class DvdMenuPage;
class DVDMenuViewController;
class EditingPanels;
class ExportProgressWindowController;
class IdleSleepInhibitor;
class LayerViews;
class MovieExportCommand;
class MP4ExportCommand;
class MusicController;
class MusicDirector;
class MusicTimelineViewController;
class NSGLView;
class PanZoomObject;
class PhotoImporter;
class PhotoResizeWorker;
class PlaybackController;
class PreviewHost;
class QDialog;
class ShareController;
class SlideEditing;
class SlideFontEditorObject;
class SlideListController;
class StillPreview;
class TextureObject;
class TimeLineCellViewController;
class ToolboxObject;
class VideoPlaybackViewController;
class WaveFormViewOSX;
namespace platform::gl {
class Context;
}
namespace single_photo_import {
struct NewThumbnail;
}

// The controller of the document window, one for the whole run: the hub of its collaborators. It owns them,
// wires the notifications and the window's controls to its entry points, and hands each entry point over to
// the collaborator of its concern in one line. It keeps only what the hub itself needs: the collaborators,
// the window's outlets, the notification handles, and the selection the model asks for. Collaborators reach
// one another only through the hub's public methods. Every method runs on the main thread unless it says
// otherwise; observers of notifications posted elsewhere hop to it.
//
//   collaborator          its concern                                    entry points in
//   PreviewHost           the preview's view, its widget, the player     SlideshowMainObject.cpp
//   PhotoImporter         the photo import queue, the resize worker      SlideshowMainObjectImport.cpp
//   StillPreview          the still preview and step-by-step browsing    SlideshowMainObjectPreview.cpp
//   PlaybackController    Play and Stop, the play head, the time texts   SlideshowMainObjectPlayback.cpp
//   ShareController       the share choices, the exports, the DVD run    SlideshowMainObjectShare.cpp
//   DvdMenuPage           the DVD-menu page and its test                 SlideshowMainObjectDVD.cpp
//   ClipSlides            clip import, the clip player, the slider       SlideshowMainObjectClips.cpp
//   EditingPanels         the floating panels, options, window layout    SlideshowMainObjectPanels.cpp
//   SlideListController   blank pictures, removing and moving slides,    SlideshowMainObjectSlideList.cpp
//                         slide sounds, the rebuild for an opened project
//   SlideEditing          the current slide's edits                      SlideshowMainObjectEditing.cpp
//   CallOuts              every call-out of the window                   SlideshowMainObjectEditing.cpp
//   MusicController       songs, their strips and call-outs              SlideshowMainObjectMusic.cpp
//   LayerViews            the audio and text layers                      SlideshowMainObjectMusic.cpp
// The hub's own: start-up, shutdown and the services of the model and view (SlideshowMainObject.cpp), the
// observer table and the chosen theme (...Notifications.cpp), the enabled menu items (...Menus.cpp), the
// strip's width and the window title (...Import.cpp).
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
    bool m_bPlaying() const override;
    void setDisplayLink(DisplayLink* link) override;
    void clearOpenGLWindow() override;
    void setDirector(std::shared_ptr<SlideshowDirector> director) override;
    void setOpengGLView(NSGLView* view) override;

    // ---- TimelineScrollViewDelegate
    void AcceptFileDropped(const QStringList& paths, int index) override;

    // ---- accessors
    std::shared_ptr<SlideshowDirector> director() const;
    NSGLView* opengGLView() const;
    DisplayLink* displayLink() const;
    PreviewWidget* previewWidget() const;
    std::shared_ptr<TextureObject> previousTextureObj() const;
    void setPreviousTextureObj(std::shared_ptr<TextureObject> texture);
    int nTimelineCellWidth() const { return timelineCellWidth; }
    void setNTimelineCellWidth(int width);
    quint64 nSlideInsertIndex() const { return slideInsertIndex; }
    void setNSlideInsertIndex(quint64 index) { slideInsertIndex = index; }
    int nCurrentSlideshowItemIndex() const { return currentSlideIndex; }
    qint64 nPlayingSlideIndex() const;
    void setNPlayingSlideIndex(qint64 index);
    std::shared_ptr<platform::gl::Context> mainContext() const;
    std::vector<SlideItemRef> slideshowArray() const;
    MusicDirector& musicDirector() const;
    MusicTimelineViewController& musicTimelineViewController() const;
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
    AWAttachedWindow* attachedWindowTheme() const { return windowCallOuts->themeCallOut(); }
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
    // The import before the queue: one photo appended at once, with a timeline cell controller of its own
    // that gets its thumbnail (SetNewThumbnail) once the call has returned.
    void addImageToProject(const QString& path);
    void SetNewThumbnail(const single_photo_import::NewThumbnail& handOver);
    // The picture stretched to the slide images' size, or to a 128 x 128 square; the largest square of its
    // middle drawn at `size`.
    static QImage resizePhotoForSlide(const QImage& image);
    static QImage resizePhotoForThmbnail(const QImage& image);
    static QImage imageResize(const QImage& image, const QSize& size);

    // ---- still preview and browsing
    void showCurrentItemPhoto(const SlideItemRef& slide);
    void showSlideItemImage(const SlideItemRef& slide);
    void showImageByUsingBlock(const QString& path);
    void showImageInOpenGL(std::shared_ptr<TextureObject> texture);
    void showWelcomeScreen();
    // The current slide, or the welcome picture when none is current.
    void showCurrentSlideOrWelcome();
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
    PreviewMotion previewMotion() const;
    int previewMotionStepsLeft() const;
    // The shifts of a bounce, one per engine frame: out to half a view half-width and back.
    static std::vector<double> bounceShifts();
    StillPreview& stillPreview() const { return *still; }

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
    bool isStartPending() const;
    QWidget* timelineIndicatorImageView() const;
    PlaybackController& playbackController() const { return *playback; }

    // ---- timeline editing
    // The slide at the current index; null when there is none.
    SlideItemRef currentSlideItem() const;
    // The copy of the current slide that the pan-and-zoom panel edits.
    SlideItemRef panZoomTempItem() const;
    AWAttachedWindow* attachedWindowSetTransition() const { return windowCallOuts->transitionCallOut(); }
    AWAttachedWindow* attachedWindowSetDuration() const { return windowCallOuts->durationCallOut(); }
    // The view shown in the cell call-out opened last.
    QWidget* vcByAttachedWindow() const { return windowCallOuts->view(); }
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
    // Every call-out of the window: the theme list, the cells' and the music's.
    CallOuts& callOuts() const { return *windowCallOuts; }

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
    // The earlier form: the songs join the project without strips of their own or a new layout.
    void addMusicToProject_old(const QStringList& paths);
    // The music-list popover, let go by its delegate call once it closes.
    QWidget* popOverMusicList() const;
    void setPopOverMusicList(QWidget* popover);
    void popoverDidClose();
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
    // The share menu popped up at the pointer (the Share button's context menu).
    void shareButton1Clicked();
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
    // The timeline cell controllers the composition tests and the single-photo import made, kept here and
    // placed on no strip.
    const std::vector<QPointer<TimeLineCellViewController>>& timelineCellViewArray() const {
        return cellControllers;
    }
    void keepTimelineCell(TimeLineCellViewController* cell);

    // ---- the floating editing panels (the file Panels), for the whole run
    PanZoomObject* panZoomObj() const;
    SlideFontEditorObject* fontEditorObj() const;
    ToolboxObject* toolboxObj() const;
    ColorAdjustObject* colorAdjustObj() const;

    // ---- music (the file Music)
    // The open panel for songs, then addMusicToProject.
    void buttonAddMusicClcked();
    // The song's waveform view, then the strip laid out again.
    void AddMusicItemSubView(const MusicItemRef& song);
    // A waveform view for every song again, in order.
    void rebuildMusicSubViews();
    // The strips' frames in timeline coordinates (x, 0, width, 60), one per song up to `count`.
    std::vector<QRectF> musicStripFrames(std::size_t count);
    const std::vector<QPointer<WaveFormViewOSX>>& musicSubviewArray() const;
    AWAttachedWindow* attachedWindowMusicOptions() const;
    AWAttachedWindow* attachedWindowPhotoMusicSync() const;
    // True when no song import is under way.
    bool isMusicImportIdle() const;
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
    // The slides were put in another order elsewhere (a drag on the strip): the current place keeps its
    // index and the preview shows the slide now there, as after a move.
    void slidesReordered();
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
    // True, having said why, while the show cannot be shared yet; the uploader asks before its sign-in.
    bool refusesToShare();
    // The DVD-menu page in a window of its own; a second call brings it to the front.
    void showDVDMenuPage();
    // The DVD test commands: the menu alone as an MPEG-2 stream, its buttons muxed into it, and a preview
    // loop of the first three slides as a menu would play them.
    void EncodeDVDMenu();
    void TestMpegSpumux();
    void TestDVDMenu();
    // The show's MPEG-2 stream alone; an MPEG-2 stream picked in an open panel authored and burnt.
    void createDVDMPEGIIFile();
    void StartDVDAuthor();
    void websiteMenuitemClicked();
    static QString websiteAddress();
    AWAttachedWindow* attachedWindow() const;
    void closeShareCallOut();
    // The progress window of the running or last export (the upload takes it over).
    ExportProgressWindowController* exportProgressWC() const;
    // The commands, once the player is there.
    MovieExportCommand* movieExportCommand() const;
    MP4ExportCommand* mp4ExportCommand() const;
    DVDCommand* dvdCommand() const;
    DVDMenuViewController* dvdMenuViewController() const;
    const std::vector<SlideItemRef>& dvdMenuArray() const;
    // The DVD-menu test plays slides of its own as Play plays the show: the still preview's animation and
    // wait stop and the play state and button go on; once the player has the slides, it starts after
    // `delay` unless stop() comes first.
    void enterPlayState();
    void startPlayerAfter(double delay);

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

    ControllerDialogs& userDialogs;
    std::shared_ptr<platform::Scheduler> clock;
    MainWindowOutlets ui;
    platform::MainThreadGate gate; // notifications posted on other threads, and the title
    std::vector<platform::ObserverHandle> observers;
    std::map<QString, int> handled;

    // the preview and the display kept awake
    std::unique_ptr<PreviewHost> previewHost; // the view, its widget and the player it hands back
    std::unique_ptr<IdleSleepInhibitor> idleSleep;

    // selection and timeline
    int timelineCellWidth = 170;
    int currentSlideIndex = -1;
    quint64 slideInsertIndex = 0;
    QString title;

    // timeline editing: the call-outs, and the editing of the current slide
    std::unique_ptr<CallOuts> windowCallOuts;
    std::unique_ptr<SlideEditing> editing;

    // import
    std::unique_ptr<PhotoImporter> importer;
    platform::Scheduler::Handle delayedRefresh; // the first refresh after start-up

    // preview
    std::unique_ptr<StillPreview> still;

    // playback (the display link's thread reads whether it plays until the view goes)
    std::unique_ptr<PlaybackController> playback;

    // clips and panels
    std::unique_ptr<ClipSlides> clips;
    std::vector<QPointer<TimeLineCellViewController>> cellControllers; // the hub's children
    std::unique_ptr<EditingPanels> panels; // the floating panels and the options window

    // share, export and DVD
    std::unique_ptr<ShareController> share;
    std::unique_ptr<DvdMenuPage> dvdMenu;

    // music: its song queue, the music director and the strip go with the members here
    std::unique_ptr<MusicController> musicControl;
    std::unique_ptr<LayerViews> layerViews;

    // slide list: its windows and the thumbnail refresh, gone first when the controller goes
    std::unique_ptr<SlideListController> slideList;
};
