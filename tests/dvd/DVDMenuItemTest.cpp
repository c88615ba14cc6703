#include "DVDTestSupport.h"

#include "dvd/DVDMenuItem.h"
#include "platform/foundation/FileUtils.h"

#include <QFile>

#include <QFileInfo>
#include <QFontMetrics>
#include <QImage>

#include <gtest/gtest.h>

using namespace dvd_test;

namespace {

constexpr int kClassic = 1;
constexpr int kGallery = 2;

QRect box(const QVariantMap& menu, const char* key) {
    const QVariantMap map = menu.value(key).toMap();
    return QRect(map.value("xPos").toInt(), map.value("yPos").toInt(), map.value("width").toInt(),
                 map.value("height").toInt());
}

// Pixels of `a` and `b` that differ inside `rect`.
int differingPixels(const QImage& a, const QImage& b, const QRect& rect) {
    int count = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            count += a.pixel(x, y) != b.pixel(x, y);
    return count;
}

class DVDMenuItemTest : public ::testing::Test {
protected:
    TempDir dir;
};

} // namespace

TEST_F(DVDMenuItemTest, FrameCountFollowsTheNumberOfSlides) {
    EXPECT_EQ(DVDMenuItem::menuFrameCount(3), 3);
    EXPECT_EQ(DVDMenuItem::menuFrameCount(4), 3);
    EXPECT_EQ(DVDMenuItem::menuFrameCount(5), 5);
    EXPECT_EQ(DVDMenuItem::menuFrameCount(7), 5);
    EXPECT_EQ(DVDMenuItem::menuFrameCount(8), 8);
    EXPECT_EQ(DVDMenuItem::menuFrameCount(40), 8);
}

TEST_F(DVDMenuItemTest, BuildsThreeFiveOrEightFramesWithTheStatePictures) {
    for (int slides : {3, 6, 9}) {
        const QString root = dir.file(QString::number(slides));
        const DVDProjectSettings project = testProject(root, slides);
        DVDMenuItem menu(menuTemplate(kClassic));
        DVDStepError error;
        ASSERT_TRUE(menu.buildMenuImages(project, &error)) << qPrintable(error.message());
        const int expected = DVDMenuItem::menuFrameCount(slides);
        const QStringList frames = menu.imagesArray();
        ASSERT_EQ(frames.size(), expected);
        for (int i = 0; i < expected; ++i) {
            EXPECT_EQ(frames[i], project.contentsFolder + QStringLiteral("/menu_bk_%1.png").arg(i + 1));
            const QImage frame(frames[i]);
            EXPECT_EQ(frame.size(), QSize(960, 540));
            // Frame i shows slide i in the photo window.
            EXPECT_TRUE(sameColour(frame.pixelColor(box(menu.menuDictionary(), "AlbumPhoto").center()),
                                   slideColour(i)))
                << "frame " << i + 1;
        }
        EXPECT_FALSE(
            QFileInfo::exists(project.contentsFolder + QStringLiteral("/menu_bk_%1.png").arg(expected + 1)));
        for (int state = 0; state <= 2; ++state) {
            EXPECT_TRUE(QFileInfo(DVDMenuItem::stateImagePath(project.temporaryFolder, state)).size() > 0);
            EXPECT_TRUE(QFileInfo(DVDMenuItem::reducedStateImagePath(project.temporaryFolder, state)).size() >
                        0);
        }
        EXPECT_EQ(menu.stateButtonRectArray().size(), 1);
    }
}

