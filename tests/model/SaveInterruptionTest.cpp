#include "ModelTestEnvironment.h"

#include <QProcess>

#include <csignal>

using model_test::ModelTest;

namespace {
const char* const kLoopFolder = "VISTRELLE_TEST_SAVE_LOOP";
}

// Run only as the child of the test below: saves the project named in the environment over and
// over, with a new title each time, until it is killed.
TEST(DISABLED_SaveLoopChild, SavesUntilKilled) {
    const QString folder = qEnvironmentVariable(kLoopFolder);
    ASSERT_FALSE(folder.isEmpty());
    registerModelClasses();
    auto project = SlideshowProject::loadBundleProject(folder);
    ASSERT_TRUE(project);
    for (int round = 1; round < 100000; ++round) {
        project->setStrProjectTitle(QString("v%1").arg(round));
        ASSERT_TRUE(project->saveProjectToFile());
        if (round == 1)
            model_test::writeFile(folder + "/../started");
    }
}

class SaveInterruptionTest : public ModelTest {};

TEST_F(SaveInterruptionTest, AProcessKilledWhileSavingLeavesTheLastGoodProject) {
    auto project = SlideshowProject::createNewBundleProject("Crash");
    ASSERT_TRUE(project);
    std::vector<SlideItemRef> slides;
    for (int i = 0; i < 400; ++i)
        slides.push_back(photoIn(project, QString("photo-%1.jpg").arg(i)));
    project->setSlideshowArray(slides);
    ASSERT_TRUE(project->saveProjectToFile());
    const QString folder = project->strMacProjectBundleFullPath();
    const QString started = QFileInfo(folder + "/../started").absoluteFilePath();

    for (int kill = 0; kill < 4; ++kill) {
        QFile::remove(started);
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(kLoopFolder, folder);
        child.setProcessEnvironment(environment);
        child.start(
            QCoreApplication::applicationFilePath(),
            {"--gtest_also_run_disabled_tests", "--gtest_filter=DISABLED_SaveLoopChild.SavesUntilKilled"});
        ASSERT_TRUE(child.waitForStarted());
        ASSERT_TRUE(model_test::spinUntil([&] { return QFileInfo::exists(started); }, 60000));
        // While the child saves, every read finds a whole project: never a partly written archive.
        for (int read = 0; read < 10; ++read) {
            QString error;
            ASSERT_TRUE(SlideshowProject::loadBundleProject(folder, &error)) << error.toStdString();
        }
        ::kill(pid_t(child.processId()), SIGKILL);
        child.waitForFinished();

        QString error;
        auto survivor = SlideshowProject::loadBundleProject(folder, &error);
        ASSERT_TRUE(survivor) << "after kill " << kill << ": " << error.toStdString();
        EXPECT_TRUE(survivor->strProjectTitle().startsWith('v'));
        EXPECT_EQ(survivor->slideCount(), 400u);
        EXPECT_EQ(QDir(folder).entryList({".SlideshowProject.dat.*"}, QDir::Files | QDir::Hidden),
                  QStringList())
            << "the half-made save of the killed process is left behind";
    }
}
