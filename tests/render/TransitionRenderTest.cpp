#include "TransitionTestSupport.h"

#include "platform/gl/DriverLock.h"
#include "render/transitions/SlideshowTransitionFallDown.h"
#include "render/transitions/SlideshowTransitionMove.h"
#include "render/transitions/SlideshowTransitionSwitch3D.h"
#include "render/transitions/TransitionManager.h"

#include <sstream>
#include <string>

using transitiontest::nearerEverywhere;
using transitiontest::shareNear;

namespace {

constexpr int kFrames = 30;

struct Variant {
    std::vector<std::uint32_t> script;
    std::uint32_t afterwards = 0;
};

std::vector<Variant> counting(std::uint32_t count) {
    std::vector<Variant> variants;
    for (std::uint32_t v = 0; v < count; ++v)
        variants.push_back({{v}, v});
    return variants;
}

// Every random variant of a registry entry, as the scripts of random numbers that prepare it.
std::vector<Variant> variantsOf(int entry) {
    switch (entry) {
    case TransitionManager::k3DMove:
        return counting(12);
    case TransitionManager::kFlipOver:
        return counting(4);
    case TransitionManager::kExchange3D:
        return counting(5);
    case TransitionManager::kSlicesBox:
        return counting(6);
    case TransitionManager::kMask:
        return counting(50);
    case TransitionManager::kSlices: {
        std::vector<Variant> variants;
        for (std::uint32_t reveal = 0; reveal < 2; ++reveal)
            for (std::uint32_t vertical = 0; vertical < 2; ++vertical)
                for (std::uint32_t dir = 0; dir < 6; ++dir)
                    variants.push_back({{reveal, vertical, dir}, 1}); // 1 afterwards: the shuffle moves bands
        return variants;
    }
    case TransitionManager::kGrayscale: {
        std::vector<Variant> variants;
        for (std::uint32_t gray = 0; gray < 2; ++gray)
            for (std::uint32_t tint = 0; tint < 7; ++tint)
                variants.push_back({{gray, tint}, 0});
        return variants;
    }
    default:
        return {Variant{}};
    }
}

std::string describe(int entry, const Variant& variant) {
    std::ostringstream text;
    text << "entry " << entry << ", random";
    for (std::uint32_t v : variant.script)
        text << " " << v;
    return text.str();
}

} // namespace

// Every transition of the registry, in every random variant, over 30 frames between a red and a blue slide.
class RegistryEntryRenders : public TransitionTest, public ::testing::WithParamInterface<int> {
protected:
    // Frame 0 is the outgoing slide, some middle frame is neither slide, the last frame is the incoming slide
    // but for its edges, and the frame the transition leads to (frame N) is the incoming slide exactly.
    void expectAWayFromOutgoingToIncoming(SlideshowTransition& transition, const std::string& what) {
        const QImage first = drawFrame(transition, 0);
        EXPECT_GE(shareNear(first, kOutgoing, 10), 0.999) << what << ": frame 0";
        bool mixed = false;
        for (int n = kFrames / 4; n <= 3 * kFrames / 4 && !mixed; ++n) {
            const QImage middle = drawFrame(transition, n);
            mixed = shareNear(middle, kOutgoing, 24) < 0.9 && shareNear(middle, kIncoming, 24) < 0.9;
        }
        EXPECT_TRUE(mixed) << what << ": no middle frame mixes the two";
        const QImage last = drawFrame(transition, kFrames - 1);
        EXPECT_GE(shareNear(last, kIncoming, 24), 0.9) << what << ": last frame";
        EXPECT_TRUE(nearerEverywhere(last, QRect(16, 9, kWidth - 32, kHeight - 18), kIncoming, kOutgoing))
            << what << ": last frame";
        EXPECT_GE(shareNear(drawFrame(transition, kFrames), kIncoming, 10), 0.999) << what << ": frame N";
    }
};

TEST_P(RegistryEntryRenders, FromTheOutgoingToTheIncomingSlideInEveryVariant) {
    TransitionManager manager;
    ASSERT_EQ(manager.transitionArray().size(), std::size_t(TransitionManager::kEntryCount));
    const auto& transition = manager.transitionArray()[std::size_t(GetParam())];
    for (const Variant& variant : variantsOf(GetParam())) {
        transition->setNTotalTransitionFrame(kFrames);
        script(variant.script, variant.afterwards);
        prepare(*transition);
        expectAWayFromOutgoingToIncoming(*transition, describe(GetParam(), variant));
    }
}

