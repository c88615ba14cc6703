// The share hub on the real movie export: the share choices, the settings' OK with too few slides or photos
// still coming in, the finish of a movie file (the record, the move, the finished dialog, a failed move, a
// movie another process cut under the same name), the preview's stop during an export, the hand-off to the
// upload, a sound that fails partway, the cancel, and a DVD menu's finish that must not pass for a movie's.
#include "support/FakeTools.h"
#include "support/FrameCode.h"
#include "support/MainWindowFixture.h"
#include "support/MediaProbe.h"
#include "support/MovieDecoder.h"
#include "support/OAuth2TestFakes.h"
#include "support/SavedRepeat.h"
#include "support/TestChild.h"
#include "support/ToneMaker.h"
#include "support/WidgetClick.h"

#include "dvd/DVDCommand.h"
#include "dvd/DVDMenuItem.h"
#include "dvd/DVDProjectSettings.h"
#include "export/EncoderController.h"
#include "export/ExportNotifications.h"
#include "export/MixedAudioExport.h"
#include "export/MovieExportCommand.h"
#include "export/SoundSource.h"
#include "model/SlideshowProjectManagerItem.h"
#include "platform/disc/DiscDrive.h"
#include "platform/foundation/FileUtils.h"
#include "platform/foundation/MainThread.h"
#include "render/RenderNotifications.h"
#include "render/SlideshowDirector.h"
#include "ui/UiNotifications.h"
#include "ui/editing/ExportProgressWindowController.h"
#include "ui/editing/MovieSettingsWndController.h"
#include "ui/main/MainWindowDialogs.h"
#include "ui/main/PhotoResizeWorker.h"
#include "ui/main/PlaybackController.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPushButton>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

using platform::NotificationCenter;

namespace {

void post(const QString& name, const QVariant& object = QVariant()) {
    NotificationCenter::defaultCenter().post(name, object);
}

const char* const kOtherCopysMovie = "VISTRELLE_TEST_OTHER_COPYS_MOVIE";

} // namespace

class ShareCommandTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        makeController();
        project->setBPlayLoop(true);
        project->setShareOption("VideoSize", 0);
        SlideshowProject::setStrOutputVideoPath(dir.file("Exported"));
        auto& center = NotificationCenter::defaultCenter();
        for (const QString& name : {kNotifyCreateVideoFileEnd, kNotifyContinueUploadVideo})
            handles.emplace_back(center, center.addObserver(name, [this](const platform::Notification& n) {
                const std::lock_guard lock(mutex);
                seen.push_back(n);
            }));
    }
    void TearDown() override {
        handles.clear();
        MainWindowTest::TearDown();
    }
    // Slides short enough for a quick export: 0.3 s each with 0.2 s transitions.
    void useShortSlides(int count) {
        std::vector<QColor> colours;
        for (int i = 0; i < count; ++i)
            colours.push_back(QColor::fromHsv(i * 90, 200, 220));
        for (const SlideItemRef& slide : useColourSlides(colours))
            slide->customSetDurations(0.3f, 0.2f);
        project->calcSlideItemsPhotoTransitionDuration();
    }
    // OK for the smallest size, which is quick to export.
    void answerSettingsOK() {
        dialogs.modalWindowScript = [](QDialog& window) {
            if (auto* settings = qobject_cast<MovieSettingsWndController*>(&window)) {
                settings->videoSizePopup()->setCurrentIndex(0);
                settings->OKButtonClicked();
            }
        };
    }
    // The export the settings' OK queued runs to its end, then what its end queued.
    void runExportToItsEnd() {
        scheduler->advance(0.0);
        ASSERT_TRUE(test_support::spinUntil([&] { return !controller->isExportRunning(); }, 60000));
        scheduler->advance(0.0);
    }
    void shareWithSettingsOK(int choice) {
        answerSettingsOK();
        post(kNotifyShareOptionButtonClick, choice);
        runExportToItsEnd();
    }
    int seenCount(const QString& name) const {
        const std::lock_guard lock(mutex);
        return int(std::count_if(seen.begin(), seen.end(), [&](const auto& n) { return n.name == name; }));
    }
    // What an export leaves as it found it: the user's repeat, and the player, which is the preview's again
    // and stands still as it did.
    void expectProjectAndPreviewAsTheyWere() const {
        EXPECT_TRUE(project->bPlayLoop()) << "the user's repeat";
        const auto player = controller->director();
        ASSERT_TRUE(player);
        EXPECT_FALSE(player->exportPlays()) << "the export's play goes on";
        EXPECT_FALSE(controller->m_bPlaying());
    }
    QString movieOut(const QString& name) const { return dir.file("Exported/" + name); }

    std::vector<platform::ObserverHandle> handles;
    mutable std::mutex mutex;
    std::vector<platform::Notification> seen;
};

