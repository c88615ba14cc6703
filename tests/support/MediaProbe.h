#pragma once

#include <QPoint>
#include <QString>
#include <QVariantMap>
#include <array>
#include <optional>
#include <vector>

// What libavformat finds in a file, read independently of the media layer under test.
struct MediaProbe {
    struct Stream {
        QString type; // "video", "audio", ...
        QString codec;
        QString pixelFormat; // video only, e.g. "yuv420p"
        int width = 0;
        int height = 0;
        int sampleRate = 0;
        int channels = 0;
        double durationSeconds = 0.0;
        double frameRate = 0.0;     // frames per second the stream declares; 0 when it declares none
        double displayAspect = 0.0; // width / height as shown, the pixels' own aspect applied
        int packets = 0;
        std::vector<int> keyFrames;   // packet indices, in file order
        std::vector<int> packetSizes; // bytes, in file order
        double firstPtsSeconds = 0.0;
        int profile = -1; // the codec's profile and level numbers as the stream declares them
        int level = -1;
        // The colour description: libavutil's names ("bt709", "smpte170m", ...), "unknown" when unset.
        QString colourMatrix, colourPrimaries, colourTransfer;
    };

    bool ok = false;
    QString error;
    QString formatName;
    double durationSeconds = 0.0;
    QVariantMap tags;
    std::vector<Stream> streams;

    static MediaProbe probe(const QString& path);
    // Y, Cb and Cr of one pixel of the first video frame, decoded as stored; empty when there is none.
    static std::optional<std::array<int, 3>> firstFrameYCbCr(const QString& path, QPoint at);
    const Stream* firstOfType(const QString& type) const;
};
