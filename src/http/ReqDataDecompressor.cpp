#include "http/ReqDataDecompressor.h"

#include "http/ReqGzipFiles.h"
#include "http/ReqHTTPRequestErrors.h"

#include <zlib.h>

std::unique_ptr<ReqDataDecompressor> ReqDataDecompressor::decompressor() {
    auto made = std::make_unique<ReqDataDecompressor>();
    made->setupStream();
    return made;
}

ReqDataDecompressor::ReqDataDecompressor() : stream(std::make_unique<z_stream_s>()) {}

ReqDataDecompressor::~ReqDataDecompressor() {
    closeStream();
}

platform::Error ReqDataDecompressor::inflateErrorWithCode(int code) {
    return reqError(ReqCompressionError,
                    QStringLiteral("Decompression of data failed with code %1").arg(short(code)));
}

platform::OptionalError ReqDataDecompressor::setupStream() {
    if (ready)
        return std::nullopt;
    *stream = z_stream_s{};
    const int status = inflateInit2(stream.get(), 15 + 32); // gzip or zlib, told apart by the header
    if (status != Z_OK)
        return inflateErrorWithCode(status);
    ready = true;
    streamEnded = false;
    sawInput = false;
    return std::nullopt;
}

platform::OptionalError ReqDataDecompressor::closeStream() {
    if (!ready)
        return std::nullopt;
    ready = false;
    const int status = inflateEnd(stream.get());
    if (status != Z_OK)
        return inflateErrorWithCode(status);
    return std::nullopt;
}

QByteArray ReqDataDecompressor::uncompressBytes(const char* bytes, qint64 length,
                                                platform::OptionalError* error) {
    if (length == 0)
        return QByteArray();
    sawInput = true;
    if (streamEnded || !ready)
        return QByteArray("");
    const qint64 step = std::max<qint64>(length / 2, 256);
    QByteArray out(length + length / 2, '\0');
    qint64 produced = 0;
    stream->next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes));
    stream->avail_in = uInt(length);
    while (stream->avail_in > 0 || produced == out.size()) {
        if (produced == out.size())
            out.resize(out.size() + step);
        stream->next_out = reinterpret_cast<Bytef*>(out.data() + produced);
        stream->avail_out = uInt(out.size() - produced);
        const int status = inflate(stream.get(), Z_NO_FLUSH);
        produced = out.size() - stream->avail_out;
        if (platform::OptionalError tooLarge = checkLimits()) {
            if (error)
                *error = tooLarge;
            return QByteArray();
        }
        if (status == Z_STREAM_END) {
            streamEnded = true;
            break;
        }
        if (status == Z_BUF_ERROR && stream->avail_in == 0)
            break; // everything given has been taken and nothing more is pending
        if (status != Z_OK) {
            if (error)
                *error = inflateErrorWithCode(status);
            return QByteArray();
        }
    }
    out.truncate(produced);
    return out;
}

platform::OptionalError ReqDataDecompressor::checkLimits() const {
    const qint64 decoded = qint64(stream->total_out);
    if (limits.maxOutput >= 0 && decoded > limits.maxOutput)
        return reqResponseTooLargeError(
            QStringLiteral("more than %1 bytes once decompressed").arg(limits.maxOutput));
    if (limits.maxRatio > 0 && decoded > ReqInflationLimits::kRatioFloor &&
        decoded / limits.maxRatio > qint64(stream->total_in))
        return reqResponseTooLargeError(
            QStringLiteral("it decompresses to more than %1 times its size").arg(limits.maxRatio));
    return std::nullopt;
}

platform::OptionalError ReqDataDecompressor::finishInput() const {
    if (sawInput && !streamEnded)
        return inflateErrorWithCode(Z_BUF_ERROR);
    return std::nullopt;
}

QByteArray ReqDataDecompressor::uncompressData(const QByteArray& data, platform::OptionalError* error,
                                               const ReqInflationLimits& limits) {
    if (data.isEmpty())
        return QByteArray();
    auto decompressor = ReqDataDecompressor::decompressor();
    decompressor->setLimits(limits);
    platform::OptionalError failure = decompressor->setupStream();
    QByteArray inflated;
    if (!failure)
        inflated = decompressor->uncompressBytes(data.constData(), data.size(), &failure);
    if (!failure)
        failure = decompressor->finishInput();
    if (failure) {
        if (error)
            *error = failure;
        return QByteArray();
    }
    return inflated;
}

bool ReqDataDecompressor::uncompressDataFromFile(const QString& sourcePath, const QString& destinationPath,
                                                 platform::OptionalError* error,
                                                 const ReqInflationLimits& limits) {
    auto decompressor = ReqDataDecompressor::decompressor();
    decompressor->setLimits(limits);
    ReqGzipFiles::Steps steps;
    steps.verb = QStringLiteral("Decompression");
    steps.process = [&](const QByteArray& chunk, bool, platform::OptionalError* failure) {
        return decompressor->uncompressBytes(chunk.constData(), chunk.size(), failure);
    };
    steps.finish = [&]() -> platform::OptionalError {
        if (platform::OptionalError cutShort = decompressor->finishInput())
            return cutShort;
        return decompressor->closeStream();
    };
    return ReqGzipFiles::run(sourcePath, destinationPath, kFileChunkSize, steps, error);
}
