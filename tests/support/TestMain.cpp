#include "support/TestApplication.h"
#include "support/UserFolders.h"

#include <QString>
#include <gtest/gtest.h>

#include <atomic>
#include <optional>

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

namespace {

std::optional<TestApplication>* application = nullptr;       // main's own: a test that exits leaves it be
std::optional<test_support::ProcessUserFolders> userFolders; // removed also when a test exits
QtMessageHandler qtHandler = nullptr;
std::atomic<bool> testsRun{false}; // a failure has a test to go to

// Qt's words for an object used from a thread it does not live on. Qt carries on after them, but each is a
// fault of ours: a timer left running, an object that may be touched by two threads at once.
bool isThreadMisuse(const QString& message) {
    static const char* const misuses[] = {
        "Timers cannot be stopped from another thread", "Timers cannot be started from another thread",
        "Cannot create children for a parent that is in a different thread"};
    for (const char* misuse : misuses)
        if (message.contains(QLatin1String(misuse)))
            return true;
    return false;
}

void failOnThreadMisuse(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (testsRun && isThreadMisuse(message))
        ADD_FAILURE() << "Qt: " << message.toStdString();
    if (qtHandler)
        qtHandler(type, context, message);
}

} // namespace

void test_support::endApplication() {
    if (application)
        application->reset();
}

// Every test binary owns an application object so that fonts, images and the main thread behave as in the
// app; the interface's tests own a widgets application.
int main(int argc, char** argv) {
    userFolders.emplace(); // before anything reads the user's folders
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
    // As the application: media play through the FFmpeg libraries, not system plugins a machine may lack.
    if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND"))
        qputenv("QT_MEDIA_BACKEND", QByteArray("ffmpeg"));
    qtHandler = qInstallMessageHandler(failOnThreadMisuse);
    std::optional<TestApplication> app;
    app.emplace(argc, argv);
    application = &app;
    ::testing::InitGoogleTest(&argc, argv);
    testsRun = true;
    const int status = RUN_ALL_TESTS();
    testsRun = false;
    return status;
}
