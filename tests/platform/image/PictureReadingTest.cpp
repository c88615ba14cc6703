#include "platform/image/PictureReading.h"
#include "platform/image/DecodeBudget.h"
#include "support/ColourNear.h"
#include "support/LargePictures.h"
#include "support/PictureQuality.h"
#include "support/TempDir.h"

#include <QFile>
#include <gtest/gtest.h>

#include <functional>
#include <vector>

using platform::image::Picture;
using platform::image::PictureFault;
using platform::image::PictureRequest;

namespace {

bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// The colour at the middle of one quarter of a picture as it is seen.
QColor quarterOf(const QImage& image, bool right, bool bottom) {
    return image.pixelColor(image.width() * (right ? 3 : 1) / 4, image.height() * (bottom ? 3 : 1) / 4);
}

} // namespace

// Photos as large as cameras, phones and stitched panoramas make are read at the size asked for, turned as
// they are seen, and found whole: each is reduced while it is decoded.
TEST(PictureReading, PhotosOfEveryCameraSizeAreReadAtTheSizeAsked) {
    TempDir dir;
    using test_support::LargeJpeg;
    const auto jpeg = [](QSize size, LargeJpeg shape = {}) {
        return [size, shape](const QString& path) { return test_support::writeLargeJpeg(path, size, shape); };
    };
    const auto png = [](QSize size, test_support::LargePng shape = {}) {
        return [size, shape](const QString& path) { return test_support::writeLargePng(path, size, shape); };
    };
    const struct {
        const char* photo;
        std::function<bool(const QString&)> write;
        QSize seen;
        int within;
        QSize read;
        int quarterTurns; // clockwise, from as stored to as seen
        bool grey = false;
    } cases[] = {
        {"54 million pixels", jpeg({9000, 6000}), {9000, 6000}, 1920, {1920, 1280}, 0},
        {"a panorama of 24000 x 4000", jpeg({24000, 4000}), {24000, 4000}, 1920, {1920, 320}, 0},
        {"progressive, 48 million pixels",
         jpeg({8000, 6000}, {.progressive = true}),
         {8000, 6000},
         1280,
         {1280, 960},
         0},
        {"turned a quarter by its tag",
         jpeg({6000, 4000}, {.orientation = 6}),
         {4000, 6000},
         1920,
         {1280, 1920},
         1},
        {"turned three quarters by its tag",
         jpeg({600, 400}, {.orientation = 8}),
         {400, 600},
         300,
         {200, 300},
         3},
        {"smaller than asked: never enlarged", jpeg({640, 480}), {640, 480}, 1920, {640, 480}, 0},
        {"grey",
         jpeg({4000, 3000}, {.colours = LargeJpeg::Colours::Grey}),
         {4000, 3000},
         400,
         {400, 300},
         0,
         true},
        {"CMYK", jpeg({4000, 3000}, {.colours = LargeJpeg::Colours::Cmyk}), {4000, 3000}, 400, {400, 300}, 0},
        {"a PNG of 67 million pixels", png({8200, 8200}), {8200, 8200}, 1920, {1920, 1920}, 0},
        {"an interlaced PNG", png({2000, 1500}, {.interlaced = true}), {2000, 1500}, 640, {640, 480}, 0},
        {"a 16-bit PNG of 36 million pixels",
         png({8000, 4500}, {.bits = 16}),
         {8000, 4500},
         1920,
         {1920, 1080},
         0},
        {"a grey PNG of 270 million pixels",
         png({18000, 15000}, {.grey = true}),
         {18000, 15000},
         1920,
         {1920, 1600},
         0,
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.photo);
        const QString path = dir.file("photo");
        ASSERT_TRUE(c.write(path));
        PictureRequest request = PictureRequest::within(c.within);
        request.judge = true;
        const Picture picture = platform::image::readPicture(path, request);
        EXPECT_EQ(picture.fault, PictureFault::None) << picture.reason().toStdString();
        EXPECT_EQ(picture.size, c.seen);
        EXPECT_EQ(picture.image.size(), c.read);
        EXPECT_TRUE(picture.whole);
        EXPECT_EQ(platform::image::readPictureHeader(path).size, c.seen);
        EXPECT_TRUE(platform::image::pictureDecodes(path));
        // Where each stored quarter is seen after the turns.
        for (const bool right : {false, true})
            for (const bool bottom : {false, true}) {
                bool seenRight = right, seenBottom = bottom;
                for (int turn = 0; turn < c.quarterTurns; ++turn)
                    std::tie(seenRight, seenBottom) = std::pair(!seenBottom, seenRight);
                const QColor stored = test_support::largePictureQuarter(right, bottom);
                EXPECT_TRUE(test_support::coloursNear(quarterOf(picture.image, seenRight, seenBottom),
                                                      c.grey ? test_support::greyOf(stored) : stored, 24))
                    << "stored quarter " << right << bottom;
            }
    }
}

