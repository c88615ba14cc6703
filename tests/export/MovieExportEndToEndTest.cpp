// The whole movie export of a project made here: three pictures of plain colours (one of 12000 x 8000) and a
// tone as the song, rendered by the real player off screen, read back through the pipe, encoded and read
// again with libavformat, in both containers.
#include "EncoderTestSupport.h"
#include "support/ClipMaker.h"
#include "support/ColourBars.h"
#include "support/FileLosses.h"
#include "support/FilesBeingMade.h"
#include "support/FrameHook.h"
#include "support/HangGuard.h"
#include "support/LargePictures.h"
#include "support/MovieDecoder.h"
#include "support/ProjectClips.h"
#include "support/RecordingDialogs.h"

#include "export/MixedAudioExport.h"
#include "export/MovieExportCommand.h"
#include "model/MusicItem.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/MainThread.h"
#include "render/DirectorFrameRenderer.h"
#include "render/SlideshowDirector.h"
#include "render/StageBackground.h"
#include "support/MediaProbe.h"
#include "support/ToneMaker.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <numeric>
#include <thread>

using namespace encoder_test;

namespace {

const QColor kSlideColours[3] = {QColor(220, 40, 40), QColor(40, 200, 60), QColor(50, 70, 230)};
const QStringList kCbrMp3{"-c:a", "libmp3lame", "-b:a", "128k"};

QStringList threadNames() {
    QStringList names;
    for (const QString& task : QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm("/proc/self/task/" + task + "/comm");
        if (comm.open(QIODevice::ReadOnly))
            names << QString::fromUtf8(comm.readAll()).trimmed();
    }
    return names;
}

// Threads but the idle workers of Qt's shared pool, which come and go as Qt sees fit.
int threadsButQtPool() {
    return int(threadNames().size() - threadNames().count(QStringLiteral("Thread (pooled)")));
}

int distance(QColor a, QColor b) {
    return std::max(
        {std::abs(a.red() - b.red()), std::abs(a.green() - b.green()), std::abs(a.blue() - b.blue())});
}

} // namespace

class MovieExportEndToEndTest : public EncoderTest, public ::testing::WithParamInterface<const char*> {
protected:
    void SetUp() override {
        EncoderTest::SetUp();
        const QString why = player.start(5);
        ASSERT_TRUE(why.isEmpty()) << why.toStdString();
        director = player.director;
        makeProject();
    }
    void TearDown() override {
        command.reset();
        director.reset();
        player.stop();
        EncoderTest::TearDown();
    }

    void makeProject() {
        addColourSlidesAndTone(*project, contents(), {kSlideColours[0], kSlideColours[1], kSlideColours[2]});
        project->setShareOption("VideoSize", 0);
        project->setShareOption("ServiceName", "PhotoLibrary");
    }

    RealPlayer player;
    std::shared_ptr<SlideshowDirector> director;
    RecordingDialogs dialogs;
    std::unique_ptr<MovieExportCommand> command;
};

