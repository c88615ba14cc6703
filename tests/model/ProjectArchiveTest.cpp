#include "ArchiveTestSupport.h"
#include "ModelTestEnvironment.h"

#include "model/VideoSlideItem.h"
#include "platform/foundation/KeyedArchiveLimits.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/StandardPaths.h"
#include "support/HandArchive.h"
#include "support/LocalListener.h"

#include <QColor>

using model_test::ModelTest;
using model_test::record;

namespace {

// Writes root as the folder's project archive and loads the folder.
SlideshowProjectRef loadArchived(const QString& folder, const platform::ArchivableRef& root,
                                 QString* error = nullptr) {
    QDir().mkpath(folder + "/Contents");
    EXPECT_TRUE(platform::KeyedArchiver::archiveRootObject(root, folder + "/SlideshowProject.dat"));
    return SlideshowProject::loadBundleProject(folder, error);
}

std::shared_ptr<SlideItem> richPhoto() {
    auto slide = platform::makeMainThreadShared<SlideItem>();
    slide->setFileName("photo-1.jpg");
    slide->setStrThumbFileName("thumb_1.00.jpg");
    slide->setBackgroudImageFileName("psd_bk_1.00.jpg");
    slide->setTextImageFileName("text.png");
    slide->setStrPhotoDescription("By the lake");
    slide->setZoomStart(1.5);
    slide->setZoomEnd(0.75);
    slide->setRz(12.5);
    slide->setNSlideEffect(3);
    slide->setTransitionInfo(
        {{"category", "Blend"}, {"index", 1}, {"name", "Alpha Blend"}, {"image_name", "alpha_blend.png"}});
    slide->setBPanZoomCustomized(true);
    slide->setRotateAngle(SlideItem::kRotateZEnd, 90.0);
    QVariantMap text = slide->textInfo();
    text.insert("Text", "Hello");
    text.insert("FontColor", QColor(10, 20, 30));
    slide->setTextInfo(text);
    slide->customSetDurations(5.0f, 3.5f);
    slide->setStrSoundFileName("voice.m4a");
    slide->setStrOriginalFileName("/home/someone/Pictures/lake.jpg");
    slide->setBCustomDurationFlag(true);
    return slide;
}

} // namespace

class ProjectArchiveTest : public ModelTest {};

