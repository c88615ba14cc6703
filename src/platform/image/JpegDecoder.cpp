#include "platform/image/JpegDecoder.h"

#include "platform/image/DecodeBudget.h"
#include "platform/image/ImageFilters.h"
#include "platform/image/Resampling.h"

#include <QRgb>

#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstdio> // before the decoder's header, which needs FILE
#include <cstring>
#include <jpeglib.h>
#include <optional>
#include <vector>

#include <jerror.h> // after the decoder's header, whose settings tell which codes there are

namespace platform::image::detail {

namespace {

constexpr qint64 kInputChunk = 64 * 1024;
constexpr int kRowsAtOnce = 16;
constexpr int kExifOrientationTag = 0x0112;

// The input as the decoder reads it. At the end of the data it is handed an end-of-image marker without a
// warning: a file that lacks only its end marker has lost nothing, and one that ends inside its coded data
// is told apart by the decoder meeting that marker while it still needs data (JWRN_HIT_MARKER).
struct Source {
    jpeg_source_mgr manager{}; // first: the decoder hands back its address
    const JpegInput* input = nullptr;
    std::vector<JOCTET> buffer = std::vector<JOCTET>(kInputChunk);
    bool ended = false;
};

constexpr JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

Source& sourceOf(j_decompress_ptr decoder) {
    return *reinterpret_cast<Source*>(decoder->src);
}

boolean fillInput(j_decompress_ptr decoder) {
    Source& source = sourceOf(decoder);
    const qint64 got =
        source.ended ? 0 : (*source.input)(reinterpret_cast<char*>(source.buffer.data()), kInputChunk);
    if (got <= 0) {
        source.ended = true;
        source.manager.next_input_byte = kEndOfImage;
        source.manager.bytes_in_buffer = sizeof kEndOfImage;
    } else {
        source.manager.next_input_byte = source.buffer.data();
        source.manager.bytes_in_buffer = std::size_t(got);
    }
    return TRUE;
}

void skipInput(j_decompress_ptr decoder, long count) {
    jpeg_source_mgr& manager = sourceOf(decoder).manager;
    while (count > long(manager.bytes_in_buffer)) {
        count -= long(manager.bytes_in_buffer);
        fillInput(decoder);
        if (sourceOf(decoder).ended)
            return; // the end marker handed in stays to be read
    }
    manager.next_input_byte += count;
    manager.bytes_in_buffer -= std::size_t(count);
}

void noSourceWork(j_decompress_ptr) {}

// The decoder's error manager: an error ends the decode; a warning of coded data missing or wrongly coded
// marks damage, and ends a decode that only judges.
struct Judge {
    jpeg_error_mgr manager{}; // first: the decoder hands back its address
    std::jmp_buf stop{};
    bool stopAtDamage = false;
    bool damaged = false;
    bool skippedBytes = false; // bytes that were neither coded data nor a marker
};

Judge& judgeOf(j_common_ptr decoder) {
    return *reinterpret_cast<Judge*>(decoder->err);
}

[[noreturn]] void stopAtError(j_common_ptr decoder) {
    std::longjmp(judgeOf(decoder).stop, 1);
}

bool tellsOfDamage(int code) {
    switch (code) {
    case JWRN_JPEG_EOF:      // the file ends inside the picture
    case JWRN_HIT_MARKER:    // a segment's coded data ends early
    case JWRN_HUFF_BAD_CODE: // coded data that means nothing
    case JWRN_ARITH_BAD_CODE:
    case JWRN_MUST_RESYNC: // a restart interval lost
        return true;
    default: // JWRN_EXTRANEOUS_DATA among them: bytes to spare before a marker lose nothing
        return false;
    }
}

void judgeMessage(j_common_ptr decoder, int level) {
    Judge& judge = judgeOf(decoder);
    if (level < 0 && decoder->err->msg_code == JWRN_EXTRANEOUS_DATA)
        judge.skippedBytes = true;
    if (level >= 0 || !tellsOfDamage(decoder->err->msg_code)) // traces are >= 0
        return;
    judge.damaged = true;
    if (judge.stopAtDamage)
        std::longjmp(judge.stop, 1);
}

void sayNothing(j_common_ptr) {}

// A progressive photo comes in a few scans for each component, and each scan is a pass over every block of
// the picture: a file of thousands is made to keep its decoder busy for minutes, and is damaged.
constexpr int kMostScans = 500;

void limitScans(j_common_ptr decoder) {
    if (reinterpret_cast<j_decompress_ptr>(decoder)->input_scan_number <= kMostScans)
        return;
    Judge& judge = judgeOf(decoder);
    judge.damaged = true;
    std::longjmp(judge.stop, 1);
}

// The orientation tag (1 to 8) of the EXIF block the decoder kept, 1 when there is none.
int exifOrientation(jpeg_saved_marker_ptr marker) {
    for (; marker; marker = marker->next) {
        const JOCTET* data = marker->data;
        if (marker->marker != JPEG_APP0 + 1 || marker->data_length < 14 ||
            std::memcmp(data, "Exif\0\0", 6) != 0)
            continue;
        const JOCTET* tiff = data + 6;
        const std::size_t size = marker->data_length - 6;
        const bool little = tiff[0] == 'I' && tiff[1] == 'I';
        if (!little && !(tiff[0] == 'M' && tiff[1] == 'M'))
            continue;
        const auto u16 = [&](std::size_t at) {
            return little ? tiff[at] | tiff[at + 1] << 8 : tiff[at] << 8 | tiff[at + 1];
        };
        const auto u32 = [&](std::size_t at) {
            return little ? u16(at) | quint32(u16(at + 2)) << 16 : quint32(u16(at)) << 16 | u16(at + 2);
        };
        const std::size_t directory = u32(4);
        if (u16(2) != 42 || directory + 2 > size)
            continue;
        const int entries = u16(directory);
        for (int i = 0; i < entries && directory + 2 + 12 * std::size_t(i + 1) <= size; ++i) {
            const std::size_t entry = directory + 2 + 12 * std::size_t(i);
            if (u16(entry) == kExifOrientationTag) {
                const int orientation = u16(entry + 8);
                return orientation >= 1 && orientation <= 8 ? orientation : 1;
            }
        }
        return 1;
    }
    return 1;
}

bool turnsQuarter(int orientation) {
    return orientation >= 5;
}

// As the tag says: mirrored first, then a quarter turn clockwise.
QImage turned(QImage image, int orientation) {
    const bool mirror = orientation == 2 || orientation == 3 || orientation == 7 || orientation == 8;
    const bool flip = orientation == 3 || orientation == 4 || orientation == 5 || orientation == 8;
    if (mirror || flip)
        image = image.mirrored(mirror, flip);
    return turnsQuarter(orientation) ? rotatedQuarterTurnClockwise(image) : image;
}

// What the decoder keeps of every coefficient when it must see all scans before the first row: a
// progressive picture, or one whose components come in scans of their own.
qint64 coefficientBytes(const jpeg_decompress_struct& decoder) {
    if (!decoder.progressive_mode && decoder.comps_in_scan >= decoder.num_components)
        return 0;
    qint64 blocks = 0;
    for (int c = 0; c < decoder.num_components; ++c)
        blocks += qint64(decoder.comp_info[c].width_in_blocks) * decoder.comp_info[c].height_in_blocks;
    return blocks * qint64(DCTSIZE2 * sizeof(JCOEF));
}

// The smallest of the decoder's reductions (eighths) whose picture is at least `wanted`.
int eighthsFor(const QSize& stored, const QSize& wanted) {
    for (int eighths = 1; eighths < 8; ++eighths)
        if ((qint64(stored.width()) * eighths + 7) / 8 >= wanted.width() &&
            (qint64(stored.height()) * eighths + 7) / 8 >= wanted.height())
            return eighths;
    return 8;
}

struct Decode {
    jpeg_decompress_struct decoder{};
    Judge judge;
    Source source;
    jpeg_progress_mgr progress{};
    Picture picture;
    int orientation = 1;
    QSize stored;
    QImage pixels;
    bool colourFromCmyk = false;
    std::optional<DecodeBudget::Reservation> held; // what the decode holds, given back as the decode goes
};

void readHeader(Decode& d, const PictureRequest& request) {
    jpeg_save_markers(&d.decoder, JPEG_APP0 + 1, 0xFFFF);
    jpeg_read_header(&d.decoder, TRUE);
    d.stored = QSize(int(d.decoder.image_width), int(d.decoder.image_height));
    d.orientation = request.turn ? exifOrientation(d.decoder.marker_list) : 1;
    d.picture.size = turnsQuarter(d.orientation) ? d.stored.transposed() : d.stored;
    if (qint64(d.stored.width()) * d.stored.height() > kMostPicturePixels ||
        coefficientBytes(d.decoder) > kMostDecoderBytes)
        d.picture.fault = PictureFault::TooLarge;
}

void setUpOutput(Decode& d, const PictureRequest& request, JpegStage stage) {
    jpeg_decompress_struct& decoder = d.decoder;
    decoder.mem->max_memory_to_use = long(kMostDecoderBytes);
    const QSize wanted = stage == JpegStage::Judge ? QSize(1, 1) : requestedSize(d.picture.size, request);
    decoder.scale_num =
        unsigned(eighthsFor(d.stored, turnsQuarter(d.orientation) ? wanted.transposed() : wanted));
    decoder.scale_denom = 8;
    const J_COLOR_SPACE coded = decoder.jpeg_color_space;
    if (stage == JpegStage::Judge) {
        // Every component's data is still read; only the luminance is turned into pixels.
        decoder.dct_method = JDCT_IFAST;
        decoder.do_fancy_upsampling = FALSE;
        decoder.do_block_smoothing = FALSE;
        if (coded == JCS_YCbCr || coded == JCS_GRAYSCALE)
            decoder.out_color_space = JCS_GRAYSCALE;
    } else if (coded == JCS_GRAYSCALE) {
        decoder.out_color_space = JCS_GRAYSCALE;
    } else if (coded == JCS_CMYK || coded == JCS_YCCK) {
        decoder.out_color_space = JCS_CMYK;
        d.colourFromCmyk = true;
    } else {
        decoder.out_color_space = JCS_EXT_BGRX; // QImage::Format_RGB32's bytes
    }
    jpeg_calc_output_dimensions(&decoder);
}

// Picture files that say CMYK store it inverted, as the program that wrote most of them does.
void cmykRowToRgb(uchar* row, JDIMENSION width) {
    auto* out = reinterpret_cast<QRgb*>(row);
    for (JDIMENSION x = 0; x < width; ++x, row += 4) {
        const int k = row[3];
        out[x] = qRgb(k * row[0] / 255, k * row[1] / 255, k * row[2] / 255);
    }
}

void decodeRows(Decode& d) {
    jpeg_decompress_struct& decoder = d.decoder;
    const bool grey = decoder.out_color_space == JCS_GRAYSCALE;
    d.pixels = QImage(int(decoder.output_width), int(decoder.output_height),
                      grey ? QImage::Format_Grayscale8 : QImage::Format_RGB32);
    if (d.pixels.isNull()) {
        d.picture.fault = PictureFault::TooLarge;
        return;
    }
    jpeg_start_decompress(&decoder);
    std::array<JSAMPROW, kRowsAtOnce> rows{};
    while (decoder.output_scanline < decoder.output_height) {
        const JDIMENSION first = decoder.output_scanline;
        const JDIMENSION count = std::min<JDIMENSION>(kRowsAtOnce, decoder.output_height - first);
        for (JDIMENSION i = 0; i < count; ++i)
            rows[i] = d.pixels.scanLine(int(first + i));
        const JDIMENSION read = jpeg_read_scanlines(&decoder, rows.data(), count);
        if (d.colourFromCmyk)
            for (JDIMENSION i = 0; i < read; ++i)
                cmykRowToRgb(rows[i], decoder.output_width);
    }
    jpeg_finish_decompress(&decoder); // reads on to the end marker
}

void judgeRows(Decode& d) {
    jpeg_decompress_struct& decoder = d.decoder;
    jpeg_start_decompress(&decoder);
    JSAMPARRAY row =
        (*decoder.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&decoder), JPOOL_IMAGE,
                                     decoder.output_width * JDIMENSION(decoder.output_components), 1);
    while (decoder.output_scanline < decoder.output_height)
        jpeg_read_scanlines(&decoder, row, 1);
    jpeg_finish_decompress(&decoder);
}

// What the decode will hold: every coefficient when it must see all scans first, the decoded pixels, and
// the picture brought to the size asked and turned.
qint64 heldBytes(const Decode& d, const PictureRequest& request, JpegStage stage) {
    const qint64 coefficients = coefficientBytes(d.decoder);
    if (stage == JpegStage::Judge)
        return coefficients;
    const qint64 pixelBytes = d.decoder.out_color_space == JCS_GRAYSCALE ? 1 : 4;
    const qint64 decoded = qint64(d.decoder.output_width) * d.decoder.output_height * pixelBytes;
    const QSize seen = requestedSize(d.picture.size, request);
    const QSize wanted = turnsQuarter(d.orientation) ? seen.transposed() : seen;
    const qint64 resized = wanted == QSize(int(d.decoder.output_width), int(d.decoder.output_height))
                               ? 0
                               : qint64(wanted.width()) * wanted.height() * pixelBytes;
    return coefficients + decoded + resized * (d.orientation == 1 ? 1 : 2);
}

// Every step the decoder may jump out of lies in this frame, which keeps nothing of its own across the jump.
bool run(Decode& d, const PictureRequest& request, JpegStage stage) {
    if (setjmp(d.judge.stop) != 0)
        return false;
    jpeg_create_decompress(&d.decoder);
    d.decoder.src = &d.source.manager;
    d.decoder.progress = &d.progress;
    readHeader(d, request);
    if (stage == JpegStage::Header || d.picture.fault != PictureFault::None)
        return true;
    setUpOutput(d, request, stage);
    if (qint64(d.decoder.output_width) * d.decoder.output_height * 4 > kMostWholePictureBytes) {
        d.picture.fault = PictureFault::TooLarge;
        return true;
    }
    d.held = reserveDecode(heldBytes(d, request, stage));
    if (!d.held) {
        d.picture.fault = PictureFault::Stopped;
        return true;
    }
    if (stage == JpegStage::Judge)
        judgeRows(d);
    else
        decodeRows(d);
    return true;
}

PictureFault faultOfError(int error) {
    switch (error) {
    case JERR_OUT_OF_MEMORY:
    case JERR_NO_BACKING_STORE:
    case JERR_TFILE_CREATE:
        return PictureFault::TooLarge;
    case JERR_BAD_PRECISION:      // 12 bits a sample
    case JERR_SOF_UNSUPPORTED:    // lossless, or hierarchical
    case JERR_NOT_COMPILED:       // a coding left out of this decoder
    case JERR_CONVERSION_NOTIMPL: // colours it cannot turn into ours
        return PictureFault::Unsupported;
    default:
        return PictureFault::Damaged;
    }
}

} // namespace