// The same with the real player, which the export commands need.
class ShareExportTest : public ShareCommandTest {
protected:
    void SetUp() override {
        ShareCommandTest::SetUp();
        if (const QString why = useRealPlayer(); !why.isEmpty())
            GTEST_SKIP() << qPrintable(why);
    }
};

TEST_F(ShareCommandTest, EachChoiceRecordsItsServiceAndOnlyTheMovieFileAsksForSettingsAtOnce) {
    struct Case {
        int choice;
        QString service;
        QStringList windows;
    };
    const Case cases[] = {{0, "PhotoLibrary", {"MovieSettingsWnd"}},
                          {1, "VideoSite", {}},
                          {2, "SocialSite", {}},
                          {5, "Unchanged", {}}};
    for (const Case& step : cases) {
        project->setShareOption("ServiceName", "Unchanged");
        dialogs.modalWindows.clear();
        post(kNotifyShareOptionButtonClick, step.choice);
        scheduler->advance(0.0);
        EXPECT_EQ(project->strShareServceType(), step.service) << step.choice;
        EXPECT_EQ(dialogs.modalWindows, step.windows) << step.choice;
        EXPECT_TRUE(dialogs.exportWindows.empty()) << step.choice;
    }
}

// A share refused before the user is asked anything but the movie file's settings: too few slides, photos
// still coming in (their pictures, the sound and the length of the movie would each hold another show), or
// every slide in but its pictures still being made; the video site refuses before its sign-in.
TEST_F(ShareExportTest, SettingsOKIsRefusedWithoutAProgressWindowWhenTheShowIsNotReady) {
    enum class Coming { Nothing, Slides, Pictures };
    const QString stillAdded =
        "Photos or clips are still being added to the slideshow. Please share it once they are all in.";
    const struct {
        const char* how;
        int slides;
        Coming coming;
        int choice;
        QString message;
        QStringList windows; // asked before the refusal
    } cases[] = {
        {"two slides",
         2,
         Coming::Nothing,
         0,
         "Please add at least 3 photos to get started!",
         {"MovieSettingsWnd"}},
        {"photos still being added", 3, Coming::Slides, 0, stillAdded, {}},
        {"pictures still being prepared",
         3,
         Coming::Pictures,
         0,
         "The pictures of the slideshow are still being prepared. Please share it once they are ready.",
         {}},
        {"the video site while photos are still being added", 3, Coming::Slides, 1, stillAdded, {}},
    };
    const test_support::OAuth2TestScope signIn; // a sign-in would show here, and reach no one
    const auto uploader = makeWindowUploader();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        dialogs.alerts.clear();
        dialogs.modalWindows.clear();
        useShortSlides(c.slides);
        // What the import has not yet told the window stays pending until the events run; with the worker's
        // queue standing still, every slide is in once they have run, and its pictures are not.
        if (c.coming == Coming::Pictures)
            controller->resizeWorker().stop();
        if (c.coming != Coming::Nothing)
            controller->threadImageAppendImages({writePhoto("late.jpg", {64, 48}, Qt::red)});
        if (c.coming == Coming::Pictures) {
            ASSERT_TRUE(test_support::spinUntil([&] { return controller->isImportIdle(); }));
        }
        shareWithSettingsOK(c.choice);
        EXPECT_TRUE(signIn.windows.empty()) << "no sign-in window";
        EXPECT_TRUE(signIn.browser->opened.empty()) << "no sign-in page";
        ASSERT_EQ(dialogs.alerts.size(), 1u) << qPrintable(dialogs.alertText());
        EXPECT_EQ(dialogs.alerts[0].title, "ERROR");
        EXPECT_EQ(dialogs.alerts[0].message, c.message);
        EXPECT_EQ(dialogs.modalWindows, c.windows);
        EXPECT_EQ(dialogs.modalRuns, 0);
        EXPECT_TRUE(project->bPlayLoop());
        EXPECT_FALSE(controller->isEncoding());
        controller->resizeWorker().start();
        ASSERT_TRUE(waitForImports());
    }
}

