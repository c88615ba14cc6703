#include "platform/image/PictureDamage.h"

#include <QtEndian>

#include <csetjmp>
#include <cstdio> // before the decoder's header, which needs FILE
#include <jpeglib.h>

#include <jerror.h> // after the decoder's header, whose settings tell which codes there are

namespace platform::image {

namespace {

// The decoder's error manager: an error ends the decode, and a warning of coded data missing or wrongly coded
// ends it too, as damage. The decoder hands back the manager's address, which is the judge's.
struct Judge {
    jpeg_error_mgr manager;
    std::jmp_buf stop;
};

[[noreturn]] void stopAtError(j_common_ptr decoder) {
    std::longjmp(reinterpret_cast<Judge*>(decoder->err)->stop, 1);
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
    if (level < 0 && tellsOfDamage(decoder->err->msg_code)) // a warning; traces are >= 0
        std::longjmp(reinterpret_cast<Judge*>(decoder->err)->stop, 1);
}

// Kept apart from the set-up, so that nothing the decode changes lives in this frame across the jump.
bool decodeWhole(jpeg_decompress_struct& decoder, Judge& judge, const QByteArray& bytes) {
    if (setjmp(judge.stop) != 0)
        return false;
    jpeg_create_decompress(&decoder);
    jpeg_mem_src(&decoder, reinterpret_cast<const unsigned char*>(bytes.constData()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&decoder, TRUE);
    decoder.scale_num = 1;
    decoder.scale_denom = 8;
    decoder.dct_method = JDCT_IFAST;
    decoder.do_fancy_upsampling = FALSE;
    decoder.do_block_smoothing = FALSE;
    // Every component's data is still read; only the luminance is turned into pixels.
    if (decoder.jpeg_color_space == JCS_YCbCr || decoder.jpeg_color_space == JCS_GRAYSCALE)
        decoder.out_color_space = JCS_GRAYSCALE;
    jpeg_start_decompress(&decoder);
    JSAMPARRAY row =
        (*decoder.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&decoder), JPOOL_IMAGE,
                                     decoder.output_width * JDIMENSION(decoder.output_components), 1);
    while (decoder.output_scanline < decoder.output_height)
        jpeg_read_scanlines(&decoder, row, 1);
    jpeg_finish_decompress(&decoder); // reads on to the end marker
    return true;
}

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

bool isJpegData(const QByteArray& bytes) {
    return bytes.startsWith("\xFF\xD8");
}

bool jpegDecodesWhole(const QByteArray& bytes) {
    jpeg_decompress_struct decoder{};
    Judge judge;
    decoder.err = jpeg_std_error(&judge.manager);
    judge.manager.error_exit = stopAtError;
    judge.manager.emit_message = judgeMessage;
    const bool whole = decodeWhole(decoder, judge, bytes);
    jpeg_destroy_decompress(&decoder);
    return whole;
}

bool pictureDataWhole(const QByteArray& bytes) {
    if (isJpegData(bytes))
        return jpegDecodesWhole(bytes);
    if (bytes.startsWith("BM"))
        return bmpWhole(bytes);
    if (bytes.startsWith("GIF8"))
        return gifWhole(bytes);
    return true;
}

} // namespace platform::image