TEST_F(DVDMenuItemTest, PhotoFillsTheWindowUnderTheOverlay) {
    DVDProjectSettings project = testProject(dir.path(), 3);
    for (int index : {kClassic, kGallery}) {
        DVDMenuItem menu(menuTemplate(index));
        const QImage frame = menu.renderFrame(1, project);
        const QRect window = box(menu.menuDictionary(), "AlbumPhoto");
        // The gallery's box width is stored as a real; it reads as the same integer box.
        ASSERT_EQ(window.size(), QSize(480, 270));
        for (const QPoint& p :
             {window.topLeft() + QPoint(2, 2), window.bottomRight() - QPoint(2, 2), window.center()})
            EXPECT_TRUE(sameColour(frame.pixelColor(p), slideColour(1)))
                << index << " " << p.x() << "," << p.y();
        // Beyond the window the overlay covers the photo.
        EXPECT_FALSE(
            sameColour(frame.pixelColor(window.left() - 20, window.center().y()), slideColour(1), 40));
        EXPECT_EQ(frame.pixelColor(5, 5).alpha(), 255);
    }
}

TEST_F(DVDMenuItemTest, TitleAndSubtitleAreDrawnOnlyWhenSet) {
    DVDProjectSettings project = testProject(dir.path(), 3);
    DVDMenuItem menu(menuTemplate(kClassic));
    const QImage plain = menu.renderFrame(0, project);
    project.dvdTitle = QStringLiteral("Summer");
    const QImage titled = menu.renderFrame(0, project);
    const QRect titleBox = box(menu.menuDictionary(), "Title");
    const QRect subtitleBox = box(menu.menuDictionary(), "Subtitle");
    EXPECT_GT(differingPixels(plain, titled, titleBox), 100);
    EXPECT_EQ(differingPixels(plain, titled, subtitleBox.adjusted(0, 6, 0, 0)), 0);
    // The title is white on the dark backdrop: some pixels in its box are near white.
    int bright = 0;
    for (int y = titleBox.top(); y <= titleBox.bottom(); ++y)
        for (int x = titleBox.left(); x <= titleBox.right(); ++x)
            bright += titled.pixelColor(x, y).lightness() > 230;
    EXPECT_GT(bright, 50);
    project.dvdTitle.clear();
    project.dvdSubtitle = QStringLiteral("Holidays by the sea");
    const QImage subtitled = menu.renderFrame(0, project);
    EXPECT_GT(differingPixels(plain, subtitled, subtitleBox), 100);

    // A title longer than its box keeps the lines that fit whole: below them only the shadow's blur reaches.
    project.dvdSubtitle.clear();
    project.dvdTitle = QStringLiteral("A summer of walks along the northern coast with friends and family");
    const QImage overlong = menu.renderFrame(0, project);
    const QVariantMap font = menu.menuDictionary().value("Title").toMap();
    QFont titleFont(font.value("fontName").toString());
    titleFont.setPixelSize(font.value("size").toInt());
    const int lineHeight = QFontMetrics(titleFont).height();
    const int lastLine = titleBox.top() + titleBox.height() / lineHeight * lineHeight;
    EXPECT_GT(differingPixels(plain, overlong, titleBox.adjusted(0, 0, 0, lastLine - titleBox.bottom())),
              100);
    EXPECT_EQ(differingPixels(plain, overlong, titleBox.adjusted(0, lastLine + 3 - titleBox.top(), 0, 0)), 0);
}

TEST_F(DVDMenuItemTest, TextShadowStaysOnForThePlayButton) {
    DVDProjectSettings project = testProject(dir.path(), 3);
    DVDMenuItem menu(menuTemplate(kClassic));
    const QVariantMap play = menu.menuDictionary().value("PlayButton").toMap();
    // A thin band just beyond the button picture's corner, where only its shadow can fall.
    const QRect band(play.value("xPos").toInt() + 94, play.value("yPos").toInt() + 40, 3, 16);
    const QImage plain = menu.renderFrame(0, project);
    project.dvdSubtitle = QStringLiteral("Subtitle only");
    const QImage shaded = menu.renderFrame(0, project);
    EXPECT_GT(differingPixels(plain, shaded, band), 0);
    // The shadow is green: where it falls, green rises over red.
    const QColor before = plain.pixelColor(band.topLeft() + QPoint(0, 8));
    const QColor after = shaded.pixelColor(band.topLeft() + QPoint(0, 8));
    EXPECT_GT(after.green() - before.green(), after.red() - before.red());
}

