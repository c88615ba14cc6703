#pragma once

#include "platform/foundation/FileIdentity.h"
#include "platform/foundation/FileUtils.h"
#include "platform/foundation/UniqueFd.h"

#include <QString>
#include <QVariantMap>

#include <cstdint>

struct AVCodecContext;
struct AVFormatContext;
struct AVPacket;
struct AVStream;
struct AVRational;

namespace platform::media {

// An output file being written by one of the libraries' muxers. It is made in its path's folder without a
// name (or, where the file system cannot, exclusively under a hidden name of its own) and written only
// through the descriptor made with it, so that no other program reaches it; it takes the path's name only
// once finished. A file that is not finished, whether abandoned or failed, is removed: a half-written movie
// is never left behind. Not thread-safe.
class Muxer {
public:
    Muxer() = default;
    ~Muxer();
    Muxer(const Muxer&) = delete;
    Muxer& operator=(const Muxer&) = delete;

    // Creates the file for the named muxer ("mp4", "mov", "ipod", "mp3", ...).
    bool open(const QString& path, const char* formatName, QString* error);
    bool wantsGlobalHeader() const;
    // A stream taking its parameters from an open encoder.
    AVStream* addStream(const AVCodecContext* encoder, QString* error);
    void setMetadata(const QString& key, const QString& value);
    // A private option of the muxer, applied when the header is written.
    void setOption(const QString& key, const QString& value);
    bool writeHeader(QString* error);
    // Stamps are in the encoder's time base; the packet is consumed.
    bool writePacket(AVPacket* packet, AVRational encoderTimeBase, const AVStream* stream, QString* error);
    bool finish(QString* error);
    // Closes and removes the file being written; whatever stands at the path is left alone.
    void abort();
    bool isOpen() const { return context != nullptr; }
    QString path() const { return filePath; }
    // The file the last finish completed, as it was then; nothing before.
    std::optional<FileIdentity> writtenFile() const { return written; }
    // Why the last finish could not give the file its name, when the file it wrote was lost.
    PartialLoss partialLoss() const { return loss; }

private:
    void release();
    static int writeOut(void* opaque, uint8_t* data, int size);
    static int64_t seekOut(void* opaque, int64_t offset, int whence);

    AVFormatContext* context = nullptr;
    QString filePath;
    QString partialPath; // where the file is made, until the finish gives it filePath
    QVariantMap options;
    bool headerWritten = false;
    UniqueFd own; // the file made at open, whatever later takes its name
    std::optional<FileIdentity> written;
    PartialLoss loss = PartialLoss::None;
};

} // namespace platform::media
