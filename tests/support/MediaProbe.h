#pragma once

#include <QString>
#include <QVariantMap>
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
        std::vector<int> keyFrames; // packet indices, in file order
        double firstPtsSeconds = 0.0;
    };

    bool ok = false;
    QString error;
    QString formatName;
    double durationSeconds = 0.0;
    QVariantMap tags;
    std::vector<Stream> streams;

    static MediaProbe probe(const QString& path);
    const Stream* firstOfType(const QString& type) const;
};
