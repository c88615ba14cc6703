#pragma once

#include <EGL/egl.h>

#include <QString>

#include <vector>

namespace platform::gl {

// The ways of reaching an EGL display, tried in the order given.
enum class DisplayPlatform {
    Surfaceless, // Mesa's surfaceless platform: no window system, no device file needed
    Device,      // the first device of EGL_EXT_platform_device
    Default,     // eglGetDisplay(EGL_DEFAULT_DISPLAY)
};

// An initialised EGL display with the one config every context of the program uses: RGBA8, depth 24,
// stencil 8, desktop GL renderable, pbuffer-capable when the display offers it. The display also supports
// surfaceless make-current, which the contexts rely on.
class Display {
public:
    // The process-wide display, initialised on first use from any thread. Throws GlError naming every
    // platform tried when no GL can be had; later calls throw the same error without trying again.
    static Display& instance();

    // Opens a display on the first platform of `order` that works, under the driver lock; throws GlError
    // otherwise. The program uses instance(); this is for checking a particular platform.
    explicit Display(const std::vector<DisplayPlatform>& order);
    Display(const Display&) = delete;
    Display& operator=(const Display&) = delete;
    // Never terminates the EGL display: contexts of other threads may outlive any owner of this object.
    ~Display() = default;

    EGLDisplay handle() const { return display; }
    EGLConfig config() const { return eglConfig; }
    DisplayPlatform platform() const { return chosenPlatform; }
    bool hasPbufferConfig() const { return pbufferCapable; }
    QString vendor() const;
    bool hasExtension(const char* name) const;

    // EGL keeps the bound API per thread; every entry point that creates or binds a context calls this.
    static void bindApi();

    static QString platformName(DisplayPlatform platform);
    static QString eglErrorName(EGLint error);

private:
    bool tryOpen(DisplayPlatform platform, QString& failure);
    bool chooseConfig(QString& failure);

    EGLDisplay display = EGL_NO_DISPLAY;
    EGLConfig eglConfig = nullptr;
    DisplayPlatform chosenPlatform = DisplayPlatform::Default;
    bool pbufferCapable = false;
};

// True when the space-separated extension list `list` holds `name` as a whole word.
bool extensionListHas(const char* list, const char* name);

} // namespace platform::gl
