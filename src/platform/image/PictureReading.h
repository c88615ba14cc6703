#pragma once

// Reading a picture at the size it is needed: the one way the program decodes a picture file or picture data.
// A photo of hundreds of millions of pixels is reduced while it is decoded (a JPEG by its decoder's own
// scaling, a PNG row by row), so what one read holds follows the size asked for, not the photo's; a file that
// declares more than the program reads, or whose decoding would hold more than it allows, is refused unread.

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

namespace platform::image {

// Why a picture was not read.
enum class PictureFault {
    None,
    Unreadable,  // missing, not a regular file, or not open to us
    NotPicture,  // empty, or no picture the program knows
    Damaged,     // a picture whose data does not decode
    TooLarge,    // more than the program reads
    Unsupported, // a kind of picture the program does not decode (a 12-bit or lossless JPEG)
    Stopped,     // its reader was stopped while it waited to decode (DecodeStopping)
};

// The most pixels a picture may declare: well above what cameras and phones write (200 million), and
// panoramas stitched from them.
inline constexpr qint64 kMostPicturePixels = 500'000'000;
// The most one decode may hold besides its output: a progressive JPEG keeps every coefficient of its picture
// until its last scan (about 3 bytes a pixel).
inline constexpr qint64 kMostDecoderBytes = qint64(768) << 20;
// The most a picture decoded at its full size may take, and the largest file read whole into memory: the
// formats whose decoders cannot reduce while decoding (BMP, GIF, TIFF, WebP, interlaced PNG) are bounded by
// it.
inline constexpr qint64 kMostWholePictureBytes = qint64(256) << 20;

// The size wanted of a read, and what else it does.
struct PictureRequest {
    // The picture as it is seen is reduced, keeping its shape, never enlarged, to fit within this size
    // (Qt::KeepAspectRatio) or to cover it (Qt::KeepAspectRatioByExpanding). Invalid: its own size.
    QSize bound;
    Qt::AspectRatioMode fit = Qt::KeepAspectRatio;
    // Turned as its orientation tag says.
    bool turn = true;
    // Tell whether every coded byte decodes (Picture::whole); without it a damaged picture is answered with
    // what decoded, as a preview would show it.
    bool judge = false;

    static PictureRequest within(int side) { return {QSize(side, side)}; }
    // At its own size and as its pixels are stored: our own resources, masks and pictures drawn by the
    // program.
    static PictureRequest asStored() {
        PictureRequest request;
        request.turn = false;
        return request;
    }
};

struct Picture {
    QImage image; // null unless read
    QSize size;   // as the file declares it, turned as it is seen; invalid when not told
    PictureFault fault = PictureFault::None;
    bool whole = false; // when judged: the picture's bytes decode whole

    bool isRead() const { return !image.isNull(); }
    // Why it was not read, in a few words for the user ("too large: 60000 x 60000"); empty when it was.
    QString reason() const;
};

// The picture of a regular file (a pipe or a device is never opened), told by its content. A file whose
// picture decodes only in part is still answered (fault Damaged only when nothing decodes), `whole` false.
Picture readPicture(const QString& path, const PictureRequest& request = {});
// The same from the regular file open at fd (which stays open), from its start: a file kept open since it was
// written is read as it is, whatever another program has put at its name since.
Picture readOpenPicture(int fd, const PictureRequest& request = {});
// The same from picture data in memory.
Picture readPictureData(const QByteArray& bytes, const PictureRequest& request = {});
// The header alone: the size as seen and whether the program would read it (TooLarge, NotPicture,
// Unreadable), decoding no pixels.
Picture readPictureHeader(const QString& path);
// Whether the file's picture decodes whole, cheaply: reduced as far as its decoder goes, which still reads
// every coded byte. False for anything readPicture would refuse.
bool pictureDecodes(const QString& path);

// Whether the file is a JPEG that ends before its picture does, which a reader fills with grey without a
// word; false for any other file. Told from its markers without decoding (the segments before the first
// scan, then the end of the file, and the scans' data only when more than a little follows the picture);
// a JPEG without an end marker is decoded, as one that lacks only the marker has lost nothing.
bool isCutShortJpeg(const QString& path);

// The size `seen` takes under the request: reduced, keeping its shape, never enlarged.
QSize requestedSize(const QSize& seen, const PictureRequest& request);

} // namespace platform::image
