// Clips dropped or chosen: copied one after another under their windows and added as clip slides; playing
// from the position slider; the composition test commands.
#include "support/ClipMaker.h"
#include "support/MainWindowFixture.h"
#include "support/ProjectLists.h"
#include "support/StartLoggingMixer.h"
#include "support/ToneMaker.h"

#include "model/MusicDirector.h"
#include "model/ProjectCollaborators.h"
#include "model/QuartzSlideItem.h"
#include "model/SlideshowProject.h"
#include "model/VideoSlideItem.h"
#include "platform/foundation/StandardPaths.h"
#include "ui/editing/CopyFileProgressWindowController.h"
#include "ui/editing/TimeLineCellViewController.h"
#include "ui/editing/VideoItemPropertyViewController.h"
#include "ui/main/ControllerDialogs.h"
#include "ui/main/MainWindowView.h"
#include "ui/main/SlideshowMenus.h"

#include <QDir>
#include <QFile>
#include <QtEndian>

#include <functional>

namespace {

// Clips cut short, made from one of ours (whose index comes after the pictures): one with its first half
// only, which lost the index; and one whose pictures stop half-way while the index survives, as a download
// of a clip with its index in front leaves it.
bool writeCutShortClips(const QString& clip, const QString& indexLost, const QString& picturesCut) {
    const QByteArray bytes = test_support::readBytes(clip);
    qsizetype mdat = -1, moov = -1;
    for (qsizetype at = 0; at + 8 <= bytes.size();) {
        const auto size = qsizetype(qFromBigEndian<quint32>(bytes.constData() + at));
        if (size < 8)
            break;
        if (bytes.mid(at + 4, 4) == "mdat")
            mdat = at;
        else if (bytes.mid(at + 4, 4) == "moov")
            moov = at;
        at += size;
    }
    if (mdat < 0 || moov < mdat)
        return false;
    QByteArray cut = bytes.left(mdat + (moov - mdat) / 2);
    qToBigEndian(quint32(cut.size() - mdat), cut.data() + mdat);
    return test_support::writeBytes(indexLost, bytes.left(bytes.size() / 2)) &&
           test_support::writeBytes(picturesCut, cut + bytes.mid(moov));
}

} // namespace

class ClipImportTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        makeController();
        slides = useColourSlides({Qt::red, Qt::green, Qt::blue, Qt::yellow, Qt::gray});
        project->setFltTransitionDuration(1.5f);
        // Each copy window runs to its end; the n-th (from 1) listed in `cancelled` is cancelled first.
        dialogs.modalWindowScript = [this](QDialog& window) {
            ++windows;
            if (cancelled.contains(windows))
                static_cast<CopyFileProgressWindowController&>(window).buttonCancel()->click();
            window.exec();
        };
    }
    QStringList makeClips(const QStringList& names) {
        QStringList paths;
        ClipMaker::Options options;
        options.frames = 60; // 2 s: longer than the project's transition, which it can take
        for (const QString& name : names) {
            paths << dir.file(name);
            EXPECT_TRUE(ClipMaker::make(paths.back(), options));
        }
        return paths;
    }
    // The clip file each slide plays, by its name in the project, or "-" for a photo.
    QStringList clipNames() const { return test_support::clipFileNames(project->slideshowArray()); }
    void drop(const QStringList& paths, int index) {
        controller->SlideshowMainObject::addVideoToProject(paths, index);
        scheduler->advance(0.3);
        ASSERT_TRUE(controller->isClipImportIdle());
    }

    std::vector<SlideItemRef> slides;
    int windows = 0;
    QList<int> cancelled;
};

