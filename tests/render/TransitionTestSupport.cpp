#include "TransitionTestSupport.h"

#include "platform/gl/DriverLock.h"
#include "render/RenderGlobals.h"
#include "render/SlideshowImageObject.h"
#include "render/StageBackground.h"
#include "render/transitions/SlideshowTransition.h"

namespace transitiontest {

double shareNear(const QImage& frame, QRgb colour, int tolerance) {
    qint64 count = 0;
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x)
            count += rendertest::near(frame.pixel(x, y), colour, tolerance) ? 1 : 0;
    return double(count) / double(qint64(frame.width()) * frame.height());
}

namespace {

int distance(QRgb a, QRgb b) {
    return std::max(
        {std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

} // namespace

bool nearerEverywhere(const QImage& frame, const QRect& area, QRgb to, QRgb from) {
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (distance(frame.pixel(x, y), to) >= distance(frame.pixel(x, y), from))
                return false;
    return true;
}

} // namespace transitiontest

void TransitionTest::SetUp() {
    PlayerTest::SetUp();
    if (HasFatalFailure())
        return;
    gRenderAspectRatio = float(kWidth) / float(kHeight);
    ASSERT_TRUE(fboOne.initFBOWithWidth(kWidth, kHeight) && fboTwo.initFBOWithWidth(kWidth, kHeight));
    holdSlides(rendertest::solid(kWidth, kHeight, QColor(kOutgoing)),
               rendertest::solid(kWidth, kHeight, QColor(kIncoming)));
}

void TransitionTest::holdSlides(const QImage& out, const QImage& in) {
    static int made = 0;
    ++made;
    const auto first = photo(QString("out%1.png").arg(made), out);
    const auto second = photo(QString("in%1.png").arg(made), in);
    useSlides({first, second});
    auto holding = [&](const SlideItemRef& slide) {
        auto renderer = std::make_shared<SlideshowImageObject>();
        renderer->setBackgrondRender(director->backgroundRender());
        auto textures = SlideTextures::forSlide(slide);
        textures->ensureLoaded();
        renderer->setSlideItemData(slide, textures);
        renderer->initSlideshowParam();
        return renderer;
    };
    outgoing = holding(first);
    incoming = holding(second);
    gRenderAspectRatio = float(kWidth) / float(kHeight);
    {
        const platform::gl::DriverLock driver;
        fboOne.switchToFBO();
        outgoing->playSlideshow(0, 0, false, true);
        fboTwo.switchToFBO();
        incoming->playSlideshow(0, 1, false, true);
    }
    makeTarget(kWidth, kHeight);
}

void TransitionTest::TearDown() {
    outgoing.reset();
    incoming.reset();
    PlayerTest::TearDown();
}

void TransitionTest::script(std::vector<std::uint32_t> values, std::uint32_t afterwards) {
    platform::RandomSource::setShared(
        std::make_shared<transitiontest::ScriptedRandom>(std::move(values), afterwards));
}

void TransitionTest::prepare(SlideshowTransition& transition) {
    const platform::gl::DriverLock driver;
    transition.initTransition();
}

QImage TransitionTest::drawFrame(SlideshowTransition& transition, int n) {
    const platform::gl::DriverLock driver; // as the player draws a frame
    target->bind();
    gRenderAspectRatio = float(kWidth) / float(kHeight);
    transition.setTransitionBackground(director->backgroundRender().get());
    transition.setCurrentSlideshow(outgoing);
    transition.setNextSlideshow(incoming);
    transition.setCurrentTextureID(fboOne.texture());
    transition.setNextTextureID(fboTwo.texture());
    if (transition.bNeedFBO())
        transition.transition(n);
    else
        transition.transition(n, n + 30);
    return readTarget();
}
