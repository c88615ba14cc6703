#include "ClipTestSupport.h"

#include "platform/foundation/MainThread.h"
#include "support/TestEnvironment.h"

#include <atomic>
#include <thread>

using model_test::ClipTest;
using model_test::RecordingTarget;
using model_test::ScriptedDirector;

class VideoSlidePacingTest : public ClipTest {
protected:
    void SetUp() override {
        ClipTest::SetUp();
        project = openNewProject("Pacing");
        ASSERT_TRUE(project);
        clock->set(100.0);
    }

    // Draws slide frame n at the clock time now.
    int draw(VideoSlideItem& clip, quint64 n) {
        clip.LoadOneFrameToOpenGLTexture(n, target);
        return target.last();
    }

    SlideshowProjectRef project;
    RecordingTarget target;
};

TEST_F(VideoSlidePacingTest, InThePreviewTheClipKeepsPaceWithTheClock) {
    auto clip = clipSlide(makeClip("clip.mp4", 45));
    for (quint64 n = 0; n < 6; ++n) {
        EXPECT_EQ(draw(*clip, n), int(n)) << "one clip frame per period in step";
        clock->advance(kPeriod);
    }
    EXPECT_EQ(target.count(), 6u);
    EXPECT_EQ(target.lastSize(), QSize(96, 64));
    EXPECT_EQ(clip->videoDimensions(), QSize(96, 64));
}

TEST_F(VideoSlidePacingTest, AClipAheadOfTheClockHoldsItsFrame) {
    auto clip = clipSlide(makeClip("clip.mp4", 45));
    for (quint64 n = 0; n < 4; ++n) {
        draw(*clip, n);
        clock->advance(kPeriod);
    }
    // The drawing goes on while the clock stands still (a stalled display): one period ahead is still in
    // step, more than that and the clip waits for the clock.
    EXPECT_EQ(draw(*clip, 4), 4);
    EXPECT_EQ(draw(*clip, 5), 5);
    const std::size_t uploads = target.count();
    for (quint64 n = 6; n < 10; ++n)
        draw(*clip, n);
    EXPECT_EQ(target.count(), uploads) << "the frame is held";
    clock->advance(3 * kPeriod);
    // Each call measures the clock of the call before it, so the clip moves on one call later.
    EXPECT_EQ(draw(*clip, 10), 5);
    EXPECT_EQ(draw(*clip, 11), 6);
}

TEST_F(VideoSlidePacingTest, AClipBehindTheClockDropsWholeFramesBeforeShowingOne) {
    auto clip = clipSlide(makeClip("clip.mp4", 45));
    const double first = clock->secondsSinceStart();
    for (quint64 n = 0; n < 5; ++n) {
        draw(*clip, n);
        clock->advance(kPeriod);
    }
    ASSERT_EQ(target.last(), 4);
    // The pass's time runs from the second call (1 period after the first). Drawing stalls so that at the
    // next call the clip, at frame 5, is 5.5 periods behind: 5 frames go unseen.
    clock->set(first + kPeriod + 10.5 * kPeriod);
    EXPECT_EQ(draw(*clip, 5), 5);
    clock->advance(kPeriod);
    EXPECT_EQ(draw(*clip, 6), 11);
    EXPECT_EQ(target.count(), 7u) << "dropped frames are not uploaded";
}

