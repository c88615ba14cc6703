#include "ModelTestEnvironment.h"

#include "model/VideoSlideItem.h"

using model_test::ModelTest;
using model_test::ScriptedRandom;

class ThemeManagerTest : public ModelTest {
protected:
    SlideshowThemeManager manager;
};

TEST_F(ThemeManagerTest, ThirteenThemesInListOrderWithThemeZeroCurrent) {
    QList<int> ids;
    for (const QVariant& theme : manager.themeArray())
        ids.append(theme.toMap().value("ThemeID").toInt());
    EXPECT_EQ(ids, (QList<int>{0, 1, 6, 7, 8, 9, 10, 11, 12, 2, 3, 4, 5}));
    EXPECT_EQ(manager.currentThemeID(), 0);
    EXPECT_EQ(manager.currentThemeDict().value("ThemeName").toString(), "Colorful Blur");
    const QVariantMap cloth = SlideshowThemeManager::themeNo(14);
    EXPECT_EQ(cloth.value("ThemeID").toInt(), 13) << "built but never listed";
}

TEST_F(ThemeManagerTest, TheCurrentThemeIsFoundByItsNumberNotItsPosition) {
    manager.setCurrentThemeID(5);
    const QVariantMap theme = manager.currentThemeDict();
    EXPECT_EQ(theme.value("ThemeName").toString(), "vertical Move");
    EXPECT_FLOAT_EQ(theme.value("maxPanY").toFloat(), 0.4f);
    manager.setCurrentThemeID(40);
    EXPECT_EQ(manager.currentThemeDict().value("ThemeID").toInt(), 0);
    manager.setThemeArray({});
    EXPECT_TRUE(manager.currentThemeDict().isEmpty());
}

TEST_F(ThemeManagerTest, TheDictionariesCarryFramesShadowsAndFilters) {
    const QVariantMap rounded = SlideshowThemeManager::themeNo(8);
    EXPECT_EQ(rounded.value("ThemeID").toInt(), 7);
    const QVariantMap frame = rounded.value("PhotoFrame").toMap();
    EXPECT_TRUE(frame.value("RoundConner").toBool());
    EXPECT_EQ(frame.value("RoundConnerSize").toInt(), 20);
    EXPECT_EQ(frame.value("leftPaddingSize").toInt(), 30);
    const QVariantMap wood = SlideshowThemeManager::themeNo(12);
    EXPECT_EQ(wood.value("PhotoFrame").toMap().value("PatternName").toString(), "wood017.gif");
    EXPECT_EQ(wood.value("PhotoFrame").toMap().value("bottomPaddingSize").toInt(), 65);
    EXPECT_EQ(SlideshowThemeManager::themeNo(11).value("PhotoFilter").toString(), "Grayscale");
    EXPECT_EQ(SlideshowThemeManager::themeNo(9).value("PhotoShadow").toMap().value("ShadowOffset").toInt(),
              8);
    for (int id : {0, 1, 2, 3, 6})
        EXPECT_FALSE(SlideshowThemeManager::bNeedApplyTheme(SlideshowThemeManager::themeNo(id + 1))) << id;
    EXPECT_TRUE(SlideshowThemeManager::bNeedApplyTheme(SlideshowThemeManager::themeNo(5)));
    EXPECT_TRUE(SlideshowThemeManager::bNeedApplyTheme(SlideshowThemeManager::themeNo(10)));
}

TEST_F(ThemeManagerTest, HorizontalMovePansAcrossAndZoomsAtPointEight) {
    manager.setCurrentThemeID(4);
    for (std::uint32_t r = 0; r < 4; ++r) {
        SlideItem slide;
        platform::RandomSource::setShared(std::make_shared<ScriptedRandom>(std::vector<std::uint32_t>{r, r}));
        manager.setSlideItemFromCurrentTheme(slide);
        const QPointF far = (r == 1 || r == 3) ? QPointF(-0.4f, 0) : QPointF(0.4f, 0);
        EXPECT_EQ(slide.panStartPoint(), r < 2 ? far : QPointF(0, 0)) << r;
        EXPECT_EQ(slide.panEndPoint(), r < 2 ? QPointF(0, 0) : far) << r;
        EXPECT_DOUBLE_EQ(slide.zoomStart(), double(0.8f));
        EXPECT_DOUBLE_EQ(slide.zoomEnd(), double(0.8f));
    }
}

TEST_F(ThemeManagerTest, DynamicChoosesAmongEightPansAndZoomsEitherWay) {
    manager.setCurrentThemeID(3);
    SlideItem slide;
    platform::RandomSource::setShared(std::make_shared<ScriptedRandom>(std::vector<std::uint32_t>{6, 1}));
    manager.setSlideItemFromCurrentTheme(slide); // case 6: vertical V(2), from (0,0) to (0, PY)
    EXPECT_EQ(slide.panStartPoint(), QPointF(0, 0));
    EXPECT_EQ(slide.panEndPoint(), QPointF(0, 0.1f));
    EXPECT_DOUBLE_EQ(slide.zoomStart(), double(0.8f)) << "odd: from the smaller zoom";
    EXPECT_DOUBLE_EQ(slide.zoomEnd(), double(1.5f));
}

TEST_F(ThemeManagerTest, CustomisedSlidesAreLeftAloneAndClipsNeverZoom) {
    manager.setCurrentThemeID(3);
    SlideItem custom;
    custom.setBPanZoomCustomized(true);
    custom.setPanStartPoint(QPointF(0.25, 0.5));
    custom.setZoomStart(2.5);
    manager.setSlideItemFromCurrentTheme(custom);
    EXPECT_EQ(custom.panStartPoint(), QPointF(0.25, 0.5));
    EXPECT_DOUBLE_EQ(custom.zoomStart(), 2.5);

    VideoSlideItem clip;
    platform::RandomSource::setShared(std::make_shared<ScriptedRandom>(std::vector<std::uint32_t>{0, 0}));
    manager.setSlideItemFromCurrentTheme(clip);
    EXPECT_EQ(clip.panStartPoint(), QPointF(0.1f, 0)) << "a clip gets a pan";
    EXPECT_DOUBLE_EQ(clip.zoomStart(), 1.0);
    EXPECT_DOUBLE_EQ(clip.zoomEnd(), 1.0);

    manager.setCurrentThemeID(std::nullopt);
    SlideItem untouched;
    untouched.setZoomStart(3.0);
    manager.setSlideItemFromCurrentTheme(untouched);
    EXPECT_DOUBLE_EQ(untouched.zoomStart(), 3.0) << "no current theme, nothing dealt";
}

TEST_F(ThemeManagerTest, MenuSlidesStandStillWithAnAlphaBlend) {
    SlideItem slide;
    manager.setSlideItemForDVDMenu(slide);
    EXPECT_EQ(slide.panStartPoint(), QPointF(0, 0));
    EXPECT_EQ(slide.panEndPoint(), QPointF(0, 0));
    EXPECT_DOUBLE_EQ(slide.zoomStart(), 1.0);
    EXPECT_EQ(slide.transitionInfo().value("name").toString(), "Alpha Blend");
    EXPECT_EQ(slide.transitionInfo().value("category").toString(), "Blend");
    EXPECT_EQ(slide.transitionInfo().value("index").toInt(), 1);
}
