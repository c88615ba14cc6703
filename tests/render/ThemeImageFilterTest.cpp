#include "render/ThemeImageFilter.h"

#include "model/SlideshowThemeManager.h"
#include "platform/image/ImageFilters.h"

#include "render/RenderTestSupport.h"
#include "render/ThemeTestData.h"
#include "support/TempDir.h"
#include "support/TestEnvironment.h"

#include <QPainter>
#include <gtest/gtest.h>

#include <thread>
#include <vector>

using namespace render_test;
using namespace theme_test;

namespace {

const QColor kWhite(255, 255, 255);
const QColor kDarkGrey(85, 85, 85);
const QColor kPhoto(30, 90, 200);

// Resources of our own for one test, so that pattern pictures are ours and known pixel by pixel.
class PatternFolder {
public:
    PatternFolder() : override("VISTRELLE_RESOURCES", dir.path()) {}
    void add(const QString& name, const QImage& tile, const char* format = "PNG") {
        ASSERT_TRUE(tile.save(dir.file(name), format));
    }

private:
    TempDir dir;
    test_support::EnvOverride override;
};

QVariantMap patternTheme(const QString& name, int padding) {
    QVariantMap theme = frameTheme(true, padding);
    setFrameEntry(theme, "PatternImage", true);
    setFrameEntry(theme, "PatternName", name);
    return theme;
}

} // namespace

// --- size rule

TEST(ThemeImageFilterSize, TheShadowAddsItsOffsetToBothSides) {
    const QImage photo = solid(120, 80, kPhoto);
    EXPECT_EQ(applyTheme(photo, frameTheme(true, 30, true, 10)).size(), QSize(130, 90));
    EXPECT_EQ(applyTheme(photo, frameTheme(true, 30, true, 8)).size(), QSize(128, 88));
    EXPECT_EQ(applyTheme(photo, frameTheme(true, 30, false, 10)).size(), QSize(120, 80));
    EXPECT_EQ(applyTheme(photo, frameTheme(false, 30, true, 10)).size(), QSize(130, 90));
}

TEST(ThemeImageFilterSize, NullPhotosAndHostileSizesAreSafe) {
    EXPECT_TRUE(applyTheme(QImage(), frameTheme(true, 30, true, 10)).isNull());
    QVariantMap theme = frameTheme(true, -40, true, -500);
    const QImage photo = solid(60, 40, kPhoto);
    const QImage shrunk = applyTheme(photo, theme);
    ASSERT_EQ(shrunk.size(), QSize(60, 40)); // negative sizes count as none
    EXPECT_TRUE(hasColour(shrunk, 0, 0, kPhoto));
    // Paddings wider than the photo leave no place for it: only the frame is painted.
    const QImage noPlace = applyTheme(photo, frameTheme(true, 40));
    EXPECT_TRUE(hasColour(noPlace, 30, 20, kWhite));
    // A theme with neither dictionary hands the photo back as it was.
    const QImage bare = applyTheme(photo, QVariantMap());
    ASSERT_EQ(bare.size(), photo.size());
    EXPECT_TRUE(hasColour(bare, 59, 39, kPhoto));
}

TEST(ThemeImageFilterSize, DeepPhotosStayDeep) {
    const QImage deep = solid(20, 10, kPhoto).convertToFormat(QImage::Format_RGBA64);
    const QImage dressed = applyTheme(deep, frameTheme(true, 2, true, 4));
    EXPECT_EQ(dressed.size(), QSize(24, 14));
    EXPECT_EQ(dressed.depth(), 64);
    EXPECT_TRUE(hasColour(dressed, 10, 5, kPhoto));
}

// --- frame and paddings

TEST(ThemeImageFilterFrame, PaddingsInsetThePhotoInAWhiteFrame) {
    const QImage dressed =
        applyTheme(solid(100, 80, kPhoto), SlideshowThemeManager::themeNo(10)); // "Static Frame", 25
    ASSERT_EQ(dressed.size(), QSize(100, 80));
    for (QPoint p :
         {QPoint(0, 0), QPoint(24, 40), QPoint(75, 40), QPoint(50, 24), QPoint(50, 55), QPoint(99, 79)})
        EXPECT_TRUE(hasColour(dressed, p.x(), p.y(), kWhite)) << p.x() << "," << p.y();
    for (QPoint p : {QPoint(25, 25), QPoint(74, 25), QPoint(25, 54), QPoint(74, 54), QPoint(50, 40)})
        EXPECT_TRUE(hasColour(dressed, p.x(), p.y(), kPhoto)) << p.x() << "," << p.y();
}

