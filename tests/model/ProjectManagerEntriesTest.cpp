// The project manager's entries in the Documents folder: making them, their folders and movies, and the
// deletions, which never reach beyond an entry's own folder and movies whatever its stored name says.
#include "ModelTestEnvironment.h"
#include "platform/foundation/MainThread.h"

#include <QDateTime>

using model_test::ModelTest;
using model_test::writeFile;

namespace {

bool somethingAt(const QString& path) {
    const QFileInfo found(path);
    return found.exists() || found.isSymLink();
}

} // namespace

class ProjectManagerEntriesTest : public ModelTest {
protected:
    const QString documents = SlideshowProject::homeDirectory();
    // A folder beside the Documents folder, with a file that no deletion may touch.
    const QString outside = home + "/Elsewhere";
    const QString witness = outside + "/keep.txt";

    void SetUp() override {
        QDir().mkpath(documents);
        writeFile(witness, "mine");
    }

    std::shared_ptr<SlideshowProjectManager> manager() {
        return SlideshowProjectManager::defaultSlideshowProjectManager();
    }

    // One entry of the default manager, current, stored under `folderName`.
    SlideshowProjectManagerItemRef onlyEntry(const QString& folderName, const QString& title = "Trip") {
        auto entry = std::make_shared<SlideshowProjectManagerItem>();
        entry->setStrProjectShortFolderName(folderName);
        entry->setStrProjectTitle(title);
        manager()->setSlideshowProjectArray({entry});
        manager()->setCurrentSlideshowProjectManagerItem(entry);
        manager()->syncCurrItemAndIndex();
        return entry;
    }

    // The three ways an entry's folder goes: deleting the entry, dropping the empty ones, and a save of an
    // open project without slides.
    std::vector<std::function<void()>> folderDeletions() {
        return {
            [this] { EXPECT_TRUE(manager()->deleteProject(0)); },
            [this] { manager()->deleteEmptyProjectAndFolder(); },
            [] {
                SlideshowProject::retainProject(platform::makeMainThreadShared<SlideshowProject>());
                SlideshowProjectManager::syncSaveFile(false, true);
            },
        };
    }

    // Sorted by their characters' codes.
    QStringList documentsEntries() const {
        QStringList names =
            QDir(documents).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        names.sort();
        return names;
    }
};

TEST_F(ProjectManagerEntriesTest, NewEntriesGetFoldersOfTheirOwnAndNumberedTitlesNewestFirst) {
    writeFile(documents + "/.SlideshowProject00002", "a file of that name");
    const auto first = manager()->createNewItem();
    const auto second = manager()->createNewItem();
    const auto third = manager()->createNewProject();

    EXPECT_EQ(first->strProjectTitle(), "My Project");
    EXPECT_EQ(first->strProjectShortFolderName(), ".SlideshowProject00001");
    EXPECT_EQ(second->strProjectTitle(), "My Project 2");
    EXPECT_EQ(second->strProjectShortFolderName(), ".SlideshowProject00002-1") << "the name was taken";
    EXPECT_EQ(third->strProjectShortFolderName(), ".SlideshowProject00003");
    for (const auto& entry : {first, second, third})
        EXPECT_TRUE(QFileInfo(documents + "/" + entry->strProjectShortFolderName()).isDir());
    EXPECT_EQ(manager()->slideshowProjectArray(),
              (std::vector<SlideshowProjectManagerItemRef>{third, second, first}));
    EXPECT_EQ(manager()->currentSlideshowProjectManagerItem(), third) << "a new project is the current one";
    EXPECT_EQ(manager()->nCurrItemIndex(), 0);
    EXPECT_EQ(manager()->projectCount(), 3);
}

TEST_F(ProjectManagerEntriesTest, AnEntrysPathsLieInItsOwnFolder) {
    const auto entry = onlyEntry(".SlideshowProject00004");
    const QString folder = documents + "/.SlideshowProject00004";
    EXPECT_EQ(entry->projectFullPath(), folder);
    EXPECT_TRUE(QFileInfo(folder).isDir()) << "made when missing";
    EXPECT_EQ(entry->strProjectInfoFileFullPath(), folder + "/SlideshowProject.inf");
    EXPECT_EQ(entry->videoOutputFullPath_Ver230(QSizeF(1280, 720)), folder + "/VIDEO_1280x720.MOV");
    EXPECT_EQ(entry->videoOutputRelativePath_Ver230(QSizeF(640.7, 360.2)),
              "./.SlideshowProject00004/VIDEO_640x360.MOV");
}