TEST_F(DVDMenuItemTest, TooFewSlidesDrawNothing) {
    for (int slides : {0, 1, 2}) {
        const DVDProjectSettings project = testProject(dir.file(QString::number(slides)), slides);
        DVDMenuItem menu(menuTemplate(kClassic));
        DVDStepError error;
        EXPECT_FALSE(menu.buildMenuImages(project, &error));
        EXPECT_EQ(error.step, "menu images");
        EXPECT_TRUE(menu.imagesArray().isEmpty());
        EXPECT_FALSE(QFileInfo::exists(project.contentsFolder + "/menu_bk_1.png"));
        EXPECT_FALSE(QFileInfo::exists(DVDMenuItem::stateImagePath(project.temporaryFolder, 0)));
    }
}

TEST_F(DVDMenuItemTest, PreviewDrawsTheFirstFrameOrNothing) {
    const DVDProjectSettings none = testProject(dir.file("none"), 0);
    DVDMenuItem menu(menuTemplate(kGallery));
    EXPECT_FALSE(menu.buildMenuImagesForPreview(none));
    EXPECT_TRUE(menu.imagesArray().isEmpty());
    const DVDProjectSettings one = testProject(dir.file("one"), 1);
    ASSERT_TRUE(menu.buildMenuImagesForPreview(one));
    EXPECT_EQ(menu.imagesArray(), QStringList(one.contentsFolder + "/menu_bk_1.png"));
    EXPECT_EQ(QImage(one.contentsFolder + "/menu_bk_1.png").size(), QSize(960, 540));
    EXPECT_FALSE(QFileInfo::exists(DVDMenuItem::stateImagePath(one.temporaryFolder, 1)));
}

TEST_F(DVDMenuItemTest, StatePicturesHaveTheDVDSizeAndTheButtonInItsRectangle) {
    DVDMenuItem menu(menuTemplate(kClassic));
    for (const auto& [pal, wide] : {std::pair{false, true}, {true, true}, {false, false}, {true, false}}) {
        SCOPED_TRACE(QStringLiteral("pal %1 wide %2").arg(pal).arg(wide).toStdString());
        const QImage highlight = menu.renderStateImage(DVDMenuItem::Highlighted, pal, wide);
        ASSERT_EQ(highlight.size(), QSize(720, pal ? 576 : 480));
        EXPECT_LE(distinctColours(highlight), 4);
        const QRect button =
            DVDMenuItem::buttonRectsFor(menu.menuDictionary().value("ButtonRectArray").toList(), pal, wide)
                .value(0);
        int inside = 0, outside = 0;
        for (int y = 0; y < highlight.height(); ++y)
            for (int x = 0; x < highlight.width(); ++x) {
                const int alpha = qAlpha(highlight.pixel(x, y));
                EXPECT_TRUE(alpha == 0 || alpha == 255);
                if (alpha)
                    (button.adjusted(-1, -1, 1, 1).contains(x, y) ? inside : outside)++;
            }
        EXPECT_GT(inside, 200);
        EXPECT_EQ(outside, 0);
        const QImage normal = menu.renderStateImage(DVDMenuItem::Normal, pal, wide);
        EXPECT_EQ(distinctColours(normal), 1);
    }
}

TEST_F(DVDMenuItemTest, ReducedStatePicturesKeepFourColoursAtMost) {
    for (bool pal : {false, true}) {
        const DVDProjectSettings project = testProject(dir.file(pal ? "pal" : "ntsc"), 3, pal);
        DVDMenuItem menu(menuTemplate(kGallery));
        ASSERT_TRUE(menu.buildMenuImages(project));
        for (int state = 0; state <= 2; ++state) {
            const QImage original(DVDMenuItem::stateImagePath(project.temporaryFolder, state));
            const QImage reduced(DVDMenuItem::reducedStateImagePath(project.temporaryFolder, state));
            ASSERT_EQ(reduced.size(), QSize(720, pal ? 576 : 480));
            EXPECT_LE(distinctColours(reduced), 4);
            // Our pictures already have so few colours that the reduction keeps every pixel.
            EXPECT_EQ(visiblePixels(reduced), visiblePixels(original));
        }
    }
}