// What the window does to its preview while an export plays a clip (the last step of a photo import shows
// the current photo and stops the preview; a Stop; a Play, the position slider or the DVD menu's test, which
// start nothing and leave the window showing nothing playing) leaves the export's play and its clip alone:
// the movie holds every slide, and the clip's frames in order.
TEST_F(ShareExportTest, ThePreviewsStopDuringAnExportLeavesTheMovieWhole) {
    const std::vector<QColor> colours = {QColor(220, 40, 40), QColor(50, 70, 230)};
    std::vector<SlideItemRef> slides = useColourSlides(colours);
    for (const SlideItemRef& slide : slides)
        slide->customSetDurations(1.0f, 0.2f);
    ClipMaker::Options coded;
    coded.frames = 60; // within what the frame code counts
    coded.picture = FrameCode::frame;
    const auto clip = makeClipSlide("coded.mp4", coded);
    clip->setFSecTransitionDuration(0.2f);
    slides.insert(slides.begin() + 1, clip);
    project->setSlideshowArray(slides);
    project->calcSlideItemsPhotoTransitionDuration();
    const quint64 total = project->totalFrameCount();
    const quint64 clipStart = clip->nItemStartFrameIndex();
    const quint64 clipEnd = clipStart + clip->nPhotoDuration();
    const quint64 leadIn = slides[0]->nTransitionDuration();
    answerSettingsOK();
    dialogs.questionAnswers = {false};
    post(kNotifyShareOptionButtonClick, 0);
    scheduler->advance(0.0);
    ASSERT_TRUE(controller->isExportRunning());
    const auto player = controller->director();
    ASSERT_TRUE(test_support::spinUntil([&] { return player->nCurrentFrame() > clipStart + 2; }, 60000));
    controller->showCurrentItemPhoto(project->slideItemAtIndex(0));
    controller->stop();
    controller->playbackController().play();
    EXPECT_FALSE(controller->m_bPlaying()) << "Play";
    // Nor does anything else of the window start the player meanwhile.
    controller->PositionSlideChanged(int(clipStart));
    EXPECT_FALSE(controller->m_bPlaying()) << "the position slider";
    controller->TestDVDMenu();
    EXPECT_FALSE(controller->m_bPlaying()) << "the DVD menu's test";
    runExportToItsEnd();
    ASSERT_EQ(dialogs.alerts.size(), 1u) << qPrintable(dialogs.alertText());
    EXPECT_EQ(dialogs.alerts[0].title, "Congratulations! Movie file has been created successfully!");
    std::set<int> kept; // by movie frame, which holds show frame + 1: the movie pump leaves out the first
    for (quint64 frame = 1; frame < total; ++frame)
        kept.insert(int(frame) - 1);
    const DecodedMovie movie = DecodedMovie::decode(movieOut("Trip.mp4"), kept);
    ASSERT_TRUE(movie.ok) << qPrintable(movie.error);
    ASSERT_EQ(movie.frameTimes.size(), total - 1);
    for (const std::size_t photo : {std::size_t(0), std::size_t(2)}) {
        const quint64 middle = slides[photo]->nItemStartFrameIndex() + slides[photo]->nPhotoDuration() / 2;
        const QColor seen = movie.frames.at(int(middle) - 1).pixelColor(320, 180);
        const QColor& expected = colours[photo / 2];
        EXPECT_LE(std::max({std::abs(seen.red() - expected.red()), std::abs(seen.green() - expected.green()),
                            std::abs(seen.blue() - expected.blue())}),
                  16)
            << "slide " << photo << " is " << qPrintable(seen.name());
    }
    std::vector<int> shown, inOrder;
    for (quint64 frame = clipStart; frame < clipEnd; ++frame) {
        shown.push_back(FrameCode::read(movie.frames.at(int(frame) - 1)));
        inOrder.push_back(int(frame - clipStart + leadIn));
    }
    EXPECT_EQ(shown, inOrder) << "the clip's frames, each in its turn";
    EXPECT_NEAR(double(movie.audio.size() / 2) / 44100.0, double(total) / 30.0, 2.0 / 30.0)
        << "the sound as long as the pictures";
    expectProjectAndPreviewAsTheyWere();
}

