#include "render/transitions/SlideshowTransitionMask.h"

#include "platform/foundation/Clock.h"
#include "platform/foundation/StandardPaths.h"
#include "platform/gl/ShareGroup.h"
#include "render/QuadDrawing.h"
#include "render/SharedShaderPrograms.h"

#include <algorithm>

SlideshowTransitionMask::SlideshowTransitionMask() {
    SlideshowTransitionMask::initTransition();
}

QString SlideshowTransitionMask::maskName(int number) {
    return QStringLiteral("%1").arg(number, 2, 10, QLatin1Char('0'));
}

void SlideshowTransitionMask::initTransition() {
    initTransition(int(platform::RandomSource::shared().next(kMaskCount)));
}

void SlideshowTransitionMask::initTransition(int index) {
    blendFactor = 0.0f;
    wantedMask = index + 1;
}

void SlideshowTransitionMask::ensureMaskTexture() {
    const auto group = platform::gl::ShareGroup::current();
    if (loadedMask == wantedMask && maskTexture && loadedIn.lock() == group)
        return;
    // The mask is decoded on the drawing thread's context so that it lives in the share group that draws
    // it; a mask that cannot be read leaves no texture and the wipe draws on regardless.
    maskTexture = std::make_unique<TextureObject>();
    const QString path = platform::paths::pathForResource(maskName(wantedMask), QStringLiteral("jpg"));
    if (path.isEmpty() || !maskTexture->LoadImage_mask(path))
        maskTexture.reset();
    loadedMask = wantedMask;
    loadedIn = group;
}

void SlideshowTransitionMask::transition(int n) {
    const auto shaders = SharedShaderPrograms::current();
    if (!shaders)
        return;
    currentPos = n;
    ensureMaskTexture();
    blendFactor = std::clamp(progress(n), 0.0f, 1.0f);
    clearForFrame();
    loadFrameBufferMatrices();
    const ShaderProgramObject& program = shaders->Shader_transition_mask;
    program.useMe();
    quad::setMvp(program, mvp);
    glUniform1f(program.uniformValue(QStringLiteral("BlendFactor")), blendFactor);
    quad::bindTexture(0, maskTextureID());
    glUniform1i(program.uniformValue(QStringLiteral("texture")), 0);
    quad::bindTexture(1, nextTextureID());
    glUniform1i(program.uniformValue(QStringLiteral("texture1")), 1);
    quad::bindTexture(2, currentTextureID());
    glUniform1i(program.uniformValue(QStringLiteral("texture2")), 2);
    quad::drawFan(program, quad::kUnitPositions, quad::kMirroredTexCoords);
    glActiveTexture(GL_TEXTURE0);
}