bool isJpegSignature(const QByteArray& start) {
    return start.startsWith("\xFF\xD8");
}

Picture readJpeg(const JpegInput& input, const PictureRequest& request, JpegStage stage) {
    Decode d;
    d.decoder.err = jpeg_std_error(&d.judge.manager);
    d.judge.manager.error_exit = stopAtError;
    d.judge.manager.emit_message = judgeMessage;
    d.judge.manager.output_message = sayNothing;
    d.judge.stopAtDamage = stage == JpegStage::Judge;
    d.source.input = &input;
    d.source.manager.init_source = noSourceWork;
    d.source.manager.fill_input_buffer = fillInput;
    d.source.manager.skip_input_data = skipInput;
    d.source.manager.resync_to_restart = jpeg_resync_to_restart;
    d.source.manager.term_source = noSourceWork;
    d.progress.progress_monitor = limitScans;
    const bool ran = run(d, request, stage);
    const int error = d.judge.manager.msg_code;
    jpeg_destroy_decompress(&d.decoder);

    Picture picture = std::move(d.picture);
    if (!ran) {
        // Damage that ends a judge leaves the picture a picture, only not whole.
        if (!(d.judge.damaged && d.judge.stopAtDamage))
            picture.fault = faultOfError(error);
        return picture;
    }
    if (picture.fault != PictureFault::None || stage == JpegStage::Header)
        return picture;
    // Without an end marker, bytes left over once the picture was decoded are what is left of a picture cut
    // short with something else after it, its rest decoded from that something.
    picture.whole = !d.judge.damaged && !(d.source.ended && d.judge.skippedBytes);
    if (stage == JpegStage::Pixels) {
        const QSize wanted = requestedSize(picture.size, request);
        const QSize wantedStored = turnsQuarter(d.orientation) ? wanted.transposed() : wanted;
        QImage image = std::move(d.pixels);
        if (image.size() != wantedStored)
            image = resampled(image, wantedStored);
        picture.image = turned(std::move(image), d.orientation);
    }
    return picture;
}

} // namespace platform::image::detail
