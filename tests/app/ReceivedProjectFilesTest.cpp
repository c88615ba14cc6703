// A project someone sends names files of the receiving user's, in any field of its two archives that holds a
// path: as a full path, as a path that climbs out of the project, through a link out of it, or as a named
// pipe. Opening such a project at start, playing every frame of it, mixing its sound and making its DVD menu
// opens none of them and never hangs; the same field naming a file of the project's own is read, so that
// each case reaches the field's readers.
#include "model/ModelTestEnvironment.h"

#include "dvd/DVDMenuItem.h"
#include "dvd/DVDProjectSettings.h"
#include "export/DVDMenuAudioMixerObject.h"
#include "export/NSAudioMixerObject.h"
#include "model/QuartzSlideItem.h"
#include "model/VideoSlideItem.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/StandardPaths.h"
#include "platform/gl/Context.h"
#include "platform/gl/DriverLock.h"
#include "platform/gl/FrameBuffer.h"
#include "render/DrawUtils.h"
#include "render/RenderGlobals.h"
#include "render/SlideshowDirector.h"
#include "render/StageBackground.h"
#include "support/ArchivePatch.h"
#include "support/ClipMaker.h"
#include "support/OpenWatch.h"
#include "support/RealPlayer.h"
#include "support/ToneMaker.h"

#include <QImageReader>

#include <functional>
#include <optional>

using model_test::ModelTest;

