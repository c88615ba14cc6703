#include "platform/media/AudioPlayer.h"
#include "platform/media/MediaAsset.h"
#include "platform/media/QtAudioSink.h"
#include "platform/media/SoundDevices.h"
#include "support/NullAudioSink.h"
#include "support/TempDir.h"
#include "support/TestEnvironment.h"
#include "support/WavFile.h"

#include <QFile>
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

using namespace platform::media;
using test_support::NullAudioSink;

namespace {

constexpr double kFrame = 1.0 / 44100;

// A WAV whose left channel counts frames (value = frame index / 32768), so a pulled sample tells its
// position.
void writeCounting(const QString& path, int frames) {
    std::vector<int16_t> samples(static_cast<size_t>(frames) * 2);
    for (int i = 0; i < frames; ++i)
        samples[static_cast<size_t>(i) * 2] = static_cast<int16_t>(i);
    ASSERT_TRUE(WavFile::write(path, samples, 2, 44100));
}

// Keeps every frame it pulls, a chunk of the asked size at a time.
class RecordingSink : public AudioSink {
public:
    bool failToStart = false;
    std::vector<float> heard;

    bool start(Pull p) override {
        if (failToStart)
            return false;
        pull = std::move(p);
        return true;
    }
    void stop() override { pull = nullptr; }
    void setPaused(bool) override {}
    void flush() override { ++flushes; }
    int64_t bufferedFrames() const override { return 0; }
    QString errorString() const override { return failToStart ? QStringLiteral("no device") : QString(); }

    int take(int frames) {
        std::vector<float> chunk(static_cast<size_t>(frames) * 2);
        const int got = pull ? pull(chunk.data(), frames) : 0;
        heard.insert(heard.end(), chunk.begin(), chunk.begin() + got * 2);
        return got;
    }
    int flushes = 0;

private:
    Pull pull;
};

class AudioPlayerTest : public ::testing::Test {
protected:
    void SetUp() override { writeCounting(dir.file("count.wav"), 4410); } // 0.1 s

    // The counting sound at the given places of one track, with an optional envelope.
    Composition countingAt(std::vector<double> starts) {
        const MediaAsset asset = MediaAsset::open(dir.file("count.wav"));
        EXPECT_TRUE(asset.isValid());
        Composition composition;
        CompositionTrack& track = composition.addTrack();
        for (double start : starts)
            EXPECT_TRUE(track.insertTimeRange(asset.audioTimeRange(), asset, MediaTime::fromSeconds(start)));
        return composition;
    }

    std::unique_ptr<AudioPlayer> playerOf(Composition composition, NullAudioSink*& sink, AudioMix mix = {}) {
        auto owned = std::make_unique<NullAudioSink>();
        sink = owned.get();
        return std::make_unique<AudioPlayer>(std::move(composition), std::move(mix), std::move(owned));
    }

    TempDir dir;
};

} // namespace

TEST_F(AudioPlayerTest, PositionFollowsTheManualClockOnlyWhilePlaying) {
    NullAudioSink* sink = nullptr;
    auto player = playerOf(countingAt({0.0}), sink);
    EXPECT_NEAR(player->duration().seconds(), 0.1, kFrame);
    sink->advance(0.05);
    EXPECT_EQ(player->currentTime().seconds(), 0.0) << "not started";
    ASSERT_TRUE(player->play());
    EXPECT_TRUE(player->isPlaying());
    sink->advance(0.02);
    sink->advance(0.01);
    EXPECT_NEAR(player->currentTime().seconds(), 0.03, kFrame);
    player->pause();
    EXPECT_TRUE(sink->isPaused());
    sink->advance(0.05);
    EXPECT_NEAR(player->currentTime().seconds(), 0.03, kFrame);
    ASSERT_TRUE(player->play());
    sink->advance(0.01);
    EXPECT_NEAR(player->currentTime().seconds(), 0.04, kFrame);
}

TEST_F(AudioPlayerTest, FractionsOfFramesAddUpOverManySmallSteps) {
    NullAudioSink* sink = nullptr;
    auto player = playerOf(countingAt({0.0}), sink);
    ASSERT_TRUE(player->play());
    for (int i = 0; i < 1000; ++i)
        sink->advance(0.00005); // 2.205 frames each
    EXPECT_EQ(sink->framesPlayed(), 2205);
}