// The move fails first (the output folder's place is taken by a file), then succeeds beside an earlier movie.
TEST_F(ShareExportTest, AMovieFileIsRecordedMovedUnderAFreeNameAndOfferedAndAFailedMoveKeepsIt) {
    useShortSlides(3);
    const auto entry = std::make_shared<SlideshowProjectManagerItem>(); // as an older archive has one
    SlideshowProjectManager::defaultSlideshowProjectManager()->setCurrentSlideshowProjectManagerItem(entry);
    model_test::writeFile(dir.file("Exported"), "a file where the folder should be");
    shareWithSettingsOK(0);
    ASSERT_EQ(dialogs.alerts.size(), 1u) << qPrintable(dialogs.alertText());
    EXPECT_EQ(dialogs.alerts[0].title, "ERROR");
    EXPECT_TRUE(dialogs.alerts[0].message.contains("could not be moved")) << qPrintable(dialogs.alertText());
    const QString kept =
        QFileInfo(project->strEncodingVideoFilePath(QSizeF(640, 360))).absolutePath() + "/Trip.mp4";
    EXPECT_TRUE(dialogs.alerts[0].message.contains(kept)) << "where the movie is kept";
    EXPECT_GT(QFileInfo(kept).size(), 0);
    expectProjectAndPreviewAsTheyWere();

    ASSERT_TRUE(QFile::remove(dir.file("Exported")));
    model_test::writeFile(movieOut("Trip.mp4"), "an earlier movie");
    dialogs.alerts.clear();
    dialogs.questionAnswers = {true};
    shareWithSettingsOK(0);
    ASSERT_EQ(dialogs.alerts.size(), 1u) << qPrintable(dialogs.alertText());
    EXPECT_EQ(dialogs.alerts[0].title, "Congratulations! Movie file has been created successfully!");
    EXPECT_EQ(dialogs.questionButtons, QStringList({"Show Movie File in Folder"}));
    EXPECT_EQ(dialogs.revealed, QStringList({movieOut("Trip-1.mp4")}));
    EXPECT_EQ(dialogs.modalRuns, 2);
    EXPECT_EQ(dialogs.modalEnds, 2);
    EXPECT_EQ(dialogs.offMainThreadCalls(), 0);
    expectProjectAndPreviewAsTheyWere();
    EXPECT_TRUE(entry->dictFileRefreshDate().contains("video_640x360_mp4"));
    EXPECT_TRUE(QFileInfo(SlideshowProjectManager::strSlideshowProjectManagerFileFullPath()).isFile())
        << "the record is saved";

    const MediaProbe probe = MediaProbe::probe(movieOut("Trip-1.mp4"));
    ASSERT_TRUE(probe.ok) << qPrintable(probe.error);
    const MediaProbe::Stream* video = probe.firstOfType("video");
    ASSERT_TRUE(video && probe.firstOfType("audio"));
    EXPECT_EQ(video->codec, "h264");
    EXPECT_EQ(QSize(video->width, video->height), QSize(640, 360));
    EXPECT_EQ(video->packets, int(project->totalFrameCount()) - 1)
        << "the movie pump leaves out the first frame";
    EXPECT_EQ(probe.firstOfType("audio")->codec, "aac");
}

TEST_F(ShareExportTest, AnUploadGetsTheMovieAndTheProgressWindowStillUp) {
    useShortSlides(3);
    answerSettingsOK();
    post(kNotifyShareOptionButtonClick, 1);
    post(kNotifyUploadSigninSuccess); // what the uploader posts once signed in
    runExportToItsEnd();
    ASSERT_EQ(seenCount(kNotifyContinueUploadVideo), 1);
    const platform::Notification handOff = seen.back();
    auto* window = controller->exportProgressWC();
    ASSERT_TRUE(window);
    EXPECT_EQ(handOff.object.value<QObject*>(), window);
    EXPECT_EQ(handOff.userInfo.value("ExportProgressWindowController").value<QObject*>(), window);
    EXPECT_EQ(handOff.userInfo.value("SlideshowMainObject").value<QObject*>(), controller.get());
    const QString movie = handOff.userInfo.value("strSourceVideoFilePath").toString();
    EXPECT_GT(QFileInfo(movie).size(), 0) << qPrintable(movie);
    EXPECT_TRUE(handOff.userInfo.value(kWrittenMovieKey).value<platform::FileIdentity>() ==
                platform::FileIdentity::ofPath(movie))
        << "the movie as the export left it, for the uploader to send it only so";
    EXPECT_EQ(dialogs.modalEnds, 0) << "the uploader ends the window";
    EXPECT_TRUE(dialogs.alerts.empty()) << qPrintable(dialogs.alertText());
    expectProjectAndPreviewAsTheyWere();
}