namespace {

enum class Kind { Picture, Song, Clip, Composition };
// A name in the project's "Contents" folder, or a full path.
enum class Shape { Name, Path };
enum class Form { Own, Absolute, Climbing, LinkOut, Pipe };

QString extensionOf(Kind kind) {
    switch (kind) {
    case Kind::Picture:
        return "png";
    case Kind::Song:
        return "wav";
    case Kind::Clip:
        return "mp4";
    case Kind::Composition:
        return "vcomp";
    }
    return QString();
}

const char* nameOf(Form form) {
    static const char* const names[] = {"own file", "full path", "climbing path", "link out", "named pipe"};
    return names[int(form)];
}

// What a received project holds: two photo slides of its own, and the field under test.
struct Received {
    SlideshowProject& project;
    SlideshowProjectManager& manager;
    std::vector<SlideItemRef>& slides;
    std::vector<MusicItemRef>& songs;
};

struct Field {
    const char* name;
    Kind kind;
    Shape shape;
    bool inManagerArchive;
    // Whether its own file is read: false for fields that only our resources may fill (their own file is
    // refused too) and for fields nothing reads.
    bool ownFileRead;
    // Puts the marker where the field is archived.
    std::function<void(Received&, const QString& marker)> plant;
};

// A composition slide keeps the first slide's picture as its own, as a slide that is not missing does.
std::shared_ptr<QuartzSlideItem> compositionSlide(const Received& r) {
    auto slide = platform::makeMainThreadShared<QuartzSlideItem>();
    slide->setFileName(r.slides.front()->shortFileName());
    slide->customSetDurations(0.2f, 0.1f);
    return slide;
}

const std::vector<Field>& fields() {
    static const std::vector<Field> all = {
        {"slide picture", Kind::Picture, Shape::Name, false, true,
         [](Received& r, const QString& m) {
             auto slide = platform::makeMainThreadShared<SlideItem>();
             slide->setFileName(m);
             slide->customSetDurations(0.2f, 0.1f);
             r.slides.push_back(slide);
         }},
        {"slide backdrop picture", Kind::Picture, Shape::Name, false, true,
         [](Received& r, const QString& m) { r.slides[0]->setBackgroudImageFileName(m); }},
        {"slide text picture", Kind::Picture, Shape::Name, false, true,
         [](Received& r, const QString& m) { r.slides[0]->setTextImageFileName(m); }},
        {"slide thumbnail", Kind::Picture, Shape::Name, false, true,
         [](Received& r, const QString& m) { r.slides[0]->setStrThumbFileName(m); }},
        {"slide sound", Kind::Song, Shape::Path, false, true,
         [](Received& r, const QString& m) { r.slides[0]->setStrSoundFileName(m); }},
        {"slide's imported file", Kind::Picture, Shape::Path, false, false,
         [](Received& r, const QString& m) { r.slides[0]->setStrOriginalFileName(m); }},
        {"transition icon", Kind::Picture, Shape::Path, false, false,
         [](Received& r, const QString& m) {
             r.slides[0]->setTransitionInfo({{"image_name", m}});
         }},
        {"clip", Kind::Clip, Shape::Path, false, true,
         [](Received& r, const QString& m) {
             auto clip = platform::makeMainThreadShared<VideoSlideItem>();
             clip->setStrVideoFilePath(m);
             r.slides.push_back(clip);
         }},
        {"composition", Kind::Composition, Shape::Path, false, true,
         [](Received& r, const QString& m) {
             auto slide = compositionSlide(r);
             slide->setStrQuartzFilePath(m);
             r.slides.push_back(slide);
         }},
        {"composition's clip", Kind::Clip, Shape::Path, false, true,
         [](Received& r, const QString& m) {
             auto slide = compositionSlide(r);
             slide->setStrQuartzFilePath(platform::paths::pathForResource("clipComposition", "vcomp"));
             slide->setBVideoItem(true);
             slide->setStrVideoFilePath(m);
             r.slides.push_back(slide);
         }},
        {"song's copy", Kind::Song, Shape::Name, false, true,
         [](Received& r, const QString& m) {
             auto song = platform::makeMainThreadShared<MusicItem>();
             song->addEntriesFromDictionary({{"pureFileName", m}, {"titleFromFileName", "Song"}});
             r.songs.push_back(song);
         }},
        {"stock song", Kind::Song, Shape::Path, false, false,
         [](Received& r, const QString& m) {
             auto song = platform::makeMainThreadShared<MusicItem>();
             song->addEntriesFromDictionary(
                 {{"filePath", m}, {"musicSource", "bundleDefaultMusic"}, {"titleFromFileName", "Stock"}});
             r.songs.push_back(song);
         }},
        {"stage picture", Kind::Picture, Shape::Name, false, true,
         [](Received& r, const QString& m) { r.project.setStrThemeBackground(m); }},
        {"project folder base", Kind::Picture, Shape::Path, false, false,
         [](Received& r, const QString& m) { r.project.setStrProjectFolderBase(m); }},
        {"DVD-menu song", Kind::Song, Shape::Path, true, true,
         [](Received& r, const QString& m) { r.manager.setDvdBackgroundMusicPath(m); }},
        {"project entry's thumbnail", Kind::Picture, Shape::Path, true, false,
         [](Received& r, const QString& m) {
             auto entry = std::make_shared<SlideshowProjectManagerItem>();
             entry->setStrThumbnailFilePath(m);
             r.manager.setSlideshowProjectArray({entry});
         }},
        {"project entry's folder", Kind::Picture, Shape::Path, true, false,
         [](Received& r, const QString& m) {
             auto entry = std::make_shared<SlideshowProjectManagerItem>();
             entry->setStrProjectShortFolderName(m);
             entry->setStrProjectTitle("Entry");
             r.manager.setSlideshowProjectArray({entry});
         }},
    };
    return all;
}

} // namespace

class ReceivedProjectTest : public ModelTest {
protected:
    QString outside; // the receiving user's own files

    void SetUp() override {
        ModelTest::SetUp();
        outside = home + "/Private";
        QDir().mkpath(outside);
    }

    static bool makeFile(Kind kind, const QString& path) {
        switch (kind) {
        case Kind::Picture: {
            QImage picture(32, 18, QImage::Format_RGB32);
            picture.fill(QColor(200, 40, 90));
            return picture.save(path, "PNG");
        }
        case Kind::Song:
            return ToneMaker::writeWav(path, 440.0, 0.5, 0.5f);
        case Kind::Clip: {
            ClipMaker::Options clip;
            clip.size = QSize(64, 36);
            clip.frames = 6;
            clip.audio = true;
            return ClipMaker::make(path, clip);
        }
        case Kind::Composition:
            return QFile::copy(platform::paths::pathForResource("myTest", "vcomp"), path);
        }
        return false;
    }

