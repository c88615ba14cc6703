#include "platform/media/AudioReader.h"
#include "support/TempDir.h"
#include "support/ToneMaker.h"
#include "support/WavFile.h"

#include <QFile>
#include <gtest/gtest.h>

#include <cmath>

using namespace platform::media;

namespace {

std::vector<float> readAll(AudioReader& reader, int chunk = 4096) {
    std::vector<float> all;
    std::vector<float> buffer(static_cast<size_t>(chunk) * 2);
    int got = 0;
    while ((got = reader.read(buffer.data(), chunk)) > 0)
        all.insert(all.end(), buffer.begin(), buffer.begin() + got * 2);
    EXPECT_EQ(got, 0) << reader.errorString().toStdString();
    return all;
}

// Upward zero crossings of the left channel: a frequency measure that survives resampling and coding.
int upwardCrossings(const std::vector<float>& interleaved) {
    int crossings = 0;
    for (size_t i = 2; i < interleaved.size(); i += 2)
        crossings += interleaved[i - 2] < 0.0f && interleaved[i] >= 0.0f;
    return crossings;
}

// A left channel that counts up by one step per frame, so that every position can be told apart.
std::vector<int16_t> countingSamples(int frames) {
    std::vector<int16_t> samples(static_cast<size_t>(frames) * 2);
    for (int i = 0; i < frames; ++i) {
        samples[static_cast<size_t>(i) * 2] = static_cast<int16_t>(i % 30000);
        samples[static_cast<size_t>(i) * 2 + 1] = static_cast<int16_t>(-(i % 30000));
    }
    return samples;
}

constexpr double kToneRms = 0.5 / 1.4142135623730951;

} // namespace

TEST(AudioReader, ReadsAStereoWavExactly) {
    TempDir dir;
    ASSERT_TRUE(ToneMaker::writeWav(dir.file("a.wav"), 440.0, 1.0, 0.5f));
    AudioReader reader;
    ASSERT_TRUE(reader.open(dir.file("a.wav"))) << reader.errorString().toStdString();
    EXPECT_EQ(reader.sourceSampleRate(), 44100);
    EXPECT_EQ(reader.sourceChannels(), 2);
    const std::vector<float> samples = readAll(reader, 1000);
    EXPECT_EQ(samples.size(), 44100u * 2);
    EXPECT_NEAR(ToneMaker::rms(samples), kToneRms, 0.002);
    EXPECT_TRUE(reader.atEnd());
    EXPECT_EQ(reader.position(), 44100);
}

TEST(AudioReader, Int16OutputMatchesTheSourceSamples) {
    TempDir dir;
    const std::vector<int16_t> source = countingSamples(5000);
    ASSERT_TRUE(WavFile::write(dir.file("c.wav"), source, 2, 44100));
    AudioReader reader;
    ASSERT_TRUE(reader.open(dir.file("c.wav")));
    std::vector<int16_t> out(source.size());
    int done = 0;
    while (done < 5000) {
        const int got = reader.read(out.data() + done * 2, 777);
        ASSERT_GT(got, 0);
        done += got;
    }
    EXPECT_EQ(out, source);
    EXPECT_EQ(reader.read(out.data(), 10), 0);
}

TEST(AudioReader, ConvertsMonoAtAnotherRateToStereo441) {
    TempDir dir;
    ASSERT_TRUE(ToneMaker::writeWav(dir.file("m.wav"), 440.0, 1.0, 0.5f, 1, 22050));
    AudioReader reader;
    ASSERT_TRUE(reader.open(dir.file("m.wav")));
    EXPECT_EQ(reader.sourceChannels(), 1);
    const std::vector<float> samples = readAll(reader);
    EXPECT_NEAR(static_cast<double>(samples.size() / 2), 44100.0, 64.0);
    EXPECT_NEAR(ToneMaker::rms(samples, 2, 0), ToneMaker::rms(samples, 2, 1), 1e-6);
    EXPECT_GT(ToneMaker::rms(samples, 2, 0), 0.2);
    EXPECT_NEAR(upwardCrossings(samples), 440, 2);
}

TEST(AudioReader, DownmixesSixChannelsAt48k) {
    TempDir dir;
    ASSERT_TRUE(ToneMaker::writeWav(dir.file("s.wav"), 440.0, 0.5, 0.3f, 6, 48000));
    AudioReader reader;
    ASSERT_TRUE(reader.open(dir.file("s.wav")));
    EXPECT_EQ(reader.sourceChannels(), 6);
    const std::vector<float> samples = readAll(reader);
    EXPECT_NEAR(static_cast<double>(samples.size() / 2), 22050.0, 64.0);
    EXPECT_GT(ToneMaker::rms(samples, 2, 0), 0.05);
    EXPECT_GT(ToneMaker::rms(samples, 2, 1), 0.05);
    EXPECT_NEAR(upwardCrossings(samples), 220, 2);
}

