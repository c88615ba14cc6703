#pragma once

#include "render/transitions/SlideshowTransition.h"
#include "render/transitions/TransitionSlice.h"

#include <vector>

// The slices wipe: the view cut into bands (8 across or 12 side by side) that leave one after the other,
// fading as they go (the remove effect), or come into place one after the other (the reveal effect). The
// variant (effect, orientation and order, `dir` 0 to 5) is drawn afresh at each preparation.
class SlideshowTransitionSlices : public SlideshowTransition {
public:
    SlideshowTransitionSlices();
    bool drawsInDepth() const override { return false; } // drawn back to front
    // The base's preparation, then a new variant.
    void initTransition() override;
    void transition(int n) override;
    // Draws the variant at random and lays out the bands.
    void setupData();

    bool bReveal() const { return reveal; }
    bool bAnimateVertical() const { return vertical; }
    int dir() const { return direction; }
    int sliceNum() const { return int(slices.size()); }
    const std::vector<int>& indexArray() const { return order; }
    // The bands where they stand at the start, before any movement.
    const std::vector<TransitionSlice>& homeSlices() const { return slices; }
    // The bands as frame n of the current length draws them. The movement per frame is worked out from the
    // length at the time of drawing, so a length set after the preparation is honoured.
    std::vector<TransitionSlice> slicesAtFrame(int n) const;

private:
    void createVertsAndTextcoors();
    TransitionSlice animated(const TransitionSlice& home, int n, float step) const;

    std::vector<TransitionSlice> slices;
    std::vector<int> order;
    int direction = 0;
    bool vertical = false;
    bool reveal = false;
};
