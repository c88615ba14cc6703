#include "PlayerTestSupport.h"

// The one mapping from frames to slides. These cases need no GL but share the player's project set-up.
class SlideFramePositionTest : public PlayerTest {
protected:
    // Two slides of 4 s + 2 s (120 + 60 frames) with 1 s fades (30 frames): 360 frames in all.
    std::vector<SlideItemRef> twoSlides(float fade = 1.0f) {
        project->setFltSlideshowFadeIn(fade);
        project->setFltSlideshowFadeOut(fade);
        auto slides = std::vector<SlideItemRef>{photo("a.png", rendertest::solid(4, 4, Qt::red), 4, 2),
                                                photo("b.png", rendertest::solid(4, 4, Qt::blue), 4, 2)};
        useSlides(slides);
        return slides;
    }
    SlideFramePosition at(quint64 frame, const std::vector<SlideItemRef>& slides) {
        return SlideshowDirector::CS_GetSlideIndexFromCurrentFrame(frame, slides);
    }
};

TEST_F(SlideFramePositionTest, TheFadeInBelongsToTheFirstSlide) {
    const auto slides = twoSlides();
    EXPECT_EQ(project->totalFrameCountFromArray(slides), 360u);
    for (quint64 f : {0u, 29u}) {
        const auto r = at(f, slides);
        EXPECT_TRUE(r.inFadeIn);
        EXPECT_FALSE(r.inPhoto);
        EXPECT_EQ(r.slideIndex, 0u);
        EXPECT_EQ(r.frameInSlide, 0u);
    }
    EXPECT_TRUE(at(10, {}).inFadeIn) << "also without slides";
}

TEST_F(SlideFramePositionTest, PhotoAndTransitionPartsAtTheirBoundaries) {
    const auto slides = twoSlides();
    auto r = at(30, slides);
    EXPECT_FALSE(r.inFadeIn);
    EXPECT_TRUE(r.inPhoto);
    EXPECT_EQ(r.slideIndex, 0u);
    EXPECT_EQ(r.frameInSlide, 30u); // the motion began with the fade-in
    EXPECT_EQ(r.frameFromPhotoStart, 0u);
    EXPECT_EQ(r.photoFrames, 120u);
    EXPECT_EQ(r.transitionFrames, 60u);

    r = at(149, slides);
    EXPECT_TRUE(r.inPhoto);
    EXPECT_EQ(r.frameFromPhotoStart, 119u);

    r = at(150, slides);
    EXPECT_FALSE(r.inPhoto);
    EXPECT_EQ(r.slideIndex, 0u);
    EXPECT_EQ(r.frameInTransition, 0u);
    EXPECT_EQ(r.framesLeftInTransition, 60u);
    EXPECT_EQ(r.frameInSlide, 150u);

    r = at(209, slides);
    EXPECT_FALSE(r.inPhoto);
    EXPECT_EQ(r.frameInTransition, 59u);
    EXPECT_EQ(r.framesLeftInTransition, 1u);

    r = at(210, slides);
    EXPECT_TRUE(r.inPhoto);
    EXPECT_EQ(r.slideIndex, 1u);
    EXPECT_EQ(r.frameInSlide, 60u); // slide 1's motion began with the transition into it
    EXPECT_EQ(r.frameFromPhotoStart, 0u);

    r = at(329, slides);
    EXPECT_TRUE(r.inPhoto);
    EXPECT_EQ(r.slideIndex, 1u);
}

TEST_F(SlideFramePositionTest, TheLastFramesAreTheFadeOutOfTheLastSlideAndSoIsEverythingAfter) {
    const auto slides = twoSlides();
    for (quint64 f : {330u, 359u, 360u, 5000u}) {
        const auto r = at(f, slides);
        EXPECT_TRUE(r.inFadeOut) << f;
        EXPECT_EQ(r.slideIndex, 1u);
        EXPECT_FALSE(r.inPhoto);
    }
}

TEST_F(SlideFramePositionTest, WithoutFadesTheShowStartsInThePhotoAndFramesBeyondMapToSlideZero) {
    const auto slides = twoSlides(0.0f);
    auto r = at(0, slides);
    EXPECT_TRUE(r.inPhoto);
    EXPECT_FALSE(r.inFadeIn);
    EXPECT_EQ(r.frameInSlide, 0u);
    EXPECT_EQ(project->totalFrameCountFromArray(slides), 300u);
    r = at(300, slides); // slide 1's transition lies outside the show but still maps to it
    EXPECT_EQ(r.slideIndex, 1u);
    EXPECT_FALSE(r.inPhoto);
    r = at(360, slides);
    EXPECT_EQ(r.slideIndex, 0u);
    EXPECT_TRUE(r.inPhoto);
    EXPECT_EQ(r.frameInSlide, 0u);
    r = at(0, {});
    EXPECT_TRUE(r.inPhoto);
    EXPECT_EQ(r.slideIndex, 0u);
}

TEST_F(SlideFramePositionTest, TheInstanceTwinAnswersTheSame) {
    const auto slides = twoSlides();
    for (quint64 f : {0u, 150u, 210u, 340u}) {
        const auto a = at(f, slides), b = director->getSlideIndexFromCurrentFrame(f, slides);
        EXPECT_EQ(a.slideIndex, b.slideIndex);
        EXPECT_EQ(a.frameInSlide, b.frameInSlide);
        EXPECT_EQ(a.inFadeOut, b.inFadeOut);
    }
}
