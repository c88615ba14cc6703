#include "ModelTestEnvironment.h"

#include "model/VideoSlideItem.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/StandardPaths.h"
#include "support/WavFile.h"

#include <QColor>

#include <atomic>
#include <thread>

using model_test::ModelTest;
using model_test::ScriptedRandom;
using model_test::writeFile;

class SlideItemTest : public ModelTest {};

TEST_F(SlideItemTest, ANewSlideHasTheDocumentedDefaults) {
    SlideItem slide;
    EXPECT_EQ(slide.itemType(), SlideItem::kItemTypePhoto);
    EXPECT_FLOAT_EQ(slide.fSecPhotoDuration(), 4.0f);
    EXPECT_FLOAT_EQ(slide.fSecTransitionDuration(), 2.0f);
    EXPECT_EQ(slide.nPhotoDuration(), SlideItem::kFramesNotComputed);
    EXPECT_EQ(slide.nItemStartFrameIndex(), 0u);
    EXPECT_FALSE(slide.bCustomDurationFlag());
    EXPECT_FALSE(slide.bPanZoomCustomized());
    EXPECT_TRUE(slide.transitionInfo().isEmpty()) << "a random transition";
    const QVariantMap text = slide.textInfo();
    EXPECT_EQ(text.value("FontName").toString(), "Vandera");
    EXPECT_EQ(text.value("FontColor").value<QColor>(), QColor(Qt::green));
    EXPECT_EQ(text.value("FontSize").toInt(), 80);
    EXPECT_FALSE(text.contains("Text"));
    EXPECT_EQ(slide.subtitleFontInfo().value("FontName").toString(), "Georgia-Bold");
    EXPECT_EQ(slide.subtitleFontInfo().value("Usage").toString(), "Subtitle");
}

TEST_F(SlideItemTest, TheRandomLookFollowsTheEightCases) {
    platform::RandomSource::setShared(
        std::make_shared<ScriptedRandom>(std::vector<std::uint32_t>{1, 2, 3, 7}));
    SlideItem zoomingIn; // effect 1, case 2
    EXPECT_EQ(zoomingIn.nSlideEffect(), 1);
    EXPECT_EQ(zoomingIn.panStartPoint(), QPointF(0.1, 0));
    EXPECT_EQ(zoomingIn.panEndPoint(), QPointF(0, 0));
    EXPECT_DOUBLE_EQ(zoomingIn.zoomStart(), 0.800000011920929);
    EXPECT_DOUBLE_EQ(zoomingIn.zoomEnd(), 1.2000000476837158);
    SlideItem zoomingOut; // effect 3, case 7
    EXPECT_EQ(zoomingOut.nSlideEffect(), 3);
    EXPECT_EQ(zoomingOut.panStartPoint(), QPointF(0, 0));
    EXPECT_EQ(zoomingOut.panEndPoint(), QPointF(0, 0.1));
    EXPECT_DOUBLE_EQ(zoomingOut.zoomStart(), double(1.2f));
    EXPECT_DOUBLE_EQ(zoomingOut.zoomEnd(), double(0.8f));
}

TEST_F(SlideItemTest, FileNamesAreNamesInTheOpenProjectsContents) {
    SlideItem slide;
    EXPECT_TRUE(slide.fileName().isNull()) << "no name, no path";
    slide.setFileName("/somewhere/else/photo.jpg");
    EXPECT_EQ(slide.shortFileName(), "photo.jpg");
    EXPECT_TRUE(slide.fileName().isNull()) << "no open project";
    auto project = openNewProject("Names");
    const QString contents = project->strMacProjectBundleContentsPath();
    EXPECT_EQ(slide.fileName(), contents + "/photo.jpg");
    slide.setStrThumbFileName("thumb.jpg");
    EXPECT_EQ(slide.strThumbFileName(), contents + "/thumb.jpg");
    EXPECT_TRUE(slide.backgroudImageFileName().isNull());
    slide.setFileName(QString());
    EXPECT_TRUE(slide.fileName().isNull());
    EXPECT_FALSE(slide.iSItemReady());
    slide.setFileName("ready.jpg");
    EXPECT_FALSE(slide.iSItemReady());
    writeFile(contents + "/ready.jpg");
    EXPECT_TRUE(slide.iSItemReady());
}