    // The value the archive holds for the field in the given form.
    QString valueFor(const Field& field, Form form, const QString& contents) const {
        const QString extension = extensionOf(field.kind);
        const QString secret = outside + "/secret." + extension;
        QString name;
        switch (form) {
        case Form::Own:
            name = "own." + extension;
            break;
        case Form::Absolute:
            return secret;
        case Form::Climbing:
            name = QDir(contents).relativeFilePath(secret);
            break;
        case Form::LinkOut:
            name = "linked." + extension;
            break;
        case Form::Pipe:
            name = "pipe." + extension;
            break;
        }
        return field.shape == Shape::Name ? name : contents + "/" + name;
    }

    // Makes the project, writes both archives and puts the form's value into the field's; its folder.
    QString receive(const Field& field, Form form) {
        auto project = SlideshowProject::createNewBundleProject(QString("Received %1").arg(int(form)));
        EXPECT_TRUE(project);
        if (!project)
            return QString();
        SlideshowProject::retainProject(project);
        SlideshowProjectManager::creatNewDefaultSlideshowProjectManager();
        auto manager = SlideshowProjectManager::defaultSlideshowProjectManager();
        const QString contents = project->strMacProjectBundleContentsPath();
        std::vector<SlideItemRef> slides{photoIn(project, "a.png"), photoIn(project, "b.png")};
        for (const SlideItemRef& slide : slides) {
            EXPECT_TRUE(makeFile(Kind::Picture, slide->fileName()));
            slide->customSetDurations(0.2f, 0.1f);
        }
        std::vector<MusicItemRef> songs;
        Received received{*project, *manager, slides, songs};
        const QString marker = "MARKER-" + QString(field.name).replace(' ', '-');
        field.plant(received, marker);
        project->setSlideshowArray(slides);
        project->setMusicArray(songs);
        EXPECT_TRUE(project->saveProjectToFile());
        EXPECT_TRUE(manager->saveToFile());
        const QString folder = project->strMacProjectBundleFullPath();
        const QString archive = folder + "/" +
                                (field.inManagerArchive ? SlideshowProjectManager::shortFileName()
                                                        : SlideshowProject::shortFileName());
        EXPECT_EQ(test_support::replaceArchivedStrings(archive, marker, valueFor(field, form, contents)), 1);

        const QString extension = extensionOf(field.kind);
        const QString secret = outside + "/secret." + extension;
        EXPECT_TRUE(QFileInfo::exists(secret) || makeFile(field.kind, secret));
        EXPECT_TRUE(makeFile(field.kind, contents + "/own." + extension));
        EXPECT_TRUE(QFile::link(secret, contents + "/linked." + extension));
        test_support::IsolatedUser::resetSingletons();
        return folder;
    }

    // Everything that reads the files a project names: the start that opens it, the window's thumbnails and
    // transition icons, every frame played over the theme's moving backdrop, the sound of an export and of
    // the preview, and the DVD menu's pictures and sound.
    void readEverything(const QString& folder) {
        SlideshowProject::setStrLastProjectBundlePath(folder);
        const auto project = SlideshowProject::mainProject();
        ASSERT_EQ(project->strMacProjectBundleFullPath(), folder) << "the project opens";
        for (const SlideItemRef& slide : project->slideshowArray()) {
            QImageReader(slide->strThumbFileName()).read();
            try {
                GetCGImageNamed(slide->transitionInfo().value("image_name").toString());
            } catch (const std::exception&) {
            }
        }
        play(*project);
        NSAudioMixerObject::installNewMixer(project)->mixProjectAudio();
        NSAudioMixerObject::installNewMixer(project)->mixProjectAudioForPlaying();
        project->setAudioMixer(nullptr);

        const auto manager = SlideshowProjectManager::defaultSlideshowProjectManager();
        manager->setNCurrentDVDMenuSelected(1);
        manager->loadDVDMenuTemplate();
        ASSERT_TRUE(manager->currentDVDMenuTemplate()) << "the DVD-menu templates are there";
        DVDMenuItem menu(manager->currentDVDMenuTemplate()->menuDictionary());
        menu.buildMenuImagesForPreview(DVDProjectSettings::fromProject(*project, *manager));
        QStringList menuSongs;
        for (const MusicItemRef& song : manager->dvdMenuBackgroundMusicArray())
            menuSongs << song->strFilePathIn(project->strMacProjectBundleContentsPath());
        DVDMenuAudioMixerObject(menuSongs, 2.0).mixProjectAudio();
    }