TEST(ThemeImageFilterFrame, EachPaddingLiesOnItsOwnSideAsSeen) {
    QVariantMap theme = frameTheme(true, 0);
    setFrameEntry(theme, "leftPaddingSize", 5);
    setFrameEntry(theme, "rightPaddingSize", 10);
    setFrameEntry(theme, "topPaddingSize", 15);
    setFrameEntry(theme, "bottomPaddingSize", 20);
    const QImage dressed = applyTheme(solid(100, 100, kPhoto), theme);
    // The photo's place is x 5..89, y 15..79.
    EXPECT_TRUE(hasColour(dressed, 4, 50, kWhite));
    EXPECT_TRUE(hasColour(dressed, 5, 50, kPhoto));
    EXPECT_TRUE(hasColour(dressed, 89, 50, kPhoto));
    EXPECT_TRUE(hasColour(dressed, 90, 50, kWhite));
    EXPECT_TRUE(hasColour(dressed, 50, 14, kWhite));
    EXPECT_TRUE(hasColour(dressed, 50, 15, kPhoto));
    EXPECT_TRUE(hasColour(dressed, 50, 79, kPhoto));
    EXPECT_TRUE(hasColour(dressed, 50, 80, kWhite));
}

TEST(ThemeImageFilterFrame, ThePhotoIsScaledIntoItsPlaceTheRightWayUp) {
    const QImage photo = topAndBottom(200, 100, Qt::red, Qt::green);
    const QImage dressed = applyTheme(photo, frameTheme(true, 20)); // place 160 x 60 at (20, 20)
    EXPECT_TRUE(hasColour(dressed, 100, 21, Qt::red));
    EXPECT_TRUE(hasColour(dressed, 100, 48, Qt::red));
    EXPECT_TRUE(hasColour(dressed, 100, 51, Qt::green));
    EXPECT_TRUE(hasColour(dressed, 100, 78, Qt::green));
    EXPECT_TRUE(hasColour(dressed, 100, 81, kWhite));
}

TEST(ThemeImageFilterFrame, TheFrameTakesItsColourFromTheTheme) {
    QVariantMap theme = frameTheme(true, 10);
    setFrameEntry(theme, "FrameColor", QColor(200, 40, 10));
    const QImage dressed = applyTheme(solid(50, 50, kPhoto), theme);
    EXPECT_TRUE(hasColour(dressed, 3, 3, QColor(200, 40, 10)));
    EXPECT_TRUE(hasColour(dressed, 25, 25, kPhoto));
}

TEST(ThemeImageFilterFrame, WithoutNeedFrameThePhotoCoversTheFrame) {
    const QImage photo = topAndBottom(40, 30, Qt::red, Qt::blue);
    const QImage dressed = applyTheme(photo, frameTheme(false, 30));
    ASSERT_EQ(dressed.size(), photo.size());
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            ASSERT_TRUE(hasColour(dressed, x, y, photo.pixelColor(x, y), 0));
}

TEST(ThemeImageFilterFrame, WithoutColorFrameNoFrameIsPaintedAndThePhotoCastsTheShadow) {
    QVariantMap theme = frameTheme(true, 10, true, 6);
    setFrameEntry(theme, "colorFrame", false);
    const QImage dressed = applyTheme(solid(60, 40, kPhoto), theme);
    ASSERT_EQ(dressed.size(), QSize(66, 46));
    EXPECT_EQ(alphaAt(dressed, 2, 2), 0);
    EXPECT_TRUE(hasColour(dressed, 10, 10, kPhoto));
    EXPECT_TRUE(hasColour(dressed, 49, 29, kPhoto));
    // The photo's place ends at x 49 and y 29; its shadow falls right and below it.
    EXPECT_GT(alphaAt(dressed, 52, 20), 20);
    EXPECT_GT(alphaAt(dressed, 30, 32), 20);
    EXPECT_EQ(alphaAt(dressed, 30, 2), 0);
}

