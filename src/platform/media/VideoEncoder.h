#pragma once

#include <QSize>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

struct AVCodecContext;
struct AVPacket;

namespace platform::media {

// Encodes BGRA frames to H.264 with libx264: each frame converted to yuv420p by libswscale (or taken as it
// is when the frames come as planar 4:2:0 already), stamped in
// units of 1/timescale s. The encoding runs on threads of its own, in one or more lanes (each lane an
// encoder coding whole groups of gopSize frames, the groups dealt out in turn), joined back into one
// stream; each packet goes to the sink, from those threads, one at a time. Not thread-safe otherwise.
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
        int lanes = 1;
        // Frames come as planar 4:2:0 (BT.601 weights, limited range): the Y plane, rows bytesPerLine
        // apart, then U and V at half the width and height, rows bytesPerLine / 2 apart, without gaps.
        bool planarInput = false;
    };
    using PacketSink = std::function<bool(AVPacket*, QString* error)>;

    VideoEncoder();
    ~VideoEncoder();
    VideoEncoder(const VideoEncoder&) = delete;
    VideoEncoder& operator=(const VideoEncoder&) = delete;

    // As many lanes as pay on a machine of that many cores for frames of that size (any size when empty).
    static int lanesForCores(unsigned cores, const QSize& frameSize = {});
    // The threads each lane's encoder codes on; 0 leaves the choice to the encoder (1.5 x cores).
    static int threadsPerLane(unsigned cores, int lanes);

    bool open(const Settings& settings, QString* error);
    const AVCodecContext* context() const;
    void setPacketSink(PacketSink sink);

    // pts in units of 1/timescale s; it must be greater than the previous frame's.
    bool encode(const uint8_t* bgra, int bytesPerLine, int64_t pts, QString* error);
    // Flushes the lanes; every packet has gone to the sink when it returns.
    bool finish(QString* error);
    // Stops the lanes at once, dropping what they still hold; no packet goes to the sink after it.
    void stop();
    int64_t framesEncoded() const;
    int64_t lastPts() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace platform::media