TEST_P(MovieExportEndToEndTest, ThePicturesAndTheSongBecomeAMovieOfThePredictedLength) {
    SlideshowProject::setStrVideoOutputFormat(GetParam());
    // The second slide's picture as a project received from elsewhere may hold it: as large as a camera's.
    ASSERT_TRUE(test_support::writeLargeJpeg(contents() + "/received.jpg", {12000, 8000},
                                             {.solid = kSlideColours[1]}));
    project->slideItemAtIndex(1)->setFileName("received.jpg");
    const quint64 total = project->totalFrameCount(); // 3 x 30 photo frames and 2 x 15 transition frames
    ASSERT_EQ(total, 120u);
    NotificationLog notes{{MovieExportCommand::createVideoFileEndNotificationName()}};
    command = std::make_unique<MovieExportCommand>(dialogs, DirectorFrameRenderer::factory(director));
    ASSERT_TRUE(command->startEncodingMovieFile());
    ASSERT_TRUE(waitFor([&] {
        return notes.count(MovieExportCommand::createVideoFileEndNotificationName()) == 1;
    })) << dialogs.alertText().toStdString();
    command->endEncoding();
    EXPECT_TRUE(dialogs.alerts.empty()) << dialogs.alertText().toStdString();
    EXPECT_EQ(director->rgbConverterObject(), nullptr); // the player is back in preview mode

    const QString path = project->strEncodingVideoFilePath(QSizeF(640, 360));
    EXPECT_EQ(QFileInfo(path).suffix(), QString(GetParam()) == "MOV" ? "mov" : "mp4");
    const MediaProbe probe = MediaProbe::probe(path);
    ASSERT_TRUE(probe.ok) << probe.error.toStdString();
    ASSERT_EQ(probe.streams.size(), 2u);
    const MediaProbe::Stream* video = probe.firstOfType("video");
    const MediaProbe::Stream* audio = probe.firstOfType("audio");
    ASSERT_TRUE(video && audio);
    EXPECT_EQ(video->codec, "h264");
    EXPECT_EQ(audio->codec, "aac");
    EXPECT_EQ(video->width, 640);
    EXPECT_EQ(video->height, 360);
    EXPECT_EQ(audio->sampleRate, 44100);
    EXPECT_EQ(audio->channels, 2);
    EXPECT_EQ(probe.tags.value("major_brand").toString().trimmed(),
              QString(GetParam()) == "MOV" ? "qt" : "isom");

    // Every frame the player drew but the first, each at its frame number over 30.
    const DecodedMovie movie = DecodedMovie::decode(path, {14, 59, 104});
    ASSERT_TRUE(movie.ok) << movie.error.toStdString();
    EXPECT_EQ(movie.frameTimes.size(), total - 1);
    EXPECT_NEAR(movie.frameTimes.back() + 1.0 / 30.0, double(total) / 30.0, 1.0 / 30.0);
    // The sound, padded past the show by the mix, ends with the pictures.
    EXPECT_NEAR(double(movie.audio.size() / 2) / 44100.0, double(total) / 30.0, 1.0 / 30.0);
    EXPECT_NEAR(probe.durationSeconds, double(total) / 30.0, 1.0 / 30.0);
    for (const auto& [index, slide] : {std::pair{14, 0}, {59, 1}, {104, 2}}) {
        const QImage& frame = movie.frames.at(index);
        for (const QPoint at : {QPoint(320, 180), QPoint(160, 90), QPoint(480, 270)})
            EXPECT_LE(distance(frame.pixelColor(at), kSlideColours[slide]), 16)
                << "frame " << index << " at " << at.x() << "," << at.y() << " is "
                << frame.pixelColor(at).name().toStdString();
    }

    // The song's 2 s at the photos' music level, fading at both ends, then silence.
    EXPECT_GT(movie.audioLevel(0.95, 0.1), 0.2);
    EXPECT_LT(movie.audioLevel(2.6, 1.2), 0.01);
}

TEST_P(MovieExportEndToEndTest, CancelMidExportRemovesTheMovieAndGivesThePlayerBack) {
    SlideshowProject::setStrVideoOutputFormat(GetParam());
    for (const SlideItemRef& slide : project->slideshowArray())
        slide->customSetDurations(4.0f, 0.5f); // 13 s: long enough to be stopped half way
    project->calcSlideItemsPhotoTransitionDuration();
    NotificationLog notes{{MovieExportCommand::createVideoFileEndNotificationName(),
                           EncoderController::movieFailedNotificationName()}};
    command = std::make_unique<MovieExportCommand>(dialogs, DirectorFrameRenderer::factory(director));
    const QString path = project->strEncodingVideoFilePath(QSizeF(640, 360));
    // The first run starts what the GL and codec libraries keep for the rest of the process.
    std::optional<int> threadsBefore;
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        ASSERT_TRUE(command->startEncodingMovieFile());
        auto encoder = command->encoderController();
        ASSERT_TRUE(waitFor([&] { return encoder->framesAppended() >= 20; }));
        EXPECT_FALSE(QFileInfo::exists(path)) << "the movie being made has a name of its own";
        EXPECT_EQ(test_support::filesBeingMadeFor(path).size(), 1);
        project->setBExportProgressCancelButtonClicked(true);
        command->cancelEncoding();
        ASSERT_TRUE(waitFor([&] { return !command->isEncoding(); }));
        project->setBExportProgressCancelButtonClicked(false);
        EXPECT_LT(encoder->framesAppended(), qint64(project->totalFrameCount()) - 1);
        EXPECT_FALSE(QFileInfo::exists(path));
        EXPECT_TRUE(test_support::filesBeingMadeFor(path).isEmpty());
        EXPECT_EQ(director->rgbConverterObject(), nullptr);
        director->stop();
        if (!threadsBefore) {
            const std::weak_ptr<EncoderController> first = encoder;
            encoder.reset();
            ASSERT_TRUE(first.expired());
            threadsBefore = threadsButQtPool();
        }
    }
    EXPECT_TRUE(dialogs.alerts.empty());
    EXPECT_TRUE(notes.all().empty());
    command.reset();
    EXPECT_EQ(threadsButQtPool(), *threadsBefore) << threadNames().join(",").toStdString();
}