TEST_F(ProjectManagerEntriesTest, AStoredNameThatIsNoFolderOfTheEntrysOwnGivesNoPathsAndMakesNothing) {
    for (const QString& name :
         {QString(), QString("."), QString(".."), outside + "/made", QString("../made"),
          QString("sub/../../made"), QString("a/b"), QString("Taxes"), QString(".SlideshowProjectX")}) {
        SCOPED_TRACE(name.toStdString());
        const auto entry = onlyEntry(name);
        EXPECT_TRUE(entry->projectFullPath().isEmpty());
        EXPECT_TRUE(entry->strProjectInfoFileFullPath().isEmpty());
        EXPECT_TRUE(entry->videoOutputFullPath_Ver230(QSizeF(1280, 720)).isEmpty());
        EXPECT_TRUE(entry->videoOutputRelativePath_Ver230(QSizeF(1280, 720)).isEmpty());
    }
    EXPECT_FALSE(somethingAt(outside + "/made"));
    EXPECT_FALSE(somethingAt(home + "/made"));
    EXPECT_TRUE(documentsEntries().isEmpty()) << documentsEntries().join(", ").toStdString();
}

// Every deletion of an entry's folder, run on entries whose stored names lead out of the Documents folder
// (absolute, "../", through a link, a link inside) or name a folder of the user's in it: what is not an
// entry's folder stays.
TEST_F(ProjectManagerEntriesTest, ADeletionNeverLeavesTheEntrysOwnFolder) {
    const QString linkName = ".SlideshowProject00009";
    const QString usersFolder = documents + "/Taxes";
    writeFile(usersFolder + "/return.pdf", "the user's");
    const auto deletions = folderDeletions();
    for (std::size_t deletion = 0; deletion < deletions.size(); ++deletion) {
        for (const QString& name :
             {outside, QString("../Elsewhere"), QString("sub/../../Elsewhere"), linkName, QString("Taxes")}) {
            SCOPED_TRACE(QStringLiteral("deletion %1 of \"%2\"").arg(deletion).arg(name).toStdString());
            ASSERT_TRUE(QFile::link(outside, documents + "/" + linkName));
            onlyEntry(name);
            deletions[deletion]();
            EXPECT_TRUE(QFileInfo(witness).isFile());
            EXPECT_TRUE(QFileInfo(usersFolder + "/return.pdf").isFile()) << "no entry's folder by its name";
            EXPECT_TRUE(manager()->slideshowProjectArray().empty()) << "the entry goes all the same";
            if (name == linkName) {
                EXPECT_FALSE(somethingAt(documents + "/" + linkName)) << "the link itself is the entry's";
            }
            QFile::remove(documents + "/" + linkName);
        }
    }
}

// Entry folders are where the user's projects were kept before; a received entry may bear the name of one,
// and of its title.
TEST_F(ProjectManagerEntriesTest, AFolderHoldingAProjectStaysWithItsMovies) {
    const QString archive = documents + "/.SlideshowProject00001/SlideshowProject.dat";
    const QString movie = documents + "/My Project-00001-720p.MOV";
    const auto deletions = folderDeletions();
    for (std::size_t deletion = 0; deletion < deletions.size(); ++deletion) {
        SCOPED_TRACE(deletion);
        writeFile(archive, "the user's");
        writeFile(movie, "the user's");
        onlyEntry(".SlideshowProject00001", "My Project");
        deletions[deletion]();
        EXPECT_EQ(test_support::readBytes(archive), "the user's");
        EXPECT_EQ(test_support::readBytes(movie), "the user's");
    }
}

TEST_F(ProjectManagerEntriesTest, DeletingAProjectTakesItsFolderAndMoviesButNoLinkedFiles) {
    const auto entry = onlyEntry(".SlideshowProject00001", "Trip");
    const QString folder = entry->projectFullPath();
    writeFile(folder + "/Contents/photo.jpg");
    ASSERT_TRUE(QFile::link(outside, folder + "/Contents/escape"));
    ASSERT_TRUE(QFile::link(witness, folder + "/keep-link.txt"));
    writeFile(documents + "/Trip-00001-720p.MOV", "movie");
    writeFile(documents + "/Other.txt");

    EXPECT_FALSE(manager()->deleteProject(1)) << "out of range";
    EXPECT_FALSE(manager()->deleteProject(-1));
    EXPECT_TRUE(manager()->deleteProject(0));

    EXPECT_FALSE(somethingAt(folder));
    EXPECT_EQ(documentsEntries(), QStringList{"Other.txt"});
    EXPECT_EQ(QDir(outside).entryList(QDir::Files), QStringList{"keep.txt"});
    EXPECT_TRUE(manager()->slideshowProjectArray().empty());
    EXPECT_FALSE(manager()->currentSlideshowProjectManagerItem());
    EXPECT_EQ(manager()->nCurrItemIndex(), -1);
}

