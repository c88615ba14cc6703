#include "platform/image/ImageAdditions.h"
#include "platform/image/PictureReading.h"
#include "platform/image/Shuffle.h"
#include "support/OpenWatch.h"
#include "support/TempDir.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QLoggingCategory>
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <numeric>
#include <vector>

namespace {

// A picture whose left half is red and right half blue, top quarter green: fitting must keep the right parts.
QImage quadrants(int w, int h) {
    QImage image(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y,
                           y < h / 4 ? qRgb(0, 255, 0) : (x < w / 2 ? qRgb(255, 0, 0) : qRgb(0, 0, 255)));
    return image;
}

// A picture of fine detail, which a decoder cannot fill in from what came before.
QImage noise(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    quint32 state = 2463534242u;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            image.setPixel(x, y,
                           qRgb(int(state & 0xFF), int((state >> 8) & 0xFF), int((state >> 16) & 0xFF)));
        }
    return image;
}

QtMessageHandler previousHandler = nullptr;

// The picture in 256 greys as a GIF (Qt writes none), its codes stored as they are: a clear code every 250
// pixels keeps them 9 bits wide.
QByteArray plainGif(const QImage& picture) {
    QByteArray gif("GIF89a");
    const auto put16 = [&gif](int value) {
        gif.append(char(value & 0xFF));
        gif.append(char(value >> 8));
    };
    put16(picture.width());
    put16(picture.height());
    gif.append("\xF7\0\0", 3); // a global table of 256 colours
    for (int grey = 0; grey < 256; ++grey)
        gif.append(QByteArray(3, char(grey)));
    gif.append(',');
    put16(0);
    put16(0);
    put16(picture.width());
    put16(picture.height());
    gif.append('\0');
    QByteArray codes;
    quint32 bits = 0;
    int held = 0;
    const auto code = [&](int value) {
        bits |= quint32(value) << held;
        for (held += 9; held >= 8; held -= 8, bits >>= 8)
            codes.append(char(bits & 0xFF));
    };
    for (int i = 0; i < picture.width() * picture.height(); ++i) {
        if (i % 250 == 0)
            code(256);
        code(qGray(picture.pixel(i % picture.width(), i / picture.width())));
    }
    code(257);
    if (held > 0)
        codes.append(char(bits & 0xFF));
    gif.append(char(8));
    for (qsizetype at = 0; at < codes.size(); at += 255) {
        const QByteArray block = codes.mid(at, 255);
        gif.append(char(block.size()));
        gif.append(block);
    }
    gif.append("\0;", 2);
    return gif;
}

void expectRect(const QRectF& r, double x, double y, double w, double h) {
    EXPECT_NEAR(r.x(), x, 1e-3);
    EXPECT_NEAR(r.y(), y, 1e-3);
    EXPECT_NEAR(r.width(), w, 1e-3);
    EXPECT_NEAR(r.height(), h, 1e-3);
}

} // namespace

TEST(FitGeometry, CentreCropOfWidePictureRoundsTheOffset) {
    // 400 x 300 into 100 x 100: scaled to 133 x 100, crop offset 16.5 rounds to 17 scaled units = 51 px.
    const FitGeometry g = fitGeometry(QSizeF(400, 300), QRectF(0, 0, 100, 100), 0);
    expectRect(g.source, 51, 0, 300, 300);
    expectRect(g.destination, 0, 0, 100, 100);
}

TEST(FitGeometry, ScaleToFitCentresTheWholePicture) {
    const FitGeometry g = fitGeometry(QSizeF(400, 300), QRectF(10, 20, 100, 100), 3);
    expectRect(g.source, 0, 0, 400, 300);
    expectRect(g.destination, 10, 32.5, 100, 75);
}

TEST(FitGeometry, StartAndEndCropsOfTallPicture) {
    // 300 x 400 into 100 x 100: fits the width; method 1 keeps the top, method 2 the bottom.
    const FitGeometry start = fitGeometry(QSizeF(300, 400), QRectF(0, 0, 100, 100), 1);
    EXPECT_NEAR(start.source.top(), 0, 1e-3); // reaches the top edge
    EXPECT_NEAR(start.source.width(), 300, 1e-3);
    EXPECT_LE(start.source.bottom(), 400.0 + 1e-3);
    const FitGeometry end = fitGeometry(QSizeF(300, 400), QRectF(0, 0, 100, 100), 2);
    EXPECT_NEAR(end.source.left(), 0, 1e-3);
    EXPECT_NEAR(end.source.bottom(), 400, 1e-3); // starts at the bottom-left corner
}

