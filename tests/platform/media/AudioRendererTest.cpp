#include "platform/media/AudioRenderer.h"
#include "platform/media/MediaAsset.h"
#include "support/TempDir.h"
#include "support/ToneMaker.h"
#include "support/WavFile.h"

#include <QFile>
#include <algorithm>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>

using namespace platform::media;

namespace {

TimeRange seconds(double start, double duration) {
    return TimeRange::fromSeconds(start, duration);
}

// A WAV whose every sample has the same value: the mix's gains can then be read off sample by sample.
void writeConstant(const QString& path, double seconds, int16_t value) {
    const std::vector<int16_t> samples(static_cast<size_t>(seconds * 44100) * 2, value);
    ASSERT_TRUE(WavFile::write(path, samples, 2, 44100));
}

// A WAV whose left channel counts frames (value = frame index / 32768), to check positions.
void writeCounting(const QString& path, int frames) {
    std::vector<int16_t> samples(static_cast<size_t>(frames) * 2);
    for (int i = 0; i < frames; ++i)
        samples[static_cast<size_t>(i) * 2] = static_cast<int16_t>(i);
    ASSERT_TRUE(WavFile::write(path, samples, 2, 44100));
}

class AudioRendererTest : public ::testing::Test {
protected:
    MediaAsset asset(const QString& name) {
        MediaAsset a = MediaAsset::open(dir.file(name));
        EXPECT_TRUE(a.isValid()) << a.errorString().toStdString();
        return a;
    }

    TempDir dir;
};

} // namespace

TEST_F(AudioRendererTest, ATrackWithoutParametersPlaysItsSourceUnchanged) {
    ASSERT_TRUE(ToneMaker::writeWav(dir.file("tone.wav"), 440.0, 1.0, 0.5f));
    Composition composition;
    ASSERT_TRUE(composition.addTrack().insertTimeRange(seconds(0, 1), asset("tone.wav"), MediaTime::zero()));
    AudioRenderer renderer(composition, AudioMix());
    EXPECT_EQ(renderer.frameCount(), 44100);
    std::vector<float> mixed;
    ASSERT_TRUE(renderer.render(seconds(0, 1), mixed)) << renderer.errorString().toStdString();
    const std::vector<float> expected = ToneMaker::sine(440.0, 1.0, 0.5f);
    ASSERT_EQ(mixed.size(), expected.size());
    for (size_t i = 0; i < mixed.size(); i += 997)
        ASSERT_NEAR(mixed[i], expected[i], 1.0 / 16384) << i;
}

TEST_F(AudioRendererTest, TwoTracksMixWithTheirEnvelopes) {
    writeConstant(dir.file("quarter.wav"), 2.0, 8192); // 0.25
    writeConstant(dir.file("eighth.wav"), 2.0, 4096);  // 0.125
    Composition composition;
    CompositionTrack& a = composition.addTrack();
    CompositionTrack& b = composition.addTrack();
    ASSERT_TRUE(a.insertTimeRange(seconds(0, 2), asset("quarter.wav"), MediaTime::zero()));
    ASSERT_TRUE(b.insertTimeRange(seconds(0, 2), asset("eighth.wav"), MediaTime::zero()));
    MixInputParameters ramp(a.trackID());
    ramp.setVolumeRamp(0.0f, 1.0f, seconds(0.5, 1.0));
    MixInputParameters step(b.trackID());
    step.setVolume(0.5f, MediaTime::fromSeconds(1.0));
    AudioRenderer renderer(composition, AudioMix({ramp, step}));
    std::vector<float> mixed;
    ASSERT_TRUE(renderer.render(seconds(0, 2), mixed));
    auto expected = [](double t) {
        const double gainA = t < 0.5 ? 1.0 : t < 1.5 ? t - 0.5 : 1.0;
        const double gainB = t < 1.0 ? 1.0 : 0.5;
        return 0.25 * gainA + 0.125 * gainB;
    };
    for (double t : {0.1, 0.49, 0.5, 0.75, 0.999, 1.0, 1.25, 1.49, 1.5, 1.9}) {
        const size_t frame = static_cast<size_t>(t * 44100);
        EXPECT_NEAR(mixed[frame * 2], expected(frame / 44100.0), 1e-4) << t;
        EXPECT_NEAR(mixed[frame * 2 + 1], expected(frame / 44100.0), 1e-4) << t;
    }
}

