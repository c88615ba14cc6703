#pragma once

#include <QByteArray>
#include <QIODevice>

#include <vector>

namespace stream_test {

// Reads a device to its end in reads of at most `piece` bytes.
inline QByteArray readInPieces(QIODevice& device, qint64 piece) {
    QByteArray all;
    std::vector<char> buffer(static_cast<size_t>(piece));
    qint64 count = 0;
    while ((count = device.read(buffer.data(), piece)) > 0)
        all.append(buffer.data(), count);
    return all;
}

} // namespace stream_test