INSTANTIATE_TEST_SUITE_P(Containers, MovieExportEndToEndTest, ::testing::Values("MP4", "MOV"));

// A slide whose picture is there but which never says it is ready, as one still being imported; it counts the
// looks of the player's loader.
class SlideStillBeingMade : public SlideItem {
public:
    SlideStillBeingMade() { setPictureBeingMade(true); }
    bool iSItemReady() const override {
        ++looks;
        return false;
    }
    mutable std::atomic<int> looks{0};
};

class MovieExportFaultTest : public MovieExportEndToEndTest {
protected:
    // The third slide becomes one whose picture is still being made; the second slide comes on only with the
    // third loaded, so the export's play waits at the second's first frame.
    std::shared_ptr<SlideStillBeingMade> thirdSlideStillBeingMade() {
        std::vector<SlideItemRef> slides = project->slideshowArray();
        auto waiting = platform::makeMainThreadShared<SlideStillBeingMade>();
        waiting->setFileName("colour2.png");
        waiting->customSetDurations(1.0f, 0.5f);
        slides[2] = waiting;
        project->setSlideshowArray(slides);
        project->calcSlideItemsPhotoTransitionDuration();
        while (SlideshowDirector::CS_GetSlideIndexFromCurrentFrame(waitsAt, slides).slideIndex < 1)
            ++waitsAt;
        return waiting;
    }
    bool untilTheExportWaitsFor(const SlideStillBeingMade& slide) {
        return waitFor([&] { return director->nCurrentFrame() == waitsAt && slide.looks > 2; });
    }
    quint64 waitsAt = 0;
};

