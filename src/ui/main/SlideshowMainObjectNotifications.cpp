// The notification hub of the main window controller: what it observes and the handler each reaches, and
// the theme's handler.
#include "ui/main/SlideshowMainObject.h"

#include "dvd/DVDNotifications.h"
#include "export/ExportNotifications.h"
#include "model/SlideshowProject.h"
#include "platform/foundation/MainThread.h"
#include "render/RenderNotifications.h"
#include "render/SlideshowDirector.h"
#include "ui/UiNotifications.h"
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
        {kNotifyThemeItemSelected, &Main::SlideshowThemeSelected, false},
        {kNotifyFullScreenOperBtnClicked, &Main::notifyFullScreenOperBtnClicked, false},
        {kNotifyTimelineCellClicked, &Main::notifyTimelineCellClicked, false},
        {kNotifyTimelineCellDurationClicked, &Main::notifyTimelineCellDurationClicked, false},
        {kNotifyTimelineCellTransitionClicked, &Main::notifyTimelineCellTransitionClicked, false},
        {kNotifyTransitionItemSelected, &Main::TransitionEffectSelected, false},
        {kNotifyPanZoomChanged, &Main::PanZoomValueChanged, false},
        {kNotifyWindowSizeChanged, &Main::WindowSizeChanged, false},
        {kNotifyFontInfoChanged, &Main::FontInfoChanged, false},
        {kNotifyPlaySlideIndexChanged, &Main::notifyPlaySlideIndexChanged, false},
        {kNotifyToolboxButtonClicked, &Main::notifyToolboxButtonClicked, false},
        {kNotifyColorAdjustChanged, &Main::notifyColorAdjustChanged, false},
        {kNotifyMusicTimelineClicked, &Main::notifyMusicTimelineClicked, false},
        {kNotifyCancelEncodingVideo, &Main::notifyCancelEncodingVideo, false},
        {kNotifyCreateVideoFileEnd, &Main::notifyPCreateVideoFileEnd, false},
        {kNotifyShareOptionButtonClick, &Main::NotifyShareButtonClicked, false},
        {kNotifyInsertBlankImage, &Main::NotifyInsertBlankImage, false},
        {kNotifyUploadSigninSuccess, &Main::UploadSigninSucess, false},
        {kNotifyMusicOptionsCloseClicked, &Main::notifyMusicOptionsCloseClicked, false},
        {kNotifyMusicOptionsAddMusicClicked, &Main::notifyMusicOptionsAddMusicClicked, false},
        {kNotifyRefreshTimelineUI, &Main::notifyRefreshTimelineUI, false},
        {kNotifyMusicSyncButtonClicked, &Main::notifyMusicSyncButtonClicked, false},
        {kNotifyShowDVDMenu, &Main::ShowDVDMenuItem, false},
        {kNotifyNoDVDMenu, &Main::NoDVDMenuSelected, false},
        {kNotifyWindowWillClose, &Main::windowWillClose, false},
        // registered by the after-load hook
        {kNotifyVideoInfoEditDone, &Main::notifyVideoInfoEditDone, true},
        {kNotifySetDurationButtonClicked, &Main::notifySetDurationButtonClicked, true},
        {kNotifyUpdateSlideItemDuration, &Main::notifyUpdateSlideItemDuration, true},
        {kNotifyCloseSlideItemDurationPanel, &Main::notifyCloseSlideItemDurationPanel, true},
        {kNotifyUpdateSlideItemSoundFile, &Main::notifyUpdateSlideItemSound, true},
        {kNotifyShowMusicList, &Main::notifyShowMusicList, true},
        {kNotifyStartMusic, &Main::startPlayMusic, true},
        {kNotifyCloseVideoItemPropertyPanel, &Main::notifyCloseVideoItemPropertyPanel, true},
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
    windowCallOuts->closeThemeCallOut();
}

void SlideshowMainObject::themeButtonClicked() {
    windowCallOuts->themeButtonClicked();
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
    if (const auto player = director(); player && themes) {
        Notification handedOn = notification;
        if (chosen.isEmpty())
            handedOn.object = themes->currentThemeDict();
        player->SlideshowThemeChanged(handedOn);
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
