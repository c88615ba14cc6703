#include "support/LargePictures.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio> // before the encoder's header, which needs FILE
#include <cstdlib>
#include <cstring>
#include <jpeglib.h>
#include <vector>
#include <zlib.h>

namespace test_support {

namespace {

// The detailed picture's colour at (x, y): waves across, down and around, from hundreds of pixels long down
// to a few, in each colour.
QColor detailAt(int x, int y) {
    // Finer waves are fainter, as in a photo.
    const double r = 128 + 50 * std::sin(x * 0.011 + y * 0.004) +
                     25 * std::sin(std::hypot(x - 3000, y - 2000) * 0.07) + 8 * std::sin(x * 0.29 - y * 0.13);
    const double g = 128 + 45 * std::cos(y * 0.006) + 20 * std::sin(x * 0.13) * std::cos(y * 0.021) +
                     7 * std::sin(y * 0.41);
    const double b = 128 + 40 * std::cos(x * 0.003 - y * 0.009) + 18 * std::sin((x + y) * 0.05) +
                     6 * std::sin(x * 0.45 + y * 0.2);
    const auto part = [](double v) { return int(std::clamp(std::lround(v), 0L, 255L)); };
    return QColor(part(r), part(g), part(b));
}

// A row of the picture in the encoder's components.
std::vector<unsigned char> jpegRow(int width, int y, bool bottom, const LargeJpeg& shape) {
    const int components = shape.colours == LargeJpeg::Colours::Grey   ? 1
                           : shape.colours == LargeJpeg::Colours::Cmyk ? 4
                                                                       : 3;
    std::vector<unsigned char> row(std::size_t(width) * std::size_t(components));
    for (int x = 0; x < width; ++x) {
        const QColor colour = shape.solid.isValid() ? shape.solid
                              : shape.detailed      ? detailAt(x, y)
                                                    : largePictureQuarter(x >= width / 2, bottom);
        unsigned char* pixel = row.data() + std::size_t(x) * std::size_t(components);
        if (components == 1) {
            pixel[0] = uchar(greyOf(colour).red());
            continue;
        }
        pixel[0] = uchar(colour.red());
        pixel[1] = uchar(colour.green());
        pixel[2] = uchar(colour.blue());
        if (components == 4)
            pixel[3] = 255; // inverted: no black ink, and each ink the inverse of its colour's part
    }
    return row;
}

// A plain 16 x 16 picture in `format`, whose header a test then makes declare another size.
QByteArray smallGreyPicture(const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImage small(16, 16, QImage::Format_RGB32);
    small.fill(Qt::gray);
    small.save(&buffer, format, 80);
    return bytes;
}

// The EXIF block of an orientation tag alone, little-endian.
QByteArray exifOrientation(int orientation) {
    QByteArray exif("Exif\0\0II*\0\x08\0\0\0\x01\0", 16);
    const char entry[12] = {0x12, 0x01, 0x03, 0x00, 0x01, 0x00, 0x00, 0x00, char(orientation),
                            0x00, 0x00, 0x00};
    exif.append(entry, 12);
    exif.append(QByteArray(4, '\0')); // no further directory
    return exif;
}

bool encodeJpeg(FILE* out, const QSize& size, const LargeJpeg& shape) {
    jpeg_compress_struct encoder{};
    jpeg_error_mgr errors{};
    encoder.err = jpeg_std_error(&errors);
    jpeg_create_compress(&encoder);
    jpeg_stdio_dest(&encoder, out);
    encoder.image_width = JDIMENSION(size.width());
    encoder.image_height = JDIMENSION(size.height());
    switch (shape.colours) {
    case LargeJpeg::Colours::Rgb:
        encoder.input_components = 3;
        encoder.in_color_space = JCS_RGB;
        break;
    case LargeJpeg::Colours::Grey:
        encoder.input_components = 1;
        encoder.in_color_space = JCS_GRAYSCALE;
        break;
    case LargeJpeg::Colours::Cmyk:
        encoder.input_components = 4;
        encoder.in_color_space = JCS_CMYK;
        break;
    }
    jpeg_set_defaults(&encoder);
    jpeg_set_quality(&encoder, shape.quality, TRUE);
    if (shape.progressive)
        jpeg_simple_progression(&encoder);
    jpeg_start_compress(&encoder, TRUE);
    if (shape.orientation > 0) {
        const QByteArray exif = exifOrientation(shape.orientation);
        jpeg_write_marker(&encoder, JPEG_APP0 + 1, reinterpret_cast<const JOCTET*>(exif.constData()),
                          unsigned(exif.size()));
    }
    const std::array<std::vector<unsigned char>, 2> rows{jpegRow(size.width(), 0, false, shape),
                                                         jpegRow(size.width(), 0, true, shape)};
    std::vector<unsigned char> detailed;
    while (encoder.next_scanline < encoder.image_height) {
        const int y = int(encoder.next_scanline);
        if (shape.detailed)
            detailed = jpegRow(size.width(), y, false, shape);
        JSAMPROW row =
            const_cast<JSAMPROW>(shape.detailed ? detailed.data() : rows[y >= size.height() / 2].data());
        jpeg_write_scanlines(&encoder, &row, 1);
    }
    jpeg_finish_compress(&encoder);
    jpeg_destroy_compress(&encoder);
    return true;
}

void appendChunk(QByteArray& png, const char* type, const QByteArray& data) {
    char length[4];
    qToBigEndian<quint32>(quint32(data.size()), length);
    png.append(length, 4);
    const QByteArray typed = QByteArray(type, 4) + data;
    png.append(typed);
    char crc[4];
    qToBigEndian<quint32>(
        quint32(crc32(0, reinterpret_cast<const Bytef*>(typed.constData()), uInt(typed.size()))), crc);
    png.append(crc, 4);
}

QByteArray pngHeader(const QSize& size, const LargePng& shape) {
    QByteArray header(13, '\0');
    qToBigEndian<quint32>(quint32(size.width()), header.data());
    qToBigEndian<quint32>(quint32(size.height()), header.data() + 4);
    header[8] = char(shape.bits);
    header[9] = shape.grey ? 0 : 2; // grey, or RGB
    header[12] = shape.interlaced ? 1 : 0;
    return header;
}

// A row of `width` pixels of the quarters, starting at `x0`, `dx` apart, with its filter byte (none).
std::vector<unsigned char> pngRow(int x0, int dx, int width, int pictureWidth, bool bottom,
                                  const LargePng& shape) {
    const std::size_t sampleBytes = std::size_t(shape.bits / 8), samples = shape.grey ? 1 : 3;
    std::vector<unsigned char> row(1 + std::size_t(width) * samples * sampleBytes); // filter byte 0: none
    unsigned char* at = row.data() + 1;
    for (int i = 0; i < width; ++i) {
        QColor colour = largePictureQuarter(x0 + i * dx >= pictureWidth / 2, bottom);
        if (shape.grey)
            colour = greyOf(colour);
        const int parts[3] = {colour.red(), colour.green(), colour.blue()};
        for (std::size_t s = 0; s < samples; ++s)
            for (std::size_t b = 0; b < sampleBytes; ++b)
                *at++ = uchar(parts[s]); // 16 bits: the same byte twice, the 8-bit value times 257
    }
    return row;
}

// Feeds rows through one deflate stream, writing its output to the file as IDAT chunks.
class IdatWriter {
public:
    explicit IdatWriter(QFile& file) : file(file) { deflateInit(&stream, 1); }
    ~IdatWriter() { deflateEnd(&stream); }
    void add(const unsigned char* bytes, std::size_t count, bool last) {
        stream.next_in = const_cast<Bytef*>(bytes);
        stream.avail_in = uInt(count);
        do {
            stream.next_out = reinterpret_cast<Bytef*>(out.data());
            stream.avail_out = uInt(out.size());
            deflate(&stream, last ? Z_FINISH : Z_NO_FLUSH);
            const auto made = out.size() - stream.avail_out;
            if (made > 0) {
                QByteArray chunk;
                appendChunk(chunk, "IDAT", QByteArray(out.data(), qsizetype(made)));
                file.write(chunk);
            }
        } while (stream.avail_out == 0);
    }

private:
    QFile& file;
    z_stream stream{};
    std::array<char, 1 << 16> out{};
};

// Entropy-coded bits as a JPEG holds them: a coded FF is followed by 00, the last byte filled with ones.
class JpegBits {
public:
    void add(quint32 bits, int count) {
        for (int i = count - 1; i >= 0; --i) {
            pending = (pending << 1) | ((bits >> i) & 1);
            if (++pendingCount == 8)
                flush();
        }
    }
    QByteArray finish() {
        while (pendingCount != 0)
            add(1, 1);
        return bytes;
    }

private:
    void flush() {
        bytes.append(char(pending));
        if (pending == 0xFF)
            bytes.append('\0');
        pending = 0;
        pendingCount = 0;
    }
    QByteArray bytes;
    quint32 pending = 0;
    int pendingCount = 0;
};

QByteArray jpegSegment(uchar marker, const QByteArray& body) {
    QByteArray segment(4, '\0');
    segment[0] = char(0xFF);
    segment[1] = char(marker);
    qToBigEndian<quint16>(quint16(body.size() + 2), segment.data() + 2);
    return segment + body;
}

// A Huffman table of one symbol, coded by the single bit 0.
QByteArray oneSymbolTable(uchar tableClass, uchar symbol) {
    QByteArray body(18, '\0');
    body[0] = char(tableClass << 4);
    body[1] = 1; // one code of one bit
    body[17] = char(symbol);
    return jpegSegment(0xC4, body);
}

// One grey component whose every difference from what is predicted is 0: the coded data is one bit of the
// table's only code a block (DC 0, then the end of block), or a sample when lossless.
QByteArray handCodedGreyJpeg(uchar frameMarker, int precision, const QSize& size) {
    const bool lossless = frameMarker == 0xC3;
    QByteArray bytes("\xFF\xD8", 2);
    if (!lossless) { // a quantisation table of ones, of 16-bit entries when the samples are wider than 8 bits
        QByteArray table(1, char(precision > 8 ? 0x10 : 0x00));
        table += precision > 8 ? QByteArray(64 * 2, '\0') : QByteArray(64, '\x01');
        if (precision > 8)
            for (int i = 0; i < 64; ++i)
                table[2 + 2 * i] = 1;
        bytes += jpegSegment(0xDB, table);
    }
    QByteArray frame(6, '\0');
    frame[0] = char(precision);
    qToBigEndian<quint16>(quint16(size.height()), frame.data() + 1);
    qToBigEndian<quint16>(quint16(size.width()), frame.data() + 3);
    frame[5] = 1;                                                             // components
    bytes += jpegSegment(frameMarker, frame + QByteArray("\x01\x11\x00", 3)); // id 1, 1 x 1, table 0
    bytes += oneSymbolTable(0, 0x00);
    qint64 codes = qint64(size.width()) * size.height();
    if (!lossless) {
        bytes += oneSymbolTable(1, 0x00);
        codes = 2 * qint64((size.width() + 7) / 8) * ((size.height() + 7) / 8);
    }
    // Lossless: predictor 1 (the sample to the left) in the spectral start; else every coefficient.
    bytes += jpegSegment(0xDA, lossless ? QByteArray("\x01\x01\x00\x01\x00\x00", 6)
                                        : QByteArray("\x01\x01\x00\x00\x3F\x00", 6));
    JpegBits data;
    for (qint64 i = 0; i < codes; ++i)
        data.add(0, 1);
    return bytes + data.finish() + "\xFF\xD9";
}

} // namespace

QColor greyOf(const QColor& colour) {
    const int grey = qGray(colour.rgb());
    return QColor(grey, grey, grey);
}

QColor largePictureQuarter(bool right, bool bottom) {
    if (!bottom)
        return right ? QColor(0, 200, 0) : QColor(220, 0, 0);
    return right ? QColor(250, 250, 250) : QColor(0, 0, 220);
}

bool writeLargeJpeg(const QString& path, const QSize& size, const LargeJpeg& shape) {
    FILE* out = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!out)
        return false;
    const bool written = encodeJpeg(out, size, shape);
    return std::fclose(out) == 0 && written;
}

