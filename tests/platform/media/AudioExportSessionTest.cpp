#include "platform/media/AudioExportSession.h"
#include "platform/media/AudioReader.h"
#include "platform/media/MediaAsset.h"
#include "support/MediaProbe.h"
#include "support/TempDir.h"
#include "support/ToneMaker.h"

#include <QFile>
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

using namespace platform::media;
using Status = AudioExportSession::Status;

namespace {

TimeRange seconds(double start, double duration) {
    return TimeRange::fromSeconds(start, duration);
}

std::vector<float> decode(const QString& path) {
    AudioReader reader;
    EXPECT_TRUE(reader.open(path)) << reader.errorString().toStdString();
    std::vector<float> all;
    std::vector<float> buffer(8192);
    int got = 0;
    while ((got = reader.read(buffer.data(), 4096)) > 0)
        all.insert(all.end(), buffer.begin(), buffer.begin() + got * 2);
    return all;
}

class AudioExportSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ToneMaker::writeWav(dir.file("tone.wav"), 440.0, 1.0, 0.5f));
        tone = MediaAsset::open(dir.file("tone.wav"));
        ASSERT_TRUE(tone.isValid());
    }

    // A composition of the 1 s tone laid end to end `repeats` times.
    Composition repeated(int repeats) {
        Composition composition;
        CompositionTrack& track = composition.addTrack();
        for (int i = 0; i < repeats; ++i)
            EXPECT_TRUE(track.insertTimeRange(seconds(0, 1), tone, track.endTime()));
        return composition;
    }

    TempDir dir;
    MediaAsset tone;
};

} // namespace

TEST_F(AudioExportSessionTest, ExportsAToneToM4A) {
    const QString out = dir.file("mix.m4a");
    AudioExportSession session(repeated(1), AudioMix(), out);
    EXPECT_EQ(session.status(), Status::Waiting);
    std::atomic<int> completions{0};
    std::atomic<bool> completedBeforeCallback{false};
    session.exportAsynchronously([&] {
        completedBeforeCallback = session.status() == Status::Completed;
        ++completions;
    });
    session.waitUntilFinished();
    ASSERT_EQ(session.status(), Status::Completed) << session.errorString().toStdString();
    EXPECT_EQ(completions, 1);
    EXPECT_TRUE(completedBeforeCallback);
    EXPECT_FLOAT_EQ(session.progress(), 1.0f);

    const MediaProbe probe = MediaProbe::probe(out);
    ASSERT_TRUE(probe.ok) << probe.error.toStdString();
    ASSERT_EQ(probe.streams.size(), 1u);
    EXPECT_EQ(probe.streams[0].codec, "aac");
    EXPECT_EQ(probe.streams[0].sampleRate, 44100);
    EXPECT_EQ(probe.streams[0].channels, 2);
    EXPECT_TRUE(probe.formatName.contains("mp4"));
    EXPECT_NEAR(MediaAsset::open(out).duration().seconds(), 1.0, 0.01);
    const std::vector<float> samples = decode(out);
    EXPECT_NEAR(samples.size() / 2.0, 44100.0, 50.0);
    EXPECT_NEAR(ToneMaker::rms(samples), 0.5 / std::sqrt(2.0), 0.02);
}

TEST_F(AudioExportSessionTest, ExportsTheMixWithItsFadeAndATimeRange) {
    const QString out = dir.file("fade.m4a");
    Composition composition = repeated(2);
    MixInputParameters fade(1);
    fade.setVolumeRamp(1.0f, 0.0f, seconds(1.0, 1.0));
    AudioExportSession session(composition, AudioMix({fade}), out);
    session.setTimeRange(seconds(0.5, 1.5));
    session.exportAsynchronously();
    session.waitUntilFinished();
    ASSERT_EQ(session.status(), Status::Completed) << session.errorString().toStdString();
    const std::vector<float> samples = decode(out);
    EXPECT_NEAR(samples.size() / 2.0, 1.5 * 44100, 50.0);
    const double full = 0.5 / std::sqrt(2.0);
    EXPECT_NEAR(ToneMaker::rms(samples, 2, -1, 4410, 4410), full, 0.02);         // 0.6-0.7 s: level 1
    EXPECT_NEAR(ToneMaker::rms(samples, 2, -1, 44100, 4410), full * 0.45, 0.02); // 1.5-1.6 s: ~0.45
    EXPECT_LT(ToneMaker::rms(samples, 2, -1, 61740), 0.03);                      // 1.9-2.0 s: almost gone
}

