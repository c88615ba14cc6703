#include "support/ClipMaker.h"

#include "support/ColourBars.h"
#include "support/ToneMaker.h"

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
