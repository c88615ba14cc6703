#pragma once

#include "platform/gl/DriverLock.h"
#include "platform/gl/ShareGroup.h"

#include <EGL/egl.h>

#include <QString>

#include <memory>
#include <mutex>
#include <vector>

namespace platform::gl {

// A desktop OpenGL compatibility-profile context on Display::instance(), with the lock that keeps it current
// on one thread at a time. Every context is made current surfaceless; drawing goes into framebuffer objects.
//
//     auto main = Context::create(Context::Use::Main);
//     auto loader = Context::createShared(*main);   // same share group, for another thread
//     { Context::Scope scope(*loader); /* GL calls */ }
//
// A context must not be destroyed while a Scope of it is open on the destroying thread.
class Context {
    struct Private {
        explicit Private() = default;
    };

public:
    // Who takes the context, which places its lock in the render road's order (DriverLock.h).
    enum class Use {
        OwnThread,   // one thread at a time over its life: a loader's, an export's, a test's
        Main,        // the view's: the main thread and the display link's thread take it in turn
        InsideFrame, // a composition renderer's, taken only under the driver lock, inside a frame
    };

    // Both throw GlError when no GL can be had or the context cannot be made.
    static std::unique_ptr<Context> create(Use use = Use::OwnThread);
    // A context in the share group of `other`, for use on another thread than `other`'s.
    static std::unique_ptr<Context> createShared(const Context& other, Use use = Use::OwnThread);

    Context(Private, const Context* shareWith, Use use);
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
    // Whether a Scope of a main context is open on the calling thread and holds it (no LetGo let it go).
    static bool holdsMainHere();

    // Locks the context, makes it current on the calling thread and deletes the names its share group has
    // queued. On exit it puts back what was current before on this thread (another context, or none) and
    // unlocks. Scopes nest, of the same context or of different ones; a Scope of a context held by another
    // thread waits until that thread's Scope ends. Throws GlError when the context cannot be made current.
    class LetGo;
    class Scope {
    public:
        explicit Scope(Context& context);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

        Context& context() const { return scoped; }

    private:
        friend class Context;
        friend class LetGo;
        Context& scoped;
        Context* previous;
        Scope* enclosing;
        bool letGo = false; // by a LetGo, which takes the context back
    };

    // Lets go of the main contexts this thread's Scopes hold, for its lifetime, and takes them back after,
    // current again as before: for a wait on another thread, which may be the main thread wanting the view.
    // What the main thread did meanwhile (a resize) is in the context's state when it comes back. A LetGo
    // inside another has nothing left to let go.
    class LetGo {
    public:
        LetGo();
        ~LetGo();
        LetGo(const LetGo&) = delete;
        LetGo& operator=(const LetGo&) = delete;

    private:
        std::vector<Scope*> held; // outermost first
        bool wasCurrent = false;
    };

private:
    void makeCurrentHere();
    void readVersion();

    Use use;
    EGLDisplay display;
    EGLContext context = EGL_NO_CONTEXT;
    std::shared_ptr<ShareGroup> group;
    RankedMutex<std::recursive_mutex> mutex;
    QString version;
    QString renderer;
};

// Lets go, for its lifetime, of the driver lock and this thread's main contexts, for a wait on another thread
// that may need them; takes them back after, the contexts first as the order has it.
class OutsideGl {
    DriverLock::Released driver; // declared first: let go first, taken back last
    Context::LetGo contexts;
};

// Runs wait(lock), a wait for another thread under `lock` (a unique_lock of a lock ranked after the driver
// lock, held on entry and on return), with the driver lock and this thread's main contexts let go. They are
// taken back only once `lock` is let go, then `lock` again: what it guards may have changed.
template <class Lock, class Wait> void waitOutsideGl(Lock& lock, Wait wait) {
    if (!DriverLock::isHeldHere() && !Context::holdsMainHere()) {
        wait(lock);
        return;
    }
    lock.unlock();
    {
        const OutsideGl forTheOthers;
        Lock waiting(*lock.mutex());
        wait(waiting);
    }
    lock.lock();
}

} // namespace platform::gl
