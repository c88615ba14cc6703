#include "support/MainWindowFixture.h"

#include "model/SlideshowProject.h"

#include <QSet>

#include <thread>

using platform::NotificationCenter;

namespace {

// What the other rows' posters send, so that the handlers meet their real payloads.
QVariantMap userInfoFor(const QString& name) {
    if (name == "NOTIFY_PLAY_SLIDE_INDEX_CHANGED")
        return {{"playingItemIndex", 0}};
    if (name == "NOTIFY_FULL_SCREEN_OPER_BTN_CLICKED")
        return {{"button", "next"}};
    return {};
}

} // namespace

class NotificationHubTest : public MainWindowTest {};

TEST_F(NotificationHubTest, EveryRowReachesItsHandlerOnceAndTheCommandsRowsAreLeftToThem) {
    const auto& rows = SlideshowMainObject::observedNotifications();
    QSet<QString> names;
    for (const auto& row : rows)
        names.insert(row.name);
    EXPECT_EQ(rows.size(), 33u);
    EXPECT_EQ(names.size(), 33) << "no notification is observed twice";
    // The movie export and the DVD command observe these themselves.
    for (const char* commandRow :
         {"NOTIFY_ENCODE_MOVIE_FINISHED", "NSNOTIFY_DVDAUTHOR_FINISHED_OK", "NOTIFY_ENCODE_MPEGII_PROGRESS"})
        EXPECT_FALSE(names.contains(commandRow)) << commandRow;

    controller = std::make_unique<HookRecordingMainObject>(dialogs, scheduler);
    auto& center = NotificationCenter::defaultCenter();
    center.post("NOTIFY_VIDEO_INFO_EDIT_DONE");
    EXPECT_EQ(controller->handledCount("NOTIFY_VIDEO_INFO_EDIT_DONE"), 0)
        << "registered by the after-load hook";
    controller->awakeFromNib();
    for (const auto& row : rows)
        center.post(row.name, QVariant(), userInfoFor(row.name));
    // Showing the music list posts the music strip's click.
    for (const auto& row : rows)
        EXPECT_EQ(controller->handledCount(row.name), row.name == "NOTIFY_MUSIC_TIMELINE_CLICKED" ? 2 : 1)
            << row.name.toStdString();
    center.post("NOTIFY_ENCODE_MOVIE_FINISHED");
    EXPECT_EQ(controller->handledCount("NOTIFY_ENCODE_MOVIE_FINISHED"), 0);
}

TEST_F(NotificationHubTest, APostFromAnotherThreadIsHandledOnTheMainThreadWhileTheControllerLives) {
    makeController();
    std::thread link(
        [] { NotificationCenter::defaultCenter().post("NS_NOTIFY_START_MUSIC", qulonglong(30)); });
    link.join();
    EXPECT_EQ(controller->handledCount("NS_NOTIFY_START_MUSIC"), 0) << "not on the posting thread";
    ASSERT_TRUE(
        test_support::spinUntil([&] { return controller->handledCount("NS_NOTIFY_START_MUSIC") == 1; }));
    std::thread late(
        [] { NotificationCenter::defaultCenter().post("NS_NOTIFY_START_MUSIC", qulonglong(60)); });
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
        NotificationCenter::defaultCenter().post("NOTIFY_THEME_ITEM_SELECTED", step.theme);
        EXPECT_EQ(project->themeManger()->currentThemeID(), step.expectedTheme);
        EXPECT_TRUE(project->bIsDirty());
        for (const auto& slide : slides)
            EXPECT_NE(slide->zoomStart(), 7.0)
                << "the current theme deals every slide its pan and zoom again";
    }
}
