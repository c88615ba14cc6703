// A project reads only its own clip and song files: stored paths and links that lead out of its folder
// leave the slide or song missing, whatever file of the user lies at the other end.
#include "ClipTestSupport.h"

#include "model/MusicItem.h"
#include "model/SlideshowProject.h"
#include "platform/foundation/MainThread.h"
#include "support/TestEnvironment.h"
#include "support/ToneMaker.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

#include <sys/stat.h>

using model_test::ClipTest;

namespace {

// Copies a folder of plain files and folders, as a user copies a project in the file manager.
bool copyFolder(const QString& from, const QString& to) {
    if (!QDir().mkpath(to))
        return false;
    QDirIterator it(from, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString target = to + "/" + QDir(from).relativeFilePath(path);
        if (it.fileInfo().isDir() ? !QDir().mkpath(target) : !QFile::copy(path, target))
            return false;
    }
    return true;
}

} // namespace

class ProjectOwnFilesTest : public ClipTest {
protected:
    void TearDown() override {
        MusicItem::setDurationMeasurer(nullptr);
        ClipTest::TearDown();
    }

    // Saves the open project with these slides and songs and closes it; its folder.
    QString saveAndClose(const SlideshowProjectRef& project, const std::vector<SlideItemRef>& slides,
                         const std::vector<MusicItemRef>& songs) {
        project->setSlideshowArray(slides);
        project->setMusicArray(songs);
        EXPECT_TRUE(project->saveProjectToFile());
        const QString folder = project->strMacProjectBundleFullPath();
        SlideshowProject::resetMainProjectForTesting();
        return folder;
    }

    SlideshowProjectRef load(const QString& folder) {
        QString error;
        auto project = SlideshowProject::loadBundleProject(folder, &error);
        EXPECT_TRUE(project) << error.toStdString();
        return project;
    }

    static std::shared_ptr<VideoSlideItem> clipAt(const SlideshowProjectRef& project, std::size_t index) {
        return std::dynamic_pointer_cast<VideoSlideItem>(project->slideshowArray().at(index));
    }

    // A song whose copy in the project is `name`, not measured yet.
    static MusicItemRef songCopy(const QString& name) {
        auto song = platform::makeMainThreadShared<MusicItem>();
        song->addEntriesFromDictionary({{"pureFileName", name}, {"titleFromFileName", "Song"}});
        return song;
    }
};

TEST_F(ProjectOwnFilesTest, ACopiedProjectReadsItsOwnClipNotTheOriginals) {
    auto project = openNewProject("Original");
    const QString clipPath = project->strProjectVideoFileDirectory() + "/clip.mp4";
    ASSERT_TRUE(QFile::copy(makeClip("two.mp4", 60), clipPath));
    auto clip = platform::makeMainThreadShared<VideoSlideItem>();
    clip->customSetDurations(4.0f, 0.0f);
    clip->PrepareVideoItem(clipPath);
    ASSERT_TRUE(clip->hasAsset());
    const QString original = saveAndClose(project, {clip}, {});
    clip.reset();
    project.reset();

    // The copy's clip is changed: a copy is a project of its own.
    const QString copy = QFileInfo(original).absolutePath() + "/Copy.VistrelleProject";
    ASSERT_TRUE(copyFolder(original, copy));
    ASSERT_TRUE(QFile::remove(copy + "/Contents/videos/clip.mp4"));
    ASSERT_TRUE(QFile::copy(makeClip("three.mp4", 90), copy + "/Contents/videos/clip.mp4"));

    auto copied = load(copy);
    ASSERT_TRUE(copied);
    EXPECT_EQ(clipAt(copied, 0)->strVideoFilePath(), copy + "/Contents/videos/clip.mp4");
    EXPECT_NEAR(clipAt(copied, 0)->fSecPhotoDuration(), 3.0, 0.05) << "the copy's own clip";

    auto reopened = load(original);
    ASSERT_TRUE(reopened);
    EXPECT_EQ(clipAt(reopened, 0)->strVideoFilePath(), clipPath);
    EXPECT_NEAR(clipAt(reopened, 0)->fSecPhotoDuration(), 2.0, 0.05);
    EXPECT_TRUE(reopened->missingSlideFiles().isEmpty());
}

