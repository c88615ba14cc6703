#include "support/MainWindowFixture.h"

#include "dvd/DVDNotifications.h"
#include "export/ExportNotifications.h"
#include "model/SlideshowProject.h"
#include "render/RenderNotifications.h"
#include "ui/UiNotifications.h"

#include <QSet>

#include <string>
#include <thread>
#include <utility>
#include <vector>

using platform::NotificationCenter;

namespace {

// The observers the main window controller is designed to have, in the order it registers them, each with
// whether the after-load hook (rather than start-up) registers it. The texts are written out, not taken from
// the constants, so that a constant whose text drifts fails here.
struct DesignedObserver {
    const char* name;
    bool byAwakeFromNib;
};
constexpr DesignedObserver kDesignedObservers[] = {
    {"NOTIFY_THEME_ITEM_SELECTED", false},
    {"NOTIFY_FULL_SCREEN_OPER_BTN_CLICKED", false},
    {"NOTIFY_TIMELINE_CELL_CLICKED", false},
    {"NOTIFY_TIMELINE_CELL_DURATION_CLICKED", false},
    {"NOTIFY_TIMELINE_CELL_TRANSITION_CLICKED", false},
    {"NOTIFY_TRANSITION_ITEM_SELECTED", false},
    {"NOTIFY_PANZOOM_CHANGED", false},
    {"NOTIFY_WINDOW_SIZE_CHANGED", false},
    {"NOTIFY_FONT_INFO_CHANGED", false},
    {"NOTIFY_PLAY_SLIDE_INDEX_CHANGED", false},
    {"NOTIFY_TOOLBOX_BUTTON_CLICKED", false},
    {"NSNOTIFY_COLORADJUST_CHANGED", false},
    {"NOTIFY_MUSIC_TIMELINE_CLICKED", false},
    {"NOTIFY_CANCEL_ENCODING_VIDEO", false},
    {"NOTIFY_ENCODE_MOVIE_FINISHED", false},
    {"NOTIFY_CREATE_VIDEO_FILE_END", false},
    {"NOTIFY_SHARE_OPTION_BUTTON_CLICK", false},
    {"NOTIFY_INSERT_BLANK_IMAGE", false},
    {"NOTIFY_UPLOAD_SIGNIN_SUCCESS", false},
    {"NOTIFY_MUSIC_OPTIONS_CLOSE_CLICKED", false},
    {"NOTIFY_MUSIC_OPTIONS_ADD_MUSIC_CLICKED", false},
    {"NOTIFY_REFRESH_TIMELINE_UI", false},
    {"NOTIFY_MUSIC_SYNC_BUTTON_CLICKED", false},
    {"NSNOTIFY_SHOW_DVD_MENU", false},
    {"NSNOTIFY_NO_DVD_MENU", false},
    {"NSWindowWillCloseNotification", false},
    {"NOTIFY_VIDEO_INFO_EDIT_DONE", true},
    {"NSNOTIFY_DVDAUTHOR_FINISHED_OK", true},
    {"NOTIFY_SET_DURATION_BUTTON_CLICKED", true},
    {"NOTIFY_UPDATE_SLIDEITEM_DURATION", true},
    {"NOTIFY_CLOSE_SLIDEITEM_DURATION_PANEL", true},
    {"NOTIFY_UPDATE_SLIDEITEM_SOUND_FILE", true},
    {"NSNOTIFY_SHOW_MUSIC_LIST", true},
    {"NS_NOTIFY_START_MUSIC", true},
    {"NOTIFY_CLOSE_VIDEOITEM_PROPERTY_PANEL", true},
};
// The movie export and the DVD command observe these themselves, only while they run; the hub's table
// leaves them out.
constexpr const char* kObservedByTheCommands[] = {
    "NOTIFY_ENCODE_MOVIE_FINISHED", "NSNOTIFY_DVDAUTHOR_FINISHED_OK", "NOTIFY_ENCODE_MPEGII_PROGRESS"};

bool observedByTheCommands(const QString& name) {
    for (const char* commandRow : kObservedByTheCommands)
        if (name == QLatin1String(commandRow))
            return true;
    return false;
}

// What the other rows' posters send, so that the handlers meet their real payloads.
QVariantMap userInfoFor(const QString& name) {
    if (name == kNotifyPlaySlideIndexChanged)
        return {{"playingItemIndex", 0}};
    if (name == kNotifyFullScreenOperBtnClicked)
        return {{"button", "next"}};
    return {};
}

} // namespace