TEST_F(ClipImportTest, ClipsDroppedInsideTheShowKeepTheirOrderFromTheSlotAndTakeItsTransition) {
    const QStringList clips = makeClips({"a.mp4", "b.mp4", "c.mp4"});
    drop(clips, 2);
    EXPECT_EQ(clipNames(), (QStringList{"-", "-", "a.mp4", "b.mp4", "c.mp4", "-", "-", "-"}));
    EXPECT_EQ(windows, 3) << "one window after another";
    const auto inserted = project->slideItemAtIndex(2);
    EXPECT_FLOAT_EQ(inserted->fSecTransitionDuration(), 1.5f);
    EXPECT_TRUE(QFileInfo(std::dynamic_pointer_cast<VideoSlideItem>(inserted)->strVideoFilePath())
                    .absolutePath()
                    .startsWith(project->strMacProjectBundleContentsPath()))
        << "a copy in the project";
    EXPECT_TRUE(project->bIsDirty());
}

// A 3 s clip dropped among photos takes the project's transition and still plays 3 s: its inspector
// shows 3.0 s, and the next slide starts 90 frames after it.
TEST_F(ClipImportTest, AnInsertedClipShowsAndPlaysItsWholeLength) {
    ClipMaker::Options options;
    options.frames = 90;
    options.audio = true;
    ASSERT_TRUE(ClipMaker::make(dir.file("three.mp4"), options));
    drop({dir.file("three.mp4")}, 2);
    const auto clip = std::dynamic_pointer_cast<VideoSlideItem>(project->slideItemAtIndex(2));
    ASSERT_TRUE(clip);
    EXPECT_FLOAT_EQ(clip->fSecTransitionDuration(), 1.5f);
    EXPECT_NEAR(clip->fSecShownDuration(), 3.0, 0.05);
    const std::unique_ptr<QWidget> view(controller->makeVideoItemPropertyView(clip));
    auto* inspector = qobject_cast<VideoItemPropertyViewController*>(view.get());
    ASSERT_NE(inspector, nullptr);
    EXPECT_EQ(inspector->photoDurationText()->text(), "3.0s");
    const quint64 played =
        project->slideItemAtIndex(3)->nItemStartFrameIndex() - clip->nItemStartFrameIndex();
    EXPECT_NEAR(double(played), 90.0, 1.0);
}

TEST_F(ClipImportTest, ClipsDroppedAtTheEndOrBeforeTheStartAreAppendedWithTheirOwnTransition) {
    const QStringList clips = makeClips({"end.mp4", "minus.mp4"});
    drop({clips[0]}, 5);
    drop({clips[1]}, -1);
    EXPECT_EQ(clipNames(), (QStringList{"-", "-", "-", "-", "-", "end.mp4", "minus.mp4"}));
    EXPECT_NE(project->slideItemAtIndex(5)->fSecTransitionDuration(), 1.5f);
}

TEST_F(ClipImportTest, CancellingTheSecondOfThreeKeepsTheFirstAndTheThird) {
    const QStringList clips = makeClips({"a.mp4", "b.mp4", "c.mp4"});
    cancelled = {2};
    drop(clips, 2);
    EXPECT_EQ(clipNames(), (QStringList{"-", "-", "a.mp4", "-", "c.mp4", "-", "-"}));
    const QStringList copies =
        QDir(project->strProjectVideoFileDirectory()).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(copies, (QStringList{"a.mp4", "c.mp4"})) << "nothing of the cancelled copy";
}