TEST_F(ProjectOwnFilesTest, LinksLeadingOutOfTheProjectCountAsMissing) {
    auto project = openNewProject("Linked");
    const QString contents = project->strMacProjectBundleContentsPath();
    const QString videos = project->strProjectVideoFileDirectory();
    const QString outsideClip = makeClip("private.mp4", 60, true);
    const QString outsideSong = home + "/private.wav";
    ASSERT_TRUE(ToneMaker::writeWav(outsideSong, 440, 1.0, 0.5f));
    ASSERT_TRUE(QFile::link(outsideClip, videos + "/clip.mp4"));
    ASSERT_TRUE(QFile::link(outsideSong, contents + "/song.wav"));
    ASSERT_TRUE(QDir().mkpath(home + "/Folder"));
    ASSERT_TRUE(QFile::copy(outsideClip, home + "/Folder/deep.mp4"));
    ASSERT_TRUE(QFile::link(home + "/Folder", videos + "/linked"));
    // A link that stays inside the project is the project's own file.
    ASSERT_TRUE(QFile::copy(makeClip("own.mp4", 30), videos + "/own.mp4"));
    ASSERT_TRUE(QFile::link("own.mp4", videos + "/alias.mp4"));
    ASSERT_TRUE(ToneMaker::writeWav(contents + "/own.wav", 440, 0.5, 0.5f));

    std::vector<SlideItemRef> slides;
    for (const char* name : {"clip.mp4", "linked/deep.mp4", "alias.mp4"}) {
        auto clip = platform::makeMainThreadShared<VideoSlideItem>();
        clip->setStrVideoFilePath(videos + "/" + name);
        slides.push_back(clip);
    }
    const QString folder = saveAndClose(project, slides, {songCopy("song.wav"), songCopy("own.wav")});
    slides.clear();
    project.reset();

    QStringList measured;
    MusicItem::setDurationMeasurer([&measured](const QString& path) {
        measured << path;
        return 1.0;
    });
    auto loaded = load(folder);
    ASSERT_TRUE(loaded);
    SlideshowProject::retainProject(loaded);
    for (std::size_t i : {0u, 1u}) {
        EXPECT_TRUE(clipAt(loaded, i)->strVideoFilePath().isEmpty()) << i;
        EXPECT_FALSE(clipAt(loaded, i)->hasAsset()) << i;
    }
    EXPECT_TRUE(clipAt(loaded, 2)->hasAsset());
    EXPECT_EQ(loaded->missingSlideFiles(), (QStringList{"clip.mp4", "deep.mp4"}));
    EXPECT_TRUE(loaded->missingSlideFilesMessage().contains("clip.mp4"));

    const auto songs = loaded->musicArray();
    ASSERT_EQ(songs.size(), 2u);
    EXPECT_TRUE(songs[0]->strFilePath().isEmpty());
    EXPECT_DOUBLE_EQ(songs[0]->duration(), 0.0) << "never measured on the file behind the link";
    EXPECT_EQ(songs[1]->strFilePath(), loaded->strMacProjectBundleContentsPath() + "/own.wav");
    EXPECT_DOUBLE_EQ(songs[1]->duration(), 1.0);
    for (const QString& path : measured)
        EXPECT_TRUE(path.startsWith(folder + "/")) << path.toStdString();
    loaded->checkItemVaild();
    EXPECT_EQ(loaded->musicArray(), std::vector<MusicItemRef>{songs[1]}) << "the linked song is missing";
}

TEST_F(ProjectOwnFilesTest, AStoredPathOutsideWithNoFileOfThatNameInsideIsMissing) {
    auto project = openNewProject("Received");
    const QString outside = makeClip("holiday.mp4", 60);
    auto clip = platform::makeMainThreadShared<VideoSlideItem>();
    clip->setStrVideoFilePath(outside);
    const QString folder = saveAndClose(project, {clip}, {});
    clip.reset();
    project.reset();

    auto loaded = load(folder);
    ASSERT_TRUE(loaded);
    EXPECT_TRUE(clipAt(loaded, 0)->strVideoFilePath().isEmpty());
    EXPECT_FALSE(clipAt(loaded, 0)->hasAsset());
    EXPECT_EQ(loaded->missingSlideFiles(), QStringList{"holiday.mp4"});

    // Saved again, the slide keeps its stored path: the clip is found once its copy is in the project.
    SlideshowProject::retainProject(loaded);
    ASSERT_TRUE(loaded->saveProjectToFile());
    ASSERT_TRUE(QFile::copy(outside, loaded->strProjectVideoFileDirectory() + "/holiday.mp4"));
    SlideshowProject::resetMainProjectForTesting();
    loaded.reset();
    auto again = load(folder);
    ASSERT_TRUE(again);
    EXPECT_EQ(clipAt(again, 0)->strVideoFilePath(), folder + "/Contents/videos/holiday.mp4");
    EXPECT_TRUE(clipAt(again, 0)->hasAsset());

    // Added while a project is open, a clip from elsewhere is not read either.
    SlideshowProject::retainProject(again);
    auto added = platform::makeMainThreadShared<VideoSlideItem>();
    added->PrepareVideoItem(makeClip("other.mp4", 30));
    EXPECT_TRUE(added->strVideoFilePath().isEmpty());
    EXPECT_FALSE(added->hasAsset());
}

