// The project manager: picture size limit, menu defaults, templates, the menu song, entries and their
// encoding records.
#include "ArchiveTestSupport.h"
#include "ModelTestEnvironment.h"

#include "platform/foundation/MainThread.h"
#include "support/ToneMaker.h"

#include <QImage>

#include <sys/stat.h>

using model_test::bytesOf;
using model_test::ModelTest;
using model_test::writeFile;
using test_support::EnvOverride;

namespace {

const char* const kTemplates = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<array>
  <dict><key>Name</key><string>No Menu</string><key>Style</key><string>nomenu</string>
        <key>Folder</key><string>none</string></dict>
  <string>not a template</string>
  <dict><key>Name</key><string>Frame</string><key>Style</key><string>photo</string>
        <key>Folder</key><string>frame</string><key>thumbnail</key><string>thumb.png</string>
        <key>background_image</key><string>overlay.png</string>
        <key>AlbumPhoto</key><dict><key>xPos</key><integer>100</integer><key>yPos</key><integer>-20</integer>
          <key>width</key><real>400.0</real><key>height</key><integer>300</integer></dict>
        <key>ButtonRectArray</key><array><dict><key>xPos</key><integer>1</integer></dict></array></dict>
  <dict><key>Name</key><string>Plain</string><key>Style</key><string>photo</string>
        <key>Folder</key><string>plain</string><key>thumbnail</key><string>missing.png</string></dict>
</array>
</plist>
)";

} // namespace

class ProjectManagerTest : public ModelTest {
protected:
    std::shared_ptr<SlideshowProjectManager> reload() {
        auto manager = SlideshowProjectManager::defaultSlideshowProjectManager();
        EXPECT_TRUE(manager->saveToFile());
        SlideshowProjectManager::creatNewDefaultSlideshowProjectManager();
        QString error;
        EXPECT_TRUE(SlideshowProjectManager::defaultSlideshowProjectManager()->loadFromFile(&error))
            << error.toStdString();
        return SlideshowProjectManager::defaultSlideshowProjectManager();
    }
};

TEST_F(ProjectManagerTest, TheImportLimitFollowsEnable1080p) {
    auto& defaults = platform::UserDefaults::standard();
    const auto limit = [] {
        SlideshowProjectManager manager;
        return std::make_tuple(manager.bEnable1080p(), manager.nMaxImageWidth(), manager.nMaxImageHeight());
    };
    EXPECT_EQ(limit(), std::make_tuple(false, 1280, 960)) << "absent";
    defaults.setValue("Enable1080p", 1);
    EXPECT_EQ(limit(), std::make_tuple(true, 1920, 1080));
    defaults.setValue("Enable1080p", 0);
    EXPECT_EQ(limit(), std::make_tuple(false, 1280, 960));
    defaults.setValue("Enable1080p", "YES");
    EXPECT_EQ(limit(), std::make_tuple(true, 1920, 1080));
    defaults.setValue("Enable1080p", "maybe");
    EXPECT_EQ(limit(), std::make_tuple(false, 1280, 960)) << "unreadable: off";
}

TEST_F(ProjectManagerTest, ANewManagerHasAMenuTemplateOneAndTheDefaultSong) {
    SlideshowProjectManager manager;
    EXPECT_EQ(manager.strFileVersion(), "1.0.0");
    EXPECT_TRUE(manager.bUseDVDMenu());
    EXPECT_EQ(manager.nCurrentDVDMenuSelected(), 1);
    EXPECT_EQ(manager.nNextProjectID(), 1);
    EXPECT_EQ(manager.nCurrItemIndex(), -1);
    EXPECT_FALSE(manager.currentSlideshowProjectManagerItem());
    EXPECT_TRUE(manager.dictShareMovieParam().isEmpty());
    EXPECT_TRUE(manager.dvdMenuTemplateArray().empty()) << "until the templates are loaded";
    const auto songs = manager.dvdMenuBackgroundMusicArray();
    ASSERT_EQ(songs.size(), 1u);
    const QVariantMap song = songs[0]->dictFileMediaItem();
    EXPECT_EQ(song.value("musicSource").toString(), "bundleDefaultMusic");
    EXPECT_EQ(song.value("pureFileName").toString(), "default");
    EXPECT_EQ(song.value("titleFromFileName").toString(), "default");
    EXPECT_TRUE(song.value("filePath").toString().endsWith("/default.mp3"));
    EXPECT_EQ(SlideshowProjectManager::screenRect(), QRectF(0, 0, 1024, 768));
    EXPECT_TRUE(SlideshowProjectManager::rectSameCompare(QRectF(1, 2, 3, 4), QRectF(1.05, 2, 3, 3.95)));
    EXPECT_FALSE(SlideshowProjectManager::rectSameCompare(QRectF(1, 2, 3, 4), QRectF(1, 2, 3.1, 4)));
}