TEST_F(ProjectArchiveTest, AProjectWithPhotosAClipAndSongsComesBackWhole) {
    auto project = openNewProject("Round trip");
    ASSERT_TRUE(project);
    auto clip = platform::makeMainThreadShared<VideoSlideItem>();
    clip->setFileName("clip-frame.jpg");
    clip->setStrVideoFilePath(project->strProjectVideoFileDirectory() + "/clip.mov");
    model_test::writeFile(clip->strVideoFilePath(),
                          "clip"); // the project's own file: a missing one is not read
    clip->setFltOutputVolume(0.6f);
    clip->customizeBKMusicVolume(0.3f);
    project->setSlideshowArray({richPhoto(), clip, platform::makeMainThreadShared<SlideItem>()});
    auto song = songOf(42.0, "Tune");
    song->addEntriesFromDictionary(
        {{"pureFileName", "tune-1.00.mp3"}, {"arrayAuthors", QVariantList{"A", "B"}}});
    project->setMusicArray({song});
    project->setStrProjectTitle("Summer");
    project->setBPlayLoop(false);
    project->setFltPhotoDuration(5.5f);
    project->setFltTransitionDuration(1.5f);
    project->setBIsMusicSideshow(true);
    project->setBTVSystemPAL(true);
    project->setBDVDVideoAspect16_9(true);
    project->setFltBackgroundMusicVolumeWhenPhotos(0.7f);
    project->setFltBackgroundMusicVolumeWhenVideos(0.2f);
    project->setStrThemeBackground("stage_3.jpg");
    project->setDictFileRefreshDate(
        {{"video_1280x720_mp4", QDateTime::fromSecsSinceEpoch(1'600'000'000, Qt::UTC)}});
    project->themeManger()->setCurrentThemeID(5);
    ASSERT_TRUE(project->saveProjectToFile());

    QString error;
    auto loaded = SlideshowProject::loadBundleProject(project->strMacProjectBundleFullPath(), &error);
    ASSERT_TRUE(loaded) << error.toStdString();
    EXPECT_EQ(loaded->strProjectTitle(), "Summer");
    EXPECT_FALSE(loaded->bPlayLoop());
    EXPECT_FLOAT_EQ(loaded->fltPhotoDuration(), 5.5f);
    EXPECT_FLOAT_EQ(loaded->fltTransitionDuration(), 1.5f);
    EXPECT_TRUE(loaded->bIsMusicSideshow());
    EXPECT_TRUE(loaded->bTVSystemPAL());
    EXPECT_TRUE(loaded->bDVDVideoAspect16_9());
    EXPECT_FLOAT_EQ(loaded->fltBackgroundMusicVolumeWhenPhotos(), 0.7f);
    EXPECT_FLOAT_EQ(loaded->fltBackgroundMusicVolumeWhenVideos(), 0.2f);
    EXPECT_EQ(loaded->strThemeBackground(), "stage_3.jpg");
    EXPECT_EQ(loaded->dictFileRefreshDate(), project->dictFileRefreshDate());
    EXPECT_EQ(loaded->themeManger()->currentThemeID(), 5);
    EXPECT_EQ(loaded->strMacProjectBundleFullPath(), project->strMacProjectBundleFullPath());
    EXPECT_FALSE(loaded->bIsDirty());

    const auto slides = loaded->slideshowArray();
    ASSERT_EQ(slides.size(), 3u);
    const auto& photo = *slides[0];
    const auto original = richPhoto();
    EXPECT_EQ(photo.fileNameIn("/C"), "/C/photo-1.jpg");
    EXPECT_EQ(photo.strPhotoDescription(), "By the lake");
    EXPECT_DOUBLE_EQ(photo.zoomStart(), 1.5);
    EXPECT_DOUBLE_EQ(photo.zoomEnd(), 0.75);
    EXPECT_DOUBLE_EQ(photo.rz(), 12.5);
    EXPECT_EQ(photo.nSlideEffect(), 3);
    EXPECT_EQ(photo.transitionInfo(), original->transitionInfo());
    EXPECT_EQ(photo.textInfo(), original->textInfo());
    EXPECT_EQ(photo.subtitleFontInfo(), SlideItem::defaultSubtitleFontInfo());
    EXPECT_TRUE(photo.bPanZoomCustomized());
    EXPECT_DOUBLE_EQ(photo.rotateAngle(SlideItem::kRotateZEnd), 90.0);
    EXPECT_FLOAT_EQ(photo.fSecPhotoDuration(), 5.0f);
    EXPECT_FLOAT_EQ(photo.fSecTransitionDuration(), 3.5f);
    EXPECT_EQ(photo.strSoundFileName(), "voice.m4a");
    EXPECT_EQ(photo.strOriginalFileName(), "/home/someone/Pictures/lake.jpg");
    EXPECT_TRUE(photo.bCustomDurationFlag());
    EXPECT_EQ(photo.itemType(), SlideItem::kItemTypePhoto);
    EXPECT_EQ(photo.nPhotoDuration(), 150u) << "frames are laid out after loading";

    auto loadedClip = std::dynamic_pointer_cast<VideoSlideItem>(slides[1]);
    ASSERT_TRUE(loadedClip) << "the clip comes back as a clip slide";
    EXPECT_EQ(loadedClip->itemType(), SlideItem::kItemTypeVideo);
    EXPECT_EQ(loadedClip->strVideoFilePath(), clip->strVideoFilePath());
    EXPECT_FLOAT_EQ(loadedClip->fltOutputVolume(), 0.6f);
    EXPECT_TRUE(loadedClip->isCustomizedBKMusicVolume());
    EXPECT_FLOAT_EQ(loadedClip->fltBKMusicVolume(), 0.3f);
    EXPECT_DOUBLE_EQ(loadedClip->zoomStart(), 1.0);
    EXPECT_FALSE(std::dynamic_pointer_cast<VideoSlideItem>(slides[2]));

    ASSERT_EQ(loaded->musicArray().size(), 1u);
    EXPECT_EQ(loaded->musicArray()[0]->dictFileMediaItem(), song->dictFileMediaItem());
}

// Each switch saved on and saved off, the others in the opposite state, so that a switch read as a fixed
// value, not read at all, or read from another's key shows.
TEST_F(ProjectArchiveTest, EveryOnOffSettingComesBackOnAndOff) {
    struct Setting {
        const char* name;
        bool byDefault;
        void (SlideshowProject::*set)(bool);
        bool (SlideshowProject::*get)() const;
    };
    const Setting settings[] = {
        {"loop", true, &SlideshowProject::setBPlayLoop, &SlideshowProject::bPlayLoop},
        {"music slideshow", false, &SlideshowProject::setBIsMusicSideshow,
         &SlideshowProject::bIsMusicSideshow},
        {"PAL", false, &SlideshowProject::setBTVSystemPAL, &SlideshowProject::bTVSystemPAL},
        {"16:9 DVD", false, &SlideshowProject::setBDVDVideoAspect16_9,
         &SlideshowProject::bDVDVideoAspect16_9},
    };
    int run = 0;
    for (const Setting& changed : settings) {
        for (const bool saved : {!changed.byDefault, changed.byDefault}) {
            SCOPED_TRACE(QStringLiteral("%1 saved %2").arg(changed.name, saved ? "on" : "off").toStdString());
            auto project = openNewProject(QStringLiteral("Switches %1").arg(++run));
            ASSERT_TRUE(project);
            EXPECT_EQ(((*project).*changed.get)(), changed.byDefault) << "the default";
            for (const Setting& setting : settings)
                ((*project).*setting.set)(&setting == &changed ? saved : !saved);
            ASSERT_TRUE(project->saveProjectToFile());
            auto loaded = SlideshowProject::loadBundleProject(project->strMacProjectBundleFullPath());
            ASSERT_TRUE(loaded);
            for (const Setting& setting : settings)
                EXPECT_EQ(((*loaded).*setting.get)(), &setting == &changed ? saved : !saved) << setting.name;
        }
    }
}

TEST_F(ProjectArchiveTest, TheArchiveUsesTheFormatsKeysAndClassNames) {
    SlideshowProjectRef project = platform::makeMainThreadShared<SlideshowProject>();
    project->setSlideshowArray({richPhoto(), platform::makeMainThreadShared<VideoSlideItem>()});
    project->setMusicArray({songOf(3.0)});
    const QByteArray data = platform::KeyedArchiver::archivedData(project);
    const QStringList projectKeys{"strFileVersion",
                                  "projectFolderBase",
                                  "projectTitle",
                                  "bPlayLoop",
                                  "themeManger",
                                  "slideshowArray",
                                  "musicArray",
                                  "fltPhotoDuration",
                                  "fltTransitionDuration",
                                  "bIsMusicSideshow",
                                  "dictFileRefreshDate",
                                  "bTVSystemPAL",
                                  "bDVDVideoAspect16_9",
                                  "fltBackgroundMusicVolumeWhenPhotos",
                                  "fltBackgroundMusicVolumeWhenVideos"};
    EXPECT_EQ(model_test::keysPresent(data, "SlideshowProject",
                                      projectKeys + QStringList{"strThemeBackground", "fltSlideshowFadeIn"}),
              projectKeys)
        << "an unset stage background and the fades are not stored";
    EXPECT_EQ(model_test::keysPresent(data, "SlideshowThemeManager", {"nThemeID", "themeArray"}),
              QStringList{"nThemeID"});
    EXPECT_EQ(model_test::keysPresent(data, "MusicItem", {"fileMediaItem", "fStartPosition"}),
              QStringList{"fileMediaItem"});
    const QStringList clipKeys{"fltOutputVolume", "fltBKMusicVolume", "strVideoFilePath", "fSecPhotoDuration",
                               "itemType"};
    EXPECT_EQ(model_test::keysPresent(data, "VideoSlideItem", clipKeys), clipKeys);
    EXPECT_EQ(model_test::keysPresent(data, "SlideItem",
                                      {"fileName", "thumbFileName", "photoDescription", "zoomStart",
                                       "panStartPoint", "panEndPoint", "nPhotoDuration", "timelineRect"}),
              (QStringList{"fileName", "thumbFileName", "photoDescription", "zoomStart", "panStartPoint",
                           "panEndPoint"}))
        << "frame counts and rectangles are not stored";
}

TEST_F(ProjectArchiveTest, OlderDurationKeysCountSixtiethsOfASecond) {
    auto loadWith = [&](const QString& name, std::function<void(model_test::RawRecord&)> fill) {
        auto root = record("SlideshowProject");
        fill(*root);
        return loadArchived(home + "/" + name + ".VistrelleProject", root);
    };
    auto fiveSeconds =
        loadWith("a", [](auto& r) { r.int32("nPhotoDuration", 300).int32("nTransitionDuration", 90); });
    ASSERT_TRUE(fiveSeconds);
    EXPECT_FLOAT_EQ(fiveSeconds->fltPhotoDuration(), 5.0f);
    EXPECT_FLOAT_EQ(fiveSeconds->fltTransitionDuration(), 1.0f);
    auto zero = loadWith("b", [](auto& r) { r.int32("nPhotoDuration", 0).int32("nTransitionDuration", 0); });
    EXPECT_FLOAT_EQ(zero->fltPhotoDuration(), 4.0f);
    EXPECT_FLOAT_EQ(zero->fltTransitionDuration(), 2.0f);
    auto neither = loadWith("c", [](auto&) {});
    EXPECT_FLOAT_EQ(neither->fltPhotoDuration(), 4.0f);
    EXPECT_FLOAT_EQ(neither->fltTransitionDuration(), 2.0f);
    auto newer =
        loadWith("d", [](auto& r) { r.int32("nPhotoDuration", 300).real("fltPhotoDuration", 2.5f); });
    EXPECT_FLOAT_EQ(newer->fltPhotoDuration(), 2.5f) << "the float key wins";
}

TEST_F(ProjectArchiveTest, MissingOrForeignPartsReadAsEmptyNeverAsNothing) {
    auto root = record("SlideshowProject");
    root->object("slideshowArray", QString("not an array")).object("projectTitle", 17);
    auto project = loadArchived(home + "/odd.VistrelleProject", root);
    ASSERT_TRUE(project);
    EXPECT_TRUE(project->slideshowArray().empty());
    EXPECT_TRUE(project->musicArray().empty());
    ASSERT_TRUE(project->themeManger());
    EXPECT_EQ(project->themeManger()->currentThemeID(), 0);
    EXPECT_FALSE(project->bPlayLoop()) << "a missing boolean reads NO";
    EXPECT_EQ(project->strFileVersion(), "1.0.0");
    EXPECT_TRUE(project->strProjectTitle().isNull());
    // An import into a project read this way is kept, not lost.
    project->addSlideItem(platform::makeMainThreadShared<SlideItem>());
    EXPECT_EQ(project->slideCount(), 1u);

    auto mixed = record("SlideshowProject");
    mixed->object("slideshowArray",
                  QVariantList{QString("junk"), QVariant::fromValue(platform::ArchivableRef(richPhoto()))});
    auto withJunk = loadArchived(home + "/mixed.VistrelleProject", mixed);
    ASSERT_TRUE(withJunk);
    EXPECT_EQ(withJunk->slideCount(), 1u) << "entries that are not slides are skipped";
}

TEST_F(ProjectArchiveTest, SettingsThatAreNotStoredComeBackAsDefaults) {
    auto project = openNewProject();
    project->setFltSlideshowFadeIn(2.0f);
    project->setFltSlideshowFadeOut(3.0f);
    project->setNTimelineStyle(1);
    project->setShareOption("ServiceName", "PhotoLibrary");
    ASSERT_TRUE(project->saveProjectToFile());
    auto loaded = SlideshowProject::loadBundleProject(project->strMacProjectBundleFullPath());
    ASSERT_TRUE(loaded);
    EXPECT_FLOAT_EQ(loaded->fltSlideshowFadeIn(), 0.0f);
    EXPECT_FLOAT_EQ(loaded->fltSlideshowFadeOut(), 0.0f);
    EXPECT_EQ(loaded->nTimelineStyle(), 0);
    EXPECT_TRUE(loaded->shareOptionsDict().isEmpty());
}

TEST_F(ProjectArchiveTest, SlideDurationsDefaultWhenTheirKeysAreMissing) {
    auto slideRecord = record("SlideItem");
    slideRecord->object("fileName", QString("../../../etc/passwd")).int32("itemType", 3);
    slideRecord->boolean("bPanZoomCustomized", true); // so that no theme deals it a zoom
    auto root = record("SlideshowProject");
    root->object("slideshowArray", QVariantList{QVariant::fromValue(platform::ArchivableRef(slideRecord))});
    auto project = loadArchived(home + "/slides.VistrelleProject", root);
    ASSERT_TRUE(project);
    ASSERT_EQ(project->slideCount(), 1u);
    const auto slide = project->slideItemAtIndex(0);
    EXPECT_FLOAT_EQ(slide->fSecPhotoDuration(), 4.0f);
    EXPECT_FLOAT_EQ(slide->fSecTransitionDuration(), 2.0f);
    EXPECT_DOUBLE_EQ(slide->zoomStart(), 1.0) << "a missing zoom shows the picture whole";
    EXPECT_EQ(slide->textInfo(), SlideItem::defaultTextInfo());
    EXPECT_EQ(slide->shortFileName(), "passwd") << "a stored name never leaves the Contents folder";
    EXPECT_EQ(slide->itemType(), SlideItem::kItemTypePhoto) << "only a clip slide may claim type 3";
}

TEST_F(ProjectArchiveTest, ClipLevelsOutOfRangeFallBack) {
    auto clipRecord = [](std::function<void(model_test::RawRecord&)> fill) {
        auto r = std::make_shared<model_test::RawRecord>(QStringList{"VideoSlideItem", "SlideItem"});
        fill(*r);
        return QVariant::fromValue(platform::ArchivableRef(r));
    };
    auto root = record("SlideshowProject");
    root->object(
        "slideshowArray",
        QVariantList{
            clipRecord([](auto&) {}),
            clipRecord([](auto& r) { r.real("fltOutputVolume", 1.5f).real("fltBKMusicVolume", 1.5f); }),
            clipRecord([](auto& r) { r.real("fltOutputVolume", 0.25f).real("fltBKMusicVolume", 0.5f); }),
            clipRecord([](auto& r) { r.real("fltBKMusicVolume", 0.95f); })});
    auto project = loadArchived(home + "/clips.VistrelleProject", root);
    ASSERT_TRUE(project);
    const auto slides = project->slideshowArray();
    ASSERT_EQ(slides.size(), 4u);
    auto clip = [&](int i) { return std::dynamic_pointer_cast<VideoSlideItem>(slides[i]); };
    ASSERT_TRUE(clip(0) && clip(1) && clip(2) && clip(3));
    EXPECT_FLOAT_EQ(clip(0)->fltOutputVolume(), 0.9f);
    EXPECT_FALSE(clip(0)->isCustomizedBKMusicVolume());
    EXPECT_FLOAT_EQ(clip(1)->fltOutputVolume(), 0.9f);
    EXPECT_FALSE(clip(1)->isCustomizedBKMusicVolume());
    EXPECT_FLOAT_EQ(clip(1)->fltBKMusicVolume(), 0.1f) << "the project's level applies";
    EXPECT_FLOAT_EQ(clip(2)->fltOutputVolume(), 0.25f);
    EXPECT_FLOAT_EQ(clip(2)->fltBKMusicVolume(), 0.5f);
    EXPECT_FLOAT_EQ(clip(3)->fltBKMusicVolume(), 0.95f) << "every level a clip can be given comes back";
    EXPECT_TRUE(clip(2)->bCustomDurationFlag());
}

TEST_F(ProjectArchiveTest, AStoredThemeNumberOutsideTheListReadsAsThemeZero) {
    for (int stored : {13, -1, 99, 5}) {
        auto root = record("SlideshowProject");
        auto theme = record("SlideshowThemeManager");
        theme->int32("nThemeID", stored);
        root->child("themeManger", theme);
        auto project = loadArchived(home + QString("/theme%1.VistrelleProject").arg(stored + 10), root);
        ASSERT_TRUE(project);
        EXPECT_EQ(project->themeManger()->currentThemeID(), stored == 5 ? 5 : 0) << stored;
    }
}

TEST_F(ProjectArchiveTest, ASongStoredWithoutItsDictionaryHasAnEmptyOne) {
    auto root = record("SlideshowProject");
    root->object("musicArray",
                 QVariantList{QVariant::fromValue(platform::ArchivableRef(record("MusicItem")))});
    auto project = loadArchived(home + "/song.VistrelleProject", root);
    ASSERT_TRUE(project);
    ASSERT_EQ(project->musicArray().size(), 1u);
    EXPECT_TRUE(project->musicArray()[0]->dictFileMediaItem().isEmpty());
}

TEST_F(ProjectArchiveTest, ABrokenArchiveFailsToOpenWithAMessage) {
    const QString folder = home + "/broken.VistrelleProject";
    QDir().mkpath(folder + "/Contents");
    auto good = platform::makeMainThreadShared<SlideshowProject>();
    good->setSlideshowArray({richPhoto(), richPhoto()});
    const QByteArray data = platform::KeyedArchiver::archivedData(good);
    const std::vector<QByteArray> broken{data.left(data.size() / 2), QByteArray("bplist00"), QByteArray(),
                                         QByteArray(2000, '\xff'),
                                         QByteArray("<?xml version=\"1.0\"?><plist>")};
    for (const QByteArray& bytes : broken) {
        model_test::writeFile(folder + "/SlideshowProject.dat", bytes);
        ASSERT_TRUE(SlideshowProject::isValidProjectBundle(folder));
        QString error;
        EXPECT_FALSE(SlideshowProject::loadBundleProject(folder, &error));
        EXPECT_FALSE(error.isEmpty());
    }
    QString error;
    auto song = loadArchived(folder, songOf(1.0), &error);
    EXPECT_FALSE(song) << "a root of another class is not a project";
    EXPECT_FALSE(error.isEmpty());
}

TEST_F(ProjectArchiveTest, AClipFollowingTheProjectsMusicLevelStillFollowsItAfterALoad) {
    auto project = openNewProject("Levels");
    auto clip = platform::makeMainThreadShared<VideoSlideItem>();
    clip->setFileName("frame.jpg");
    project->setSlideshowArray({clip});
    project->setFltBackgroundMusicVolumeWhenVideos(0.2f);
    ASSERT_TRUE(project->saveProjectToFile());
    auto loaded = SlideshowProject::loadBundleProject(project->strMacProjectBundleFullPath());
    ASSERT_TRUE(loaded);
    SlideshowProject::retainProject(loaded);
    auto loadedClip = std::dynamic_pointer_cast<VideoSlideItem>(loaded->slideItemAtIndex(0));
    ASSERT_TRUE(loadedClip);
    EXPECT_FALSE(loadedClip->isCustomizedBKMusicVolume());
    loaded->setFltBackgroundMusicVolumeWhenVideos(0.05f);
    EXPECT_FLOAT_EQ(loadedClip->fltBKMusicVolume(), 0.05f);
}

namespace {

// Writes a hand-made archive as the folder's project archive and loads the folder.
SlideshowProjectRef loadHandMade(const QString& folder, const QByteArray& archive, QString* error) {
    model_test::writeFile(folder + "/SlideshowProject.dat", archive);
    QDir().mkpath(folder + "/Contents");
    return SlideshowProject::loadBundleProject(folder, error);
}

} // namespace

TEST_F(ProjectArchiveTest, AnArchiveThatWouldFloodTheMachineFailsToOpen) {
    using test_support::HandArchive;
    auto sharedDates = [] { // a few kB whose dictionaries all refer twice to the next: 2^40 copies
        HandArchive a;
        int value = a.string("leaf");
        for (int i = 0; i < 40; ++i)
            value = a.dictionary({{"a", value}, {"b", value}});
        return a.xml(a.record("SlideshowProject", {{"dictFileRefreshDate", HandArchive::ref(value)}}));
    };
    auto tooManySlides = [] {
        HandArchive a;
        QList<int> slides;
        for (qint64 i = 0; i <= platform::keyed::kLimits.maxObjects; ++i)
            slides << a.record("SlideItem");
        return a.xml(a.record("SlideshowProject", {{"slideshowArray", HandArchive::ref(a.array(slides))}}));
    };
    for (const auto& [name, archive] :
         {std::pair{"shared parts", sharedDates()}, {"many slides", tooManySlides()}}) {
        SCOPED_TRACE(name);
        QString error;
        EXPECT_FALSE(loadHandMade(home + "/" + name + ".VistrelleProject", archive, &error));
        EXPECT_TRUE(error.contains("could not be read")) << error.toStdString();
    }
}

TEST_F(ProjectArchiveTest, RecordsOfAnotherClassThanExpectedAreNeverBuilt) {
    using test_support::HandArchive;
    int projectsBuilt = 0;
    platform::KeyedUnarchiver::registerClass("SlideshowProject", [&](platform::KeyedUnarchiver& coder) {
        ++projectsBuilt;
        return platform::ArchivableRef(SlideshowProject::initWithCoder(coder));
    });
    HandArchive a;
    QList<int> slides{a.record("SlideItem", {{"fileName", HandArchive::ref(a.string("photo.jpg"))}})};
    for (int i = 0; i < 50; ++i)
        slides << a.record("SlideshowProject") << a.array({a.record("SlideshowProject")});
    const int root =
        a.record("SlideshowProject", {{"slideshowArray", HandArchive::ref(a.array(slides))},
                                      {"themeManger", HandArchive::ref(a.record("SlideshowProject"))}});
    QString error;
    const auto project = loadHandMade(home + "/costly.VistrelleProject", a.xml(root), &error);
    model_test::restoreFactory("SlideshowProject");
    ASSERT_TRUE(project) << error.toStdString();
    ASSERT_EQ(project->slideCount(), 1u);
    EXPECT_EQ(project->slideItemAtIndex(0)->shortFileName(), "photo.jpg");
    EXPECT_EQ(projectsBuilt, 1) << "only the root is a project";
}

TEST_F(ProjectArchiveTest, PathsStoredInAReceivedProjectNeverReachOutsideIt) {
    test_support::LocalListener listener;
    const QString folder = home + "/received.VistrelleProject";
    model_test::writeFile(folder + "/Contents/frame.jpg");
    auto clip = record("VideoSlideItem");
    clip->object("fileName", "frame.jpg").object("strVideoFilePath", listener.url("clip.mov"));
    auto escaping = record("MusicItem");
    escaping->object("fileMediaItem", QVariantMap{{"pureFileName", "../../../../dev/stdin"}});
    auto device = record("MusicItem");
    device->object("fileMediaItem",
                   QVariantMap{{"filePath", "/dev/zero"}, {"musicSource", "bundleDefaultMusic"}});
    auto root = record("SlideshowProject");
    root->object("slideshowArray", QVariantList{QVariant::fromValue(platform::ArchivableRef(clip))});
    root->object("musicArray", QVariantList{QVariant::fromValue(platform::ArchivableRef(escaping)),
                                            QVariant::fromValue(platform::ArchivableRef(device))});
    QStringList measured;
    MusicItem::setDurationMeasurer([&](const QString& path) {
        measured << path;
        return 1.0;
    });

    QString error;
    auto project = loadArchived(folder, root, &error);
    ASSERT_TRUE(project) << error.toStdString();
    const QString contents = project->strMacProjectBundleContentsPath();
    auto slide = std::dynamic_pointer_cast<VideoSlideItem>(project->slideItemAtIndex(0));
    ASSERT_TRUE(slide);
    EXPECT_FALSE(slide->hasAsset());
    EXPECT_EQ(project->missingSlideFiles(), QStringList{"clip.mov"}) << "an export names the clip as missing";
    EXPECT_EQ(listener.connections(), 0) << "opening the project went on the network";
    const auto songs = project->musicArray();
    EXPECT_EQ(songs[0]->strFilePathIn(contents), contents + "/stdin");
    EXPECT_NE(songs[1]->strFilePathIn(contents), "/dev/zero");
    for (const auto& song : songs)
        song->durationIn(contents);
    MusicItem::setDurationMeasurer(nullptr);
    for (const QString& path : measured)
        EXPECT_TRUE(path.startsWith(contents + "/") ||
                    path.startsWith(platform::paths::resourceFolder() + "/"))
            << path.toStdString();
}