TEST_F(SlideItemTest, ACopyCarriesTheLookAndDurationsOnly) {
    SlideItem original;
    original.setFileName("a.jpg");
    original.setPanStartPoint(QPointF(0.3, 0.2));
    original.setZoomEnd(1.7);
    original.customSetDurations(6.0f, 1.0f);
    original.setTransitionInfo({{"name", "Cube"}});
    original.setBPanZoomCustomized(true);
    original.setRz(45);
    auto copy = original.copy();
    EXPECT_EQ(copy->shortFileName(), "a.jpg");
    EXPECT_EQ(copy->panStartPoint(), QPointF(0.3, 0.2));
    EXPECT_DOUBLE_EQ(copy->zoomEnd(), 1.7);
    EXPECT_FLOAT_EQ(copy->fSecPhotoDuration(), 6.0f);
    EXPECT_FLOAT_EQ(copy->fSecTransitionDuration(), 1.0f);
    EXPECT_TRUE(copy->transitionInfo().isEmpty());
    EXPECT_FALSE(copy->bPanZoomCustomized());
    EXPECT_DOUBLE_EQ(copy->rz(), 0.0);

    VideoSlideItem clip;
    clip.setStrVideoFilePath("/p/clip.mov");
    clip.setFltOutputVolume(0.4f);
    auto plain = clip.SlideItem::copy();
    EXPECT_FALSE(std::dynamic_pointer_cast<VideoSlideItem>(plain)) << "the base copy is a plain slide";
    auto clipCopy = std::dynamic_pointer_cast<VideoSlideItem>(clip.copy());
    ASSERT_TRUE(clipCopy);
    EXPECT_EQ(clipCopy->strVideoFilePath(), "/p/clip.mov");
    EXPECT_FLOAT_EQ(clipCopy->fltOutputVolume(), 0.4f);
    EXPECT_FALSE(clipCopy->isCustomizedBKMusicVolume());
}

TEST_F(SlideItemTest, DeletingASlideRemovesOnlyItsOwnFiles) {
    auto project = openNewProject("Delete");
    const QString contents = project->strMacProjectBundleContentsPath();
    const QString outsider = home + "/precious.txt";
    writeFile(outsider);
    auto slide = photoIn(project, "p.jpg");
    slide->setStrThumbFileName("t.jpg");
    writeFile(contents + "/t.jpg");
    slide->setStrSoundFileName(outsider);
    slide->deleteFilesForDeletingItem();
    EXPECT_FALSE(QFileInfo::exists(contents + "/p.jpg"));
    EXPECT_FALSE(QFileInfo::exists(contents + "/t.jpg"));
    EXPECT_TRUE(QFileInfo::exists(outsider)) << "a sound path outside the project is not ours";

    auto clip = platform::makeMainThreadShared<VideoSlideItem>();
    clip->setStrVideoFilePath(outsider);
    clip->deleteFilesForDeletingItem();
    EXPECT_TRUE(QFileInfo::exists(outsider));
    const QString copy = project->createVideoFilePathInProjectFromSource("/x/clip.mov");
    writeFile(copy);
    clip->setStrVideoFilePath(copy);
    clip->deleteFilesForDeletingItem();
    EXPECT_FALSE(QFileInfo::exists(copy));
}

TEST_F(SlideItemTest, DeletionStaysInsideTheProjectWhateverThePathSays) {
    auto project = openNewProject("Inside");
    const QString folder = project->strMacProjectBundleFullPath();
    const QString contents = project->strMacProjectBundleContentsPath();
    const QString outsider = home + "/keep.jpg";
    writeFile(outsider);
    EXPECT_FALSE(SlideItem::deleteFileInsideOpenProject(folder + "/../keep.jpg"));
    EXPECT_FALSE(SlideItem::deleteFileInsideOpenProject(contents + "/../../keep.jpg"));
    EXPECT_FALSE(SlideItem::deleteFileInsideOpenProject(folder + "-other/x.jpg"));
    EXPECT_FALSE(SlideItem::deleteFileInsideOpenProject(contents)) << "a folder is not a file";
    EXPECT_FALSE(SlideItem::deleteFileInsideOpenProject(contents + "/.."));
    EXPECT_TRUE(QFileInfo::exists(outsider));
    EXPECT_TRUE(QFileInfo::exists(contents));

    // A link inside the project is removed; the file it points to is not.
    ASSERT_TRUE(QFile::link(outsider, contents + "/link.jpg"));
    auto slide = platform::makeMainThreadShared<SlideItem>();
    slide->setFileName("link.jpg");
    slide->setStrSoundFileName(contents + "/./voice.m4a");
    writeFile(contents + "/voice.m4a");
    slide->deleteFilesForDeletingItem();
    EXPECT_FALSE(QFileInfo(contents + "/link.jpg").isSymLink());
    EXPECT_TRUE(QFileInfo::exists(outsider));
    EXPECT_FALSE(QFileInfo::exists(contents + "/voice.m4a")) << "a recorded sound inside the project is ours";

    // A folder reached through a link that leads outside is not inside the project.
    QDir().mkpath(home + "/elsewhere");
    writeFile(home + "/elsewhere/victim.jpg");
    ASSERT_TRUE(QFile::link(home + "/elsewhere", contents + "/door"));
    EXPECT_FALSE(SlideItem::deleteFileInsideOpenProject(contents + "/door/victim.jpg"));
    EXPECT_TRUE(QFileInfo::exists(home + "/elsewhere/victim.jpg"));

    SlideshowProject::resetMainProjectForTesting();
    writeFile(contents + "/orphan.jpg");
    EXPECT_FALSE(SlideItem::deleteFileInsideOpenProject(contents + "/orphan.jpg")) << "no project open";
}

