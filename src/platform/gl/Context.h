#pragma once

#include "platform/gl/ShareGroup.h"

#include <EGL/egl.h>

#include <QString>

#include <memory>
#include <mutex>

namespace platform::gl {

// A desktop OpenGL compatibility-profile context on Display::instance(), with the lock that keeps it current
// on one thread at a time. Every context is made current surfaceless; drawing goes into framebuffer objects.
//
//     auto main = Context::create();
//     auto loader = Context::createShared(*main);   // same share group, for another thread
//     { Context::Scope scope(*loader); /* GL calls */ }
//
// A context must not be destroyed while a Scope of it is open on the destroying thread.
class Context {
    struct Private {
        explicit Private() = default;
    };

public:
    // Both throw GlError when no GL can be had or the context cannot be made.
    static std::unique_ptr<Context> create();
    // A context in the share group of `other`, for use on another thread than `other`'s.
    static std::unique_ptr<Context> createShared(const Context& other);

    Context(Private, const Context* shareWith);
    ~Context();
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    const std::shared_ptr<ShareGroup>& shareGroup() const { return group; }
    bool sharesWith(const Context& other) const { return group == other.group; }
    EGLContext handle() const { return context; }
    // GL_VERSION and GL_RENDERER as read when the context was made.
    const QString& glVersion() const { return version; }
    const QString& glRenderer() const { return renderer; }

    // Whether EGL has this context current on the calling thread.
    bool isCurrent() const;
    // The context that a Scope made current on the calling thread, or null.
    static Context* current();

    // Locks the context, makes it current on the calling thread and deletes the names its share group has
    // queued. On exit it puts back what was current before on this thread (another context, or none) and
    // unlocks. Scopes nest, of the same context or of different ones; a Scope of a context held by another
    // thread waits until that thread's Scope ends. Throws GlError when the context cannot be made current.
    class Scope {
    public:
        explicit Scope(Context& context);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

        Context& context() const { return scoped; }

    private:
        Context& scoped;
        Context* previous;
    };

private:
    void makeCurrentHere();
    void readVersion();

    EGLDisplay display;
    EGLContext context = EGL_NO_CONTEXT;
    std::shared_ptr<ShareGroup> group;
    std::recursive_mutex mutex;
    QString version;
    QString renderer;
};

} // namespace platform::gl