TEST(FitGeometry, SourceNeverOverhangsThePictureAndEmptySizesDrawNothing) {
    for (int method = 0; method <= 3; ++method) {
        const FitGeometry g = fitGeometry(QSizeF(300, 400), QRectF(0, 0, 97, 61), method);
        EXPECT_GE(g.source.left(), 0);
        EXPECT_GE(g.source.top(), 0);
        EXPECT_LE(g.source.right(), 300.0 + 1e-3);
        EXPECT_LE(g.source.bottom(), 400.0 + 1e-3);
    }
    EXPECT_TRUE(fitGeometry(QSizeF(0, 400), QRectF(0, 0, 10, 10), 0).source.isEmpty());
    EXPECT_TRUE(fitGeometry(QSizeF(10, 10), QRectF(0, 0, 0, 10), 0).source.isEmpty());
}

TEST(ImageToFitSize, CropKeepsTheChosenPartOfThePicture) {
    const QImage tall = quadrants(300, 400);
    // Method 1 keeps the top: the green band must show at the top of the result.
    const QImage top = imageToFitSize(tall, QSize(100, 100), 1);
    EXPECT_EQ(QColor(top.pixel(50, 2)).green(), 255);
    // Method 2 keeps the bottom: no green at all.
    const QImage bottom = imageToFitSize(tall, QSize(100, 100), 2);
    EXPECT_LT(QColor(bottom.pixel(50, 2)).green(), 40);
    EXPECT_GT(QColor(bottom.pixel(10, 90)).red(), 200);
    EXPECT_GT(QColor(bottom.pixel(90, 90)).blue(), 200);
}

TEST(ImageToFitSize, ScaleLeavesTransparentBands) {
    const QImage result = imageScaledToFitSize(quadrants(400, 300), QSize(100, 100));
    EXPECT_EQ(qAlpha(result.pixel(50, 5)), 0);
    EXPECT_EQ(qAlpha(result.pixel(50, 50)), 255);
    EXPECT_EQ(qAlpha(result.pixel(50, 95)), 0);
}

TEST(Thumbnail, StretchesToExactlyTheSize) {
    const QImage thumb = thumbnailImage(quadrants(400, 300), QSize(128, 128));
    EXPECT_EQ(thumb.size(), QSize(128, 128));
    EXPECT_GT(QColor(thumb.pixel(5, 120)).red(), 200);
    EXPECT_GT(QColor(thumb.pixel(120, 120)).blue(), 200);
    EXPECT_TRUE(thumbnailImage(QImage(), QSize(128, 128)).isNull());
}

TEST(SavePicture, JpegAndPngRoundTripAndReplaceWhole) {
    TempDir dir;
    const QImage image = quadrants(64, 48);
    ASSERT_TRUE(saveToPNGFile(image, dir.file("a.png")));
    EXPECT_EQ(QImage(dir.file("a.png")).convertToFormat(QImage::Format_ARGB32), image);
    ASSERT_TRUE(saveToJpegFile(image, dir.file("a.jpg")));
    QImageReader reader(dir.file("a.jpg"));
    EXPECT_EQ(reader.format(), "jpeg");
    EXPECT_EQ(reader.size(), QSize(64, 48));
    EXPECT_FALSE(saveToPNGFile(image, dir.file("missing/a.png")));
    EXPECT_FALSE(saveToJpegFile(QImage(), dir.file("b.jpg")));
}

TEST(SwatchAndMeasure, SwatchIsFilledAndTextMeasuresInWholeUnits) {
    const QImage swatch = swatchWithColor(QColor(10, 20, 30), QSize(8, 4));
    EXPECT_EQ(swatch.size(), QSize(8, 4));
    EXPECT_EQ(swatch.pixel(7, 3), qRgb(10, 20, 30));

    QFont font("DejaVu Sans", 20);
    EXPECT_EQ(sizeWithAttributes("", font, 200), QSizeF(0, 0));
    const QSizeF one = sizeWithAttributes("Hello", font, 1000);
    EXPECT_GT(one.width(), 0);
    EXPECT_EQ(one.width(), std::ceil(one.width()));
    // A narrow width wraps the words onto more lines: taller, narrower.
    const QSizeF wrapped = sizeWithAttributes("Hello there world", font, 80);
    EXPECT_GT(wrapped.height(), one.height());
    EXPECT_LE(wrapped.width(), sizeWithAttributes("Hello there world", font, 1000).width());
}

