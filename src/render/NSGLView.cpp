#include "render/NSGLView.h"

#include "model/SlideshowProject.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/gl/DriverLock.h"
#include "platform/image/PictureReading.h"
#include "render/PreviewController.h"
#include "render/RenderGlobals.h"
#include "render/RenderNotifications.h"
#include "render/SlideTextures.h"
#include "render/SlideshowDirector.h"
#include "render/StillPictures.h"
#include "render/TextureObject.h"

#include <algorithm>

NSGLView::NSGLView(PreviewController* owner, QObject* parent, std::shared_ptr<DisplayLinkTimeSource> time,
                   double refreshPeriod)
    : QObject(parent), controller(owner), timeSource(std::move(time)), period(refreshPeriod) {}

NSGLView::~NSGLView() {
    // The link's thread must be gone before what it draws with; a frame of it that waits for a slide that
    // will not come (a picture another program took away) is woken by the stop, or the join would not end.
    if (const auto player = renderObject ? renderObject->director() : nullptr)
        player->stop();
    link.reset();
    // Kept past the context's scope: a player that goes with the view joins its loaders, which must not be
    // waited for under the main context.
    const std::shared_ptr<SlideshowDirector> player = renderObject ? renderObject->director() : nullptr;
    if (context) {
        const platform::gl::Context::Scope scope(*context);
        const platform::gl::DriverLock driver;
        target.reset();
        renderObject.reset();
    }
}

void NSGLView::prepareOpenGL(float backingScaleFactor) {
    initGL(backingScaleFactor);
    link = std::make_unique<DisplayLink>(
        [this](double output, double now) { return getFrameForTime(output, now); }, period, timeSource);
    link->start();
    if (controller) {
        controller->setDisplayLink(link.get());
        controller->clearOpenGLWindow();
    }
}

void NSGLView::initGL(float backingScaleFactor) {
    context = platform::gl::Context::create(platform::gl::Context::Use::Main);
    {
        const platform::gl::Context::Scope scope(*context);
        const platform::gl::DriverLock driver;
        renderObject = std::make_unique<OpenGLRenderObject>(0);
    }
    renderObject->setMainContext(context);
    renderObject->setMainObj(controller);
    renderObject->setDrawable(this);
    renderObject->createTestProject(); // the player's lock comes before the main context's
    if (controller) {
        controller->setDirector(renderObject->director());
        controller->setOpengGLView(this);
    }
    gBackingScaleFactor = backingScaleFactor;
}

