// The movie export command of the main window controller, with scripted renderers for the frames and
// dialogs and window services that record what the user would have seen.
#include "EncoderTestSupport.h"
#include "support/ClipMaker.h"
#include "support/ColourBars.h"
#include "support/FileLosses.h"
#include "support/FilesBeingMade.h"
#include "support/LargePictures.h"
#include "support/MediaProbe.h"
#include "support/RecordingDialogs.h"
#include "support/SavedRepeat.h"
#include "support/ToneMaker.h"

#include "export/EncodingProgressSteps.h"
#include "export/MP4ExportCommand.h"
#include "export/MixedAudioExport.h"
#include "export/MovieExportCommand.h"
#include "model/MainWindowServices.h"
#include "model/MusicItem.h"
#include "platform/foundation/FileUtils.h"
#include "platform/foundation/MainThread.h"

#include <QFileInfo>

#include <map>

using namespace encoder_test;

class MovieExportCommandTest : public EncoderTest {
protected:
    void SetUp() override {
        EncoderTest::SetUp();
        MainWindowServices::setCurrent(&services);
        project->setSlideshowArray(stillPhotos(contents(), 3));
        project->setShareOption("VideoSize", 0);
        project->setShareOption("ServiceName", "PhotoLibrary");
        project->setBPlayLoop(true);
        command.setEncoderSetup([this](EncoderController& encoder) { encoder.setAudioMixStep(mix); });
    }
    void TearDown() override {
        MainWindowServices::setCurrent(nullptr);
        EncoderTest::TearDown();
    }

    // Renderers of `frames` solid frames at the class-level output size.
    MovieExportCommand::RendererFactory frames(quint64 count, std::chrono::milliseconds pause = {}) {
        return [count, pause]() -> std::unique_ptr<FrameRenderer> {
            ScriptedRenderer::Script script;
            script.frames = count;
            script.size = SlideshowProject::sizeVideoOutput().toSize();
            script.pausePerFrame = pause;
            return std::make_unique<ScriptedRenderer>(script);
        };
    }

    QString moviePath() const {
        return project->strEncodingVideoFilePath(SlideshowProject::sizeVideoOutput());
    }

    RecordingDialogs dialogs;
    RecordingServices services;
    MovieExportCommand::RendererFactory factory = frames(9);
    MovieExportCommand command{dialogs, [this] { return factory(); }};
    EncoderController::MixStep mix = toneMix(0.3);
    NotificationLog notes{{MovieExportCommand::createVideoFileEndNotificationName()}};
};

TEST_F(MovieExportCommandTest, VideoSizeGivesTheOutputSizeAndBitRate) {
    const std::vector<std::tuple<int, QSizeF, unsigned long>> table = {
        {0, QSizeF(640, 360), 3'800'000},   {1, QSizeF(960, 540), 5'600'000},
        {2, QSizeF(1280, 720), 10'800'000}, {3, QSizeF(1920, 1080), 20'800'000},
        {7, QSizeF(1280, 720), 10'800'000},
    };
    for (const auto& [videoSize, size, bitrate] : table) {
        const auto settings = MovieExportCommand::outputSettingsForVideoSize(videoSize);
        EXPECT_EQ(settings.size, size) << videoSize;
        EXPECT_EQ(settings.bitrate, bitrate) << videoSize;
    }
}

TEST_F(MovieExportCommandTest, RefusesAShowOfFewerThanThreeSlides) {
    project->setSlideshowArray(
        {platform::makeMainThreadShared<SlideItem>(), platform::makeMainThreadShared<SlideItem>()});
    EXPECT_FALSE(command.startEncodingMovieFile());
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_EQ(dialogs.alerts[0].title, "ERROR");
    EXPECT_EQ(dialogs.alerts[0].message, "Please add at least 3 photos to get started!");
    EXPECT_FALSE(command.isEncoding());
    EXPECT_TRUE(project->bPlayLoop());
}