// --- rounded corners

TEST(ThemeImageFilterCorners, RoundedCornersAreClearAtTheVeryCorner) {
    const QImage dressed =
        applyTheme(solid(160, 120, kPhoto), SlideshowThemeManager::themeNo(8)); // radius 20, padding 30
    ASSERT_EQ(dressed.size(), QSize(160, 120));
    for (QPoint corner :
         {QPoint(0, 0), QPoint(159, 0), QPoint(0, 119), QPoint(159, 119), QPoint(3, 3), QPoint(156, 116)})
        EXPECT_EQ(alphaAt(dressed, corner.x(), corner.y()), 0) << corner.x() << "," << corner.y();
    for (QPoint edge :
         {QPoint(80, 0), QPoint(0, 60), QPoint(159, 60), QPoint(80, 119), QPoint(10, 10), QPoint(149, 109)})
        EXPECT_TRUE(hasColour(dressed, edge.x(), edge.y(), kWhite)) << edge.x() << "," << edge.y();
    // The arc is smooth: a pixel it cuts is partly covered.
    const int cut = alphaAt(dressed, 5, 5); // its centre lies half a pixel outside the arc
    EXPECT_GT(cut, 0);
    EXPECT_LT(cut, 255);
    EXPECT_TRUE(hasColour(dressed, 80, 60, kPhoto));
}

TEST(ThemeImageFilterCorners, RadiusZeroKeepsSquareCornersAndLargeRadiiAreHeld) {
    QVariantMap square = SlideshowThemeManager::themeNo(8);
    setFrameEntry(square, "RoundConnerSize", 0);
    const QImage plain = applyTheme(solid(60, 40, kPhoto), square);
    EXPECT_TRUE(hasColour(plain, 0, 0, kWhite));
    EXPECT_TRUE(hasColour(plain, 59, 39, kWhite));

    QVariantMap huge = SlideshowThemeManager::themeNo(8);
    setFrameEntry(huge, "RoundConnerSize", 1000);
    const QImage pill = applyTheme(solid(100, 40, kPhoto), huge);
    EXPECT_EQ(alphaAt(pill, 0, 0), 0);
    EXPECT_EQ(alphaAt(pill, 0, 20) > 0, true); // radius 20: the left end is a half circle
    EXPECT_TRUE(hasColour(pill, 50, 0, kWhite));
}

TEST(ThemeImageFilterCorners, APhotoWithoutPaddingIsRoundedWithItsFrame) {
    QVariantMap theme = SlideshowThemeManager::themeNo(8);
    setFrameEntry(theme, "needFrame", false);
    const QImage dressed = applyTheme(solid(80, 60, kPhoto), theme);
    EXPECT_EQ(alphaAt(dressed, 0, 0), 0);
    EXPECT_EQ(alphaAt(dressed, 79, 59), 0);
    EXPECT_TRUE(hasColour(dressed, 40, 0, kPhoto));
    EXPECT_TRUE(hasColour(dressed, 40, 30, kPhoto));
}

// --- patterns

TEST(ThemeImageFilterPattern, ThePatternTilesTheFrameWithADarkLineRoundThePhoto) {
    PatternFolder resources;
    const QImage tile = codedTile(8, 6);
    resources.add("tf-tile.gif", tile); // PNG data under a GIF name: readers go by content
    const QImage dressed = applyTheme(solid(100, 80, kPhoto), patternTheme("tf-tile.gif", 20));
    ASSERT_EQ(dressed.size(), QSize(100, 80));
    for (QPoint p :
         {QPoint(0, 0), QPoint(7, 5), QPoint(17, 40), QPoint(50, 3), QPoint(99, 79), QPoint(83, 62)})
        EXPECT_TRUE(hasColour(dressed, p.x(), p.y(), tile.pixelColor(p.x() % 8, p.y() % 6), 0))
            << p.x() << "," << p.y();
    // The photo's place is 20..79 x 20..59; the line takes the two pixels round it.
    for (QPoint p : {QPoint(18, 40), QPoint(19, 40), QPoint(80, 40), QPoint(81, 40), QPoint(50, 18),
                     QPoint(50, 61), QPoint(18, 18), QPoint(81, 61)})
        EXPECT_TRUE(hasColour(dressed, p.x(), p.y(), kDarkGrey, 0)) << p.x() << "," << p.y();
    EXPECT_TRUE(hasColour(dressed, 20, 20, kPhoto));
    EXPECT_TRUE(hasColour(dressed, 79, 59, kPhoto));
}