// Run only as the child of the test below: another program, a copy of ours that no claim reaches say, cuts
// its movie under the name given in the environment.
TEST(DISABLED_OtherCopy, CutsItsMovie) {
    const QString movie = qEnvironmentVariable(kOtherCopysMovie);
    ASSERT_TRUE(platform::createFreshFile(movie, nullptr, 0644)) << qPrintable(movie);
    ASSERT_TRUE(test_support::writeBytes(movie, "the other copy's movie"));
}

// While the export runs, another process cuts its own movie under the export's temporary name: the export's
// movie, made under a name of its own, is not that one, and the export moves out its own movie.
TEST_F(ShareExportTest, AMovieAnotherProcessCutUnderTheSameNameIsNotDeliveredAsTheExports) {
    useShortSlides(3);
    answerSettingsOK();
    dialogs.questionAnswers = {false};
    post(kNotifyShareOptionButtonClick, 0);
    scheduler->advance(0.0);
    const QString cut = project->strEncodingVideoFilePath(QSizeF(640, 360));
    ASSERT_TRUE(controller->isExportRunning());
    EXPECT_FALSE(QFileInfo::exists(cut)) << "the movie being made goes by a name another program knows";
    TestChild other("DISABLED_OtherCopy.CutsItsMovie", {{kOtherCopysMovie, cut}});
    ASSERT_TRUE(other.finish()) << qPrintable(other.said());
    runExportToItsEnd();
    ASSERT_EQ(dialogs.alerts.size(), 1u) << qPrintable(dialogs.alertText());
    EXPECT_EQ(dialogs.alerts[0].title, "Congratulations! Movie file has been created successfully!");
    const MediaProbe probe = MediaProbe::probe(movieOut("Trip.mp4"));
    ASSERT_TRUE(probe.ok) << qPrintable(probe.error);
    ASSERT_TRUE(probe.firstOfType("video"));
    EXPECT_EQ(probe.firstOfType("video")->packets, int(project->totalFrameCount()) - 1);
    expectProjectAndPreviewAsTheyWere();
}

// The mixed sound reads well for a moment and then fails: the export ends with that error, not with a movie
// whose sound stops short.
TEST_F(ShareExportTest, ASoundThatFailsPartwayEndsTheExportWithItsErrorInsteadOfAMovie) {
    useShortSlides(3);
    controller->movieExportCommand()->setEncoderSetup([](EncoderController& encoder) {
        encoder.setAudioMixStep([](const SlideshowProjectRef&, const MixedAudioExport::CancelCheck&,
                                   const MixedAudioExport::ProgressHandler&) {
            // Longer than the show, spoilt from a tenth of the way on.
            const QString mix = SlideshowProject::strTempM4AAudioFullPath();
            QString error = QStringLiteral("the tone could not be spoilt");
            if (!ToneMaker::writeEncoded(mix, "ipod", "aac", 440.0, 4.0, 0.5f, {}, &error) ||
                !ToneMaker::spoilEncodedFrom(mix, 0.1))
                return MixedAudioExport::Result{MixedAudioExport::Outcome::Failed, error};
            return MixedAudioExport::Result{MixedAudioExport::Outcome::Completed, QString()};
        });
    });
    shareWithSettingsOK(0);
    ASSERT_EQ(dialogs.alerts.size(), 1u) << qPrintable(dialogs.alertText());
    EXPECT_EQ(dialogs.alerts[0].title, "ERROR");
    EXPECT_EQ(dialogs.alerts[0].message, SoundSource::mixedSoundFailure()) << "the song is not to blame";
    EXPECT_EQ(seenCount(kNotifyCreateVideoFileEnd), 0);
    EXPECT_FALSE(QFileInfo::exists(project->strEncodingVideoFilePath(QSizeF(640, 360))));
    EXPECT_FALSE(QDir(dir.file("Exported")).exists()) << "nothing was moved";
    expectProjectAndPreviewAsTheyWere();
}

