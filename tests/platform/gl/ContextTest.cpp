#include "GlTestSupport.h"

#include "platform/gl/Display.h"
#include "platform/gl/DriverLock.h"
#include "platform/gl/FrameBuffer.h"
#include "platform/gl/GlError.h"
#include "support/HangGuard.h"

#include <EGL/egl.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <set>
#include <thread>
#include <vector>

using namespace platform::gl;

namespace {

EGLint configAttribute(EGLint attribute) {
    const DriverLock driver;
    EGLint value = 0;
    eglGetConfigAttrib(Display::instance().handle(), Display::instance().config(), attribute, &value);
    return value;
}

} // namespace

TEST(GlDisplay, OneInstanceForEveryThread) {
    std::vector<const Display*> seen(6);
    std::vector<std::thread> threads;
    for (auto& slot : seen)
        threads.emplace_back([&slot] {
            try {
                slot = &Display::instance();
            } catch (const GlError&) {
                slot = nullptr;
            }
        });
    for (auto& thread : threads)
        thread.join();
    ASSERT_NE(seen[0], nullptr) << "no GL display could be opened";
    EXPECT_EQ(std::set<const Display*>(seen.begin(), seen.end()).size(), 1u);
    EXPECT_NE(Display::instance().handle(), EGL_NO_DISPLAY);
}

TEST(GlDisplay, ConfigIsRgba8WithDepthAndStencilForDesktopGl) {
    ASSERT_NO_THROW(Display::instance());
    EXPECT_EQ(configAttribute(EGL_RED_SIZE), 8);
    EXPECT_EQ(configAttribute(EGL_GREEN_SIZE), 8);
    EXPECT_EQ(configAttribute(EGL_BLUE_SIZE), 8);
    EXPECT_EQ(configAttribute(EGL_ALPHA_SIZE), 8);
    EXPECT_GE(configAttribute(EGL_DEPTH_SIZE), 24);
    EXPECT_GE(configAttribute(EGL_STENCIL_SIZE), 8);
    EXPECT_TRUE(configAttribute(EGL_RENDERABLE_TYPE) & EGL_OPENGL_BIT);
    EXPECT_EQ(Display::instance().hasPbufferConfig(),
              bool(configAttribute(EGL_SURFACE_TYPE) & EGL_PBUFFER_BIT));
    EXPECT_TRUE(Display::instance().hasExtension("EGL_KHR_surfaceless_context"));
}

TEST(GlDisplay, DevicePlatformOpensAsFallback) {
    const Display device({DisplayPlatform::Device});
    EXPECT_EQ(device.platform(), DisplayPlatform::Device);
    EXPECT_NE(device.config(), nullptr);
}

TEST(GlDisplay, NoPlatformToTryIsAClearError) {
    try {
        const Display none(std::vector<DisplayPlatform>{});
        FAIL() << "a display was made from no platform";
    } catch (const GlError& error) {
        EXPECT_NE(std::string(error.what()).find("No OpenGL"), std::string::npos) << error.what();
    }
}

TEST(GlDisplay, ExtensionListsMatchWholeNames) {
    const char* list = "EGL_KHR_ab EGL_KHR_a EGL_MESA_x";
    EXPECT_TRUE(extensionListHas(list, "EGL_KHR_a"));
    EXPECT_TRUE(extensionListHas(list, "EGL_KHR_ab"));
    EXPECT_TRUE(extensionListHas(list, "EGL_MESA_x"));
    EXPECT_FALSE(extensionListHas(list, "EGL_KHR"));
    EXPECT_FALSE(extensionListHas(list, "KHR_a"));
    EXPECT_FALSE(extensionListHas(list, "EGL_MESA_xy"));
    EXPECT_FALSE(extensionListHas(nullptr, "EGL_KHR_a"));
    EXPECT_FALSE(extensionListHas(list, ""));
}

TEST_F(GlTest, ContextIsDesktopCompatibilityProfile) {
    const Context::Scope scope(*context);
    const DriverLock driver;
    GLint profile = 0;
    glGetIntegerv(GL_CONTEXT_PROFILE_MASK, &profile);
    EXPECT_TRUE(profile & GL_CONTEXT_COMPATIBILITY_PROFILE_BIT) << context->glVersion().toStdString();
    glEnable(GL_TEXTURE_2D); // a fixed-function switch only the compatibility profile accepts
    glDisable(GL_TEXTURE_2D);
    EXPECT_TRUE(drainErrors().isEmpty());
    EXPECT_FALSE(context->glRenderer().isEmpty());
}