TEST_F(AudioRendererTest, EmptyRangesAndGapsAreSilent) {
    writeConstant(dir.file("half.wav"), 1.0, 16384);
    Composition composition;
    CompositionTrack& track = composition.addTrack();
    const MediaAsset half = asset("half.wav");
    ASSERT_TRUE(track.insertTimeRange(seconds(0, 0.5), half, MediaTime::zero()));
    ASSERT_TRUE(track.insertEmptyTimeRange(seconds(0.5, 0.5)));
    ASSERT_TRUE(track.insertTimeRange(seconds(0, 0.25), half, MediaTime::fromSeconds(1.5))); // gap 1.0-1.5
    AudioRenderer renderer(composition, AudioMix());
    std::vector<float> mixed;
    ASSERT_TRUE(renderer.render(seconds(0, 2.0), mixed));
    EXPECT_NEAR(ToneMaker::rms(mixed, 2, -1, 0, 22050), 0.5, 1e-4);
    EXPECT_EQ(ToneMaker::rms(mixed, 2, -1, 22050, 44100), 0.0);
    EXPECT_NEAR(ToneMaker::rms(mixed, 2, -1, 66150, 11025), 0.5, 1e-4);
    EXPECT_EQ(ToneMaker::rms(mixed, 2, -1, 77175), 0.0); // after the composition's end
}

TEST_F(AudioRendererTest, SumsAreClampedToFullScale) {
    writeConstant(dir.file("loud.wav"), 0.5, 24576); // 0.75
    Composition composition;
    const MediaAsset loud = asset("loud.wav");
    ASSERT_TRUE(composition.addTrack().insertTimeRange(seconds(0, 0.5), loud, MediaTime::zero()));
    ASSERT_TRUE(composition.addTrack().insertTimeRange(seconds(0, 0.5), loud, MediaTime::zero()));
    AudioRenderer renderer(composition, AudioMix());
    std::vector<float> mixed;
    ASSERT_TRUE(renderer.render(seconds(0, 0.5), mixed));
    EXPECT_FLOAT_EQ(*std::max_element(mixed.begin(), mixed.end()), 1.0f);
    EXPECT_FLOAT_EQ(mixed[1000], 1.0f);
}

TEST_F(AudioRendererTest, SegmentsPlayTheirSourceRangeAtTheirPlace) {
    writeCounting(dir.file("count.wav"), 20000);
    Composition composition;
    // 0.1 s of the source from frame 4410 on, placed at frame 8820.
    ASSERT_TRUE(composition.addTrack().insertTimeRange(seconds(0.1, 0.1), asset("count.wav"),
                                                       MediaTime::fromSeconds(0.2)));
    AudioRenderer renderer(composition, AudioMix());
    std::vector<float> mixed;
    ASSERT_TRUE(renderer.render(seconds(0, 0.4), mixed));
    EXPECT_EQ(mixed[8819 * 2], 0.0f);
    EXPECT_NEAR(mixed[8820 * 2] * 32768.0f, 4410.0f, 0.01f);
    EXPECT_NEAR(mixed[13229 * 2] * 32768.0f, 8819.0f, 0.01f);
    EXPECT_EQ(mixed[13230 * 2], 0.0f);
}

