#pragma once

#include "render/transitions/SlideshowTransition.h"

// The cross-fade between the two frame-buffer images. It is also what the player puts in place of a
// transition drawn through the renderers before a video clip.
class SlideshowTransitionAlphaBlend : public SlideshowTransition {
public:
    SlideshowTransitionAlphaBlend();
    bool drawsInDepth() const override { return false; } // drawn back to front
    void initTransition() override;
    void transition(int n) override;

    // The weight of the incoming image in the frame drawn last.
    float fBlendFactor() const { return blendFactor; }

private:
    float blendFactor = 0.0f;
};
