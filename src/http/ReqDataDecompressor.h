#pragma once

#include "platform/foundation/Error.h"

#include <QByteArray>
#include <QString>

#include <memory>

struct z_stream_s;

// Reads gzip or zlib data through one long-lived zlib stream: responses inflated while they arrive, whole
// buffers, or downloaded files. Input that stops before the end of the compressed stream is an error once
// the caller says the input is over: a cut-off download is never taken for a whole one.
class ReqDataDecompressor {
public:
    static constexpr qint64 kFileChunkSize = 262144;

    static std::unique_ptr<ReqDataDecompressor> decompressor();
    ReqDataDecompressor();
    ~ReqDataDecompressor();
    ReqDataDecompressor(const ReqDataDecompressor&) = delete;
    ReqDataDecompressor& operator=(const ReqDataDecompressor&) = delete;

    bool streamReady() const { return ready; }
    platform::OptionalError setupStream();
    platform::OptionalError closeStream();

    // The inflated bytes of the next piece of input; null for empty input (with no error). Bytes after the
    // end of the first member are not read.
    QByteArray uncompressBytes(const char* bytes, qint64 length, platform::OptionalError* error);
    // Whether the compressed stream has reached its end.
    bool reachedStreamEnd() const { return streamEnded; }
    // The input is over: the code-11 error (zlib's "buffer error") when the stream stopped short.
    platform::OptionalError finishInput() const;

    static QByteArray uncompressData(const QByteArray& data, platform::OptionalError* error);
    static bool uncompressDataFromFile(const QString& sourcePath, const QString& destinationPath,
                                       platform::OptionalError* error);
    static platform::Error inflateErrorWithCode(int code);

private:
    std::unique_ptr<z_stream_s> stream;
    bool ready = false;
    bool streamEnded = false;
    bool sawInput = false;
};
