#include "render/OpenGLRenderObject.h"

#include "model/SlideshowProject.h"
#include "platform/gl/GlError.h"
#include "render/PreviewController.h"
#include "render/QuadDrawing.h"
#include "render/RenderGlobals.h"
#include "render/SlideshowDirector.h"
#include "render/TextureObject.h"

OpenGLRenderObject::OpenGLRenderObject(GLuint defaultFBO) : defaultFBOName(defaultFBO) {
    SlideshowProject::setULFrameRate(30);
    loadShaders();
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glBindFramebuffer(GL_FRAMEBUFFER, defaultFBOName);
    platform::gl::drainErrors();
}

void OpenGLRenderObject::loadShaders() {
    programs = SharedShaderPrograms::load();
}

void OpenGLRenderObject::createTestProject() {
    player = std::make_shared<SlideshowDirector>();
    player->setMainContext(context);
    player->setDirectorStatus(0);
}

QRect OpenGLRenderObject::viewportForSize(unsigned w, unsigned h) {
    const float ratio = float(w) / float(h);
    if (double(ratio) > 16.0 / 9.0) { // wider than 16:9: bars at the sides
        const int vw = int(1280ull * h / 720);
        return QRect(int((w - unsigned(vw)) / 2), 0, vw, int(h));
    }
    const int vh = int(std::uint64_t(w) * 720 / 1280);
    return QRect(0, int((h - unsigned(vh)) / 2), int(w), vh);
}

void OpenGLRenderObject::resizeWithWidth(unsigned w, unsigned h) {
    if (w == 0 || h == 0)
        return;
    const QRect area = viewportForSize(w, h);
    glViewport(area.x(), area.y(), area.width(), area.height());
    viewWidth = w;
    viewHeight = h;
    viewportX = area.x();
    viewportY = area.y();
    viewportWidth = area.width();
    viewportHeight = area.height();
    gRenderAspectRatio = float(w) / float(h);
    if (const auto project = SlideshowProject::currentMainProject()) {
        project->setNScreenWidth(int(w));
        project->setNScreenHeight(int(h));
        project->setOpenGLViewRect(area.width(), area.height(), area.x(), area.y());
    }
}

bool OpenGLRenderObject::render() {
    if (!player || player->rgbConverterObject())
        return false;
    if (!controller || !controller->m_bPlaying() || player->directorStatus() == 0 || !context)
        return false;
    const platform::gl::Context::Scope scope(*context);
    if (drawable)
        drawable->bindDrawable();
    else
        glBindFramebuffer(GL_FRAMEBUFFER, defaultFBOName);
    // The picture is the 16:9 viewport, so slides are placed by its shape, not the whole view's.
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glViewport(viewportX, viewportY, viewportWidth, viewportHeight);
    gRenderAspectRatio = float(viewportWidth) / float(viewportHeight);
    player->playOneFrame();
    if (drawable)
        drawable->flushBuffer();
    return true;
}

void OpenGLRenderObject::showImageInOpenGLWithMove_One_Texture(const TextureObject& texture) {
    if (!programs || texture.textureID() == 0 || texture.textHeight() <= 0)
        return;
    glEnable(GL_DEPTH_TEST);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    const ShaderProgramObject& program = programs->Shader_one_texture;
    program.useMe();
    Matrix4 modelView;
    matrixLoadIdentity(modelView);
    matrixTranslate(modelView, 0.0f, 0.0f, -1.0f);
    const float viewRatio = gRenderAspectRatio;
    const float textureRatio = texture.textRatio();
    if (textureRatio < viewRatio)
        matrixScale(modelView, textureRatio / viewRatio, 1.0f, 1.0f);
    else
        matrixScale(modelView, 1.0f, viewRatio / textureRatio, 1.0f);
    quad::setMvp(program, quad::modelViewProjection(modelView, quad::slideProjection()));
    quad::bindTexture(0, texture.textureID());
    glUniform1i(program.uniformValue(QStringLiteral("texture")), 0);
    quad::drawFan(program, quad::kUnitPositions, quad::kUprightTexCoords);
}