TEST_P(RegistryEntryRenders, ShowsBothSlidesUprightInEveryVariant) {
    // Red top left, green top right, blue bottom left, white bottom right, in and out.
    holdSlides(rendertest::quarters(kWidth, kHeight), rendertest::quarters(kWidth, kHeight));
    TransitionManager manager;
    const auto& transition = manager.transitionArray()[std::size_t(GetParam())];
    for (const Variant& variant : variantsOf(GetParam())) {
        transition->setNTotalTransitionFrame(kFrames);
        script(variant.script, variant.afterwards);
        prepare(*transition);
        for (int n : {0, kFrames}) {
            const QImage frame = drawFrame(*transition, n);
            const std::string what = describe(GetParam(), variant) + ", frame " + std::to_string(n);
            EXPECT_TRUE(rendertest::colourNear(frame.pixel(40, 22), qRgb(255, 0, 0), 10)) << what;
            EXPECT_TRUE(rendertest::colourNear(frame.pixel(120, 22), qRgb(0, 255, 0), 10)) << what;
            EXPECT_TRUE(rendertest::colourNear(frame.pixel(40, 67), qRgb(0, 0, 255), 10)) << what;
            EXPECT_TRUE(rendertest::colourNear(frame.pixel(120, 67), qRgb(255, 255, 255), 10)) << what;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllNine, RegistryEntryRenders,
                         ::testing::Range(0, int(TransitionManager::kEntryCount)));

using HeldBackTransitions = RegistryEntryRenders;

TEST_F(HeldBackTransitions, MoveAndSwitchRunFromSlideToSlideInEveryVariant) {
    SlideshowTransitionMove move;
    move.setNTotalTransitionFrame(kFrames);
    for (std::uint32_t dir = 0; dir < SlideshowTransitionMove::kDirections; ++dir) {
        script({dir});
        prepare(move);
        ASSERT_EQ(move.dir(), int(dir));
        expectAWayFromOutgoingToIncoming(move, "move " + std::to_string(dir));
    }
    SlideshowTransitionSwitch3D swap;
    swap.setNTotalTransitionFrame(kFrames);
    for (std::uint32_t side = 0; side < 2; ++side) {
        script({side});
        prepare(swap);
        EXPECT_EQ(swap.direction(), side == 1 ? 1.0f : -1.0f);
        expectAWayFromOutgoingToIncoming(swap, "switch " + std::to_string(side));
    }
}

TEST_F(HeldBackTransitions, FallingTilesUncoverTheIncomingSlideAndStandAgainForTheNextUse) {
    SlideshowTransitionFallDown fall;
    fall.setNTotalTransitionFrame(kFrames);
    script({}, 99); // a new tile starts on every frame
    prepare(fall);
    EXPECT_GE(shareNear(drawFrame(fall, 0), kOutgoing, 10), 0.999);
    int falling = fall.fallingTiles();
    EXPECT_EQ(falling, 1);
    QImage frame;
    for (int n = 1; n < kFrames; ++n) {
        frame = drawFrame(fall, n);
        EXPECT_GE(fall.fallingTiles(), falling);
        falling = fall.fallingTiles();
    }
    // The bottom rows went first.
    EXPECT_GT(fall.yOut(0, 0), fall.yOut(0, 5));
    EXPECT_TRUE(rendertest::colourNear(frame.pixel(80, 85), kIncoming, 10));
    EXPECT_GT(shareNear(frame, kIncoming, 24), 0.2);
    EXPECT_GT(shareNear(frame, kOutgoing, 24), 0.2);

    prepare(fall);
    EXPECT_EQ(fall.fallingTiles(), 0);
    EXPECT_EQ(fall.yOut(0, 0), 0.0f);
    script({}, 0); // and never again
    EXPECT_GE(shareNear(drawFrame(fall, 0), kOutgoing, 10), 0.999);
}

// The player gives a transition's frames a depth buffer only when it says its pictures meet in depth; the
// others must look the same without one.
TEST_F(HeldBackTransitions, TheFlatOnesLookTheSameWithoutADepthBuffer) {
    TransitionManager manager;
    std::vector<std::pair<SlideshowTransition*, std::string>> flat;
    for (std::size_t i = 0; i < manager.transitionArray().size(); ++i)
        flat.emplace_back(manager.transitionArray()[i].get(), "entry " + std::to_string(i));
    SlideshowTransitionMove move;
    SlideshowTransitionFallDown fall;
    flat.emplace_back(&move, "move");
    flat.emplace_back(&fall, "fall");
    std::erase_if(flat, [](const auto& entry) { return entry.first->drawsInDepth(); });
    ASSERT_EQ(flat.size(), 7u);
    for (const auto& [transition, what] : flat) {
        const auto frameWith = [&, transition = transition](bool depth) {
            transition->setNTotalTransitionFrame(kFrames);
            script({0, 1, 2}, 1);
            prepare(*transition);
            {
                const platform::gl::DriverLock driver;
                target->setDepthAttached(depth);
            }
            drawFrame(*transition, kFrames / 4); // the falling tiles move on with each frame drawn
            return drawFrame(*transition, kFrames / 3);
        };
        const QImage deep = frameWith(true), flatFrame = frameWith(false);
        EXPECT_LT(shareNear(deep, kIncoming, 10), 0.99) << what << ": the frame is mid-way";
        bool same = true;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                same = same && rendertest::near(deep.pixel(x, y), flatFrame.pixel(x, y), 3);
        EXPECT_TRUE(same) << what;
    }
}
