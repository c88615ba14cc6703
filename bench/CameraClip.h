#pragma once

#include "platform/media/MovieWriter.h"

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QString>

#include <cmath>
#include <vector>

namespace bench {

// A clip as a camera or a phone makes one: moving colour bars with a tone, 30 frames a second, at a bit
// rate of 4 Mb/s for 1280 x 720 and in proportion for other sizes.
inline bool writeCameraClip(const QString& path, QSize size = QSize(1280, 720), int seconds = 4) {
    platform::media::MovieWriter::Settings settings;
    settings.path = path;
    settings.frameSize = size;
    settings.videoBitRate = int64_t(4'000'000.0 * size.width() * size.height() / (1280.0 * 720.0));
    settings.audio = true;
    platform::media::MovieWriter writer(settings);
    if (!writer.start())
        return false;
    std::vector<float> tone(std::size_t(seconds) * 44100 * 2);
    for (std::size_t i = 0; i < tone.size(); ++i)
        tone[i] = 0.3f * float(std::sin(2.0 * M_PI * 440.0 * double(i / 2) / 44100.0));
    if (!writer.appendAudioSamples(tone.data(), int(tone.size() / 2)))
        return false;
    const int bar = size.width() / 8;
    for (int n = 0; n < seconds * 30; ++n) {
        QImage frame(size, QImage::Format_RGB32);
        QPainter painter(&frame);
        for (int b = 0; b < 8; ++b)
            painter.fillRect((b * bar + n * size.width() / 160) % size.width(), 0, bar, size.height(),
                             QColor::fromHsv(b * 45, 200, 220));
        painter.end();
        if (!writer.appendVideoFrame(frame, platform::media::MediaTime(n, 30)))
            return false;
    }
    return writer.finish();
}

} // namespace bench