TEST_F(ProjectManagerTest, TemplatesLoadFromTheResourceWithTheirPictures) {
    const QString resources = home + "/resources";
    EnvOverride env("VISTRELLE_RESOURCES", resources);
    writeFile(resources + "/dvdmenu.plist", kTemplates);
    QImage thumbnail(48, 27, QImage::Format_RGB32);
    thumbnail.fill(Qt::cyan);
    QDir().mkpath(resources + "/DVDMenu/frame");
    ASSERT_TRUE(thumbnail.save(resources + "/DVDMenu/frame/thumb.png"));
    writeFile(resources + "/DVDMenu/frame/overlay.png", "png");

    SlideshowProjectManager manager;
    manager.setNCurrentDVDMenuSelected(1);
    manager.loadDVDMenuTemplate();
    const auto templates = manager.dvdMenuTemplateArray();
    ASSERT_EQ(templates.size(), 3u) << "what is not a dictionary is left out";
    EXPECT_EQ(templates[0]->menuStyle(), "nomenu");
    const auto frame = templates[1];
    EXPECT_EQ(manager.currentDVDMenuTemplate(), frame);
    EXPECT_EQ(frame->menuName(), "Frame");
    EXPECT_EQ(frame->folder(), "frame");
    EXPECT_EQ(frame->menuThumbnail().size(), QSize(48, 27));
    EXPECT_EQ(frame->menuBackgroundImagePath(), resources + "/DVDMenu/frame/overlay.png");
    const QVariantMap box = frame->menuDictionary().value("AlbumPhoto").toMap();
    EXPECT_EQ(box.value("yPos").toInt(), -20);
    EXPECT_EQ(box.value("width").toInt(), 400);
    EXPECT_EQ(frame->menuDictionary().value("ButtonRectArray").toList().size(), 1);
    EXPECT_TRUE(templates[2]->menuThumbnail().isNull()) << "a missing picture loads as none";
    EXPECT_TRUE(templates[2]->menuBackgroundImagePath().isEmpty());

    manager.setNCurrentDVDMenuSelected(3);
    manager.loadDVDMenuTemplate();
    EXPECT_FALSE(manager.currentDVDMenuTemplate()) << "an index equal to the count selects nothing";
    EXPECT_NE(manager.dvdMenuTemplateArray()[1], frame) << "a new list each time";
    manager.setNCurrentDVDMenuSelected(-1);
    manager.loadDVDMenuTemplate();
    EXPECT_FALSE(manager.currentDVDMenuTemplate());
}

TEST_F(ProjectManagerTest, OurOwnTemplatesLoadWithTheNoMenuChoiceFirst) {
    SlideshowProjectManager manager;
    manager.loadDVDMenuTemplate();
    const auto templates = manager.dvdMenuTemplateArray();
    ASSERT_GE(templates.size(), 2u);
    EXPECT_EQ(templates[0]->menuStyle(), "nomenu");
    ASSERT_EQ(manager.currentDVDMenuTemplate(), templates[1]);
    for (const auto& menu : templates) {
        EXPECT_FALSE(menu->menuName().isEmpty());
        EXPECT_FALSE(menu->menuThumbnail().isNull()) << menu->menuName().toStdString();
    }
    EXPECT_TRUE(QFileInfo(templates[1]->menuBackgroundImagePath()).isFile());
}