// A photo, a clip, a composition, a picture drawn with a slide (its backdrop, its caption), a photo's own
// sound or a song that is gone, empty, does not decode (from its start), is a JPEG cut short or holds clearly
// less than it did refuses the movie and the MP4 before any frame is drawn, with one alert each naming every
// such file, as the user added or chose it and by the slide's place, or the song, and telling what to do
// about that one slide or song, or those several; a slide's own sound and the theme's own backdrop picture
// each tell what to do about themselves, the picture also when the project names one it cannot find (gone, or
// out of its reach).
TEST_F(MovieExportCommandTest, AnUnreadableFileRefusesTheMovieAndTheMP4WithOneAlertNamingIt) {
    using namespace test_support;
    // Which of the second slide's files, or the song, or the theme's picture goes bad.
    enum class Spoilt {
        Picture,
        HugePicture,
        TwoPictures,
        ThreePictures,
        TwoPicturesAndSong,
        Clip,
        Composition,
        Backdrop,
        Caption,
        SlideSound,
        ChosenSlideSound, // the project's copy of the file the user chose
        PictureAndSlideSound,
        Song,
        EncodedSong,
        ThemePicture
    };
    const auto shorterTone = [](const QString& file) { return ToneMaker::writeWav(file, 440.0, 1.0, 0.5f); };
    const auto spoiltStart = [](const QString& file) { return ToneMaker::spoilEncodedFrom(file, 0.0, 0.1); };
    const auto shorterClip = [](const QString& file) {
        ClipMaker::Options options;
        options.size = QSize(160, 90);
        return ClipMaker::make(file, options);
    };
    // The first slide's picture goes empty, the second's holds random bytes, the third's is cut in half.
    const auto eachItsOwnWay = [](const QString& file) {
        return file.endsWith("photo1.jpg")   ? cutToNothing(file)
               : file.endsWith("photo2.jpg") ? overwriteWithGarbage(file)
                                             : cutToHalf(file);
    };
    // What a decompression bomb looks like: a small file declaring a picture no camera makes.
    const auto declareHuge = [](const QString& file) {
        QFile picture(file);
        return picture.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
               picture.write(pngDeclaring({60000, 60000})) > 0;
    };
    const QString elsewhere = folder.file("elsewhere.jpg"); // a picture out of the project
    const auto linkOut = [&elsewhere](const QString& file) {
        return QFile::remove(file) && QFile::link(elsewhere, file);
    };
    const struct {
        Spoilt what;
        FileLoss loss;
    } cases[] = {
        {Spoilt::Picture, {"picture missing", takeAway}},
        {Spoilt::Picture, {"picture empty", cutToNothing}},
        {Spoilt::Picture, {"picture undecodable", overwriteWithGarbage}},
        {Spoilt::Picture, {"picture cut in half", cutToHalf}},
        {Spoilt::ThreePictures,
         {"pictures of three slides empty, undecodable and cut in half", eachItsOwnWay}},
        {Spoilt::TwoPicturesAndSong, {"pictures of two slides and the song empty", cutToNothing}},
        {Spoilt::TwoPictures, {"pictures of two slides undecodable", overwriteWithGarbage}},
        {Spoilt::Clip, {"clip empty", cutToNothing}},
        {Spoilt::Clip, {"clip undecodable", overwriteWithGarbage}},
        {Spoilt::Clip, {"clip replaced by a shorter one", shorterClip}},
        {Spoilt::Composition, {"composition empty", cutToNothing}},
        {Spoilt::Backdrop, {"backdrop empty", cutToNothing}},
        {Spoilt::Caption, {"caption picture undecodable", overwriteWithGarbage}},
        {Spoilt::HugePicture, {"picture replaced by one declaring 60000 x 60000", declareHuge}},
        {Spoilt::SlideSound, {"slide's sound missing", takeAway}},
        {Spoilt::SlideSound, {"slide's sound empty", cutToNothing}},
        {Spoilt::SlideSound, {"slide's sound undecodable", overwriteWithGarbage}},
        {Spoilt::ChosenSlideSound, {"slide's sound chosen from a file missing", takeAway}},
        {Spoilt::PictureAndSlideSound, {"slide's picture and sound missing", takeAway}},
        {Spoilt::Song, {"song empty", cutToNothing}},
        {Spoilt::Song, {"song undecodable", overwriteWithGarbage}},
        {Spoilt::Song, {"song cut short", shorterTone}},
        {Spoilt::EncodedSong, {"song's first sound spoilt", spoiltStart}},
        {Spoilt::ThemePicture, {"theme's picture empty", cutToNothing}},
        {Spoilt::ThemePicture, {"theme's picture missing", takeAway}},
        {Spoilt::ThemePicture, {"theme's picture replaced by a pipe", replaceByAPipe}},
        {Spoilt::ThemePicture, {"theme's picture replaced by a link out of the project", linkOut}},
    };
    const auto picture = [](const QString& path) {
        ASSERT_TRUE(ColourBars::frame(QSize(640, 360), 0).save(path, "JPG"));
    };
    const char* const kSoundRefused =
        "The sound \"voice.wav\" of slide 2 is missing, empty or cannot be read: please choose the slide's "
        "sound again, or take it off, in the Slide Sound window.";
    int renderersMade = 0;
    factory = [&]() -> std::unique_ptr<FrameRenderer> {
        ++renderersMade;
        return frames(9)();
    };
    picture(elsewhere);
    const QString chosenVoice = folder.file("voice.wav");
    ASSERT_TRUE(ToneMaker::writeWav(chosenVoice, 660.0, 1.0, 0.5f));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.loss.how);
        dialogs.alerts.clear();
        std::vector<SlideItemRef> slides = stillPhotos(contents(), 3);
        if (c.what == Spoilt::Clip)
            slides[1] = clipSlide(*project, folder.path(), "clip.mp4", 90);
        else if (c.what == Spoilt::Composition)
            slides[1] = compositionSlide(contents(), "show.vcomp");
        QString voice = contents() + "/voice.wav";
        ASSERT_TRUE(ToneMaker::writeWav(voice, 660.0, 1.0, 0.5f));
        if (c.what == Spoilt::ChosenSlideSound) // copied as the Slide Sound window copies it
            voice =
                contents() + "/" +
                MusicItem::songDictionaryForImport(chosenVoice, contents()).value("pureFileName").toString();
        slides[1]->setStrSoundFileName(voice);
        for (const int i : {0, 1, 2}) // JPEGs, of which one cut short is told by its markers
            if (i == 1 || c.what == Spoilt::ThreePictures) {
                const QString name = QStringLiteral("photo%1.jpg").arg(i + 1);
                picture(contents() + "/" + name);
                slides[i]->setFileName(name);
            }
        slides[1]->setStrOriginalFileName("/home/someone/Pictures/outing.file");
        picture(contents() + "/psd_bk_2.jpg");
        slides[1]->setBackgroudImageFileName("psd_bk_2.jpg");
        picture(contents() + "/caption2.jpg");
        slides[1]->setTextImageFileName("caption2.jpg");
        slides[1]->setStrPhotoDescription("A day out");
        project->setSlideshowArray(slides);
        picture(contents() + "/theme.jpg");
        project->setStrThemeBackground(c.what == Spoilt::ThemePicture ? "theme.jpg" : QString());
        const QString songFile = c.what == Spoilt::EncodedSong ? "tone.m4a" : "tone.wav";
        ASSERT_TRUE(c.what == Spoilt::EncodedSong
                        ? ToneMaker::writeEncoded(contents() + "/tone.m4a", "ipod", "aac", 440.0, 3.0, 0.5f)
                        : ToneMaker::writeWav(contents() + "/tone.wav", 440.0, 3.0, 0.5f));
        auto song = platform::makeMainThreadShared<MusicItem>();
        song->addEntriesFromDictionary(
            {{"pureFileName", songFile}, {"titleFromFileName", "tone"}, {"numberDuration", 3.0}});
        project->setMusicArray({song});
        const std::map<Spoilt, QStringList> spoilt = {
            {Spoilt::Picture, {slides[1]->mediaFilePath()}},
            {Spoilt::HugePicture, {slides[1]->mediaFilePath()}},
            {Spoilt::TwoPictures, {slides[1]->mediaFilePath(), slides[2]->mediaFilePath()}},
            {Spoilt::ThreePictures,
             {slides[0]->mediaFilePath(), slides[1]->mediaFilePath(), slides[2]->mediaFilePath()}},
            {Spoilt::TwoPicturesAndSong,
             {slides[1]->mediaFilePath(), slides[2]->mediaFilePath(), contents() + "/tone.wav"}},
            {Spoilt::Clip, {slides[1]->mediaFilePath()}},
            {Spoilt::Composition, {slides[1]->mediaFilePath()}},
            {Spoilt::Backdrop, {slides[1]->backgroudImageFileName()}},
            {Spoilt::Caption, {slides[1]->textImageFileName()}},
            {Spoilt::SlideSound, {voice}},
            {Spoilt::ChosenSlideSound, {voice}},
            {Spoilt::PictureAndSlideSound, {slides[1]->mediaFilePath(), voice}},
            {Spoilt::Song, {contents() + "/tone.wav"}},
            {Spoilt::EncodedSong, {contents() + "/tone.m4a"}},
            {Spoilt::ThemePicture, {contents() + "/theme.jpg"}},
        };
        ASSERT_TRUE(project->missingSlideFilesMessage().isEmpty()) << "before the loss";
        for (const QString& file : spoilt.at(c.what))
            ASSERT_TRUE(c.loss.lose(file));
        MP4ExportCommand mp4(dialogs, {});
        EXPECT_FALSE(command.startEncodingMovieFile());
        EXPECT_FALSE(mp4.createMP4File_FFMM());
        ASSERT_EQ(dialogs.alerts.size(), 2u);
        const auto [said, advice] = [&]() -> std::pair<QStringList, const char*> {
            switch (c.what) {
            case Spoilt::Song:
            case Spoilt::EncodedSong:
                return {{"The song \"tone\" is missing, empty, cut short or cannot be read"},
                        "please remove this song, or add its file again."};
            case Spoilt::SlideSound:
            case Spoilt::ChosenSlideSound:
                return {{QString(kSoundRefused)}, "The slideshow cannot be exported."};
            case Spoilt::PictureAndSlideSound:
                return {{"\"outing.file\" of slide 2 is missing, empty or cannot be read. " +
                         QString(kSoundRefused)},
                        "please remove this slide, or add its file again."};
            case Spoilt::ThemePicture:
                return {
                    {"The backdrop picture \"theme.jpg\" of the theme is missing, empty or cannot be read"},
                    "The slideshow cannot be exported."};
            case Spoilt::HugePicture:
                return {{"\"outing.file\" of slide 2 is too large: 60000 x 60000."},
                        "please remove this slide, or add its file again."};
            case Spoilt::TwoPicturesAndSong:
                return {{"\"outing.file\" of slide 2 is missing"},
                        "please remove these slides and this song, or add their files again."};
            case Spoilt::TwoPictures:
                return {{"\"outing.file\" of slide 2 is missing"},
                        "please remove these slides, or add their files again."};
            case Spoilt::ThreePictures:
                return {{"\"photo1.jpg\" of slide 1 is missing", "\"outing.file\" of slide 2 is missing",
                         "\"photo3.jpg\" of slide 3 is missing"},
                        "please remove these slides, or add their files again."};
            default:
                return {{"\"outing.file\" of slide 2 is missing, empty or cannot be read"},
                        "please remove this slide, or add its file again."};
            }
        }();
        for (const RecordingDialogs::Alert& alert : dialogs.alerts) {
            EXPECT_EQ(alert.title, "ERROR");
            for (const QString& each : said)
                EXPECT_TRUE(alert.message.contains(each)) << alert.message.toStdString();
            EXPECT_TRUE(alert.message.endsWith(advice)) << alert.message.toStdString();
        }
        EXPECT_EQ(renderersMade, 0) << "a frame was drawn";
        EXPECT_FALSE(command.isEncoding() || mp4.isEncoding());
        EXPECT_TRUE(project->bPlayLoop());
        QFile::remove(contents() + "/theme.jpg"); // a pipe or a link made of it
    }
}