QByteArray progressiveJpegFailingLate(const QSize& size) {
    char* buffer = nullptr;
    std::size_t length = 0;
    FILE* out = open_memstream(&buffer, &length);
    if (!out)
        return QByteArray();
    encodeJpeg(out, size, {.progressive = true});
    std::fclose(out);
    QByteArray jpeg(buffer, qsizetype(length));
    std::free(buffer);
    // The second scan's header: its length, its components with their tables, then the first coefficient
    // it codes, set past the 64 a block has.
    const qsizetype first = jpeg.indexOf("\xFF\xDA");
    const qsizetype second = first < 0 ? -1 : jpeg.indexOf("\xFF\xDA", first + 2);
    if (second < 0)
        return QByteArray();
    const int components = uchar(jpeg[second + 4]);
    jpeg[second + 5 + 2 * components] = char(70);
    jpeg[second + 6 + 2 * components] = char(75);
    return jpeg;
}

bool writeLargePng(const QString& path, const QSize& size, const LargePng& shape) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray start("\x89PNG\r\n\x1A\n", 8);
    appendChunk(start, "IHDR", pngHeader(size, shape));
    file.write(start);
    IdatWriter idat(file);
    // Adam7's passes: where each starts and how far apart its pixels lie; one pass of all when not
    // interlaced.
    const std::vector<std::array<int, 4>> passes =
        shape.interlaced
            ? std::vector<std::array<int, 4>>{{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                              {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}}
            : std::vector<std::array<int, 4>>{{0, 0, 1, 1}};
    for (std::size_t p = 0; p < passes.size(); ++p) {
        const auto [x0, y0, dx, dy] = passes[p];
        const int width = size.width() > x0 ? (size.width() - x0 + dx - 1) / dx : 0;
        if (width == 0)
            continue;
        const std::array<std::vector<unsigned char>, 2> rows{
            pngRow(x0, dx, width, size.width(), false, shape),
            pngRow(x0, dx, width, size.width(), true, shape)};
        for (int y = y0; y < size.height(); y += dy) {
            const std::vector<unsigned char>& row = rows[y >= size.height() / 2];
            idat.add(row.data(), row.size(), false);
        }
    }
    idat.add(nullptr, 0, true);
    QByteArray end;
    appendChunk(end, "IEND", QByteArray());
    file.write(end);
    return file.error() == QFileDevice::NoError;
}

