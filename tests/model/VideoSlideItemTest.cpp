#include "ArchiveTestSupport.h"
#include "ClipTestSupport.h"

#include "platform/foundation/MainThread.h"
#include "platform/image/ImageAdditions.h"
#include "support/ToneMaker.h"

#include <QImageReader>

#include <cmath>

using model_test::ClipTest;
using model_test::writeFile;
using platform::media::MediaTime;

namespace {

std::shared_ptr<VideoSlideItem> roundTrip(const platform::ArchivableRef& slide) {
    QString error;
    auto back =
        platform::KeyedUnarchiver::unarchiveObject(platform::KeyedArchiver::archivedData(slide), &error);
    EXPECT_TRUE(back) << error.toStdString();
    return std::dynamic_pointer_cast<VideoSlideItem>(back);
}

// A clip slide's record as some version wrote it; `fill` adds its keys.
std::shared_ptr<VideoSlideItem> decodeRecord(const std::function<void(model_test::RawRecord&)>& fill) {
    auto rec = std::make_shared<model_test::RawRecord>(QStringList{"VideoSlideItem", "SlideItem"});
    fill(*rec);
    return std::dynamic_pointer_cast<VideoSlideItem>(
        platform::KeyedUnarchiver::unarchiveObject(platform::KeyedArchiver::archivedData(rec)));
}

} // namespace

class VideoSlideItemTest : public ClipTest {};

TEST_F(VideoSlideItemTest, TheClipsLengthSetsTheSlidesDurations) {
    auto longClip = platform::makeMainThreadShared<VideoSlideItem>();
    longClip->customSetDurations(4.0f, 1.5f);
    longClip->PrepareVideoItem(makeClip("long.mp4", 120, true));
    ASSERT_TRUE(longClip->hasAsset());
    EXPECT_NEAR(longClip->fSecPhotoDuration(), 4.0 - 1.5, 0.05) << "the transition eats into the clip";
    EXPECT_FLOAT_EQ(longClip->fSecTransitionDuration(), 1.5f);
    EXPECT_TRUE(longClip->bCustomDurationFlag()) << "fitting to the music leaves clips alone";

    auto shortClip = platform::makeMainThreadShared<VideoSlideItem>();
    shortClip->customSetDurations(4.0f, 2.0f);
    shortClip->PrepareVideoItem(makeClip("short.mp4", 45));
    EXPECT_NEAR(shortClip->fSecPhotoDuration(), 1.5, 0.05)
        << "a clip shorter than its transition plays whole";
    EXPECT_FLOAT_EQ(shortClip->fSecTransitionDuration(), 0.0f);
}

// The clip keeps its length whatever transition it is given (inserted among slides, the inspector, "Apply
// to all"): the slide shows that length, and the next slide starts where the clip ends.
TEST_F(VideoSlideItemTest, AClipKeepsItsLengthWhenItsTransitionChanges) {
    const auto project = openNewProject();
    ASSERT_TRUE(project);
    auto clip = platform::makeMainThreadShared<VideoSlideItem>();
    clip->customSetDurations(4.0f, 2.0f);
    clip->PrepareVideoItem(inProject(makeClip("three.mp4", 90)));
    ASSERT_TRUE(clip->hasAsset());
    project->setSlideshowArray({photoIn(project, "a.jpg"), clip, photoIn(project, "b.jpg")});
    project->calcSlideItemsPhotoTransitionDuration();
    const struct {
        float transition, photo, kept;
    } cases[] = {{2.0f, 1.0f, 2.0f}, {0.5f, 2.5f, 0.5f}, {2.9f, 0.1f, 2.9f}, {4.0f, 3.0f, 0.0f}};
    for (const auto& test : cases) {
        SCOPED_TRACE(test.transition);
        clip->setFSecTransitionDuration(test.transition);
        EXPECT_NEAR(clip->fSecPhotoDuration(), test.photo, 0.01);
        EXPECT_NEAR(clip->fSecTransitionDuration(), test.kept, 0.001);
        EXPECT_NEAR(clip->clipDuration(), 3.0, 0.01);
        EXPECT_EQ(clip->fSecShownDuration(), clip->clipDuration()) << "what its badge shows";
        const auto next = project->slideItemAtIndex(2);
        EXPECT_EQ(next->nItemStartFrameIndex() - clip->nItemStartFrameIndex(), 90u) << "the clip's 90 frames";
    }
    const auto photo = project->slideItemAtIndex(0);
    photo->setFSecTransitionDuration(1.0f);
    EXPECT_FLOAT_EQ(photo->fSecShownDuration(), 4.0f) << "a photo shows its photo duration";
}

