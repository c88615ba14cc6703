// The binary resources that the build generates: present under their fixed names, decodable at their sizes,
// and fit for their use (masks that wipe smoothly and evenly, patterns that tile, songs that play).
#include "platform/foundation/ChildProcess.h"
#include "platform/foundation/StandardPaths.h"

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QStandardPaths>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace paths = platform::paths;

namespace {

struct Picture {
    QString name, type;
    QSize size;
};

QString twoDigits(int n) {
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

std::vector<Picture> expectedPictures() {
    std::vector<Picture> list;
    for (int n = 1; n <= 50; ++n) {
        list.push_back({twoDigits(n), "jpg", {640, 360}});
        list.push_back({"icon48-" + twoDigits(n), "png", {48, 48}});
    }
    for (const char* name : {"open_door", "flip_over", "exchange_3d", "move_3d", "grayscale", "alpha_blend",
                             "slices", "box1", "dice"})
        list.push_back({name, "png", {48, 48}});
    for (int n = 1; n <= 7; ++n)
        list.push_back({QStringLiteral("theme_%1").arg(n, 3, 10, QLatin1Char('0')), "png", {96, 72}});
    for (const char* name :
         {"theme_blur_frame", "theme_gray_frame", "theme-static-frame", "theme_grayphoto_frame"})
        list.push_back({name, "png", {96, 72}});
    list.push_back({"wood017", "gif", {128, 128}});
    list.push_back({"paper005", "gif", {128, 128}});
    list.push_back({"cloth011", "jpg", {128, 128}});
    list.push_back({"wood004", "jpg", {256, 256}});
    for (const char* name : {"bk_cloth", "bk_clouds", "table", "bk_008"})
        list.push_back({name, "jpg", {1280, 720}});
    list.push_back({"black", "png", {64, 64}});
    for (int n = 1; n <= 28; ++n)
        list.push_back({QStringLiteral("vector_%1").arg(n, 3, 10, QLatin1Char('0')), "jpg", {1280, 720}});
    for (const char* name : {"photo_bk", "photo_bk_normal", "video_bk", "video_bk_normal", "drag3"})
        list.push_back({name, "png", {100, 100}});
    list.push_back({"transition_bk_normal", "png", {60, 60}});
    list.push_back({"wavefrom-1-1", "png", {4096, 40}});
    list.push_back({"wavefrom-22-1", "png", {4096, 40}});
    list.push_back({"indicator-1", "png", {15, 120}});
    list.push_back({"btn_stop", "png", {20, 20}});
    list.push_back({"btn_stop_click", "png", {20, 20}});
    return list;
}

// The file's own signature, whatever its name says.
QByteArray signatureType(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray head = file.read(8);
    if (head.startsWith("\x89PNG\r\n\x1a\n"))
        return "png";
    if (head.startsWith("\xff\xd8\xff"))
        return "jpg";
    if (head.startsWith("GIF89a") || head.startsWith("GIF87a"))
        return "gif";
    return {};
}

QImage load(const QString& name, const QString& type) {
    const QString path = paths::pathForResource(name, type);
    if (path.isEmpty()) {
        ADD_FAILURE() << "missing resource " << name.toStdString() << "." << type.toStdString();
        return {};
    }
    QImageReader reader(path);
    const QImage image = reader.read();
    if (image.isNull())
        ADD_FAILURE() << path.toStdString() << ": " << reader.errorString().toStdString();
    return image;
}

QImage loadGray(const QString& name, const QString& type) {
    return load(name, type).convertToFormat(QImage::Format_Grayscale8);
}

double meanAbsoluteDifference(const QImage& a, const QImage& b) {
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            sum += std::abs(int(a.constScanLine(y)[x]) - int(b.constScanLine(y)[x]));
    return sum / (a.width() * a.height());
}

double standardDeviation(const QImage& gray) {
    double sum = 0, squares = 0;
    const double n = double(gray.width()) * gray.height();
    for (int y = 0; y < gray.height(); ++y)
        for (int x = 0; x < gray.width(); ++x) {
            const double v = gray.constScanLine(y)[x];
            sum += v, squares += v * v;
        }
    return std::sqrt(std::max(0.0, squares / n - (sum / n) * (sum / n)));
}

} // namespace

TEST(GeneratedPictures, EveryNameExistsAndDecodesAtItsSizeInTheFormatItsTypeSays) {
    const auto pictures = expectedPictures();
    ASSERT_EQ(pictures.size(), 100u + 9 + 11 + 4 + 4 + 1 + 28 + 11);
    for (const Picture& picture : pictures) {
        SCOPED_TRACE(picture.name.toStdString());
        const QString path = paths::pathForResource(picture.name, picture.type);
        ASSERT_FALSE(path.isEmpty());
        EXPECT_EQ(signatureType(path), picture.type.toLatin1());
        EXPECT_EQ(load(picture.name, picture.type).size(), picture.size);
    }
}

TEST(GeneratedPictures, IconsHaveRoundedTransparentCornersAndAreNotBlank) {
    std::vector<QString> icons;
    for (int n = 1; n <= 50; ++n)
        icons.push_back("icon48-" + twoDigits(n));
    for (const char* name : {"theme_001", "theme_004", "theme_blur_frame", "theme-static-frame"})
        icons.push_back(name);
    for (const QString& name : icons) {
        SCOPED_TRACE(name.toStdString());
        const QImage icon = load(name, "png").convertToFormat(QImage::Format_ARGB32);
        ASSERT_FALSE(icon.isNull());
        EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0);
        EXPECT_EQ(qAlpha(icon.pixel(icon.width() - 1, icon.height() - 1)), 0);
        EXPECT_EQ(qAlpha(icon.pixel(icon.width() / 2, icon.height() / 2)), 255);
        EXPECT_GT(standardDeviation(icon.convertToFormat(QImage::Format_Grayscale8)), 12.0);
    }
    for (const char* name : {"open_door", "flip_over", "exchange_3d", "move_3d", "grayscale", "alpha_blend",
                             "slices", "box1", "dice"}) {
        SCOPED_TRACE(name);
        const QImage icon = load(name, "png").convertToFormat(QImage::Format_ARGB32);
        int opaque = 0;
        for (int y = 0; y < icon.height(); ++y)
            for (int x = 0; x < icon.width(); ++x)
                opaque += qAlpha(icon.pixel(x, y)) > 200;
        EXPECT_GT(opaque, 48 * 48 / 4) << "the pictogram fills a fair part of its icon";
        EXPECT_LT(opaque, 48 * 48) << "the pictogram stands free on a transparent ground";
    }
}