// A slide's pictures are names in "Contents"; one that is a link out of the project, or a pipe, is missing:
// the slide is dropped when the project opens, nothing reads or turns the file behind it, and deleting the
// slide removes the link, never what it points at.
TEST_F(ProjectOwnFilesTest, APhotoThroughALinkOutOrAPipeIsMissing) {
    auto project = openNewProject("Photos");
    const QString contents = project->strMacProjectBundleContentsPath();
    const QString secret = home + "/Private/secret.jpg";
    QDir().mkpath(home + "/Private");
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save(secret, "JPEG"));
    const QByteArray secretBytes = model_test::bytesOf(secret);
    ASSERT_TRUE(QFile::link(secret, contents + "/linked.jpg"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(contents + "/pipe.jpg").constData(), 0600), 0);
    ASSERT_TRUE(picture.save(contents + "/own.jpg", "JPEG"));

    auto linked = platform::makeMainThreadShared<SlideItem>();
    linked->setFileName("linked.jpg");
    auto piped = platform::makeMainThreadShared<SlideItem>();
    piped->setFileName("pipe.jpg");
    auto own = platform::makeMainThreadShared<SlideItem>();
    own->setFileName("own.jpg");
    own->setBackgroudImageFileName("linked.jpg");
    own->setStrThumbFileName("pipe.jpg");
    own->setTextImageFileName("linked.jpg");
    EXPECT_TRUE(linked->fileName().isEmpty());
    EXPECT_TRUE(piped->fileName().isEmpty());
    EXPECT_FALSE(linked->iSItemReady());
    EXPECT_TRUE(linked->slideImageForTexture({}).isNull()) << "nothing is read through the link";
    linked->rotateSlideItem(90);
    EXPECT_EQ(model_test::bytesOf(secret), secretBytes) << "nor turned";
    EXPECT_TRUE(own->backgroudImageFileName().isEmpty());
    EXPECT_TRUE(own->strThumbFileName().isEmpty());
    EXPECT_TRUE(own->textImageFileName().isEmpty());
    EXPECT_EQ(own->fileName(), contents + "/own.jpg");

    const QString folder = saveAndClose(project, {linked, piped, own}, {});
    linked.reset();
    piped.reset();
    own.reset();
    project.reset();
    auto loaded = load(folder);
    ASSERT_TRUE(loaded);
    SlideshowProject::retainProject(loaded);
    // The third's backdrop leads out of the project: an export would draw black in its place.
    EXPECT_EQ(loaded->missingSlideFiles(), (QStringList{"linked.jpg", "pipe.jpg", "own.jpg"}));
    loaded->checkItemVaild();
    ASSERT_EQ(loaded->slideCount(), 1u) << "the slides whose pictures are not the project's are dropped";

    auto gone = platform::makeMainThreadShared<SlideItem>();
    gone->setFileName("linked.jpg");
    gone->deleteFilesForDeletingItem();
    EXPECT_FALSE(QFileInfo(contents + "/linked.jpg").isSymLink()) << "the link is removed";
    EXPECT_EQ(model_test::bytesOf(secret), secretBytes) << "what it pointed at stays";
}

// A clip slide whose picture is missing when its project opens (removed, or its frame did not decode when the
// clip came in) stays with its clip, and its pictures are made again, under names the project saves. One
// whose clip cannot be read any more cannot have them again: it is dropped, as a photo without its picture.
TEST_F(ProjectOwnFilesTest, AClipSlideWithoutItsPictureStaysAndMakesItAgain) {
    auto project = openNewProject("Pictures");
    std::vector<SlideItemRef> slides;
    for (const QString name : {"removed.mp4", "undecoded.mp4", "unreadable.mp4"})
        slides.push_back(clipSlide(makeClip(name, 60)));
    ASSERT_TRUE(std::static_pointer_cast<VideoSlideItem>(slides[0])->LoadVideoThumbnail());
    ASSERT_TRUE(QFile::remove(slides[0]->fileName()));
    const QString unreadable = std::static_pointer_cast<VideoSlideItem>(slides[2])->strVideoFilePath();
    const QString folder = saveAndClose(project, slides, {});
    slides.clear();
    project.reset();
    ASSERT_TRUE(test_support::writeBytes(unreadable, "not a clip"));

    auto loaded = load(folder);
    ASSERT_TRUE(loaded);
    SlideshowProject::retainProject(loaded);
    loaded->checkItemVaild();
    ASSERT_EQ(loaded->slideCount(), 2u) << "the slide whose clip cannot be read is dropped";
    EXPECT_EQ(clipAt(loaded, 1)->strVideoFilePath(), folder + "/Contents/videos/undecoded.mp4");
    EXPECT_TRUE(loaded->bIsDirty());
    for (std::size_t i : {0u, 1u}) {
        EXPECT_EQ(FrameCode::read(QImage(clipAt(loaded, i)->fileName())), 30)
            << "the frame at 1 s, slide " << i;
        EXPECT_TRUE(QFileInfo(clipAt(loaded, i)->strThumbFileName()).isFile()) << i;
    }
}
