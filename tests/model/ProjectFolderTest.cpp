#include "ModelTestEnvironment.h"

#include "model/QuartzSlideItem.h"
#include "model/VideoSlideItem.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/StandardPaths.h"
#include "support/ClipMaker.h"
#include "support/FileSizeLimit.h"
#include "support/OpenWatch.h"

#include <QDir>
#include <QImage>
#include <QLocale>
#include <QTemporaryDir>

#include <clocale>
#include <functional>
#include <optional>
#include <sys/stat.h>

using model_test::ModelTest;
using model_test::projectFolders;
using model_test::writeFile;

class ProjectFolderTest : public ModelTest {
protected:
    QString appFolder() const { return home + "/Videos/Vistrelle"; }
};

TEST_F(ProjectFolderTest, ATitleTakenTwiceGetsANumberedSecondFolder) {
    auto first = SlideshowProject::createNewBundleProject("Trip");
    auto second = SlideshowProject::createNewBundleProject("Trip");
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->strMacProjectBundleFullPath(), appFolder() + "/Trip.VistrelleProject");
    EXPECT_EQ(second->strMacProjectBundleFullPath(), appFolder() + "/Trip-1.VistrelleProject");
    EXPECT_EQ(first->strMacProjectBundleContentsPath(), appFolder() + "/Trip.VistrelleProject/Contents");
    EXPECT_EQ(first->strProjectTitle(), "New Project") << "the caller names the project";
    EXPECT_FALSE(first->bIsDirty());
}

TEST_F(ProjectFolderTest, ANewFolderIsAValidProjectAtOnce) {
    auto project = SlideshowProject::createNewBundleProject("Fresh");
    ASSERT_TRUE(project);
    EXPECT_TRUE(SlideshowProject::isValidProjectBundle(project->strMacProjectBundleFullPath()));
    auto reopened = SlideshowProject::loadBundleProject(project->strMacProjectBundleFullPath());
    ASSERT_TRUE(reopened);
    EXPECT_EQ(reopened->musicArray().size(), 1u) << "with its default song";
}

TEST_F(ProjectFolderTest, TitlesBecomeFileNamesOnlyThroughTheSanitiser) {
    const QStringList titles{
        "", "a/b", "..", ".", ".hidden", QString("nul") + QChar(0) + "x", "../../escape"};
    for (const QString& title : titles) {
        auto project = SlideshowProject::createNewBundleProject(title);
        ASSERT_TRUE(project) << title.toStdString();
        const QFileInfo folder(project->strMacProjectBundleFullPath());
        EXPECT_EQ(folder.absolutePath(), appFolder())
            << "stays in the application folder: " << title.toStdString();
        EXPECT_FALSE(folder.fileName().startsWith('.')) << title.toStdString();
        EXPECT_FALSE(folder.fileName().contains(QChar(0)));
    }
    EXPECT_TRUE(QFileInfo::exists(appFolder() + "/New Project.VistrelleProject")) << "an empty title";
    EXPECT_EQ(SlideshowProject::fileNameForTitle(""), "New Project");
    EXPECT_EQ(SlideshowProject::fileNameForTitle("Holiday"), "Holiday");
}

