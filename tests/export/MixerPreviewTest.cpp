#include "MixerTestSupport.h"

#include "export/DVDMenuAudioMixerObject.h"
#include "export/NSAudioMixerObject.h"

#include <atomic>

using mixer_test::MixerTest;

namespace {

constexpr double kFrame = 1.0 / 44100;

class DeadSink : public platform::media::AudioSink {
public:
    bool start(Pull) override { return false; }
    void stop() override {}
    void setPaused(bool) override {}
    void flush() override {}
    int64_t bufferedFrames() const override { return 0; }
    QString errorString() const override { return QStringLiteral("no device"); }
};

// Counts its stops where the test can read them after the sink has gone with its player.
class WatchedSink : public test_support::NullAudioSink {
public:
    explicit WatchedSink(std::shared_ptr<std::atomic<int>> stops) : stops(std::move(stops)) {}
    void stop() override {
        ++*stops;
        NullAudioSink::stop();
    }

private:
    std::shared_ptr<std::atomic<int>> stops;
};

} // namespace

class MixerPreviewTest : public MixerTest {
protected:
    // A preview mix of one 4 s song.
    std::shared_ptr<NSAudioMixerObject> previewMix() {
        writeSong("song.wav", 4.0);
        setSongs({"song.wav"});
        project->setBBackgroundMusicLoopFlag(true);
        setSlides({photo(4, 0)});
        auto mixer = NSAudioMixerObject::installNewMixer(project);
        mixer->mixProjectAudioForPlaying();
        return mixer;
    }
    double position(const NSAudioMixerObject& mixer) { return mixer.player()->currentTime().seconds(); }
    std::shared_ptr<std::atomic<int>> watchSinks() {
        auto stops = std::make_shared<std::atomic<int>>(0);
        platform::media::AudioPlayer::setDefaultSinkFactory(
            [stops] { return std::make_unique<WatchedSink>(stops); });
        return stops;
    }
};

TEST_F(MixerPreviewTest, PlaysFromThePositionAskedFor) {
    auto mixer = previewMix();
    EXPECT_EQ(mixer->player(), nullptr);
    ASSERT_TRUE(mixer->PlayMixedAudioFrom(1.5));
    ASSERT_NE(mixer->player(), nullptr);
    EXPECT_TRUE(mixer->player()->isPlaying());
    EXPECT_NEAR(position(*mixer), 1.5, kFrame);
    sinks.back()->advance(0.5);
    EXPECT_NEAR(position(*mixer), 2.0, kFrame);
}

TEST_F(MixerPreviewTest, APositionBeyondTheMixStartsWithinIt) {
    auto mixer = previewMix();
    ASSERT_TRUE(mixer->PlayMixedAudioFrom(9.0));
    EXPECT_NEAR(position(*mixer), 1.0, kFrame);
}

TEST_F(MixerPreviewTest, TheMixRepeatsFromItsStartAtItsEnd) {
    auto mixer = previewMix();
    ASSERT_TRUE(mixer->PlayMixedAudioFrom(3.5));
    sinks.back()->advance(1.25);
    EXPECT_NEAR(position(*mixer), 0.75, kFrame);
    EXPECT_TRUE(mixer->player()->isPlaying());
}

TEST_F(MixerPreviewTest, StopDropsThePlayerAndReleasesTheOutput) {
    auto mixer = previewMix();
    const auto stops = watchSinks();
    ASSERT_TRUE(mixer->PlayMixedAudio());
    EXPECT_EQ(*stops, 0);
    mixer->StopPlayingMixedAudio();
    EXPECT_EQ(mixer->player(), nullptr);
    EXPECT_GE(*stops, 1);
    mixer->StopPlayingMixedAudio();
    mixer->seekToBegin();
}

TEST_F(MixerPreviewTest, ANewStartReplacesThePlayingPreview) {
    auto mixer = previewMix();
    ASSERT_TRUE(mixer->PlayMixedAudioFrom(1.0));
    ASSERT_TRUE(mixer->PlayMixedAudioFrom(2.0));
    ASSERT_EQ(sinks.size(), 2u);
    EXPECT_NEAR(position(*mixer), 2.0, kFrame);
}

TEST_F(MixerPreviewTest, TheProjectRewindsItsMixer) {
    auto mixer = previewMix();
    ASSERT_TRUE(mixer->PlayMixedAudioFrom(2.5));
    project->resetPlayerToBegin();
    EXPECT_EQ(position(*mixer), 0.0);
    sinks.back()->advance(0.25);
    EXPECT_NEAR(position(*mixer), 0.25, kFrame);
}

TEST_F(MixerPreviewTest, AReplacedMixerStopsItsPreview) {
    auto mixer = previewMix();
    const auto stops = watchSinks();
    ASSERT_TRUE(mixer->PlayMixedAudio());
    mixer.reset();
    EXPECT_EQ(*stops, 0) << "the project still holds it";
    NSAudioMixerObject::installNewMixer(project);
    EXPECT_GE(*stops, 1);
}

TEST_F(MixerPreviewTest, APreviewThatCannotReachTheOutputLeavesNoPlayer) {
    auto mixer = previewMix();
    platform::media::AudioPlayer::setDefaultSinkFactory([] { return std::make_unique<DeadSink>(); });
    EXPECT_FALSE(mixer->PlayMixedAudio());
    EXPECT_EQ(mixer->player(), nullptr);
}

TEST_F(MixerPreviewTest, TheMenuMixerPlaysAsTheProjectsDoes) {
    DVDMenuAudioMixerObject mixer({writeSong("song.wav", 3.0)}, 3.0);
    mixer.mixProjectAudioForPlaying();
    ASSERT_TRUE(mixer.PlayMixedAudioFrom(7.0));
    EXPECT_NEAR(mixer.player()->currentTime().seconds(), 1.0, kFrame);
    sinks.back()->advance(2.5);
    EXPECT_NEAR(mixer.player()->currentTime().seconds(), 0.5, kFrame);
    mixer.seekToBegin();
    EXPECT_EQ(mixer.player()->currentTime().seconds(), 0.0);
    mixer.StopPlayingMixedAudio();
    EXPECT_EQ(mixer.player(), nullptr);
}
