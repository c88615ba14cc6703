#pragma once

#include "platform/media/MovieWriter.h"

#include <QImage>
#include <QString>

#include <functional>

// Short test movies made with our movie writer: colour-bar frames (ColourBars) at n/30 s for n = 0, 1, ...
// and, optionally, a 440 Hz tone of the same length.
namespace ClipMaker {

struct Options {
    QSize size{320, 180};
    int frames = 30;
    bool audio = false;
    platform::media::MovieContainer container = platform::media::MovieContainer::MPEG4;
    int rotation = 0;
    int64_t bitRate = 2'000'000;
    QString title;
    QString description;
    // The picture of frame n; colour bars when empty.
    std::function<QImage(QSize, int)> picture;
};

bool make(const QString& path, const Options& options, QString* error = nullptr);

// A silent clip of grain, 320 x 180: each frame costs the encoder its whole bit rate, so the frames lie far
// apart in the file, far past what a reader takes in ahead of the frame it hands out.
Options grain(int frames);

// A clip as another program makes it: the ffmpeg program's moving test pattern, 30 frames a second in
// H.264, with a tone in AAC beside it, in the container the name's extension asks for. A container that
// keeps no length per stream (".mkv") tells the longer sound's length as the clip's.
bool makeWithFFmpeg(const QString& path, QSize size, double pictureSeconds, double soundSeconds,
                    QString* error = nullptr);

} // namespace ClipMaker
