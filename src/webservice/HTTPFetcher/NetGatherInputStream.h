#pragma once

#include "webservice/HTTPFetcher/NetInputStream.h"

#include <QByteArray>
#include <QList>

#include <memory>

// Reads a list of byte buffers one after another as one sequential device, without joining them: the
// buffers stay shared with whoever gave them. Open it read-only before reading; read() answers the bytes
// copied, 0 once every buffer has been read; bytesAvailable() is what is left. close() lets the buffers
// go for good. One reader at a time, on any thread.
class NetGatherInputStream : public NetInputStream {
    Q_OBJECT
public:
    explicit NetGatherInputStream(QList<QByteArray> dataArray, QObject* parent = nullptr);
    static std::unique_ptr<NetGatherInputStream> streamWithArray(QList<QByteArray> dataArray);

    void close() override;
    qint64 bytesAvailable() const override;

protected:
    qint64 readData(char* data, qint64 maxLength) override;

private:
    QList<QByteArray> dataArray_;
    qsizetype arrayIndex_ = 0; // the buffer being read
    qint64 dataOffset_ = 0;    // bytes already read from it
    qint64 remaining_ = 0;     // bytes not yet read from all buffers
};