TEST_F(VideoSlideItemTest, SizeAndTurnComeFromTheFile) {
    const std::pair<int, int> turns[] = {{0, 3}, {90, 0}, {270, 1}, {180, 2}};
    for (const auto& [rotation, orientation] : turns) {
        auto clip =
            clipSlide(makeClip(QString("turned%1.mp4").arg(rotation), 10, false, rotation, QSize(64, 32)));
        EXPECT_EQ(clip->videoOrientation(), orientation) << rotation << " degrees";
        EXPECT_EQ(clip->videoSize(), QSizeF(64, 32)) << "the stored size, before the turn";
    }
    EXPECT_EQ(VideoSlideItem().videoOrientation(), kNoVideoOrientation);
}

TEST_F(VideoSlideItemTest, APictureFromOneSecondInIsWrittenUnderThreeFreshNames) {
    auto project = openNewProject("Pictures");
    const QString contents = project->strMacProjectBundleContentsPath();
    clock->set(0.0);
    const double stamp = QDateTime(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC).msecsTo(clock->now()) / 1000.0;
    const QString seconds = QString::number(stamp, 'f', 2);
    auto clip = clipSlide(makeClip("clip.mp4", 60));
    ASSERT_TRUE(clip->LoadVideoThumbnail());
    EXPECT_EQ(clip->shortFileName(), "psd_" + seconds + ".jpg");
    EXPECT_EQ(clip->fileName(), contents + "/psd_" + seconds + ".jpg");
    EXPECT_EQ(clip->backgroudImageFileName(), contents + "/psd_bk_" + seconds + ".jpg");
    EXPECT_EQ(clip->strThumbFileName(), contents + "/thumb_" + seconds + ".jpg");

    const QImage picture(clip->fileName());
    EXPECT_EQ(picture.size(), QSize(96, 64));
    EXPECT_EQ(FrameCode::read(picture), 30) << "the frame at 1.0 s";
    EXPECT_EQ(QImageReader(clip->strThumbFileName()).size(), QSize(80, 70));
    const QImage background(clip->backgroudImageFileName());
    ASSERT_EQ(background.size(), picture.size());
    // Frame 30 is 011110: the edge between the dark first stripe and the light second one is smoothed.
    const int edge = 96 / FrameCode::kStripes;
    EXPECT_LT(qGray(picture.pixel(edge - 2, 32)), 60);
    EXPECT_GT(qGray(background.pixel(edge - 2, 32)), 60) << "the background is blurred";

    // A second clip made in the same hundredth of a second must not write over the first one's pictures.
    auto other = clipSlide(makeClip("other.mp4", 60));
    other->customSetDurations(0.8f, 0.0f); // a short slide: the picture from half its length, 0.4 s
    ASSERT_TRUE(other->getVideoThumbnail(*other->asset()));
    EXPECT_NE(other->shortFileName(), clip->shortFileName());
    EXPECT_NE(other->strThumbFileName(), clip->strThumbFileName());
    EXPECT_EQ(FrameCode::read(QImage(other->fileName())), 12);
    EXPECT_EQ(FrameCode::read(QImage(clip->fileName())), 30) << "the first clip's picture is untouched";
}

TEST_F(VideoSlideItemTest, NoPicturesWithoutAnOpenProjectOrAClip) {
    auto clip = clipSlide(makeClip("clip.mp4", 40));
    EXPECT_FALSE(clip->LoadVideoThumbnail()) << "no project to write into";
    openNewProject("Pictures");
    EXPECT_FALSE(VideoSlideItem().LoadVideoThumbnail()) << "no clip";
    EXPECT_TRUE(clip->LoadVideoThumbnail());
}

TEST_F(VideoSlideItemTest, TheClipsSoundFadesInAndOutAtItsLevel) {
    auto clip = platform::makeMainThreadShared<VideoSlideItem>();
    clip->setFltOutputVolume(0.6f);
    clip->PrepareVideoItem(makeClip("tone.mp4", 60, true));
    const auto tracks = clip->composition().tracks();
    ASSERT_EQ(tracks.size(), 1u);
    EXPECT_NEAR(tracks[0].endTime().seconds(), 2.0, 0.05);
    const auto params = clip->allAudioParams();
    ASSERT_EQ(params.size(), 1u);
    EXPECT_EQ(params[0].trackID(), tracks[0].trackID());
    const double length = tracks[0].endTime().seconds();
    const double fade = length * 0.5 - 0.1; // 0.9 s for 2 s
    EXPECT_FLOAT_EQ(params[0].volumeAt(0.0), 0.0f);
    EXPECT_NEAR(params[0].volumeAt(fade / 2), 0.3f, 0.02f);
    EXPECT_NEAR(params[0].volumeAt(fade + 0.01), 0.6f, 0.001f);
    EXPECT_NEAR(params[0].volumeAt(length - fade - 0.01), 0.6f, 0.001f);
    EXPECT_NEAR(params[0].volumeAt(length - 0.001), 0.0f, 0.01f);

    clip->setFltOutputVolume(0.25f);
    EXPECT_TRUE(clip->changePlayVolumeHandle());
    ASSERT_EQ(clip->allAudioParams().size(), 1u) << "laid again, not added to";
    EXPECT_EQ(clip->composition().tracks().size(), 1u);
    EXPECT_NEAR(clip->allAudioParams()[0].volumeAt(1.0), 0.25f, 0.001f);
}

