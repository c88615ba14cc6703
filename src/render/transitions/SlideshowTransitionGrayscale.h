#pragma once

#include "render/transitions/SlideshowTransition.h"

#include <array>

// A blend through grey or through a colour tint: the outgoing image drains into the grey (or tinted) look
// over the first half and the incoming one comes out of it over the second.
class SlideshowTransitionGrayscale : public SlideshowTransition {
public:
    // The tints a colour blend goes through (r, g, b).
    static const std::array<std::array<float, 3>, 7> kColorTable;

    SlideshowTransitionGrayscale();
    bool drawsInDepth() const override { return false; } // drawn back to front
    // Draws afresh whether to go through grey (bGray 1) and which tint (a row of kColorTable).
    void initTransition() override;
    void transition(int n) override;

    float bGray() const { return gray; }
    const std::array<float, 3>& bColor() const { return color; }

private:
    float gray = 0.0f;
    std::array<float, 3> color{};
};
