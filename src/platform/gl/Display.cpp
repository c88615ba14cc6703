#include "platform/gl/Display.h"

#include "platform/gl/DriverLock.h"
#include "platform/gl/GlError.h"

#include <EGL/eglext.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <variant>

namespace platform::gl {

namespace {

bool clientHas(const char* name) {
    // Without EGL_EXT_client_extensions this answers null and sets an error, which is "no extensions".
    const char* list = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    if (!list)
        eglGetError();
    return extensionListHas(list, name);
}

EGLDisplay platformDisplay(EGLenum platform, void* native) {
    const auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!getPlatformDisplay)
        return EGL_NO_DISPLAY;
    return getPlatformDisplay(platform, native, nullptr);
}

EGLDisplay firstDeviceDisplay() {
    const auto queryDevices =
        reinterpret_cast<PFNEGLQUERYDEVICESEXTPROC>(eglGetProcAddress("eglQueryDevicesEXT"));
    if (!queryDevices)
        return EGL_NO_DISPLAY;
    EGLDeviceEXT device = nullptr;
    EGLint count = 0;
    if (!queryDevices(1, &device, &count) || count < 1)
        return EGL_NO_DISPLAY;
    return platformDisplay(EGL_PLATFORM_DEVICE_EXT, device);
}

EGLint configValue(EGLDisplay display, EGLConfig config, EGLint attribute) {
    EGLint value = 0;
    eglGetConfigAttrib(display, config, attribute, &value);
    return value;
}

} // namespace

bool extensionListHas(const char* list, const char* name) {
    if (!list || !name || !*name)
        return false;
    const std::size_t length = std::strlen(name);
    for (const char* at = std::strstr(list, name); at; at = std::strstr(at + 1, name)) {
        const bool startsWord = at == list || at[-1] == ' ';
        const bool endsWord = at[length] == '\0' || at[length] == ' ';
        if (startsWord && endsWord)
            return true;
    }
    return false;
}

Display& Display::instance() {
    using State = std::variant<std::unique_ptr<Display>, QString>;
    // Opened under the driver lock, taken before the first use waits for the opening: a thread that holds
    // the lock and asks for the display meanwhile would otherwise wait for the opener, which waits for it.
    static std::atomic<const State*> opened{nullptr};
    const State* state = opened.load(std::memory_order_acquire);
    if (!state) {
        const DriverLock driver;
        static const State once = []() -> State {
            try {
                return std::make_unique<Display>(std::vector{
                    DisplayPlatform::Surfaceless, DisplayPlatform::Device, DisplayPlatform::Default});
            } catch (const GlError& error) {
                return QString::fromStdString(error.what());
            }
        }();
        state = &once;
        opened.store(state, std::memory_order_release);
    }
    if (const auto* display = std::get_if<std::unique_ptr<Display>>(state))
        return **display;
    throw GlError(std::get<QString>(*state));
}

Display::Display(const std::vector<DisplayPlatform>& order) {
    const DriverLock driver;
    QStringList failures;
    for (const DisplayPlatform platform : order) {
        QString failure;
        if (tryOpen(platform, failure))
            return;
        failures << platformName(platform) + QStringLiteral(": ") + failure;
    }
    throw GlError(QStringLiteral("No OpenGL available through EGL (") + failures.join(QStringLiteral("; ")) +
                  QStringLiteral("). Install Mesa's EGL and GL drivers (libegl-mesa0, libgl1-mesa-dri)."));
}

bool Display::tryOpen(DisplayPlatform platform, QString& failure) {
    EGLDisplay candidate = EGL_NO_DISPLAY;
    switch (platform) {
    case DisplayPlatform::Surfaceless:
        if (clientHas("EGL_MESA_platform_surfaceless"))
            candidate = platformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY);
        break;
    case DisplayPlatform::Device:
        if (clientHas("EGL_EXT_platform_device") && clientHas("EGL_EXT_device_enumeration"))
            candidate = firstDeviceDisplay();
        break;
    case DisplayPlatform::Default:
        candidate = eglGetDisplay(EGL_DEFAULT_DISPLAY);
        break;
    }
    if (candidate == EGL_NO_DISPLAY) {
        failure = QStringLiteral("no display");
        return false;
    }
    EGLint major = 0, minor = 0;
    if (!eglInitialize(candidate, &major, &minor)) {
        failure = QStringLiteral("eglInitialize failed with ") + eglErrorName(eglGetError());
        return false;
    }
    // A display that cannot serve us stays initialised: EGL hands out one handle per platform and device,
    // and another owner in this process may use it.
    display = candidate;
    chosenPlatform = platform;
    if (!hasExtension("EGL_KHR_surfaceless_context")) {
        failure = QStringLiteral("no EGL_KHR_surfaceless_context");
        return false;
    }
    if (!eglBindAPI(EGL_OPENGL_API)) {
        failure = QStringLiteral("desktop OpenGL is not offered");
        return false;
    }
    return chooseConfig(failure);
}