// Another program puts a picture of its own at a state picture's name before pngquant reads it: pngquant
// reduces the picture drawn here, and the four-colour pictures handed on are the ones it made of it.
TEST_F(DVDMenuItemTest, APictureSwappedInBeforePngquantReadsIsNeverReduced) {
    const DVDProjectSettings project = testProject(dir.file("swapped"), 3, false);
    DVDMenuItem menu(menuTemplate(kGallery));
    QImage other(720, 480, QImage::Format_ARGB32);
    other.fill(Qt::red);
    int swapped = 0;
    menu.setBeforeReducing([&](const QString& picture) {
        ASSERT_TRUE(other.save(picture + ".other.png"));
        ASSERT_EQ(::rename(QFile::encodeName(picture + ".other.png").constData(),
                           QFile::encodeName(picture).constData()),
                  0);
        ++swapped;
    });
    ASSERT_TRUE(menu.buildMenuImages(project));
    EXPECT_EQ(swapped, 3);
    const std::vector<platform::UniqueFd> handedOn = menu.reducedStatePictureFiles();
    ASSERT_EQ(handedOn.size(), 3u);
    for (int state = 0; state <= 2; ++state) {
        SCOPED_TRACE(state);
        const QImage drawn = menu.renderStateImage(state, false, project.bDVDVideoAspect16_9);
        const QImage reduced(platform::descriptorPath(handedOn[std::size_t(state)].get()));
        ASSERT_EQ(reduced.size(), QSize(720, 480));
        EXPECT_EQ(visiblePixels(reduced), visiblePixels(drawn)) << "the other program's picture was reduced";
    }
}

TEST_F(DVDMenuItemTest, ButtonRectanglesUseTheDVDPixelFormula) {
    const QVariantList rects{QVariantMap{{"xPos", 480}, {"yPos", 270}, {"width", 200}, {"height", 101}},
                             QVariantMap{{"xPos", 33.9}, {"yPos", "61"}, {"width", 7}, {"height", 3}}};
    const QList<QRect> ntsc = DVDMenuItem::buttonRectsFor(rects, false);
    const QList<QRect> pal = DVDMenuItem::buttonRectsFor(rects, true);
    ASSERT_EQ(ntsc.size(), 2);
    EXPECT_EQ(ntsc[0], QRect(360, 240, 150, 88));
    EXPECT_EQ(pal[0], QRect(360, 288, 150, 106));
    // 33.9 reads as 33: x 24; y 61*480/540 = 54; height 3*480/540 = 2; width 7*720/960 = 5.
    EXPECT_EQ(ntsc[1], QRect(24, 54, 5, 2));
    EXPECT_EQ(pal[1], QRect(24, 64, 5, 2));
    // A 4:3 disc shows the frame in a band of 360 (432) lines from line 60 (72).
    EXPECT_EQ(DVDMenuItem::buttonRectsFor(rects, false, false)[0], QRect(360, 240, 150, 66));
    EXPECT_EQ(DVDMenuItem::buttonRectsFor(rects, true, false)[0], QRect(360, 288, 150, 80));
}

