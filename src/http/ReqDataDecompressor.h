#pragma once

#include "platform/foundation/Error.h"

#include <QByteArray>
#include <QString>

#include <memory>

struct z_stream_s;

// What one compressed body may become: decoded bytes in all (negative: no bound), and decoded bytes per
// encoded byte once more than kRatioFloor bytes are decoded (0: no bound). Past either, inflating fails as
// "too large" within one step of the bound, so a small body never turns into an unbounded one in memory.
struct ReqInflationLimits {
    static constexpr qint64 kRatioFloor = 1 << 20;
    qint64 maxOutput = -1;
    qint64 maxRatio = 0;
};

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
    void setLimits(const ReqInflationLimits& given) { limits = given; }

    // The inflated bytes of the next piece of input; null for empty input (with no error). Bytes after the
    // end of the first member are not read.
    QByteArray uncompressBytes(const char* bytes, qint64 length, platform::OptionalError* error);
    // Whether the compressed stream has reached its end.
    bool reachedStreamEnd() const { return streamEnded; }
    // The input is over: the code-11 error (zlib's "buffer error") when the stream stopped short.
    platform::OptionalError finishInput() const;

    static QByteArray uncompressData(const QByteArray& data, platform::OptionalError* error,
                                     const ReqInflationLimits& limits = {});
    static bool uncompressDataFromFile(const QString& sourcePath, const QString& destinationPath,
                                       platform::OptionalError* error, const ReqInflationLimits& limits = {});
    static platform::Error inflateErrorWithCode(int code);

private:
    platform::OptionalError checkLimits() const;

    std::unique_ptr<z_stream_s> stream;
    ReqInflationLimits limits;
    bool ready = false;
    bool streamEnded = false;
    bool sawInput = false;
};
