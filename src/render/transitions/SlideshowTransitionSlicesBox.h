#pragma once

#include "render/transitions/SlideshowTransition.h"
#include "render/transitions/TransitionSlice.h"

#include <array>
#include <vector>

// Boxes in or out: the view cut into 8 x 6 boxes that fade to the incoming image one after the other, in an
// order drawn afresh at each preparation (`dir` 0 to 5: by columns either way, rows up or down, a spiral
// from the edge inwards, or shuffled). Each box's fade speeds up as it goes.
class SlideshowTransitionSlicesBox : public SlideshowTransition {
public:
    static constexpr int kColumns = 8;
    static constexpr int kRows = 6;
    static constexpr int kBoxes = kColumns * kRows;

    SlideshowTransitionSlicesBox();
    bool drawsInDepth() const override { return false; } // drawn back to front
    // The base's preparation, then setupData.
    void initTransition() override;
    // Frame 0 lays the boxes out again from the length in force.
    void transition(int n) override;
    // The boxes again, the fade length a quarter of the transition and a new order at random.
    void setupData();

    bool bReveal() const { return reveal; }
    float blendFrameNum() const { return blendFrames; }
    int dir() const { return direction; }
    // Box of column c and row r (row 0 at the bottom).
    const TransitionSlice& box(int column, int row) const {
        return boxs[std::size_t(column)][std::size_t(row)];
    }
    // The boxes' weights of the outgoing image as frame n draws them.
    std::vector<TransitionSlice> boxesAtFrame(int n) const;
    // The boxes (column, row) in the order in which they start to fade, for an order `dir`.
    static std::vector<std::pair<int, int>> boxOrder(int dir);

private:
    void buildBoxes();

    std::array<std::array<TransitionSlice, kRows>, kColumns> boxs{};
    std::vector<float> blendFactorArray;
    bool reveal = false;
    float blendFrames = 30.0f;
    int direction = 0;
};
