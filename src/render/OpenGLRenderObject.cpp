#include "render/OpenGLRenderObject.h"

#include "model/SlideshowProject.h"
#include "platform/gl/DriverLock.h"
#include "platform/gl/GlError.h"
#include "render/PreviewController.h"
#include "render/QuadDrawing.h"
#include "render/RenderGlobals.h"
#include "render/SlideshowDirector.h"
#include "render/TextureObject.h"

#include <QImage>

#include <atomic>
#include <cmath>

namespace {

// The test drawing's position, shared by every render object.
std::atomic<float> colorRectTranslate{0.0f};

} // namespace

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
    if (!player || player->exportPlays())
        return false;
    if (!controller || !controller->m_bPlaying() || player->directorStatus() == 0 || !context)
        return false;
    const auto play = player->holdPlay();
    // A stop that came while this tick waited for the play ends it: nothing of the stopped play (its project
    // among it) may be taken up again.
    if (player->directorStatus() == 0)
        return false;
    const platform::gl::Context::Scope scope(*context);
    {
        // Not held across the frame: the player takes it after its own lock, which other threads hold
        // while they load.
        const platform::gl::DriverLock driver;
        if (drawable)
            drawable->bindDrawable();
        else
            glBindFramebuffer(GL_FRAMEBUFFER, defaultFBOName);
        // The picture is the 16:9 viewport, so slides are placed by its shape, not the whole view's.
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glViewport(viewportX, viewportY, viewportWidth, viewportHeight);
    }
    gRenderAspectRatio = float(viewportWidth) / float(viewportHeight);
    player->playOneFrame();
    if (!player->frameDrawn()) // it gave way to the main thread: the frame is drawn on a later tick
        return false;
    if (drawable) {
        const platform::gl::DriverLock driver;
        drawable->flushBuffer();
    }
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

float OpenGLRenderObject::drawColorRectTranslate() {
    return colorRectTranslate.load();
}

void OpenGLRenderObject::drawColorRect() {
    glClearColor(0.0f, 0.0f, 0.5f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (!programs)
        return;
    const float translate = colorRectTranslate.load() + 0.075f;
    colorRectTranslate = translate;
    // The shared program draws textures only: the four corner colours are the texels of a 2 x 2 picture,
    // sampled at their centres, so that the colours blend across the rectangle as vertex colours would.
    QImage corners(2, 2, QImage::Format_ARGB32);
    corners.setPixelColor(0, 0, Qt::black);
    corners.setPixelColor(1, 0, Qt::magenta);
    corners.setPixelColor(0, 1, Qt::yellow);
    corners.setPixelColor(1, 1, Qt::cyan);
    TextureObject colours;
    if (!colours.LoadCIImage(corners))
        return;
    constexpr float positions[12] = {-0.5f, -0.33f, 0, 0.5f, -0.33f, 0, 0.5f, 0.33f, 0, -0.5f, 0.33f, 0};
    constexpr float texCoords[8] = {0.25f, 0.25f, 0.75f, 0.25f, 0.75f, 0.75f, 0.25f, 0.75f};
    Matrix4 move;
    matrixLoadIdentity(move);
    matrixTranslate(move, 0.0f, std::sin(translate) / 2.0f, 0.0f);
    const ShaderProgramObject& program = programs->Shader_one_texture;
    program.useMe();
    quad::setMvp(program, move);
    quad::bindTexture(0, colours.textureID());
    glUniform1i(program.uniformValue(QStringLiteral("texture")), 0);
    quad::drawFan(program, positions, texCoords);
}
