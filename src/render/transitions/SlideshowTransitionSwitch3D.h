#pragma once

#include "render/transitions/SlideshowTransition.h"

// The two frame-buffer images swap places in depth, swinging apart sideways on the way. Complete, though
// the registry does not offer it.
class SlideshowTransitionSwitch3D : public SlideshowTransition {
public:
    SlideshowTransitionSwitch3D();
    // The base's preparation, then the side (+1 or -1) at random.
    void initTransition() override;
    void transition(int n) override;

    float direction() const { return side; }
    float animationTime() const { return time; }

private:
    void drawImage(GLuint texture, unsigned unit, float x, float z);

    float time = 0.0f;
    float side = 1.0f;
};
