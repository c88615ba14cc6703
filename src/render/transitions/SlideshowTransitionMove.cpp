#include "render/transitions/SlideshowTransitionMove.h"

#include "platform/foundation/Clock.h"
#include "render/QuadDrawing.h"
#include "render/SharedShaderPrograms.h"

SlideshowTransitionMove::SlideshowTransitionMove()
    : direction(int(platform::RandomSource::shared().next(kDirections))) {}

void SlideshowTransitionMove::initTransition() {
    SlideshowTransition::initTransition();
    direction = int(platform::RandomSource::shared().next(kDirections));
}

void SlideshowTransitionMove::drawImage(GLuint texture, unsigned unit, float dx, float dy) {
    const auto shaders = SharedShaderPrograms::current();
    matrixLoadIdentity(modelView);
    matrixTranslate(modelView, dx, dy, -1.0f);
    mvp = quad::modelViewProjection(modelView, projection);
    quad::setMvp(shaders->Shader_one_texture, mvp);
    drawTexture(texture, unit, quad::kUnitPositions, quad::kMirroredTexCoords);
}

void SlideshowTransitionMove::transition(int n) {
    const auto shaders = SharedShaderPrograms::current();
    if (!shaders)
        return;
    currentPos = n;
    clearForFrame();
    // Side by side at the same depth: whichever is drawn later lies on top.
    glDisable(GL_DEPTH_TEST);
    shaders->Shader_one_texture.useMe();
    projection = quad::slideProjection();
    const float d = 2.0f * progress(n);
    float current[2] = {0.0f, 0.0f};
    float next[2] = {0.0f, 0.0f};
    switch (direction) {
    case 0:
        current[0] = d, next[0] = d - 2;
        break;
    case 1:
    case 2:
        current[1] = d, next[1] = d - 2;
        break;
    case 3:
        current[1] = -d, next[1] = 2 - d;
        break;
    case 4:
        next[0] = d - 2;
        break;
    case 5:
        next[0] = 2 - d;
        break;
    case 6:
        next[1] = 2 - d;
        break;
    case 7:
        next[1] = d - 2;
        break;
    case 8:
        current[0] = d;
        break;
    case 9:
        current[0] = -d;
        break;
    case 10:
        current[1] = d;
        break;
    case 11:
        current[1] = -d;
        break;
    default:
        break;
    }
    const bool outgoingOnTop = direction >= 8;
    if (outgoingOnTop) {
        drawImage(nextTextureID(), 1, next[0], next[1]);
        drawImage(currentTextureID(), 0, current[0], current[1]);
    } else {
        drawImage(currentTextureID(), 0, current[0], current[1]);
        drawImage(nextTextureID(), 1, next[0], next[1]);
    }
    glEnable(GL_DEPTH_TEST);
    glActiveTexture(GL_TEXTURE0);
}
