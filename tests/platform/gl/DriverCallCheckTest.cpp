// The check linked into the test programs that draw (support/DriverCallCheck.cpp): a GL or EGL entry point
// called without the driver lock fails the running test, on the main thread as on any other. The calls are
// made with no context current, where they do nothing, and on no display, but for one on a GL test's context.
#include "GlTestSupport.h"

#include "platform/gl/DriverLock.h"
#include "platform/gl/GlApi.h"
#include "support/ThreadReports.h"

#include <EGL/egl.h>
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

using platform::gl::DriverLock;

namespace {

struct EntryPoint {
    const char* name;
    void (*call)();
};

// One of each kind the check guards: drawing, shaders, renderbuffers, state, the display's set-up.
const EntryPoint kEntryPoints[] = {
    {"glDrawElements", [] { glDrawElements(GL_TRIANGLES, 0, GL_UNSIGNED_SHORT, nullptr); }},
    {"glCreateShader", [] { glCreateShader(GL_VERTEX_SHADER); }},
    {"glShaderSource",
     [] {
         const GLchar* source = "";
         glShaderSource(0, 1, &source, nullptr);
     }},
    {"glCompileShader", [] { glCompileShader(0); }},
    {"glCreateProgram", [] { glCreateProgram(); }},
    {"glLinkProgram", [] { glLinkProgram(0); }},
    {"glGenRenderbuffers",
     [] {
         GLuint name = 0;
         glGenRenderbuffers(1, &name);
     }},
    {"glRenderbufferStorage", [] { glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, 1, 1); }},
    {"glBindRenderbuffer", [] { glBindRenderbuffer(GL_RENDERBUFFER, 0); }},
    {"glFramebufferTexture2D",
     [] { glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0); }},
    {"glFramebufferRenderbuffer",
     [] { glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, 0); }},
    {"glEnable", [] { glEnable(GL_BLEND); }},
    {"glDisable", [] { glDisable(GL_BLEND); }},
    {"glBlendFunc", [] { glBlendFunc(GL_ONE, GL_ZERO); }},
    {"glViewport", [] { glViewport(0, 0, 1, 1); }},
    {"glClearColor", [] { glClearColor(0, 0, 0, 1); }},
    {"glUseProgram", [] { glUseProgram(0); }},
    {"glUniform1i", [] { glUniform1i(-1, 0); }},
    {"glTexParameteri", [] { glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR); }},
    {"eglGetPlatformDisplay", [] { eglGetPlatformDisplay(0, nullptr, nullptr); }},
    {"eglInitialize", [] { eglInitialize(EGL_NO_DISPLAY, nullptr, nullptr); }},
    {"eglQueryString", [] { eglQueryString(EGL_NO_DISPLAY, EGL_VENDOR); }},
    {"eglChooseConfig",
     [] {
         EGLint found = 0;
         eglChooseConfig(EGL_NO_DISPLAY, nullptr, nullptr, 0, &found);
     }},
    {"eglGetProcAddress", [] { eglGetProcAddress("glFlush"); }},
};

// Whether `reports` is the check's one report of `entry`.
testing::AssertionResult isOneReportOf(const std::vector<std::string>& reports, const char* entry) {
    const std::string report =
        std::string(entry) + " was called on a thread that does not hold the GL driver lock";
    if (reports.size() == 1 && reports[0].find(report) != std::string::npos)
        return testing::AssertionSuccess();
    testing::AssertionResult failure = testing::AssertionFailure();
    failure << entry << ": " << reports.size() << " reports";
    for (const std::string& message : reports)
        failure << "\n" << message;
    return failure;
}

} // namespace

// The main thread is checked as any other: the tests that draw there take the lock, as the product does.
TEST(DriverCallCheck, AnEntryPointCalledOnTheMainThreadWithoutTheLockFailsTheTest) {
    for (const EntryPoint& entry : kEntryPoints) {
        {
            const DriverLock driver;
            EXPECT_EQ(reportsOf(entry.call), std::vector<std::string>()) << entry.name << " under the lock";
        }
        EXPECT_TRUE(isOneReportOf(reportsOf(entry.call), entry.name));
    }
}

TEST(DriverCallCheck, AnEntryPointCalledOnAnotherThreadWithoutTheLockFailsTheTest) {
    for (const EntryPoint& entry : kEntryPoints) {
        std::vector<std::string> held, unheld;
        std::thread([&] {
            {
                const DriverLock driver;
                held = reportsOf(entry.call);
            }
            unheld = reportsOf(entry.call);
        }).join();
        EXPECT_EQ(held, std::vector<std::string>()) << entry.name << " under the lock";
        EXPECT_TRUE(isOneReportOf(unheld, entry.name));
    }
}

// A GL test's own thread is checked too, with its context current: what the product does on it is seen.
TEST_F(GlTest, AnEntryPointCalledOnAGlTestsOwnThreadWithoutTheLockFailsTheTest) {
    const platform::gl::Context::Scope scope(*context);
    const auto clear = [] { glClear(GL_COLOR_BUFFER_BIT); };
    {
        const DriverLock driver;
        EXPECT_EQ(reportsOf(clear), std::vector<std::string>()) << "under the lock";
    }
    EXPECT_TRUE(isOneReportOf(reportsOf(clear), "glClear"));
}