TEST_F(AudioPlayerTest, TheEndHandlerRunsOnceWhenTheEndIsHeardAndThePlayerStaysThere) {
    NullAudioSink* sink = nullptr;
    auto player = playerOf(countingAt({0.0}), sink);
    std::atomic<int> ends{0};
    player->setEndHandler([&] { ++ends; });
    ASSERT_TRUE(player->play());
    sink->advance(0.099);
    EXPECT_EQ(ends, 0);
    sink->advance(0.5);
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(sink->framesPlayed(), 4410);
    EXPECT_NEAR(player->currentTime().seconds(), 0.1, kFrame);
    sink->advance(1.0);
    EXPECT_EQ(ends, 1) << "the end is reported once until the player moves";
    EXPECT_TRUE(player->isPlaying());
}

TEST_F(AudioPlayerTest, AHandlerThatSeeksToTheStartRepeatsTheSound) {
    NullAudioSink* sink = nullptr;
    auto player = playerOf(countingAt({0.0}), sink);
    std::atomic<int> ends{0};
    player->setEndHandler([&] {
        ++ends;
        player->seek(MediaTime::zero());
    });
    ASSERT_TRUE(player->play());
    sink->advance(0.25);
    EXPECT_EQ(ends, 2);
    EXPECT_NEAR(player->currentTime().seconds(), 0.05, kFrame);
    EXPECT_EQ(sink->framesPlayed(), 11025);
}

TEST_F(AudioPlayerTest, ALoopOverNothingDoesNotSpinForEver) {
    NullAudioSink* sink = nullptr;
    auto player = playerOf(Composition(), sink);
    std::atomic<int> ends{0};
    player->setEndHandler([&] {
        ++ends;
        player->seek(MediaTime::zero());
    });
    ASSERT_TRUE(player->play());
    sink->advance(1.0);
    EXPECT_GE(ends, 1);
    EXPECT_LE(ends, 2);
    EXPECT_EQ(sink->framesPlayed(), 0);
}

TEST_F(AudioPlayerTest, PulledFramesStartAtTheSeekAndFollowTheMix) {
    auto owned = std::make_unique<RecordingSink>();
    RecordingSink* sink = owned.get();
    MixInputParameters levels(1);
    levels.setVolume(0.5f, MediaTime::fromSeconds(0.2));
    AudioPlayer player(countingAt({0.0, 0.2}), AudioMix({levels}), std::move(owned));
    ASSERT_TRUE(player.play());
    player.seek(MediaTime::fromSeconds(0.05)); // frame 2205
    EXPECT_EQ(sink->flushes, 1);
    ASSERT_EQ(sink->take(10), 10);
    EXPECT_NEAR(sink->heard[0], 2205 / 32768.0, 1e-6);
    EXPECT_NEAR(sink->heard[18], 2214 / 32768.0, 1e-6);
    EXPECT_EQ(sink->heard[1], 0.0f) << "the right channel is silent";

    player.seek(MediaTime::fromSeconds(0.25)); // 0.05 s into the second copy, at half level
    sink->heard.clear();
    ASSERT_EQ(sink->take(1), 1);
    EXPECT_NEAR(sink->heard[0], 0.5 * 2205 / 32768.0, 1e-6);
    player.seek(MediaTime::fromSeconds(0.15)); // the gap between the copies
    sink->heard.clear();
    ASSERT_EQ(sink->take(1), 1);
    EXPECT_EQ(sink->heard[0], 0.0f);
}

TEST_F(AudioPlayerTest, SeeksAreClampedToTheSound) {
    NullAudioSink* sink = nullptr;
    auto player = playerOf(countingAt({0.0}), sink);
    player->seek(MediaTime::fromSeconds(-3));
    EXPECT_EQ(player->currentTime().seconds(), 0.0);
    player->seek(MediaTime::fromSeconds(7));
    EXPECT_NEAR(player->currentTime().seconds(), 0.1, kFrame);
    player->seek(MediaTime::invalid());
    EXPECT_EQ(player->currentTime().seconds(), 0.0);
}

