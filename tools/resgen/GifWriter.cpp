// A GIF89a writer: Qt reads GIF but cannot write it, and the frame patterns are stored as GIF by name.
// One frame, one global colour table of 256 entries, LZW with 8-bit roots.
#include "Resgen.h"

#include <vector>

namespace resgen {

namespace {

// Packs codes of varying width least significant bit first, in sub-blocks of at most 255 bytes.
class CodeStream {
public:
    void put(int code, int width) {
        accumulator |= std::uint32_t(code) << bitCount;
        bitCount += width;
        while (bitCount >= 8) {
            bytes.push_back(char(accumulator & 0xff));
            accumulator >>= 8;
            bitCount -= 8;
        }
    }
    QByteArray finishedBlocks() {
        if (bitCount > 0)
            bytes.push_back(char(accumulator & 0xff));
        QByteArray blocks;
        for (std::size_t at = 0; at < bytes.size(); at += 255) {
            const std::size_t length = std::min<std::size_t>(255, bytes.size() - at);
            blocks.append(char(length));
            blocks.append(bytes.data() + at, qsizetype(length));
        }
        blocks.append('\0');
        return blocks;
    }

private:
    std::vector<char> bytes;
    std::uint32_t accumulator = 0;
    int bitCount = 0;
};

constexpr int kClear = 256;
constexpr int kEnd = 257;
constexpr int kMaxCodes = 4096;

QByteArray lzw(const QImage& image) {
    // child[prefix * 256 + byte] is the code of prefix+byte, or -1.
    std::vector<std::int16_t> child(std::size_t(kMaxCodes) * 256, -1);
    CodeStream stream;
    int width = 9, nextCode = kEnd + 1, prefix = -1;
    auto reset = [&] {
        std::fill(child.begin(), child.end(), std::int16_t(-1));
        width = 9;
        nextCode = kEnd + 1;
    };
    stream.put(kClear, width);
    for (int y = 0; y < image.height(); ++y) {
        const uchar* line = image.constScanLine(y);
        for (int x = 0; x < image.width(); ++x) {
            const int pixel = line[x];
            if (prefix < 0) {
                prefix = pixel;
                continue;
            }
            auto& slot = child[std::size_t(prefix) * 256 + std::size_t(pixel)];
            if (slot >= 0) {
                prefix = slot;
                continue;
            }
            stream.put(prefix, width);
            slot = std::int16_t(nextCode++);
            // A reader widens its codes one entry later than a writer adds them, hence ">" and not ">=".
            if (nextCode > (1 << width) && width < 12)
                ++width;
            if (nextCode == kMaxCodes) {
                stream.put(kClear, width);
                reset();
            }
            prefix = pixel;
        }
    }
    if (prefix >= 0)
        stream.put(prefix, width);
    stream.put(kEnd, width);
    return stream.finishedBlocks();
}

void putShort(QByteArray& bytes, int value) {
    bytes.append(char(value & 0xff));
    bytes.append(char((value >> 8) & 0xff));
}

} // namespace

QByteArray encodeGif(const QImage& indexed) {
    if (indexed.format() != QImage::Format_Indexed8 || indexed.colorCount() > 256 || indexed.isNull() ||
        indexed.width() > 0xffff || indexed.height() > 0xffff)
        return {};
    QByteArray bytes("GIF89a");
    putShort(bytes, indexed.width());
    putShort(bytes, indexed.height());
    bytes.append(char(0xf7)); // global table of 2^8 entries, 8 bits per primary
    bytes.append('\0');       // background colour index
    bytes.append('\0');       // square pixels
    const QList<QRgb> colors = indexed.colorTable();
    for (int i = 0; i < 256; ++i) {
        const QRgb color = i < colors.size() ? colors[i] : qRgb(0, 0, 0);
        bytes.append(char(qRed(color)));
        bytes.append(char(qGreen(color)));
        bytes.append(char(qBlue(color)));
    }
    bytes.append(',');
    putShort(bytes, 0);
    putShort(bytes, 0);
    putShort(bytes, indexed.width());
    putShort(bytes, indexed.height());
    bytes.append('\0'); // no local table, not interlaced
    bytes.append(char(8));
    bytes.append(lzw(indexed));
    bytes.append(';');
    return bytes;
}

} // namespace resgen