TEST_F(MovieExportCommandTest, ExportsWithTheChosenSettingsAndLeavesTheUsersRepeatAsItWas) {
    SlideshowProject::setULFrameRate(25);
    ASSERT_TRUE(command.startEncodingMovieFile());
    EXPECT_TRUE(command.isEncoding());
    EXPECT_EQ(SlideshowProject::sizeVideoOutput(), QSizeF(640, 360));
    EXPECT_EQ(SlideshowProject::ulEncodeVideoBitrate(), 3'800'000u);
    EXPECT_EQ(SlideshowProject::ulFrameRate(), 30u);
    EXPECT_EQ(command.encoderController()->nEncodeVideoBitrate(), 3'800'000u);
    EXPECT_EQ(command.encoderController()->strVideoOutputFullPath(), moviePath());
    EXPECT_TRUE(project->bPlayLoop()) << "the user's repeat, which the export's play does without";
    EXPECT_EQ(test_support::repeatSavedNow(*project), std::optional(true)) << "what a save meanwhile writes";
    EXPECT_FALSE(command.startEncodingMovieFile()); // one export at a time, silently

    ASSERT_TRUE(
        waitFor([&] { return notes.count(MovieExportCommand::createVideoFileEndNotificationName()) == 1; }));
    EXPECT_EQ(dialogs.modalEnds, 1);
    EXPECT_TRUE(dialogs.alerts.empty());
    EXPECT_TRUE(QFileInfo::exists(moviePath()));
    command.endEncoding();
    EXPECT_FALSE(command.isEncoding());
    EXPECT_TRUE(project->bPlayLoop());
}

