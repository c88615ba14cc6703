// Pictures of the clip windows and the editing panels for a person to judge, with the few checks a picture
// allows.
#include "support/ClipMaker.h"
#include "support/MainWindowFixture.h"
#include "support/Screenshot.h"
#include "support/TestEnvironment.h"

#include "platform/foundation/MainThread.h"
#include "ui/editing/ColorAdjustWindowController.h"
#include "ui/editing/CopyFileProgressWindowController.h"
#include "ui/editing/PanZoomObject.h"
#include "ui/editing/SlideFontEditorObject.h"
#include "ui/editing/SlideFontWndController.h"
#include "ui/editing/ToolboxWindowController.h"
#include "ui/editing/VideoItemPropertyViewController.h"
#include "ui/editing/VideoPlaybackViewController.h"

class ClipsAndPanelsScreenshotTest : public MainWindowTest {};

TEST_F(ClipsAndPanelsScreenshotTest, TheCopyWindowMidCopyAndTheClipInspector) {
    CopyFileProgressWindowController copy(project);
    copy.setStrSrcFilePath(dir.file("Summer at the lake.mov"));
    copy.updateImportProgress(3 * 1048576, 7 * 1048576);
    EXPECT_EQ(copy.progressIndicator()->value(), 42);
    EXPECT_FALSE(screenshot::save(copy, "clip-copy-window").isNull());

    auto clip = platform::makeMainThreadShared<VideoSlideItem>();
    clip->setFSecPhotoDuration(12.4f);
    clip->setFSecTransitionDuration(1.0f);
    clip->customizeBKMusicVolume(0.25f);
    VideoItemPropertyViewController inspector(clip, projectSource());
    QPalette dark = inspector.palette();
    dark.setColor(QPalette::Window, QColor(40, 40, 44)); // as in its call-out
    inspector.setPalette(dark);
    inspector.setAutoFillBackground(true);
    EXPECT_EQ(inspector.photoDurationText()->text(), "13.4s") << "the clip's whole length";
    EXPECT_FALSE(screenshot::save(inspector, "clip-inspector").isNull());
}

TEST_F(ClipsAndPanelsScreenshotTest, TheClipPlayerShowsAFrameOfAClip) {
    test_support::EnvOverride backend("QT_MEDIA_BACKEND", QStringLiteral("ffmpeg"));
    ClipMaker::Options options;
    options.size = QSize(640, 360);
    options.frames = 60;
    ASSERT_TRUE(ClipMaker::make(dir.file("bars.mp4"), options));
    VideoPlaybackViewController player(platform::Scheduler::mainThreadScheduler());
    player.resize(640, 420);
    player.show();
    player.loadVideoFromURL(dir.file("bars.mp4"), platform::makeMainThreadShared<VideoSlideItem>());
    if (!test_support::spinUntil([&] { return player.playPauseButton()->isEnabled(); }))
        GTEST_SKIP() << "the media back end does not load clips here";
    player.playPauseToggle();
    const bool shown = test_support::spinUntil([&] { return !player.playerView()->shownFrame().isNull(); });
    player.playPauseToggle();
    if (!shown)
        GTEST_SKIP() << "the media back end shows no frames here";
    EXPECT_EQ(player.playPauseButton()->text(), "Play");
    EXPECT_FALSE(screenshot::save(player, "clip-player").isNull());
    player.stopPlaying();
}

TEST_F(ClipsAndPanelsScreenshotTest, TheFloatingPanels) {
    PanZoomObject panZoom(projectSource());
    panZoom.PanzoomButtonClicked();
    EXPECT_FALSE(screenshot::save(*panZoom.panzoomPanel(), "panel-pan-zoom").isNull());

    SlideFontEditorObject text(projectSource());
    text.setTextInfoDict(
        {{"Text", "Summer 2024"}, {"FontSize", 72}, {"FontAngle", -30}, {"FontColor", QColor(255, 200, 40)}});
    text.textButtonClicked();
    EXPECT_GT(text.panelWndController()->mFontPopup()->count(), 0);
    EXPECT_FALSE(screenshot::save(*text.panelWndController(), "panel-text").isNull());

    ToolboxObject toolbox;
    toolbox.ShowToolbarPanel();
    EXPECT_FALSE(screenshot::save(*toolbox.toolboxController(), "panel-toolbox").isNull());

    ColorAdjustObject colour;
    ToolboxWindowController::postTool("ColorAdjust");
    EXPECT_FALSE(screenshot::save(*colour.colorWndController(), "panel-colour").isNull());
}