TEST_F(GlTest, ScopeMakesCurrentAndReleasesOnExit) {
    EXPECT_FALSE(context->isCurrent());
    EXPECT_EQ(Context::current(), nullptr);
    {
        const Context::Scope scope(*context);
        EXPECT_TRUE(context->isCurrent());
        EXPECT_EQ(Context::current(), context.get());
        EXPECT_EQ(ShareGroup::current(), context->shareGroup());
    }
    EXPECT_FALSE(context->isCurrent());
    EXPECT_EQ(eglGetCurrentContext(), EGL_NO_CONTEXT);
    EXPECT_EQ(Context::current(), nullptr);
    EXPECT_EQ(ShareGroup::current(), nullptr);
}

TEST_F(GlTest, NestedScopesRestoreWhatWasCurrent) {
    const auto other = Context::create();
    {
        const Context::Scope outer(*context);
        {
            const Context::Scope sameAgain(*context);
            EXPECT_TRUE(context->isCurrent());
        }
        EXPECT_TRUE(context->isCurrent()) << "the inner scope of the same context released it";
        {
            const Context::Scope second(*other);
            EXPECT_TRUE(other->isCurrent());
            EXPECT_EQ(Context::current(), other.get());
            {
                const Context::Scope firstInsideSecond(*context);
                EXPECT_TRUE(context->isCurrent());
            }
            EXPECT_TRUE(other->isCurrent()) << "leaving a nested scope did not restore the outer context";
        }
        EXPECT_TRUE(context->isCurrent());
        EXPECT_EQ(Context::current(), context.get());
    }
    EXPECT_EQ(eglGetCurrentContext(), EGL_NO_CONTEXT);
}

TEST_F(GlTest, SharedContextOnAnotherThreadSeesTexture) {
    const unsigned char texels[] = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120, 130, 140, 150, 160};
    GLuint texture = 0;
    {
        const Context::Scope scope(*context);
        const DriverLock driver;
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
        glBindTexture(GL_TEXTURE_2D, 0);
        glFinish(); // GL promises other contexts nothing before the upload has finished
    }
    bool sharedSees = false, strangerSees = true;
    std::vector<unsigned char> readBack(sizeof texels);
    std::thread loader([&] {
        const auto shared = Context::createShared(*context);
        const auto stranger = Context::create();
        EXPECT_TRUE(shared->sharesWith(*context));
        EXPECT_FALSE(stranger->sharesWith(*context));
        {
            const Context::Scope scope(*shared);
            const DriverLock driver;
            sharedSees = glIsTexture(texture);
            glBindTexture(GL_TEXTURE_2D, texture);
            glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, readBack.data());
        }
        const Context::Scope scope(*stranger);
        const DriverLock driver;
        strangerSees = glIsTexture(texture);
    });
    loader.join();
    EXPECT_TRUE(sharedSees);
    EXPECT_FALSE(strangerSees) << "a context made without sharing sees the texture";
    EXPECT_EQ(readBack, std::vector<unsigned char>(std::begin(texels), std::end(texels)));
}

TEST_F(GlTest, TwoThreadsTakingScopesInTurnNeverOverlap) {
    constexpr int rounds = 200;
    std::unique_ptr<FrameBuffer> target;
    {
        const Context::Scope scope(*context);
        const DriverLock driver;
        target = std::make_unique<FrameBuffer>(4, 4);
    }
    std::atomic<int> inside{0}, overlaps{0}, notCurrent{0}, wrongPixels{0}, glErrors{0}, done{0};
    // Each thread clears to its own colour and reads it back; a scope held by both at once would mix them.
    auto hammer = [&](QRgb colour) {
        for (int i = 0; i < rounds; ++i) {
            const Context::Scope scope(*context);
            const DriverLock driver;
            if (inside.fetch_add(1) != 0)
                ++overlaps;
            if (!context->isCurrent())
                ++notCurrent;
            target->bind();
            glClearColor(qRed(colour) / 255.0f, qGreen(colour) / 255.0f, qBlue(colour) / 255.0f, 1);
            glClear(GL_COLOR_BUFFER_BIT);
            if (target->readPixelsBGRA(1, 1, 1, 1).pixel(0, 0) != colour)
                ++wrongPixels;
            glErrors += int(drainErrors().size());
            ++done;
            inside.fetch_sub(1);
        }
    };
    std::thread first(hammer, qRgb(255, 0, 0)), second(hammer, qRgb(0, 0, 255));
    first.join();
    second.join();
    EXPECT_EQ(done.load(), 2 * rounds);
    EXPECT_EQ(overlaps.load(), 0);
    EXPECT_EQ(notCurrent.load(), 0);
    EXPECT_EQ(wrongPixels.load(), 0);
    EXPECT_EQ(glErrors.load(), 0);
    const Context::Scope scope(*context);
    target.reset();
}

// The contexts' locks in the render road's order: a thread's own first, the main context's after the
// director's lock and before the driver lock (and never held across a wait for another thread), and a
// composition renderer's only under the driver lock.
class ContextOrderDeathTest : public GlTest {
protected:
    void SetUp() override {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        GlTest::SetUp();
    }
};

