#include "platform/image/PictureDamage.h"

#include <QtEndian>

namespace platform::image {

namespace {

quint32 little32(const QByteArray& bytes, qsizetype at) {
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

quint16 little16(const QByteArray& bytes, qsizetype at) {
    return qFromLittleEndian<quint16>(bytes.constData() + at);
}

// An uncompressed BMP holds its rows in full; a compressed one is left to its decode.
bool bmpWhole(const QByteArray& bytes) {
    if (bytes.size() < 30)
        return true;
    const quint32 header = little32(bytes, 14);
    qint64 width = 0, height = 0, bits = 0, compression = 0;
    if (header == 12) {
        width = little16(bytes, 18);
        height = little16(bytes, 20);
        bits = little16(bytes, 24);
    } else if (header >= 40 && bytes.size() >= 34) {
        width = qint32(little32(bytes, 18));
        height = qint32(little32(bytes, 22));
        bits = little16(bytes, 28);
        compression = little32(bytes, 30);
    } else {
        return true;
    }
    constexpr qint64 kRgb = 0, kBitFields = 3, kAlphaBitFields = 6;
    if (compression != kRgb && compression != kBitFields && compression != kAlphaBitFields)
        return true;
    const qint64 rowBytes = (width * bits + 31) / 32 * 4;
    return bytes.size() >= qint64(little32(bytes, 10)) + rowBytes * (height < 0 ? -height : height);
}

// Past the sub-blocks starting at `at`, through their empty closing one; false when the bytes end first.
bool skipSubBlocks(const QByteArray& bytes, qsizetype& at) {
    while (at < bytes.size()) {
        const int length = uchar(bytes[at++]);
        if (length == 0)
            return true;
        at += length;
    }
    return false;
}

qsizetype colourTableBytes(uchar flags) {
    return flags & 0x80 ? 3 * (qsizetype(2) << (flags & 0x07)) : 0;
}

// A GIF's first picture, the one shown, must reach the end of its data.
bool gifWhole(const QByteArray& bytes) {
    if (bytes.size() < 13)
        return true;
    qsizetype at = 13 + colourTableBytes(uchar(bytes[10]));
    while (at < bytes.size()) {
        switch (uchar(bytes[at])) {
        case 0x21: // an extension: its label, then its sub-blocks
            at += 2;
            if (!skipSubBlocks(bytes, at))
                return false;
            break;
        case 0x2C: // the picture: its descriptor, its colour table, its code size, then its data
            if (at + 10 > bytes.size())
                return false;
            at += 10 + colourTableBytes(uchar(bytes[at + 9])) + 1;
            return skipSubBlocks(bytes, at);
        default: // the trailer, or something no decoder takes for a picture
            return true;
        }
    }
    return false;
}

} // namespace

bool pictureDataWhole(const QByteArray& bytes) {
    if (bytes.startsWith("BM"))
        return bmpWhole(bytes);
    if (bytes.startsWith("GIF8"))
        return gifWhole(bytes);
    return true;
}

} // namespace platform::image
