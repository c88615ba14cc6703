#include "http/ReqInputStream.h"

#include "http/ReqHTTPRequest.h"

#include <QBuffer>
#include <QFile>

#include <mutex>

namespace {

// One body at a time chooses its read length and runs the throttling step; the reads themselves do not wait.
std::mutex& inputStreamReadLock() {
    static std::mutex lock;
    return lock;
}

} // namespace

std::shared_ptr<ReqInputStream>
ReqInputStream::inputStreamWithFileAtPath(const QString& path,
                                          const std::shared_ptr<ReqHTTPRequest>& request) {
    return std::shared_ptr<ReqInputStream>(new ReqInputStream(std::make_unique<QFile>(path), request));
}

std::shared_ptr<ReqInputStream>
ReqInputStream::inputStreamWithData(const QByteArray& data, const std::shared_ptr<ReqHTTPRequest>& request) {
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(data);
    return std::shared_ptr<ReqInputStream>(new ReqInputStream(std::move(buffer), request));
}

ReqInputStream::ReqInputStream(std::unique_ptr<QIODevice> stream,
                               const std::shared_ptr<ReqHTTPRequest>& request)
    : stream(std::move(stream)), request(request) {}

ReqInputStream::~ReqInputStream() = default;

bool ReqInputStream::open(OpenMode mode) {
    // Unbuffered: a read ahead of the budget would send what the throttle held back.
    if (!stream->open(QIODevice::ReadOnly))
        return false;
    return QIODevice::open(mode | QIODevice::Unbuffered);
}

void ReqInputStream::close() {
    stream->close();
    QIODevice::close();
}

qint64 ReqInputStream::size() const {
    return stream->size();
}

bool ReqInputStream::seek(qint64 position) {
    return stream->seek(position) && QIODevice::seek(position);
}

qint64 ReqInputStream::readData(char* data, qint64 maxLength) {
    qint64 length = maxLength;
    {
        std::lock_guard lock(inputStreamReadLock());
        if (ReqHTTPRequest::isBandwidthThrottled()) {
            const auto allowance = qint64(ReqHTTPRequest::maxUploadReadLength());
            if (allowance <= maxLength)
                length = allowance == 0 ? 1 : allowance;
            if (const auto owner = request.lock())
                owner->performThrottling();
        }
    }
    const qint64 read = stream->read(data, length);
    if (read > 0)
        ReqHTTPRequest::incrementBandwidthUsedInLastSecond(quint64(read));
    return read;
}
