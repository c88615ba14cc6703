#include "DVDTestSupport.h"

#include "dvd/DVDMenuItem.h"
#include "dvd/PaletteQuantiser.h"
#include "support/TestEnvironment.h"

#include <QColorSpace>
#include <QFileInfo>
#include <QPainter>

#include <gtest/gtest.h>

#include <array>

using namespace dvd_test;

namespace {

// A 64 x 48 picture of four flat quarters.
QImage quarters(QImage::Format format, const std::array<QColor, 4>& colours) {
    QImage image(64, 48, format);
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    for (int i = 0; i < 4; ++i)
        painter.fillRect(QRect((i % 2) * 32, (i / 2) * 24, 32, 24), colours[std::size_t(i)]);
    return image;
}

// Each pixel of `written` shows what `expected` shows; a clear pixel only needs to be clear.
void expectSamePicture(const QImage& written, const QImage& expected) {
    ASSERT_EQ(written.size(), expected.size());
    int differing = 0;
    for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < expected.width(); ++x) {
            const QColor want = expected.pixelColor(x, y);
            const QColor got = written.pixelColor(x, y);
            differing += want.alpha() == 0 ? got.alpha() != 0 : !sameColour(got, want, 3);
        }
    EXPECT_EQ(differing, 0);
}

class PaletteQuantiserTest : public ::testing::Test {
protected:
    TempDir dir;
};

} // namespace

// Pictures that need no more than four colours come back as they were, seen in sRGB with straight colour.
TEST_F(PaletteQuantiserTest, AFewColoursComeBackAsTheyWereInAPalettePNG) {
    QImage adobe =
        quarters(QImage::Format_RGB32, {QColor(200, 60, 40), QColor(20, 180, 90), Qt::white, Qt::black});
    adobe.setColorSpace(QColorSpace::AdobeRgb);
    struct Case {
        const char* name;
        QImage picture;
        QImage expected;
    };
    const QImage opaque = quarters(QImage::Format_RGB32, {Qt::red, Qt::green, Qt::blue, Qt::white});
    const QImage faded =
        quarters(QImage::Format_ARGB32_Premultiplied,
                 {QColor(200, 100, 50, 128), QColor(0, 0, 0, 0), QColor(10, 20, 240), Qt::white});
    const QImage button = DVDMenuItem(menuTemplate(1)).renderStateImage(DVDMenuItem::Highlighted, false);
    const Case cases[] = {
        {"opaque", opaque, opaque},
        {"premultiplied, half clear and clear", faded, faded.convertToFormat(QImage::Format_ARGB32)},
        {"in another colour space", adobe, adobe.convertedToColorSpace(QColorSpace::SRgb)},
        {"a menu's state picture", button, button},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.file(QString::fromUtf8(c.name) + ".png");
        DVDStepError error;
        ASSERT_TRUE(palette_quantiser::writeQuantisedPNG(c.picture, path, 4, &error))
            << qPrintable(error.message());
        const QImage written(path);
        EXPECT_EQ(written.format(), QImage::Format_Indexed8);
        EXPECT_LE(written.colorCount(), 4);
        expectSamePicture(written, c.expected);
    }
}

// A smooth ramp has far more colours than four: what is written has four at most, and each patch of it
// still looks like the same patch of the ramp (the ramp's ends lie a little past the outermost colours).
TEST_F(PaletteQuantiserTest, ARampIsReducedToFourColoursThatLookLikeIt) {
    QImage ramp(256, 64, QImage::Format_RGB32);
    for (int y = 0; y < ramp.height(); ++y)
        for (int x = 0; x < ramp.width(); ++x)
            ramp.setPixel(x, y, qRgb(x, x, 255 - x / 2));
    const QString source = dir.file("ramp.png");
    ASSERT_TRUE(ramp.save(source));
    const QString path = dir.file("ramp-fs8.png");
    DVDStepError error;
    ASSERT_TRUE(palette_quantiser::writeQuantisedPNG(source, path, 4, &error)) << qPrintable(error.message());
    const QImage written(path);
    ASSERT_EQ(written.size(), ramp.size());
    EXPECT_LE(distinctColours(written), 4);
    const auto mean = [](const QImage& image, const QRect& patch) {
        double red = 0, green = 0, blue = 0;
        for (int y = patch.top(); y <= patch.bottom(); ++y)
            for (int x = patch.left(); x <= patch.right(); ++x) {
                const QRgb pixel = image.pixel(x, y);
                red += qRed(pixel), green += qGreen(pixel), blue += qBlue(pixel);
            }
        const double n = double(patch.width()) * patch.height();
        return QColor(int(red / n + 0.5), int(green / n + 0.5), int(blue / n + 0.5));
    };
    for (int x = 0; x < ramp.width(); x += 32) {
        const QRect patch(x, 16, 32, 32);
        const QColor seen = mean(written, patch), drawn = mean(ramp, patch);
        EXPECT_TRUE(sameColour(seen, drawn, 24))
            << "patch at " << x << ": " << qPrintable(seen.name()) << " for " << qPrintable(drawn.name());
    }
}

TEST_F(PaletteQuantiserTest, WhatCannotBeReadReducedOrWrittenFailsAndWritesNothing) {
    const QString text = dir.file("notes.txt");
    ASSERT_TRUE(test_support::writeBytes(text, "not a picture"));
    const QString picture = dir.file("picture.png");
    ASSERT_TRUE(quarters(QImage::Format_RGB32, {Qt::red, Qt::green, Qt::blue, Qt::white}).save(picture));
    struct Case {
        const char* name;
        QString source;
        QString target;
        int colours;
    };
    const Case cases[] = {
        {"no such file", dir.file("missing.png"), dir.file("out.png"), 4},
        {"not a picture", text, dir.file("out.png"), 4},
        {"one colour", picture, dir.file("out.png"), 1},
        {"too many colours", picture, dir.file("out.png"), 257},
        {"no such folder", picture, dir.file("missing/out.png"), 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DVDStepError error;
        EXPECT_FALSE(palette_quantiser::writeQuantisedPNG(c.source, c.target, c.colours, &error));
        EXPECT_EQ(error.step, "pngquant");
        EXPECT_FALSE(error.detail.isEmpty());
        EXPECT_FALSE(QFileInfo::exists(c.target));
    }
}