TEST_F(ProjectManagerTest, WithoutAReadableResourceOnlyTheNoMenuEntryIsOffered) {
    const QString resources = home + "/empty-resources";
    QDir().mkpath(resources);
    EnvOverride env("VISTRELLE_RESOURCES", resources);
    SlideshowProjectManager manager;
    manager.loadDVDMenuTemplate();
    ASSERT_EQ(manager.dvdMenuTemplateArray().size(), 1u);
    EXPECT_EQ(manager.dvdMenuTemplateArray()[0]->menuStyle(), "nomenu");
    EXPECT_FALSE(manager.currentDVDMenuTemplate()) << "template 1 does not exist";

    for (const QByteArray& broken :
         {QByteArray("<plist><array><dict><key>Name</key>"), QByteArray("<plist><dict/></plist>"),
          QByteArray("\x00\x01 binary junk", 14)}) {
        writeFile(resources + "/dvdmenu.plist", broken);
        QString error;
        const QVariantList list = DVDMenuTemplate::templateDictionaries(&error);
        ASSERT_EQ(list.size(), 1);
        EXPECT_EQ(list[0].toMap().value("Style").toString(), "nomenu");
        EXPECT_FALSE(error.isEmpty());
    }
}

// The menu song is the project's copy of the chosen file: a load never reads, copies or measures the file the
// stored path names outside the project, which in a received project may be any file of the user's.
TEST_F(ProjectManagerTest, TheMenuSongIsTheProjectsCopyAndTheFileOutsideIsNeverReadAgain) {
    auto project = openNewProject("Menu song");
    const QString contents = project->strMacProjectBundleContentsPath();
    const QString song = home + "/Music/menu.wav";
    QDir().mkpath(home + "/Music");
    ASSERT_TRUE(ToneMaker::writeWav(song, 440, 0.8, 0.5f));
    auto manager = SlideshowProjectManager::defaultSlideshowProjectManager();
    QString error;
    const QVariantMap chosen = SlideshowProjectManager::menuSongDictionaryForStoredPath(song, &error);
    ASSERT_FALSE(chosen.isEmpty()) << qPrintable(error);
    const QString copy = contents + "/" + chosen.value("pureFileName").toString();
    manager->setDvdBackgroundMusicPath(song);
    const auto countCopies = [&] { return QDir(contents).entryList({"menu-*"}, QDir::Files).size(); };
    const auto menuSong = [&] {
        const auto songs =
            SlideshowProjectManager::defaultSlideshowProjectManager()->dvdMenuBackgroundMusicArray();
        return songs.size() == 1 ? songs[0]->dictFileMediaItem() : QVariantMap();
    };

    for (int load = 0; load < 3; ++load) {
        clock->advance(1.0);
        manager = reload();
        EXPECT_EQ(countCopies(), 1) << "load " << load;
    }
    EXPECT_EQ(menuSong().value("filePath").toString(), song);
    EXPECT_EQ(contents + "/" + menuSong().value("pureFileName").toString(), copy);
    EXPECT_NEAR(manager->dvdMenuBackgroundMusicArray()[0]->duration(), 0.8, 0.01);

    // What now lies at the stored path is not looked at: another song, a named pipe, nothing.
    ASSERT_TRUE(ToneMaker::writeWav(song, 660, 0.4, 0.5f));
    manager = reload();
    EXPECT_EQ(countCopies(), 1);
    EXPECT_EQ(contents + "/" + menuSong().value("pureFileName").toString(), copy);
    ASSERT_TRUE(QFile::remove(song));
    ASSERT_EQ(::mkfifo(QFile::encodeName(song).constData(), 0600), 0);
    manager = reload();
    EXPECT_EQ(contents + "/" + menuSong().value("pureFileName").toString(), copy) << "no hang, the copy";
    ASSERT_TRUE(QFile::remove(song));
    manager = reload();
    EXPECT_EQ(manager->dvdBackgroundMusicPath(), song) << "the path is kept while its copy is there";
    EXPECT_EQ(contents + "/" + menuSong().value("pureFileName").toString(), copy);

    // The latest of several copies is the song; a path to the project's own file is its own copy.
    clock->advance(5.0);
    ASSERT_TRUE(ToneMaker::writeWav(song, 330, 0.6, 0.5f));
    const QVariantMap again = SlideshowProjectManager::menuSongDictionaryForStoredPath(song);
    ASSERT_TRUE(QFile::remove(song));
    manager = reload();
    EXPECT_EQ(menuSong().value("pureFileName"), again.value("pureFileName"));
    manager->setDvdBackgroundMusicPath(copy);
    manager = reload();
    EXPECT_EQ(contents + "/" + menuSong().value("pureFileName").toString(), copy);
    EXPECT_EQ(countCopies(), 2) << "a file of the project is not copied again";

    // With no file of its own for the path, the project has no menu song: the default song stays.
    for (const QString& name : QDir(contents).entryList({"menu-*"}, QDir::Files))
        ASSERT_TRUE(QFile::remove(contents + "/" + name));
    manager->setDvdBackgroundMusicPath(song);
    manager = reload();
    EXPECT_TRUE(manager->dvdBackgroundMusicPath().isEmpty());
    EXPECT_EQ(menuSong().value("musicSource").toString(), "bundleDefaultMusic");
}

