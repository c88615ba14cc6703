#pragma once

#include <QSize>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

struct AVCodecContext;
struct AVPacket;

namespace platform::media {

// Encodes BGRA frames to H.264 with libx264: each frame converted to yuv420p by libswscale, stamped in
// units of 1/timescale s. Each packet goes to the sink. Not thread-safe.
class VideoEncoder {
public:
    struct Settings {
        QSize frameSize;
        int64_t bitRate = 10'800'000;
        int gopSize = 30;
        int timescale = 30;
        int frameRate = 30;
        QString preset = QStringLiteral("veryfast");
        bool globalHeader = false;
    };
    using PacketSink = std::function<bool(AVPacket*, QString* error)>;

    VideoEncoder();
    ~VideoEncoder();
    VideoEncoder(const VideoEncoder&) = delete;
    VideoEncoder& operator=(const VideoEncoder&) = delete;

    bool open(const Settings& settings, QString* error);
    const AVCodecContext* context() const;
    void setPacketSink(PacketSink sink);

    // pts in units of 1/timescale s; it must be greater than the previous frame's.
    bool encode(const uint8_t* bgra, int bytesPerLine, int64_t pts, QString* error);
    bool finish(QString* error);
    int64_t framesEncoded() const;
    int64_t lastPts() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace platform::media