// Chosen with Add Video or dropped, several at once: the files that are no clips (a text named ".mov", a
// song in an ".mp4") are named together in one alert, and every clip among them is imported in order.
TEST_F(ClipImportTest, FilesThatAreNoClipsAreNamedInOneAlertAndTheClipsAroundThemImported) {
    QFile fake(dir.file("song.mov"));
    ASSERT_TRUE(fake.open(QIODevice::WriteOnly));
    fake.write("not a movie");
    fake.close();
    ASSERT_TRUE(ToneMaker::writeEncoded(dir.file("audio_only.mp4"), "mp4", "aac", 440.0, 1.0, 0.5));
    const QStringList clips = makeClips({"first.mp4", "last.mov", "whole.mp4"});
    ASSERT_TRUE(writeCutShortClips(clips[2], dir.file("index_lost.mp4"), dir.file("pictures_cut.mp4")));
    const QStringList chosen{clips[0], dir.file("audio_only.mp4"), fake.fileName(),
                             clips[1], dir.file("index_lost.mp4"), dir.file("pictures_cut.mp4")};
    const struct {
        const char* how;
        std::function<void()> import;
        QStringList expected;
    } cases[] = {
        {"Add Video",
         [&] {
             dialogs.mediaOpenAnswers.push_back(chosen);
             controller->AddVideoItem_1();
             scheduler->advance(0.3);
         },
         {"-", "-", "-", "-", "-", "first.mp4", "last.mov"}},
        {"dropped inside", [&] { drop(chosen, 1); }, {"-", "first.mp4", "last.mov", "-", "-", "-", "-"}},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.how);
        project->setSlideshowArray(slides);
        QDir copies(project->strProjectVideoFileDirectory());
        for (const QString& copy : copies.entryList(QDir::Files))
            copies.remove(copy); // so that the copies keep the names of their originals
        dialogs.alerts.clear();
        windows = 0;
        test.import();
        ASSERT_TRUE(controller->isClipImportIdle());
        EXPECT_EQ(clipNames(), test.expected);
        EXPECT_EQ(windows, 2) << "no copy of what is no clip";
        ASSERT_EQ(dialogs.alerts.size(), 1u) << dialogs.alertText().toStdString();
        EXPECT_EQ(dialogs.alerts[0].title, "The following clips can not be added to project:");
        const QStringList lines = dialogs.alerts[0].message.split('\n');
        ASSERT_EQ(lines.size(), 4) << dialogs.alertText().toStdString();
        EXPECT_TRUE(lines[0].startsWith("\"audio_only.mp4\" is not a video clip"));
        EXPECT_TRUE(lines[1].startsWith("\"song.mov\" cannot be read"));
        EXPECT_TRUE(lines[2].startsWith("\"index_lost.mp4\" cannot be read"));
        EXPECT_EQ(lines[3], "\"pictures_cut.mp4\" is cut short: the end of its pictures is missing.");
    }
}

TEST_F(ClipImportTest, ThePositionSliderPlaysFromItsFrameWithTheMusicAtTheSameTime) {
    if (const QString why = useRealPlayer(); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    QStringList started;
    MusicDirector::setAudioMixerFactory([&] { return std::make_shared<StartLoggingMixer>(started); });
    controller->PositionSlideChanged(29);
    MusicDirector::setAudioMixerFactory(nullptr);
    EXPECT_EQ(started, QStringList{QString::number(29.0 / 30.0, 'g', 17)}) << "not whole seconds";
    EXPECT_TRUE(controller->m_bPlaying());
    EXPECT_EQ(project->nCurrentStatus(), 1);
    controller->stop();
    EXPECT_FALSE(controller->m_bPlaying());
}

// The composition test commands append a composition slide, on its own or over the chosen clip, with its
// thumbnail in the project and a cell that stays off the strip; a cancelled panel adds nothing.
TEST_F(ClipImportTest, CompositionTestCommandsAppendACompositionSlideWhoseCellStaysOffTheStrip) {
    makeController(true);
    useColourSlides({Qt::red, Qt::green});
    ClipMaker::Options options;
    options.frames = 15;
    const QString clip = dir.file("through.mp4");
    ASSERT_TRUE(ClipMaker::make(clip, options));
    const QString composition = platform::paths::pathForResource("coolSlideshow", "vcomp");
    const struct {
        void (SlideshowMainObject::*command)();
        QString chosen;
        ControllerDialogs::MediaKind panel;
        QString compositionFile;
        QSize size;
    } cases[] = {
        {&SlideshowMainObject::AddQuartzItemTest_3, composition, ControllerDialogs::MediaKind::Compositions,
         "coolSlideshow.vcomp", QSize(1280, 720)},
        {&SlideshowMainObject::AddVideoItem, clip, ControllerDialogs::MediaKind::Clips,
         "clipComposition.vcomp", options.size},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.compositionFile.toStdString());
        const std::size_t before = project->slideCount();
        project->setBIsDirty(false);
        (controller.get()->*test.command)();
        EXPECT_EQ(project->slideCount(), before) << "cancelled";
        dialogs.mediaOpenAnswers.push_back({test.chosen});
        (controller.get()->*test.command)();
        ASSERT_EQ(dialogs.openPanels.back().kind, test.panel);
        ASSERT_EQ(project->slideCount(), before + 1);
        const auto slide = std::dynamic_pointer_cast<QuartzSlideItem>(project->slideItemAtIndex(before));
        ASSERT_TRUE(slide);
        EXPECT_EQ(QFileInfo(slide->strQuartzFilePath()).fileName(), test.compositionFile);
        EXPECT_TRUE(QFileInfo(slide->strQuartzFilePath()).isFile());
        EXPECT_EQ(slide->bVideoItem(), test.chosen == clip);
        EXPECT_EQ(slide->strVideoFilePath(), test.chosen == clip ? clip : QString());
        EXPECT_EQ(slide->pixelSize(), test.size);
        EXPECT_TRUE(slide->strThumbFileName().startsWith(project->strMacProjectBundleContentsPath()));
        EXPECT_FALSE(QImage(slide->strThumbFileName()).isNull());
        const auto& cells = controller->timelineCellViewArray();
        ASSERT_FALSE(cells.empty());
        const TimeLineCellViewController* cell = cells.back();
        EXPECT_EQ(cell->sItem(), slide);
        EXPECT_EQ(cell->timelineDraggingDest(), window->outlets().scrollView1.data());
        EXPECT_EQ(cell->view()->parentWidget(), nullptr) << "never over the strip";
        EXPECT_FALSE(cell->photoThumbnailView()->pixmap().isNull());
        EXPECT_TRUE(project->bIsDirty());
    }
}

