#include "app/ApplicationShell.h"
#include "support/TestEnvironment.h"

#include <QByteArray>
#include <QtGlobal>
#include <gtest/gtest.h>

#include <string>
#include <utility>

TEST(ApplicationShell, OffscreenPlatformCountsAsDisplay) {
    qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
    EXPECT_TRUE(displayAvailable());
}

TEST(ApplicationShell, DocumentsAreTheArgumentsThatAreNotOptions) {
    EXPECT_EQ(documentArguments({"vistrelle", "--verbose", "/a/P.VistrelleProject", "b"}),
              (QStringList{"/a/P.VistrelleProject", "b"}));
    EXPECT_TRUE(documentArguments({"vistrelle"}).isEmpty());
}

TEST(ApplicationShell, VersionIsPrintedWithoutStartingTheInterface) {
    char program[] = "vistrelle";
    char flag[] = "--version";
    char* argv[] = {program, flag, nullptr};
    testing::internal::CaptureStdout();
    const int status = runApplication(2, argv);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out.rfind("Vistrelle ", 0), 0u) << out;
}

TEST(ApplicationShell, HelpAndVersionAnswerAsTextWithoutADisplay) {
    const test_support::EnvOverride platform("QT_QPA_PLATFORM", std::nullopt);
    const test_support::EnvOverride display("DISPLAY", std::nullopt);
    const test_support::EnvOverride wayland("WAYLAND_DISPLAY", std::nullopt);
    for (const auto& [flag, start] :
         {std::pair{"--help", "Usage: vistrelle"}, {"-h", "Usage: vistrelle"}, {"--version", "Vistrelle "}}) {
        char program[] = "vistrelle";
        std::string option = flag;
        char* argv[] = {program, option.data(), nullptr};
        testing::internal::CaptureStdout();
        const int status = runApplication(2, argv);
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(status, 0) << flag;
        EXPECT_EQ(out.rfind(start, 0), 0u) << out;
    }
}

TEST(ApplicationShell, WithoutADisplayItSaysHowToGetOne) {
    const QByteArray saved = qgetenv("QT_QPA_PLATFORM");
    qunsetenv("QT_QPA_PLATFORM");
    const QByteArray display = qgetenv("DISPLAY"), wayland = qgetenv("WAYLAND_DISPLAY");
    qunsetenv("DISPLAY");
    qunsetenv("WAYLAND_DISPLAY");
    char program[] = "vistrelle";
    char* argv[] = {program, nullptr};
    testing::internal::CaptureStderr();
    const int status = runApplication(1, argv);
    const std::string err = testing::internal::GetCapturedStderr();
    qputenv("QT_QPA_PLATFORM", saved);
    if (!display.isEmpty())
        qputenv("DISPLAY", display);
    if (!wayland.isEmpty())
        qputenv("WAYLAND_DISPLAY", wayland);
    EXPECT_NE(status, 0);
    EXPECT_NE(err.find("xvfb-run"), std::string::npos) << err;
}