// Between the check before the start and the play's look at it, the file of the third slide (a photo, a
// clip, a composition, a picture drawn with it, the photo's own sound, the clip's sound) or the song is taken
// away, cut to nothing, spoilt (a sound also for less than a second in its middle) or replaced: the export
// fails naming the file as the user added it (and the slide's place), and makes no movie. So does a picture
// that goes bad after the export's look at every picture, before the play loads it.
TEST_F(MovieExportFaultTest, AFileLostDuringTheExportFailsItWithAnAlertNamingIt) {
    using namespace test_support;
    // EncodedSong: photos, and an M4A song; Mp3Song: photos, and a CBR MP3 song of 3 s; Backdrop, Caption: a
    // photo whose backdrop or caption picture goes; ThemePicture: photos before the theme's own picture,
    // which goes; SpoiltPhoto: a JPEG photo. A picture that goes before the first frame is refused by the
    // export's own look at every picture, in the words of the check before the export, before the play comes
    // to it. FirstPhoto: the first slide's photo, which the play comes to first; the refusal is the look's
    // all the same. LatePhoto, LateBackdrop, LateCaption: a fourth photo, whose JPEG, backdrop or caption
    // picture goes once the export has begun (its look done), before the play loads it; LateThemePicture: the
    // theme's picture, which goes then, before the first frame reads it. SlideSound: a photo with a sound of
    // its own of less than a second, which goes before the mix; ChosenSlideSound: the same sound chosen from
    // a file, which the project copied. ClipSound: a clip of 2 s with an AAC tone, whose sound goes before
    // the mix.
    enum class Third {
        Photo,
        FirstPhoto,
        Clip,
        ClipSound,
        Composition,
        EncodedSong,
        Mp3Song,
        Backdrop,
        Caption,
        ThemePicture,
        SpoiltPhoto,
        LatePhoto,
        LateBackdrop,
        LateCaption,
        LateThemePicture,
        SlideSound,
        ChosenSlideSound
    };
    const auto keepFirst = [](qint64 bytes) {
        return [bytes](const QString& file) { return QFile(file).resize(bytes); };
    };
    const auto spoilSound = [](const QString& file) { return ToneMaker::spoilEncodedFrom(file, 0.0); };
    // A copy that stopped once the index was in: the song tells its length and holds no sound.
    const auto cutBeforeSound = [](const QString& file) {
        QFile song(file);
        const qint64 sound = song.open(QIODevice::ReadOnly) ? song.readAll().indexOf("mdat") : -1;
        song.close();
        return sound > 0 && song.resize(sound + 4);
    };
    const auto shorterTone = [](const QString& file) { return ToneMaker::writeWav(file, 440.0, 0.5, 0.5f); };
    // 0.8 s of a sound of 2 s: too little for it to end clearly before its length, too much to pass as
    // silence.
    const auto spoilMiddle = [](const QString& file) {
        return ToneMaker::spoilSoundPackets(file, 0.6, 0.8) > 0;
    };
    const auto soundingClip = [&] {
        ClipMaker::Options options;
        options.size = QSize(160, 90);
        options.frames = 60;
        options.audio = true;
        EXPECT_TRUE(ClipMaker::make(folder.file("sounding.mp4"), options));
        return clipSlideOf(*project, folder.file("sounding.mp4"));
    };
    const struct {
        Third third;
        bool song; // the song (or the slide's sound, or the clip's) goes before the mix; else the slide's
                   // file goes after it
        FileLoss loss;
        bool damaged = false; // the file is there, but more than half a second of its sound is lost
    } cases[] = {
        {Third::Photo, false, {"picture taken away", takeAway}},
        {Third::Photo, false, {"picture cut to 0 bytes", cutToNothing}},
        {Third::Photo, false, {"picture spoilt", keepFirst(40)}},
        {Third::FirstPhoto, false, {"first slide's picture taken away", takeAway}},
        {Third::Clip, false, {"clip taken away", takeAway}},
        {Third::Clip, false, {"clip cut to 0 bytes", cutToNothing}},
        {Third::Clip, false, {"clip overwritten", overwriteWithGarbage}},
        {Third::Clip, false, {"clip replaced by a pipe", replaceByAPipe}},
        {Third::Composition, false, {"composition overwritten", overwriteWithGarbage}},
        {Third::Composition, false, {"composition taken away", takeAway}},
        {Third::Photo, true, {"song taken away", takeAway}},
        {Third::Photo, true, {"song overwritten", overwriteWithGarbage}},
        {Third::Photo, true, {"song cut after its header", keepFirst(44)}},
        {Third::EncodedSong, true, {"song spoilt after its index", spoilSound}},
        {Third::EncodedSong, true, {"song copied short of its sound", cutBeforeSound}},
        {Third::Photo, true, {"song replaced by a shorter one", shorterTone}},
        {Third::EncodedSong, true, {"song spoilt for 0.8 s in its middle", spoilMiddle}, true},
        {Third::ClipSound, true, {"clip's sound spoilt for 0.8 s in its middle", spoilMiddle}, true},
        {Third::Mp3Song,
         true,
         {"MP3 song spoilt for 1.2 s in its middle",
          [](const QString& file) { return ToneMaker::spoilStretch(file, 0.9, 1.2); }},
         true},
        {Third::SlideSound, true, {"slide's sound taken away", takeAway}},
        {Third::SlideSound, true, {"slide's sound overwritten", overwriteWithGarbage}},
        {Third::SlideSound, true, {"slide's sound cut after its header", keepFirst(44)}},
        {Third::ChosenSlideSound, true, {"slide's sound chosen from a file taken away", takeAway}},
        {Third::Backdrop, false, {"backdrop cut to 0 bytes", cutToNothing}},
        {Third::Caption, false, {"caption picture spoilt", overwriteWithGarbage}},
        {Third::ThemePicture, false, {"theme's picture cut to 0 bytes", cutToNothing}},
        {Third::ThemePicture, false, {"theme's picture taken away", takeAway}},
        {Third::SpoiltPhoto, false, {"picture damaged after its header", keepHeaderThenNoise}},
        {Third::SpoiltPhoto,
         false,
         {"picture cut inside its coded data, its end kept", cutInsideItsCodedData}},
        {Third::Backdrop, false, {"backdrop damaged after its header", keepHeaderThenNoise}},
        {Third::LateBackdrop, false, {"backdrop cut to 0 bytes during the export", cutToNothing}},
        {Third::LateCaption, false, {"caption picture spoilt during the export", overwriteWithGarbage}},
        {Third::LatePhoto, false, {"picture cut short during the export", cutInsideItsCodedData}},
        {Third::LateBackdrop, false, {"backdrop cut short during the export", cutInsideItsCodedData}},
        {Third::LateCaption, false, {"caption picture cut short during the export", cutInsideItsCodedData}},
        {Third::LateThemePicture,
         false,
         {"theme's picture cut short during the export", cutInsideItsCodedData}},
        {Third::LateThemePicture, false, {"theme's picture taken away during the export", takeAway}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.loss.how);
        dialogs.alerts.clear();
        makeProject();
        std::vector<SlideItemRef> slides = project->slideshowArray();
        if (c.third == Third::Clip)
            slides[2] = clipSlide(*project, folder.path(), "clip.mp4");
        else if (c.third == Third::ClipSound)
            slides[2] = soundingClip();
        else if (c.third == Third::Composition)
            slides[2] = compositionSlide(contents(), "show.vcomp");
        const bool late = c.third == Third::LatePhoto || c.third == Third::LateBackdrop ||
                          c.third == Third::LateCaption || c.third == Third::LateThemePicture;
        const bool theme = c.third == Third::ThemePicture || c.third == Third::LateThemePicture;
        if (late)
            slides.push_back(stillPhoto(contents(), "colour3.png", kSlideColours[0]));
        const std::size_t targetIndex = late ? 3 : c.third == Third::FirstPhoto ? 0 : 2;
        const SlideItemRef& target = slides[targetIndex];
        target->setStrOriginalFileName("/home/someone/Pictures/holiday.file");
        const QString picture = contents() + "/more.jpg";
        ASSERT_TRUE(ColourBars::frame(QSize(640, 360), 0).save(picture, "JPG"));
        const bool backdrop = c.third == Third::Backdrop || c.third == Third::LateBackdrop;
        const bool caption = c.third == Third::Caption || c.third == Third::LateCaption;
        if (c.third == Third::SpoiltPhoto || c.third == Third::LatePhoto)
            target->setFileName("more.jpg");
        const bool slideSound = c.third == Third::SlideSound || c.third == Third::ChosenSlideSound;
        QString voice =
            c.third == Third::ChosenSlideSound ? folder.file("voice.wav") : contents() + "/voice.wav";
        ASSERT_TRUE(ToneMaker::writeWav(voice, 660.0, 0.8, 0.5f));
        if (c.third == Third::ChosenSlideSound) // copied as the Slide Sound window copies it
            voice = contents() + "/" +
                    MusicItem::songDictionaryForImport(voice, contents()).value("pureFileName").toString();
        target->setStrSoundFileName(slideSound ? voice : QString());
        target->setBackgroudImageFileName(backdrop ? "more.jpg" : QString());
        target->setTextImageFileName(caption ? "more.jpg" : QString());
        target->setStrPhotoDescription("Off again");
        project->setStrThemeBackground(theme ? "more.jpg" : QString());
        director->backgroundRender()->setTheme({{"backgroundID", backdrop ? 0 : 2}});
        project->setSlideshowArray(slides);
        project->calcSlideItemsPhotoTransitionDuration();
        QString song = contents() + "/tone.wav";
        if (c.third == Third::EncodedSong) {
            song = contents() + "/tone.m4a";
            ASSERT_TRUE(ToneMaker::writeEncoded(song, "ipod", "aac", 440.0, 2.0, 0.5f));
            ASSERT_TRUE(ToneMaker::moveIndexFirst(song));
            project->musicArray()[0]->addEntriesFromDictionary({{"pureFileName", "tone.m4a"}});
        } else if (c.third == Third::Mp3Song) {
            song = contents() + "/tone.mp3";
            ASSERT_TRUE(ToneMaker::writeByFfmpeg(song, ToneMaker::beeps(3.0, 0.5, 0.1f), kCbrMp3));
            project->musicArray()[0]->addEntriesFromDictionary(
                {{"pureFileName", "tone.mp3"}, {"numberDuration", 3.0}});
        }
        const QString file = slideSound                    ? voice
                             : c.third == Third::ClipSound ? target->mediaFilePath()
                             : c.song                      ? song
                             : backdrop                    ? target->backgroudImageFileName()
                             : caption                     ? target->textImageFileName()
                             : theme                       ? picture
                                                           : target->mediaFilePath();
        const bool refused = !c.song && !late && c.third != Third::Clip && c.third != Third::Composition;
        std::atomic<bool> lost{false};
        std::atomic<quint64> framesDrawn{0};
        command =
            std::make_unique<MovieExportCommand>(dialogs, withFrameHook(
                                                              DirectorFrameRenderer::factory(director),
                                                              [&](quint64 drawn) { framesDrawn = drawn + 1; },
                                                              [&] {
                                                                  if (late)
                                                                      lost = c.loss.lose(file);
                                                              }));
        command->setEncoderSetup([&](EncoderController& encoder) {
            if (c.song)
                lost = c.loss.lose(file);
            else if (!late)
                encoder.setAudioMixStep(
                    [&](const SlideshowProjectRef& owner, const auto& cancelled, const auto& progress) {
                        const auto mixed = MixedAudioExport::exportProjectMix(owner, cancelled, progress);
                        lost = c.loss.lose(file);
                        return mixed;
                    });
        });
        NotificationLog notes{{MovieExportCommand::createVideoFileEndNotificationName()}};
        ASSERT_TRUE(command->startEncodingMovieFile()) << dialogs.alertText().toStdString();
        // The export's start up to the lost file: a loaded machine takes seconds over it.
        ASSERT_TRUE(
            waitFor([&] { return !command->isEncoding() || !notes.all().empty(); }, std::chrono::minutes(2)));
        EXPECT_TRUE(lost);
        EXPECT_TRUE(notes.all().empty()) << "a movie without the file called finished";
        ASSERT_EQ(dialogs.alerts.size(), 1u);
        const QString said = dialogs.alerts[0].message;
        EXPECT_TRUE(slideSound                              ? said.contains("\"voice.wav\" of slide 3")
                    : c.song && c.third != Third::ClipSound ? said.contains("\"tone\"")
                    : theme
                        ? said.contains("\"more.jpg\" of the theme")
                        : said.contains(QStringLiteral("\"holiday.file\" of slide %1").arg(targetIndex + 1)))
            << said.toStdString();
        EXPECT_EQ(said.contains("during the export"), !refused && !c.damaged) << said.toStdString();
        if (c.damaged) {
            EXPECT_TRUE(
                said.contains(" is damaged: ") &&
                said.endsWith("of its sound cannot be read. Replace it or remove it from the slideshow."))
                << said.toStdString();
        }
        if (refused) {
            // The play comes to the third slide's files once the second is on screen.
            quint64 secondOnScreen = 0;
            while (SlideshowDirector::CS_GetSlideIndexFromCurrentFrame(secondOnScreen, slides).slideIndex < 1)
                ++secondOnScreen;
            EXPECT_LT(framesDrawn.load(), secondOnScreen) << "named only once the play came to it";
            EXPECT_TRUE(said.endsWith(theme ? "The slideshow cannot be exported."
                                            : "please remove this slide, or add its file again."))
                << said.toStdString();
        }
        EXPECT_FALSE(QFileInfo::exists(project->strEncodingVideoFilePath(QSizeF(640, 360))));
        EXPECT_EQ(director->rgbConverterObject(), nullptr);
        command.reset();
        QFile::remove(file);
    }
}

