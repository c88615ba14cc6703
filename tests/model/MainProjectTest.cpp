#include "ArchiveTestSupport.h"
#include "ModelTestEnvironment.h"
#include "platform/foundation/MainThread.h"

#include <atomic>
#include <thread>

using model_test::ModelTest;
using model_test::projectFolders;
using model_test::writeFile;

class MainProjectTest : public ModelTest {
protected:
    // A later start of the program: the singletons are gone, the files and defaults stay.
    static SlideshowProjectRef restart() {
        SlideshowProject::resetMainProjectForTesting();
        SlideshowProjectManager::creatNewDefaultSlideshowProjectManager();
        return SlideshowProject::mainProject();
    }
};

TEST_F(MainProjectTest, TheFirstStartMakesOneFolderAndLaterStartsReopenIt) {
    auto first = SlideshowProject::mainProject();
    ASSERT_TRUE(first);
    EXPECT_EQ(SlideshowProject::mainProject(), first) << "later calls answer the same project";
    const QString folder = first->strMacProjectBundleFullPath();
    EXPECT_EQ(folder, SlideshowProject::appDocFullPath() + "/New Project.VistrelleProject");
    EXPECT_EQ(SlideshowProject::strLastProjectBundlePath(), folder);
    EXPECT_TRUE(SlideshowProject::isValidProjectBundle(folder));
    EXPECT_TRUE(QFileInfo::exists(folder + "/SlideshowProjectManager.dat"));
    for (int start = 0; start < 3; ++start) {
        auto again = restart();
        ASSERT_TRUE(again);
        EXPECT_NE(again, first);
        EXPECT_EQ(again->strMacProjectBundleFullPath(), folder);
    }
    EXPECT_EQ(projectFolders(), QStringList{"New Project.VistrelleProject"});
}

TEST_F(MainProjectTest, ADeletedLastProjectGivesANewFolderWhosePathIsStored) {
    SlideshowProject::setStrLastProjectBundlePath(home + "/gone.VistrelleProject");
    auto project = SlideshowProject::mainProject();
    ASSERT_TRUE(project);
    EXPECT_TRUE(project->strMacProjectBundleFullPath().startsWith(SlideshowProject::appDocFullPath()));
    EXPECT_EQ(SlideshowProject::strLastProjectBundlePath(), project->strMacProjectBundleFullPath());
}

TEST_F(MainProjectTest, AnUnreadableLastProjectIsLeftAloneAndReplacedOnce) {
    const QString broken = home + "/broken.VistrelleProject";
    writeFile(broken + "/SlideshowProject.dat", "garbage");
    QDir().mkpath(broken + "/Contents");
    SlideshowProject::setStrLastProjectBundlePath(broken);
    auto project = SlideshowProject::mainProject();
    ASSERT_TRUE(project);
    EXPECT_NE(project->strMacProjectBundleFullPath(), broken);
    QFile kept(broken + "/SlideshowProject.dat");
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "garbage") << "the unreadable archive is not overwritten";
    EXPECT_EQ(restart()->strMacProjectBundleFullPath(), project->strMacProjectBundleFullPath())
        << "the next start reopens the new folder instead of making another";
    EXPECT_EQ(projectFolders().size(), 1);
}

TEST_F(MainProjectTest, AReopenedProjectLosesItsMissingFilesAndItsManagerIsReloaded) {
    auto first = SlideshowProject::mainProject();
    auto kept = photoIn(first, "kept.jpg");
    auto lost = platform::makeMainThreadShared<SlideItem>();
    lost->setFileName("lost.jpg");
    first->setSlideshowArray({lost, kept});
    first->setMusicArray({});
    ASSERT_TRUE(first->saveProjectToFile());
    SlideshowProjectManager::defaultSlideshowProjectManager()->setDvdTitle("Our trip");
    ASSERT_TRUE(SlideshowProjectManager::defaultSlideshowProjectManager()->saveToFile());

    auto again = restart();
    ASSERT_EQ(again->slideCount(), 1u);
    EXPECT_EQ(again->slideItemAtIndex(0)->shortFileName(), "kept.jpg");
    EXPECT_TRUE(again->bIsDirty());
    EXPECT_EQ(SlideshowProjectManager::defaultSlideshowProjectManager()->dvdTitle(), "Our trip");
}

TEST_F(MainProjectTest, WithoutAnyWritableFolderAFolderlessProjectIsKept) {
    writeFile(home + "/Videos", "not a folder");
    auto project = SlideshowProject::mainProject();
    ASSERT_TRUE(project);
    EXPECT_TRUE(project->strMacProjectBundleFullPath().isEmpty());
    EXPECT_TRUE(SlideshowProject::strLastProjectBundlePath().isNull());
    project->setBIsDirty(true);
    EXPECT_FALSE(project->saveProjectToFile());
    EXPECT_FALSE(SlideshowProjectManager::defaultSlideshowProjectManager()->saveToFile());
}

