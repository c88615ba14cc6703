#include "http/ReqDataCompressor.h"

#include "http/ReqGzipFiles.h"
#include "http/ReqHTTPRequestErrors.h"

#include <QFile>

#include <zlib.h>

std::unique_ptr<ReqDataCompressor> ReqDataCompressor::compressor() {
    auto made = std::make_unique<ReqDataCompressor>();
    made->setupStream();
    return made;
}

ReqDataCompressor::ReqDataCompressor() : stream(std::make_unique<z_stream_s>()) {}

ReqDataCompressor::~ReqDataCompressor() {
    closeStream();
}

platform::Error ReqDataCompressor::deflateErrorWithCode(int code) {
    return reqError(ReqCompressionError,
                    QStringLiteral("Compression of data failed with code %1").arg(short(code)));
}

platform::OptionalError ReqDataCompressor::setupStream() {
    if (ready)
        return std::nullopt;
    *stream = z_stream_s{};
    const int status =
        deflateInit2(stream.get(), Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    if (status != Z_OK)
        return deflateErrorWithCode(status);
    ready = true;
    return std::nullopt;
}

platform::OptionalError ReqDataCompressor::closeStream() {
    if (!ready)
        return std::nullopt;
    ready = false;
    const int status = deflateEnd(stream.get());
    // A member closed before its end reports "data error"; the stream is released all the same.
    if (status != Z_OK && status != Z_DATA_ERROR)
        return deflateErrorWithCode(status);
    return std::nullopt;
}

QByteArray ReqDataCompressor::compressBytes(const char* bytes, qint64 length, platform::OptionalError* error,
                                            bool shouldFinish) {
    if (length == 0 && !shouldFinish)
        return QByteArray();
    const qint64 step = std::max<qint64>(length / 2, 256);
    QByteArray out(step, '\0');
    qint64 produced = 0;
    stream->next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes));
    stream->avail_in = uInt(length);
    while (true) {
        if (produced == out.size())
            out.resize(out.size() + step);
        stream->next_out = reinterpret_cast<Bytef*>(out.data() + produced);
        stream->avail_out = uInt(out.size() - produced);
        const int status = deflate(stream.get(), shouldFinish ? Z_FINISH : Z_NO_FLUSH);
        produced = out.size() - stream->avail_out;
        if (status == Z_STREAM_END || (status == Z_BUF_ERROR && stream->avail_in == 0))
            break;
        if (status != Z_OK) {
            if (error)
                *error = deflateErrorWithCode(status);
            return QByteArray();
        }
        if (stream->avail_out != 0 && stream->avail_in == 0 && !shouldFinish)
            break;
    }
    out.truncate(produced);
    return out;
}

QByteArray ReqDataCompressor::compressData(const QByteArray& data, platform::OptionalError* error) {
    if (data.isEmpty())
        return QByteArray();
    auto compressor = ReqDataCompressor::compressor();
    if (!compressor->streamReady()) {
        if (error)
            *error = deflateErrorWithCode(Z_STREAM_ERROR);
        return QByteArray();
    }
    platform::OptionalError failure;
    QByteArray compressed = compressor->compressBytes(data.constData(), data.size(), &failure, true);
    if (failure) {
        if (error)
            *error = failure;
        return QByteArray();
    }
    return compressed;
}

bool ReqDataCompressor::compressDataFromFile(const QString& sourcePath, const QString& destinationPath,
                                             platform::OptionalError* error) {
    auto compressor = ReqDataCompressor::compressor();
    ReqGzipFiles::Steps steps;
    steps.verb = QStringLiteral("Compression");
    steps.process = [&](const QByteArray& chunk, bool last, platform::OptionalError* failure) {
        return compressor->compressBytes(chunk.constData(), chunk.size(), failure, last);
    };
    steps.finish = [&]() { return compressor->closeStream(); };
    return ReqGzipFiles::run(sourcePath, destinationPath, kFileChunkSize, steps, error);
}