    void play(const SlideshowProject& project) {
        RealPlayer player;
        const QString why = player.start(5);
        ASSERT_TRUE(why.isEmpty()) << qPrintable(why);
        {
            // The target and the scope end before the player's context goes.
            const platform::gl::Context::Scope scope(*player.context);
            std::optional<platform::gl::FrameBuffer> target;
            {
                const platform::gl::DriverLock driver;
                target.emplace(32, 18);
                target->bind();
            }
            gRenderAspectRatio = 32.0f / 18.0f;
            player.director->backgroundRender()->setTheme(project.themeManger()->currentThemeDict());
            player.director->setSlideshowArray(project.slideshowArray());
            while (player.director->nCurrentFrame() < player.director->nTotalFrames() &&
                   player.director->playOneFrame()) {
            }
        }
        player.stop();
    }
};

class ReceivedProjectFilesTest : public ReceivedProjectTest,
                                 public ::testing::WithParamInterface<std::size_t> {};

TEST_P(ReceivedProjectFilesTest, NothingOutsideTheProjectIsOpenedWhateverTheFieldNames) {
    const Field& field = fields().at(GetParam());
    const QString extension = extensionOf(field.kind);
    for (Form form : {Form::Own, Form::Absolute, Form::Climbing, Form::LinkOut, Form::Pipe}) {
        SCOPED_TRACE(std::string(field.name) + ", " + nameOf(form));
        const QString folder = receive(field, form);
        ASSERT_FALSE(folder.isEmpty());
        const QString contents = folder + "/Contents";
        std::optional<test_support::FifoTrap> pipe;
        if (form == Form::Pipe) {
            pipe.emplace(contents + "/pipe." + extension);
            ASSERT_TRUE(pipe->isValid());
        }
        test_support::OpenWatch watch({outside, contents});
        ASSERT_TRUE(watch.isValid());

        readEverything(folder);

        const QStringList opened = watch.opened();
        for (const QString& path : opened) {
            EXPECT_FALSE(path.startsWith(outside + "/")) << "opened " << qPrintable(path);
            EXPECT_NE(path, contents + "/pipe." + extension) << "the named pipe was opened";
        }
        if (pipe) {
            EXPECT_EQ(pipe->readers(), 0);
        }
        if (form == Form::Own && field.ownFileRead) {
            EXPECT_TRUE(opened.contains(contents + "/own." + extension))
                << "the field's own file is read: " << qPrintable(opened.join(", "));
        }
        pipe.reset();
        test_support::IsolatedUser::resetSingletons();
    }
}

INSTANTIATE_TEST_SUITE_P(EveryPathOfBothArchives, ReceivedProjectFilesTest,
                         ::testing::Range<std::size_t>(0, fields().size()),
                         [](const ::testing::TestParamInfo<std::size_t>& info) {
                             QString name = fields().at(info.param).name;
                             name.remove(QRegularExpression("[^A-Za-z]"));
                             return name.toStdString();
                         });

// A "Contents" folder that is itself a link lends the project nothing: every file in it counts as missing.
TEST_F(ReceivedProjectTest, AContentsFolderThatLeadsElsewhereLendsNothing) {
    const Field& picture = fields().at(0);
    const QString folder = receive(picture, Form::Own);
    ASSERT_FALSE(folder.isEmpty());
    const QString contents = folder + "/Contents";
    const QString elsewhere = outside + "/Elsewhere";
    ASSERT_TRUE(QDir().rename(contents, elsewhere));
    ASSERT_TRUE(QFile::link(elsewhere, contents));
    test_support::OpenWatch watch({outside, elsewhere});
    ASSERT_TRUE(watch.isValid());

    readEverything(folder);

    EXPECT_TRUE(watch.opened().isEmpty()) << qPrintable(watch.opened().join(", "));
    const auto project = SlideshowProject::currentMainProject();
    EXPECT_TRUE(project->slideshowArray().empty()) << "every slide's picture is missing";
    auto slide = platform::makeMainThreadShared<SlideItem>();
    slide->setFileName("new.png");
    EXPECT_TRUE(slide->fileName().isEmpty()) << "nothing new is written through the link either";
}