TEST_F(VideoSlideItemTest, ALongClipFadesOverThreeSecondsAndASilentOneHasNoRamps) {
    auto longClip = platform::makeMainThreadShared<VideoSlideItem>();
    longClip->PrepareVideoItem(makeClip("long.mp4", 300, true, 0, QSize(32, 32)));
    const auto params = longClip->allAudioParams();
    ASSERT_EQ(params.size(), 1u);
    EXPECT_NEAR(params[0].volumeAt(1.5), 0.5f, 0.01f);
    EXPECT_NEAR(params[0].volumeAt(3.001), 1.0f, 0.001f);
    EXPECT_NEAR(params[0].volumeAt(6.99), 1.0f, 0.01f);
    EXPECT_NEAR(params[0].volumeAt(8.5), 0.5f, 0.02f);

    auto silent = platform::makeMainThreadShared<VideoSlideItem>();
    silent->PrepareVideoItem(makeClip("silent.mp4", 30));
    EXPECT_EQ(silent->composition().tracks().size(), 1u) << "an empty track";
    EXPECT_TRUE(silent->composition().tracks()[0].isEmpty());
    EXPECT_TRUE(silent->allAudioParams().empty());
}

TEST_F(VideoSlideItemTest, OwnLevelsComeBackFromTheArchive) {
    auto project = openNewProject("Levels");
    project->setFltBackgroundMusicVolumeWhenVideos(0.2f);
    VideoSlideItem fresh;
    EXPECT_FLOAT_EQ(fresh.fltOutputVolume(), 1.0f);

    for (const float level : {0.0f, 0.5f, 0.95f, 1.0f}) {
        auto clip = platform::makeMainThreadShared<VideoSlideItem>();
        clip->setFltOutputVolume(0.7f);
        clip->customizeBKMusicVolume(level);
        auto back = roundTrip(clip);
        ASSERT_TRUE(back);
        EXPECT_FLOAT_EQ(back->fltOutputVolume(), 0.7f);
        EXPECT_TRUE(back->isCustomizedBKMusicVolume()) << level;
        EXPECT_FLOAT_EQ(back->fltBKMusicVolume(), level);
    }

    auto following = platform::makeMainThreadShared<VideoSlideItem>();
    auto back = roundTrip(following);
    ASSERT_TRUE(back);
    EXPECT_FALSE(back->isCustomizedBKMusicVolume()) << "a clip without a level of its own stays so";
    project->setFltBackgroundMusicVolumeWhenVideos(0.45f);
    EXPECT_FLOAT_EQ(back->fltBKMusicVolume(), 0.45f) << "and follows the project's level";
}

TEST_F(VideoSlideItemTest, ArchivedLevelsOutsideTheirRangeFallBack) {
    auto project = openNewProject("Levels");
    project->setFltBackgroundMusicVolumeWhenVideos(0.3f);
    auto missing = decodeRecord([](model_test::RawRecord&) {});
    ASSERT_TRUE(missing);
    EXPECT_FLOAT_EQ(missing->fltOutputVolume(), 0.9f) << "an archive without the clip's level";
    EXPECT_FALSE(missing->isCustomizedBKMusicVolume());
    EXPECT_EQ(missing->itemType(), SlideItem::kItemTypeVideo);

    auto outOfRange = decodeRecord(
        [](model_test::RawRecord& r) { r.real("fltOutputVolume", 1.5f).real("fltBKMusicVolume", 1.5f); });
    ASSERT_TRUE(outOfRange);
    EXPECT_FLOAT_EQ(outOfRange->fltOutputVolume(), 0.9f);
    EXPECT_FALSE(outOfRange->isCustomizedBKMusicVolume());
    EXPECT_FLOAT_EQ(outOfRange->fltBKMusicVolume(), 0.3f);

    auto none = decodeRecord(
        [](model_test::RawRecord& r) { r.real("fltOutputVolume", 0.4f).real("fltBKMusicVolume", -1.0f); });
    ASSERT_TRUE(none);
    EXPECT_FLOAT_EQ(none->fltOutputVolume(), 0.4f);
    EXPECT_FALSE(none->isCustomizedBKMusicVolume());

    auto nan = decodeRecord([](model_test::RawRecord& r) {
        r.real("fltOutputVolume", std::nanf("")).real("fltBKMusicVolume", std::nanf(""));
    });
    ASSERT_TRUE(nan);
    EXPECT_FLOAT_EQ(nan->fltOutputVolume(), 0.9f);
    EXPECT_FALSE(nan->isCustomizedBKMusicVolume());

    VideoSlideItem set;
    set.setFltOutputVolume(1.5f);
    EXPECT_FLOAT_EQ(set.fltOutputVolume(), 0.8f) << "a stored level outside 0..1 plays at 0.8";
}