void NSGLView::reshape(const QSize& pixels) {
    if (!context || pixels.width() < 1 || pixels.height() < 1)
        return;
    const platform::gl::Context::Scope scope(*context);
    const platform::gl::DriverLock driver;
    if (!target || target->width() != pixels.width() || target->height() != pixels.height()) {
        target = std::make_unique<platform::gl::FrameBuffer>(pixels.width(), pixels.height());
        ++targetGeneration;
        target->bind();
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    renderObject->resizeWithWidth(unsigned(pixels.width()), unsigned(pixels.height()));
    const std::lock_guard lock(frameMutex);
    size = pixels;
}

QSize NSGLView::pixelSize() const {
    const std::lock_guard lock(frameMutex);
    return size;
}

int NSGLView::getFrameForTime(double, double) {
    if (!controller || !controller->m_bPlaying())
        return 0;
    drawView();
    return 0;
}

void NSGLView::drawView() {
    if (!renderObject)
        return;
    const auto director = renderObject->director();
    if (director && director->directorStatus() == 1 && director->DropOrPaddingFrame())
        return;
    renderObject->render();
}

void NSGLView::drawStill(const std::function<void(const SharedShaderPrograms&)>& draw) {
    if (!context || !renderObject || !renderObject->shaders())
        return;
    const platform::gl::Context::Scope scope(*context);
    const platform::gl::DriverLock driver;
    if (!target)
        return;
    bindDrawable();
    glViewport(0, 0, target->width(), target->height());
    still_pictures::clear();
    const QRect area = renderObject->viewport();
    glViewport(area.x(), area.y(), area.width(), area.height());
    gRenderAspectRatio = float(area.width()) / float(std::max(area.height(), 1));
    draw(*renderObject->shaders());
    flushBuffer();
}

std::shared_ptr<TextureObject> NSGLView::loadTexture(const QString& path) {
    if (!context || path.isEmpty())
        return nullptr;
    const platform::gl::Context::Scope scope(*context);
    auto texture = std::make_shared<TextureObject>();
    return texture->LoadImage(path) ? texture : nullptr;
}

std::shared_ptr<TextureObject> NSGLView::loadTexture(const QImage& picture) {
    if (!context || picture.isNull())
        return nullptr;
    const platform::gl::Context::Scope scope(*context);
    auto texture = std::make_shared<TextureObject>();
    return texture->LoadCIImage(picture) ? texture : nullptr;
}

GLuint NSGLView::bindDrawable() {
    if (!target)
        return 0;
    boundGeneration = targetGeneration;
    glBindFramebuffer(GL_FRAMEBUFFER, target->name());
    return target->name();
}

void NSGLView::flushBuffer() {
    // A frame that let the context go while it waited for a slide may have been resized under: part of it
    // went to the old target. The next frame is drawn whole at the new size.
    if (!target || boundGeneration != targetGeneration)
        return;
    glFlush();
    QImage picture = target->readPixelsBGRA();
    {
        const std::lock_guard lock(frameMutex);
        frame = picture;
    }
    emit frameReady(picture);
}

QImage NSGLView::lastFrame() const {
    const std::lock_guard lock(frameMutex);
    return frame;
}

// The move is measured where the picture is drawn: the 16:9 stage inside the view, and for the text the
// slide's photo where the picture of it lies fitted into that stage, so that what is dragged follows the
// pointer at any view size and under any theme's frame.
void NSGLView::mouseDragged(double dx, double dy, const QSizeF& viewSize) {
    if (viewSize.width() <= 0 || viewSize.height() <= 0)
        return;
    const auto project = SlideshowProject::currentMainProject();
    if (!project)
        return;
    const QSize pixels = pixelSize().isValid() && !pixelSize().isEmpty() ? pixelSize() : viewSize.toSize();
    const QRect stage = OpenGLRenderObject::viewportForSize(unsigned(std::max(pixels.width(), 1)),
                                                            unsigned(std::max(pixels.height(), 1)));
    if (stage.width() <= 0 || stage.height() <= 0)
        return;
    // Points of the view in pixels of the stage.
    const double px = dx * double(pixels.width()) / viewSize.width();
    const double py = dy * double(pixels.height()) / viewSize.height();
    auto& center = platform::NotificationCenter::defaultCenter();
    if (project->nCurrentStatus() == 3) {
        // A pan moves the stage's picture whole, frame and all: the theme does not enter.
        const double sx = px * kStageSize.width() / double(stage.width());
        const double sy = py * kStageSize.height() / double(stage.height());
        center.post(kNotifyPanZoomChanged,
                    QVariantMap{{"NAME", "PAN"}, {"VALUE", 0.0}, {"deltaX", sx}, {"deltaY", sy}});
    }
    if (project->nCurrentStatus() == 2) {
        const QPointF moved = stagePixelsToPhoto(QPointF(px, py), stage.size(), currentPhoto());
        center.post(kNotifyTextPositionChanged,
                    QVariantMap{{"NAME", "PAN"}, {"deltaX", moved.x()}, {"deltaY", moved.y()}});
    }
}

QPointF NSGLView::stagePixelsToPhoto(const QPointF& move, const QSize& stage, const ShownPhoto& shown) {
    if (stage.isEmpty())
        return move;
    const QSize standIn = kStageSize.toSize();
    const ShownPhoto photo =
        shown.size.isEmpty() ? ShownPhoto{standIn, {standIn, QRect(QPoint(0, 0), standIn)}} : shown;
    const QSize picture = photo.placed.picture;
    if (picture.isEmpty() || photo.placed.photo.isEmpty())
        return move;
    const StillPlacement fitted =
        still_pictures::fitted(QSizeF(picture), double(stage.width()) / double(stage.height()));
    // The placement spans the stage from -1 to 1: the picture covers halfWidth of the stage's width, and
    // the photo its part of the picture.
    const double shownWidth =
        fitted.halfWidth * stage.width() * photo.placed.photo.width() / double(picture.width());
    const double shownHeight =
        fitted.halfHeight * stage.height() * photo.placed.photo.height() / double(picture.height());
    if (shownWidth <= 0 || shownHeight <= 0)
        return move;
    return QPointF(move.x() * photo.size.width() / shownWidth, move.y() * photo.size.height() / shownHeight);
}

// The current slide's photo as it is shown, turned as its file says, under the current theme.
NSGLView::ShownPhoto NSGLView::currentPhoto() {
    const auto project = SlideshowProject::currentMainProject();
    const SlideItemRef slide = project ? project->slideItemAtIndex(project->nCurrentSlideItem()) : nullptr;
    if (!slide || slide->fileName().isEmpty())
        return {};
    const QSize size = platform::image::readPictureHeader(slide->fileName()).size;
    if (size.isEmpty())
        return {};
    const QVariantMap theme =
        project->themeManger() ? project->themeManger()->currentThemeDict() : QVariantMap();
    return {size, SlideTextures::slidePicturePlacement(size, theme)};
}