QByteArray jpegDeclaring(const QSize& size, bool progressive) {
    QByteArray bytes = smallGreyPicture("JPEG");
    const char frame[2] = {char(0xFF), char(0xC0)};
    qsizetype at = bytes.indexOf(QByteArray(frame, 2));
    if (progressive)
        bytes[at + 1] = char(0xC2);
    // Marker, length, precision, then height and width.
    qToBigEndian<quint16>(quint16(size.height()), bytes.data() + at + 5);
    qToBigEndian<quint16>(quint16(size.width()), bytes.data() + at + 7);
    return bytes;
}

QByteArray pngDeclaring(const QSize& size, bool interlaced) {
    QByteArray png("\x89PNG\r\n\x1A\n", 8);
    appendChunk(png, "IHDR", pngHeader(size, {.interlaced = interlaced}));
    const QByteArray row(4, '\0');
    QByteArray packed(64, '\0');
    uLongf packedSize = uLongf(packed.size());
    compress(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
             reinterpret_cast<const Bytef*>(row.constData()), uLong(row.size()));
    packed.resize(qsizetype(packedSize));
    appendChunk(png, "IDAT", packed);
    appendChunk(png, "IEND", QByteArray());
    return png;
}

QByteArray bmpDeclaring(const QSize& size) {
    QByteArray bmp(54, '\0');
    bmp[0] = 'B';
    bmp[1] = 'M';
    const qint64 rowBytes = (qint64(size.width()) * 3 + 3) / 4 * 4;
    qToLittleEndian<quint32>(quint32(54 + rowBytes * size.height()), bmp.data() + 2);
    qToLittleEndian<quint32>(54, bmp.data() + 10);
    qToLittleEndian<quint32>(40, bmp.data() + 14);
    qToLittleEndian<qint32>(size.width(), bmp.data() + 18);
    qToLittleEndian<qint32>(size.height(), bmp.data() + 22);
    qToLittleEndian<quint16>(1, bmp.data() + 26);
    qToLittleEndian<quint16>(24, bmp.data() + 28);
    return bmp;
}

