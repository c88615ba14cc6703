#pragma once

#include "render/transitions/SlideshowTransition.h"

#include <cstdint>
#include <vector>

// A cube turning by a quarter: the outgoing image on the face towards the viewer, the incoming one on the
// face that turns to the front. `ndirection` 0 to 3 picks the turn: up or down about the x axis, or either
// way about the y axis.
class SlideshowTransitionFlipOver : public SlideshowTransition {
public:
    SlideshowTransitionFlipOver();
    // Draws a new turn at random.
    void initTransition() override;
    void transition(int n) override;

    int ndirection() const { return direction; }
    // The angle of the frame drawn last, in degrees.
    float rCube() const { return angle; }
    // Adds the turn of the cube after `degrees` in a direction to a matrix.
    static void turn(Matrix4& matrix, int ndirection, float degrees);

private:
    // Texture coordinates that show both images upright on the faces where they face the viewer.
    void mapTextures();

    std::vector<float> cubeVertices;
    std::vector<float> cubeTexCoords;
    std::vector<std::uint16_t> cubeIndices;
    float angle = 0.0f;
    int direction = 0;
};