TEST_F(AudioExportSessionTest, CancelStopsTheExportAndRemovesTheFile) {
    const QString out = dir.file("long.m4a");
    AudioExportSession session(repeated(600), AudioMix(), out);
    std::atomic<bool> called{false};
    session.exportAsynchronously([&] { called = true; });
    session.cancelExport();
    session.waitUntilFinished();
    EXPECT_EQ(session.status(), Status::Cancelled);
    EXPECT_TRUE(called);
    EXPECT_LT(session.progress(), 1.0f);
    EXPECT_FALSE(QFile::exists(out));
    session.cancelExport(); // nothing more happens
    EXPECT_EQ(session.status(), Status::Cancelled);
}

TEST_F(AudioExportSessionTest, CancelBeforeTheStartEndsAtOnce) {
    const QString out = dir.file("never.m4a");
    AudioExportSession session(repeated(1), AudioMix(), out);
    session.cancelExport();
    EXPECT_EQ(session.status(), Status::Cancelled);
    std::atomic<bool> called{false};
    session.exportAsynchronously([&] { called = true; });
    session.waitUntilFinished();
    EXPECT_TRUE(called);
    EXPECT_EQ(session.status(), Status::Cancelled);
    EXPECT_FALSE(QFile::exists(out));
}

TEST_F(AudioExportSessionTest, FailuresAreReportedAndLeaveNoFile) {
    {
        AudioExportSession empty(Composition(), AudioMix(), dir.file("empty.m4a"));
        empty.exportAsynchronously();
        empty.waitUntilFinished();
        EXPECT_EQ(empty.status(), Status::Failed);
        EXPECT_FALSE(empty.errorString().isEmpty());
        EXPECT_FALSE(QFile::exists(dir.file("empty.m4a")));
    }
    {
        AudioExportSession nowhere(repeated(1), AudioMix(), dir.file("no/such/folder/x.m4a"));
        nowhere.exportAsynchronously();
        nowhere.waitUntilFinished();
        EXPECT_EQ(nowhere.status(), Status::Failed);
        EXPECT_TRUE(nowhere.errorString().contains("x.m4a")) << nowhere.errorString().toStdString();
    }
    {
        ASSERT_TRUE(ToneMaker::writeWav(dir.file("gone.wav"), 440.0, 1.0, 0.5f));
        Composition composition;
        ASSERT_TRUE(composition.addTrack().insertTimeRange(
            seconds(0, 1), MediaAsset::open(dir.file("gone.wav")), MediaTime::zero()));
        ASSERT_TRUE(QFile::remove(dir.file("gone.wav")));
        AudioExportSession broken(composition, AudioMix(), dir.file("broken.m4a"));
        broken.exportAsynchronously();
        broken.waitUntilFinished();
        EXPECT_EQ(broken.status(), Status::Failed);
        EXPECT_TRUE(broken.errorString().contains("gone.wav")) << broken.errorString().toStdString();
        EXPECT_FALSE(QFile::exists(dir.file("broken.m4a")));
    }
}

TEST_F(AudioExportSessionTest, ProgressOnlyGrowsWhileExporting) {
    AudioExportSession session(repeated(10), AudioMix(), dir.file("p.m4a"));
    session.exportAsynchronously();
    float last = 0.0f;
    bool monotonic = true;
    while (session.status() == Status::Waiting || session.status() == Status::Exporting) {
        const float now = session.progress();
        monotonic = monotonic && now >= last && now <= 1.0f;
        last = now;
        std::this_thread::yield();
    }
    session.waitUntilFinished();
    EXPECT_TRUE(monotonic);
    EXPECT_EQ(session.status(), Status::Completed);
}

TEST_F(AudioExportSessionTest, DestroyingARunningSessionCancelsIt) {
    const QString out = dir.file("dropped.m4a");
    {
        AudioExportSession session(repeated(600), AudioMix(), out);
        session.exportAsynchronously();
    }
    EXPECT_FALSE(QFile::exists(out));
}

TEST_F(AudioExportSessionTest, ACompletionMayLetGoOfItsSession) {
    auto session = std::make_shared<AudioExportSession>(repeated(1), AudioMix(), dir.file("self.m4a"));
    std::promise<void> released;
    std::future<void> done = released.get_future();
    AudioExportSession* raw = session.get();
    auto holder = std::make_shared<std::shared_ptr<AudioExportSession>>(session);
    session.reset();
    raw->exportAsynchronously([holder, &released]() mutable {
        holder->reset(); // the last owner goes away on the export's own thread
        released.set_value();
    });
    done.wait();
    EXPECT_EQ(holder->use_count(), 0);
}
