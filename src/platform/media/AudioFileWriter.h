#pragma once

#include "platform/foundation/FileIdentity.h"

#include <QString>
#include <QVariantMap>
#include <cstdint>
#include <memory>
#include <optional>

namespace platform::media {

// Writes stereo 44.1 kHz sound, handed in as interleaved 16-bit or float samples, to an audio file: AAC in
// an M4A file by default, or any encoder and muxer the libraries have (e.g. "libmp3lame" and "mp3").
// A file that is not finished successfully is removed. Not thread-safe.
class AudioFileWriter {
public:
    struct Settings {
        QString path;
        QString container = QStringLiteral("ipod"); // the muxer's name; "ipod" writes .m4a files
        QString codec = QStringLiteral("aac");
        int64_t bitRate = 128000;
        QVariantMap metadata; // "title", "artist", ...
    };

    explicit AudioFileWriter(Settings settings);
    ~AudioFileWriter();
    AudioFileWriter(const AudioFileWriter&) = delete;
    AudioFileWriter& operator=(const AudioFileWriter&) = delete;

    bool start();
    bool write(const float* interleaved, int frames);
    bool write(const int16_t* interleaved, int frames);
    bool finish();
    // Stops and removes the file.
    void cancel();
    QString errorString() const;
    int64_t framesWritten() const;
    // The file the finish completed, as it was then: a reader can tell it from one put at its name since.
    std::optional<FileIdentity> writtenFile() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace platform::media