TEST(VideoOrientation, QuarterTurnsAndOthers) {
    EXPECT_EQ(videoOrientationForTransform(0, 1), 0);
    EXPECT_EQ(videoOrientationForTransform(0, -1), 1);
    EXPECT_EQ(videoOrientationForTransform(-1, 0), 2);
    EXPECT_EQ(videoOrientationForTransform(-1, -0.0), 2);
    EXPECT_EQ(videoOrientationForTransform(1, 0), 3);
    EXPECT_EQ(videoOrientationForTransform(0.7071, 0.7071), kNoVideoOrientation);
}

TEST(Shuffle, PermutesEveryElementAndHandlesTinyArrays) {
    platform::SeededRandom random(7);
    std::vector<int> empty;
    shuffle(empty, random);
    EXPECT_TRUE(empty.empty());
    std::vector<int> one{42};
    shuffle(one, random);
    EXPECT_EQ(one, std::vector<int>{42});

    std::vector<int> items(50);
    std::iota(items.begin(), items.end(), 0);
    const std::vector<int> shuffled = shuffledArray(items, random);
    EXPECT_NE(shuffled, items);
    std::vector<int> sorted = shuffled;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, items);
}

TEST(Shuffle, EveryPositionIsReachable) {
    platform::SeededRandom random(11);
    int firstPlace[4] = {};
    for (int round = 0; round < 400; ++round) {
        std::vector<int> items{0, 1, 2, 3};
        shuffle(items, random);
        ++firstPlace[items[0]];
    }
    for (int count : firstPlace)
        EXPECT_GT(count, 50);
}

TEST(PictureReading, ReadsPicturesByContentAndNothingFromAPipe) {
    TempDir dir;
    ASSERT_TRUE(quadrants(8, 4).save(dir.file("picture.dat"), "PNG"));
    EXPECT_EQ(platform::image::readPicture(dir.file("picture.dat")).image.size(), QSize(8, 4))
        << "the format is told by content";

    test_support::FifoTrap pipe(dir.file("pipe.png"));
    ASSERT_TRUE(pipe.isValid());
    EXPECT_EQ(platform::image::readPicture(pipe.path()).fault, platform::image::PictureFault::Unreadable);
    EXPECT_EQ(pipe.readers(), 0) << "never opened, so never waited on";
    EXPECT_EQ(platform::image::readPicture(dir.file("absent.png")).fault,
              platform::image::PictureFault::Unreadable);
}