// A song of a beep every second, whose reader resyncs over a stretch of spoilt bytes in its middle and
// stamps its packets by counting them: the movie is made, the stretch is silence of its own length and every
// beep after it sounds at its own second.
TEST_F(MovieExportFaultTest, ASongSpoiltForLessThanHalfASecondKeepsItsTimeInTheMovie) {
    const struct {
        const char* how;
        const char* name;
        QStringList codec;
    } cases[] = {
        {"a CBR MP3 with 0.4 s of random bytes", "beeps.mp3", kCbrMp3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        makeProject();
        for (const SlideItemRef& slide : project->slideshowArray())
            slide->customSetDurations(2.0f, 0.5f);
        project->calcSlideItemsPhotoTransitionDuration();
        const QString song = contents() + "/" + c.name;
        ASSERT_TRUE(ToneMaker::writeByFfmpeg(song, ToneMaker::beeps(6.0, 0.5, 0.1f), c.codec));
        ASSERT_TRUE(ToneMaker::spoilStretch(song, 2.6, 0.4));
        project->musicArray()[0]->addEntriesFromDictionary(
            {{"pureFileName", c.name}, {"numberDuration", 6.0}});
        NotificationLog notes{{MovieExportCommand::createVideoFileEndNotificationName()}};
        command = std::make_unique<MovieExportCommand>(dialogs, DirectorFrameRenderer::factory(director));
        ASSERT_TRUE(command->startEncodingMovieFile()) << dialogs.alertText().toStdString();
        ASSERT_TRUE(waitFor([&] {
            return notes.count(MovieExportCommand::createVideoFileEndNotificationName()) == 1;
        })) << dialogs.alertText().toStdString();
        command->endEncoding();
        EXPECT_TRUE(dialogs.alerts.empty()) << dialogs.alertText().toStdString();
        const DecodedMovie movie = DecodedMovie::decode(project->strEncodingVideoFilePath(QSizeF(640, 360)));
        ASSERT_TRUE(movie.ok) << movie.error.toStdString();
        // The song plays at the photos' music level: each beep is told by its rise over the hum.
        std::vector<float> sound = movie.audio;
        const float loudest = std::accumulate(sound.begin(), sound.end(), 0.0f, [](float most, float v) {
            return std::max(most, std::fabs(v));
        });
        ASSERT_GT(loudest, 0.0f);
        for (float& v : sound)
            v *= 0.6f / loudest;
        const std::vector<int64_t> onsets = ToneMaker::beepOnsets(sound);
        const auto beepNear = [&](double second) {
            const auto at = std::find_if(onsets.begin(), onsets.end(), [&](int64_t frame) {
                return std::fabs(double(frame) / movie.audioRate - second) < 0.45;
            });
            return at == onsets.end() ? -1.0 : double(*at) / movie.audioRate;
        };
        // Timed from the beep before the stretch, so that what the movie's sound starts with does not count.
        const double before = beepNear(1.5);
        ASSERT_GE(before, 0.0) << "no beep before the stretch";
        for (const double second : {3.5, 4.5}) {
            const double heard = beepNear(second);
            ASSERT_GE(heard, 0.0) << "no beep near " << second << " s";
            EXPECT_NEAR(heard - before, second - 1.5, 0.03) << "the beep of " << second << " s";
        }
        command.reset();
    }
}

// The clip of the third slide is cut, spoilt or taken away once the export has drawn its 10th frame, while
// its reading pass is inside it: a clip whose data goes fails the export naming it, rather than a movie
// with the clip's last good frame held over the rest; one taken away is still open and plays whole, as does
// an intact clip whose container tells a length past its last frame.
TEST_F(MovieExportFaultTest, AClipDamagedWhileTheExportReadsItFailsItNamingIt) {
    using namespace test_support;
    const QString grainy = folder.file("grain.mp4");
    ASSERT_TRUE(ClipMaker::make(grainy, ClipMaker::grain(90)));
    const QString odd = folder.file("odd.mkv"); // its pictures end 0.4 s before its sound
    QString error;
    ASSERT_TRUE(ClipMaker::makeWithFFmpeg(odd, QSize(160, 90), 2.0, 2.4, &error)) << error.toStdString();
    const QString camera = folder.file("camera.mp4"); // H.264 with its index at the end, as a camera's
    ASSERT_TRUE(ClipMaker::makeWithFFmpeg(camera, QSize(640, 360), 3.0, 3.0, &error)) << error.toStdString();
    const struct {
        QString clip;
        FileLoss loss;
        bool fails;
    } cases[] = {
        {grainy, {"clip cut to 0 bytes", cutToNothing}, true},
        {grainy, {"clip cut to half", cutToHalf}, true},
        {grainy, {"clip overwritten", overwriteWithGarbage}, true},
        {grainy, {"clip taken away", takeAway}, false},
        {camera, {"another program's clip cut to 0 bytes", cutToNothing}, true},
        {camera, {"another program's clip cut to half", cutToHalf}, true},
        {camera, {"another program's clip overwritten in place", noiseInPlace}, true},
        {odd, {"clip whose sound outlasts its pictures left alone", {}}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.loss.how);
        dialogs.alerts.clear();
        makeProject();
        std::vector<SlideItemRef> slides = project->slideshowArray();
        slides[2] = clipSlideOf(*project, c.clip);
        slides[2]->setStrOriginalFileName("/home/someone/Videos/holiday.file");
        project->setSlideshowArray(slides);
        project->calcSlideItemsPhotoTransitionDuration();
        const QString file = slides[2]->mediaFilePath();
        const quint64 tenthFrame = slides[2]->nItemStartFrameIndex() - slides[1]->nTransitionDuration() + 9;
        std::atomic<bool> lost{false};
        command = std::make_unique<MovieExportCommand>(
            dialogs, withFrameHook(DirectorFrameRenderer::factory(director), [&](quint64 drawn) {
                if (drawn == tenthFrame && c.loss.lose)
                    lost = c.loss.lose(file);
            }));
        NotificationLog notes{{MovieExportCommand::createVideoFileEndNotificationName()}};
        ASSERT_TRUE(command->startEncodingMovieFile()) << dialogs.alertText().toStdString();
        ASSERT_TRUE(
            waitFor([&] { return !command->isEncoding() || !notes.all().empty(); }, std::chrono::minutes(2)));
        EXPECT_EQ(lost, bool(c.loss.lose));
        const QString movie = project->strEncodingVideoFilePath(QSizeF(640, 360));
        if (c.fails) {
            EXPECT_TRUE(notes.all().empty()) << "a movie without the clip's frames called finished";
            ASSERT_EQ(dialogs.alerts.size(), 1u);
            const QString said = dialogs.alerts[0].message;
            EXPECT_TRUE(said.contains("\"holiday.file\" of slide 3")) << said.toStdString();
            EXPECT_TRUE(said.contains("during the export")) << said.toStdString();
            EXPECT_FALSE(QFileInfo::exists(movie));
        } else {
            command->endEncoding();
            EXPECT_TRUE(dialogs.alerts.empty()) << dialogs.alertText().toStdString();
            const DecodedMovie made = DecodedMovie::decode(movie, {});
            ASSERT_TRUE(made.ok) << made.error.toStdString();
            EXPECT_EQ(made.frameTimes.size(), project->totalFrameCount() - 1);
        }
        EXPECT_EQ(director->rgbConverterObject(), nullptr);
        command.reset();
        QFile::remove(file);
    }
}

// While the export's frame waits for a picture still being made, the window's stop and rewind of its preview
// come and go at once and leave the export alone; the picture's import then fails on its own thread, and the
// export fails naming it, with nothing asked of the main thread.
TEST_F(MovieExportFaultTest, AnExportWaitingForAPictureLeavesTheWindowFreeAndFailsWhenItsImportDoes) {
    const auto waiting = thirdSlideStillBeingMade();
    command = std::make_unique<MovieExportCommand>(dialogs, DirectorFrameRenderer::factory(director));
    ASSERT_TRUE(command->startEncodingMovieFile());
    ASSERT_TRUE(untilTheExportWaitsFor(*waiting));
    {
        const HangGuard guard("the window's stop during an export's wait", std::chrono::seconds(60));
        director->stop();
        director->resetDirector();
        director->setNCurrentFrame(0);
    }
    EXPECT_EQ(director->nCurrentFrame(), waitsAt) << "the export's play stands where it was";
    EXPECT_TRUE(command->isEncoding());
    waiting->setPictureBeingMade(false); // as the resize worker does when the photo cannot be read
    ASSERT_TRUE(waitFor([&] { return !command->isEncoding(); }, std::chrono::minutes(2)));
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_TRUE(dialogs.alerts[0].message.contains("colour2.png")) << dialogs.alertText().toStdString();
    EXPECT_EQ(director->rgbConverterObject(), nullptr);
}

TEST_F(MovieExportFaultTest, CancelEndsAnExportWhosePlayerWaitsForASlide) {
    const auto waiting = thirdSlideStillBeingMade();
    command = std::make_unique<MovieExportCommand>(dialogs, DirectorFrameRenderer::factory(director));
    ASSERT_TRUE(command->startEncodingMovieFile());
    ASSERT_TRUE(untilTheExportWaitsFor(*waiting));
    project->setBExportProgressCancelButtonClicked(true);
    command->cancelEncoding();
    // Without the cancel the export waits for good; with it, the export's threads end, which a loaded machine
    // takes seconds over.
    EXPECT_TRUE(waitFor([&] { return !command->isEncoding(); }, std::chrono::minutes(2)));
    project->setBExportProgressCancelButtonClicked(false);
    EXPECT_TRUE(dialogs.alerts.empty()) << dialogs.alertText().toStdString();
    EXPECT_EQ(director->rgbConverterObject(), nullptr);
}
