// The options pane and the options window: what they show of a project, and that every change they make is
// stored and marks the project dirty.
#include "support/MainWindowFixture.h"
#include "support/PostedNotifications.h"

#include "platform/foundation/MainThread.h"
#include "ui/UiNotifications.h"
#include "ui/controls/IVInspectorViewContainer.h"
#include "ui/editing/SlideshowOptionsViewController.h"
#include "ui/editing/SlideshowOptionsWndController.h"

#include <QAbstractButton>
#include <functional>

using test_support::PostedNotifications;

class SlideshowOptionsTest : public MainWindowTest {
protected:
    // Runs each change on a clean project; it must mark it dirty and leave `stored` true.
    struct Change {
        const char* name;
        std::function<void()> act;
        std::function<bool()> stored;
    };
    void expectEachMarksDirty(const std::vector<Change>& changes) {
        for (const Change& change : changes) {
            project->setBIsDirty(false);
            change.act();
            EXPECT_TRUE(project->bIsDirty()) << change.name;
            EXPECT_TRUE(change.stored()) << change.name;
        }
    }
    SlideItemRef slideOfType(int type) {
        auto slide = platform::makeMainThreadShared<SlideItem>();
        slide->setItemType(type);
        slide->customSetDurations(7.0f, 1.0f);
        return slide;
    }
};

TEST_F(SlideshowOptionsTest, DurationReadOutsTruncateToTenthsWithoutLosingOne) {
    const std::pair<float, const char*> cases[] = {{4.0f, "4.0 sec"}, {2.55f, "2.5 sec"}, {2.3f, "2.3 sec"}};
    for (const auto& [seconds, text] : cases)
        EXPECT_EQ(SlideshowOptionsViewController::durationText(seconds), QString(text)) << seconds;
}

TEST_F(SlideshowOptionsTest, ANewProjectShowsItsDefaultsAndThePanesAreAddedOnce) {
    SlideshowOptionsViewController pane(projectSource());
    EXPECT_EQ(pane.slideshowTextField()->text(), "4.0 sec");
    EXPECT_EQ(pane.transitionTime()->text(), "2.0 sec");
    EXPECT_TRUE(pane.btnRepeat()->isChecked());
    EXPECT_FALSE(pane.btnMusicSlidehsow()->isChecked());
    EXPECT_EQ(pane.textfieldBackgroundVolumeWhenPhotos()->text(), "0.90");
    EXPECT_EQ(pane.textfieldBackgroundVolumeWhenVideos()->text(), "0.10");
    EXPECT_EQ(pane.tvMatrix()->checkedId(), int(SlideshowOptionsViewController::kNTSC));
    EXPECT_EQ(pane.videoAspectMatrix()->checkedId(), int(SlideshowOptionsViewController::kAspect4_3));
    pane.setupOptionsPanel();
    pane.setupOptionsPanel();
    ASSERT_EQ(pane.inspectorContainer()->inspectorViews().size(), 2u);
    EXPECT_TRUE(pane.textInspector()->expanded());
    EXPECT_FALSE(pane.buttonInspector()->expanded());
    // The TV system and aspect sit in a pane the user reaches.
    EXPECT_TRUE(pane.buttonInspector()->isAncestorOf(pane.tvMatrix()->button(1)));
    EXPECT_TRUE(pane.buttonInspector()->isAncestorOf(pane.videoAspectMatrix()->button(1)));
    // The third pane is made, named, and left out of the stack.
    IVInspectorView* tv = pane.tvInspector();
    ASSERT_TRUE(tv);
    EXPECT_EQ(tv->objectName(), "tvInspector");
    EXPECT_FALSE(tv->name().isEmpty());
    for (const auto& stacked : pane.inspectorContainer()->inspectorViews())
        EXPECT_NE(stacked, tv);
    EXPECT_EQ(tv->container(), nullptr);
    pane.show();
    EXPECT_FALSE(tv->isVisible());
    EXPECT_TRUE(pane.textInspector()->isVisible());
    // Filling it again from the project runs no action.
    project->setBIsDirty(false);
    project->setFltPhotoDuration(6.5f);
    pane.initOptions();
    EXPECT_EQ(pane.slideshowTextField()->text(), "6.5 sec");
    EXPECT_FALSE(project->bIsDirty());
}

// The options window, open beside the pane, shows the durations and the repeat as the pane changes them.
TEST_F(SlideshowOptionsTest, EveryChangeOfThePaneIsStoredAndMarksTheProjectDirty) {
    SlideshowOptionsViewController pane(projectSource());
    SlideshowOptionsWndController window(&dialogs, projectSource());
    expectEachMarksDirty({
        {"photo duration", [&] { pane.sliderSlideshowTime()->setValue(23); },
         [&] {
             return pane.slideshowTextField()->text() == "2.3 sec" && project->fltPhotoDuration() == 2.3f &&
                    window.sliderSlideshowTime()->value() == 23 &&
                    window.slideshowTextField()->text() == "2.3 sec";
         }},
        {"transition duration", [&] { pane.sliderTransitionTime()->setValue(15); },
         [&] {
             return project->fltTransitionDuration() == 1.5f && window.transitionTime()->text() == "1.5 sec";
         }},
        {"repeat", [&] { pane.btnRepeat()->click(); },
         [&] { return !project->bPlayLoop() && !window.btnRepeat()->isChecked(); }},
        {"music slideshow", [&] { pane.btnMusicSlidehsow()->click(); },
         [&] { return project->bIsMusicSideshow(); }},
        {"PAL", [&] { pane.tvMatrix()->button(2)->click(); }, [&] { return project->bTVSystemPAL(); }},
        {"16:9", [&] { pane.videoAspectMatrix()->button(1)->click(); },
         [&] { return project->bDVDVideoAspect16_9(); }},
        {"volume with photos", [&] { pane.sliderBackgroundVolumeWhenPhotos()->setValue(40); },
         [&] { return pane.textfieldBackgroundVolumeWhenPhotos()->text() == "0.40"; }},
        {"volume with clips", [&] { pane.sliderBackgroundvolumeWhenVideos()->setValue(75); },
         [&] { return project->fltBackgroundMusicVolumeWhenVideos() == 0.75f; }},
        {"apply to all", [&] { pane.applyToAllButton()->click(); }, [] { return true; }},
    });
}