TEST_F(ProjectManagerTest, EntriesAndTheirEncodingRecordsAreStored) {
    auto project = openNewProject("Entries");
    auto manager = SlideshowProjectManager::defaultSlideshowProjectManager();
    EXPECT_FALSE(manager->recordEncoding(QSizeF(1280, 720), "MP4")) << "no current entry: nothing recorded";
    auto entry = std::make_shared<SlideshowProjectManagerItem>();
    entry->setStrProjectShortFolderName(".SlideshowProject00002");
    entry->setStrProjectTitle("Trip");
    entry->setStrThumbnailFilePath(SlideshowProject::homeDirectory() + "/.SlideshowProject00002/thumb.jpg");
    entry->setStrUploadTitle("Up");
    entry->setStrUploadDesc("Down");
    manager->setSlideshowProjectArray({std::make_shared<SlideshowProjectManagerItem>(), entry});
    manager->setCurrentSlideshowProjectManagerItem(entry);
    manager->syncCurrItemAndIndex();
    EXPECT_EQ(manager->nCurrItemIndex(), 1);
    clock->set(50.0);
    EXPECT_TRUE(manager->recordEncoding(QSizeF(1280, 720), "MP4"));
    EXPECT_EQ(entry->dictFileRefreshDate().keys(), QStringList{"video_1280x720_mp4"});

    const QByteArray data = platform::KeyedArchiver::archivedData(manager);
    EXPECT_EQ(model_test::keysPresent(data, "SlideshowProjectManagerItem",
                                      {"projectShortFolderName", "projectTitle", "thumbFilePath",
                                       "dictFileRefreshDate", "uploadTitle", "uploadDesc"})
                  .size(),
              6);
    manager = reload();
    ASSERT_EQ(manager->projectCount(), 2);
    EXPECT_EQ(manager->nNextProjectID(), 3);
    const auto again = manager->slideshowProjectArray()[1];
    EXPECT_EQ(again->strProjectTitle(), "Trip");
    EXPECT_EQ(again->strUploadDesc(), "Down");
    EXPECT_EQ(again->strThumbnailFilePath(),
              SlideshowProject::homeDirectory() + "/.SlideshowProject00002/thumb.jpg");
    EXPECT_EQ(again->lastEncodingDate(QSizeF(1280, 720), "mp4"), clock->now());
    EXPECT_FALSE(again->lastEncodingDate(QSizeF(1920, 1080), "mp4").isValid());
    EXPECT_FALSE(manager->currentSlideshowProjectManagerItem()) << "the current entry is not stored";
}