TEST_F(SlideItemTest, ClipLevels) {
    VideoSlideItem clip;
    EXPECT_EQ(clip.itemType(), SlideItem::kItemTypeVideo);
    EXPECT_TRUE(clip.bCustomDurationFlag());
    EXPECT_DOUBLE_EQ(clip.zoomStart(), 1.0);
    EXPECT_DOUBLE_EQ(clip.zoomEnd(), 1.0);
    EXPECT_FLOAT_EQ(clip.fltOutputVolume(), 1.0f);
    clip.setFltOutputVolume(3.0f);
    EXPECT_FLOAT_EQ(clip.fltOutputVolume(), 0.8f);
    EXPECT_FLOAT_EQ(clip.fltBKMusicVolume(), 0.1f) << "no project open: the default level";
    auto project = openNewProject("Levels");
    project->setFltBackgroundMusicVolumeWhenVideos(0.35f);
    EXPECT_FLOAT_EQ(clip.fltBKMusicVolume(), 0.35f);
    clip.customizeBKMusicVolume(1.5f);
    EXPECT_FALSE(clip.isCustomizedBKMusicVolume());
    clip.customizeBKMusicVolume(0.6f);
    EXPECT_FLOAT_EQ(clip.fltBKMusicVolume(), 0.6f);
    clip.resetCustomizedBKMusicVolumeFlag();
    EXPECT_FLOAT_EQ(clip.fltBKMusicVolume(), 0.35f);
    EXPECT_TRUE(clip.iSItemReady());
}

TEST_F(SlideItemTest, DurationsReadWhileTheMainThreadEditsAreWholeValues) {
    auto project = openNewProject("Threads");
    std::vector<SlideItemRef> slides;
    for (int i = 0; i < 20; ++i)
        slides.push_back(platform::makeMainThreadShared<SlideItem>());
    project->setSlideshowArray(slides);
    project->calcSlideItemsPhotoTransitionDuration();
    std::atomic<bool> stop{false};
    std::atomic<int> badTotals{0};
    std::thread reader([&] {
        while (!stop) {
            const quint64 total = project->totalFrameCount();
            if (total < 20 * 60 || total > 20 * 240)
                ++badTotals;
        }
    });
    for (int round = 0; round < 200; ++round)
        slides[round % 20]->setFSecPhotoDuration(round % 2 ? 2.0f : 6.0f);
    stop = true;
    reader.join();
    EXPECT_EQ(badTotals.load(), 0);
}

class MusicItemTest : public ModelTest {
protected:
    std::atomic<int> measured{0};
    void SetUp() override {
        ModelTest::SetUp();
        MusicItem::setDurationMeasurer([this](const QString& path) {
            ++measured;
            return path.endsWith(".mp3") ? 33.5 : 0.0;
        });
    }
    void TearDown() override {
        MusicItem::setDurationMeasurer(nullptr);
        ModelTest::TearDown();
    }
};

TEST_F(MusicItemTest, TitlesFromFileNames) {
    EXPECT_EQ(MusicItem::musicItemTitleFromFileName("/music/Song.MP3"), "Song");
    EXPECT_EQ(MusicItem::musicItemTitleFromFileName("/music/a.mp3.mp3"), "a");
    EXPECT_EQ(MusicItem::musicItemTitleFromFileName("/music/plain"), "plain");
    EXPECT_TRUE(MusicItem::musicItemTitleFromItemFileName(nullptr).isNull());
    auto song = songOf(1.0, "Tune");
    EXPECT_EQ(MusicItem::musicItemTitleFromItemFileName(song.get()), "Tune");
    EXPECT_EQ(song->strTitle(), "Tune");
    song->addEntriesFromDictionary({{"strTitle", ""}});
    EXPECT_EQ(song->strTitle(), "Tune") << "an empty tag title falls back";
}