TEST_F(ProjectFolderTest, AFolderThatCannotBeMadeGivesNoProject) {
    writeFile(home + "/Videos", "a file where the Movies folder should be");
    QString error;
    EXPECT_FALSE(SlideshowProject::createNewBundleProject("Nowhere", &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST_F(ProjectFolderTest, ValidFoldersHoldTheArchiveAndContents) {
    const QString folder = home + "/p.VistrelleProject";
    EXPECT_FALSE(SlideshowProject::isValidProjectBundle(""));
    EXPECT_FALSE(SlideshowProject::isValidProjectBundle(folder));
    writeFile(folder + "/SlideshowProject.dat");
    EXPECT_FALSE(SlideshowProject::isValidProjectBundle(folder)) << "no Contents folder";
    QDir().mkpath(folder + "/Contents");
    EXPECT_TRUE(SlideshowProject::isValidProjectBundle(folder));
    QFile::remove(folder + "/SlideshowProject.dat");
    QDir().mkpath(folder + "/SlideshowProject.dat");
    EXPECT_FALSE(SlideshowProject::isValidProjectBundle(folder)) << "the archive is a folder";
    writeFile(home + "/plain-file");
    EXPECT_FALSE(SlideshowProject::isValidProjectBundle(home + "/plain-file"));
}

TEST_F(ProjectFolderTest, TheDefaultSongIsCopiedUnderACLocaleTimeStamp) {
    const QString resources = home + "/resources";
    writeFile(resources + "/default.mp3", "ID3 not really");
    test_support::EnvOverride resourcesEnv("VISTRELLE_RESOURCES", resources);
    clock->set(0.0); // the manual clock starts at 2023-11-14 22:13:20 UTC
    clock->advance(0.125);
    QLocale::setDefault(QLocale(QLocale::German));
    const char* previous = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    auto project = SlideshowProject::createNewBundleProject("Music");
    QLocale::setDefault(QLocale::c());
    std::setlocale(LC_NUMERIC, previous ? previous : "C");
    ASSERT_TRUE(project);
    ASSERT_EQ(project->musicArray().size(), 1u);
    const QVariantMap song = project->musicArray()[0]->dictFileMediaItem();
    const double seconds = 1'700'000'000.0 - 978'307'200.0 + 0.125; // since 2001-01-01
    const QString copyName = "default-" + QString::number(seconds, 'f', 2) + ".mp3";
    EXPECT_TRUE(copyName.contains('.'));
    EXPECT_EQ(song.value("pureFileName").toString(), copyName);
    EXPECT_EQ(song.value("filePath").toString(), resources + "/default.mp3");
    EXPECT_EQ(song.value("titleFromFileName").toString(), "default");
    EXPECT_EQ(song.value("musicSource").toString(), "bundleDefaultMusic");
    EXPECT_TRUE(QFileInfo::exists(project->strMacProjectBundleContentsPath() + "/" + copyName));
    EXPECT_EQ(project->musicArray()[0]->strFilePathIn(project->strMacProjectBundleContentsPath()),
              resources + "/default.mp3")
        << "the default song plays from the resource";
}

TEST_F(ProjectFolderTest, ClipsImportedTwiceGetNumberedNames) {
    auto project = SlideshowProject::createNewBundleProject("Clips");
    const QString first = project->createVideoFilePathInProjectFromSource("/media/card/clip.mov");
    EXPECT_EQ(first, project->strMacProjectBundleContentsPath() + "/videos/clip.mov");
    EXPECT_TRUE(QFileInfo(project->strMacProjectBundleContentsPath() + "/videos").isDir());
    writeFile(first);
    EXPECT_EQ(project->createVideoFilePathInProjectFromSource("/elsewhere/clip.mov"),
              project->strMacProjectBundleContentsPath() + "/videos/clip-1.mov");
    SlideshowProject folderless;
    EXPECT_TRUE(folderless.createVideoFilePathInProjectFromSource("/a/clip.mov").isEmpty());
}

TEST_F(ProjectFolderTest, TemporaryPathsLiveInThePrivateFolder) {
    const QString base = SlideshowProject::strProjectTempDirectoryBase();
    EXPECT_EQ(base, platform::paths::temporaryFolder());
    EXPECT_TRUE(base.startsWith(home + "/tmp/"));
    SlideshowProject project;
    EXPECT_EQ(SlideshowProject::strLargeTempDirectoryBase(), home + "/.cache/vistrelle") << "on disk";
    const QString prefix =
        SlideshowProject::strLargeTempDirectoryBase() + "/10468DAE-4D11-4C1B-893C-A7C0DF8AA810";
    EXPECT_EQ(project.strEncodingVideoFilePath(QSizeF(1280, 720)), prefix + "_video_1280x720.mp4");
    SlideshowProject::setStrVideoOutputFormat("MOV");
    EXPECT_EQ(project.strEncodingVideoFilePath(QSizeF(1280.9, 720.2)), prefix + "_video_1280x720.mov");
    SlideshowProject::setStrVideoOutputFormat("mov");
    EXPECT_EQ(project.strEncodingVideoFilePath(QSizeF(960, 540)), prefix + "_video_960x540.mp4");
    EXPECT_EQ(SlideshowProject::strTempM4AAudioFullPath(), prefix + "_temp_audio.m4a");
}

// A link planted under the name in the temporary folder is replaced: the file it points to keeps its bytes.
TEST_F(ProjectFolderTest, TheEarlierImportStepLeavesAnEmptyClosedTemporaryFileAndMovesNothing) {
    const QString notes = home + "/notes.txt";
    const QString source = home + "/Pictures/photo.jpg";
    writeFile(notes, "my own notes");
    writeFile(source, "jpeg");
    const QString made = SlideshowProject::strProjectTempDirectoryBase() + "/photo.jpg";
    ASSERT_TRUE(QFile::link(notes, made));
    SlideshowProject project;
    EXPECT_TRUE(project.importSourceToTempDirAndMoveItToProject(source).isNull());
    EXPECT_FALSE(QFileInfo(made).isSymLink());
    EXPECT_TRUE(QFileInfo(made).isFile());
    EXPECT_EQ(QFileInfo(made).size(), 0);
    EXPECT_EQ(test_support::descriptorsOpenOn(made), 0);
    EXPECT_EQ(test_support::readBytes(notes), "my own notes");
    EXPECT_EQ(test_support::readBytes(source), "jpeg");
}

TEST_F(ProjectFolderTest, OutputDefaultsFallBackAndIgnoreEmptyValues) {
    EXPECT_TRUE(SlideshowProject::strLastProjectBundlePath().isNull());
    EXPECT_EQ(SlideshowProject::strOutputVideoPath(), appFolder());
    EXPECT_EQ(SlideshowProject::strVideoOutputFormat(), "MP4");
    SlideshowProject::setStrOutputVideoPath("");
    EXPECT_EQ(SlideshowProject::strOutputVideoPath(), appFolder());
    SlideshowProject::setStrOutputVideoPath(home + "/Out");
    SlideshowProject::setStrOutputVideoPath("");
    EXPECT_EQ(SlideshowProject::strOutputVideoPath(), home + "/Out");
    SlideshowProject::setStrVideoOutputFormat("MOV");
    SlideshowProject::setStrVideoOutputFormat(QString());
    EXPECT_EQ(SlideshowProject::strVideoOutputFormat(), "MOV");
    SlideshowProject::setStrLastProjectBundlePath("/x/y.VistrelleProject");
    EXPECT_EQ(SlideshowProject::strLastProjectBundlePath(), "/x/y.VistrelleProject");
}

class MovieMoveTest : public ProjectFolderTest {
protected:
    SlideshowProjectRef project;
    QString encoded;
    void SetUp() override {
        ProjectFolderTest::SetUp();
        project = openNewProject("Holiday");
        project->setStrProjectTitle("Holiday");
        SlideshowProject::setStrOutputVideoPath(home + "/Out");
        encoded = project->strEncodingVideoFilePath(SlideshowProject::sizeVideoOutput());
        writeFile(encoded, "movie");
    }
    // The move of the encoded movie as its writer left it.
    QString moveWrittenMovie(QString* error = nullptr) const {
        return SlideshowProject::copyEncodedMovieFileForExport(platform::FileIdentity::ofPath(encoded),
                                                               error);
    }
};

TEST_F(MovieMoveTest, ATakenNameGetsANumber) {
    writeFile(home + "/Out/Holiday.mp4", "older movie");
    QString error;
    const QString target = moveWrittenMovie(&error);
    EXPECT_EQ(target, home + "/Out/Holiday-1.mp4") << error.toStdString();
    EXPECT_FALSE(QFileInfo::exists(encoded));
    QFile moved(target);
    ASSERT_TRUE(moved.open(QIODevice::ReadOnly));
    EXPECT_EQ(moved.readAll(), "movie");
}

TEST_F(MovieMoveTest, AnEmptyOrPathLikeTitleStaysAVisibleFileInTheOutputFolder) {
    project->setStrProjectTitle("");
    EXPECT_EQ(moveWrittenMovie(), home + "/Out/New Project.mp4");
    writeFile(encoded, "movie");
    project->setStrProjectTitle("../../etc/x");
    const QString target = moveWrittenMovie();
    EXPECT_EQ(QFileInfo(target).absolutePath(), home + "/Out");
}

// A finished movie that the output folder cannot take stays where it was made, under a name of its own that
// the next export cannot write over and that the message gives; nothing half-copied is left.
TEST_F(MovieMoveTest, AMovieTheOutputFolderCannotTakeIsKeptUnderANameOfItsOwnAndNamed) {
    QFile::remove(encoded);
    QString error;
    EXPECT_TRUE(moveWrittenMovie(&error).isEmpty());
    EXPECT_FALSE(error.isEmpty()) << "no movie at all";

    struct stat here {
    }, memory{};
    const bool secondFileSystem = ::stat(QFile::encodeName(home).constData(), &here) == 0 &&
                                  ::stat("/dev/shm", &memory) == 0 && here.st_dev != memory.st_dev;
    QTemporaryDir full("/dev/shm/vistrelle-full-XXXXXX");
    writeFile(home + "/OutFile", "a file, not a folder");
    const QByteArray movie(300000, 'm');
    // A title that reads like an encoded movie's own name would be taken for a leftover at the next start.
    const QString likeALeftover = "10468DAE-4D11-4C1B-893C-A7C0DF8AA810_video_1920x1080";
    const struct {
        const char* what;
        QString title;
        QString folder;
        bool diskFull;
        QString keptName;
    } cases[] = {{"a file in the folder's place", "Holiday", home + "/OutFile", false, "Holiday.mp4"},
                 {"a full disk", "Holiday", full.path(), true, "Holiday-1.mp4"},
                 {"a title like a leftover's name", likeALeftover, home + "/OutFile", false,
                  likeALeftover + "-1.mp4"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.diskFull && (!secondFileSystem || !full.isValid()))
            continue; // no second file system to fill at /dev/shm
        project->setStrProjectTitle(c.title);
        writeFile(encoded, movie);
        SlideshowProject::setStrOutputVideoPath(c.folder);
        {
            std::optional<test_support::FileSizeLimit> disk;
            if (c.diskFull)
                disk.emplace(100000);
            EXPECT_TRUE(moveWrittenMovie(&error).isEmpty());
        }
        const QString kept = QFileInfo(encoded).absolutePath() + "/" + c.keptName;
        EXPECT_TRUE(error.contains(kept)) << error.toStdString();
        EXPECT_EQ(model_test::bytesOf(kept), movie);
        EXPECT_FALSE(SlideshowProject::isEncodingVideoFileName(c.keptName));
        EXPECT_FALSE(QFileInfo::exists(encoded)) << "the next export's name is free";
        if (c.diskFull) {
            EXPECT_TRUE(QDir(full.path()).isEmpty()) << "nothing half-copied";
        }
    }
}

// What stands at the encoded movie's name when the export ends may not be the file its writer left there:
// another program's movie made under the same name, the same file written to again, a link. None of them
// is moved or touched, and the message says why; neither is a movie the writer did not tell of.
TEST_F(MovieMoveTest, OnlyTheMovieAsItsWriterLeftItIsMoved) {
    const auto appendTo = [](const QString& path, const QByteArray& data) {
        QFile file(path);
        return file.open(QIODevice::Append) && file.write(data) == data.size();
    };
    const struct {
        const char* what;
        std::function<bool()> change;
        bool writerTold;
        QByteArray left; // what the name then holds
    } cases[] = {
        {"another program's movie",
         [&] { return QFile::remove(encoded) && (writeFile(encoded, "another movie"), true); }, true,
         "another movie"},
        {"written to again", [&] { return appendTo(encoded, " and more"); }, true, "movie and more"},
        {"a link to another movie",
         [&] {
             writeFile(home + "/another.mp4", "another movie");
             return QFile::remove(encoded) && QFile::link(home + "/another.mp4", encoded);
         },
         true, "another movie"},
        {"no word from the writer", [] { return true; }, false, "movie"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(encoded);
        writeFile(encoded, "movie");
        const std::optional<platform::FileIdentity> written = platform::FileIdentity::ofPath(encoded);
        ASSERT_TRUE(written);
        ASSERT_TRUE(c.change());
        QString error;
        EXPECT_TRUE(
            SlideshowProject::copyEncodedMovieFileForExport(c.writerTold ? written : std::nullopt, &error)
                .isEmpty());
        EXPECT_TRUE(error.contains("is no longer the movie this export wrote")) << error.toStdString();
        EXPECT_EQ(model_test::bytesOf(encoded), c.left) << "left where it was, as it was";
        EXPECT_FALSE(QFileInfo::exists(home + "/Out")) << "nothing was moved";
        EXPECT_EQ(QDir(QFileInfo(encoded).absolutePath()).entryList(QDir::Files).filter("Holiday"),
                  QStringList())
            << "nor kept under a name of its own";
    }
}

// The movie's earlier place was the project folder, and from there it was copied, not moved.
TEST_F(MovieMoveTest, TheMovieInTheProjectFolderIsCopiedOut) {
    const QString folder = project->strMacProjectBundleFullPath();
    EXPECT_EQ(project->strEncodingVideoFilePath_Bundle(QSizeF(1280.9, 720)), folder + "/video_1280x720.mp4");
    SlideshowProject::setStrVideoOutputFormat("MOV");
    EXPECT_EQ(project->strEncodingVideoFilePath_Bundle(QSizeF(640, 360)), folder + "/video_640x360.mov");
    SlideshowProject::setStrVideoOutputFormat("MP4");
    EXPECT_TRUE(SlideshowProject().strEncodingVideoFilePath_Bundle(QSizeF(640, 360)).isEmpty())
        << "no folder";

    const QString bundled = project->strEncodingVideoFilePath_Bundle(SlideshowProject::sizeVideoOutput());
    writeFile(bundled, "bundled movie");
    writeFile(home + "/Out/Holiday.mp4", "older movie");
    QString error;
    const QString target = SlideshowProject::copyEncodedMovieFileForExport_Bundle(&error);
    EXPECT_EQ(target, home + "/Out/Holiday-1.mp4") << error.toStdString();
    EXPECT_EQ(model_test::bytesOf(target), "bundled movie");
    EXPECT_TRUE(QFileInfo::exists(bundled)) << "copied, not moved";
    EXPECT_TRUE(QFileInfo::exists(encoded)) << "the other place is not touched";

    QFile::remove(bundled);
    EXPECT_TRUE(SlideshowProject::copyEncodedMovieFileForExport_Bundle(&error).isEmpty());
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(home + "/Out/Holiday-2.mp4")) << "no partial copy";
}

TEST_F(ProjectFolderTest, ApplicationsAreFoundByTheNameOfTheirDesktopEntry) {
    const QString own = home + "/.local/share/applications";
    const QString system = home + "/system/applications";
    const test_support::EnvOverride dataHome("XDG_DATA_HOME", home + "/.local/share");
    const test_support::EnvOverride dataDirs("XDG_DATA_DIRS", home + "/system");
    writeFile(own + "/org.example.Viewer.desktop", "[Desktop Entry]\nType=Application\nName=Viewer\n");
    writeFile(own + "/kde/tools.desktop", "# tools\n[Desktop Entry]\nName[de]=Werkzeuge\nName = Tools\n");
    writeFile(system + "/org.example.Viewer.desktop", "[Desktop Entry]\nName=Shadowed\n");
    writeFile(system + "/org.example.Editor.desktop", "[Desktop Entry]\nName=Editor\n");
    writeFile(system + "/gone.desktop", "[Desktop Entry]\nName=Gone\nHidden=true\n");
    writeFile(system + "/grouped.desktop", "[Desktop Action New]\nName=Grouped\n");
    writeFile(system + "/notes.txt", "[Desktop Entry]\nName=Notes\n");
    const std::vector<std::pair<QString, QString>> cases = {
        {"Viewer", "org.example.Viewer"},
        {"Tools", "kde-tools"},
        {"Editor", "org.example.Editor"},
        {"Shadowed", ""},
        {"Gone", ""},
        {"Grouped", ""},
        {"Notes", ""},
        {"viewer", ""},
        {"", ""},
    };
    for (const auto& [name, identifier] : cases)
        EXPECT_EQ(SlideshowProject::bundleIdentifierForApplicationName(name), identifier)
            << name.toStdString();
}

TEST_F(ProjectFolderTest, TheStandInsTakeNothingIn) {
    auto project = openNewProject("Stand");
    const QStringList before = QDir(project->strMacProjectBundleContentsPath()).entryList(QDir::Files);
    writeFile(home + "/photo.jpg");
    EXPECT_TRUE(project->moveFileToProjectFolder(home + "/photo.jpg").isEmpty());
    EXPECT_TRUE(QFileInfo::exists(home + "/photo.jpg")) << "the file stays where it is";
    EXPECT_EQ(QDir(project->strMacProjectBundleContentsPath()).entryList(QDir::Files), before);
    EXPECT_TRUE(project->mediaItemsArray({home + "/photo.jpg"}).isEmpty());
    project->addSlideItem(photoIn(project, "a.jpg"));
    EXPECT_FLOAT_EQ(project->fltPrevSlideItemsDurationDelta(0, true), 0.0f);
    EXPECT_FLOAT_EQ(project->fltPrevSlideItemsDurationDelta(0, false), 0.0f);
}

TEST_F(ProjectFolderTest, TheSelectedItemFrameIsAClearPictureWithARim) {
    const QImage frame = SlideshowProject::seletedItemFlagFrameImage();
    ASSERT_EQ(frame.size(), QSize(100, 100));
    EXPECT_EQ(frame.pixelColor(50, 50).alpha(), 0) << "the item shows through";
    EXPECT_EQ(frame.pixelColor(50, 2).alpha(), 255);
    EXPECT_GT(frame.pixelColor(50, 2).blue(), frame.pixelColor(50, 2).red());
}

TEST_F(ProjectFolderTest, PathsConvertAgainstTheDocumentsFolder) {
    const QString docs = home + "/Documents";
    EXPECT_EQ(SlideshowProject::homeDirectory(), docs);
    EXPECT_EQ(SlideshowProject::convertFilePathToApp("/old/home/Documents/a/b.jpg"), docs + "/a/b.jpg");
    EXPECT_EQ(SlideshowProject::convertFilePathToApp("/a/b.jpg"), docs + "/a/b.jpg");
    EXPECT_EQ(SlideshowProject::convertFilePathToApp("a/b.jpg"), docs + "/a/b.jpg");
    EXPECT_EQ(SlideshowProject::convertFilePathToApp("/x/Tool.app/y"), "/x/Tool.app/y");
    EXPECT_EQ(SlideshowProject::getShortFilePathRelativeRootFolder("/u/Documents/a/b.jpg"), "a/b.jpg");
    EXPECT_EQ(SlideshowProject::getShortFilePathRelativeRootFolder("/a/b.jpg"), "a/b.jpg");
    EXPECT_EQ(SlideshowProject::getShortFilePathRelativeRootFolder("a/b.jpg"), "a/b.jpg");
    EXPECT_EQ(
        SlideshowProject::getShortFilePathRelativeProjectBundleFolder("/m/P.VistrelleProject/Contents/x.jpg"),
        "Contents/x.jpg");
}

class ProjectSaveTest : public ModelTest {};

TEST_F(ProjectSaveTest, AProjectWithoutAFolderIsNeverSaved) {
    auto project = platform::makeMainThreadShared<SlideshowProject>();
    project->setBIsDirty(true);
    QString error;
    EXPECT_FALSE(project->saveProjectToFile(&error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(project->bIsDirty());
    EXPECT_TRUE(project->getProjectFullFileName().isEmpty());
}

TEST_F(ProjectSaveTest, AFailedSaveKeepsTheProjectDirtyAndALaterOneSucceeds) {
    auto project = openNewProject("Fragile");
    const QString folder = project->strMacProjectBundleFullPath();
    project->setStrProjectTitle("Edited");
    project->setBIsDirty(true);
    ASSERT_TRUE(QDir(folder).removeRecursively());
    QString error;
    EXPECT_FALSE(project->saveProjectToFile(&error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(project->bIsDirty());
    EXPECT_FALSE(QFileInfo::exists("/SlideshowProject.dat"));
    QDir().mkpath(folder + "/Contents");
    EXPECT_TRUE(project->saveProjectToFile());
    EXPECT_FALSE(project->bIsDirty());
    EXPECT_EQ(SlideshowProject::loadBundleProject(folder)->strProjectTitle(), "Edited");
}

TEST_F(ProjectSaveTest, LinksInAReceivedProjectFolderAreReplacedNeverWrittenThrough) {
    auto project = openNewProject("Received");
    const QString folder = project->strMacProjectBundleFullPath();
    const QString notes = home + "/notes.txt";
    writeFile(notes, "my own notes");
    for (const char* archive : {"SlideshowProject.dat", "SlideshowProjectManager.dat"}) {
        QFile::remove(folder + "/" + archive);
        ASSERT_TRUE(QFile::link(notes, folder + "/" + archive));
    }
    project->setBIsDirty(true);
    ASSERT_TRUE(project->saveProjectToFile());
    ASSERT_TRUE(SlideshowProjectManager::defaultSlideshowProjectManager()->saveToFile());
    EXPECT_EQ(test_support::readBytes(notes), "my own notes");
    EXPECT_FALSE(QFileInfo(folder + "/SlideshowProject.dat").isSymLink());
    EXPECT_TRUE(SlideshowProject::loadBundleProject(folder));
}

// Another of the user's projects through links would open in the received folder's place, and the next save
// would put its contents there.
TEST_F(ProjectSaveTest, AReceivedFoldersArchivesLinkedOutOfItAreNotRead) {
    auto own = openNewProject("Mine");
    own->setStrProjectTitle("My own trip");
    ASSERT_TRUE(own->saveProjectToFile());
    auto manager = SlideshowProjectManager::defaultSlideshowProjectManager();
    manager->setDvdTitle("My own menu");
    ASSERT_TRUE(manager->saveToFile());
    const QString mine = own->strMacProjectBundleFullPath();
    const QString folder =
        SlideshowProject::createNewBundleProject("Received")->strMacProjectBundleFullPath();
    const QString managerArchive = folder + "/" + SlideshowProjectManager::shortFileName();
    for (const QString& name :
         {SlideshowProject::shortFileName(), SlideshowProjectManager::shortFileName()}) {
        QFile::remove(folder + "/" + name);
        ASSERT_TRUE(QFile::link(mine + "/" + name, folder + "/" + name));
    }
    QString error;
    EXPECT_FALSE(SlideshowProject::loadBundleProject(folder, &error));
    EXPECT_TRUE(error.contains(folder)) << error.toStdString();
    error.clear();
    EXPECT_FALSE(manager->loadFromFile(managerArchive, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(SlideshowProjectManager::defaultSlideshowProjectManager()->dvdTitle().isEmpty())
        << "defaults";

    // A link that stays in the folder is the project's own file.
    QFile::remove(managerArchive);
    ASSERT_TRUE(
        QFile::copy(mine + "/" + SlideshowProjectManager::shortFileName(), folder + "/Contents/kept"));
    ASSERT_TRUE(QFile::link("Contents/kept", managerArchive));
    EXPECT_TRUE(manager->loadFromFile(managerArchive));
    EXPECT_EQ(SlideshowProjectManager::defaultSlideshowProjectManager()->dvdTitle(), "My own menu");
}

TEST_F(ProjectSaveTest, ArchivesThatArePipesAreRefusedWithoutWaiting) {
    auto project = openNewProject("Piped");
    ASSERT_TRUE(project);
    const QString folder = project->strMacProjectBundleFullPath();
    for (const QString& name : {SlideshowProject::shortFileName(), SlideshowProjectManager::shortFileName()})
        QFile::remove(folder + "/" + name);
    test_support::FifoTrap projectPipe(folder + "/" + SlideshowProject::shortFileName());
    test_support::FifoTrap managerPipe(folder + "/" + SlideshowProjectManager::shortFileName());
    ASSERT_TRUE(projectPipe.isValid() && managerPipe.isValid());
    QString error;
    EXPECT_FALSE(SlideshowProject::loadBundleProject(folder, &error));
    EXPECT_TRUE(error.contains(folder)) << error.toStdString();
    error.clear();
    EXPECT_FALSE(SlideshowProjectManager::defaultSlideshowProjectManager()->loadFromFile(&error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(SlideshowProjectManager::defaultSlideshowProjectManager()->bUseDVDMenu()) << "the defaults";
    EXPECT_EQ(projectPipe.readers() + managerPipe.readers(), 0);
}

TEST_F(ProjectSaveTest, MissingFilesAreDroppedInOrderAndMarkTheProjectDirty) {
    auto project = openNewProject("Check");
    const auto a = photoIn(project, "a.jpg"), c = photoIn(project, "c.jpg");
    auto gone = platform::makeMainThreadShared<SlideItem>();
    gone->setFileName("gone.jpg");
    project->setSlideshowArray({a, gone, c, platform::makeMainThreadShared<SlideItem>()});
    auto presentSong = platform::makeMainThreadShared<MusicItem>();
    presentSong->addEntriesFromDictionary({{"pureFileName", "song.mp3"}});
    writeFile(project->strMacProjectBundleContentsPath() + "/song.mp3");
    auto missingSong = platform::makeMainThreadShared<MusicItem>();
    missingSong->addEntriesFromDictionary({{"pureFileName", "lost.mp3"}});
    auto missingDefault = platform::makeMainThreadShared<MusicItem>();
    missingDefault->addEntriesFromDictionary(
        {{"musicSource", "bundleDefaultMusic"}, {"filePath", home + "/no.mp3"}});
    project->setMusicArray({missingSong, presentSong, missingDefault});
    project->setBIsDirty(false);
    project->checkItemVaild();
    EXPECT_EQ(project->slideshowArray(), (std::vector<SlideItemRef>{a, c}));
    // The stock song whose resource has gone plays our own.
    EXPECT_EQ(project->musicArray(), (std::vector<MusicItemRef>{presentSong, missingDefault}));
    EXPECT_TRUE(project->bIsDirty());
    EXPECT_EQ(c->nItemStartFrameIndex(), 180u) << "the layout is recomputed";
    project->setBIsDirty(false);
    project->checkItemVaild();
    EXPECT_FALSE(project->bIsDirty()) << "nothing removed, nothing changed";
}

TEST_F(ProjectSaveTest, AnExportAsksFirstForEveryMissingPictureClipAndComposition) {
    auto project = openNewProject("Gone");
    const QString contents = project->strMacProjectBundleContentsPath();
    auto clip = platform::makeMainThreadShared<VideoSlideItem>();
    clip->setStrVideoFilePath(contents + "/videos/clip.mov");
    auto composition = platform::makeMainThreadShared<QuartzSlideItem>();
    composition->setStrQuartzFilePath(contents + "/show.vcomp");
    project->setSlideshowArray({photoIn(project, "a.jpg"), clip, photoIn(project, "b.jpg"), composition});
    EXPECT_EQ(project->missingSlideFiles(), (QStringList{"clip.mov", "show.vcomp"}));
    writeFile(contents + "/videos/clip.mov", "clip");
    writeFile(contents + "/show.vcomp", "composition");
    EXPECT_EQ(project->missingSlideFiles(), QStringList{"clip.mov"}) << "a clip that does not decode";
    ClipMaker::Options options;
    options.container = platform::media::MovieContainer::QuickTime;
    ASSERT_TRUE(ClipMaker::make(contents + "/videos/clip.mov", options));
    EXPECT_TRUE(project->missingSlideFilesMessage().isEmpty());
    QFile::remove(contents + "/b.jpg");
    EXPECT_EQ(project->missingSlideFiles(), QStringList{"b.jpg"});
    writeFile(contents + "/b.jpg", "");
    EXPECT_EQ(project->missingSlideFiles(), QStringList{"b.jpg"}) << "an empty picture";
    writeFile(contents + "/b.jpg", "not a picture");
    EXPECT_EQ(project->missingSlideFiles(), QStringList{"b.jpg"}) << "a picture that does not decode";
}

// A composition slide shows its composition and has no picture of its own: opened again it is kept while its
// composition is the project's own file, and dropped, as a photo without its picture is, when the composition
// is gone or lies outside the project.
TEST_F(ProjectSaveTest, ACompositionSlideIsKeptWhileItsCompositionIsThere) {
    auto project = openNewProject("Compositions");
    const QString contents = project->strMacProjectBundleContentsPath();
    writeFile(contents + "/own.vcomp", "composition");
    writeFile(home + "/elsewhere.vcomp", "composition");
    const auto composed = [](const QString& path) {
        auto slide = platform::makeMainThreadShared<QuartzSlideItem>();
        slide->setStrQuartzFilePath(path);
        return slide;
    };
    project->setSlideshowArray({composed(contents + "/own.vcomp"), composed(contents + "/gone.vcomp"),
                                composed(home + "/elsewhere.vcomp"), photoIn(project, "a.jpg")});
    ASSERT_TRUE(project->saveProjectToFile());
    auto loaded = SlideshowProject::loadBundleProject(project->strMacProjectBundleFullPath());
    ASSERT_TRUE(loaded);
    loaded->checkItemVaild();
    const auto slides = loaded->slideshowArray();
    ASSERT_EQ(slides.size(), 2u);
    EXPECT_EQ(slides[0]->mediaFilePath(), contents + "/own.vcomp");
    EXPECT_EQ(slides[1]->shortFileName(), "a.jpg");
}

// The project's copy of a composition is found in the project's own folder however that folder was renamed,
// moved or copied: stored by its place in "Contents", or by the full path earlier projects stored, which no
// longer leads there. Opened, saved and opened again, the slide stays.
TEST_F(ProjectSaveTest, ACompositionSlideFindsItsCopyInTheProjectRenamed) {
    for (const bool fullPath : {false, true}) {
        SCOPED_TRACE(fullPath ? "a full path" : "its place in Contents");
        auto project = openNewProject(fullPath ? "Earlier" : "Placed");
        const QString contents = project->strMacProjectBundleContentsPath();
        writeFile(contents + "/Sunset.vcomp", "composition");
        auto slide = platform::makeMainThreadShared<QuartzSlideItem>();
        slide->setStrQuartzFilePath(contents + "/Sunset.vcomp", fullPath ? QString() : contents);
        project->setSlideshowArray({slide, photoIn(project, "a.jpg")});
        ASSERT_TRUE(project->saveProjectToFile());
        const QString renamed = home + (fullPath ? "/Earlier" : "/Placed") + " renamed.VistrelleProject";
        ASSERT_TRUE(QDir().rename(project->strMacProjectBundleFullPath(), renamed));
        for (int open = 0; open < 2; ++open) {
            auto loaded = SlideshowProject::loadBundleProject(renamed);
            ASSERT_TRUE(loaded);
            loaded->checkItemVaild();
            ASSERT_EQ(loaded->slideCount(), 2u) << "open " << open;
            EXPECT_EQ(loaded->slideItemAtIndex(0)->mediaFilePath(), renamed + "/Contents/Sunset.vcomp");
            ASSERT_TRUE(loaded->saveProjectToFile());
        }
    }
}

TEST_F(ProjectSaveTest, LoadingDealsTheStoredThemeToTheSlides) {
    auto project = openNewProject("Themed");
    auto free = photoIn(project, "free.jpg");
    auto customised = photoIn(project, "custom.jpg");
    customised->setBPanZoomCustomized(true);
    customised->setZoomStart(2.0);
    project->setSlideshowArray({free, customised});
    project->themeManger()->setCurrentThemeID(4); // "Horizontal Move": pan 0.4 across, zoom 0.8
    ASSERT_TRUE(project->saveProjectToFile());
    auto loaded = SlideshowProject::loadBundleProject(project->strMacProjectBundleFullPath());
    ASSERT_TRUE(loaded);
    const auto slides = loaded->slideshowArray();
    EXPECT_DOUBLE_EQ(slides[0]->zoomStart(), double(0.8f));
    EXPECT_DOUBLE_EQ(slides[0]->zoomEnd(), double(0.8f));
    const QPointF pan = slides[0]->panStartPoint() + slides[0]->panEndPoint();
    EXPECT_FLOAT_EQ(float(std::abs(pan.x())), 0.4f);
    EXPECT_EQ(pan.y(), 0.0);
    EXPECT_DOUBLE_EQ(slides[1]->zoomStart(), 2.0) << "a customised slide keeps its zoom";
}
