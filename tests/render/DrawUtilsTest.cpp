#include "render/DrawUtils.h"

#include "render/RenderTestSupport.h"
#include "support/TempDir.h"
#include "support/TestEnvironment.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QPainter>
#include <QUrl>
#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>
#include <vector>

using namespace render_test;

namespace {

// A resource folder of our own for one test; the named caches outlive it, so every test uses its own names.
class ResourceFolder {
public:
    ResourceFolder() : override("VISTRELLE_RESOURCES", dir.path()) {}
    QString add(const QString& name, const QImage& image, const char* format) {
        const QString path = dir.file(name);
        EXPECT_TRUE(image.save(path, format)) << path.toStdString();
        return path;
    }
    QString addBytes(const QString& name, const QByteArray& bytes) {
        QFile file(dir.file(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }
    QString path() const { return dir.path(); }

private:
    TempDir dir;
    test_support::EnvOverride override;
};

std::string errorOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const std::logic_error& error) {
        return error.what();
    }
    return "no error";
}

} // namespace

TEST(DrawUtilsImages, ReadsTheFirstPictureOfAFileAndNothingFromGarbage) {
    ResourceFolder resources;
    const QString path = resources.add("plain.png", solid(6, 4, Qt::red), "PNG");
    const QImage image = CreateCGImageAtPath(path);
    ASSERT_EQ(image.size(), QSize(6, 4));
    EXPECT_TRUE(hasColour(image, 5, 3, Qt::red));
    EXPECT_TRUE(CreateCGImageAtPath(resources.path() + "/absent.png").isNull());
    EXPECT_TRUE(CreateCGImageAtPath(resources.addBytes("garbage.png", "not a picture at all")).isNull());
}

TEST(DrawUtilsImages, NamedPicturesAreFoundByNameBaseNameOrPathAndCached) {
    ResourceFolder resources;
    const QString exact = resources.add("du-named.png", solid(3, 3, Qt::green), "PNG");
    resources.add("du-typeless.png", solid(5, 2, Qt::blue), "PNG");
    const QString absolute = resources.add("du-absolute.png", solid(7, 1, Qt::yellow), "PNG");

    const QImage first = GetCGImageNamed("du-named.png");
    EXPECT_EQ(first.size(), QSize(3, 3));
    EXPECT_EQ(GetCGImageNamed("du-typeless").size(), QSize(5, 2));
    EXPECT_EQ(GetCGImageNamed(absolute).size(), QSize(7, 1));

    // The second answer comes from the cache, even once the file has gone.
    ASSERT_TRUE(QFile::remove(exact));
    const QImage second = GetCGImageNamed("du-named.png");
    EXPECT_EQ(second.cacheKey(), first.cacheKey());
}

TEST(DrawUtilsImages, MissingOrUnreadablePicturesAreProgrammingErrors) {
    ResourceFolder resources;
    EXPECT_EQ(errorOf([] { GetCGImageNamed("du-missing.png"); }),
              "Couldn't find bundle image resource 'du-missing.png'");
    EXPECT_EQ(errorOf([] { GetCGImageNamed(""); }), "Couldn't find bundle image resource ''");
    // A name from a project file must not climb out of the resources.
    resources.add("du-outside.png", solid(2, 2, Qt::red), "PNG");
    EXPECT_EQ(errorOf([] { GetCGImageNamed("../du-outside.png"); }),
              "Couldn't find bundle image resource '../du-outside.png'");
    // Nor may a full path (a transition's icon in a received project) name a picture elsewhere.
    TempDir elsewhere;
    const QString outside = elsewhere.file("du-private.png");
    ASSERT_TRUE(solid(2, 2, Qt::red).save(outside, "PNG"));
    ASSERT_TRUE(QFile::link(outside, resources.path() + "/du-linked.png"));
    const QString climbing = resources.path() + "/" + QDir(resources.path()).relativeFilePath(outside);
    for (const QString& path : {outside, climbing, resources.path() + "/du-linked.png"})
        EXPECT_EQ(errorOf([&] { GetCGImageNamed(path); }),
                  "Couldn't find bundle image resource '" + path.toStdString() + "'");
    const QString broken = resources.addBytes("du-broken.png", QByteArray(64, 'x'));
    EXPECT_EQ(errorOf([] { GetCGImageNamed("du-broken.png"); }),
              "Failed to load image from " + broken.toStdString());
    // A failure is not cached: the picture is found once it exists.
    resources.add("du-missing.png", solid(2, 2, Qt::red), "PNG");
    EXPECT_EQ(GetCGImageNamed("du-missing.png").size(), QSize(2, 2));
}