TEST_F(ProjectManagerEntriesTest, AnEntrysMoviesAreOnlyThoseNamedAfterIt) {
    const auto entry = onlyEntry(".SlideshowProject00001", "Trip");
    for (const char* name : {"Trip-00001-720p.MOV", "Trip-00001-1080p.MOV", "Trip-00001-1-720p.MOV",
                             "holiday-00001.MOV", "Trip-00001-720p.mov", "Trip-00001-720p.MOV.txt"})
        writeFile(documents + "/" + name);
    writeFile(outside + "/linked.MOV", "not ours to delete");
    ASSERT_TRUE(QFile::link(outside + "/linked.MOV", documents + "/Trip-00001-480p.MOV"));
    QDir().mkpath(documents + "/Trip-00001-360p.MOV");

    EXPECT_EQ(entry->videoOutputFileExistArray(),
              (QStringList{"Trip-00001-1080p.MOV", "Trip-00001-480p.MOV", "Trip-00001-720p.MOV"}));
    EXPECT_TRUE(entry->deleteOutputVideoFile());
    EXPECT_EQ(documentsEntries(),
              (QStringList{"Trip-00001-1-720p.MOV", "Trip-00001-360p.MOV", "Trip-00001-720p.MOV.txt",
                           "Trip-00001-720p.mov", "holiday-00001.MOV"}));
    EXPECT_TRUE(QFileInfo(outside + "/linked.MOV").isFile()) << "a link is removed, not followed";
    EXPECT_TRUE(entry->videoOutputFileExistArray().isEmpty());
    EXPECT_TRUE(entry->deleteOutputVideoFile()) << "nothing to remove";
}

// Title and folder name as a received archive may give them, chosen to match movies of the user's: an entry
// whose folder is not an entry's own has no movies, and deleting it or renaming it takes none.
TEST_F(ProjectManagerEntriesTest, AnEntryWhoseFolderIsNoEntryFolderHasNoMovies) {
    const QStringList usersMovies = {"Holiday-2019-720p.MOV", "Beach-2019-1080p.MOV"};
    for (const QString& name : usersMovies)
        writeFile(documents + "/" + name, "the user's");
    const auto entry = onlyEntry("2019", "Holiday");
    EXPECT_TRUE(entry->videoOutputFileExistArray().isEmpty());
    entry->setStrProjectTitle("Walk");
    EXPECT_TRUE(manager()->deleteProject(0));
    EXPECT_EQ(documentsEntries(), (QStringList{"Beach-2019-1080p.MOV", "Holiday-2019-720p.MOV"}));
}

// A movie of an earlier title that appears after the rename (an export that was still running) is the
// entry's; one of the user's older project in a folder of the same number is not.
TEST_F(ProjectManagerEntriesTest, MoviesOfAnEarlierTitleAreOnlyThoseOfTitlesTheEntryBore) {
    const auto entry = onlyEntry(".SlideshowProject00001", "Old");
    entry->setStrProjectTitle("New");
    writeFile(documents + "/Old-00001-720p.MOV");
    writeFile(documents + "/Old-00002-720p.MOV");
    writeFile(documents + "/Holiday-00001-720p.MOV", "the user's");
    EXPECT_EQ(entry->videoOutputFileExistArray(), QStringList{"Old-00001-720p.MOV"});
    EXPECT_TRUE(manager()->deleteProject(0));
    EXPECT_EQ(documentsEntries(), (QStringList{"Holiday-00001-720p.MOV", "Old-00002-720p.MOV"}));

    // A folder name without a number has no middle part: only movies of the exact prefix are the entry's.
    const auto unnumbered = onlyEntry(".SlideshowProject", "New");
    EXPECT_TRUE(unnumbered->videoOutputFileExistArray().isEmpty());
    EXPECT_TRUE(SlideshowProjectManagerItem().videoOutputFileExistArray().isEmpty()) << "no title";
}

TEST_F(ProjectManagerEntriesTest, ANewTitleDropsTheMoviesOfTheOldOneAndOfTheNew) {
    for (const char* name : {"Trip-00001-720p.MOV", "Walk-00001-720p.MOV", "Trip-00002-720p.MOV"})
        writeFile(documents + "/" + name);
    const auto entry = onlyEntry(".SlideshowProject00001", QString());
    entry->setStrProjectTitle("Trip");
    EXPECT_EQ(documentsEntries().size(), 3) << "a first title deletes nothing";
    entry->setStrProjectTitle("Trip");
    EXPECT_EQ(documentsEntries().size(), 3) << "nor does the same title";
    entry->setStrProjectTitle("Walk");
    EXPECT_EQ(entry->strProjectTitle(), "Walk");
    EXPECT_EQ(documentsEntries(), QStringList{"Trip-00002-720p.MOV"});
}