TEST_F(AudioPlayerTest, StopReleasesTheSinkAndRewinds) {
    NullAudioSink* sink = nullptr;
    auto player = playerOf(countingAt({0.0}), sink);
    ASSERT_TRUE(player->play());
    sink->advance(0.05);
    player->stop();
    EXPECT_FALSE(sink->isStarted());
    EXPECT_FALSE(player->isPlaying());
    EXPECT_EQ(player->currentTime().seconds(), 0.0);
    ASSERT_TRUE(player->play());
    EXPECT_TRUE(sink->isStarted());
    sink->advance(0.02);
    EXPECT_NEAR(player->currentTime().seconds(), 0.02, kFrame);
}

TEST_F(AudioPlayerTest, ASinkThatCannotStartMakesPlayFail) {
    auto owned = std::make_unique<RecordingSink>();
    owned->failToStart = true;
    AudioPlayer player(countingAt({0.0}), AudioMix(), std::move(owned));
    EXPECT_FALSE(player.play());
    EXPECT_FALSE(player.isPlaying());
    EXPECT_EQ(player.errorString(), "no device");
}

TEST_F(AudioPlayerTest, AnUnreadableSourceFailsThePlayerWithoutAnEnd) {
    Composition composition = countingAt({0.0});
    ASSERT_TRUE(QFile::remove(dir.file("count.wav")));
    NullAudioSink* sink = nullptr;
    auto player = playerOf(std::move(composition), sink);
    std::atomic<int> ends{0};
    player->setEndHandler([&] { ++ends; });
    ASSERT_TRUE(player->play());
    sink->advance(0.5);
    EXPECT_EQ(player->status(), AudioPlayer::Status::Failed);
    EXPECT_TRUE(player->errorString().contains("count.wav"));
    EXPECT_EQ(ends, 0);
    EXPECT_EQ(sink->framesPlayed(), 0);
}

TEST_F(AudioPlayerTest, TheDefaultSinkComesFromTheInstalledFactory) {
    NullAudioSink* made = nullptr;
    AudioPlayer::setDefaultSinkFactory([&] {
        auto sink = std::make_unique<NullAudioSink>();
        made = sink.get();
        return sink;
    });
    AudioPlayer player(countingAt({0.0}), AudioMix());
    AudioPlayer::setDefaultSinkFactory(nullptr);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(player.sink(), made);
}

TEST_F(AudioPlayerTest, SeeksFromAnotherThreadWhileTheClockRuns) {
    NullAudioSink* sink = nullptr;
    auto player = playerOf(countingAt({0.0, 0.3}), sink);
    player->setEndHandler([&] { player->seek(MediaTime::zero()); });
    ASSERT_TRUE(player->play());
    std::atomic<bool> done{false};
    std::thread seeker([&] {
        for (int i = 0; !done; ++i) {
            player->seek(MediaTime::fromSeconds((i % 40) * 0.01));
            const double now = player->currentTime().seconds();
            EXPECT_GE(now, 0.0);
            EXPECT_LE(now, 0.4 + kFrame);
        }
    });
    for (int i = 0; i < 2000; ++i)
        sink->advance(0.003);
    done = true;
    seeker.join();
    EXPECT_EQ(player->status(), AudioPlayer::Status::ReadyToPlay);
}

// A machine without a sound output (this kind of test machine, a server, a remote desktop) plays silent:
// the sound is taken at a device's pace, so the player's time runs and its end comes.
TEST_F(AudioPlayerTest, TheSystemSinkPlaysSilentWhereThereIsNoSoundOutput) {
    if (!soundOutputDevice().isNull())
        GTEST_SKIP() << "this machine has a sound output";
    AudioPlayer player(countingAt({0.0, 0.1}), AudioMix(), std::make_unique<QtAudioSink>());
    std::atomic<int> ends{0};
    player.setEndHandler([&] { ++ends; });
    ASSERT_TRUE(player.play()) << player.errorString().toStdString();
    EXPECT_TRUE(test_support::spinUntil([&] { return player.currentTime().seconds() > 0.05; }));
    EXPECT_TRUE(test_support::spinUntil([&] { return ends > 0; }));
    EXPECT_NEAR(player.currentTime().seconds(), 0.2, 0.01);
    player.stop();
}
