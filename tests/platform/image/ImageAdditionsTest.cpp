#include "platform/image/ImageAdditions.h"
#include "platform/image/Shuffle.h"
#include "support/OpenWatch.h"
#include "support/TempDir.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <gtest/gtest.h>

#include <functional>
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

TEST(PictureFileReader, ReadsPicturesByContentAndNothingFromAPipe) {
    TempDir dir;
    ASSERT_TRUE(quadrants(8, 4).save(dir.file("picture.dat"), "PNG"));
    PictureFileReader picture(dir.file("picture.dat"));
    EXPECT_EQ(picture.reader().read().size(), QSize(8, 4)) << "the format is told by content";

    test_support::FifoTrap pipe(dir.file("pipe.png"));
    ASSERT_TRUE(pipe.isValid());
    PictureFileReader none(pipe.path());
    EXPECT_TRUE(none.reader().read().isNull());
    EXPECT_EQ(pipe.readers(), 0) << "never opened, so never waited on";
    EXPECT_TRUE(PictureFileReader(dir.file("absent.png")).reader().read().isNull());
}

// A picture decodes whole unless part of it would be grey for want of its coded data; the bytes some cameras
// leave before the end marker cost nothing of it.
TEST(PictureFileReader, APictureDecodesWholeUnlessPartOfItIsMissing) {
    TempDir dir;
    const QString path = dir.file("photo.jpg");
    const auto endMarkerAt = [](const QByteArray& jpeg) { return jpeg.size() - 2; };
    const struct {
        const char* how;
        std::function<QByteArray(const QByteArray&)> change; // of the intact file's bytes
        bool decodes;
    } cases[] = {
        {"intact", [](const QByteArray& jpeg) { return jpeg; }, true},
        {"bytes to spare before its end marker",
         [&](const QByteArray& jpeg) { return QByteArray(jpeg).insert(endMarkerAt(jpeg), "\0\0\0", 3); },
         true},
        {"cut inside its coded data, its end marker kept",
         [](const QByteArray& jpeg) { return jpeg.left(jpeg.size() * 3 / 5) + "\xFF\xD9"; }, false},
        {"empty", [](const QByteArray&) { return QByteArray(); }, false},
    };
    QByteArray intact;
    {
        QBuffer buffer(&intact);
        buffer.open(QIODevice::WriteOnly);
        ASSERT_TRUE(quadrants(320, 240).save(&buffer, "JPG", 90));
    }
    ASSERT_TRUE(intact.endsWith("\xFF\xD9"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        const QByteArray bytes = c.change(intact);
        ASSERT_EQ(file.write(bytes), bytes.size());
        file.close();
        EXPECT_EQ(pictureDecodes(path), c.decodes);
    }
}
