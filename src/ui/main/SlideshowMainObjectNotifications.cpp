// The notification hub of the main window controller: what it observes and the handler each reaches, and
// the theme's call-out and handler.
#include "ui/main/SlideshowMainObject.h"

#include "model/SlideshowProject.h"
#include "platform/foundation/MainThread.h"
#include "render/SlideshowDirector.h"
#include "ui/controls/AWAttachedWindow.h"
#include "ui/editing/SlideThemeViewController.h"
#include "ui/main/ImageBrowserObject.h"

#include <utility>

using platform::Notification;

namespace {

using Row = SlideshowMainObject::ObservedNotification;
using Main = SlideshowMainObject;

} // namespace

// Every notification the controller observes, once. The command objects observe the rest of the rows on
// their own: "NOTIFY_ENCODE_MOVIE_FINISHED" and "NOTIFY_ENCODE_MPEGII_PROGRESS" the movie export,
// "NSNOTIFY_DVDAUTHOR_FINISHED_OK" and the DVD branches of the cancel, the finish and the edit-done the
// DVD command.
const std::vector<Row>& SlideshowMainObject::observedNotifications() {
    static const std::vector<Row> rows = {
        // registered by init
        {"NOTIFY_THEME_ITEM_SELECTED", &Main::SlideshowThemeSelected, false},
        {"NOTIFY_FULL_SCREEN_OPER_BTN_CLICKED", &Main::notifyFullScreenOperBtnClicked, false},
        {"NOTIFY_TIMELINE_CELL_CLICKED", &Main::notifyTimelineCellClicked, false},
        {"NOTIFY_TIMELINE_CELL_DURATION_CLICKED", &Main::notifyTimelineCellDurationClicked, false},
        {"NOTIFY_TIMELINE_CELL_TRANSITION_CLICKED", &Main::notifyTimelineCellTransitionClicked, false},
        {"NOTIFY_TRANSITION_ITEM_SELECTED", &Main::TransitionEffectSelected, false},
        {"NOTIFY_PANZOOM_CHANGED", &Main::PanZoomValueChanged, false},
        {"NOTIFY_WINDOW_SIZE_CHANGED", &Main::WindowSizeChanged, false},
        {"NOTIFY_FONT_INFO_CHANGED", &Main::FontInfoChanged, false},
        {"NOTIFY_PLAY_SLIDE_INDEX_CHANGED", &Main::notifyPlaySlideIndexChanged, false},
        {"NOTIFY_TOOLBOX_BUTTON_CLICKED", &Main::notifyToolboxButtonClicked, false},
        {"NSNOTIFY_COLORADJUST_CHANGED", &Main::notifyColorAdjustChanged, false},
        {"NOTIFY_MUSIC_TIMELINE_CLICKED", &Main::notifyMusicTimelineClicked, false},
        {"NOTIFY_CANCEL_ENCODING_VIDEO", &Main::notifyCancelEncodingVideo, false},
        {"NOTIFY_CREATE_VIDEO_FILE_END", &Main::notifyPCreateVideoFileEnd, false},
        {"NOTIFY_SHARE_OPTION_BUTTON_CLICK", &Main::NotifyShareButtonClicked, false},
        {"NOTIFY_INSERT_BLANK_IMAGE", &Main::NotifyInsertBlankImage, false},
        {"NOTIFY_UPLOAD_SIGNIN_SUCCESS", &Main::UploadSigninSucess, false},
        {"NOTIFY_MUSIC_OPTIONS_CLOSE_CLICKED", &Main::notifyMusicOptionsCloseClicked, false},
        {"NOTIFY_MUSIC_OPTIONS_ADD_MUSIC_CLICKED", &Main::notifyMusicOptionsAddMusicClicked, false},
        {"NOTIFY_REFRESH_TIMELINE_UI", &Main::notifyRefreshTimelineUI, false},
        {"NOTIFY_MUSIC_SYNC_BUTTON_CLICKED", &Main::notifyMusicSyncButtonClicked, false},
        {"NSNOTIFY_SHOW_DVD_MENU", &Main::ShowDVDMenuItem, false},
        {"NSNOTIFY_NO_DVD_MENU", &Main::NoDVDMenuSelected, false},
        {"NSWindowWillCloseNotification", &Main::windowWillClose, false},
        // registered by the after-load hook
        {"NOTIFY_VIDEO_INFO_EDIT_DONE", &Main::notifyVideoInfoEditDone, true},
        {"NOTIFY_SET_DURATION_BUTTON_CLICKED", &Main::notifySetDurationButtonClicked, true},
        {"NOTIFY_UPDATE_SLIDEITEM_DURATION", &Main::notifyUpdateSlideItemDuration, true},
        {"NOTIFY_CLOSE_SLIDEITEM_DURATION_PANEL", &Main::notifyCloseSlideItemDurationPanel, true},
        {"NOTIFY_UPDATE_SLIDEITEM_SOUND_FILE", &Main::notifyUpdateSlideItemSound, true},
        {"NSNOTIFY_SHOW_MUSIC_LIST", &Main::notifyShowMusicList, true},
        {"NS_NOTIFY_START_MUSIC", &Main::startPlayMusic, true},
        {"NOTIFY_CLOSE_VIDEOITEM_PROPERTY_PANEL", &Main::notifyCloseVideoItemPropertyPanel, true},
    };
    return rows;
}