TEST_F(AudioRendererTest, WindowsInAnyOrderGiveTheSameSamples) {
    ASSERT_TRUE(ToneMaker::writeWav(dir.file("tone.wav"), 330.0, 1.0, 0.4f));
    writeCounting(dir.file("count.wav"), 30000);
    Composition composition;
    CompositionTrack& track = composition.addTrack();
    ASSERT_TRUE(track.insertTimeRange(seconds(0.2, 0.5), asset("count.wav"), MediaTime::zero()));
    ASSERT_TRUE(track.insertTimeRange(seconds(0.0, 0.5), asset("tone.wav"), MediaTime::fromSeconds(0.5)));
    MixInputParameters fade(track.trackID());
    fade.setVolumeRamp(1.0f, 0.0f, seconds(0.6, 0.3));
    const AudioMix mix({fade});
    std::vector<float> whole;
    AudioRenderer first(composition, mix);
    ASSERT_TRUE(first.render(seconds(0, 1), whole));
    AudioRenderer second(composition, mix);
    std::vector<float> pieces(whole.size());
    const int64_t total = 44100;
    for (int64_t start : {30000, 0, 1000, 20000, 1001, 40000, 22050, 12345}) {
        const int count = static_cast<int>(std::min<int64_t>(5000, total - start));
        ASSERT_TRUE(second.render(start, count, pieces.data() + start * 2));
    }
    for (int64_t start : {6000, 11000, 17000, 25000, 35000})
        ASSERT_TRUE(second.render(start, 5000, pieces.data() + start * 2));
    for (size_t i = 0; i < whole.size(); ++i)
        ASSERT_EQ(pieces[i], whole[i]) << "sample " << i;
}

