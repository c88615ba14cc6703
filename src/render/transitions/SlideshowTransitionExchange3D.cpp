#include "render/transitions/SlideshowTransitionExchange3D.h"

#include "platform/foundation/Clock.h"
#include "render/SlideshowImageObject.h"
#include "render/StageBackground.h"

#include <cmath>

namespace {

constexpr float kPi = 3.14159265358979f;

void place(float record[9], float x, float y, float z) {
    record[0] = x;
    record[1] = y;
    record[2] = z;
}

} // namespace

SlideshowTransitionExchange3D::SlideshowTransitionExchange3D() {
    // Drawn as a sign here and as one of the five directions by every preparation.
    way = (platform::RandomSource::shared().next(2) & 1) ? 1 : -1;
    setBNeedFBO(false);
}

void SlideshowTransitionExchange3D::initTransition() {
    SlideshowTransition::initTransition();
    way = int(platform::RandomSource::shared().next(kDirections));
}

void SlideshowTransitionExchange3D::movement(int direction, float t, float m1[9], float m2[9]) {
    const float s = std::sin(t);
    const float h = std::sin(t / 2.0f);
    const float a = 1.1f * s * s * s;
    const float b = -h * h * h;
    const float c = -a;
    const float d = h * h * h - 1.0f;
    initMovement(m1);
    initMovement(m2);
    switch (direction) {
    case 0:
        place(m1, a, 0, b), place(m2, c, 0, d);
        break;
    case 1:
        place(m1, c, 0, b), place(m2, a, 0, d);
        break;
    case 2:
        place(m1, 0, a, b), place(m2, 0, c, d);
        break;
    case 3:
        place(m1, 0, c, b), place(m2, 0, a, d);
        break;
    case 4:
        place(m1, c, c, b), place(m2, a, a, d);
        break;
    default:
        break;
    }
}

void SlideshowTransitionExchange3D::transition(int n, int position) {
    currentPos = position;
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_DEPTH_TEST);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (StageBackground* background = transitionBackground())
        background->DrawOneFrame(true);
    time = float(n) * kPi / float(nTotalTransitionFrame());
    float m1[9];
    float m2[9];
    movement(way, time, m1, m2);
    if (const auto outgoing = currentSlideshow())
        outgoing->playSlideshowWithData(position, m1, 0);
    if (const auto incoming = nextSlideshow())
        incoming->playSlideshowWithData(n, m2, 1);
}