class NotificationHubTest : public MainWindowTest {};

TEST_F(NotificationHubTest, TheObserverTableIsTheDesignedOneLessWhatTheCommandsObserve) {
    using Entry = std::pair<std::string, bool>;
    std::vector<Entry> expected;
    for (const DesignedObserver& designed : kDesignedObservers)
        if (!observedByTheCommands(QLatin1String(designed.name)))
            expected.emplace_back(designed.name, designed.byAwakeFromNib);
    std::vector<Entry> actual;
    for (const auto& row : SlideshowMainObject::observedNotifications())
        actual.emplace_back(row.name.toStdString(), row.byAwakeFromNib);
    EXPECT_EQ(actual, expected);
    // The commands' names as the hub's neighbours declare them.
    EXPECT_EQ(
        (QStringList{kNotifyEncodeMovieFinished, kNotifyDVDAuthorFinishedOK, kNotifyEncodeMPEGIIProgress}),
        (QStringList{kObservedByTheCommands[0], kObservedByTheCommands[1], kObservedByTheCommands[2]}));
}

TEST_F(NotificationHubTest, EveryRowReachesItsHandlerOnceAndTheCommandsRowsAreLeftToThem) {
    const auto& rows = SlideshowMainObject::observedNotifications();
    QSet<QString> names;
    for (const auto& row : rows)
        names.insert(row.name);
    EXPECT_EQ(names.size(), qsizetype(rows.size())) << "no notification is observed twice";

    controller = std::make_unique<HookRecordingMainObject>(dialogs, scheduler);
    auto& center = NotificationCenter::defaultCenter();
    center.post(kNotifyVideoInfoEditDone);
    EXPECT_EQ(controller->handledCount(kNotifyVideoInfoEditDone), 0) << "registered by the after-load hook";
    controller->awakeFromNib();
    for (const auto& row : rows)
        center.post(row.name, QVariant(), userInfoFor(row.name));
    // Showing the music list posts the music strip's click.
    for (const auto& row : rows)
        EXPECT_EQ(controller->handledCount(row.name), row.name == kNotifyMusicTimelineClicked ? 2 : 1)
            << row.name.toStdString();
    center.post(kNotifyEncodeMovieFinished);
    EXPECT_EQ(controller->handledCount(kNotifyEncodeMovieFinished), 0);
}

TEST_F(NotificationHubTest, APostFromAnotherThreadIsHandledOnTheMainThreadWhileTheControllerLives) {
    makeController();
    std::thread link([] { NotificationCenter::defaultCenter().post(kNotifyStartMusic, qulonglong(30)); });
    link.join();
    EXPECT_EQ(controller->handledCount(kNotifyStartMusic), 0) << "not on the posting thread";
    ASSERT_TRUE(test_support::spinUntil([&] { return controller->handledCount(kNotifyStartMusic) == 1; }));
    std::thread late([] { NotificationCenter::defaultCenter().post(kNotifyStartMusic, qulonglong(60)); });
    late.join();
    controller.reset(); // the hop queued meanwhile finds nobody
    test_support::spinFor(30);
}

TEST_F(NotificationHubTest, AThemeOrNoneIsAppliedToEverySlideAndMarksTheProjectDirty) {
    makeController();
    const auto slides = useColourSlides({Qt::red, Qt::green});
    struct Case {
        QVariant theme;
        int expectedTheme;
    };
    for (const Case& step : {Case{QVariantMap{{"ThemeID", 3}}, 3}, Case{QVariant(), 3}}) {
        for (const auto& slide : slides)
            slide->setZoomStart(7.0);
        project->setBIsDirty(false);
        NotificationCenter::defaultCenter().post(kNotifyThemeItemSelected, step.theme);
        EXPECT_EQ(project->themeManger()->currentThemeID(), step.expectedTheme);
        EXPECT_TRUE(project->bIsDirty());
        for (const auto& slide : slides)
            EXPECT_NE(slide->zoomStart(), 7.0)
                << "the current theme deals every slide its pan and zoom again";
    }
}