TEST(DrawUtilsPatterns, APatternBrushTilesItsPictureFromTheOrigin) {
    ResourceFolder resources;
    const QImage tile = codedTile(4, 3);
    resources.add("du-tile.png", tile, "PNG");
    const QBrush brush = GetPatternColorNamed("du-tile.png");
    EXPECT_EQ(brush.style(), Qt::TexturePattern);
    EXPECT_EQ(GetPatternColorNamed("du-tile.png").textureImage().cacheKey(), brush.textureImage().cacheKey());

    QImage canvas(11, 10, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    QPainter(&canvas).fillRect(canvas.rect(), brush);
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x)
            ASSERT_TRUE(hasColour(canvas, x, y, tile.pixelColor(x % 4, y % 3), 0));
}

TEST(DrawUtilsPatterns, MissingPicturesAndNullImagesAreRefused) {
    ResourceFolder resources;
    EXPECT_EQ(errorOf([] { GetPatternColorNamed("du-nopattern.gif"); }),
              "Couldn't find bundle image resource 'du-nopattern.gif'");
    try {
        CreatePatternColorFromImage(QImage());
        FAIL() << "a null picture made a pattern";
    } catch (const std::invalid_argument& error) {
        EXPECT_STREQ(error.what(), "Invalid parameter not satisfying: image");
    }
}