// The writer's side never opens the pipe while the sound is mixed: the cancel still ends everything, once the
// mix has stopped too, and the user's repeat stays as it was throughout.
TEST_F(ShareExportTest, ACancelBeforeTheMovieWriterOpensThePipeEndsTheExportOnceTheMixHasStopped) {
    useShortSlides(3);
    std::atomic<bool> mixing{false};
    std::atomic<bool> release{false};
    controller->movieExportCommand()->setEncoderSetup([&](EncoderController& encoder) {
        encoder.setAudioMixStep([&](const SlideshowProjectRef&,
                                    const MixedAudioExport::CancelCheck& cancelled,
                                    const MixedAudioExport::ProgressHandler&) {
            mixing = true;
            while (!cancelled() || !release)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            return MixedAudioExport::Result{MixedAudioExport::Outcome::Cancelled, QString()};
        });
    });
    answerSettingsOK();
    post(kNotifyShareOptionButtonClick, 0);
    scheduler->advance(0.0);
    ASSERT_TRUE(test_support::spinUntil([&] { return mixing.load(); }, 30000));
    EXPECT_EQ(test_support::repeatSavedNow(*project), std::optional(true)) << "what a save meanwhile writes";
    controller->exportProgressWC()->cancelButtonClicked();
    test_support::spinFor(200);
    EXPECT_TRUE(controller->isExportRunning()) << "the mix has not stopped yet";
    EXPECT_TRUE(project->bPlayLoop());
    release = true;
    ASSERT_TRUE(test_support::spinUntil([&] { return !controller->isExportRunning(); }, 30000));
    EXPECT_TRUE(dialogs.alerts.empty()) << qPrintable(dialogs.alertText());
    EXPECT_EQ(seenCount(kNotifyCreateVideoFileEnd), 0);
    expectProjectAndPreviewAsTheyWere();
}

// The DVD creator posts the movie's finish name on its own thread, and the menu alone runs as "PhotoLibrary".
TEST_F(ShareExportTest, ADVDMenusFinishIsNoMovieOfTheControllers) {
    useShortSlides(3);
    project->setFltPhotoDuration(0.3f);
    project->setFltTransitionDuration(0.2f);
    controller->EncodeDVDMenu();
    EXPECT_EQ(dialogs.modalRuns, 1);
    ASSERT_TRUE(test_support::spinUntil(
        [&] { return controller->dvdCommand()->stage() == DVDCommand::Stage::Idle; }, 120000));
    scheduler->advance(0.0);
    EXPECT_TRUE(dialogs.alerts.empty()) << qPrintable(dialogs.alertText());
    EXPECT_EQ(dialogs.modalEnds, 1) << "the menu's end closes its window";
    EXPECT_EQ(dialogs.offMainThreadCalls(), 0);
    EXPECT_EQ(seenCount(kNotifyCreateVideoFileEnd), 0);
    EXPECT_FALSE(QDir(dir.file("Exported")).exists()) << "nothing was moved";
    expectProjectAndPreviewAsTheyWere();
}

// The menu test command lays the buttons over the last menu encoded with the four-colour pictures that menu
// made: files another program puts at the pictures' names as spumux starts are never taken for them.
TEST_F(ShareExportTest, ADVDMenusTestCommandLaysTheMenusOwnButtonPictures) {
    makeController(true); // with the window's menu items
    controller->setDirector(player.director);
    useShortSlides(3);
    controller->EncodeDVDMenu();
    ASSERT_TRUE(test_support::spinUntil(
        [&] { return controller->dvdCommand()->stage() == DVDCommand::Stage::Idle; }, 120000));
    scheduler->advance(0.0);
    ASSERT_TRUE(dialogs.alerts.empty()) << qPrintable(dialogs.alertText());
    const QString temporary =
        DVDProjectSettings::fromProject(*project, *SlideshowProjectManager::defaultSlideshowProjectManager())
            .resolvedTemporaryFolder();
    QByteArray prelude = test_support::kMeddlingFunctions;
    for (const int state : {DVDMenuItem::Normal, DVDMenuItem::Highlighted, DVDMenuItem::Selected})
        prelude +=
            "ownFileAt \"" + QFile::encodeName(DVDMenuItem::reducedStateImagePath(temporary, state)) + "\"\n";
    test_support::FakeTools tools;
    tools.wrap("spumux", prelude);
    controller->outlets().testSpumuxMenuItem->trigger();
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    const QString told = dialogs.alerts[0].title;
    ASSERT_TRUE(told.startsWith("The menu's buttons are in ")) << qPrintable(dialogs.alertText());
    // spumux leaves out buttons whose pictures it cannot read.
    const MediaProbe muxed = MediaProbe::probe(told.mid(told.indexOf(" in ") + 4).chopped(1));
    ASSERT_TRUE(muxed.ok) << qPrintable(muxed.error);
    EXPECT_NE(muxed.firstOfType("subtitle"), nullptr) << "the menu has no buttons";
}