QByteArray tiffDeclaring(const QSize& size, int bits) {
    struct Entry {
        quint16 tag, type;
        quint32 value; // a LONG (type 4), a SHORT (type 3), or the offset of three SHORTs
    };
    constexpr quint16 kShort = 3, kLong = 4;
    constexpr quint32 kDirectory = 8, kEntries = 10;
    constexpr quint32 kBits = kDirectory + 2 + kEntries * 12 + 4, kData = kBits + 6;
    const Entry entries[kEntries] = {
        {256, kLong, quint32(size.width())},
        {257, kLong, quint32(size.height())},
        {258, kShort, kBits}, // bits a sample, for each of three
        {259, kShort, 8},     // deflated: a short strip may hold a large picture
        {262, kShort, 2},     // RGB
        {273, kLong, kData},
        {277, kShort, 3},
        {278, kLong, quint32(size.height())}, // one strip
        {279, kLong, 16},
        {284, kShort, 1}, // samples of a pixel together
    };
    QByteArray tiff(kData + 16, '\0');
    char* at = tiff.data();
    std::memcpy(at, "II*\0", 4);
    qToLittleEndian<quint32>(kDirectory, at + 4);
    qToLittleEndian<quint16>(kEntries, at + kDirectory);
    for (quint32 i = 0; i < kEntries; ++i) {
        char* entry = at + kDirectory + 2 + 12 * i;
        qToLittleEndian<quint16>(entries[i].tag, entry);
        qToLittleEndian<quint16>(entries[i].type, entry + 2);
        qToLittleEndian<quint32>(entries[i].tag == 258 ? 3 : 1, entry + 4);
        if (entries[i].type == kShort && entries[i].tag != 258)
            qToLittleEndian<quint16>(quint16(entries[i].value), entry + 8);
        else
            qToLittleEndian<quint32>(entries[i].value, entry + 8);
    }
    for (int i = 0; i < 3; ++i)
        qToLittleEndian<quint16>(quint16(bits), at + kBits + 2 * i);
    return tiff;
}

