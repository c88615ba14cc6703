#include "render/transitions/SlideshowTransition3DMove.h"

#include "platform/foundation/Clock.h"
#include "render/SlideshowImageObject.h"
#include "render/StageBackground.h"

namespace {

constexpr float kEpsilon = 5e-9f;

void place(float record[9], float x, float y, float z) {
    record[0] = x;
    record[1] = y;
    record[2] = z;
}

} // namespace

SlideshowTransition3DMove::SlideshowTransition3DMove()
    : direction(int(platform::RandomSource::shared().next(kDirections))) {
    setBNeedFBO(false);
}

void SlideshowTransition3DMove::initTransition() {
    SlideshowTransition::initTransition();
    direction = int(platform::RandomSource::shared().next(kDirections));
}

void SlideshowTransition3DMove::movement(int dir, float q, float m1[9], float m2[9]) {
    initMovement(m1);
    initMovement(m2);
    switch (dir) {
    case 0:
        place(m1, 3 * q, 0, -0.2f * q), place(m2, 3 * q - 3, 0, 0);
        break;
    case 1:
    case 2:
        place(m1, 0, 3 * q, -0.2f * q), place(m2, 0, 3 * q - 3, 0);
        break;
    case 3:
        place(m1, 0, -3 * q, -0.2f * q), place(m2, 0, 3 - 3 * q, 0);
        break;
    case 4:
        place(m1, 4 * q, 0, -1.5f * q), place(m2, 4 * q - 4, 0, kEpsilon);
        break;
    case 5:
        place(m1, -4 * q, 0, -1.5f * q), place(m2, 4 - 4 * q, 0, kEpsilon);
        break;
    case 6:
        place(m1, 0, -4 * q, -1.5f * q), place(m2, 0, 4 - 4 * q, kEpsilon);
        break;
    case 7:
        place(m1, 0, 4 * q, -1.5f * q), place(m2, 0, 4 * q - 4, kEpsilon);
        break;
    case 8:
        place(m1, 4 * q, 0, kEpsilon), place(m2, 0, 0, 1.5f - 1.5f * q);
        break;
    case 9:
        place(m1, -3 * q, 0, kEpsilon), place(m2, 0, 0, 1.5f - 1.5f * q);
        break;
    case 10:
        place(m1, 0, 3 * q, kEpsilon), place(m2, 0, 0, 1.5f - 1.5f * q);
        break;
    case 11:
        place(m1, 0, -3 * q, kEpsilon), place(m2, 0, 0, 1.5f - 1.5f * q);
        break;
    default:
        break;
    }
}

void SlideshowTransition3DMove::transition(int n, int position) {
    currentPos = position;
    clearForFrame();
    if (StageBackground* background = transitionBackground())
        background->DrawOneFrame(true);
    float m1[9];
    float m2[9];
    movement(direction, progress(n), m1, m2);
    if (const auto outgoing = currentSlideshow())
        outgoing->playSlideshowWithData(position, m1, 0);
    if (const auto incoming = nextSlideshow())
        incoming->playSlideshowWithData(n, m2, 1);
}