// A source taken away, or (for an export, whose sources must sound) replaced by a clearly shorter one or
// spoilt for longer than half a second, in one stretch or in several, in its middle or at its end, after the
// composition was made fails the render naming it, rather than playing silence for the rest or in its
// middle; so does a source of a second, too short for any shortfall to tell, left with its header alone. One
// that lost sound is told apart as damaged, with how much it lost.
TEST_F(AudioRendererTest, AnUnreadableSourceFailsTheRender) {
    const auto mp3 = [](const QString& file, double seconds) {
        return ToneMaker::writeByFfmpeg(file, ToneMaker::beeps(seconds),
                                        {"-c:a", "libmp3lame", "-b:a", "128k"});
    };
    const struct {
        const char* how;
        bool mustSound;
        double length;
        std::function<bool(const QString&)> lose;
        const char* name = "gone.wav";
        bool damaged = false;
    } cases[] = {
        {"taken away", false, 3.0, [](const QString& file) { return QFile::remove(file); }},
        {"replaced by a shorter one", true, 3.0,
         [](const QString& file) { return ToneMaker::writeWav(file, 440.0, 1.0, 0.5f); }},
        {"a second long, left with its header alone", true, 1.0,
         [](const QString& file) { return QFile(file).resize(44); }},
        {"spoilt for 0.8 s in its middle", true, 3.0,
         [](const QString& file) { return ToneMaker::spoilSoundPackets(file, 1.0, 0.8) > 0; }, "gone.m4a",
         true},
        {"spoilt for 0.3 s twice", true, 3.0,
         [](const QString& file) {
             return ToneMaker::spoilSoundPackets(file, 0.6, 0.3) > 0 &&
                    ToneMaker::spoilSoundPackets(file, 1.8, 0.3) > 0;
         },
         "gone.m4a", true},
        {"spoilt for its last 0.8 s", true, 3.0,
         [](const QString& file) { return ToneMaker::spoilSoundPackets(file, 2.2, 1.0) > 0; }, "gone.m4a",
         true},
        {"an MP3 spoilt for 1.2 s in its middle", true, 4.0,
         [](const QString& file) { return ToneMaker::spoilStretch(file, 1.3, 1.2); }, "gone.mp3", true},
        {"an MP3 spoilt for 0.2 s three times", true, 4.0,
         [](const QString& file) {
             return ToneMaker::spoilStretch(file, 0.6, 0.2) && ToneMaker::spoilStretch(file, 1.6, 0.2) &&
                    ToneMaker::spoilStretch(file, 2.6, 0.2);
         },
         "gone.mp3", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        const QString name = c.name;
        const QString file = dir.file(name);
        ASSERT_TRUE(name.endsWith(".m4a")
                        ? ToneMaker::writeEncoded(file, "ipod", "aac", 440.0, c.length, 0.5f)
                    : name.endsWith(".mp3") ? mp3(file, c.length)
                                            : ToneMaker::writeWav(file, 440.0, c.length, 0.5f));
        Composition composition;
        ASSERT_TRUE(
            composition.addTrack().insertTimeRange(seconds(0, c.length), asset(name), MediaTime::zero()));
        ASSERT_TRUE(c.lose(file));
        AudioRenderer renderer(composition, AudioMix());
        renderer.setSourcesMustSound(c.mustSound);
        std::vector<float> mixed;
        EXPECT_FALSE(renderer.render(seconds(0, c.length), mixed));
        EXPECT_TRUE(renderer.errorString().contains(name)) << renderer.errorString().toStdString();
        EXPECT_EQ(renderer.failedSourcePath(), file);
        if (c.damaged)
            EXPECT_GT(renderer.failedSourceSpoilt(), 0.5);
        else
            EXPECT_EQ(renderer.failedSourceSpoilt(), 0.0);
    }
}

// A song of a beep every second (from 0.5 s) over a low hum is spoilt in its middle: an AAC one in M4A for a
// frame or two between beeps, or (in the preview, which plays on over any loss) for 0.8 s; a raw stream,
// whose reader resyncs over the spoilt bytes and stamps its packets by counting them, for up to half a
// second. The render goes on, the lost stretch is heard as silence of its length and every beep after it at
// its own time.
TEST_F(AudioRendererTest, ASourceSpoiltInItsMiddleKeepsItsTiming) {
    using Make = std::function<bool(const QString&, const std::vector<float>&)>;
    using Spoil = std::function<bool(const QString&)>;
    const Make m4a = [](const QString& file, const std::vector<float>& song) {
        return ToneMaker::writeEncoded(file, "ipod", "aac", song);
    };
    const auto ffmpeg = [](const QStringList& arguments) -> Make {
        return [arguments](const QString& file, const std::vector<float>& song) {
            return ToneMaker::writeByFfmpeg(file, song, arguments);
        };
    };
    const auto frames = [](int count) -> Spoil {
        return [count](const QString& file) {
            return ToneMaker::spoilSoundPackets(file, 0.6, count * 1024.0 / 44100) == count;
        };
    };
    const auto stretch = [](double seconds, bool zeros) -> Spoil {
        return [=](const QString& file) { return ToneMaker::spoilStretch(file, 2.6, seconds, zeros); };
    };
    const QStringList cbr{"-c:a", "libmp3lame", "-b:a", "128k"};
    const struct {
        const char* how;
        const char* name;
        Make make;
        Spoil spoil;
        bool mustSound;
        // seconds; the bytes a VBR MP3 lost are timed by its table of contents, to a hundredth of its length
        double tolerance;
    } cases[] = {
        {"a frame spoilt, for an export", "late.m4a", m4a, frames(1), true, 0.003},
        {"two frames spoilt, for an export", "late.m4a", m4a, frames(2), true, 0.003},
        {"0.8 s spoilt, in the preview", "late.m4a", m4a, frames(35), false, 0.003},
        {"a CBR MP3 with 0.45 s of random bytes, for an export", "cbr.mp3", ffmpeg(cbr), stretch(0.45, false),
         true, 0.03},
        {"a CBR MP3 with 0.4 s zeroed, for an export", "zeroed.mp3", ffmpeg(cbr), stretch(0.4, true), true,
         0.03},
        {"a VBR MP3 with 0.4 s zeroed, for an export", "vbr.mp3", ffmpeg({"-c:a", "libmp3lame", "-q:a", "2"}),
         stretch(0.4, true), true, 0.03},
        {"an AC-3 with 0.3 s of random bytes, for an export", "raw.ac3", ffmpeg({"-c:a", "ac3"}),
         stretch(0.3, false), true, 0.05},
        {"a raw ADTS AAC with 0.3 s of random bytes, for an export", "raw.aac", ffmpeg({"-c:a", "aac"}),
         stretch(0.3, false), true, 0.03},
        {"a CBR MP3 with 1.2 s of random bytes, in the preview", "long.mp3", ffmpeg(cbr), stretch(1.2, false),
         false, 0.03},
    };
    const std::vector<float> song = ToneMaker::beeps(6.0, 0.5, 0.1f);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        ASSERT_TRUE(c.make(dir.file(c.name), song));
        ASSERT_TRUE(c.spoil(dir.file(c.name)));
        Composition composition;
        ASSERT_TRUE(composition.addTrack().insertTimeRange(seconds(0, 6), asset(c.name), MediaTime::zero()));
        AudioRenderer renderer(composition, AudioMix());
        renderer.setSourcesMustSound(c.mustSound);
        std::vector<float> mixed;
        ASSERT_TRUE(renderer.render(seconds(0, 6), mixed)) << renderer.errorString().toStdString();
        const std::vector<int64_t> onsets = ToneMaker::beepOnsets(mixed);
        for (double beep : {4.5, 5.5})
            EXPECT_TRUE(
                std::any_of(onsets.begin(), onsets.end(),
                            [&](int64_t at) { return std::fabs(double(at) / 44100 - beep) <= c.tolerance; }))
                << "no beep at " << beep << " s";
        for (int64_t at : onsets) {
            const double off = double(at) / 44100 - 0.5;
            EXPECT_NEAR(off, std::round(off), c.tolerance) << "a beep at " << double(at) / 44100 << " s";
        }
    }
}

