#include "platform/image/PngDecoder.h"

#include "platform/image/DecodeBudget.h"
#include "platform/image/RowReducer.h"

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <optional>
#include <png.h>
#include <vector>

namespace platform::image::detail {

namespace {

constexpr qint64 kInputChunk = 64 * 1024;
// The decoder holds a few rows of the picture at a time, of up to 16 bits for each of four samples.
constexpr qint64 kRowsHeld = 4;
constexpr qint64 kMostRowBytesPerPixel = 8;

// The coded bytes as the decoder asks for them, read from the input a chunk at a time.
struct Source {
    const JpegInput* input = nullptr;
    std::vector<char> buffer = std::vector<char>(kInputChunk);
    qint64 at = 0;
    qint64 size = 0;
};

void readInput(png_structp png, png_bytep out, std::size_t count) {
    Source& source = *static_cast<Source*>(png_get_io_ptr(png));
    while (count > 0) {
        if (source.at == source.size) {
            source.at = 0;
            source.size = std::max<qint64>((*source.input)(source.buffer.data(), kInputChunk), 0);
            if (source.size == 0)
                png_error(png, "cut short");
        }
        const std::size_t part = std::min(count, std::size_t(source.size - source.at));
        std::memcpy(out, source.buffer.data() + source.at, part);
        source.at += qint64(part);
        out += part;
        count -= part;
    }
}

[[noreturn]] void stopAtError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

void sayNothing(png_structp, png_const_charp) {}

struct Decode {
    png_structp png = nullptr;
    png_infop info = nullptr;
    Source source;
    Picture picture;
    QSize stored;     // invalid until the header is read
    int channels = 4; // of a decoded pixel: grey, or blue, green, red and opacity (or unused)
    bool alpha = false;
    bool interlaced = false;
    std::vector<uchar> row;
    std::optional<RowReducer> reducer; // the rows of a picture that is not interlaced, as they come
    QImage whole;                      // an interlaced picture, decoded whole
    int rowsRead = 0;
    std::optional<DecodeBudget::Reservation> held; // what the decode holds, given back as the decode goes
};

qint64 wholeBytes(const QSize& size, int channels) {
    return (qint64(size.width()) * channels + 3) / 4 * 4 * size.height();
}

void readHeader(Decode& d) {
    png_read_info(d.png, d.info);
    d.stored = QSize(int(png_get_image_width(d.png, d.info)), int(png_get_image_height(d.png, d.info)));
    d.picture.size = d.stored;
    d.interlaced = png_get_interlace_type(d.png, d.info) != PNG_INTERLACE_NONE;
    const int colours = png_get_color_type(d.png, d.info);
    d.alpha = (colours & PNG_COLOR_MASK_ALPHA) || png_get_valid(d.png, d.info, PNG_INFO_tRNS);
    d.channels = (colours & PNG_COLOR_MASK_COLOR) || d.alpha ? 4 : 1;
    if (qint64(d.stored.width()) * d.stored.height() > kMostPicturePixels ||
        d.stored.width() * kMostRowBytesPerPixel * kRowsHeld > kMostDecoderBytes ||
        (d.interlaced && wholeBytes(d.stored, d.channels) > kMostWholePictureBytes))
        d.picture.fault = PictureFault::TooLarge;
}

// The rows as our pictures hold them: 8 bits a sample, grey alone or blue, green, red and opacity; a judge
// takes them as stored. Answers the passes to read.
int setUpRows(Decode& d, JpegStage stage) {
    png_structp png = d.png;
    if (stage != JpegStage::Judge) {
        png_set_expand(png); // palette, grey of fewer than 8 bits, one colour made transparent
        if (png_get_bit_depth(png, d.info) == 16)
            png_set_scale_16(png);
        if (d.channels == 4) {
            if (!(png_get_color_type(png, d.info) & PNG_COLOR_MASK_COLOR))
                png_set_gray_to_rgb(png);
            png_set_bgr(png); // QImage::Format_RGB32's and ARGB32's bytes
            if (!d.alpha)
                png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
        }
    }
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, d.info);
    d.row.resize(png_get_rowbytes(png, d.info));
    return passes;
}

// What a decode of pixels will hold: its rows, the picture at the size asked and, interlaced, the whole
// picture.
qint64 heldBytes(const Decode& d, const QSize& wanted) {
    const qint64 rows = qint64(d.row.size()) + qint64(wanted.width()) * d.channels * qint64(sizeof(quint64));
    return rows + wholeBytes(wanted, d.channels) + (d.interlaced ? wholeBytes(d.stored, d.channels) : 0);
}

// Where the rows go: a reduction, or the whole picture when interlaced. False when it cannot be held.
bool makeOutput(Decode& d, const QSize& wanted) {
    if (d.interlaced) {
        d.whole = RowReducer::blank(d.stored, d.channels, d.alpha);
        return !d.whole.isNull();
    }
    d.reducer.emplace(d.stored, wanted, d.channels, d.alpha);
    return !d.reducer->isNull();
}

// Each pass goes over every row; a row of the picture that holds none of the pass's pixels is not decoded.
void readRows(Decode& d, int passes, JpegStage stage) {
    for (int pass = 0; pass < passes; ++pass)
        for (int y = 0; y < d.stored.height(); ++y) {
            uchar* into = d.interlaced && stage == JpegStage::Pixels ? d.whole.scanLine(y) : d.row.data();
            png_read_row(d.png, into, nullptr); // an interlaced pass sets only its own pixels of the row
            ++d.rowsRead;
            if (d.reducer)
                d.reducer->add(into);
        }
}

// Every step the decoder may jump out of lies in this frame, which keeps nothing of its own across the jump.
bool run(Decode& d, const PictureRequest& request, JpegStage stage) {
    if (setjmp(png_jmpbuf(d.png)) != 0)
        return false;
    readHeader(d);
    if (stage == JpegStage::Header || d.picture.fault != PictureFault::None)
        return true;
    const int passes = setUpRows(d, stage);
    if (stage == JpegStage::Pixels) {
        const QSize wanted = requestedSize(d.picture.size, request);
        if (wholeBytes(wanted, d.channels) > kMostWholePictureBytes) {
            d.picture.fault = PictureFault::TooLarge;
            return true;
        }
        d.held = reserveDecode(heldBytes(d, wanted));
        if (!d.held) {
            d.picture.fault = PictureFault::Stopped;
            return true;
        }
        if (!makeOutput(d, wanted)) {
            d.picture.fault = PictureFault::TooLarge;
            return true;
        }
    }
    readRows(d, passes, stage);
    return true;
}

QImage reducedWhole(Decode& d, const QSize& wanted) {
    if (d.whole.size() == wanted)
        return std::move(d.whole);
    RowReducer reducer(d.stored, wanted, d.channels, d.alpha);
    for (int y = 0; y < d.stored.height(); ++y)
        reducer.add(d.whole.constScanLine(y));
    return reducer.take();
}

Picture finished(Decode& d, bool ran, const PictureRequest& request, JpegStage stage) {
    Picture picture = std::move(d.picture);
    if (!d.stored.isValid()) { // its header did not decode
        picture.fault = PictureFault::Damaged;
        return picture;
    }
    if (picture.fault != PictureFault::None || stage == JpegStage::Header)
        return picture;
    picture.whole = ran;
    if (stage == JpegStage::Judge)
        return picture; // damage leaves the picture a picture, only not whole
    if (!ran && d.rowsRead == 0) {
        picture.fault = PictureFault::Damaged;
        return picture;
    }
    picture.image = d.interlaced ? reducedWhole(d, requestedSize(picture.size, request)) : d.reducer->take();
    return picture;
}

} // namespace

bool isPngSignature(const QByteArray& start) {
    return start.startsWith("\x89PNG\r\n\x1A\n");
}

Picture readPng(const JpegInput& input, const PictureRequest& request, JpegStage stage) {
    Decode d;
    d.source.input = &input;
    d.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, stopAtError, sayNothing);
    if (d.png)
        d.info = png_create_info_struct(d.png);
    if (!d.png || !d.info) {
        png_destroy_read_struct(&d.png, &d.info, nullptr);
        d.picture.fault = PictureFault::TooLarge;
        return d.picture;
    }
    png_set_read_fn(d.png, &d.source, readInput);
    // Our own bounds judge the size, so that a picture past them is told too large rather than damaged.
    png_set_user_limits(d.png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
    if (!request.judge && stage != JpegStage::Judge) {
        png_set_crc_action(d.png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
#ifdef PNG_IGNORE_ADLER32
        png_set_option(d.png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
#endif
    }
    const bool ran = run(d, request, stage);
    png_destroy_read_struct(&d.png, &d.info, nullptr);
    return finished(d, ran, request, stage);
}

} // namespace platform::image::detail
