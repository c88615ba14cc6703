// The songs that the build generates: "silence1s" (the filler of a mix without songs) and "default" (the
// music of a new project), both MP3, decoded here by ffmpeg into 16-bit stereo at 44.1 kHz.
#include "platform/foundation/ChildProcess.h"
#include "platform/foundation/StandardPaths.h"

#include <QStandardPaths>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace paths = platform::paths;

namespace {

constexpr int kRate = 44100;

struct Decoded {
    QString codec;
    int rate = 0, channels = 0;
    std::vector<std::int16_t> samples; // interleaved left, right
    double seconds() const { return double(samples.size()) / 2 / kRate; }
};

QByteArray runTool(const QString& tool, const QStringList& arguments) {
    const QString program = QStandardPaths::findExecutable(tool);
    if (program.isEmpty()) {
        ADD_FAILURE() << tool.toStdString() << " is a dependency of the build (scripts/install-deps)";
        return {};
    }
    platform::ChildProcess::Options options;
    options.program = program;
    options.arguments = arguments;
    QByteArray output;
    QString error;
    if (!platform::ChildProcess::run(options, &output, &error))
        ADD_FAILURE() << tool.toStdString() << " failed: " << error.toStdString();
    return output;
}

// Stream facts as ffprobe reads them from the file, and the samples as ffmpeg decodes them.
Decoded decode(const QString& name) {
    Decoded result;
    const QString path = paths::pathForResource(name, "mp3");
    if (path.isEmpty()) {
        ADD_FAILURE() << "missing resource " << name.toStdString() << ".mp3";
        return result;
    }
    const QByteArray facts = runTool("ffprobe", {"-v", "error", "-select_streams", "a:0", "-show_entries",
                                                 "stream=codec_name,sample_rate,channels", "-of",
                                                 "default=noprint_wrappers=1", path});
    for (const QByteArray& line : facts.split('\n')) {
        const QList<QByteArray> pair = line.trimmed().split('=');
        if (pair.size() != 2)
            continue;
        if (pair[0] == "codec_name")
            result.codec = QString::fromLatin1(pair[1]);
        else if (pair[0] == "sample_rate")
            result.rate = pair[1].toInt();
        else if (pair[0] == "channels")
            result.channels = pair[1].toInt();
    }
    const QByteArray raw = runTool("ffmpeg", {"-v", "error", "-i", path, "-f", "s16le", "-acodec",
                                              "pcm_s16le", "-ac", "2", "-ar", QString::number(kRate), "-"});
    result.samples.resize(std::size_t(raw.size()) / sizeof(std::int16_t));
    std::memcpy(result.samples.data(), raw.constData(), result.samples.size() * sizeof(std::int16_t));
    return result;
}

// Root mean square and peak of [from, to) seconds, as fractions of full scale.
std::pair<double, double> level(const Decoded& sound, double from, double to) {
    const auto first = std::size_t(std::max(0.0, from) * kRate) * 2;
    const auto last = std::min(sound.samples.size(), std::size_t(to * kRate) * 2);
    double squares = 0, peak = 0;
    for (std::size_t i = first; i < last; ++i) {
        const double v = sound.samples[i] / 32768.0;
        squares += v * v;
        peak = std::max(peak, std::abs(v));
    }
    return {last > first ? std::sqrt(squares / double(last - first)) : 0.0, peak};
}

} // namespace

TEST(GeneratedSounds, SilenceIsOneSecondOfStereoSilence) {
    const Decoded silence = decode("silence1s");
    EXPECT_EQ(silence.codec, "mp3");
    EXPECT_EQ(silence.rate, kRate);
    EXPECT_EQ(silence.channels, 2);
    // The encoder's delay and padding are recorded in the file, so a decoder gives back the exact second.
    EXPECT_NEAR(silence.seconds(), 1.0, 0.03);
    ASSERT_FALSE(silence.samples.empty());
    EXPECT_LE(level(silence, 0, 2).second, 2.0 / 32768);
}

TEST(GeneratedSounds, DefaultSongIsAShortStereoTuneThatFadesInAndOut) {
    const Decoded tune = decode("default");
    EXPECT_EQ(tune.codec, "mp3");
    EXPECT_EQ(tune.rate, kRate);
    EXPECT_EQ(tune.channels, 2);
    const double length = tune.seconds();
    EXPECT_GE(length, 20.0);
    EXPECT_LE(length, 30.0);
    ASSERT_GT(length, 10.0);

    const auto [rms, peak] = level(tune, 0, length);
    EXPECT_LT(peak, 0.98) << "clipped";
    EXPECT_GT(peak, 0.3) << "too quiet to be heard over a slideshow";
    EXPECT_GT(rms, 0.05);
    // Every stretch of the body plays something: no dropped bars.
    for (double t = 1; t + 1 < length - 3; t += 1)
        EXPECT_GT(level(tune, t, t + 1).first, 0.02) << "silent around " << t << " s";
    EXPECT_LT(level(tune, 0, 0.005).second, 0.1) << "starts with a click";
    EXPECT_LT(level(tune, length - 0.1, length).first, 0.01) << "does not fade out";

    double difference = 0;
    for (std::size_t i = 0; i + 1 < tune.samples.size(); i += 2)
        difference += std::abs(tune.samples[i] - tune.samples[i + 1]) / 32768.0;
    EXPECT_GT(difference / double(tune.samples.size() / 2), 0.005) << "left and right are the same";
}