TEST(ThemeImageFilterPattern, AMissingPatternPictureLeavesThePlainFrameColour) {
    PatternFolder resources; // empty
    const QImage dressed = applyTheme(solid(100, 80, kPhoto), patternTheme("tf-absent.gif", 20));
    ASSERT_EQ(dressed.size(), QSize(100, 80));
    EXPECT_TRUE(hasColour(dressed, 5, 5, kWhite));
    EXPECT_TRUE(hasColour(dressed, 19, 40, kWhite)); // no dark line without a pattern
    EXPECT_TRUE(hasColour(dressed, 50, 40, kPhoto));
}

TEST(ThemeImageFilterPattern, PatternFramesShareTheirCacheAcrossThreads) {
    PatternFolder resources;
    resources.add("tf-threads.png", codedTile(5, 7));
    const QImage photo = solid(90, 70, kPhoto);
    const QVariantMap theme = patternTheme("tf-threads.png", 15);
    const QImage reference = applyTheme(photo, theme);
    std::vector<QImage> results(6);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < results.size(); ++i)
        threads.emplace_back([&, i] { results[i] = applyTheme(photo, theme); });
    for (std::thread& thread : threads)
        thread.join();
    for (const QImage& result : results)
        EXPECT_EQ(result, reference);
}

// --- shadow

TEST(ThemeImageFilterShadow, TheShadowFillsTheRoomBelowAndRightOfTheFrame) {
    const int w = 100, h = 100, s = 10;
    const QImage dressed = applyTheme(solid(w, h, kPhoto), frameTheme(true, 20, true, s));
    ASSERT_EQ(dressed.size(), QSize(w + s, h + s));
    // The frame starts at the very top: no clear band above it.
    for (int x : {0, 50, 99}) {
        EXPECT_TRUE(hasColour(dressed, x, 0, kWhite)) << x;
        EXPECT_TRUE(hasColour(dressed, x, h - 1, kWhite)) << x;
    }
    EXPECT_TRUE(hasColour(dressed, w - 1, h - 1, kWhite));
    // Only the frame casts the shadow: the photo, drawn over it, leaves the frame beside it white.
    EXPECT_TRUE(hasColour(dressed, 85, 50, kWhite));
    EXPECT_TRUE(hasColour(dressed, 50, 85, kWhite));
    // Right of and below the frame lies a black shadow of at most a third opacity, alike on both sides.
    const QColor right = dressed.pixelColor(w + 3, h / 2);
    const QColor below = dressed.pixelColor(w / 2, h + 3);
    EXPECT_EQ(right.red() + right.green() + right.blue(), 0);
    EXPECT_GT(right.alpha(), 30);
    EXPECT_LE(right.alpha(), 85);
    EXPECT_NEAR(below.alpha(), right.alpha(), 1);
    EXPECT_GT(alphaAt(dressed, w + 1, h / 2), alphaAt(dressed, w + 5, h / 2));
    EXPECT_GT(alphaAt(dressed, w + 5, h / 2), alphaAt(dressed, w + 9, h / 2));
    // It starts S pixels down and S pixels right: the far top and far left of the extra room stay light.
    EXPECT_LT(alphaAt(dressed, w + 3, 0), right.alpha() / 3);
    EXPECT_LT(alphaAt(dressed, 0, h + 3), below.alpha() / 3);
    EXPECT_GT(alphaAt(dressed, w + 3, s + 10), right.alpha() * 2 / 3);
}