TEST_F(VideoSlideItemTest, ADecodedClipIsPreparedFromItsFileOnceItsProjectIsKnown) {
    auto project = openNewProject("Decoded");
    const QString path = project->strProjectVideoFileDirectory() + "/clip.mp4";
    ASSERT_TRUE(QFile::copy(makeClip("clip.mp4", 90, true), path));
    auto clip = platform::makeMainThreadShared<VideoSlideItem>();
    clip->setStrVideoFilePath(path);
    clip->customSetDurations(9.0f, 1.0f); // stale durations of an edited clip
    auto back = roundTrip(clip);
    ASSERT_TRUE(back);
    EXPECT_FALSE(back->hasAsset()) << "nothing is read before the slide's project is known";
    EXPECT_TRUE(back->strVideoFilePath().isEmpty());
    EXPECT_TRUE(back->locateVideoInProject(project->strMacProjectBundleContentsPath()));
    EXPECT_EQ(back->strVideoFilePath(), path);
    EXPECT_TRUE(back->hasAsset());
    EXPECT_NEAR(back->fSecPhotoDuration(), 2.0, 0.05) << "the clip's own length wins";
    EXPECT_FLOAT_EQ(back->fSecTransitionDuration(), 1.0f);
    EXPECT_EQ(back->composition().tracks().size(), 1u);
}

TEST_F(VideoSlideItemTest, AClipOfARenamedProjectIsFoundInItsVideosFolder) {
    auto project = openNewProject("Holiday");
    const QString copy = project->createVideoFilePathInProjectFromSource(makeClip("beach.mp4", 60, true));
    ASSERT_TRUE(QFile::copy(dir.file("beach.mp4"), copy));
    auto clip = platform::makeMainThreadShared<VideoSlideItem>();
    clip->customSetDurations(4.0f, 0.5f);
    clip->PrepareVideoItem(copy);
    project->setSlideshowArray({clip});
    ASSERT_TRUE(project->saveProjectToFile());
    const QString oldFolder = project->strMacProjectBundleFullPath();
    SlideshowProject::resetMainProjectForTesting();
    project.reset();
    clip.reset();

    const QString newFolder = QFileInfo(oldFolder).absolutePath() + "/Renamed.VistrelleProject";
    ASSERT_TRUE(QDir().rename(oldFolder, newFolder));
    QString error;
    auto loaded = SlideshowProject::loadBundleProject(newFolder, &error);
    ASSERT_TRUE(loaded) << error.toStdString();
    auto found = std::dynamic_pointer_cast<VideoSlideItem>(loaded->slideshowArray().at(0));
    ASSERT_TRUE(found);
    EXPECT_EQ(found->strVideoFilePath(), newFolder + "/Contents/videos/" + QFileInfo(copy).fileName());
    EXPECT_TRUE(found->hasAsset());
    EXPECT_NEAR(found->fSecPhotoDuration(), 1.5, 0.05);
    EXPECT_GT(loaded->totalFrameCount(), 40u) << "the frames are laid out with the clip's length";
}

