#pragma once

#include <QIODevice>

// What a body is read from: a sequential, read-only device, opened unbuffered so that every read reaches
// the stream itself. Open it with QIODevice::ReadOnly; read() answers the bytes copied, 0 at the end and
// -1 on failure; close() ends it.
class NetInputStream : public QIODevice {
public:
    using QIODevice::QIODevice;

    bool isSequential() const override { return true; }
    bool open(OpenMode mode) override {
        if ((mode & ReadWrite) != ReadOnly)
            return false;
        return QIODevice::open(mode | Unbuffered);
    }

protected:
    qint64 writeData(const char*, qint64) override { return -1; }
};
