#pragma once

#include "render/transitions/SlideshowTransition.h"

#include <array>

// The outgoing image breaks into 4 x 6 tiles that start to fall at random, bottom rows first, faster and
// faster, uncovering the incoming image. Complete, though the registry does not offer it; how far the
// tiles have fallen is state that advances with every frame drawn.
class SlideshowTransitionFallDown : public SlideshowTransition {
public:
    static constexpr int kColumns = 4;
    static constexpr int kRows = 6;

    SlideshowTransitionFallDown();
    bool drawsInDepth() const override { return false; } // drawn back to front
    // The base's preparation; every tile back in place.
    void initTransition() override;
    void transition(int n) override;

    // How far the tile of column c and row r (row 0 at the bottom) has fallen, and its speed.
    float yOut(int column, int row) const { return fallen[std::size_t(column)][std::size_t(row)]; }
    float dyOut(int column, int row) const { return speed[std::size_t(column)][std::size_t(row)]; }
    int fallingTiles() const;

private:
    void buildTiles();
    void advanceTiles();

    // Per tile four corners of two floats: positions and texture coordinates.
    std::array<std::array<std::array<float, 8>, kRows>, kColumns> vertices{};
    std::array<std::array<std::array<float, 8>, kRows>, kColumns> texcoords{};
    std::array<std::array<float, kRows>, kColumns> fallen{};
    std::array<std::array<float, kRows>, kColumns> speed{};
};
