#include "render/transitions/SlideshowTransition.h"

#include "model/SlideshowProject.h"
#include "platform/gl/Context.h"
#include "render/QuadDrawing.h"
#include "render/SharedShaderPrograms.h"
#include "render/transitions/TransitionSlice.h"

SlideshowTransition::SlideshowTransition() : totalFrames(int(SlideshowProject::ulFrameRate() * 4)) {}

void SlideshowTransition::transition(int) {}

void SlideshowTransition::transition(int, int) {}

void SlideshowTransition::initTransition() {
    if (platform::gl::Context::current())
        clearForFrame();
}

void SlideshowTransition::clearForFrame() {
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_DEPTH_TEST);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_TEXTURE_2D);
}

void SlideshowTransition::loadFrameBufferMatrices() {
    matrixLoadIdentity(modelView);
    matrixTranslate(modelView, 0.0f, 0.0f, -1.0f);
    projection = quad::slideProjection();
    mvp = quad::modelViewProjection(modelView, projection);
}

void SlideshowTransition::renderImageWithOneTextureShader(GLuint texture, unsigned dstTextureIndex) {
    const auto shaders = SharedShaderPrograms::current();
    if (!shaders)
        return;
    matrixLoadIdentity(modelView);
    matrixTranslate(modelView, 0.0f, 0.0f, -1.0f);
    matrixLoadIdentity(projection);
    matrixOrtho(projection, -1.0f, 1.0f, -1.0f, 1.0f, 1.0f, 100.0f);
    mvp = quad::modelViewProjection(modelView, projection);
    const ShaderProgramObject& program = shaders->Shader_one_texture;
    quad::setMvp(program, mvp);
    quad::bindTexture(dstTextureIndex, texture);
    glUniform1i(program.uniformValue(QStringLiteral("texture")), GLint(dstTextureIndex));
    quad::drawFan(program, quad::kUnitPositions, quad::kMirroredTexCoords);
}

void SlideshowTransition::drawTexture(GLuint texture, unsigned onWhichTexture, const float verts[12],
                                      const float textCoor[8]) {
    const auto shaders = SharedShaderPrograms::current();
    if (!shaders)
        return;
    const ShaderProgramObject& program = shaders->Shader_one_texture;
    quad::bindTexture(onWhichTexture, texture);
    glUniform1i(program.uniformValue(QStringLiteral("texture")), GLint(onWhichTexture));
    quad::drawFan(program, verts, textCoor);
}

void SlideshowTransition::initMovement(float moveParam[9]) {
    for (int i = 0; i < 9; ++i)
        moveParam[i] = 0.0f;
}

void SlideshowTransition::drawLayersOverBackPicture(bool reveal, const std::vector<TransitionSlice>& layers) {
    const auto shaders = SharedShaderPrograms::current();
    if (!shaders)
        return;
    clearForFrame();
    loadFrameBufferMatrices();
    const GLuint back = reveal ? currentTextureID() : nextTextureID();
    const GLuint other = reveal ? nextTextureID() : currentTextureID();
    const ShaderProgramObject& one = shaders->Shader_one_texture;
    one.useMe();
    quad::setMvp(one, mvp);
    drawTexture(back, 0, quad::kUnitPositions, quad::kMirroredTexCoords);

    // The layers lie on the back picture: flat, drawn in order rather than by depth.
    glDisable(GL_DEPTH_TEST);
    quad::bindTexture(1, back);
    quad::bindTexture(2, other);
    for (const TransitionSlice& layer : layers)
        layer.draw(one, 1, 2);
    glEnable(GL_DEPTH_TEST);
    glActiveTexture(GL_TEXTURE0);
}
