#include "platform/gl/Context.h"

#include "platform/gl/Display.h"
#include "platform/gl/DriverLock.h"
#include "platform/gl/GlApi.h"
#include "platform/gl/GlError.h"

#include <QDebug>

#include <optional>
#include <string>

namespace platform::gl {

namespace {

thread_local Context* currentOnThread = nullptr;
thread_local Context::Scope* innermostScope = nullptr;

LockRank rankOf(Context::Use use) {
    switch (use) {
    case Context::Use::Main:
        return LockRank::MainContext;
    case Context::Use::InsideFrame:
        return LockRank::RendererContext;
    case Context::Use::OwnThread:
        break;
    }
    return LockRank::OwnContext;
}

const char* nameOf(Context::Use use) {
    switch (use) {
    case Context::Use::Main:
        return "the main GL context";
    case Context::Use::InsideFrame:
        return "a composition renderer's GL context";
    case Context::Use::OwnThread:
        break;
    }
    return "a thread's own GL context";
}

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

std::unique_ptr<Context> Context::create(Use use) {
    return std::make_unique<Context>(Private(), nullptr, use);
}

std::unique_ptr<Context> Context::createShared(const Context& other, Use use) {
    return std::make_unique<Context>(Private(), &other, use);
}

Context::Context(Private, const Context* shareWith, Use contextUse)
    : use(contextUse), display(Display::instance().handle()), mutex(rankOf(contextUse), nameOf(contextUse)) {
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
    // A composition renderer's context is taken only under the driver lock.
    std::optional<DriverLock> first;
    if (use == Use::InsideFrame)
        first.emplace();
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

// Made current without a Scope: no other thread knows the context yet, and its lock would come after the
// driver lock held here. What was current on this thread is current again after.
void Context::readVersion() {
    makeCurrentHere();
    const auto putBack = [this] {
        if (currentOnThread)
            currentOnThread->makeCurrentHere();
        else
            releaseCurrentHere(display);
    };
    try {
        version = QString::fromLatin1(reinterpret_cast<const char*>(glGetString(GL_VERSION)));
        renderer = QString::fromLatin1(reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
        GLint major = 0;
        glGetIntegerv(GL_MAJOR_VERSION, &major);
        drainErrors(); // GL 2.x knows no GL_MAJOR_VERSION
        // Our targets are 8-bit: their colours are clamped on the way in anyway, and a shader that clamps
        // as well keeps a software rasteriser off its fast path.
        if (major >= 3)
            glClampColor(GL_CLAMP_FRAGMENT_COLOR, GL_FALSE);
        // Framebuffer objects are core from 3.0 on; the renderer draws nothing without them.
        if (major < 3)
            throw GlError(QStringLiteral("OpenGL 3.0 or later is needed; the driver offers ") + version);
    } catch (...) {
        putBack();
        throw;
    }
    putBack();
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

bool Context::holdsMainHere() {
    for (const Scope* scope = innermostScope; scope; scope = scope->enclosing)
        if (scope->scoped.use == Use::Main && !scope->letGo)
            return true;
    return false;
}

Context::Scope::Scope(Context& context)
    : scoped(context), previous(currentOnThread), enclosing(innermostScope) {
    if (scoped.use == Use::InsideFrame && !DriverLock::isHeldHere())
        lock_order::broken(std::string("broken: ") + nameOf(scoped.use) +
                           " asked for without the GL driver lock");
    scoped.mutex.lock();
    if (previous != &scoped) {
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
    innermostScope = this;
}

Context::Scope::~Scope() {
    innermostScope = enclosing;
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

Context::LetGo::LetGo() {
    for (Scope* scope = innermostScope; scope; scope = scope->enclosing)
        if (scope->scoped.use == Use::Main && !scope->letGo)
            held.insert(held.begin(), scope);
    if (held.empty())
        return;
    Context* current = currentOnThread;
    wasCurrent = current && current->use == Use::Main;
    if (wasCurrent) {
        const DriverLock driver;
        releaseCurrentHere(current->display);
        currentOnThread = nullptr;
    }
    for (auto it = held.rbegin(); it != held.rend(); ++it) {
        (*it)->letGo = true;
        (*it)->scoped.mutex.unlock();
    }
}

Context::LetGo::~LetGo() {
    if (held.empty())
        return;
    for (Scope* scope : held) {
        scope->scoped.mutex.lock();
        scope->letGo = false;
    }
    if (!wasCurrent)
        return;
    Context& current = innermostScope->scoped;
    const DriverLock driver;
    try {
        current.makeCurrentHere();
        currentOnThread = &current;
    } catch (const GlError& error) {
        qWarning().noquote() << error.what();
    }
}

} // namespace platform::gl