TEST_F(ShareExportTest, ADVDCancelledWhileEncodingBurnsNothingAndLeavesTheProjectAndPreviewAsTheyWere) {
    useShortSlides(3);
    project->setFltPhotoDuration(0.3f);
    const QString image = dir.file("disc.iso");
    QString error;
    dialogs.burnSetupAnswers = {
        platform::disc::DiscDrive::open(platform::disc::DiscDrive::pseudoDriveAddress(image), &error)};
    ASSERT_TRUE(dialogs.burnSetupAnswers.front()) << qPrintable(error);
    controller->setNCurrentSlideshowItemIndex(1);
    controller->BurnDVDButtonClicked();
    ASSERT_EQ(controller->dvdCommand()->stage(), DVDCommand::Stage::Encoding)
        << qPrintable(dialogs.alertText());
    EXPECT_EQ(test_support::repeatSavedNow(*project), std::optional(true)) << "what a save meanwhile writes";
    platform::NotificationCenter::defaultCenter().post(kNotifyPlaySlideIndexChanged, QVariant(),
                                                       {{"playingItemIndex", 2}});
    EXPECT_EQ(controller->nCurrentSlideshowItemIndex(), 1) << "the DVD's player does not move the mark";
    controller->exportProgressWC()->cancelButtonClicked();
    ASSERT_TRUE(test_support::spinUntil(
        [&] { return controller->dvdCommand()->stage() == DVDCommand::Stage::Idle; }, 60000));
    EXPECT_TRUE(dialogs.alerts.empty()) << qPrintable(dialogs.alertText());
    EXPECT_EQ(QFileInfo(image).size(), 0) << "nothing was written to the disc";
    EXPECT_TRUE(dialogs.burnProgress.empty());
    expectProjectAndPreviewAsTheyWere();
}

// Burn shows the run's progress window at once, and the window goes on answering while the menu's frames and
// slides are made: the menu is held halfway until the window's event loop has turned with the progress window
// up, then Cancel in that window ends the run quietly before its encode.
TEST_F(ShareExportTest, BurnShowsItsProgressWindowAtOnceAndTheWindowAnswersWhileTheMenuIsMade) {
    makeController(true); // with the window's Burn command
    controller->setDirector(player.director);
    useShortSlides(3);
    const QString image = dir.file("disc.iso");
    QString error;
    dialogs.burnSetupAnswers = {
        platform::disc::DiscDrive::open(platform::disc::DiscDrive::pseudoDriveAddress(image), &error)};
    ASSERT_TRUE(dialogs.burnSetupAnswers.front()) << qPrintable(error);
    MainWindowDialogs progressWindows(nullptr, projectSource());
    dialogs.progressWindows = &progressWindows;
    struct Seen {
        bool looked = false, shown = false, menuMade = false, encoding = false;
        QString title;
    } seen;
    std::mutex mutex;
    std::condition_variable opened;
    bool open = false;
    const auto lookAtTheWindow = [&] {
        ExportProgressWindowController* progress = controller->exportProgressWC();
        seen = {true, progress && progress->isVisible(),
                !SlideshowProjectManager::defaultSlideshowProjectManager()->dvdMenuSlideArray().empty(),
                controller->dvdCommand()->dvdMpegIICreateObject() != nullptr,
                progress ? progress->windowTitle() : QString()};
        {
            const std::lock_guard lock(mutex);
            open = true;
        }
        opened.notify_all();
        if (auto* cancel = progress ? progress->findChild<QPushButton*>("buttonCancel") : nullptr)
            test_support::leftClick(*cancel, QPointF(cancel->width() / 2.0, cancel->height() / 2.0));
    };
    std::atomic<bool> held{false};
    controller->dvdCommand()->setMenuSetup([&](DVDMenuItem& menu) {
        menu.setBeforeReducing([&](const QString&) {
            if (held.exchange(true))
                return;
            QMetaObject::invokeMethod(qApp, lookAtTheWindow, Qt::QueuedConnection);
            // A latch cannot hold the thread that must open it: made on the main thread, the menu goes on.
            if (platform::isMainThread())
                return;
            std::unique_lock lock(mutex);
            opened.wait(lock, [&] { return open; });
        });
    });
    controller->outlets().burnDVDMenuItem->trigger(); // returns once the progress window has ended
    ASSERT_TRUE(test_support::spinUntil(
        [&] { return controller->dvdCommand()->stage() == DVDCommand::Stage::Idle; }, 60000));
    dialogs.progressWindows = nullptr;
    ASSERT_TRUE(held);
    ASSERT_TRUE(seen.looked) << "the window's event loop never turned during the run";
    EXPECT_TRUE(seen.shown) << "no progress window while the menu was made";
    EXPECT_EQ(seen.title, "Create DVD");
    EXPECT_FALSE(seen.menuMade) << "the window stood still until the menu's slides were made";
    EXPECT_FALSE(seen.encoding);
    EXPECT_TRUE(dialogs.alerts.empty()) << qPrintable(dialogs.alertText());
    EXPECT_EQ(controller->dvdCommand()->dvdMpegIICreateObject(), nullptr) << "an encode began after Cancel";
    EXPECT_EQ(QFileInfo(image).size(), 0) << "something was written to the disc image";
    EXPECT_EQ(dialogs.offMainThreadCalls(), 0);
    expectProjectAndPreviewAsTheyWere();
}