TEST(GeneratedPictures, BackdropsAndStockPicturesAreCalmButNotFlatAndAllDifferent) {
    std::vector<QString> names = {"bk_cloth", "bk_clouds", "table", "bk_008"};
    for (int n = 1; n <= 28; ++n)
        names.push_back(QStringLiteral("vector_%1").arg(n, 3, 10, QLatin1Char('0')));
    std::vector<QImage> thumbnails;
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        const QImage gray = loadGray(name, "jpg");
        ASSERT_FALSE(gray.isNull());
        EXPECT_GT(standardDeviation(gray), 8.0) << "a backdrop with no shape at all";
        thumbnails.push_back(gray.scaled(64, 36, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    }
    for (std::size_t a = 0; a < thumbnails.size(); ++a)
        for (std::size_t b = a + 1; b < thumbnails.size(); ++b)
            EXPECT_GT(meanAbsoluteDifference(thumbnails[a], thumbnails[b]), 4.0)
                << names[a].toStdString() << " and " << names[b].toStdString() << " look the same";
    const QImage black = load("black", "png").convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < black.height(); ++y)
        for (int x = 0; x < black.width(); ++x)
            ASSERT_EQ(black.pixel(x, y), qRgb(0, 0, 0));
}

// Frame patterns are painted as repeating tiles: the step from the last column back to the first must be no
// larger than the steps inside the tile, or the frame shows a grid of seams.
TEST(GeneratedPictures, FramePatternsTileWithoutSeams) {
    for (const auto& [name, type] : {std::pair{"wood017", "gif"}, std::pair{"paper005", "gif"},
                                     std::pair{"cloth011", "jpg"}, std::pair{"wood004", "jpg"}}) {
        SCOPED_TRACE(name);
        const QImage gray = loadGray(name, type);
        ASSERT_FALSE(gray.isNull());
        const int w = gray.width(), h = gray.height();
        auto value = [&](int x, int y) { return int(gray.constScanLine(y)[x]); };
        double insideX = 0, insideY = 0, acrossX = 0, acrossY = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                if (x + 1 < w)
                    insideX += std::abs(value(x, y) - value(x + 1, y));
                if (y + 1 < h)
                    insideY += std::abs(value(x, y) - value(x, y + 1));
            }
        for (int y = 0; y < h; ++y)
            acrossX += std::abs(value(w - 1, y) - value(0, y));
        for (int x = 0; x < w; ++x)
            acrossY += std::abs(value(x, h - 1) - value(x, 0));
        EXPECT_LT(acrossX / h, 2.0 * insideX / (double(w - 1) * h) + 1.5);
        EXPECT_LT(acrossY / w, 2.0 * insideY / (double(h - 1) * w) + 1.5);
    }
}

// Our GIF writer is checked against two independent readers: Qt's and FFmpeg's must see the same pixels.
TEST(GeneratedPictures, GifPatternsDecodeIdenticallyInQtAndFfmpeg) {
    const QString ffmpeg = QStandardPaths::findExecutable("ffmpeg");
    ASSERT_FALSE(ffmpeg.isEmpty()) << "ffmpeg is a dependency of the build (scripts/install-deps)";
    for (const char* name : {"wood017", "paper005"}) {
        SCOPED_TRACE(name);
        const QImage qt = load(name, "gif").convertToFormat(QImage::Format_RGB888);
        platform::ChildProcess::Options options;
        options.program = ffmpeg;
        options.arguments = {"-v",       "error", "-i", paths::pathForResource(name, "gif"), "-f", "rawvideo",
                             "-pix_fmt", "rgb24", "-"};
        QByteArray raw;
        ASSERT_TRUE(platform::ChildProcess::run(options, &raw));
        ASSERT_EQ(raw.size(), qsizetype(qt.width()) * qt.height() * 3);
        for (int y = 0; y < qt.height(); ++y)
            ASSERT_EQ(
                QByteArray::fromRawData(reinterpret_cast<const char*>(qt.constScanLine(y)), qt.width() * 3),
                raw.mid(qsizetype(y) * qt.width() * 3, qt.width() * 3))
                << "row " << y;
    }
}