QByteArray webpDeclaring(const QSize& size) {
    QByteArray bytes = smallGreyPicture("WEBP");
    // A lossy picture alone: its frame header, after the chunk's and the frame tag, holds its size.
    constexpr int kFrameSize = 26;
    if (bytes.mid(12, 4) != "VP8 ")
        return QByteArray();
    qToLittleEndian<quint16>(quint16(size.width()), bytes.data() + kFrameSize);
    qToLittleEndian<quint16>(quint16(size.height()), bytes.data() + kFrameSize + 2);
    return bytes;
}

QByteArray twelveBitJpeg(const QSize& size) {
    return handCodedGreyJpeg(0xC1, 12, size);
}

QByteArray losslessJpeg(const QSize& size) {
    return handCodedGreyJpeg(0xC3, 8, size);
}

QByteArray jpegRepeatingAScan(const QSize& size, int repeats) {
    QImage grey(size, QImage::Format_Grayscale8);
    grey.fill(128);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "JPEG");
    writer.setProgressiveScanWrite(true);
    if (!writer.write(grey) || !bytes.endsWith("\xFF\xD9"))
        return QByteArray();
    bytes.chop(2);
    // Each scan codes every block as part of one run of empty blocks (EOB14: 2^14 and 14 more bits),
    // runs of 32767 blocks until every block is covered.
    bytes += oneSymbolTable(1, 0xE0);
    const qint64 blocks = qint64((size.width() + 7) / 8) * ((size.height() + 7) / 8);
    JpegBits runs;
    for (qint64 covered = 0; covered < blocks; covered += 32767) {
        runs.add(0, 1);
        runs.add(32767 - 16384, 14);
    }
    const QByteArray data = runs.finish();
    // One component (1), AC table 0, coefficients 1 to 63, no successive approximation.
    const QByteArray scan = jpegSegment(0xDA, QByteArray("\x01\x01\x00\x01\x3F\x00", 6)) + data;
    for (int i = 0; i < repeats; ++i)
        bytes += scan;
    return bytes + "\xFF\xD9";
}

} // namespace test_support