TEST_F(MovieExportCommandTest, ProgressRunsFromTheMixThroughTheFramesToTheEnd) {
    factory = frames(11);
    ASSERT_TRUE(command.startEncodingMovieFile());
    ASSERT_TRUE(
        waitFor([&] { return notes.count(MovieExportCommand::createVideoFileEndNotificationName()) == 1; }));
    waitFor([&] { return !dialogs.progress.empty() && dialogs.progress.back() == 1.0; });
    ASSERT_FALSE(dialogs.progress.empty());
    EXPECT_DOUBLE_EQ(dialogs.progress.front(), 0.1); // the mix's stage at its end
    // Frame i of 11 shows 0.1 + 0.9 i / 11, for the ten frames written (i = 1 ... 10).
    std::vector<double> frameValues(dialogs.progress.begin() + 1, dialogs.progress.end() - 1);
    ASSERT_EQ(frameValues.size(), 10u);
    for (std::size_t i = 0; i < frameValues.size(); ++i)
        EXPECT_NEAR(frameValues[i], 0.1 + 0.9 * double(i + 1) / 11.0, 1e-9);
    EXPECT_EQ(dialogs.progressTexts.back(), "Encoding slideshow to video now, please waiting...\n\n100.00%");
    command.endEncoding();
}

TEST_F(MovieExportCommandTest, OtherServicesKeepTheProgressWindowForTheirNextStep) {
    project->setShareOption("ServiceName", "Uploader");
    ASSERT_TRUE(command.startEncodingMovieFile());
    ASSERT_TRUE(
        waitFor([&] { return notes.count(MovieExportCommand::createVideoFileEndNotificationName()) == 1; }));
    EXPECT_EQ(dialogs.modalEnds, 0);
    command.endEncoding();
}