TEST_F(MusicItemTest, DurationsAreMeasuredOnceOnTheCopyAndCached) {
    auto project = openNewProject("Songs");
    auto song = platform::makeMainThreadShared<MusicItem>();
    song->addEntriesFromDictionary({{"pureFileName", "s.mp3"}});
    EXPECT_DOUBLE_EQ(song->duration(), 0.0) << "the copy is missing";
    EXPECT_EQ(measured.load(), 0) << "a missing file is not handed to the measurer";
    EXPECT_FALSE(song->dictFileMediaItem().contains("numberDuration"))
        << "a failed measurement is not cached";
    writeFile(project->strMacProjectBundleContentsPath() + "/s.mp3");
    EXPECT_DOUBLE_EQ(song->duration(), 33.5) << "so the copy is measured once it is there";

    auto present = platform::makeMainThreadShared<MusicItem>();
    present->addEntriesFromDictionary({{"pureFileName", "p.mp3"}});
    writeFile(project->strMacProjectBundleContentsPath() + "/p.mp3");
    EXPECT_DOUBLE_EQ(present->duration(), 33.5);
    EXPECT_DOUBLE_EQ(present->duration(), 33.5);
    EXPECT_EQ(measured.load(), 2);

    auto zero = songOf(0.0);
    EXPECT_DOUBLE_EQ(zero->duration(), 0.0);
    EXPECT_EQ(measured.load(), 2) << "a cached 0 is not measured again";
    auto text = platform::makeMainThreadShared<MusicItem>();
    text->addEntriesFromDictionary({{"numberDuration", "12.5"}});
    EXPECT_DOUBLE_EQ(text->duration(), 12.5);
    EXPECT_DOUBLE_EQ(MusicItem::musicItemDuration(nullptr), 0.0);
    EXPECT_EQ(text->durationStr(), "00:12");
}

TEST_F(MusicItemTest, PlayPathsAndLevelsComeFromTheOpenProject) {
    auto song = platform::makeMainThreadShared<MusicItem>();
    const QString original = home + "/orig.mp3";
    writeFile(original, "song");
    song->addEntriesFromDictionary({{"pureFileName", "copy.mp3"}, {"filePath", original}});
    EXPECT_TRUE(song->strFilePath().isEmpty());
    auto project = openNewProject("Play");
    EXPECT_EQ(song->strFilePath(), project->strMacProjectBundleContentsPath() + "/copy.mp3");
    song->addEntriesFromDictionary({{"musicSource", "bundleDefaultMusic"}});
    EXPECT_EQ(song->strFilePath(), platform::paths::pathForResource("default", "mp3"))
        << "a stock song plays from our resources, never from a file the project names";
    project->setFltBackgroundMusicVolumeWhenPhotos(0.5f);
    EXPECT_FLOAT_EQ(song->fltOutputVolumeWhenPhotos(), 0.5f);
    EXPECT_FLOAT_EQ(song->fltOutputVolumeWhenVideos(), 0.1f);
}

// Both forms: the length of the first audio stream, and the length a player opened on the file reports.
TEST(SongDuration, TheFirstAudioStreamOfARealFileIsMeasured) {
    TempDir dir;
    const QString wav = dir.file("tone.wav");
    std::vector<int16_t> samples(2 * 44100 * 3 / 2); // 1.5 s of a stereo saw tooth
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = int16_t((i % 100) * 50);
    ASSERT_TRUE(WavFile::write(wav, samples, 2, 44100));
    model_test::writeFile(dir.file("words.mp3"), "no sound in here");
    for (const auto measure : {&MusicItem::songDuration, &MusicItem::songDuration_1}) {
        EXPECT_NEAR(measure(wav), 1.5, 0.01);
        EXPECT_DOUBLE_EQ(measure(dir.file("words.mp3")), 0.0);
        EXPECT_DOUBLE_EQ(measure(dir.file("absent.mp3")), 0.0);
        EXPECT_DOUBLE_EQ(measure(dir.path()), 0.0) << "a folder";
        EXPECT_DOUBLE_EQ(measure(""), 0.0);
    }
}