TEST(AudioReader, StartsAtAGivenTimeAndSeeksToTheExactFrame) {
    TempDir dir;
    const std::vector<int16_t> source = countingSamples(44100);
    ASSERT_TRUE(WavFile::write(dir.file("c.wav"), source, 2, 44100));
    AudioReader reader;
    ASSERT_TRUE(reader.open(dir.file("c.wav"), MediaTime::fromSeconds(0.5)));
    EXPECT_EQ(reader.position(), 22050);
    int16_t frame[2];
    ASSERT_EQ(reader.read(frame, 1), 1);
    EXPECT_EQ(frame[0], 22050);
    ASSERT_TRUE(reader.seek(MediaTime(1234, 44100)));
    ASSERT_EQ(reader.read(frame, 1), 1);
    EXPECT_EQ(frame[0], 1234);
    ASSERT_TRUE(reader.seek(MediaTime(30001, 44100)));
    ASSERT_EQ(reader.read(frame, 1), 1);
    EXPECT_EQ(frame[0], 1);
    EXPECT_EQ(frame[1], -1);
    std::vector<float> rest = readAll(reader);
    EXPECT_EQ(rest.size() / 2, static_cast<size_t>(44100 - 30002));
    ASSERT_TRUE(reader.seek(MediaTime::fromSeconds(5.0)));
    EXPECT_EQ(reader.read(frame, 1), 0); // after the end: nothing, and no failure
    EXPECT_TRUE(reader.atEnd());
}

TEST(AudioReader, DecodesM4AAndMp3WithoutPrimingOrPadding) {
    TempDir dir;
    for (const auto& [name, container, codec] :
         {std::tuple{"t.m4a", "ipod", "aac"}, std::tuple{"t.mp3", "mp3", "libmp3lame"}}) {
        QString error;
        ASSERT_TRUE(ToneMaker::writeEncoded(dir.file(name), container, codec, 440.0, 1.0, 0.5f, {}, &error))
            << error.toStdString();
        AudioReader reader;
        ASSERT_TRUE(reader.open(dir.file(name))) << reader.errorString().toStdString();
        const std::vector<float> samples = readAll(reader);
        EXPECT_NEAR(static_cast<double>(samples.size() / 2), 44100.0, 50.0) << name;
        EXPECT_NEAR(ToneMaker::rms(samples), kToneRms, 0.02) << name;
        EXPECT_NEAR(upwardCrossings(samples), 440, 2) << name;
        // The tone starts at once: the first 10 ms already carry it.
        EXPECT_GT(ToneMaker::rms(samples, 2, 0, 0, 441), 0.2) << name;
        AudioReader late;
        ASSERT_TRUE(late.open(dir.file(name), MediaTime::fromSeconds(0.75)));
        EXPECT_NEAR(static_cast<double>(readAll(late).size() / 2), 44100.0 / 4, 50.0) << name;
    }
}

TEST(AudioReader, ReportsUnreadableFiles) {
    TempDir dir;
    AudioReader reader;
    EXPECT_FALSE(reader.open(dir.file("missing.wav")));
    EXPECT_TRUE(reader.errorString().contains("missing.wav"));
    float buffer[2];
    EXPECT_EQ(reader.read(buffer, 1), -1);

    QFile text(dir.file("notes.mp3"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write(QByteArray("These are not the sounds you are looking for.\n").repeated(50));
    text.close();
    EXPECT_FALSE(reader.open(dir.file("notes.mp3")));
    EXPECT_FALSE(reader.errorString().isEmpty());
    EXPECT_TRUE(reader.atEnd());
}

TEST(AudioReader, ATruncatedFileEndsEarlyWithoutFailing) {
    TempDir dir;
    ASSERT_TRUE(ToneMaker::writeEncoded(dir.file("t.mp3"), "mp3", "libmp3lame", 440.0, 2.0, 0.5f));
    QFile file(dir.file("t.mp3"));
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.resize(file.size() / 2));
    file.close();
    AudioReader reader;
    ASSERT_TRUE(reader.open(dir.file("t.mp3"))) << reader.errorString().toStdString();
    const std::vector<float> samples = readAll(reader);
    EXPECT_GT(samples.size() / 2, 30000u);
    EXPECT_LT(samples.size() / 2, 60000u);
}

TEST(AudioReader, ReadsAChosenStreamAtTheAskedRateAndChannelCount) {
    TempDir dir;
    QString error;
    ASSERT_TRUE(ToneMaker::writeTracks(dir.file("two.m4a"), {440.0, 1000.0}, 1.0, 0.5f, &error))
        << error.toStdString();
    for (const auto& [stream, crossings] : {std::pair{0, 440}, std::pair{1, 1000}}) {
        AudioReader reader(AudioReader::OutputFormat{8000, 1});
        ASSERT_TRUE(reader.open(dir.file("two.m4a"), MediaTime::zero(), stream))
            << reader.errorString().toStdString();
        EXPECT_EQ(reader.audioStreamCount(), 2);
        std::vector<float> mono(8000 * 2);
        int frames = 0, got = 0;
        while ((got = reader.read(mono.data() + frames, 500)) > 0)
            frames += got;
        EXPECT_NEAR(frames, 8000, 8) << "stream " << stream;
        mono.resize(static_cast<size_t>(frames));
        EXPECT_NEAR(ToneMaker::rms(mono, 1), kToneRms * 1.4142135623730951, 0.03)
            << "both channels, downmixed";
        int upward = 0;
        for (size_t i = 1; i < mono.size(); ++i)
            upward += mono[i - 1] < 0.0f && mono[i] >= 0.0f;
        EXPECT_NEAR(upward, crossings, 3) << "stream " << stream;
    }
    AudioReader reader;
    EXPECT_FALSE(reader.open(dir.file("two.m4a"), MediaTime::zero(), 2));
    EXPECT_TRUE(reader.errorString().contains("no audio stream 3")) << reader.errorString().toStdString();
}
