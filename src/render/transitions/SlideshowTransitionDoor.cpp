#include "render/transitions/SlideshowTransitionDoor.h"

#include "render/QuadDrawing.h"
#include "render/SharedShaderPrograms.h"

#include <cmath>

namespace {

constexpr float kPi = 3.14159265358979f;
// A half-width leaf as a strip: bottom left, bottom right, top left, top right.
constexpr float kLeaf[12] = {-0.5f, -1.0f, 0.0f, 0.5f, -1.0f, 0.0f, -0.5f, 1.0f, 0.0f, 0.5f, 1.0f, 0.0f};
constexpr float kLeftLeafCoords[8] = {0.0f, 1.0f, 0.5f, 1.0f, 0.0f, 0.0f, 0.5f, 0.0f};
constexpr float kRightLeafCoords[8] = {0.5f, 1.0f, 1.0f, 1.0f, 0.5f, 0.0f, 1.0f, 0.0f};

} // namespace

SlideshowTransitionDoor::SlideshowTransitionDoor() = default;

void SlideshowTransitionDoor::drawLeaf(const ShaderProgramObject& program, float hingeX, float degrees,
                                       float shift, const float textCoor[8]) {
    matrixLoadIdentity(modelView);
    matrixTranslate(modelView, hingeX, 0.0f, -1.0f);
    matrixRotate(modelView, degrees, 0.0f, 1.0f, 0.0f);
    matrixTranslate(modelView, shift, 0.0f, 0.0f);
    mvp = quad::modelViewProjection(modelView, projection);
    quad::setMvp(program, mvp);
    const GLuint position = GLuint(program.attriValue(QStringLiteral("position")));
    const GLuint texcoord = GLuint(program.attriValue(QStringLiteral("texcoord")));
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glVertexAttribPointer(position, 3, GL_FLOAT, GL_FALSE, 0, kLeaf);
    glEnableVertexAttribArray(position);
    glVertexAttribPointer(texcoord, 2, GL_FLOAT, GL_FALSE, 0, textCoor);
    glEnableVertexAttribArray(texcoord);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    glDisableVertexAttribArray(position);
    glDisableVertexAttribArray(texcoord);
}

void SlideshowTransitionDoor::transition(int n) {
    const auto shaders = SharedShaderPrograms::current();
    if (!shaders)
        return;
    currentPos = n;
    clearForFrame();
    time = float(n) * kPi / float(nTotalTransitionFrame());
    const float h = std::sin(time / 2.0f);
    const ShaderProgramObject& program = shaders->Shader_one_texture;
    program.useMe();
    projection = quad::slideProjection();

    matrixLoadIdentity(modelView);
    matrixTranslate(modelView, 0.0f, 0.0f, -1.2f + 0.2f * h);
    mvp = quad::modelViewProjection(modelView, projection);
    quad::setMvp(program, mvp);
    drawTexture(nextTextureID(), 0, quad::kUnitPositions, quad::kMirroredTexCoords);

    quad::bindTexture(1, currentTextureID());
    glUniform1i(program.uniformValue(QStringLiteral("texture")), 1);
    const float opening = 90.0f * h * h * h;
    // Translated last, rotated, then moved to the hinge: the leaf turns about its outer edge.
    drawLeaf(program, -1.0f, opening, 0.5f, kLeftLeafCoords);
    drawLeaf(program, 1.0f, -opening, -0.5f, kRightLeafCoords);
    glActiveTexture(GL_TEXTURE0);
}