TEST_F(AudioRendererTest, RendersAtTheRateAskedFor) {
    ASSERT_TRUE(ToneMaker::writeWav(dir.file("tone.wav"), 440.0, 1.0, 0.5f));
    writeConstant(dir.file("quarter.wav"), 1.0, 8192); // 0.25
    Composition composition;
    ASSERT_TRUE(composition.addTrack().insertTimeRange(seconds(0, 1), asset("tone.wav"), MediaTime::zero()));
    CompositionTrack& constant = composition.addTrack();
    ASSERT_TRUE(constant.insertTimeRange(seconds(0, 1), asset("quarter.wav"), MediaTime::fromSeconds(1.0)));
    MixInputParameters ramp(constant.trackID());
    ramp.setVolumeRamp(0.0f, 1.0f, seconds(1.0, 1.0));
    AudioRenderer renderer(composition, AudioMix({ramp}), 48000);
    EXPECT_EQ(renderer.sampleRate(), 48000);
    EXPECT_EQ(renderer.frameCount(), 96000);
    std::vector<float> mixed;
    ASSERT_TRUE(renderer.render(seconds(0, 2), mixed)) << renderer.errorString().toStdString();
    ASSERT_EQ(mixed.size(), 96000u * 2);
    // The tone keeps its pitch: as many rising zero crossings in its second as it has cycles.
    int crossings = 0;
    for (size_t i = 2; i < 48000 * 2; i += 2)
        crossings += mixed[i - 2] < 0.0f && mixed[i] >= 0.0f;
    EXPECT_NEAR(crossings, 440, 2);
    // The ramp is laid out on the new rate's frames.
    EXPECT_NEAR(mixed[size_t(48000 + 24000) * 2], 0.125f, 0.002f);
    EXPECT_EQ(AudioRenderer(composition, AudioMix(), 0).sampleRate(), 44100);
}
