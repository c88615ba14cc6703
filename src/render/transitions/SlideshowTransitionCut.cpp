#include "render/transitions/SlideshowTransitionCut.h"

#include "render/SharedShaderPrograms.h"

SlideshowTransitionCut::SlideshowTransitionCut() {
    setBNeedFBO(true);
}

void SlideshowTransitionCut::transition(int n) {
    const auto shaders = SharedShaderPrograms::current();
    if (!shaders)
        return;
    currentPos = n;
    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    shaders->Shader_one_texture.useMe();
    const bool incoming = 2 * n >= nTotalTransitionFrame();
    renderImageWithOneTextureShader(incoming ? nextTextureID() : currentTextureID(), 0);
}