TEST_F(VideoSlideItemTest, AMovedClipIsNeverTakenFromAnotherProject) {
    auto other = openNewProject("Other");
    const QString otherCopy = other->strProjectVideoFileDirectory() + "/clip.mp4";
    ASSERT_TRUE(QFile::copy(makeClip("clip.mp4", 30), otherCopy));
    // A project being read while "Other" is open, whose clip has gone from its own folder as well.
    const QString gone = home + "/Gone.VistrelleProject/Contents/videos/clip.mp4";
    auto decoded = decodeRecord([&](model_test::RawRecord& r) { r.object("strVideoFilePath", gone); });
    ASSERT_TRUE(decoded);
    EXPECT_FALSE(decoded->locateVideoInProject(home + "/Gone.VistrelleProject/Contents"));
    EXPECT_TRUE(decoded->strVideoFilePath().isEmpty());
    EXPECT_FALSE(decoded->hasAsset());
    EXPECT_EQ(decoded->mediaFileName(), "clip.mp4") << "missing, it is still named";

    // Added by the user to the open project, the same missing path is found in its folder.
    auto added = platform::makeMainThreadShared<VideoSlideItem>();
    added->PrepareVideoItem(home + "/Elsewhere/clip.mp4");
    EXPECT_EQ(added->strVideoFilePath(), otherCopy);
    EXPECT_TRUE(added->hasAsset());
    EXPECT_TRUE(VideoSlideItem::videoPathInProject(home + "/x/..", other->strMacProjectBundleContentsPath())
                    .isEmpty());
}

TEST_F(VideoSlideItemTest, DeletingAClipSlideDeletesOnlyAClipInsideTheProject) {
    auto project = openNewProject("Delete");
    const QString outside = makeClip("outside.mp4", 10);
    auto clip = platform::makeMainThreadShared<VideoSlideItem>();
    const QString videos = project->strProjectVideoFileDirectory();
    const QString sneaky = videos + "/" + QDir(videos).relativeFilePath(outside);
    ASSERT_TRUE(sneaky.contains("/../"));
    ASSERT_TRUE(QFileInfo::exists(sneaky)) << "the path leads out of the project to the test's clip";
    clip->setStrVideoFilePath(sneaky);
    clip->deleteFilesForDeletingItem();
    EXPECT_TRUE(QFileInfo::exists(outside)) << "a path that only starts inside the project";
    ASSERT_TRUE(QFile::link(home, videos + "/linked"));
    clip->setStrVideoFilePath(videos + "/linked/outside.mp4");
    clip->deleteFilesForDeletingItem();
    EXPECT_TRUE(QFileInfo::exists(outside)) << "a linked folder inside the project";

    const QString copy = project->createVideoFilePathInProjectFromSource(outside);
    ASSERT_TRUE(QFile::copy(outside, copy));
    auto inside = clipSlide(copy);
    ASSERT_TRUE(inside->LoadVideoThumbnail());
    const QString picture = inside->fileName();
    ASSERT_TRUE(QFileInfo::exists(picture));
    inside->deleteFilesForDeletingItem();
    EXPECT_FALSE(QFileInfo::exists(copy));
    EXPECT_FALSE(QFileInfo::exists(picture));
    EXPECT_FALSE(QFileInfo::exists(inside->strThumbFileName()));
    EXPECT_TRUE(QFileInfo::exists(outside));
}

TEST_F(VideoSlideItemTest, ImportsRefuseFilesThatAreNotWhatTheirNamesSay) {
    auto project = openNewProject("Imports");
    const QString contents = project->strMacProjectBundleContentsPath();
    QImage picture(32, 32, QImage::Format_RGB32);
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save(dir.file("picture.mp3"), "PNG") && picture.save(dir.file("picture.mov"), "PNG"));
    writeFile(dir.file("text.mp3"), "not a song at all");
    writeFile(dir.file("text.mov"), "not a clip at all");
    writeFile(dir.file("empty.mp3"), "");
    ASSERT_TRUE(ToneMaker::writeWav(dir.file("tone.wav"), 440, 0.5, 0.5f));
    ASSERT_TRUE(QFile::copy(dir.file("tone.wav"), dir.file("tone.mov")));
    const QString clip = makeClip("clip.mov", 30);
    const QString song = dir.file("tone.wav");

    for (const char* name : {"picture.mp3", "text.mp3", "empty.mp3", "clip.mov"}) {
        QString error;
        EXPECT_TRUE(MusicItem::songDictionaryForImport(dir.file(name), contents, &error).isEmpty()) << name;
        EXPECT_TRUE(error.contains(name)) << error.toStdString();
    }
    EXPECT_FALSE(MusicItem::songDictionaryForImport(song, contents).isEmpty());
    EXPECT_EQ(QDir(contents).entryList({"picture*", "text*", "empty*", "clip*"}, QDir::Files), QStringList())
        << "nothing refused is copied into the project";

    for (const char* name : {"picture.mov", "text.mov", "tone.mov"}) {
        QString error;
        EXPECT_FALSE(VideoSlideItem::isImportableClip(dir.file(name), &error)) << name;
        EXPECT_TRUE(error.contains(name)) << error.toStdString();
    }
    EXPECT_TRUE(VideoSlideItem::isImportableClip(clip));
}