// A picture decodes whole unless part of it would be grey, black or the last colour for want of its coded
// data, whatever the process's logging does with the decoders' warnings; the bytes some cameras leave before
// the end marker cost nothing of it. A JPEG cut short is told by its markers alone, also when more than a
// little follows the picture, whatever its length; one that lacks only its end marker has lost nothing.
TEST(PictureReading, APictureDecodesWholeUnlessPartOfItIsMissing) {
    TempDir dir;
    const QString path = dir.file("photo.jpg");
    const auto endMarkerAt = [](const QByteArray& jpeg) { return jpeg.size() - 2; };
    const auto half = [](const QByteArray& bytes) { return bytes.left(bytes.size() / 2); };
    const QByteArray trailer(100 * 1024, '\x5A'); // what some programs put after a picture
    const auto followedBy = [](qsizetype bytes) {
        return [bytes](const QByteArray& jpeg) { return jpeg + QByteArray(bytes, '\x5A'); };
    };
    // Its end marker kept, the picture's data is not whole, so only a marker found tells it is not cut short.
    const auto spoiltFollowedBy = [](qsizetype bytes) {
        return [bytes](const QByteArray& jpeg) {
            return jpeg.left(jpeg.size() * 3 / 5) + "\xFF\xD9" + QByteArray(bytes, '\x5A');
        };
    };
    const struct {
        const char* how;
        const char* format;
        std::function<QByteArray(const QByteArray&)> change; // of the intact file's bytes
        bool decodes;
        bool cutShort;
    } cases[] = {
        {"intact", "JPG", [](const QByteArray& jpeg) { return jpeg; }, true, false},
        {"bytes to spare before its end marker", "JPG",
         [&](const QByteArray& jpeg) { return QByteArray(jpeg).insert(endMarkerAt(jpeg), "\0\0\0", 3); },
         true, false},
        {"a long trailer after its end marker", "JPG", [&](const QByteArray& jpeg) { return jpeg + trailer; },
         true, false},
        {"cut inside its coded data, its end marker kept", "JPG",
         [](const QByteArray& jpeg) { return jpeg.left(jpeg.size() * 3 / 5) + "\xFF\xD9"; }, false, false},
        {"its end marker missing, its pixels whole", "JPG",
         [](const QByteArray& jpeg) { return jpeg.chopped(2); }, true, false},
        {"16,382 bytes after it", "JPG", followedBy(16382), true, false},
        {"16,383 bytes after it: its end marker split across the start of the last 16 KB", "JPG",
         followedBy(16383), true, false},
        {"16,384 bytes after it", "JPG", followedBy(16384), true, false},
        {"spoilt, its end marker kept, 16,382 bytes after it", "JPG", spoiltFollowedBy(16382), false, false},
        {"spoilt, its end marker kept, 16,383 bytes after it", "JPG", spoiltFollowedBy(16383), false, false},
        {"spoilt, its end marker kept, 16,384 bytes after it", "JPG", spoiltFollowedBy(16384), false, false},
        {"cut in half", "JPG", half, false, true},
        {"cut in half, a long trailer after", "JPG",
         [&](const QByteArray& jpeg) { return half(jpeg) + trailer; }, false, true},
        {"empty", "JPG", [](const QByteArray&) { return QByteArray(); }, false, false},
        {"a PNG", "PNG", [](const QByteArray& png) { return png; }, true, false},
        {"a PNG cut in half", "PNG", half, false, false},
        {"a PNG with a spoilt chunk", "PNG",
         [](const QByteArray& png) {
             QByteArray spoilt = png;
             spoilt[png.indexOf("IDAT") + 40] = char(~spoilt[png.indexOf("IDAT") + 40]);
             return spoilt;
         },
         false, false},
        {"a BMP", "BMP", [](const QByteArray& bmp) { return bmp; }, true, false},
        {"a BMP cut in half", "BMP", half, false, false},
        {"a GIF", "GIF", [](const QByteArray& gif) { return gif; }, true, false},
        {"a GIF cut in half", "GIF", half, false, false},
    };
    std::map<QString, QByteArray> intact;
    for (const char* format : {"JPG", "PNG", "BMP"}) {
        QBuffer buffer(&intact[format]);
        buffer.open(QIODevice::WriteOnly);
        ASSERT_TRUE((format == QLatin1String("JPG") ? quadrants(320, 240) : noise(320, 240))
                        .save(&buffer, format, 90));
    }
    intact["GIF"] = plainGif(noise(320, 240));
    ASSERT_FALSE(QImage::fromData(intact["GIF"]).isNull());
    ASSERT_TRUE(intact["JPG"].endsWith("\xFF\xD9"));
    // The decoders' warnings go through the logging, which a user's rules or another part's handler may
    // silence; the test hears the decoder itself.
    const struct {
        const char* how;
        std::function<void()> set, unset;
    } logging[] = {
        {"as the process logs", [] {}, [] {}},
        {"warnings silenced by the logging rules",
         [] { QLoggingCategory::setFilterRules("*.warning=false"); },
         [] { QLoggingCategory::setFilterRules(QString()); }},
        {"a handler of another part installed since",
         [] {
             previousHandler =
                 qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
         },
         [] { qInstallMessageHandler(previousHandler); }},
    };
    for (const auto& log : logging) {
        SCOPED_TRACE(log.how);
        log.set();
        for (const auto& c : cases) {
            SCOPED_TRACE(c.how);
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            const QByteArray bytes = c.change(intact[c.format]);
            ASSERT_EQ(file.write(bytes), bytes.size());
            file.close();
            EXPECT_EQ(platform::image::pictureDecodes(path), c.decodes);
            EXPECT_EQ(platform::image::isCutShortJpeg(path), c.cutShort);
            platform::image::PictureRequest judged;
            judged.judge = true;
            EXPECT_EQ(platform::image::readPicture(path, judged).whole, c.decodes)
                << "the test of the bytes a play decodes";
        }
        log.unset();
    }
}
