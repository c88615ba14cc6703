#pragma once

#include "render/transitions/SlideshowTransition.h"

// The two slides swing apart sideways (or diagonally, `direction` 0 to 4), furthest apart at mid-transition,
// while the outgoing one recedes and the incoming one comes forward into place; both keep their own pan and
// zoom meanwhile.
class SlideshowTransitionExchange3D : public SlideshowTransition {
public:
    static constexpr int kDirections = 5;

    SlideshowTransitionExchange3D();
    // The base's preparation, then a new `direction` at random.
    void initTransition() override;
    void transition(int n, int currentPos) override;

    int direction() const { return way; }
    float animationTime() const { return time; }
    // The movement records (x, y, z first) of the outgoing and the incoming slide at t = n x pi / N.
    static void movement(int direction, float t, float outgoing[9], float incoming[9]);

private:
    float time = 0.0f;
    int way = 0;
};