TEST_F(MovieExportCommandTest, AnEncoderThatRefusesShowsItsReasonAndLeavesTheUsersRepeatAsItWas) {
    auto song = platform::makeMainThreadShared<MusicItem>();
    song->addEntriesFromDictionary(
        {{"pureFileName", "locked.m4p"}, {"strTitle", "Locked"}, {"titleFromFileName", "Locked"}});
    project->setMusicArray({song});
    EXPECT_FALSE(command.startEncodingMovieFile());
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_EQ(dialogs.alerts[0].title, "ERROR");
    EXPECT_TRUE(dialogs.alerts[0].message.endsWith(" Locked"));
    EXPECT_FALSE(command.isEncoding());
    EXPECT_TRUE(project->bPlayLoop());
}

TEST_F(MovieExportCommandTest, AFailureAfterTheStartIsShownAndEndsTheExport) {
    mix = [](const SlideshowProjectRef&, const MixedAudioExport::CancelCheck&,
             const MixedAudioExport::ProgressHandler&) {
        return MixedAudioExport::Result{MixedAudioExport::Outcome::Failed, QStringLiteral("the mixer broke")};
    };
    ASSERT_TRUE(command.startEncodingMovieFile());
    ASSERT_TRUE(waitFor([&] { return !command.isEncoding(); }));
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_EQ(dialogs.alerts[0].title, "ERROR");
    EXPECT_EQ(dialogs.alerts[0].message, "the mixer broke");
    EXPECT_EQ(dialogs.modalEnds, 1);
    EXPECT_EQ(services.stops, 1);
    EXPECT_TRUE(project->bPlayLoop());
    EXPECT_EQ(notes.count(MovieExportCommand::createVideoFileEndNotificationName()), 0);
    EXPECT_FALSE(QFileInfo::exists(moviePath()));
}

