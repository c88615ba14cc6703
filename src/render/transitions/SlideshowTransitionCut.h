#pragma once

#include "render/transitions/SlideshowTransition.h"

// The direct cut: the outgoing slide to the middle of the transition, the incoming one from there on, both
// still in motion. It goes through the player's frame buffers like the blends do.
class SlideshowTransitionCut : public SlideshowTransition {
public:
    SlideshowTransitionCut();
    void transition(int n) override;
};