TEST_F(ContextOrderDeathTest, ALockOutOfPlaceOrHeldAcrossAWaitStops) {
    const auto main = Context::create(Context::Use::Main);
    const auto renderer = Context::createShared(*main, Context::Use::InsideFrame);
    RankedMutex<std::recursive_mutex> director{LockRank::Director, "the test's director lock"};
    struct Case {
        const char* what;
        std::function<void()> run;
        const char* says;
    };
    const Case cases[] = {
        {"the main context under the driver lock",
         [&] {
             const DriverLock driver;
             const Context::Scope scope(*main);
         },
         "the main GL context asked for while the GL driver lock is held"},
        {"the director's lock under the main context",
         [&] {
             const Context::Scope scope(*main);
             const std::lock_guard play(director);
         },
         "the test's director lock asked for while the main GL context is held"},
        {"a thread's own context under the director's lock",
         [&] {
             const std::lock_guard play(director);
             const Context::Scope scope(*context);
         },
         "a thread's own GL context asked for while the test's director lock is held"},
        {"a wait under the main context",
         [&] {
             const Context::Scope scope(*main);
             DriverLock::checkFreeToWait("the sound output");
         },
         "a wait for the sound output while the main GL context is held"},
        {"a composition renderer's context without the driver lock",
         [&] { const Context::Scope scope(*renderer); },
         "a composition renderer's GL context asked for without the GL driver lock"},
    };
    for (const Case& c : cases)
        EXPECT_DEATH(c.run(), c.says) << c.what;
    // The order as written passes.
    const std::lock_guard play(director);
    const Context::Scope scope(*main);
    const DriverLock driver;
    const Context::Scope inside(*renderer);
}

TEST_F(GlTest, AWaitOutsideGlLetsAnotherThreadIntoTheMainContextAndTakesItBackCurrent) {
    const HangGuard guard("a wait with the main context let go", std::chrono::seconds(60));
    const auto main = Context::create(Context::Use::Main);
    RankedMutex<> cacheLock{LockRank::Cache, "the test's cache lock"};
    std::condition_variable_any changed;
    bool resized = false;
    std::unique_ptr<FrameBuffer> target;
    const Context::Scope frame(*main);
    const DriverLock drawing;
    std::unique_lock held(cacheLock);
    // The main thread's resize: it needs the context the waiting frame holds.
    std::thread resize([&] {
        const Context::Scope scope(*main);
        const DriverLock driver;
        target = std::make_unique<FrameBuffer>(4, 4);
        const std::lock_guard lock(cacheLock);
        resized = true;
        changed.notify_all();
    });
    waitOutsideGl(held, [&](auto& lock) { changed.wait(lock, [&] { return resized; }); });
    EXPECT_TRUE(held.owns_lock());
    EXPECT_TRUE(DriverLock::isHeldHere());
    EXPECT_TRUE(main->isCurrent());
    EXPECT_EQ(Context::current(), main.get());
    held.unlock();
    resize.join();
    target->bind();
    EXPECT_EQ(drainErrors().size(), 0u) << "the context came back without what the other thread made on it";
    target.reset();
}

// A wait inside a wait (a clip closing during a rewind that let the context go) has nothing more to let go,
// and the context comes back held once: the Scope's end lets another thread have it.
TEST_F(GlTest, ALetGoInsideAnotherLetsGoOfNothingMoreAndTheContextComesBackHeldOnce) {
    const HangGuard guard("a main context let go twice over", std::chrono::seconds(60));
    const auto main = Context::create(Context::Use::Main);
    {
        const Context::Scope frame(*main);
        {
            const Context::LetGo rewind;
            const OutsideGl decoder;
            EXPECT_FALSE(Context::holdsMainHere());
        }
        EXPECT_TRUE(Context::holdsMainHere());
        EXPECT_TRUE(main->isCurrent());
    }
    DriverLock::checkFreeToWait("the test's wait after the scope");
    std::thread other([&] { const Context::Scope scope(*main); });
    other.join();
}

TEST_F(GlTest, DrainErrorsNamesEachErrorOnce) {
    const Context::Scope scope(*context);
    const DriverLock driver;
    drainErrors();
    glEnable(0x7fff); // no such capability
    EXPECT_EQ(drainErrors(), QStringList{QStringLiteral("GL_INVALID_ENUM")});
    EXPECT_TRUE(drainErrors().isEmpty());
    GLuint unused = 0;
    glGenTextures(-1, &unused);
    EXPECT_EQ(logErrors("glGenTextures(-1)"), 1);
    EXPECT_TRUE(drainErrors().isEmpty());
    EXPECT_EQ(errorName(GL_INVALID_OPERATION), QStringLiteral("GL_INVALID_OPERATION"));
    EXPECT_EQ(errorName(0x1234), QStringLiteral("GL error 0x1234"));
}
