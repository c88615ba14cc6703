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
    const ShaderProgramObject& program = shaders->Shader_two_texture;
    program.useMe();
    quad::setMvp(program, mvp);
    glUniform1f(program.uniformValue(QStringLiteral("blendRato")), blendFactor);
    quad::bindTexture(0, currentTextureID());
    glUniform1i(program.uniformValue(QStringLiteral("texture")), 0);
    quad::bindTexture(1, nextTextureID());
    glUniform1i(program.uniformValue(QStringLiteral("texture1")), 1);
    quad::drawFan(program, quad::kUnitPositions, quad::kMirroredTexCoords, quad::kMirroredTexCoords);
    glActiveTexture(GL_TEXTURE0);
}