// A composition from outside the project is copied in, as a clip or a song is, so that the project opened
// again finds it; deleting the slide removes the copy and never the chosen file, nor one of our own
// compositions. One that cannot be copied adds no slide and says why.
TEST_F(ClipImportTest, ACompositionFromElsewhereIsTheProjectsCopyWhichGoesWithItsSlide) {
    makeController(true);
    const SlideshowMenus menus(*window, *controller);
    const QString chosen = dir.file("Mine.vcomp");
    ASSERT_TRUE(QFile::copy(platform::paths::pathForResource("coolSlideshow", "vcomp"), chosen));
    const QString ours = platform::paths::pathForResource("myTest", "vcomp");
    const QString contents = project->strMacProjectBundleContentsPath();
    for (const QString& composition : {chosen, ours}) {
        SCOPED_TRACE(composition.toStdString());
        const std::size_t before = project->slideCount();
        dialogs.mediaOpenAnswers.push_back({composition});
        controller->outlets().addCompositionTestMenuItem->trigger();
        ASSERT_EQ(project->slideCount(), before + 1);
        const auto slide = std::dynamic_pointer_cast<QuartzSlideItem>(project->slideItemAtIndex(before));
        ASSERT_TRUE(slide);
        const QString used = slide->strQuartzFilePath();
        EXPECT_EQ(QFileInfo(used).absolutePath() == contents, composition == chosen) << used.toStdString();
        controller->setNCurrentSlideshowItemIndex(int(before));
        menus.action("deleteSlideMenuItem")->trigger();
        EXPECT_EQ(project->slideCount(), before);
        EXPECT_EQ(QFileInfo::exists(used), composition == ours) << "the project's copy goes, ours stays";
        EXPECT_TRUE(QFileInfo::exists(composition));
    }

    const std::size_t before = project->slideCount();
    dialogs.mediaOpenAnswers.push_back({dir.file("gone.vcomp")});
    controller->outlets().addCompositionTestMenuItem->trigger();
    EXPECT_EQ(project->slideCount(), before);
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_TRUE(dialogs.alertText().contains("gone.vcomp")) << dialogs.alertText().toStdString();
}