TEST(ThemeImageFilterShadow, WithoutNeedFrameOnlyTheShadowShowsRoundThePhoto) {
    const QImage photo = solid(60, 40, kPhoto);
    const QImage dressed = applyTheme(photo, frameTheme(false, 30, true, 10));
    ASSERT_EQ(dressed.size(), QSize(70, 50));
    EXPECT_TRUE(hasColour(dressed, 0, 0, kPhoto));
    EXPECT_TRUE(hasColour(dressed, 59, 39, kPhoto));
    EXPECT_GT(alphaAt(dressed, 63, 25), 0);
    EXPECT_GT(alphaAt(dressed, 30, 43), 0);
}

// --- the built-in themes

TEST(ThemeImageFilterThemes, EveryBuiltInThemeDressesAPhotoToTheExpectedSize) {
    PatternFolder resources;
    resources.add("wood017.gif", codedTile(16, 16));
    resources.add("paper005.gif", codedTile(12, 10));
    resources.add("cloth011.jpg", codedTile(9, 9), "JPEG");
    const QImage photo = solid(320, 240, kPhoto);
    for (int n = 1; n <= 14; ++n) {
        const QVariantMap theme = SlideshowThemeManager::themeNo(n);
        const QVariantMap shadow = theme.value("PhotoShadow").toMap();
        const int s = shadow.value("needShadow").toBool() ? shadow.value("ShadowOffset").toInt() : 0;
        const QImage dressed = applyTheme(photo, theme);
        ASSERT_FALSE(dressed.isNull()) << n;
        EXPECT_EQ(dressed.size(), QSize(320 + s, 240 + s)) << n;
        EXPECT_TRUE(hasColour(dressed, 160, 120, kPhoto)) << n;
        const bool framed = theme.value("PhotoFrame").toMap().value("needFrame").toBool();
        if (!framed)
            EXPECT_TRUE(hasColour(dressed, 1, 1, kPhoto)) << n;
        else if (n <= 11)
            EXPECT_TRUE(hasColour(dressed, 10, 120, kWhite)) << n;
        else
            EXPECT_FALSE(hasColour(dressed, 10, 120, kWhite)) << n; // a pattern, not plain white
    }
    EXPECT_EQ(applyTheme(photo, SlideshowThemeManager::themeNo(5)).size(), QSize(330, 250));
    EXPECT_EQ(applyTheme(photo, SlideshowThemeManager::themeNo(9)).size(), QSize(328, 248));
}

// --- colour filter

TEST(ThemeImageFilterPhotoFilter, GrayscaleRemovesColourAndOtherThemesLeaveIt) {
    QImage photo = topAndBottom(20, 20, QColor(200, 40, 10), QColor(20, 180, 90, 128));
    const QImage grey =
        platform::image::applyPhotoFilter(photo, SlideshowThemeManager::themeNo(11)); // "Grayscale Frame"
    for (QPoint p : {QPoint(3, 3), QPoint(3, 15)}) {
        const QColor c = grey.pixelColor(p);
        EXPECT_EQ(c.red(), c.green());
        EXPECT_EQ(c.green(), c.blue());
    }
    EXPECT_EQ(grey.pixelColor(3, 15).alpha(), 128);
    EXPECT_NE(grey.pixelColor(3, 3).red(), grey.pixelColor(3, 15).red());
    EXPECT_EQ(platform::image::applyPhotoFilter(photo, SlideshowThemeManager::themeNo(1)), photo);
    EXPECT_EQ(platform::image::applyPhotoFilter(photo, SlideshowThemeManager::themeNo(12)), photo);

    QVariantMap sepia = SlideshowThemeManager::themeNo(1);
    sepia.insert("PhotoFilter", "CISepiaTone");
    const QColor toned =
        platform::image::applyPhotoFilter(solid(4, 4, QColor(128, 128, 128)), sepia).pixelColor(1, 1);
    EXPECT_GT(toned.red(), toned.green());
    EXPECT_GT(toned.green(), toned.blue());
    sepia.insert("PhotoFilter", "CIUnknownFilter");
    EXPECT_EQ(platform::image::applyPhotoFilter(photo, sepia), photo);
}
