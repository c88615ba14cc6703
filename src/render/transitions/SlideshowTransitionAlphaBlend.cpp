#include "render/transitions/SlideshowTransitionAlphaBlend.h"

#include "render/QuadDrawing.h"
#include "render/SharedShaderPrograms.h"

#include <algorithm>

SlideshowTransitionAlphaBlend::SlideshowTransitionAlphaBlend() {
    SlideshowTransitionAlphaBlend::initTransition();
}

void SlideshowTransitionAlphaBlend::initTransition() {
    blendFactor = 0.0f;
}

void SlideshowTransitionAlphaBlend::transition(int n) {
    const auto shaders = SharedShaderPrograms::current();
    if (!shaders)
        return;
    currentPos = n;
    // The weight follows the frame number rather than the count of calls, so a play that starts or skips
    // frames inside a transition blends from where it stands and still ends on the incoming image.
    blendFactor = std::clamp(progress(n), 0.0f, 1.0f);
    clearForFrame();
    loadFrameBufferMatrices();
    // The outgoing picture copied, the incoming one blended over it at the weight: the same mix as one
    // two-texture pass, but both draws are plain pictures, which the rasteriser draws several times faster.
    const ShaderProgramObject& program = shaders->Shader_one_texture;
    program.useMe();
    quad::setMvp(program, mvp);
    // Both at the same depth: the second must not be held back by the first.
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    drawTexture(currentTextureID(), 0, quad::kUnitPositions, quad::kMirroredTexCoords);
    quad::blendAtWeight(blendFactor);
    drawTexture(nextTextureID(), 1, quad::kUnitPositions, quad::kMirroredTexCoords);
    quad::blendBySourceAlpha();
    glEnable(GL_DEPTH_TEST);
    glActiveTexture(GL_TEXTURE0);
}