TEST_F(VideoSlidePacingTest, TheLastFrameStaysWhenTheClipEnds) {
    auto clip = clipSlide(makeClip("short.mp4", 5));
    for (quint64 n = 0; n < 12; ++n) {
        draw(*clip, n);
        clock->advance(kPeriod);
    }
    EXPECT_EQ(target.shown(), (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(clip->readerStatus(), VideoSlideItem::ReaderStatus::Completed);
}

TEST_F(VideoSlidePacingTest, DuringAnExportTheClipFollowsThePlayersFrameTimes) {
    auto director = std::make_shared<ScriptedDirector>();
    project->setDirector(director);
    auto clip = clipSlide(makeClip("clip.mp4", 45));
    // The wall clock races ahead and stalls as it likes; only the player's frame times count.
    const qint64 slideStart = 37;
    for (quint64 n = 0; n < 40; ++n) {
        director->setFrame(slideStart + qint64(n));
        clock->advance(n % 3 == 0 ? 1.0 : 0.0);
        EXPECT_EQ(draw(*clip, n), int(n)) << "slide frame " << n;
    }
    EXPECT_FALSE(clip->isAudioStarted()) << "the export mixes the clip's sound itself";
    EXPECT_EQ(clip->player(), nullptr);
}

TEST_F(VideoSlidePacingTest, AnExportThatSkipsAheadDropsTheFramesInBetween) {
    auto director = std::make_shared<ScriptedDirector>();
    project->setDirector(director);
    auto clip = clipSlide(makeClip("clip.mp4", 45));
    for (quint64 n = 0; n < 4; ++n) {
        director->setFrame(qint64(n));
        draw(*clip, n);
    }
    ASSERT_EQ(target.last(), 3);
    director->setFrame(12); // the player jumps, as it does when it is started within a slide
    EXPECT_EQ(draw(*clip, 12), 4);
    director->setFrame(13);
    EXPECT_EQ(draw(*clip, 13), 12) << "behind by 7 periods: frames 5 to 11 go";
    director->setFrame(14);
    EXPECT_EQ(draw(*clip, 14), 13);
}

TEST_F(VideoSlidePacingTest, ThePreviewStartsTheClipsSoundOnceAndARewindStopsIt) {
    auto clip = clipSlide(makeClip("clip.mp4", 30, true));
    project->setSlideshowArray({clip});
    EXPECT_EQ(clip->player(), nullptr);
    draw(*clip, 0);
    EXPECT_TRUE(clip->isAudioStarted());
    ASSERT_NE(clip->player(), nullptr);
    EXPECT_TRUE(clip->player()->isPlaying());
    const auto* started = clip->player();
    clock->advance(kPeriod);
    draw(*clip, 1);
    clock->advance(kPeriod);
    draw(*clip, 0); // a new pass without a rewind does not start the sound again
    EXPECT_EQ(clip->player(), started);

    project->resetPlayerToBegin();
    EXPECT_FALSE(clip->isAudioStarted());
    EXPECT_FALSE(clip->player()->isPlaying()) << "paused by the rewind";
    EXPECT_EQ(clip->previousTimeStamp(), platform::media::MediaTime(0, 1));
    EXPECT_EQ(clip->readerStatus(), VideoSlideItem::ReaderStatus::Cancelled);
    clock->advance(kPeriod);
    EXPECT_EQ(draw(*clip, 0), 0) << "after a rewind the clip starts from its first frame";
    EXPECT_TRUE(clip->isAudioStarted());
    EXPECT_TRUE(clip->player()->isPlaying());
}

// A showing's end lets the clip's sound player go, with the sound output's thread, also when the drawing
// thread has handed its start to the main thread and that has not run yet; the next showing makes it again.
TEST_F(VideoSlidePacingTest, TheEndOfAShowingLetsTheSoundPlayerGoAndTheNextShowingMakesItAgain) {
    auto clip = clipSlide(makeClip("clip.mp4", 30, true));
    project->setSlideshowArray({clip});
    std::atomic<bool> handedOver{false};
    std::thread drawing([&] {
        RecordingTarget own;
        clip->LoadOneFrameToOpenGLTexture(0, own);
        platform::runOnMainThread([&] { handedOver = true; }); // queued after the sound's start
    });
    drawing.join();
    clip->endShowing();
    ASSERT_TRUE(test_support::spinUntil([&] { return handedOver.load(); }));
    EXPECT_EQ(clip->player(), nullptr);
    EXPECT_EQ(clip->readerStatus(), VideoSlideItem::ReaderStatus::Cancelled) << "the pass closed";
    clock->advance(kPeriod);
    EXPECT_EQ(draw(*clip, 0), 0);
    ASSERT_NE(clip->player(), nullptr);
    EXPECT_TRUE(clip->player()->isPlaying());
}

// The earlier form paces the frames alike; at a pass's first frame it marks the sound started but leaves
// it silent, so that no later pass starts it either until a rewind.
TEST_F(VideoSlidePacingTest, TheEarlierFormPacesAlikeAndLeavesTheClipsSoundSilent) {
    auto earlier = clipSlide(makeClip("clip.mp4", 30, true));
    auto later = clipSlide(makeClip("other.mp4", 30, true));
    project->setSlideshowArray({earlier, later});
    RecordingTarget laterTarget;
    for (quint64 n = 0; n < 6; ++n) {
        earlier->LoadOneFrameToOpenGLTexture_Alt(n, target);
        later->LoadOneFrameToOpenGLTexture(n, laterTarget);
        EXPECT_EQ(target.last(), laterTarget.last()) << n;
        clock->advance(n == 3 ? 4 * kPeriod : kPeriod); // a stall: both drop the same frames
    }
    EXPECT_EQ(target.count(), laterTarget.count());
    EXPECT_DOUBLE_EQ(earlier->previousSystemTimeStamp(), later->previousSystemTimeStamp());
    EXPECT_TRUE(earlier->isAudioStarted());
    EXPECT_EQ(earlier->player(), nullptr) << "marked as started, never started";
    ASSERT_NE(later->player(), nullptr);
    earlier->LoadOneFrameToOpenGLTexture(0, target);
    EXPECT_EQ(earlier->player(), nullptr) << "a new pass does not start it either";
    earlier->resetVideoItem();
    earlier->LoadOneFrameToOpenGLTexture(0, target);
    EXPECT_NE(earlier->player(), nullptr) << "after a rewind the later form starts it";
}

TEST_F(VideoSlidePacingTest, AFirstDrawWithinTheSlideStartsAPassFromTheClipsStart) {
    auto clip = clipSlide(makeClip("clip.mp4", 20));
    EXPECT_EQ(draw(*clip, 9), 0) << "no reader yet: a pass starts at the clip's first frame";
    clock->advance(kPeriod);
    EXPECT_EQ(draw(*clip, 10), 1);
}

TEST_F(VideoSlidePacingTest, AClipThatCannotBeReadShowsNothing) {
    const QString path = dir.file("broken.mp4");
    model_test::writeFile(path, QByteArray(4096, 'x'));
    auto clip = clipSlide(path);
    EXPECT_FALSE(clip->hasAsset());
    EXPECT_TRUE(clip->LoadOneFrameToOpenGLTexture(0, target));
    EXPECT_EQ(target.count(), 0u);
    EXPECT_EQ(clip->readerStatus(), VideoSlideItem::ReaderStatus::Unknown);
}

TEST_F(VideoSlidePacingTest, RewindsFromAnotherThreadWhileFramesAreDrawn) {
    auto director = std::make_shared<ScriptedDirector>();
    project->setDirector(
        director); // an export's: no sound, which the drawing thread would queue to the main loop
    auto clip = clipSlide(makeClip("clip.mp4", 30));
    std::atomic<bool> stop{false};
    std::thread drawing([&] {
        RecordingTarget own;
        for (quint64 n = 0; !stop; n = (n + 1) % 40)
            clip->LoadOneFrameToOpenGLTexture(n, own);
    });
    for (int i = 0; i < 25; ++i) {
        clip->resetVideoItem();
        std::this_thread::yield();
    }
    stop = true;
    drawing.join();
    clip->resetVideoItem();
    EXPECT_EQ(draw(*clip, 0), 0);
}

TEST_F(VideoSlidePacingTest, AnExportAfterAPreviewThatWasNotRewoundStillPlaysTheClip) {
    auto clip = clipSlide(makeClip("clip.mp4", 45));
    for (quint64 n = 0; n < 8; ++n) // the preview's clock stalls: the clip ends up waiting for it
        draw(*clip, n);
    const std::size_t previewUploads = target.count();
    auto director = std::make_shared<ScriptedDirector>();
    project->setDirector(director);
    // The export's frame times start far below the preview's clock; its first frame of the slide starts a
    // pass whose timing owes nothing to the preview's.
    for (quint64 n = 0; n < 10; ++n) {
        director->setFrame(qint64(n));
        draw(*clip, n);
    }
    EXPECT_EQ(target.count(), previewUploads + 10);
    EXPECT_EQ(target.last(), 9);
}