TEST_F(MovieExportCommandTest, APumpWithoutARendererFailsTheExport) {
    factory = [] { return std::unique_ptr<FrameRenderer>(); };
    ASSERT_TRUE(command.startEncodingMovieFile());
    ASSERT_TRUE(waitFor([&] { return !command.isEncoding(); }));
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_EQ(dialogs.alerts[0].message, "The slideshow could not be drawn.");
}

TEST_F(MovieExportCommandTest, CancelWaitsForEveryThreadThenEndsQuietlyLeavingTheUsersRepeat) {
    factory = frames(600, std::chrono::milliseconds(5));
    mix = toneMix(20.0);
    ASSERT_TRUE(command.startEncodingMovieFile());
    ASSERT_TRUE(waitFor([&] { return command.encoderController()->framesAppended() >= 3; }));
    const auto encoder = command.encoderController();
    project->setBExportProgressCancelButtonClicked(true);
    command.cancelEncoding();
    command.cancelEncoding(); // a second request changes nothing
    EXPECT_TRUE(encoder->bCancelRequest());
    ASSERT_TRUE(waitFor([&] { return !command.isEncoding(); }));
    EXPECT_TRUE(encoder->bVideoReadThreadFinished() && encoder->bVideoWriteThreadFinished() &&
                encoder->bAudioThreadFinished());
    EXPECT_EQ(services.stops, 1) << "the window's preview told to stop";
    EXPECT_TRUE(project->bPlayLoop());
    EXPECT_EQ(test_support::repeatSavedNow(*project), std::optional(true)) << "what a save writes";
    EXPECT_TRUE(dialogs.alerts.empty());
    EXPECT_EQ(notes.count(MovieExportCommand::createVideoFileEndNotificationName()), 0);
    EXPECT_FALSE(QFileInfo::exists(moviePath()));
}