// A DVD run into a disc image file that ends before its burn (cancelled while encoding, or refused for too
// few slides) lets the image's drive go: the folder holds the earlier image as it was, and no hidden partial
// file of the run stays beside it.
TEST_F(ShareExportTest, ADVDRunThatEndsBeforeItsBurnLeavesTheImagesFolderAsItWas) {
    struct Case {
        const char* name;
        int slides;
        bool cancelWhileEncoding;
    };
    for (const Case& run : {Case{"cancelled while encoding", 3, true}, Case{"too few slides", 2, false}}) {
        SCOPED_TRACE(run.name);
        useShortSlides(run.slides);
        const QString folder = dir.file(QStringLiteral("images %1").arg(run.slides));
        ASSERT_TRUE(QDir().mkpath(folder));
        const QString image = folder + "/disc.iso";
        model_test::writeFile(image, "an earlier image");
        QString error;
        dialogs.burnSetupAnswers = {platform::disc::DiscDrive::openImageFile(image, &error)};
        ASSERT_TRUE(dialogs.burnSetupAnswers.front()) << qPrintable(error);
        controller->BurnDVDButtonClicked();
        if (run.cancelWhileEncoding) {
            ASSERT_EQ(controller->dvdCommand()->stage(), DVDCommand::Stage::Encoding)
                << qPrintable(dialogs.alertText());
            controller->exportProgressWC()->cancelButtonClicked();
            ASSERT_TRUE(test_support::spinUntil(
                [&] { return controller->dvdCommand()->stage() == DVDCommand::Stage::Idle; }, 60000));
        } else {
            EXPECT_EQ(controller->dvdCommand()->stage(), DVDCommand::Stage::Idle);
            EXPECT_FALSE(dialogs.alerts.empty()) << "the run says why it did not start";
        }
        dialogs.burnSetupAnswers.clear();
        scheduler->advance(0.0);
        EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{"disc.iso"});
        EXPECT_EQ(test_support::readBytes(image), "an earlier image");
        dialogs.alerts.clear();
    }
}

// The window's DVD commands without a menu item: the show's stream alone under its own progress window, and a
// picked stream to author, which a cancelled open panel leaves at that.
TEST_F(ShareExportTest, ADVDSlideshowStreamAloneAndAPickedStreamToAuthorAreTheWindowsCommandsToo) {
    useShortSlides(3);
    controller->createDVDMPEGIIFile();
    EXPECT_EQ(dialogs.modalRuns, 1) << qPrintable(dialogs.alertText());
    ASSERT_FALSE(dialogs.exportWindows.empty());
    EXPECT_EQ(dialogs.exportWindows.back()->windowTitle(), "Encode DVD Slideshow");
    ASSERT_TRUE(test_support::spinUntil(
        [&] { return controller->dvdCommand()->stage() == DVDCommand::Stage::Idle; }, 120000));
    EXPECT_TRUE(dialogs.alerts.empty()) << qPrintable(dialogs.alertText());
    EXPECT_EQ(dialogs.modalEnds, 1);
    const QString encoded = project->strEncodingVideoFilePath(QSizeF(960, 540));
    const MediaProbe stream = MediaProbe::probe(encoded.left(encoded.lastIndexOf('.')) + ".mpg");
    ASSERT_TRUE(stream.ok) << qPrintable(stream.error);
    EXPECT_EQ(stream.formatName, "mpeg");
    expectProjectAndPreviewAsTheyWere();

    controller->StartDVDAuthor();
    EXPECT_EQ(dialogs.mpegOpenPanels, 1);
    EXPECT_EQ(dialogs.burnSetups, 0);
    EXPECT_EQ(dialogs.modalRuns, 1) << "nothing to author";
    EXPECT_EQ(controller->dvdCommand()->dvdAuthorObj(), nullptr);
    EXPECT_EQ(controller->dvdCommand()->stage(), DVDCommand::Stage::Idle);
}