bool Display::chooseConfig(QString& failure) {
    // The pbuffer bit is asked for first; without it, contexts still work surfaceless.
    for (const EGLint surfaceType : {EGLint(EGL_PBUFFER_BIT), EGLint(0)}) {
        const EGLint attributes[] = {EGL_RED_SIZE,     8,           EGL_GREEN_SIZE,      8,
                                     EGL_BLUE_SIZE,    8,           EGL_ALPHA_SIZE,      8,
                                     EGL_DEPTH_SIZE,   24,          EGL_STENCIL_SIZE,    8,
                                     EGL_SURFACE_TYPE, surfaceType, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                                     EGL_NONE};
        EGLConfig configs[64];
        EGLint count = 0;
        if (!eglChooseConfig(display, attributes, configs, 64, &count))
            continue;
        // EGL sorts deeper colour first; keep to exactly 8 bits per channel so read-back stays RGBA8.
        for (EGLint i = 0; i < count; ++i) {
            const bool eightBits = configValue(display, configs[i], EGL_RED_SIZE) == 8 &&
                                   configValue(display, configs[i], EGL_GREEN_SIZE) == 8 &&
                                   configValue(display, configs[i], EGL_BLUE_SIZE) == 8 &&
                                   configValue(display, configs[i], EGL_ALPHA_SIZE) == 8;
            if (eightBits) {
                eglConfig = configs[i];
                pbufferCapable = configValue(display, configs[i], EGL_SURFACE_TYPE) & EGL_PBUFFER_BIT;
                return true;
            }
        }
    }
    failure = QStringLiteral("no RGBA8 config with depth 24, stencil 8 and desktop OpenGL");
    return false;
}

QString Display::vendor() const {
    const DriverLock driver;
    return QString::fromLatin1(eglQueryString(display, EGL_VENDOR));
}

bool Display::hasExtension(const char* name) const {
    const DriverLock driver;
    return extensionListHas(eglQueryString(display, EGL_EXTENSIONS), name);
}

void Display::bindApi() {
    if (eglQueryAPI() != EGL_OPENGL_API && !eglBindAPI(EGL_OPENGL_API))
        throw GlError(QStringLiteral("eglBindAPI(EGL_OPENGL_API) failed with ") +
                      eglErrorName(eglGetError()));
}

QString Display::platformName(DisplayPlatform platform) {
    switch (platform) {
    case DisplayPlatform::Surfaceless:
        return QStringLiteral("surfaceless");
    case DisplayPlatform::Device:
        return QStringLiteral("device");
    case DisplayPlatform::Default:
        return QStringLiteral("default");
    }
    return {};
}

QString Display::eglErrorName(EGLint error) {
    switch (error) {
    case EGL_SUCCESS:
        return QStringLiteral("EGL_SUCCESS");
    case EGL_NOT_INITIALIZED:
        return QStringLiteral("EGL_NOT_INITIALIZED");
    case EGL_BAD_ACCESS:
        return QStringLiteral("EGL_BAD_ACCESS");
    case EGL_BAD_ALLOC:
        return QStringLiteral("EGL_BAD_ALLOC");
    case EGL_BAD_ATTRIBUTE:
        return QStringLiteral("EGL_BAD_ATTRIBUTE");
    case EGL_BAD_CONFIG:
        return QStringLiteral("EGL_BAD_CONFIG");
    case EGL_BAD_CONTEXT:
        return QStringLiteral("EGL_BAD_CONTEXT");
    case EGL_BAD_DISPLAY:
        return QStringLiteral("EGL_BAD_DISPLAY");
    case EGL_BAD_MATCH:
        return QStringLiteral("EGL_BAD_MATCH");
    case EGL_BAD_PARAMETER:
        return QStringLiteral("EGL_BAD_PARAMETER");
    case EGL_BAD_SURFACE:
        return QStringLiteral("EGL_BAD_SURFACE");
    case EGL_CONTEXT_LOST:
        return QStringLiteral("EGL_CONTEXT_LOST");
    default:
        return QStringLiteral("EGL error 0x%1").arg(error, 4, 16, QLatin1Char('0'));
    }
}

} // namespace platform::gl
