#pragma once

#include "platform/foundation/Error.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

struct z_stream_s;

// Makes gzip data through one long-lived zlib stream: request bodies, in chunks or whole buffers or files.
class ReqDataCompressor {
public:
    static constexpr qint64 kFileChunkSize = 262144;

    // A compressor already set up (when set-up fails, streamReady() stays false).
    static std::unique_ptr<ReqDataCompressor> compressor();
    ReqDataCompressor();
    ~ReqDataCompressor();
    ReqDataCompressor(const ReqDataCompressor&) = delete;
    ReqDataCompressor& operator=(const ReqDataCompressor&) = delete;

    bool streamReady() const { return ready; }
    platform::OptionalError setupStream();
    platform::OptionalError closeStream();

    // The gzip bytes for the next piece of input; null for empty input (with no error). With `shouldFinish`
    // the gzip member ends after this piece.
    QByteArray compressBytes(const char* bytes, qint64 length, platform::OptionalError* error,
                             bool shouldFinish);

    static QByteArray compressData(const QByteArray& data, platform::OptionalError* error);
    static bool compressDataFromFile(const QString& sourcePath, const QString& destinationPath,
                                     platform::OptionalError* error);
    static platform::Error deflateErrorWithCode(int code);

private:
    std::unique_ptr<z_stream_s> stream;
    bool ready = false;
};
