#include "support/ClipMaker.h"

#include "support/ColourBars.h"
#include "support/ToneMaker.h"

#include "platform/foundation/ChildProcess.h"

#include <random>

using namespace platform::media;

bool ClipMaker::make(const QString& path, const Options& options, QString* error) {
    MovieWriter::Settings settings;
    settings.path = path;
    settings.container = options.container;
    settings.frameSize = options.size;
    settings.videoBitRate = options.bitRate;
    settings.audio = options.audio;
    settings.rotation = options.rotation;
    MovieWriter writer(settings);
    if (!options.title.isEmpty())
        writer.setMetadata(QStringLiteral("title"), options.title);
    if (!options.description.isEmpty())
        writer.setMetadata(QStringLiteral("description"), options.description);
    bool ok = writer.start();
    if (ok && options.audio) {
        const std::vector<float> tone = ToneMaker::sine(440.0, options.frames / 30.0, 0.5f);
        ok = writer.appendAudioSamples(tone.data(), static_cast<int>(tone.size() / 2));
    }
    for (int n = 0; ok && n < options.frames; ++n)
        ok = writer.appendVideoFrame(options.picture ? options.picture(options.size, n)
                                                     : ColourBars::frame(options.size, n),
                                     MediaTime(n, 30));
    ok = ok && writer.finish();
    if (!ok && error)
        *error = writer.errorString();
    return ok;
}

ClipMaker::Options ClipMaker::grain(int frames) {
    Options options;
    options.size = QSize(320, 180);
    options.frames = frames;
    options.bitRate = 8'000'000;
    options.picture = [](QSize size, int n) {
        QImage image(size, QImage::Format_RGB32);
        std::mt19937 grain{std::uint32_t(n)};
        for (int y = 0; y < size.height(); ++y) {
            auto* row = reinterpret_cast<quint32*>(image.scanLine(y));
            for (int x = 0; x < size.width(); ++x)
                row[x] = 0xFF000000u | (grain() & 0xFFFFFFu);
        }
        return image;
    };
    return options;
}

bool ClipMaker::makeWithFFmpeg(const QString& path, QSize size, double pictureSeconds, double soundSeconds,
                               QString* error) {
    platform::ChildProcess::Options options;
    options.program = QStringLiteral("ffmpeg");
    const QString pattern =
        QStringLiteral("testsrc2=s=%1x%2:r=30:d=%3").arg(size.width()).arg(size.height()).arg(pictureSeconds);
    options.arguments = QStringList{"-hide_banner", "-loglevel", "error", "-y"} +
                        QStringList{"-f", "lavfi", "-i", pattern} +
                        QStringList{"-f", "lavfi", "-i", QStringLiteral("sine=d=%1").arg(soundSeconds)} +
                        QStringList{"-c:v", "libx264", "-c:a", "aac", path};
    return platform::ChildProcess::run(options, nullptr, error);
}
