#include "render/transitions/SlideshowTransitionSwitch3D.h"

#include "platform/foundation/Clock.h"
#include "render/QuadDrawing.h"
#include "render/SharedShaderPrograms.h"
#include "render/StageBackground.h"

#include <cmath>

namespace {

constexpr float kPi = 3.14159265358979f;

float randomSide() {
    return platform::RandomSource::shared().next(2) == 1 ? 1.0f : -1.0f;
}

} // namespace

SlideshowTransitionSwitch3D::SlideshowTransitionSwitch3D() : side(randomSide()) {}

void SlideshowTransitionSwitch3D::initTransition() {
    SlideshowTransition::initTransition();
    side = randomSide();
}

void SlideshowTransitionSwitch3D::drawImage(GLuint texture, unsigned unit, float x, float z) {
    const auto shaders = SharedShaderPrograms::current();
    matrixLoadIdentity(modelView);
    matrixTranslate(modelView, x, 0.0f, z);
    mvp = quad::modelViewProjection(modelView, projection);
    quad::setMvp(shaders->Shader_one_texture, mvp);
    drawTexture(texture, unit, quad::kUnitPositions, quad::kMirroredTexCoords);
}

void SlideshowTransitionSwitch3D::transition(int n) {
    const auto shaders = SharedShaderPrograms::current();
    if (!shaders)
        return;
    currentPos = n;
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_DEPTH_TEST);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (StageBackground* background = transitionBackground())
        background->DrawOneFrame(true);
    shaders->Shader_one_texture.useMe();
    time = float(n) * kPi / float(nTotalTransitionFrame());
    const float s = std::sin(time);
    const float h = std::sin(time / 2.0f);
    matrixLoadIdentity(projection);
    matrixFrustum(projection, -1.0f, 1.0f, -1.0f, 1.0f, 1.0f, 100.0f);
    drawImage(currentTextureID(), 1, 1.1f * side * s * s * s, -1.0f - h * h * h);
    drawImage(nextTextureID(), 0, -1.1f * side * s * s * s, h * h * h - 2.0f);
    glActiveTexture(GL_TEXTURE0);
}
