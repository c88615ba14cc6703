#include "platform/gl/Context.h"

#include "platform/gl/Display.h"
#include "platform/gl/DriverLock.h"
#include "platform/gl/GlApi.h"
#include "platform/gl/GlError.h"

#include <QDebug>

namespace platform::gl {

namespace {

thread_local Context* currentOnThread = nullptr;

EGLContext createEglContext(const Display& display, EGLContext shareWith) {
    Display::bindApi();
    const EGLint compatibility[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                    EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
    EGLContext context = eglCreateContext(display.handle(), display.config(), shareWith, compatibility);
    if (context == EGL_NO_CONTEXT && eglGetError() == EGL_BAD_ATTRIBUTE) {
        // Displays without EGL_KHR_create_context know no profiles; their GL contexts are compatible ones.
        const EGLint none[] = {EGL_NONE};
        context = eglCreateContext(display.handle(), display.config(), shareWith, none);
    }
    if (context == EGL_NO_CONTEXT)
        throw GlError(QStringLiteral("eglCreateContext failed with ") + Display::eglErrorName(eglGetError()));
    return context;
}

void releaseCurrentHere(EGLDisplay display) {
    Display::bindApi();
    if (!eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT))
        qWarning().noquote() << "eglMakeCurrent(none) failed with" << Display::eglErrorName(eglGetError());
}

} // namespace

std::unique_ptr<Context> Context::create() {
    return std::make_unique<Context>(Private(), nullptr);
}

std::unique_ptr<Context> Context::createShared(const Context& other) {
    return std::make_unique<Context>(Private(), &other);
}

Context::Context(Private, const Context* shareWith) : display(Display::instance().handle()) {
    const DriverLock driver;
    context = createEglContext(Display::instance(), shareWith ? shareWith->context : EGL_NO_CONTEXT);
    group = shareWith ? shareWith->group : std::make_shared<ShareGroup>();
    try {
        readVersion();
    } catch (...) {
        eglDestroyContext(display, context);
        throw;
    }
    group->contextCreated();
}

Context::~Context() {
    // Waits for a Scope on another thread to end.
    const std::lock_guard lock(mutex);
    const DriverLock driver;
    if (currentOnThread == this) {
        releaseCurrentHere(display);
        currentOnThread = nullptr;
    }
    eglDestroyContext(display, context);
    group->contextDestroyed();
}

void Context::readVersion() {
    const Scope scope(*this);
    version = QString::fromLatin1(reinterpret_cast<const char*>(glGetString(GL_VERSION)));
    renderer = QString::fromLatin1(reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    GLint major = 0;
    glGetIntegerv(GL_MAJOR_VERSION, &major);
    drainErrors(); // GL 2.x knows no GL_MAJOR_VERSION
    // Our targets are 8-bit: their colours are clamped on the way in anyway, and a shader that clamps as
    // well keeps a software rasteriser off its fast path.
    if (major >= 3)
        glClampColor(GL_CLAMP_FRAGMENT_COLOR, GL_FALSE);
    // Framebuffer objects are core from 3.0 on; the renderer draws nothing without them.
    if (major < 3)
        throw GlError(QStringLiteral("OpenGL 3.0 or later is needed; the driver offers ") + version);
}

bool Context::isCurrent() const {
    return eglGetCurrentContext() == context;
}

Context* Context::current() {
    return currentOnThread;
}

void Context::makeCurrentHere() {
    Display::bindApi();
    if (!eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context))
        throw GlError(QStringLiteral("eglMakeCurrent failed with ") + Display::eglErrorName(eglGetError()));
}

Context::Scope::Scope(Context& context) : scoped(context), previous(currentOnThread) {
    scoped.mutex.lock();
    if (previous == &scoped)
        return;
    try {
        const DriverLock driver;
        scoped.makeCurrentHere();
        currentOnThread = &scoped;
        scoped.group->deletePending();
    } catch (...) {
        scoped.mutex.unlock();
        throw;
    }
}

Context::Scope::~Scope() {
    if (previous != &scoped) {
        const DriverLock driver;
        if (previous) {
            try {
                previous->makeCurrentHere();
            } catch (const GlError& error) {
                qWarning().noquote() << error.what();
            }
        } else {
            releaseCurrentHere(scoped.display);
        }
        currentOnThread = previous;
    }
    scoped.mutex.unlock();
}

} // namespace platform::gl
