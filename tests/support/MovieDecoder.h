#pragma once

#include <QImage>
#include <QString>

#include <map>
#include <set>
#include <vector>

// Decodes a whole movie with the FFmpeg libraries directly, independently of the writer under test: the
// presentation time of every video frame, the pictures of the frames asked for, and the sound as
// interleaved stereo float at 44.1 kHz.
struct DecodedMovie {
    bool ok = false;
    QString error;
    std::vector<double> frameTimes; // seconds, in presentation order
    std::map<int, QImage> frames;   // by index in presentation order
    std::vector<float> audio;       // interleaved stereo
    int audioRate = 0;
    // Packets the decoders refused and pictures they could only conceal.
    int decodeErrors = 0;

    static DecodedMovie decode(const QString& path, const std::set<int>& keepFrames = {});

    // Root mean square of the sound from `from` for `length` seconds.
    double audioLevel(double from, double length) const;
};
