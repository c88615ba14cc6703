#include "render/transitions/TransitionSlice.h"

#include "render/QuadDrawing.h"
#include "render/ShaderProgramObject.h"

#include <algorithm>

TransitionSlice TransitionSlice::rectangle(float x0, float y0, float x1, float y1, float z, float s0,
                                           float t0, float s1, float t1) {
    TransitionSlice slice;
    const float verts[12] = {x0, y1, z, x0, y0, z, x1, y0, z, x1, y1, z};
    const float coords[8] = {s0, t0, s0, t1, s1, t1, s1, t0};
    std::copy(std::begin(verts), std::end(verts), slice.verts);
    std::copy(std::begin(coords), std::end(coords), slice.textCoor);
    return slice;
}

TransitionSlice TransitionSlice::movedBy(float dx, float dy) const {
    TransitionSlice moved = *this;
    for (int i = 0; i < 4; ++i) {
        moved.verts[i * 3] += dx;
        moved.verts[i * 3 + 1] += dy;
        // The image spans the view's 2 units with 1 unit of texture, t growing downwards.
        moved.textCoor[i * 2] += dx / 2.0f;
        moved.textCoor[i * 2 + 1] -= dy / 2.0f;
    }
    return moved;
}

void TransitionSlice::draw(const ShaderProgramObject& program, unsigned backUnit, unsigned otherUnit) const {
    float positions[12];
    float coords[8];
    float screenCoords[8];
    for (int i = 0; i < 4; ++i) {
        const float x = std::clamp(verts[i * 3], -1.0f, 1.0f);
        const float y = std::clamp(verts[i * 3 + 1], -1.0f, 1.0f);
        positions[i * 3] = x;
        positions[i * 3 + 1] = y;
        positions[i * 3 + 2] = verts[i * 3 + 2];
        coords[i * 2] = std::clamp(textCoor[i * 2], 0.0f, 1.0f);
        coords[i * 2 + 1] = std::clamp(textCoor[i * 2 + 1], 0.0f, 1.0f);
        screenCoords[i * 2] = (x + 1.0f) / 2.0f;
        screenCoords[i * 2 + 1] = 1.0f - (y + 1.0f) / 2.0f;
    }
    const float weight = std::clamp(slicesBlendFactor, 0.0f, 1.0f);
    const GLint texture = program.uniformValue(QStringLiteral("texture"));
    if (weight < 1.0f) {
        glDisable(GL_BLEND); // the back image is opaque where it is drawn
        glUniform1i(texture, GLint(backUnit));
        quad::drawFan(program, positions, coords);
    }
    if (weight > 0.0f) {
        if (weight < 1.0f)
            quad::blendAtWeight(weight);
        else
            glDisable(GL_BLEND);
        glUniform1i(texture, GLint(otherUnit));
        quad::drawFan(program, positions, screenCoords);
    }
    quad::blendBySourceAlpha();
}