TEST(DrawUtilsPatterns, CachesHoldUpWhenManyThreadsAskAtOnce) {
    ResourceFolder resources;
    for (int i = 0; i < 4; ++i)
        resources.add(QString("du-thread%1.png").arg(i), solid(8 + i, 8, Qt::red), "PNG");
    std::vector<std::vector<std::pair<int, qint64>>> keys(8);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([t, &keys] {
            for (int round = 0; round < 50; ++round) {
                const int which = (t + round) % 4;
                const QString name = QString("du-thread%1.png").arg(which);
                keys[t].emplace_back(which, GetPatternColorNamed(name).textureImage().cacheKey());
                GetCGImageNamed(name);
                GetScaledCGImageNamed(name, 0.5f);
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    // Every thread saw the one cached picture of each name.
    for (const auto& seen : keys) {
        for (const auto& [which, key] : seen)
            EXPECT_EQ(key,
                      GetPatternColorNamed(QString("du-thread%1.png").arg(which)).textureImage().cacheKey());
    }
}

TEST(DrawUtilsScaling, ScaleIsAFactorOrTheLongerSideAndSizesRoundUp) {
    const QImage wide = solid(1000, 500, Qt::blue);
    EXPECT_EQ(CreateScaledCGImage(wide, 0.25).size(), QSize(250, 125));
    EXPECT_EQ(CreateScaledCGImage(wide, 500).size(), QSize(500, 250));
    EXPECT_EQ(CreateScaledCGImage(wide, 4).size(), QSize(4, 2));
    EXPECT_EQ(CreateScaledCGImage(wide, 0).size(), QSize(1000, 500));
    EXPECT_EQ(CreateScaledCGImage(wide, -2).size(), QSize(1000, 500));
    EXPECT_EQ(CreateScaledCGImage(solid(3, 3, Qt::blue), 0.5).size(), QSize(2, 2));
    EXPECT_EQ(CreateScaledCGImage(solid(30, 10, Qt::blue), 0.1).size(), QSize(3, 1));
    EXPECT_EQ(CreateScaledCGImage(solid(1, 1, Qt::blue), 0.01).size(), QSize(1, 1));
    EXPECT_TRUE(CreateScaledCGImage(QImage(), 0.5).isNull());

    const QImage scaled = CreateScaledCGImage(topAndBottom(40, 40, Qt::red, Qt::green), 0.5);
    EXPECT_EQ(scaled.format(), QImage::Format_ARGB32_Premultiplied);
    EXPECT_TRUE(hasColour(scaled, 10, 2, Qt::red));
    EXPECT_TRUE(hasColour(scaled, 10, 17, Qt::green));
}

TEST(DrawUtilsScaling, NamedScaledCopiesAreCachedPerScale) {
    ResourceFolder resources;
    resources.add("du-scaled.png", solid(100, 50, Qt::red), "PNG");
    const QImage half = GetScaledCGImageNamed("du-scaled.png", 0.5f);
    EXPECT_EQ(half.size(), QSize(50, 25));
    EXPECT_EQ(GetScaledCGImageNamed("du-scaled.png", 0.5f).cacheKey(), half.cacheKey());
    EXPECT_EQ(GetScaledCGImageNamed("du-scaled.png", 20.0f).size(), QSize(20, 10));
    EXPECT_EQ(errorOf([] { GetScaledCGImageNamed("du-noscaled.png", 0.5f); }),
              "Couldn't find bundle image resource 'du-noscaled.png'");
}

TEST(DrawUtilsAlpha, ProbeReadsTheDrawnPictureAndZeroOutside) {
    QImage picture(10, 10, QImage::Format_ARGB32);
    picture.fill(Qt::transparent);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 10; ++x)
            picture.setPixelColor(x, y, QColor(0, 0, 0, x < 5 ? 255 : 51));
    const QSizeF size(10, 10);
    EXPECT_FLOAT_EQ(GetImageAlphaAtPoint(picture, size, {1, 1}), 1.0f);
    EXPECT_NEAR(GetImageAlphaAtPoint(picture, size, {8, 2}), 0.2f, 0.01f);
    EXPECT_FLOAT_EQ(GetImageAlphaAtPoint(picture, size, {1, 8}), 0.0f); // the bottom half is clear
    // Drawn twice as large, the opaque quarter covers twice the distance.
    EXPECT_FLOAT_EQ(GetImageAlphaAtPoint(picture, {20, 20}, {8, 8}), 1.0f);
    EXPECT_FLOAT_EQ(GetImageAlphaAtPoint(picture, size, {-0.5, 1}), 0.0f);
    EXPECT_FLOAT_EQ(GetImageAlphaAtPoint(picture, size, {10, 1}), 0.0f);
    EXPECT_FLOAT_EQ(GetImageAlphaAtPoint(picture, size, {1, 10}), 0.0f);
    EXPECT_FLOAT_EQ(GetImageAlphaAtPoint(QImage(), size, {1, 1}), 0.0f);
}

TEST(DrawUtilsPaths, RoundedRectangleRadiusIsHeldToHalfTheShorterSide) {
    QPainterPath narrow;
    AddRoundedRectPath(narrow, QRectF(0, 0, 30, 60), 20);
    // Radius 15: (2, 10) lies inside the corner arc; with 20 it would lie outside.
    EXPECT_TRUE(narrow.contains(QPointF(2, 10)));
    EXPECT_FALSE(narrow.contains(QPointF(1, 3)));
    EXPECT_TRUE(narrow.contains(QPointF(15, 0.5)));

    QPainterPath flat;
    AddRoundedRectPath(flat, QRectF(0, 0, 100, 10), 20);
    EXPECT_EQ(flat.boundingRect(), QRectF(0, 0, 100, 10));
    EXPECT_TRUE(flat.contains(QPointF(50, 0.5)));
    EXPECT_FALSE(flat.contains(QPointF(0.5, 0.5)));

    for (qreal radius : {0.0, -5.0}) {
        QPainterPath square;
        AddRoundedRectPath(square, QRectF(10, 10, 20, 20), radius);
        EXPECT_TRUE(square.contains(QPointF(10.2, 10.2))) << radius;
        EXPECT_EQ(square.boundingRect(), QRectF(10, 10, 20, 20));
    }
}

TEST(DrawUtilsPasteboard, OneFileIsReadElsePictureDataIsDecoded) {
    ResourceFolder resources;
    const QString file = resources.add("du-dropped.png", solid(9, 9, Qt::red), "PNG");
    const QString other = resources.add("du-other.png", solid(4, 4, Qt::red), "PNG");

    QMimeData oneFile;
    oneFile.setUrls({QUrl::fromLocalFile(file)});
    EXPECT_EQ(CreateCGImageFromPasteboard(&oneFile).size(), QSize(9, 9));

    QMimeData twoFilesAndAPicture;
    twoFilesAndAPicture.setUrls({QUrl::fromLocalFile(file), QUrl::fromLocalFile(other)});
    twoFilesAndAPicture.setImageData(solid(3, 2, Qt::green));
    EXPECT_EQ(CreateCGImageFromPasteboard(&twoFilesAndAPicture).size(), QSize(3, 2));

    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    solid(5, 6, Qt::blue).save(&buffer, "PNG");
    QMimeData encoded;
    encoded.setData("text/plain", "words");
    encoded.setData("image/png", png);
    EXPECT_EQ(CreateCGImageFromPasteboard(&encoded).size(), QSize(5, 6));

    QMimeData nothing;
    nothing.setText("no picture");
    EXPECT_TRUE(CreateCGImageFromPasteboard(&nothing).isNull());
    EXPECT_TRUE(CreateCGImageFromPasteboard(nullptr).isNull());
}
