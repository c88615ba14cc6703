#pragma once

#include "PlayerTestSupport.h"

#include "platform/foundation/Clock.h"
#include "render/FrameBufferObject.h"

#include <deque>
#include <memory>
#include <vector>

class SlideshowImageObject;
class SlideshowTransition;

namespace transitiontest {

// Random numbers from a script, then one value for ever: each answer is the value modulo the range asked
// for, as `rand() % n` would be.
class ScriptedRandom : public platform::RandomSource {
public:
    explicit ScriptedRandom(std::vector<std::uint32_t> script, std::uint32_t afterwards = 0)
        : queue(script.begin(), script.end()), fallback(afterwards) {}
    std::uint32_t next(std::uint32_t n) override {
        std::uint32_t value = fallback;
        if (!queue.empty()) {
            value = queue.front();
            queue.pop_front();
        }
        return n == 0 ? 0 : value % n;
    }

private:
    std::deque<std::uint32_t> queue;
    std::uint32_t fallback;
};

// How much of a frame shows a colour: the share of pixels within `tolerance` of it.
double shareNear(const QImage& frame, QRgb colour, int tolerance);
// Whether every pixel of the rectangle lies nearer to `to` than to `from`.
bool nearerEverywhere(const QImage& frame, const QRect& area, QRgb to, QRgb from);

} // namespace transitiontest

// Two solid slides, red going out and blue coming in, at the size of the 160 x 90 target: drawn into two
// frame buffers as the player does for transitions that need them, and held by two renderers for the ones
// that draw through them.
class TransitionTest : public PlayerTest {
protected:
    static constexpr int kWidth = 160;
    static constexpr int kHeight = 90;
    static constexpr QRgb kOutgoing = 0xffdc141e; // (220, 20, 30)
    static constexpr QRgb kIncoming = 0xff1428d2; // (20, 40, 210)

    void SetUp() override;
    void TearDown() override;

    // Prepares the transition under the driver lock, as the player does when its slide comes on.
    static void prepare(SlideshowTransition& transition);
    // Frame n of the transition into the target, read back. The transition must have its length set.
    QImage drawFrame(SlideshowTransition& transition, int n);
    // Puts two other pictures in place of the slides (both the frame buffers and the renderers).
    void holdSlides(const QImage& out, const QImage& in);
    // Sets the source of random numbers for what follows.
    void script(std::vector<std::uint32_t> values, std::uint32_t afterwards = 0);

    std::shared_ptr<SlideshowImageObject> outgoing, incoming;
    FrameBufferObject fboOne, fboTwo;
};
