#include "webservice/HTTPFetcher/NetGatherInputStream.h"

#include <algorithm>
#include <cstring>

NetGatherInputStream::NetGatherInputStream(QList<QByteArray> dataArray, QObject* parent)
    : NetInputStream(parent), dataArray_(std::move(dataArray)) {
    for (const QByteArray& data : dataArray_)
        remaining_ += data.size();
}

std::unique_ptr<NetGatherInputStream> NetGatherInputStream::streamWithArray(QList<QByteArray> dataArray) {
    return std::make_unique<NetGatherInputStream>(std::move(dataArray));
}

void NetGatherInputStream::close() {
    QIODevice::close();
    dataArray_.clear();
    arrayIndex_ = 0;
    dataOffset_ = 0;
    remaining_ = 0;
}

qint64 NetGatherInputStream::bytesAvailable() const {
    return remaining_ + QIODevice::bytesAvailable();
}

qint64 NetGatherInputStream::readData(char* data, qint64 maxLength) {
    qint64 copied = 0;
    while (copied < maxLength && arrayIndex_ < dataArray_.size()) {
        const QByteArray& buffer = dataArray_[arrayIndex_];
        const qint64 count = std::min(maxLength - copied, buffer.size() - dataOffset_);
        if (count > 0) {
            std::memcpy(data + copied, buffer.constData() + dataOffset_, size_t(count));
            copied += count;
            dataOffset_ += count;
        }
        if (dataOffset_ == buffer.size()) {
            ++arrayIndex_;
            dataOffset_ = 0;
        }
    }
    remaining_ -= copied;
    return copied;
}
