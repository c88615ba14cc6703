#include "TransitionTestSupport.h"

#include "model/VideoSlideItem.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/StandardPaths.h"
#include "platform/gl/DriverLock.h"
#include "render/QuadDrawing.h"
#include "render/transitions/SlideshowTransitionAlphaBlend.h"
#include "render/transitions/SlideshowTransitionExchange3D.h"
#include "render/transitions/SlideshowTransitionFlipOver.h"
#include "render/transitions/SlideshowTransitionMask.h"
#include "render/transitions/SlideshowTransitionSlices.h"
#include "render/transitions/SlideshowTransitionSlicesBox.h"
#include "render/transitions/TransitionManager.h"
#include "render/transitions/TransitionSlice.h"

#include <cmath>
#include <set>

using platform::gl::DriverLock;
using rendertest::colourNear;
using transitiontest::shareNear;

namespace {

// How far a band reaches into the view: 0 once it has left it.
float visibleLength(const TransitionSlice& slice, bool vertical) {
    const int axis = vertical ? 1 : 0;
    float lo = 1.0f, hi = -1.0f;
    for (int i = 0; i < 4; ++i) {
        const float v = std::clamp(slice.verts[i * 3 + axis], -1.0f, 1.0f);
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    return hi - lo;
}

} // namespace

using TransitionFrames = TransitionTest;

TEST_F(TransitionFrames, TheCrossFadeWeighsTheIncomingImageByTheFrame) {
    SlideshowTransitionAlphaBlend blend;
    blend.setNTotalTransitionFrame(60);
    prepare(blend);
    drawFrame(blend, 0);
    EXPECT_EQ(blend.fBlendFactor(), 0.0f);
    const QImage half = drawFrame(blend, 30);
    EXPECT_TRUE(colourNear(half.pixel(80, 45), qRgb(120, 30, 120), 2));
    drawFrame(blend, 59);
    EXPECT_FLOAT_EQ(blend.fBlendFactor(), 59.0f / 60.0f);
    drawFrame(blend, 75);
    EXPECT_EQ(blend.fBlendFactor(), 1.0f) << "called beyond its length it stays on the incoming image";
    // A play that starts inside the transition blends from where it stands.
    prepare(blend);
    EXPECT_TRUE(colourNear(drawFrame(blend, 30).pixel(80, 45), qRgb(120, 30, 120), 2));
}

TEST_F(TransitionFrames, TheColourBlendRunsThroughGreyOrATint) {
    TransitionManager manager;
    auto& gray = *manager.transitionArray()[TransitionManager::kGrayscale];
    gray.setNTotalTransitionFrame(20);
    script({1, 0}); // through grey
    prepare(gray);
    QRgb middle = drawFrame(gray, 10).pixel(80, 45);
    EXPECT_NEAR(qRed(middle), qGreen(middle), 2);
    EXPECT_NEAR(qGreen(middle), qBlue(middle), 2);
    script({0, 1}); // through the green tint
    prepare(gray);
    middle = drawFrame(gray, 10).pixel(80, 45);
    EXPECT_GT(qGreen(middle), 2 * qRed(middle));
    EXPECT_GT(qGreen(middle), 2 * qBlue(middle));
    EXPECT_TRUE(colourNear(drawFrame(gray, 0).pixel(80, 45), kOutgoing, 1));
}

TEST_F(TransitionFrames, TheExchangeSwingsTheSlidesApartAtMidTransition) {
    float m1[9], m2[9];
    SlideshowTransitionExchange3D::movement(0, 3.14159265f / 2.0f, m1, m2);
    const float h3 = std::pow(std::sin(3.14159265f / 4.0f), 3.0f);
    EXPECT_NEAR(m1[0], 1.1f, 1e-5f);
    EXPECT_NEAR(m2[0], -1.1f, 1e-5f);
    EXPECT_NEAR(m1[2], -h3, 1e-5f);
    EXPECT_NEAR(m2[2], h3 - 1.0f, 1e-5f);
    EXPECT_EQ(m1[1], 0.0f);
    SlideshowTransitionExchange3D::movement(4, 3.14159265f / 2.0f, m1, m2);
    EXPECT_NEAR(m1[0], -1.1f, 1e-5f);
    EXPECT_NEAR(m1[1], -1.1f, 1e-5f);
    SlideshowTransitionExchange3D::movement(7, 1.0f, m1, m2);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(m1[i] + m2[i], 0.0f) << "an unknown direction moves nothing";
}

TEST_F(TransitionFrames, TheCubeTurnsAQuarterOverTheTransition) {
    SlideshowTransitionFlipOver flip;
    flip.setNTotalTransitionFrame(40);
    drawFrame(flip, 20);
    EXPECT_FLOAT_EQ(flip.rCube(), 45.0f);
    drawFrame(flip, 40);
    EXPECT_FLOAT_EQ(flip.rCube(), 90.0f);
}

TEST_F(TransitionFrames, SlicesLeaveOrArriveWithinTheLengthInForceWhenDrawn) {
    for (std::uint32_t reveal = 0; reveal < 2; ++reveal)
        for (std::uint32_t vertical = 0; vertical < 2; ++vertical) {
            SlideshowTransitionSlices slices;
            slices.setNTotalTransitionFrame(120);
            script({reveal, vertical, 1});
            prepare(slices);
            ASSERT_EQ(slices.sliceNum(), vertical ? 12 : 8);
            // The player's length arrives after the preparation: 60 frames.
            slices.setNTotalTransitionFrame(60);
            for (const TransitionSlice& slice : slices.slicesAtFrame(0))
                EXPECT_NEAR(visibleLength(slice, vertical), reveal ? 0.0f : 2.0f, 1e-4f);
            for (const TransitionSlice& slice : slices.slicesAtFrame(59)) {
                if (reveal) {
                    EXPECT_NEAR(visibleLength(slice, vertical), 2.0f, 1e-4f) << "every band has arrived";
                } else {
                    EXPECT_EQ(visibleLength(slice, vertical), 0.0f) << "every band has left";
                }
            }
            // Half-way, some bands are on their way and some are not.
            std::set<int> lengths;
            for (const TransitionSlice& slice : slices.slicesAtFrame(reveal ? 10 : 25))
                lengths.insert(int(std::lround(visibleLength(slice, vertical) * 100.0f)));
            EXPECT_GE(lengths.size(), 2u);
        }
}

TEST_F(TransitionFrames, TheBandsOrderIsShuffledOnlyForTheShuffledDirections) {
    for (std::uint32_t dir = 0; dir < 6; ++dir) {
        SlideshowTransitionSlices slices;
        script({0, 1, dir}, 1);
        prepare(slices);
        std::vector<int> order = slices.indexArray();
        const bool inOrder = std::is_sorted(order.begin(), order.end());
        EXPECT_EQ(inOrder, dir != 2 && dir != 5) << dir;
        std::sort(order.begin(), order.end());
        for (int i = 0; i < 12; ++i)
            EXPECT_EQ(order[std::size_t(i)], i);
    }
}

TEST_F(TransitionFrames, BoxOrdersVisitEveryBoxOnceAndTheSpiralWindsInwards) {
    for (int dir = 0; dir < 6; ++dir) {
        const auto order = SlideshowTransitionSlicesBox::boxOrder(dir);
        ASSERT_EQ(order.size(), 48u);
        EXPECT_EQ(std::set(order.begin(), order.end()).size(), 48u) << dir;
    }
    using Box = std::pair<int, int>;
    EXPECT_EQ(SlideshowTransitionSlicesBox::boxOrder(0)[1], Box(0, 1)) << "columns from 0, rows upwards";
    EXPECT_EQ(SlideshowTransitionSlicesBox::boxOrder(1)[0], Box(7, 0));
    EXPECT_EQ(SlideshowTransitionSlicesBox::boxOrder(2)[0], Box(0, 5));
    EXPECT_EQ(SlideshowTransitionSlicesBox::boxOrder(3)[1], Box(7, 4));
    const auto swirl = SlideshowTransitionSlicesBox::boxOrder(4);
    for (std::size_t k = 1; k < swirl.size(); ++k)
        EXPECT_EQ(std::abs(swirl[k].first - swirl[k - 1].first) +
                      std::abs(swirl[k].second - swirl[k - 1].second),
                  1)
            << "step " << k;
    // Round the edge first.
    std::set<Box> ring(swirl.begin(), swirl.begin() + 24);
    for (const Box& box : ring)
        EXPECT_TRUE(box.first == 0 || box.first == 7 || box.second == 0 || box.second == 5);
}

TEST_F(TransitionFrames, BoxesFadeFasterAsTheyGoAndAllHaveFadedAtTheEnd) {
    SlideshowTransitionSlicesBox boxes;
    boxes.setNTotalTransitionFrame(120);
    script({}, 0);
    prepare(boxes);
    drawFrame(boxes, 0);
    auto weightOfFirst = [&](int n) {
        return boxes.boxesAtFrame(n)[0].slicesBlendFactor;
    }; // box (0, 0) starts at 0
    EXPECT_EQ(weightOfFirst(0), 1.0f);
    const float step1 = weightOfFirst(1) - weightOfFirst(2);
    const float step2 = weightOfFirst(2) - weightOfFirst(3);
    EXPECT_GT(step2, step1);
    EXPECT_NEAR(weightOfFirst(1), 1.0f - 1.0f / 30.0f, 1e-5f);
    for (const TransitionSlice& box : boxes.boxesAtFrame(119))
        EXPECT_EQ(box.slicesBlendFactor, 0.0f);
}

// A box or band shows the back image under the other one at its weight.
TEST_F(TransitionFrames, ASliceMixesTheOtherImageOverTheBackOneByItsWeight) {
    const TransitionSlice whole = TransitionSlice::rectangle(-1, -1, 1, 1, 0, 0, 0, 1, 1);
    for (const float weight : {0.0f, 0.25f, 1.0f}) {
        const DriverLock driver; // as a transition draws inside the player's frame
        target->bind();
        glDisable(GL_DEPTH_TEST);
        glClear(GL_COLOR_BUFFER_BIT);
        const ShaderProgramObject& one = shaders->Shader_one_texture;
        one.useMe();
        Matrix4 modelView;
        matrixLoadIdentity(modelView);
        matrixTranslate(modelView, 0.0f, 0.0f, -1.0f);
        quad::setMvp(one, quad::modelViewProjection(modelView, quad::slideProjection()));
        quad::bindTexture(1, fboOne.texture());
        quad::bindTexture(2, fboTwo.texture());
        TransitionSlice slice = whole;
        slice.slicesBlendFactor = weight;
        slice.draw(one, 1, 2);
        const auto mixed = [weight](int back, int other) {
            return int(std::lround(back + (other - back) * weight));
        };
        const QRgb expected =
            qRgb(mixed(qRed(kOutgoing), qRed(kIncoming)), mixed(qGreen(kOutgoing), qGreen(kIncoming)),
                 mixed(qBlue(kOutgoing), qBlue(kIncoming)));
        EXPECT_TRUE(colourNear(readTarget().pixel(kWidth / 2, kHeight / 2), expected, 2)) << weight;
    }
}

TEST_F(TransitionFrames, MaskIndexNamesTheMaskAndAMissingMaskStillWipes) {
    SlideshowTransitionMask mask;
    {
        const DriverLock driver;
        mask.initTransition(0);
    }
    EXPECT_EQ(mask.maskNumber(), 1);
    EXPECT_EQ(SlideshowTransitionMask::maskName(1), "01");
    for (int number = 1; number <= SlideshowTransitionMask::kMaskCount; ++number)
        EXPECT_FALSE(
            platform::paths::pathForResource(SlideshowTransitionMask::maskName(number), "jpg").isEmpty());
    mask.setNTotalTransitionFrame(20);
    drawFrame(mask, 0);
    EXPECT_NE(mask.maskTextureID(), 0u);

    platform::RandomSource::setShared(std::make_shared<platform::SeededRandom>(3));
    std::set<int> drawn;
    for (int i = 0; i < 500; ++i) {
        prepare(mask);
        drawn.insert(mask.maskNumber());
    }
    EXPECT_EQ(*drawn.begin(), 1);
    EXPECT_EQ(*drawn.rbegin(), 50);

    {
        const DriverLock driver;
        mask.initTransition(70); // "71" is no resource
    }
    EXPECT_GE(shareNear(drawFrame(mask, 0), kOutgoing, 10), 0.999);
    EXPECT_EQ(mask.maskTextureID(), 0u);
    EXPECT_GE(shareNear(drawFrame(mask, 20), kIncoming, 10), 0.999);
}

TEST_F(TransitionFrames, TheMaskChangesDarkAreasFirst) {
    // Mask "01" runs from dark at one side to light at the other: half-way, one side has changed.
    SlideshowTransitionMask mask;
    mask.setNTotalTransitionFrame(20);
    for (int index : {0, 1}) {
        {
            const DriverLock driver;
            mask.initTransition(index);
        }
        const QImage maskPicture(
            platform::paths::pathForResource(SlideshowTransitionMask::maskName(index + 1), "jpg"));
        ASSERT_FALSE(maskPicture.isNull());
        const QImage frame = drawFrame(mask, 10);
        // Where the mask is darkest the incoming slide shows, where it is lightest the outgoing one.
        QPoint darkest, lightest;
        int low = 256, high = -1;
        for (int y = 5; y < kHeight - 5; y += 5)
            for (int x = 5; x < kWidth - 5; x += 5) {
                const int grey = qGray(
                    maskPicture.pixel(x * maskPicture.width() / kWidth, y * maskPicture.height() / kHeight));
                if (grey < low)
                    low = grey, darkest = QPoint(x, y);
                if (grey > high)
                    high = grey, lightest = QPoint(x, y);
            }
        EXPECT_TRUE(colourNear(frame.pixel(darkest), kIncoming, 10)) << index;
        EXPECT_TRUE(colourNear(frame.pixel(lightest), kOutgoing, 10)) << index;
    }
}

class TransitionPlayerTest : public PlayerTest {};

TEST_F(TransitionPlayerTest, TheCrossFadeBeforeEachClipStartsFromTheOutgoingSlide) {
    // Two slides whose own transitions draw through the renderers, each followed by a clip: both get the
    // cross-fade instead, and the second use starts from its outgoing slide again.
    auto clip = [&] {
        auto video = platform::makeMainThreadShared<VideoSlideItem>();
        video->customSetDurations(0.2f, 0.2f);
        return video;
    };
    auto red = photo("red.png", rendertest::solid(32, 18, Qt::red), 0.2f, 0.2f);
    auto green = photo("green.png", rendertest::solid(32, 18, Qt::green), 0.2f, 0.2f);
    for (const auto& slide : {red, green})
        slide->setTransitionInfo(TransitionManager::transitionInfo("3D", 3));
    useSlides({red, clip(), green, clip()});
    director->setSlideshowArray(project->slideshowArray());
    makeTarget(32, 18);
    // 6 photo frames and 6 transition frames per slide: the transitions start at frames 6 and 30.
    for (quint64 start : {6u, 30u}) {
        const QRgb outgoing = start == 6 ? qRgb(255, 0, 0) : qRgb(0, 255, 0);
        QImage frame = frameAt(start);
        EXPECT_EQ(director->slideTransitionObj(), director->transitionMgr()->getAlphaBlendTransition());
        EXPECT_TRUE(colourNear(frame.pixel(16, 9), outgoing)) << "first frame from " << start;
        frame = frameAt(start + 3);
        // Half-way to the clip, which shows no picture here: half the slide's colour.
        EXPECT_NEAR(qRed(frame.pixel(16, 9)) + qGreen(frame.pixel(16, 9)), 128, 4) << start;
    }
}
