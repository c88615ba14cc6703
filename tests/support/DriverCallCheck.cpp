// Linked into the test programs that draw: every GL and EGL entry point our code calls is taken here first,
// and a call made without the GL driver lock fails the running test, once per entry point and test. Every
// thread is checked, the main thread and a test's own too: tests enter the driver as the product does.

#include "platform/gl/DriverLock.h"
#include "platform/gl/GlApi.h"

#include <EGL/egl.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <mutex>
#include <set>
#include <string>

namespace {

void checkHeld(const char* entry) {
    if (platform::gl::DriverLock::isHeldHere())
        return;
    static std::mutex mutex;
    static std::set<std::string> reported;
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    const std::string key = std::string(entry) + " in " + (test ? test->name() : "no test");
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

// Setting up the display, making, binding and destroying contexts.
VISTRELLE_CHECKED(EGLDisplay, eglGetDisplay, (EGLNativeDisplayType d), (d))
VISTRELLE_CHECKED(EGLDisplay, eglGetPlatformDisplay, (EGLenum p, void* d, const EGLAttrib* a), (p, d, a))
VISTRELLE_CHECKED(__eglMustCastToProperFunctionPointerType, eglGetProcAddress, (const char* name), (name))
VISTRELLE_CHECKED(EGLBoolean, eglInitialize, (EGLDisplay d, EGLint* major, EGLint* minor), (d, major, minor))
VISTRELLE_CHECKED(EGLBoolean, eglTerminate, (EGLDisplay d), (d))
VISTRELLE_CHECKED(const char*, eglQueryString, (EGLDisplay d, EGLint name), (d, name))
VISTRELLE_CHECKED(EGLBoolean, eglChooseConfig,
                  (EGLDisplay d, const EGLint* a, EGLConfig* c, EGLint n, EGLint* found), (d, a, c, n, found))
VISTRELLE_CHECKED(EGLBoolean, eglGetConfigAttrib, (EGLDisplay d, EGLConfig c, EGLint a, EGLint* v),
                  (d, c, a, v))
VISTRELLE_CHECKED(EGLBoolean, eglBindAPI, (EGLenum api), (api))
VISTRELLE_CHECKED(EGLenum, eglQueryAPI, (), ())
VISTRELLE_CHECKED(EGLBoolean, eglMakeCurrent, (EGLDisplay d, EGLSurface w, EGLSurface r, EGLContext c),
                  (d, w, r, c))
VISTRELLE_CHECKED(EGLContext, eglCreateContext, (EGLDisplay d, EGLConfig f, EGLContext s, const EGLint* a),
                  (d, f, s, a))
VISTRELLE_CHECKED(EGLBoolean, eglDestroyContext, (EGLDisplay d, EGLContext c), (d, c))

// Objects: making, uploading, reading back and deleting them.
VISTRELLE_CHECKED(void, glGenTextures, (GLsizei n, GLuint* names), (n, names))
VISTRELLE_CHECKED(void, glGenFramebuffers, (GLsizei n, GLuint* names), (n, names))
VISTRELLE_CHECKED(void, glGenRenderbuffers, (GLsizei n, GLuint* names), (n, names))
VISTRELLE_CHECKED(void, glGenBuffers, (GLsizei n, GLuint* names), (n, names))
VISTRELLE_CHECKED(void, glTexImage2D,
                  (GLenum t, GLint l, GLint i, GLsizei w, GLsizei h, GLint b, GLenum f, GLenum y,
                   const void* p),
                  (t, l, i, w, h, b, f, y, p))
VISTRELLE_CHECKED(void, glTexSubImage2D,
                  (GLenum t, GLint l, GLint x, GLint y, GLsizei w, GLsizei h, GLenum f, GLenum p,
                   const void* d),
                  (t, l, x, y, w, h, f, p, d))
VISTRELLE_CHECKED(void, glRenderbufferStorage, (GLenum t, GLenum f, GLsizei w, GLsizei h), (t, f, w, h))
VISTRELLE_CHECKED(void, glRenderbufferStorageMultisample,
                  (GLenum t, GLsizei s, GLenum f, GLsizei w, GLsizei h), (t, s, f, w, h))
VISTRELLE_CHECKED(void, glBufferData, (GLenum t, GLsizeiptr size, const void* data, GLenum usage),
                  (t, size, data, usage))
VISTRELLE_CHECKED(void, glReadPixels, (GLint x, GLint y, GLsizei w, GLsizei h, GLenum f, GLenum t, void* p),
                  (x, y, w, h, f, t, p))
VISTRELLE_CHECKED(void, glDeleteTextures, (GLsizei n, const GLuint* names), (n, names))
VISTRELLE_CHECKED(void, glDeleteFramebuffers, (GLsizei n, const GLuint* names), (n, names))
VISTRELLE_CHECKED(void, glDeleteRenderbuffers, (GLsizei n, const GLuint* names), (n, names))
VISTRELLE_CHECKED(void, glDeleteBuffers, (GLsizei n, const GLuint* names), (n, names))
VISTRELLE_CHECKED(GLboolean, glIsTexture, (GLuint name), (name))

// Shaders: compiling, linking and asking after them.
VISTRELLE_CHECKED(GLuint, glCreateShader, (GLenum type), (type))
VISTRELLE_CHECKED(GLuint, glCreateProgram, (), ())
VISTRELLE_CHECKED(void, glShaderSource,
                  (GLuint s, GLsizei n, const GLchar* const* text, const GLint* lengths),
                  (s, n, text, lengths))
VISTRELLE_CHECKED(void, glCompileShader, (GLuint name), (name))
VISTRELLE_CHECKED(void, glAttachShader, (GLuint program, GLuint shader), (program, shader))
VISTRELLE_CHECKED(void, glBindAttribLocation, (GLuint program, GLuint index, const GLchar* name),
                  (program, index, name))
VISTRELLE_CHECKED(void, glLinkProgram, (GLuint name), (name))
VISTRELLE_CHECKED(void, glValidateProgram, (GLuint name), (name))
VISTRELLE_CHECKED(void, glGetShaderiv, (GLuint s, GLenum p, GLint* v), (s, p, v))
VISTRELLE_CHECKED(void, glGetProgramiv, (GLuint s, GLenum p, GLint* v), (s, p, v))
VISTRELLE_CHECKED(void, glGetShaderInfoLog, (GLuint s, GLsizei n, GLsizei* length, GLchar* log),
                  (s, n, length, log))
VISTRELLE_CHECKED(void, glGetProgramInfoLog, (GLuint s, GLsizei n, GLsizei* length, GLchar* log),
                  (s, n, length, log))
VISTRELLE_CHECKED(GLint, glGetUniformLocation, (GLuint program, const GLchar* name), (program, name))
VISTRELLE_CHECKED(void, glDeleteProgram, (GLuint name), (name))
VISTRELLE_CHECKED(void, glDeleteShader, (GLuint name), (name))

// State: binding, enabling, the blend, the viewport, uniforms, texture parameters, attachments.
VISTRELLE_CHECKED(void, glBindTexture, (GLenum target, GLuint name), (target, name))
VISTRELLE_CHECKED(void, glBindFramebuffer, (GLenum target, GLuint name), (target, name))
VISTRELLE_CHECKED(void, glBindRenderbuffer, (GLenum target, GLuint name), (target, name))
VISTRELLE_CHECKED(void, glBindBuffer, (GLenum target, GLuint name), (target, name))
VISTRELLE_CHECKED(void, glActiveTexture, (GLenum unit), (unit))
VISTRELLE_CHECKED(void, glUseProgram, (GLuint name), (name))
VISTRELLE_CHECKED(void, glFramebufferTexture2D, (GLenum t, GLenum a, GLenum k, GLuint name, GLint level),
                  (t, a, k, name, level))
VISTRELLE_CHECKED(void, glFramebufferRenderbuffer, (GLenum t, GLenum a, GLenum k, GLuint name),
                  (t, a, k, name))
VISTRELLE_CHECKED(GLenum, glCheckFramebufferStatus, (GLenum target), (target))
VISTRELLE_CHECKED(void, glEnable, (GLenum cap), (cap))
VISTRELLE_CHECKED(void, glDisable, (GLenum cap), (cap))
VISTRELLE_CHECKED(GLboolean, glIsEnabled, (GLenum cap), (cap))
VISTRELLE_CHECKED(void, glBlendFunc, (GLenum source, GLenum target), (source, target))
VISTRELLE_CHECKED(void, glBlendColor, (GLfloat r, GLfloat g, GLfloat b, GLfloat a), (r, g, b, a))
VISTRELLE_CHECKED(void, glClampColor, (GLenum target, GLenum clamp), (target, clamp))
VISTRELLE_CHECKED(void, glClearColor, (GLfloat r, GLfloat g, GLfloat b, GLfloat a), (r, g, b, a))
VISTRELLE_CHECKED(void, glViewport, (GLint x, GLint y, GLsizei w, GLsizei h), (x, y, w, h))
VISTRELLE_CHECKED(void, glScissor, (GLint x, GLint y, GLsizei w, GLsizei h), (x, y, w, h))
VISTRELLE_CHECKED(void, glPixelStorei, (GLenum name, GLint value), (name, value))
VISTRELLE_CHECKED(void, glTexParameteri, (GLenum t, GLenum name, GLint value), (t, name, value))
VISTRELLE_CHECKED(void, glTexParameterf, (GLenum t, GLenum name, GLfloat value), (t, name, value))
VISTRELLE_CHECKED(void, glUniform1i, (GLint at, GLint v), (at, v))
VISTRELLE_CHECKED(void, glUniform1f, (GLint at, GLfloat v), (at, v))
VISTRELLE_CHECKED(void, glUniform2f, (GLint at, GLfloat v0, GLfloat v1), (at, v0, v1))
VISTRELLE_CHECKED(void, glUniform3f, (GLint at, GLfloat v0, GLfloat v1, GLfloat v2), (at, v0, v1, v2))
VISTRELLE_CHECKED(void, glUniform4f, (GLint at, GLfloat v0, GLfloat v1, GLfloat v2, GLfloat v3),
                  (at, v0, v1, v2, v3))
VISTRELLE_CHECKED(void, glUniform4fv, (GLint at, GLsizei n, const GLfloat* v), (at, n, v))
VISTRELLE_CHECKED(void, glUniformMatrix4fv, (GLint at, GLsizei n, GLboolean transpose, const GLfloat* v),
                  (at, n, transpose, v))
VISTRELLE_CHECKED(void, glVertexAttribPointer,
                  (GLuint index, GLint size, GLenum type, GLboolean normalised, GLsizei stride,
                   const void* p),
                  (index, size, type, normalised, stride, p))
VISTRELLE_CHECKED(void, glEnableVertexAttribArray, (GLuint index), (index))
VISTRELLE_CHECKED(void, glDisableVertexAttribArray, (GLuint index), (index))
VISTRELLE_CHECKED(void, glGetIntegerv, (GLenum name, GLint* values), (name, values))
VISTRELLE_CHECKED(void, glGetTexLevelParameteriv, (GLenum t, GLint level, GLenum name, GLint* values),
                  (t, level, name, values))
VISTRELLE_CHECKED(GLenum, glGetError, (), ())
VISTRELLE_CHECKED(const GLubyte*, glGetString, (GLenum name), (name))

// Drawing, and waiting for it.
VISTRELLE_CHECKED(void, glClear, (GLbitfield mask), (mask))
VISTRELLE_CHECKED(void, glDrawArrays, (GLenum mode, GLint first, GLsizei count), (mode, first, count))
VISTRELLE_CHECKED(void, glDrawElements, (GLenum mode, GLsizei count, GLenum type, const void* indices),
                  (mode, count, type, indices))
VISTRELLE_CHECKED(void, glFlush, (), ())
VISTRELLE_CHECKED(void, glFinish, (), ())
VISTRELLE_CHECKED(GLsync, glFenceSync, (GLenum condition, GLbitfield flags), (condition, flags))
VISTRELLE_CHECKED(GLenum, glClientWaitSync, (GLsync sync, GLbitfield flags, GLuint64 timeout),
                  (sync, flags, timeout))
VISTRELLE_CHECKED(void, glDeleteSync, (GLsync sync), (sync))
