#pragma once

#include "render/transitions/SlideshowTransition.h"

// The two frame-buffer images pushed across the view (`dir` 0 to 3), the incoming one sliding over the
// still outgoing one (4 to 7), or the outgoing one sliding off the still incoming one (8 to 11). Complete,
// though the registry does not offer it.
class SlideshowTransitionMove : public SlideshowTransition {
public:
    static constexpr int kDirections = 12;

    SlideshowTransitionMove();
    bool drawsInDepth() const override { return false; } // drawn back to front
    // The base's preparation, then a new `dir` at random.
    void initTransition() override;
    void transition(int n) override;

    int dir() const { return direction; }
    void setDir(int value) { direction = value; }

private:
    void drawImage(GLuint texture, unsigned unit, float dx, float dy);

    int direction = 0;
};
