#pragma once

#include "platform/media/MediaTime.h"

#include <QImage>
#include <QSize>
#include <QString>
#include <memory>

namespace platform::media {

// One decoded picture: 32-bit BGRA in memory (QImage::Format_ARGB32 on this little-endian platform), rows
// of image.bytesPerLine() bytes, and its presentation time from the start of the stream. Every pixel is
// opaque: a clip's transparency is not shown.
struct VideoFrame {
    QImage image;
    MediaTime time;
};

// Decodes the first video stream of a file frame by frame, in presentation order, converting each picture
// to BGRA. Not thread-safe: one reader belongs to one thread at a time.
class VideoReader {
public:
    VideoReader();
    ~VideoReader();
    VideoReader(const VideoReader&) = delete;
    VideoReader& operator=(const VideoReader&) = delete;

    bool open(const QString& path);
    void close();
    bool isOpen() const;

    // The coded size; frames come in this size, unturned.
    QSize size() const;
    // Clockwise degrees, 0..359, to turn the frames by for showing.
    int rotation() const;
    double frameRate() const;
    MediaTime duration() const;

    // The next frame, or false at the end (atEnd()) or on a failure (errorString()).
    bool readFrame(VideoFrame& frame);
    // The same into the caller's buffer of size().height() rows of bytesPerLine bytes.
    bool readFrame(uchar* bgra, int bytesPerLine, MediaTime* time = nullptr);
    // Positions the reader so that the next frame read is the one shown at time: the last frame whose
    // presentation time is not after it (the first frame for earlier times).
    bool seek(const MediaTime& time);
    // The frame shown at the given time, unturned; a null image when there is none.
    QImage frameAt(double seconds);
    bool atEnd() const;
    // At the end on a failure, or on a last frame clearly before the end the file told of when it was
    // opened (the last packet its index lists, else duration()): the file was cut or overwritten while it
    // was read. An intact file's last frame lies a frame or two before its length, and a container that
    // keeps no length per stream may count some tenths of a second of sound past it.
    bool endedShort() const;
    QString errorString() const;

    // A picture for a thumbnail: the frame shown at the given time, turned upright. Null on failure.
    static QImage thumbnailAt(const QString& path, double seconds, QString* error = nullptr);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace platform::media
