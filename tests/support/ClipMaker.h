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

} // namespace ClipMaker
