#include "render/FrameConverterObject.h"

#include "platform/gl/Context.h"
#include "platform/gl/DriverLock.h"
#include "render/RenderGlobals.h"

FrameConverterObject::FrameConverterObject() : FrameConverterObject(16, 16) {}

FrameConverterObject::FrameConverterObject(int w, int h) : width(w), height(h) {}

FrameConverterObject::~FrameConverterObject() {
    writer.close();
}

bool FrameConverterObject::fail(const QString& message) {
    error = message;
    return false;
}

void FrameConverterObject::setContext(std::shared_ptr<platform::gl::Context> context) {
    if (context == glContext)
        return;
    deleteFramebuffer();
    glContext = std::move(context);
    buildFailed = false;
}

bool FrameConverterObject::contextUsable() const {
    if (glContext)
        return platform::gl::Context::current() == glContext.get();
    return platform::gl::Context::current() != nullptr;
}

bool FrameConverterObject::switchOffScreenFBO() {
    if (!contextUsable())
        return fail(QStringLiteral("The converter's GL context is not current on this thread"));
    const platform::gl::DriverLock driver;
    if (!createFramebuffer())
        return false;
    if (!offScreen->switchToFBO())
        return fail(QStringLiteral("The off-screen frame buffer is not complete"));
    return true;
}

void FrameConverterObject::setFboOffScreen(std::unique_ptr<FrameBufferObject> buffer) {
    offScreen = std::move(buffer);
    if (offScreen && (offScreen->texWidth() != width || offScreen->texHeight() != height))
        InitBuffersWithWidth(offScreen->texWidth(), offScreen->texHeight(), false);
}

std::unique_ptr<FrameBufferObject>
FrameConverterObject::exchangeFboOffScreen(std::unique_ptr<FrameBufferObject> next) {
    std::swap(offScreen, next);
    return next;
}

bool FrameConverterObject::createFramebuffer() {
    if (buildFailed)
        return false;
    if (offScreen)
        return true;
    if (!contextUsable())
        return fail(QStringLiteral("The converter's GL context is not current on this thread"));
    if (!InitShaders() || !InitBuffersWithWidth(width, height, true)) {
        buildFailed = true;
        if (error.isEmpty())
            error = QStringLiteral("The read-back could not be set up");
        return false;
    }
    gRenderAspectRatio = float(width) / float(height);
    return true;
}

bool FrameConverterObject::InitShaders() {
    return true;
}

bool FrameConverterObject::InitBuffersWithWidth(int w, int h, bool needCreateOffScreenFBO) {
    const bool resized = w != width || h != height;
    width = w;
    height = h;
    if (!needCreateOffScreenFBO || (!resized && offScreen))
        return true;
    offScreen = makeOffScreenTarget();
    return offScreen != nullptr;
}

std::unique_ptr<FrameBufferObject> FrameConverterObject::makeOffScreenTarget() {
    const platform::gl::DriverLock driver;
    auto made = std::make_unique<FrameBufferObject>();
    if (width > 0 && height > 0 && made->initFBOWithWidth(unsigned(width), unsigned(height)))
        return made;
    fail(QStringLiteral("No off-screen frame buffer of %1 x %2 can be made").arg(width).arg(height));
    return nullptr;
}

void FrameConverterObject::deleteFramebuffer() {
    // With the context current here the names go at once; otherwise through the share group's queue.
    releaseOpenGLVar();
}

void FrameConverterObject::releaseOpenGLVar() {
    offScreen.reset();
    writer.close();
}

bool FrameConverterObject::convert(unsigned char*, qint64) {
    return false;
}
