// The random look of a new slide and the pans and zooms that themes deal, row by row.
#include "ModelTestEnvironment.h"

#include "model/VideoSlideItem.h"

using model_test::ModelTest;
using model_test::ScriptedRandom;

namespace {

void script(std::vector<std::uint32_t> values) {
    platform::RandomSource::setShared(std::make_shared<ScriptedRandom>(std::move(values)));
}

struct Row {
    QPointF start, end;
    double zoomStart, zoomEnd;
};

} // namespace

class PanZoomTableTest : public ModelTest {};

TEST_F(PanZoomTableTest, ANewSlidesLookFollowsTheEightRows) {
    const double in = double(1.2f), out = double(0.8f);
    ASSERT_EQ(in, 1.2000000476837158);
    ASSERT_EQ(out, 0.800000011920929);
    const QPointF h(0.1, 0), v(0, 0.1), o(0, 0);
    const Row rows[8] = {{h, o, in, out}, {v, o, in, out}, {h, o, out, in}, {v, o, out, in},
                         {o, h, out, in}, {o, v, out, in}, {o, h, in, out}, {o, v, in, out}};
    for (std::uint32_t k = 0; k < 8; ++k) {
        // The effect is drawn first (modulo 4), then the row (modulo 8): 13 + 8k draws effect 1, row k.
        script({13 + 8 * k, 16 + k});
        SlideItem slide;
        EXPECT_EQ(slide.nSlideEffect(), 1) << k;
        EXPECT_EQ(slide.panStartPoint(), rows[k].start) << k;
        EXPECT_EQ(slide.panEndPoint(), rows[k].end) << k;
        EXPECT_EQ(slide.zoomStart(), rows[k].zoomStart) << k;
        EXPECT_EQ(slide.zoomEnd(), rows[k].zoomEnd) << k;
    }
}

TEST_F(PanZoomTableTest, ThemesDealHorizontalVerticalOrEitherPan) {
    SlideshowThemeManager manager;
    const float p = 0.4f;
    const QPointF o(0, 0);
    const QPointF horizontal[4][2] = {{{p, 0}, o}, {{-p, 0}, o}, {o, {p, 0}}, {o, {-p, 0}}};
    const QPointF vertical[4][2] = {{{0, p}, o}, {{0, -p}, o}, {o, {0, p}}, {o, {0, -p}}};
    for (std::uint32_t r = 0; r < 8; ++r) {
        SlideItem slide;
        manager.setCurrentThemeID(4); // "Horizontal Move": r modulo 4
        script({r, 0});
        manager.setSlideItemFromCurrentTheme(slide);
        EXPECT_EQ(slide.panStartPoint(), horizontal[r % 4][0]) << r;
        EXPECT_EQ(slide.panEndPoint(), horizontal[r % 4][1]) << r;
        manager.setCurrentThemeID(5); // "vertical Move"
        script({r, 0});
        manager.setSlideItemFromCurrentTheme(slide);
        EXPECT_EQ(slide.panStartPoint(), vertical[r % 4][0]) << r;
        EXPECT_EQ(slide.panEndPoint(), vertical[r % 4][1]) << r;
    }
    // "Grayscale" pans 0.2 across or 0.1 down: eight ways, the first four across.
    manager.setCurrentThemeID(1);
    const QPointF across(0.2f, 0), down(0, 0.1f);
    const QPointF eight[8][2] = {{across, o}, {-across, o}, {o, across}, {o, -across},
                                 {down, o},   {-down, o},   {o, down},   {o, -down}};
    for (std::uint32_t r = 0; r < 16; ++r) {
        SlideItem slide;
        script({r, r});
        manager.setSlideItemFromCurrentTheme(slide);
        EXPECT_EQ(slide.panStartPoint(), eight[r % 8][0]) << r;
        EXPECT_EQ(slide.panEndPoint(), eight[r % 8][1]) << r;
        EXPECT_DOUBLE_EQ(slide.zoomStart(), 1.0);
    }
}

TEST_F(PanZoomTableTest, AnOddZoomDrawZoomsInAndAnEvenOneOut) {
    SlideshowThemeManager manager;
    manager.setCurrentThemeID(6); // "Classic": no pan, zooms 1.1 and 1.25
    for (std::uint32_t r = 0; r < 4; ++r) {
        SlideItem slide;
        script({0, r});
        manager.setSlideItemFromCurrentTheme(slide);
        EXPECT_EQ(slide.panStartPoint(), QPointF(0, 0));
        EXPECT_EQ(slide.panEndPoint(), QPointF(0, 0)) << "no pan in either direction";
        EXPECT_EQ(slide.zoomStart(), double(r % 2 ? 1.1f : 1.25f)) << r;
        EXPECT_EQ(slide.zoomEnd(), double(r % 2 ? 1.25f : 1.1f)) << r;
    }
}

TEST_F(PanZoomTableTest, EveryListedThemeDealsWithinItsLimits) {
    SlideshowThemeManager manager;
    platform::RandomSource::setShared(std::make_shared<platform::SeededRandom>(11));
    for (const QVariant& entry : manager.themeArray()) {
        const QVariantMap theme = entry.toMap();
        manager.setCurrentThemeID(theme.value("ThemeID").toInt());
        const double px = theme.value("maxPanX").toFloat(), py = theme.value("maxPanY").toFloat();
        const double zmin = theme.value("minZoom").toFloat(), zmax = theme.value("maxZoom").toFloat();
        for (int i = 0; i < 40; ++i) {
            VideoSlideItem clip;
            SlideItem slide;
            manager.setSlideItemFromCurrentTheme(slide);
            manager.setSlideItemFromCurrentTheme(clip);
            for (const QPointF& point : {slide.panStartPoint(), slide.panEndPoint()}) {
                EXPECT_TRUE(std::abs(point.x()) == px || point.x() == 0);
                EXPECT_TRUE(std::abs(point.y()) == py || point.y() == 0);
                EXPECT_TRUE(point.x() == 0 || point.y() == 0) << "one direction at a time";
            }
            EXPECT_TRUE(slide.panStartPoint() == QPointF(0, 0) || slide.panEndPoint() == QPointF(0, 0));
            EXPECT_EQ(std::min(slide.zoomStart(), slide.zoomEnd()), zmin);
            EXPECT_EQ(std::max(slide.zoomStart(), slide.zoomEnd()), zmax);
            EXPECT_EQ(clip.zoomStart(), 1.0);
            EXPECT_EQ(clip.zoomEnd(), 1.0);
        }
    }
}
