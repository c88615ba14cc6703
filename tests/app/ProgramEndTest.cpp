// A program that opened a project with clip slides ends as a program does, by returning from main, and
// cleanly: nothing of it aborts, and the sanitizers find no memory used after it was freed.
#include "app/ApplicationShell.h"
#include "model/ModelClasses.h"
#include "model/SlideshowProject.h"
#include "model/VideoSlideItem.h"
#include "platform/foundation/MainThread.h"
#include "support/ClipMaker.h"
#include "support/IsolatedUser.h"
#include "support/TestApplication.h"
#include "support/TestChild.h"

#include <QCoreApplication>
#include <QDir>
#include <QMetaObject>
#include <gtest/gtest.h>

#include <memory>
#include <thread>

namespace {

const char* const kProjectVariable = "VISTRELLE_TEST_CLIP_PROJECT";
constexpr std::size_t kClips = 6;

QString clipProject() {
    return qEnvironmentVariable(kProjectVariable);
}

// A saved project of clip slides only; its folder.
QString saveClipProject(const test_support::IsolatedUser& user) {
    const SlideshowProjectRef project = user.openProject();
    QDir().mkpath(project->strProjectVideoFileDirectory());
    std::vector<SlideItemRef> slides;
    for (std::size_t i = 0; i < kClips; ++i) {
        const QString path = project->strProjectVideoFileDirectory() + QStringLiteral("/clip%1.mp4").arg(i);
        ClipMaker::Options options;
        options.audio = i % 2 == 0;
        EXPECT_TRUE(ClipMaker::make(path, options)) << path.toStdString();
        auto clip = platform::makeMainThreadShared<VideoSlideItem>();
        clip->PrepareVideoItem(path);
        slides.push_back(clip);
    }
    project->setSlideshowArray(slides);
    QString error;
    EXPECT_TRUE(project->saveProjectToFile(&error)) << error.toStdString();
    return project->strMacProjectBundleFullPath();
}

void quitOnceRunning() {
    QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
}

} // namespace

// Run only as children of the test below. A program on our libraries that returns from main with the
// project open: the project goes with the statics, after the thread's own objects, and its clip slides lock
// their readers as they go.
TEST(DISABLED_ProgramEndChild, ReturnsWithAClipProjectOpen) {
    registerModelClasses();
    QString error;
    const SlideshowProjectRef project = SlideshowProject::loadBundleProject(clipProject(), &error);
    ASSERT_TRUE(project) << error.toStdString();
    ASSERT_EQ(project->slideCount(), kClips);
    SlideshowProject::retainProject(project);
}

// The application on the project as its last one, quit as soon as its event loop runs.
TEST(DISABLED_ProgramEndChild, RunsTheApplicationOnAClipProject) {
    SlideshowProject::setStrLastProjectBundlePath(clipProject());
    test_support::endApplication();
    qAddPreRoutine(quitOnceRunning);
    char program[] = "vistrelle";
    char* argv[] = {program, nullptr};
    EXPECT_EQ(runApplication(1, argv), 0);
    EXPECT_FALSE(SlideshowProject::currentMainProject()) << "the run returned with its project open";
}

TEST(ProgramEnd, AProgramThatOpenedClipSlidesEndsCleanly) {
    const test_support::IsolatedUser user;
    const QMap<QString, QString> environment{{kProjectVariable, saveClipProject(user)}};
    test_support::IsolatedUser::resetSingletons();
    for (const char* test : {"DISABLED_ProgramEndChild.ReturnsWithAClipProjectOpen",
                             "DISABLED_ProgramEndChild.RunsTheApplicationOnAClipProject"}) {
        TestChild child(test, environment);
        EXPECT_TRUE(child.finish()) << test << "\n" << child.said().toStdString();
    }
}

// At the run's end, what other threads let go of last and that waits to be destroyed on the main thread goes,
// and nothing else queued for the main thread runs: the window and controllers it was meant for are gone.
TEST(ProgramEnd, TheRunsEndDestroysWhatWaitsForTheMainThreadAndRunsNothingElse) {
    struct Witness {
        explicit Witness(std::shared_ptr<bool> gone) : gone(std::move(gone)) {}
        ~Witness() { *gone = true; }
        std::shared_ptr<bool> gone;
    };
    const auto destroyed = std::make_shared<bool>(false);
    auto slide = platform::makeMainThreadShared<Witness>(destroyed);
    std::thread([last = std::move(slide)]() mutable { last.reset(); }).join();
    ASSERT_FALSE(*destroyed) << "handed over to the main thread";
    const auto ran = std::make_shared<bool>(false);
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [ran] { *ran = true; }, Qt::QueuedConnection);
    letGoOfWhatTheRunKeptOpen();
    EXPECT_TRUE(*destroyed);
    EXPECT_FALSE(*ran) << "a queued call for what the run's end let go of";
}