// A photo read at a slide's size is as sharp as a careful reduction of the whole photo (here ffmpeg's), and
// is decoded at the smallest of the decoder's reductions that still covers that size: one step smaller would
// be soft, one larger would hold more than needed.
TEST(PictureReading, AReducedReadIsSharpFromTheSmallestDecodeThatCoversIt) {
    TempDir dir;
    const struct {
        const char* photo;
        QSize size;
        QSize within;
        QSize decoded; // at the reduction that covers the size asked
        QSize read;
    } cases[] = {
        {"45 million pixels for a 1080p slide", {8208, 5472}, {1920, 1080}, {2052, 1368}, {1620, 1080}},
    };
    platform::image::DecodeBudget& budget = platform::image::DecodeBudget::process();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.photo);
        const QString path = dir.file("photo.jpg");
        ASSERT_TRUE(test_support::writeLargeJpeg(path, c.size, {.detailed = true, .quality = 92}));
        budget.resetMostHeld();
        const Picture picture = platform::image::readPicture(path, {c.within});
        ASSERT_EQ(picture.image.size(), c.read);
        const qint64 decodedBytes = qint64(c.decoded.width()) * c.decoded.height() * 4;
        EXPECT_LE(budget.mostHeld(), decodedBytes + qint64(c.read.width()) * c.read.height() * 4)
            << "decoded larger than needed";
        const QImage reference = test_support::carefulReduction(path, c.read);
        ASSERT_FALSE(reference.isNull());
        EXPECT_GT(test_support::psnr(picture.image, reference), 47.0) << "soft";
    }
}

// A file that declares more than the program reads (a decompression bomb, or a picture whose decoder would
// hold more than it allows) is refused before it is decoded, and says why, as do a file that is no picture
// and one that is not there; a file made to keep its decoder busy is given up as damaged once it shows it.
TEST(PictureReading, WhatTheProgramWillNotReadIsRefusedUndecodedWithItsReason) {
    TempDir dir;
    const struct {
        const char* file;
        QByteArray bytes; // none: no file at all
        PictureFault fault;
        const char* reason;
        bool byHeader = true; // refused by its header alone
    } cases[] = {
        {"a PNG declaring 60000 x 60000", test_support::pngDeclaring({60000, 60000}), PictureFault::TooLarge,
         "too large: 60000 x 60000"},
        {"a JPEG declaring 60000 x 60000", test_support::jpegDeclaring({60000, 60000}),
         PictureFault::TooLarge, "too large: 60000 x 60000"},
        {"a JPEG of 600 million pixels", test_support::jpegDeclaring({30000, 20000}), PictureFault::TooLarge,
         "too large: 30000 x 20000"},
        {"a progressive JPEG whose coefficients outgrow the decoder",
         test_support::jpegDeclaring({20000, 15000}, true), PictureFault::TooLarge,
         "too large: 20000 x 15000"},
        {"an interlaced PNG too large to decode whole", test_support::pngDeclaring({9000, 8000}, true),
         PictureFault::TooLarge, "too large: 9000 x 8000"},
        {"a BMP too large to decode whole", test_support::bmpDeclaring({9000, 8000}), PictureFault::TooLarge,
         "too large: 9000 x 8000"},
        {"a 16-bit TIFF of 49 million pixels, too large to decode whole",
         test_support::tiffDeclaring({8500, 5800}, 16), PictureFault::TooLarge, "too large: 8500 x 5800"},
        {"a WebP of 80 million pixels, too large to decode whole", test_support::webpDeclaring({10000, 8000}),
         PictureFault::TooLarge, "too large: 10000 x 8000"},
        {"no picture", QByteArray("not a picture at all"), PictureFault::NotPicture, "not a picture"},
        {"empty", QByteArray(""), PictureFault::NotPicture, "not a picture"},
        {"missing", QByteArray(), PictureFault::Unreadable, "cannot be read"},
        {"a 12-bit JPEG", test_support::twelveBitJpeg({640, 480}), PictureFault::Unsupported,
         "not supported"},
        {"a lossless JPEG", test_support::losslessJpeg({640, 480}), PictureFault::Unsupported,
         "not supported"},
        {"a progressive JPEG repeating a scan 20,000 times",
         test_support::jpegRepeatingAScan({2000, 1500}, 20000), PictureFault::Damaged, "damaged", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const QString path = dir.file(c.file);
        if (!c.bytes.isNull()) {
            ASSERT_TRUE(writeBytes(path, c.bytes));
        }
        std::vector<Picture> refusals{platform::image::readPicture(path, PictureRequest::within(1920))};
        const Picture header = platform::image::readPictureHeader(path);
        if (c.byHeader) {
            refusals.push_back(header);
        } else {
            EXPECT_EQ(header.fault, PictureFault::None) << "its header is a picture's";
        }
        for (const Picture& picture : refusals) {
            EXPECT_FALSE(picture.isRead());
            EXPECT_EQ(picture.fault, c.fault);
            EXPECT_EQ(picture.reason(), c.reason);
        }
        EXPECT_FALSE(platform::image::pictureDecodes(path));
        if (!c.bytes.isNull()) {
            EXPECT_EQ(platform::image::readPictureData(c.bytes).fault, c.fault) << "the same from memory";
        }
    }
}