TEST_F(ProjectManagerTest, MovieNamesOfAnEntry) {
    SlideshowProjectManagerItem entry;
    EXPECT_TRUE(entry.videoOutputFileNamePrefix().isNull()) << "no title";
    EXPECT_TRUE(entry.videoOutputFileNameMiddleOne().isNull());
    entry.setStrProjectShortFolderName(".SlideshowProject00007");
    EXPECT_EQ(entry.videoOutputFileNameMiddleOne(), "00007");
    entry.setStrProjectShortFolderName(".Other");
    EXPECT_EQ(entry.videoOutputFileNameMiddleOne(), "Other");
    entry.setStrProjectShortFolderName("SlideshowProject00003-1");
    EXPECT_EQ(entry.videoOutputFileNameMiddleOne(), "00003-1");
    entry.setStrProjectShortFolderName("SlideshowProjectSlideshowProject");
    EXPECT_EQ(entry.videoOutputFileNameMiddleOne(), "SlideshowProjectSlideshowProject");
    entry.setStrProjectShortFolderName(".SlideshowProject00007");
    entry.setStrProjectTitle("a/b.c:d*e?f\"g<h>i|j'k`l\\m");
    EXPECT_EQ(entry.videoOutputFileNamePrefix(), "a-b-c-d-e-f-g-h-i-j-k-l-m-00007");
    EXPECT_EQ(entry.videoOutputFullPath(QSizeF(1280, 720)),
              SlideshowProject::homeDirectory() + "/a-b-c-d-e-f-g-h-i-j-k-l-m-00007-720p.MOV");
    EXPECT_EQ(entry.videoOutputRelativePath(QSizeF(640, 480)), "./a-b-c-d-e-f-g-h-i-j-k-l-m-00007-480p.MOV");
    EXPECT_EQ(SlideshowProjectManagerItem::encodingRecordKey(QSizeF(1920, 1080), "MOV"),
              "video_1920x1080_mov");
}

TEST_F(ProjectManagerTest, AMovieIsEncodedAgainUnlessItIsNewerThanTheProject) {
    auto project = openNewProject("Share");
    ASSERT_TRUE(project->saveProjectToFile());
    auto manager = SlideshowProjectManager::defaultSlideshowProjectManager();
    const QSizeF size(1280, 720);
    EXPECT_TRUE(manager->doesNeedEncodingForShareMovie(size)) << "no entry";
    auto entry = std::make_shared<SlideshowProjectManagerItem>();
    entry->setStrProjectShortFolderName(".SlideshowProject00001");
    entry->setStrProjectTitle("Share");
    manager->setCurrentSlideshowProjectManagerItem(entry);
    EXPECT_TRUE(manager->doesNeedEncodingForShareMovie(size)) << "no movie";
    QDir().mkpath(SlideshowProject::homeDirectory());
    writeFile(entry->videoOutputFullPath(size), "movie");
    const QDateTime archived = QFileInfo(project->getProjectFullFileName()).lastModified();
    QFile movie(entry->videoOutputFullPath(size));
    movie.open(QIODevice::ReadWrite);
    movie.setFileTime(archived.addSecs(60), QFileDevice::FileModificationTime);
    movie.close();
    EXPECT_TRUE(manager->doesNeedEncodingForShareMovie(size)) << "no record";
    entry->recordEncoding(size, SlideshowProject::strVideoOutputFormat(), archived.addSecs(30));
    EXPECT_FALSE(manager->doesNeedEncodingForShareMovie(size));
    project->setBIsDirty(true);
    EXPECT_TRUE(manager->doesNeedEncodingForShareMovie(size)) << "an unsaved edit";
    project->setBIsDirty(false);
    entry->recordEncoding(size, SlideshowProject::strVideoOutputFormat(), archived.addSecs(-30));
    EXPECT_TRUE(manager->doesNeedEncodingForShareMovie(size)) << "recorded before the last save";
}

TEST_F(ProjectManagerTest, TheMenuShowLastsItsSlidesTransitionsAndFades) {
    SlideshowProjectManager manager;
    EXPECT_DOUBLE_EQ(manager.dvdMenuSlideTotalDuration(), 0.0);
    std::vector<SlideItemRef> slides;
    for (float photo : {3.0f, 4.0f, 5.0f}) {
        auto slide = platform::makeMainThreadShared<SlideItem>();
        slide->customSetDurations(photo, 1.5f);
        slides.push_back(slide);
    }
    manager.setDvdMenuSlideArray(slides);
    manager.setFltDVDMenuFadeIn(0.5f);
    manager.setFltDVDMenuFadeOut(1.0f);
    EXPECT_DOUBLE_EQ(manager.dvdMenuSlideTotalDuration(), 0.5 + 12.0 + 3.0 + 1.0)
        << "the last transition is not shown";
    manager.setFltDVDMenuFadeIn(-3.0f);
    EXPECT_FLOAT_EQ(manager.fltDVDMenuFadeIn(), 0.0f);
}