TEST_F(SlideshowOptionsTest, ApplyToAllKeepsAClipsLengthButGivesItTheTransition) {
    project->setSlideshowArray(
        {slideOfType(SlideItem::kItemTypePhoto), slideOfType(SlideItem::kItemTypeVideo)});
    SlideshowOptionsViewController pane(projectSource());
    pane.sliderSlideshowTime()->setValue(30);
    pane.sliderTransitionTime()->setValue(8);
    PostedNotifications posted(kNotifyUpdateSlideItemDuration);
    pane.applyToAllButton()->click();
    const auto slides = project->slideshowArray();
    EXPECT_FLOAT_EQ(slides[0]->fSecPhotoDuration(), 3.0f);
    EXPECT_FLOAT_EQ(slides[1]->fSecPhotoDuration(), 7.0f);
    EXPECT_FLOAT_EQ(slides[0]->fSecTransitionDuration(), 0.8f);
    EXPECT_FLOAT_EQ(slides[1]->fSecTransitionDuration(), 0.8f);
    EXPECT_EQ(posted.list.size(), 1u);
}

TEST_F(SlideshowOptionsTest, DecliningTheSyncChangesNothing) {
    SlideshowOptionsViewController pane(projectSource());
    pane.setDialogs(&dialogs);
    dialogs.questionAnswers = {true}; // the default button: NO
    PostedNotifications refreshed(kNotifyRefreshTimelineUI);
    pane.syncButton()->click();
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_TRUE(refreshed.list.empty());
    EXPECT_FALSE(project->bIsDirty());
}

// The side panel's options pane shows the durations and the repeat as the window changes them.
TEST_F(SlideshowOptionsTest, TheOptionsWindowStoresFormatFolderAndDurations) {
    SlideshowOptionsWndController window(&dialogs, projectSource());
    SlideshowOptionsViewController pane(projectSource());
    EXPECT_TRUE(window.mp4ButtonCell()->isChecked()); // unset counts as MP4
    EXPECT_FALSE(window.btnBrowserOutputPath()->isEnabled());
    EXPECT_EQ(window.outputVideoPathTextField()->text(), SlideshowProject::strOutputVideoPath());
    window.movButtonCell()->click();
    EXPECT_EQ(SlideshowProject::strVideoOutputFormat(), "MOV");
    EXPECT_TRUE(SlideshowOptionsWndController(&dialogs, projectSource()).movButtonCell()->isChecked());

    const QString before = SlideshowProject::strOutputVideoPath();
    window.buttonBrowseClicked(); // cancelled
    EXPECT_EQ(SlideshowProject::strOutputVideoPath(), before);
    dialogs.folderAnswers = {home + "/Exports"};
    window.buttonBrowseClicked();
    EXPECT_EQ(SlideshowProject::strOutputVideoPath(), home + "/Exports");
    EXPECT_EQ(window.outputVideoPathTextField()->text(), home + "/Exports");
    EXPECT_EQ(dialogs.folderPanelStarts, QStringList({before, before}));

    expectEachMarksDirty({
        {"window photo duration", [&] { window.sliderSlideshowTime()->setValue(55); },
         [&] {
             return window.slideshowTextField()->text() == "5.5 sec" &&
                    pane.sliderSlideshowTime()->value() == 55 &&
                    pane.slideshowTextField()->text() == "5.5 sec";
         }},
        {"window transition", [&] { window.sliderTransitionTime()->setValue(12); },
         [&] {
             return project->fltTransitionDuration() == 1.2f && pane.transitionTime()->text() == "1.2 sec";
         }},
        {"window repeat", [&] { window.btnRepeat()->click(); },
         [&] { return !project->bPlayLoop() && !pane.btnRepeat()->isChecked(); }},
        {"window repeat again", [&] { window.btnRepeat()->click(); },
         [&] { return project->bPlayLoop() && pane.btnRepeat()->isChecked(); }},
    });
}

TEST_F(SlideshowOptionsTest, SigningOutOfTheVideoSiteTellsTheUploaderAndTheUser) {
    SlideshowOptionsWndController window(&dialogs, projectSource());
    PostedNotifications video(kNotifySignoutVideoSite), social(kNotifySignoutSocialSite);
    window.btnSignoutVideoSite()->click();
    window.btnSignoutSocialSite()->click();
    EXPECT_EQ(video.list.size(), 1u);
    EXPECT_EQ(social.list.size(), 1u);
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_EQ(dialogs.alerts[0].message, "VideoSite Signin information was cleared.");
}