TEST_F(ProjectManagerEntriesTest, EmptyEntriesGoWithTheirFoldersAndOrphanedEntryFoldersWithThem) {
    const auto kept = manager()->createNewItem();
    const auto empty = manager()->createNewItem();
    writeFile(kept->projectFullPath() + "/SlideshowProject.dat", "archive");
    QDir().mkpath(empty->projectFullPath() + "/SlideshowProject.dat"); // a folder is no archive
    manager()->deleteEmptyProjectAndFolder();
    EXPECT_EQ(manager()->slideshowProjectArray(), std::vector<SlideshowProjectManagerItemRef>{kept});
    EXPECT_FALSE(somethingAt(documents + "/" + empty->strProjectShortFolderName()));

    for (const char* name : {".SlideshowProject00007", ".SlideshowProject00008-2", ".SlideshowProjectX",
                             "Taxes", ".SlideshowProject123"})
        QDir().mkpath(documents + "/" + name);
    writeFile(documents + "/.SlideshowProject00010", "a file");
    ASSERT_TRUE(QFile::link(outside, documents + "/.SlideshowProject00011"));
    // A project that no entry lists, as every earlier project is to the open project's manager.
    writeFile(documents + "/.SlideshowProject00012/SlideshowProject.dat", "archive");
    SlideshowProjectManager::deleteIsolationFolder();
    EXPECT_EQ(documentsEntries(),
              (QStringList{".SlideshowProject00001", ".SlideshowProject00010", ".SlideshowProject00012",
                           ".SlideshowProject123", ".SlideshowProjectX", "Taxes"}));
    EXPECT_TRUE(QFileInfo(documents + "/.SlideshowProject00012/SlideshowProject.dat").isFile());
    EXPECT_TRUE(QFileInfo(witness).isFile());
}

TEST_F(ProjectManagerEntriesTest, SyncSavingSavesAShowWithSlidesAndDropsAnEmptyOnesEntry) {
    auto project = user.openProject();
    const QString archive = project->getProjectFullFileName();
    const QString managerArchive = SlideshowProjectManager::strSlideshowProjectManagerFileFullPath();
    project->addSlideItem(photoIn(project, "a.jpg"));

    SlideshowProjectManager::syncSaveFile(false, true);
    EXPECT_FALSE(QFileInfo::exists(archive)) << "neither forced nor dirty";
    project->setBIsDirty(true);
    SlideshowProjectManager::syncSaveFile(false, true);
    EXPECT_TRUE(QFileInfo(archive).isFile());
    EXPECT_TRUE(QFileInfo(managerArchive).isFile());
    EXPECT_FALSE(project->bIsDirty());
    QFile::remove(archive);
    SlideshowProjectManager::syncSaveFile(true, false);
    EXPECT_TRUE(QFileInfo(archive).isFile()) << "forced";

    const auto last = manager()->createNewItem();
    const auto middle = manager()->createNewItem();
    const auto first = manager()->createNewProject();
    manager()->setCurrentSlideshowProjectManagerItem(middle);
    project->removeSlideItemAtIndex(0);
    SlideshowProjectManager::syncSaveFile(true, false);
    EXPECT_EQ(manager()->projectCount(), 3) << "not asked to delete";
    SlideshowProjectManager::syncSaveFile(true, true);
    EXPECT_FALSE(somethingAt(documents + "/" + middle->strProjectShortFolderName()));
    EXPECT_EQ(manager()->currentSlideshowProjectManagerItem(), last) << "the entry after it";
    SlideshowProjectManager::syncSaveFile(true, true);
    EXPECT_EQ(manager()->currentSlideshowProjectManagerItem(), first) << "after the last: the first";
    EXPECT_EQ(manager()->nCurrItemIndex(), 0);
    SlideshowProjectManager::syncSaveFile(true, true);
    EXPECT_FALSE(manager()->currentSlideshowProjectManagerItem());
    EXPECT_EQ(manager()->projectCount(), 0);
}

TEST_F(ProjectManagerEntriesTest, TheManagerWindowIsWantedUntilItsDefaultFileIsThere) {
    EXPECT_EQ(SlideshowProjectManager::defaultFileFullPath(), documents + "/.slideshowProjectManager.dat");
    EXPECT_EQ(SlideshowProjectManager::defaultFileFullPath_Ver230(),
              documents + "/slideshowProjectManager.dat");
    EXPECT_TRUE(manager()->needDisplaySlideshowProjectManagerWindow());
    QDir().mkpath(SlideshowProjectManager::defaultFileFullPath());
    EXPECT_TRUE(manager()->needDisplaySlideshowProjectManagerWindow()) << "a folder is no file";
    QDir().rmdir(SlideshowProjectManager::defaultFileFullPath());
    writeFile(SlideshowProjectManager::defaultFileFullPath());
    EXPECT_FALSE(manager()->needDisplaySlideshowProjectManagerWindow());
}
