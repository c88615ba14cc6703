#pragma once

// Pictures of the sizes cameras, phones and panoramas make, written a row at a time so that a test never
// holds one whole, and files that declare a huge picture while holding next to nothing (decompression bombs).

#include <QByteArray>
#include <QColor>
#include <QSize>
#include <QString>

namespace test_support {

// The four quarters a large picture shows, as stored: red top left, green top right, blue bottom left, white
// bottom right.
QColor largePictureQuarter(bool right, bool bottom);
// The colour a grey picture shows of it.
QColor greyOf(const QColor& colour);

struct LargeJpeg {
    enum class Colours { Rgb, Grey, Cmyk }; // Cmyk: stored inverted, as most such files are
    bool progressive = false;
    int orientation = 0; // the EXIF orientation tag written, 0 for none
    Colours colours = Colours::Rgb;
    QColor solid = QColor(); // valid: one colour all over rather than the quarters
    bool detailed = false;   // waves of many sizes all over, down to a few pixels, rather than the quarters
    int quality = 60;
};
bool writeLargeJpeg(const QString& path, const QSize& size, const LargeJpeg& shape = {});
struct LargePng {
    bool interlaced = false;
    int bits = 8; // a sample: 8 or 16
    bool grey = false;
};
bool writeLargePng(const QString& path, const QSize& size, const LargePng& shape = {});

// A small picture's file whose header is changed to declare `size`: its data ends long before such a picture.
QByteArray jpegDeclaring(const QSize& size, bool progressive = false);
QByteArray pngDeclaring(const QSize& size, bool interlaced = false);
QByteArray bmpDeclaring(const QSize& size);
// A deflated RGB TIFF of `bits` a sample.
QByteArray tiffDeclaring(const QSize& size, int bits);
QByteArray webpDeclaring(const QSize& size);

// Grey JPEGs of kinds the common decoders do not take, coded by hand (a picture of one grey): 12 bits a
// sample (extended sequential), and lossless.
QByteArray twelveBitJpeg(const QSize& size);
QByteArray losslessJpeg(const QSize& size);

// A progressive JPEG of `size` (the quarters) whose second scan asks for coefficients a block does not have:
// its decoder fails there, once it holds every coefficient.
QByteArray progressiveJpegFailingLate(const QSize& size);

// A grey progressive JPEG of `size` whose last scan is followed by `repeats` more scans of its AC
// coefficients, each coding nothing: a small file whose decode passes over every block once per scan.
QByteArray jpegRepeatingAScan(const QSize& size, int repeats);

} // namespace test_support