void SlideshowMainObject::registerObservers(bool byAwakeFromNib) {
    auto& center = platform::NotificationCenter::defaultCenter();
    for (const Row& row : observedNotifications()) {
        if (row.byAwakeFromNib != byAwakeFromNib)
            continue;
        observers.emplace_back(center,
                               center.addObserver(row.name, [this, &row](const Notification& notification) {
                                   dispatch(row, notification);
                               }));
    }
}

// Posts from other threads (the display link's, with the player's lock held; the export threads') reach
// the handler on the main thread, and only while this controller lives.
void SlideshowMainObject::dispatch(const Row& row, const Notification& notification) {
    gate.post([this, &row, notification] {
        ++handled[row.name];
        (this->*row.handler)(notification);
    });
}

// ---- the theme

void SlideshowMainObject::closeThemeCallOut() {
    if (const QPointer<AWAttachedWindow> callOut = std::exchange(themeCallOut, nullptr))
        callOut->closeAndRelease();
}

// A second click closes the call-out. The arrow points at the middle of the button's top edge, in the
// window's coordinates.
void SlideshowMainObject::themeButtonClicked() {
    stop();
    if (takeClosedByFocus(CallOutKind::Theme) || themeCallOut) {
        closeThemeCallOut();
        return;
    }
    QWidget* list = makeThemeListView();
    if (!list)
        return;
    QPointF anchor;
    if (ui.themeButton && ui.mainWindow)
        anchor = ui.themeButton->mapTo(ui.mainWindow, QPoint(ui.themeButton->width() / 2, 0));
    themeCallOut = AWAttachedWindow::create(list, anchor, ui.mainWindow, AWSideAboveRightward, 0.0f);
    connect(themeCallOut, &AWAttachedWindow::didResignKey, this, [this] {
        if (!themeCallOut)
            return; // closed already: its hiding takes the focus away too
        noteClosedByFocus(CallOutKind::Theme);
        closeThemeCallOut();
    });
    themeCallOut->show();
    themeCallOut->raise();
    themeCallOut->activateWindow();
}

void SlideshowMainObject::SlideshowThemeSelected(const Notification& notification) {
    closeThemeCallOut();
    stopSlideshowWith(1);
    const auto project = SlideshowProject::currentMainProject();
    if (!project)
        return;
    const auto themes = project->themeManger();
    const QVariantMap chosen = notification.object.toMap();
    if (themes && !chosen.isEmpty())
        themes->setCurrentThemeID(chosen.value(QStringLiteral("ThemeID")).toInt());
    // Without a theme, the stage gets the theme that is current again rather than none.
    if (slideshowDirector && themes) {
        Notification handedOn = notification;
        if (chosen.isEmpty())
            handedOn.object = themes->currentThemeDict();
        slideshowDirector->SlideshowThemeChanged(handedOn);
    }
    if (themes)
        for (const SlideItemRef& slide : project->slideshowArray())
            themes->setSlideItemFromCurrentTheme(*slide);
    project->setBIsDirty(true);
    // The side panel's list marks the theme now dressing the slides, whichever list it was chosen in.
    if (ui.mediaBrowserObj)
        if (SlideThemeViewController* list = ui.mediaBrowserObj->themeViewController())
            list->selectCurrentTheme();
    if (const SlideItemRef slide = currentSlideItem())
        showCurrentItemPhoto(slide); // in its new dress
}

void SlideshowMainObject::notifyShowMusicList(const Notification&) {
    backgroundMusicListMenuItemClicked();
}