TEST_F(DVDMenuItemTest, ColoursAndAlignmentsOfTheTemplate) {
    EXPECT_EQ(DVDMenuItem::colorFromHexRGB("#FF8000"), QColor(255, 128, 0));
    EXPECT_EQ(DVDMenuItem::colorFromHexRGB("FF8000"), QColor(255, 128, 0));
    EXPECT_EQ(DVDMenuItem::colorFromHexRGB("#d0d0d0"), QColor(208, 208, 208));
    EXPECT_EQ(DVDMenuItem::colorFromHexRGB("#FFF"), QColor(Qt::black));
    EXPECT_EQ(DVDMenuItem::textAlignment("left"), Qt::AlignLeft);
    EXPECT_EQ(DVDMenuItem::textAlignment("right"), Qt::AlignRight);
    EXPECT_EQ(DVDMenuItem::textAlignment("center"), Qt::AlignHCenter);
    EXPECT_EQ(DVDMenuItem::textAlignment(QVariant()), Qt::AlignHCenter);
    EXPECT_EQ(DVDMenuItem::textAlignment("justified"), Qt::AlignLeading);
}

// One hexadecimal number 0xRRGGBB, opaque; text that names no such number is no colour at all.
TEST_F(DVDMenuItemTest, AHexColourStringIsOneNumber) {
    const std::pair<const char*, QColor> colours[] = {
        {"FF8000", QColor(255, 128, 0)},   {"ff8000", QColor(255, 128, 0)},
        {"#FF8000", QColor(255, 128, 0)},  {"0x0000ff", QColor(0, 0, 255)},
        {"FF80", QColor(0, 255, 128)},     {"0", QColor(0, 0, 0)},
        {" 123456\n", QColor(18, 52, 86)}, {"00FF8000", QColor(255, 128, 0)},
    };
    for (const auto& [text, colour] : colours) {
        const QColor read = DVDMenuItem::colorWithHexColorString(text);
        EXPECT_EQ(read, colour) << text;
        EXPECT_EQ(read.alpha(), 255) << text;
    }
    for (const char* text : {"", "#", "0x", "blue", "FF 80 00", "FF8000zz", "-FF", "##FF8000", "1FF8000",
                             "FFFFFFFFFFFFFFFFFFFF"})
        EXPECT_FALSE(DVDMenuItem::colorWithHexColorString(text).isValid()) << text;
}

TEST_F(DVDMenuItemTest, NoMenuEntryRendersEmptyPicturesAndNoButtons) {
    const DVDProjectSettings project = testProject(dir.path(), 3);
    DVDMenuItem menu(menuTemplate(0));
    EXPECT_TRUE(menu.isNoMenu());
    EXPECT_FALSE(menu.menuThumbnail().isNull());
    ASSERT_TRUE(menu.buildMenuImages(project));
    EXPECT_EQ(menu.imagesArray().size(), 3);
    EXPECT_TRUE(menu.stateButtonRectArray().isEmpty());
    EXPECT_EQ(distinctColours(QImage(menu.imagesArray().first())), 1);
}

TEST_F(DVDMenuItemTest, FailingPngquantStopsTheStep) {
    const DVDProjectSettings project = testProject(dir.path(), 3);
    DVDMenuItem menu(menuTemplate(kClassic));
    {
        FakeTools tools;
        tools.add("pngquant", "echo 'cannot quantize' >&2\nexit 3");
        DVDStepError error;
        EXPECT_FALSE(menu.buildMenuImages(project, &error));
        EXPECT_EQ(error.step, "pngquant");
        EXPECT_TRUE(error.detail.contains("cannot quantize")) << qPrintable(error.detail);
        EXPECT_TRUE(error.message().contains("pngquant"));
    }
    {
        // Success without its output file is a failure too, and a copy left from before does not count.
        ASSERT_TRUE(menu.buildMenuImages(project));
        FakeTools tools;
        tools.add("pngquant", "exit 0");
        DVDStepError error;
        EXPECT_FALSE(menu.buildMenuImages(project, &error));
        EXPECT_EQ(error.step, "pngquant");
        EXPECT_FALSE(QFileInfo::exists(DVDMenuItem::reducedStateImagePath(project.temporaryFolder, 0)));
    }
}
