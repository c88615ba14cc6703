#include "render/transitions/SlideshowTransitionGrayscale.h"

#include "platform/foundation/Clock.h"
#include "render/QuadDrawing.h"
#include "render/SharedShaderPrograms.h"

const std::array<std::array<float, 3>, 7> SlideshowTransitionGrayscale::kColorTable = {{
    {1.2f, 1.0f, 0.8f},
    {0.3f, 1.8f, 0.3f},
    {1.8f, 1.8f, 0.3f},
    {0.3f, 0.3f, 1.8f},
    {1.8f, 0.3f, 0.3f},
    {1.8f, 0.3f, 1.8f},
    {0.3f, 1.8f, 1.8f},
}};

SlideshowTransitionGrayscale::SlideshowTransitionGrayscale() {
    SlideshowTransitionGrayscale::initTransition();
}

void SlideshowTransitionGrayscale::initTransition() {
    auto& random = platform::RandomSource::shared();
    gray = float(random.next(2));
    color = kColorTable[random.next(std::uint32_t(kColorTable.size()))];
}

void SlideshowTransitionGrayscale::transition(int n) {
    const auto shaders = SharedShaderPrograms::current();
    if (!shaders)
        return;
    currentPos = n;
    clearForFrame();
    loadFrameBufferMatrices();
    const ShaderProgramObject& program = shaders->Shader_one_gray_texture;
    program.useMe();
    quad::setMvp(program, mvp);
    glUniform1f(program.uniformValue(QStringLiteral("bGray")), gray);
    glUniform1f(program.uniformValue(QStringLiteral("total")), 1.0f);
    glUniform1f(program.uniformValue(QStringLiteral("current")), progress(n));
    glUniform3f(program.uniformValue(QStringLiteral("colorBlend")), color[0], color[1], color[2]);
    quad::bindTexture(0, currentTextureID());
    glUniform1i(program.uniformValue(QStringLiteral("texture")), 0);
    quad::bindTexture(1, nextTextureID());
    glUniform1i(program.uniformValue(QStringLiteral("texture1")), 1);
    quad::drawFan(program, quad::kUnitPositions, quad::kMirroredTexCoords, quad::kMirroredTexCoords);
    glActiveTexture(GL_TEXTURE0);
}
