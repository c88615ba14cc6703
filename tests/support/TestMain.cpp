#include <gtest/gtest.h>

#ifdef VISTRELLE_TEST_WIDGETS
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QGuiApplication>
using TestApplication = QGuiApplication;
#endif

// The sanitizer runtime reads these before main, also when ctest lists the cases at build time; the
// variables LSAN_OPTIONS and UBSAN_OPTIONS still override them.
#ifdef VISTRELLE_SANITIZE
extern "C" const char* __ubsan_default_options() {
    return "print_stacktrace=1";
}
#endif
#ifdef VISTRELLE_LEAK_SUPPRESSIONS
extern "C" const char* __lsan_default_options() {
    return "suppressions=" VISTRELLE_LEAK_SUPPRESSIONS ":print_suppressions=0";
}
#endif

// Every test binary owns an application object so that fonts, images and the main thread behave as in the
// app; the interface's tests own a widgets application.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
    // As the application: media play through the FFmpeg libraries, not system plugins a machine may lack.
    if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND"))
        qputenv("QT_MEDIA_BACKEND", QByteArray("ffmpeg"));
    TestApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
