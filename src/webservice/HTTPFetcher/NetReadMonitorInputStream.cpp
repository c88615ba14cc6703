#include "webservice/HTTPFetcher/NetReadMonitorInputStream.h"

#include <QByteArray>
#include <QMetaObject>
#include <QThread>

NetReadMonitorInputStream::NetReadMonitorInputStream(std::shared_ptr<QIODevice> inputStream, QObject* parent)
    : NetInputStream(parent), inputStream_(std::move(inputStream)) {}

std::unique_ptr<NetReadMonitorInputStream>
NetReadMonitorInputStream::inputStreamWithStream(std::shared_ptr<QIODevice> inputStream) {
    return std::make_unique<NetReadMonitorInputStream>(std::move(inputStream));
}

NetReadMonitorInputStream::ReadHandler NetReadMonitorInputStream::readHandler() const {
    std::lock_guard lock(mutex_);
    return readHandler_;
}

void NetReadMonitorInputStream::setReadHandler(ReadHandler handler) {
    std::lock_guard lock(mutex_);
    readHandler_ = std::move(handler);
}

QStringList NetReadMonitorInputStream::runLoopModes() const {
    std::lock_guard lock(mutex_);
    return runLoopModes_;
}

void NetReadMonitorInputStream::setRunLoopModes(const QStringList& modes) {
    std::lock_guard lock(mutex_);
    runLoopModes_ = modes;
}

bool NetReadMonitorInputStream::open(OpenMode mode) {
    if ((mode & ReadWrite) != ReadOnly)
        return false;
    if (inputStream_ && !inputStream_->isOpen() && !inputStream_->open(mode))
        return false;
    return NetInputStream::open(mode);
}

void NetReadMonitorInputStream::close() {
    QIODevice::close();
    if (inputStream_)
        inputStream_->close();
}

qint64 NetReadMonitorInputStream::bytesAvailable() const {
    return (inputStream_ ? inputStream_->bytesAvailable() : 0) + QIODevice::bytesAvailable();
}

qint64 NetReadMonitorInputStream::readData(char* data, qint64 maxLength) {
    const qint64 count = inputStream_ ? inputStream_->read(data, maxLength) : 0;
    if (count > 0)
        reportRead(data, count);
    return count;
}

void NetReadMonitorInputStream::reportRead(const char* bytes, qint64 length) {
    const ReadHandler handler = readHandler();
    if (!handler)
        return;
    if (QThread::currentThread() == thread()) {
        handler(*this, bytes, length);
        return;
    }
    // The reader's buffer is gone by the time the report runs: the report carries its own copy. Should the
    // monitor go first, Qt drops the queued call with it.
    QMetaObject::invokeMethod(
        this,
        [this, copy = QByteArray(bytes, length)] {
            if (const ReadHandler handler = readHandler())
                handler(*this, copy.constData(), copy.size());
        },
        Qt::QueuedConnection);
}