TEST_F(MainProjectTest, ReplacingTheOpenProjectKeepsItAliveForThoseWhoHoldIt) {
    auto exporting = SlideshowProject::mainProject();
    std::weak_ptr<SlideshowProject> watch = exporting;
    auto other = platform::makeMainThreadShared<SlideshowProject>();
    SlideshowProject::retainProject(other);
    EXPECT_EQ(SlideshowProject::currentMainProject(), other);
    EXPECT_FALSE(watch.expired()) << "a holder (an export) keeps the replaced project";
    exporting.reset();
    EXPECT_TRUE(watch.expired());
}

TEST_F(MainProjectTest, ConcurrentFirstCallsMakeOneProject) {
    std::atomic<int> made{0};
    std::vector<std::thread> threads;
    std::vector<SlideshowProjectRef> answers(4);
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&, i] {
            answers[i] = SlideshowProject::mainProject();
            if (answers[i])
                ++made;
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_GE(made.load(), 1);
    for (const auto& answer : answers) {
        if (answer) {
            EXPECT_EQ(answer, SlideshowProject::currentMainProject());
        }
    }
    EXPECT_EQ(projectFolders().size(), 1);
}

class ProjectManagerStorageTest : public ModelTest {};

TEST_F(ProjectManagerStorageTest, SettingsRoundTripAndMissingFilesGiveDefaults) {
    auto project = openNewProject("Menu");
    auto manager = SlideshowProjectManager::defaultSlideshowProjectManager();
    manager->setNCurrentDVDMenuSelected(3);
    manager->setBUseDVDMenu(false);
    manager->setDvdTitle("Title");
    manager->setDvdSubtitle("Sub");
    ASSERT_TRUE(manager->saveToFile());
    SlideshowProjectManager::creatNewDefaultSlideshowProjectManager();
    ASSERT_TRUE(SlideshowProjectManager::defaultSlideshowProjectManager()->loadFromFile());
    manager = SlideshowProjectManager::defaultSlideshowProjectManager();
    EXPECT_EQ(manager->nCurrentDVDMenuSelected(), 3);
    EXPECT_FALSE(manager->bUseDVDMenu());
    EXPECT_EQ(manager->dvdTitle(), "Title");
    EXPECT_EQ(manager->dvdSubtitle(), "Sub");

    QFile::remove(SlideshowProjectManager::strSlideshowProjectManagerFileFullPath());
    EXPECT_TRUE(manager->loadFromFile());
    manager = SlideshowProjectManager::defaultSlideshowProjectManager();
    EXPECT_EQ(manager->nCurrentDVDMenuSelected(), 1);
    EXPECT_TRUE(manager->bUseDVDMenu());

    writeFile(SlideshowProjectManager::strSlideshowProjectManagerFileFullPath(), "junk");
    QString error;
    EXPECT_FALSE(manager->loadFromFile(&error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(SlideshowProjectManager::defaultSlideshowProjectManager()->bUseDVDMenu());
}

TEST_F(ProjectManagerStorageTest, MenuFlagsFollowTheArchiveVersion) {
    auto project = openNewProject("Versions");
    const QString path = SlideshowProjectManager::strSlideshowProjectManagerFileFullPath();
    auto load = [&](std::function<void(model_test::RawRecord&)> fill) {
        auto root = model_test::record("SlideshowProjectManager");
        fill(*root);
        writeFile(path, platform::KeyedArchiver::archivedData(root));
        EXPECT_TRUE(SlideshowProjectManager::defaultSlideshowProjectManager()->loadFromFile());
        return SlideshowProjectManager::defaultSlideshowProjectManager();
    };
    auto current = load([](auto& r) {
        r.int32("nProjectVersion", 120).boolean("bUseDVDMenu", true).int32("nCurrentDVDMenuSelected", 0);
    });
    EXPECT_FALSE(current->bUseDVDMenu()) << "template 0 is the no-menu choice";
    auto older = load([](auto& r) { r.int32("nCurrentDVDMenuSelected", 2); });
    EXPECT_EQ(older->nCurrentDVDMenuSelected(), 3);
    EXPECT_TRUE(older->bUseDVDMenu());
    auto entries = load([](auto& r) {
        QVariantList four;
        for (int i = 0; i < 4; ++i)
            four.append(QVariant::fromValue(
                platform::ArchivableRef(model_test::record("SlideshowProjectManagerItem"))));
        four.append(QVariant(7)); // not an entry: not counted
        r.int32("nNextProjectID", 1).object("slideshowProjectArray", four);
    });
    EXPECT_EQ(entries->nNextProjectID(), 5);
    EXPECT_EQ(entries->projectCount(), 4);
    auto ahead = load([](auto& r) { r.int32("nNextProjectID", 9).int32("nProjectVersion", 120); });
    EXPECT_EQ(ahead->nNextProjectID(), 9) << "a number above the entry count is kept";
    EXPECT_FALSE(ahead->bUseDVDMenu()) << "a current archive without the flag has no menu";
}
