#pragma once

#include "render/transitions/SlideshowTransition.h"

// Both slides moved in depth and across while their own pan and zoom go on: the incoming slide pushes the
// outgoing one out of the view while the outgoing one sinks back (`dir` 0 to 7, by side), or the outgoing
// one slides away while the incoming one comes from in front of the view (`dir` 8 to 11).
class SlideshowTransition3DMove : public SlideshowTransition {
public:
    static constexpr int kDirections = 12;

    SlideshowTransition3DMove();
    // The base's preparation, then a new `dir` at random.
    void initTransition() override;
    void transition(int n, int currentPos) override;

    int dir() const { return direction; }
    void setDir(int value) { direction = value; }
    // The movement records (x, y, z first) of the outgoing and the incoming slide at q = n / N.
    static void movement(int dir, float q, float outgoing[9], float incoming[9]);

private:
    int direction = 0;
};
