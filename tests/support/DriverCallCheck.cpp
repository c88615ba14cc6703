// Linked into the test programs that draw: the driver's entry points through which one context's thread
// frees or walks drawing state (making contexts current, making and destroying them, uploads, read-backs,
// deletions, drawing, fences) are taken here first, and a call made by one of our threads without the GL
// driver lock fails the running test, once per entry point. The main thread is left out: the tests draw
// there themselves, between the product's calls, with nothing else in the driver.

#include "platform/gl/DriverLock.h"
#include "platform/gl/GlApi.h"

#include <EGL/egl.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <mutex>
#include <set>
#include <string>
#include <sys/syscall.h>

namespace {

bool onMainThread() {
    return ::getpid() == pid_t(::syscall(SYS_gettid));
}

void checkHeld(const char* entry) {
    if (platform::gl::DriverLock::isHeldHere() || onMainThread())
        return;
    static std::mutex mutex;
    static std::set<std::string> reported;
    const std::string key = std::string(entry) + " in " +
                            (testing::UnitTest::GetInstance()->current_test_info()
                                 ? testing::UnitTest::GetInstance()->current_test_info()->name()
                                 : "no test");
    {
        const std::lock_guard lock(mutex);
        if (!reported.insert(key).second)
            return;
    }
    ADD_FAILURE() << entry << " was called on a thread that does not hold the GL driver lock";
}

template <class Function> Function next(const char* name) {
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

} // namespace

// Each entry point checks, then calls the one the driver library exports.
#define VISTRELLE_CHECKED(ret, name, params, args)                                                           \
    extern "C" ret name params {                                                                             \
        checkHeld(#name);                                                                                    \
        static const auto real = next<ret(*) params>(#name);                                                 \
        return real args;                                                                                    \
    }

VISTRELLE_CHECKED(EGLBoolean, eglMakeCurrent, (EGLDisplay d, EGLSurface w, EGLSurface r, EGLContext c),
                  (d, w, r, c))
VISTRELLE_CHECKED(EGLContext, eglCreateContext, (EGLDisplay d, EGLConfig f, EGLContext s, const EGLint* a),
                  (d, f, s, a))
VISTRELLE_CHECKED(EGLBoolean, eglDestroyContext, (EGLDisplay d, EGLContext c), (d, c))
VISTRELLE_CHECKED(void, glTexImage2D,
                  (GLenum t, GLint l, GLint i, GLsizei w, GLsizei h, GLint b, GLenum f, GLenum y,
                   const void* p),
                  (t, l, i, w, h, b, f, y, p))
VISTRELLE_CHECKED(void, glTexSubImage2D,
                  (GLenum t, GLint l, GLint x, GLint y, GLsizei w, GLsizei h, GLenum f, GLenum p,
                   const void* d),
                  (t, l, x, y, w, h, f, p, d))
VISTRELLE_CHECKED(void, glReadPixels, (GLint x, GLint y, GLsizei w, GLsizei h, GLenum f, GLenum t, void* p),
                  (x, y, w, h, f, t, p))
VISTRELLE_CHECKED(void, glGenTextures, (GLsizei n, GLuint* names), (n, names))
VISTRELLE_CHECKED(void, glDeleteTextures, (GLsizei n, const GLuint* names), (n, names))
VISTRELLE_CHECKED(void, glGenFramebuffers, (GLsizei n, GLuint* names), (n, names))
VISTRELLE_CHECKED(void, glDeleteFramebuffers, (GLsizei n, const GLuint* names), (n, names))
VISTRELLE_CHECKED(void, glDeleteRenderbuffers, (GLsizei n, const GLuint* names), (n, names))
VISTRELLE_CHECKED(void, glDeleteBuffers, (GLsizei n, const GLuint* names), (n, names))
VISTRELLE_CHECKED(void, glDeleteProgram, (GLuint name), (name))
VISTRELLE_CHECKED(void, glDeleteShader, (GLuint name), (name))
VISTRELLE_CHECKED(void, glBindTexture, (GLenum target, GLuint name), (target, name))
VISTRELLE_CHECKED(void, glBindFramebuffer, (GLenum target, GLuint name), (target, name))
VISTRELLE_CHECKED(void, glDrawArrays, (GLenum mode, GLint first, GLsizei count), (mode, first, count))
VISTRELLE_CHECKED(void, glClear, (GLbitfield mask), (mask))
VISTRELLE_CHECKED(void, glFlush, (), ())
VISTRELLE_CHECKED(void, glFinish, (), ())
VISTRELLE_CHECKED(GLsync, glFenceSync, (GLenum condition, GLbitfield flags), (condition, flags))
VISTRELLE_CHECKED(GLenum, glClientWaitSync, (GLsync sync, GLbitfield flags, GLuint64 timeout),
                  (sync, flags, timeout))
VISTRELLE_CHECKED(void, glDeleteSync, (GLsync sync), (sync))
VISTRELLE_CHECKED(const GLubyte*, glGetString, (GLenum name), (name))