TEST_F(MovieExportCommandTest, TheProgressObserverShowsTheStageValue) {
    const QVariantMap stage = EncodingProgressSteps::stage(EncodingProgressSteps::ffmpegMP4Stages(),
                                                           EncodingProgressSteps::kFFmpegMP4());
    platform::NotificationCenter::defaultCenter().post(MixedAudioExport::progressNotificationName(),
                                                       QVariant(), {{"progress", 0.5}, {"baseinfo", stage}});
    ASSERT_EQ(dialogs.progress.size(), 1u);
    EXPECT_DOUBLE_EQ(dialogs.progress[0], 0.55);
    EXPECT_EQ(dialogs.progressTexts[0], "Encoding slideshow to video now, please waiting...\n\n55.00%");
}

TEST_F(MovieExportCommandTest, DroppingTheCommandMidExportEndsEverything) {
    const int threadsBefore = threadCount();
    {
        MovieExportCommand running(dialogs, frames(600, std::chrono::milliseconds(5)));
        running.setEncoderSetup(
            [this](EncoderController& encoder) { encoder.setAudioMixStep(toneMix(20.0)); });
        ASSERT_TRUE(running.startEncodingMovieFile());
        ASSERT_TRUE(waitFor([&] { return running.encoderController()->framesAppended() >= 2; }));
    }
    waitFor([] { return true; }); // queued progress must find the command gone and do nothing
    EXPECT_EQ(threadCount(), threadsBefore);
    EXPECT_FALSE(QFileInfo::exists(moviePath()));
}

// Another program at work on the names of the files the export made: the frames go only into the export's own
// pipe, and the movie being made has no name another program could open it by (where an unnamed file could
// not be given a name once written, a hidden one of its own, which takes the movie's name at the end). The
// movie is made each time.
TEST_F(MovieExportCommandTest, AnotherProgramAtTheExportsNamesNeverReachesItsFiles) {
    const QString victim = folder.file("other-program.dat");
    const QString pipe = EncoderController::strOpenGLRGBAVideoFIFOFullPath();
    const struct {
        const char* what;
        bool descriptorFolder; // through which an unnamed movie is given its name
        std::function<void()> asTheMixEnds;
        bool unnamed; // the movie being made, else under a hidden name
    } cases[] = {
        {"a link put at the frames' pipe", true,
         [&] {
             ASSERT_TRUE(QFile::link(victim, pipe + ".other"));
             ASSERT_EQ(::rename(QFile::encodeName(pipe + ".other").constData(),
                                QFile::encodeName(pipe).constData()),
                       0);
         },
         true},
        {"no way to name an unnamed movie (no /proc)", false, {}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(test_support::writeBytes(victim, "keep"));
        QStringList beingMade;
        mix = toneMix(0.3, [&] {
            if (c.asTheMixEnds)
                c.asTheMixEnds();
            beingMade = test_support::filesBeingMadeFor(moviePath());
        });
        const QString finished = MovieExportCommand::createVideoFileEndNotificationName();
        const int finishedBefore = notes.count(finished);
        platform::setOwnDescriptorFolder(c.descriptorFolder ? QString() : folder.file("no such folder"));
        ASSERT_TRUE(command.startEncodingMovieFile());
        EXPECT_TRUE(waitFor([&] { return !command.isEncoding() || notes.count(finished) > finishedBefore; }));
        command.endEncoding();
        platform::setOwnDescriptorFolder(QString());
        EXPECT_EQ(notes.count(finished), finishedBefore + 1) << dialogs.alertText().toStdString();
        EXPECT_EQ(test_support::readBytes(victim), "keep");
        ASSERT_EQ(beingMade.size(), 1) << beingMade.join(", ").toStdString();
        EXPECT_EQ(beingMade[0].startsWith("#"), c.unnamed) << beingMade[0].toStdString();
        const MediaProbe probe = MediaProbe::probe(moviePath());
        ASSERT_TRUE(probe.ok) << probe.error.toStdString();
        EXPECT_NE(probe.firstOfType("video"), nullptr);
        EXPECT_NE(probe.firstOfType("audio"), nullptr);
        QFile::remove(pipe); // the other program's link stays after the export
        dialogs.alerts.clear();
    }
}
