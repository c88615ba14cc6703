// The DVD command's own rules: the burn set-up's media, the slide count before any menu image is drawn, and a
// failed or cancelled step at each stage ending the command with nothing burnt (its menu:
// DVDCommandMenuTest).
#include "DVDCommandTestFixture.h"
#include "DVDTestSupport.h"
#include "support/ClipMaker.h"
#include "support/ColourBars.h"
#include "support/FileLosses.h"
#include "support/FilesBeingMade.h"
#include "support/ProjectClips.h"
#include "support/ProjectSongs.h"
#include "support/SavedRepeat.h"
#include "support/ToneMaker.h"

#include "dvd/DVDAuthorObject.h"
#include "dvd/DVDCommand.h"
#include "dvd/DVDMPEGIICreateObject.h"
#include "dvd/DVDNotifications.h"
#include "dvd/MyBurnObject.h"
#include "model/MusicItem.h"
#include "platform/disc/DiscDrive.h"
#include "platform/foundation/MainThread.h"
#include "render/SlideshowDirector.h"
#include "support/PlantedEntries.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace dvd_command_test;
using platform::disc::MediaInfo;
using platform::disc::MediaProfile;
using test_support::readBytes;

TEST(DVDCommandSetUp, OnlyTheFourWritableDVDsAreSuitable) {
    EXPECT_TRUE(DVDCommand::deviceCouldBeTarget({}));
    for (MediaProfile profile :
         {MediaProfile::DVDR, MediaProfile::DVDRW, MediaProfile::DVDPlusR, MediaProfile::DVDPlusRW}) {
        MediaInfo media;
        media.profile = profile;
        QString prompt = "unchanged";
        EXPECT_TRUE(DVDCommand::deviceContainsSuitableMedia(media, &prompt));
        EXPECT_EQ(prompt, "unchanged");
    }
    for (int code : {0x09 /* CD-R */, 0x10 /* DVD-ROM */, 0x2b /* DVD+R dual layer */, 0xffff /* a file */}) {
        MediaInfo media;
        media.profileCode = code;
        media.profile = platform::disc::mediaProfileFromCode(code);
        QString prompt;
        EXPECT_FALSE(DVDCommand::deviceContainsSuitableMedia(media, &prompt)) << code;
        EXPECT_EQ(prompt, "That's not a writable DVD!");
    }
    MediaInfo empty;
    EXPECT_FALSE(DVDCommand::deviceContainsSuitableMedia(empty, nullptr));
}

TEST_F(DVDCommandTest, ACancelledSetUpDoesNothing) {
    useSlides(3);
    NotificationLog log(center, {DVDCommand::videoInfoEditDoneNotificationName()});
    command->BurnDVDButtonClicked(nullptr);
    EXPECT_EQ(log.count(DVDCommand::videoInfoEditDoneNotificationName()), 0);
    EXPECT_FALSE(project->shareOptionsDict().contains("ServiceName"));
    EXPECT_EQ(dialogs.modalRuns, 0);
    EXPECT_EQ(command->burnObject(), nullptr);
}

TEST_F(DVDCommandTest, AuthoringWithoutAStreamDoesNothing) {
    command->StartDVDAuthorWithMPEGIIFile(QString());
    EXPECT_EQ(command->dvdAuthorObj(), nullptr);
    EXPECT_EQ(command->stage(), DVDCommand::Stage::Idle);
}

TEST_F(DVDCommandTest, TooFewSlidesAreRefusedBeforeAnyMenuImageIsDrawn) {
    for (int slides : {0, 1, 2}) {
        useSlides(slides);
        manager->setDvdMenuSlideArray(
            {platform::makeMainThreadShared<SlideItem>()}); // left by an earlier command
        dialogs.alerts.clear();
        command->BurnDVDButtonClicked(drive);
        ASSERT_EQ(dialogs.alerts.size(), 1u) << slides;
        EXPECT_EQ(dialogs.alerts[0].title, "ERROR");
        EXPECT_EQ(dialogs.alerts[0].message, "Please add at least 3 photos to get started!");
        EXPECT_TRUE(menuFrames().isEmpty()) << slides;
        EXPECT_TRUE(manager->dvdMenuSlideArray().empty());
        EXPECT_EQ(command->dvdMpegIICreateObject(), nullptr);
        EXPECT_EQ(dialogs.modalRuns, 0);
        EXPECT_EQ(command->stage(), DVDCommand::Stage::Idle);
    }
    useSlides(2);
    dialogs.alerts.clear();
    EXPECT_FALSE(command->EncodeDVDMenu());
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_EQ(dialogs.alerts[0].message, "Please add at least 3 photos to get started!");
    EXPECT_TRUE(menuFrames().isEmpty());
}

// A slide's picture or its own sound, or the menu's song, is gone, empty or spoilt before the run or the DVD
// menu's test: it is refused before its first step with one alert naming the file as the user knows it.
TEST_F(DVDCommandTest, AMissingFileRefusesTheDiscWithOneAlertNamingIt) {
    using namespace test_support;
    enum class Lost { Picture, SlideSound, MenuSong }; // the third slide's picture or sound, the menu's song
    const struct {
        Lost what;
        bool menuTest; // the DVD menu's test, else the disc
        FileLoss loss;
        QString said;
    } cases[] = {
        {Lost::Picture, false, {"picture taken away", takeAway}, "\"slide2.png\" of slide 3 is missing"},
        {Lost::Picture,
         true,
         {"picture taken away, menu test", takeAway},
         "\"slide2.png\" of slide 3 is missing"},
        {Lost::SlideSound,
         false,
         {"slide's sound taken away", takeAway},
         "\"voice.wav\" of slide 3 is missing"},
        {Lost::SlideSound,
         true,
         {"slide's sound overwritten, menu test", overwriteWithGarbage},
         "\"voice.wav\" of slide 3 is missing"},
        {Lost::MenuSong, false, {"menu song taken away", takeAway}, "The song \"Our tune\" is missing"},
        {Lost::MenuSong,
         false,
         {"menu song cut to 0 bytes", cutToNothing},
         "The song \"Our tune\" is missing"},
        {Lost::MenuSong,
         false,
         {"menu song overwritten", overwriteWithGarbage},
         "The song \"Our tune\" is missing"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.loss.how);
        dialogs.alerts.clear();
        useSlides(4);
        const QString menuSong = contents() + "/menu.wav", voice = contents() + "/voice.wav";
        ASSERT_TRUE(ToneMaker::writeWav(menuSong, 440.0, 1.0, 0.5f));
        manager->setDvdMenuBackgroundMusicArray({songNamed("menu.wav", "Our tune")});
        ASSERT_TRUE(ToneMaker::writeWav(voice, 660.0, 0.5, 0.5f));
        project->slideItemAtIndex(2)->setStrSoundFileName(voice);
        ASSERT_TRUE(c.loss.lose(c.what == Lost::MenuSong     ? menuSong
                                : c.what == Lost::SlideSound ? voice
                                                             : contents() + "/slide2.png"));
        if (c.menuTest)
            EXPECT_FALSE(command->EncodeDVDMenu());
        else
            command->BurnDVDButtonClicked(drive);
        ASSERT_EQ(dialogs.alerts.size(), 1u) << qPrintable(dialogs.alertText());
        EXPECT_EQ(dialogs.alerts[0].title, "ERROR");
        EXPECT_TRUE(dialogs.alerts[0].message.contains(c.said)) << qPrintable(dialogs.alertText());
        EXPECT_EQ(command->dvdMpegIICreateObject(), nullptr);
        EXPECT_EQ(dialogs.modalRuns, 0);
        QFile::remove(menuSong);
        QFile::remove(voice);
    }
}

// The song or the third slide's own sound is taken away or spoilt (an AAC song for less than a second in its
// middle, too little for it to end clearly before its length) once the run has passed its checks, the
// third slide's clip is cut once the show's stream has drawn the clip's 10th frame, or the last slide's photo
// is cut in half once the show's stream has drawn its first frame, or as a run with a menu sets out: the run
// fails naming the file, and burns nothing, rather than a disc whose menu and title are silent, whose clip
// stands still or whose photo is half grey. The photo that goes before the menu's pass is found beside that
// pass, before the menu's frames are all written, not once the show's own pass begins. The alert says that
// the DVD could not be made and why, in the user's terms.
TEST_F(DVDCommandTest, AFileLostDuringTheRunFailsItNamingIt) {
    using namespace test_support;
    const QString clip = folder.file("grain.mp4");
    ASSERT_TRUE(ClipMaker::make(clip, ClipMaker::grain(90)));
    const QString songLost = "The song \"tone\" went missing or became unreadable";
    const QString soundLost = "The sound \"voice.wav\" of slide 3 went missing or became unreadable";
    // The song (EncodedSong: of 2 s in AAC; Mp3Song: of 3 s in CBR MP3), the sound and PhotoBesideMenu's
    // photo as the run sets out, else a slide's file.
    enum class Lost { Song, EncodedSong, Mp3Song, SlideSound, Clip, Photo, PhotoBesideMenu };
    const auto spoilMiddle = [](const QString& file) {
        return ToneMaker::spoilSoundPackets(file, 0.6, 0.8) > 0;
    };
    const struct {
        Lost what;
        FileLoss loss;
        QString said;
    } cases[] = {
        {Lost::Song, {"song taken away", takeAway}, songLost},
        {Lost::Song, {"song overwritten", overwriteWithGarbage}, songLost},
        {Lost::EncodedSong,
         {"song spoilt for 0.8 s in its middle", spoilMiddle},
         "The song \"tone\" is damaged: 0.8 s of its sound cannot be read. Replace it or remove it"},
        {Lost::Mp3Song,
         {"MP3 song spoilt for 1.2 s in its middle",
          [](const QString& file) { return ToneMaker::spoilStretch(file, 0.9, 1.2); }},
         "The song \"tone\" is damaged: 1.2 s of its sound cannot be read. Replace it or remove it"},
        {Lost::SlideSound, {"slide's sound taken away", takeAway}, soundLost},
        {Lost::SlideSound, {"slide's sound overwritten", overwriteWithGarbage}, soundLost},
        {Lost::Clip,
         {"clip cut to 0 bytes", cutToNothing},
         "The file \"holiday.file\" of slide 3 went missing"},
        // Found by the export's look at its pictures or by the play, whichever comes to it first.
        {Lost::Photo, {"photo cut in half", cutToHalf}, "\"holiday.file\" of slide 5"},
        // Found by the look at the show's pictures that runs beside the menu's pass.
        {Lost::PhotoBesideMenu,
         {"photo cut in half before the menu", cutToHalf},
         "\"holiday.file\" of slide 5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.loss.how);
        dialogs.alerts.clear();
        const bool photo = c.what == Lost::Photo || c.what == Lost::PhotoBesideMenu;
        const bool asItSetsOut = c.what != Lost::Clip && c.what != Lost::Photo;
        // The fifth slide's photo is loaded once the third is on: the first frame comes well before.
        useSlides(photo ? 5 : 3);
        const bool encoded = c.what == Lost::EncodedSong || c.what == Lost::Mp3Song;
        const QString songName = c.what == Lost::EncodedSong ? "tone.m4a"
                                 : c.what == Lost::Mp3Song   ? "tone.mp3"
                                                             : "tone.wav";
        const QString song = contents() + "/" + songName;
        const QString voice = contents() + "/voice.wav";
        ASSERT_TRUE(
            c.what == Lost::EncodedSong ? ToneMaker::writeEncoded(song, "ipod", "aac", 440.0, 2.0, 0.5f)
            : c.what == Lost::Mp3Song   ? ToneMaker::writeByFfmpeg(song, ToneMaker::beeps(3.0, 0.5, 0.1f),
                                                                   {"-c:a", "libmp3lame", "-b:a", "128k"})
                                        : ToneMaker::writeWav(song, 440.0, 1.0, 0.5f));
        project->setMusicArray({songNamed(songName, "tone")});
        ASSERT_TRUE(ToneMaker::writeWav(voice, 660.0, 0.5, 0.5f));
        project->slideItemAtIndex(2)->setStrSoundFileName(voice);
        std::vector<SlideItemRef> slides = project->slideshowArray();
        if (c.what == Lost::Clip) {
            slides[2] = clipSlideOf(*project, clip);
            slides[2]->setStrOriginalFileName("/home/someone/Videos/holiday.file");
            project->setSlideshowArray(slides);
            project->calcSlideItemsPhotoTransitionDuration();
        } else if (photo) {
            ASSERT_TRUE(ColourBars::frame(QSize(640, 360), 0).save(contents() + "/late.jpg", "JPG"));
            slides[4]->setFileName("late.jpg");
            slides[4]->setStrOriginalFileName("/home/someone/Pictures/holiday.file");
        }
        manager->setBUseDVDMenu(asItSetsOut); // else the show's stream alone
        const QString file = c.what == Lost::Song || encoded ? song
                             : c.what == Lost::SlideSound    ? voice
                                                             : slides[photo ? 4 : 2]->mediaFilePath();
        // The show's stream tells of each frame written on the pump's thread, before it draws the next.
        const quint64 lostAfter =
            c.what == Lost::Photo ? 1
                                  : slides[2]->nItemStartFrameIndex() - slides[1]->nTransitionDuration() + 10;
        const double total = double(project->totalFrameCount());
        const QVariant framesStep = DVDMPEGIICreateObject::dictEncodingProgressStep().value("ffmmpegiidvd");
        std::atomic<bool> lost{false};
        std::atomic<int> frameReports{0}; // one a frame written, and one at each pump's end
        const auto atFrame = [&](const platform::Notification& note) {
            if (note.userInfo.value("baseinfo") != framesStep)
                return;
            ++frameReports;
            const double written = note.userInfo.value("progress").toDouble() * total;
            if (!asItSetsOut && std::llround(written) == qint64(lostAfter))
                lost = c.loss.lose(file);
        };
        const platform::ObserverHandle frames(
            center, center.addObserver(DVDMPEGIICreateObject::progressNotificationName(), atFrame));
        command->setCreatorSetup([&](DVDMPEGIICreateObject& creator) {
            creator.setCancelPolling(std::chrono::milliseconds(20), 5);
            if (asItSetsOut)
                lost = c.loss.lose(file);
        });
        command->BurnDVDButtonClicked(drive);
        ASSERT_TRUE(commandEnds());
        EXPECT_TRUE(lost);
        ASSERT_EQ(dialogs.alerts.size(), 1u) << qPrintable(dialogs.alertText());
        const QString said = dialogs.alerts[0].message;
        EXPECT_TRUE(said.contains(c.said)) << qPrintable(said);
        // Said as the DVD not made, without the run's own names for its parts; a show's photo is no fault of
        // the menu's.
        EXPECT_TRUE(said.startsWith("The DVD could not be made.\n")) << qPrintable(said);
        for (const char* internal : {"step", "frames", "background music", "stream"})
            EXPECT_FALSE(said.contains(internal)) << qPrintable(said);
        if (photo) {
            EXPECT_FALSE(said.contains("menu")) << qPrintable(said);
        }
        EXPECT_EQ(command->myburnObj(), nullptr);
        expectNothingBurntAndProjectRestored();
        if (c.what == Lost::PhotoBesideMenu) {
            EXPECT_LE(quint64(frameReports.load()),
                      project->totalFrameCountFromArray(manager->dvdMenuSlideArray()))
                << "the menu's frames were all written before the run failed";
        }
        QFile::remove(file);
    }
}

TEST_F(DVDCommandTest, AFailedEncodeIsNamedAndNothingIsAuthoredOrBurnt) {
    dvd_test::FakeTools tools;
    tools.add("ffmpeg", "echo 'Conversion failed!' >&2\nexit 1");
    useSlides(3);
    NotificationLog log(center, {DVDMPEGIICreateObject::movieFinishedNotificationName()});
    command->BurnDVDButtonClicked(drive);
    EXPECT_EQ(dialogs.modalRuns, 1);
    ASSERT_TRUE(commandEnds());
    expectStepAlert("ffmpeg");
    EXPECT_TRUE(dialogs.alerts[0].message.contains("Conversion failed!"));
    EXPECT_EQ(dialogs.modalEnds, 1);
    EXPECT_EQ(log.count(DVDMPEGIICreateObject::movieFinishedNotificationName()), 0);
    EXPECT_EQ(command->dvdAuthorObj(), nullptr);
    EXPECT_EQ(command->myburnObj(), nullptr);
    EXPECT_EQ(director->rgbConverterObject(), nullptr);
    expectNothingBurntAndProjectRestored();
}

TEST_F(DVDCommandTest, AFailedAuthoringIsNamedAndNothingIsBurnt) {
    dvd_test::FakeTools tools;
    tools.add("dvdauthor", "echo 'ERR: no video stream' >&2\nexit 2");
    useSlides(3);
    manager->setBUseDVDMenu(false);
    command->BurnDVDButtonClicked(drive);
    ASSERT_TRUE(commandEnds());
    expectStepAlert("dvdauthor");
    EXPECT_NE(command->dvdAuthorObj(), nullptr);
    EXPECT_EQ(command->myburnObj(), nullptr);
    EXPECT_EQ(dialogs.modalEnds, 1);
    expectNothingBurntAndProjectRestored();
}

TEST_F(DVDCommandTest, ADiscImageWithoutASizeIsNeverBurnt) {
    dvd_test::FakeTools tools;
    tools.add("mkisofs", "exit 1");
    useSlides(3);
    manager->setBUseDVDMenu(false);
    command->BurnDVDButtonClicked(drive);
    ASSERT_TRUE(commandEnds());
    expectStepAlert("mkisofs");
    ASSERT_NE(command->myburnObj(), nullptr);
    expectNothingBurntAndProjectRestored();
}

// Another program puts something into the disc folder as the menu's buttons are laid, as dvdauthor starts or
// once it has authored: the disc is never made of it. The run ends with the step's alert naming it, nothing
// is burnt, and what a link points to is neither written by dvdauthor nor put on the disc.
TEST_F(DVDCommandTest, WhatAnotherProgramPutsIntoTheDiscFolderIsNeverBurnt) {
    TempDir users; // the user's own files, which a link points to
    const QString diary = users.file("diary.txt");
    const QString own = users.file("own");
    ASSERT_TRUE(test_support::writeBytes(diary, "a private file"));
    ASSERT_TRUE(QDir().mkpath(own));
    ASSERT_TRUE(test_support::writeBytes(own + "/keep", "keep"));
    const QString disc = DVDAuthorObject::temporaryPaths(DVDProjectSettings()).value(0);
    struct Case {
        const char* what;
        QString named;                // what the alert names
        QByteArray asDvdauthorStarts; // run by dvdauthor's stand-in before the real one
        std::function<bool()> onceAuthored;
        // Run by spumux's stand-in before the real one (the disc has a menu then).
        QByteArray asButtonsAreLaid = {};
    };
    const Case cases[] = {
        {"a link to a file of the user's, once authored",
         disc + "/VIDEO_TS/NOTES.TXT",
         {},
         [&] { return QFile::link(diary, disc + "/VIDEO_TS/NOTES.TXT"); }},
        {"a hard link to a file of the user's, once authored",
         disc + "/VIDEO_TS/NOTES.TXT",
         {},
         [&] {
             return ::link(QFile::encodeName(diary).constData(),
                           QFile::encodeName(disc + "/VIDEO_TS/NOTES.TXT").constData()) == 0;
         }},
        {"a hard link to a file of the user's at a name dvdauthor writes, as the menu's buttons are laid",
         disc + "/VIDEO_TS/VIDEO_TS.IFO",
         {},
         nullptr,
         "ln " + dvd_test::quoted(diary) + " " + dvd_test::quoted(disc + "/VIDEO_TS/VIDEO_TS.IFO")},
        {"a link to a folder of the user's at VIDEO_TS, as dvdauthor starts", disc + "/VIDEO_TS/own",
         "ln -s " + dvd_test::quoted(own) + " " + dvd_test::quoted(disc + "/VIDEO_TS"), nullptr},
        {"a pipe, once authored",
         disc + "/AUDIO_TS/PIPE",
         {},
         [&] { return ::mkfifo(QFile::encodeName(disc + "/AUDIO_TS/PIPE").constData(), 0600) == 0; }},
        {"a socket, once authored",
         disc + "/VIDEO_TS/SOCKET",
         {},
         [&] { return test_support::plantSocket(disc + "/VIDEO_TS/SOCKET"); }},
    };
    useSlides(3);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        dvd_test::FakeTools tools;
        if (!c.asDvdauthorStarts.isEmpty())
            tools.wrap("dvdauthor", c.asDvdauthorStarts);
        if (!c.asButtonsAreLaid.isEmpty())
            tools.wrap("spumux", c.asButtonsAreLaid);
        manager->setBUseDVDMenu(!c.asButtonsAreLaid.isEmpty());
        // Heard before the command hears it, so the burn starts only once the entry is there.
        command.reset();
        const platform::ObserverHandle planter(
            center, center.addObserver(kNotifyDVDAuthorFinishedOK, [&c](const platform::Notification&) {
                if (c.onceAuthored) {
                    EXPECT_TRUE(c.onceAuthored());
                }
            }));
        command = std::make_unique<DVDCommand>(director, dialogs, center);
        dialogs.alerts.clear();
        command->BurnDVDButtonClicked(drive);
        ASSERT_TRUE(commandEnds());
        expectStepAlert("dvdauthor");
        EXPECT_TRUE(dialogs.alertText().contains(c.named)) << qPrintable(dialogs.alertText());
        expectNothingBurntAndProjectRestored();
        EXPECT_EQ(readBytes(diary), "a private file");
        EXPECT_EQ(QDir(own).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                  QStringList{"keep"});
    }
}

TEST_F(DVDCommandTest, ACancelWhileEncodingEndsTheCommandQuietly) {
    dvd_test::FakeTools tools;
    tools.add("ffmpeg", touchMarker() + "exec sleep 60");
    useSlides(3);
    NotificationLog log(center, {DVDMPEGIICreateObject::movieFinishedNotificationName()});
    command->BurnDVDButtonClicked(drive);
    ASSERT_TRUE(spinUntil([&] { return QFile::exists(marker()); }));
    EXPECT_EQ(command->stage(), DVDCommand::Stage::Encoding);
    project->setBExportProgressCancelButtonClicked(true); // what the progress window does
    center.post(kNotifyCancelEncodingVideo);
    ASSERT_TRUE(commandEnds());
    EXPECT_TRUE(dialogs.alerts.empty()) << qPrintable(dialogs.alertText());
    EXPECT_EQ(command->dvdMpegIICreateObject()->end(), DVDMPEGIICreateObject::End::Cancelled);
    EXPECT_EQ(log.count(DVDMPEGIICreateObject::movieFinishedNotificationName()), 0);
    EXPECT_EQ(command->dvdAuthorObj(), nullptr);
    expectNothingBurntAndProjectRestored();
}

TEST_F(DVDCommandTest, ACancelWhileAuthoringEndsTheCommandQuietly) {
    dvd_test::FakeTools tools;
    tools.add("dvdauthor", touchMarker() + "exec sleep 60");
    useSlides(3);
    manager->setBUseDVDMenu(false);
    command->BurnDVDButtonClicked(drive);
    ASSERT_TRUE(spinUntil([&] { return QFile::exists(marker()); }));
    EXPECT_EQ(command->stage(), DVDCommand::Stage::Authoring);
    center.post(kNotifyCancelEncodingVideo);
    ASSERT_TRUE(commandEnds());
    EXPECT_TRUE(dialogs.alerts.empty()) << qPrintable(dialogs.alertText());
    EXPECT_EQ(command->myburnObj(), nullptr);
    expectNothingBurntAndProjectRestored();
}

// Cancel while the disc image file is being burnt: the burn stops where it is, the file keeps the image it
// held, nothing partial stays beside it, and the burn's window says that nothing was written.
TEST_F(DVDCommandTest, ACancelWhileBurningKeepsTheImageFileAndSaysNothingWasWritten) {
    const QString images = folder.file("images");
    ASSERT_TRUE(QDir().mkpath(images));
    const QString imageFile = images + "/Trip.iso";
    ASSERT_TRUE(test_support::writeBytes(imageFile, "an earlier image"));
    QString error;
    const auto imageDrive = platform::disc::DiscDrive::openImageFile(imageFile, &error);
    ASSERT_TRUE(imageDrive) << qPrintable(error);
    // Measured 64 blocks, the stream gives 10 and the rest only once the test lets it: a burn that went on
    // after the Cancel would complete.
    const QString rest = folder.file("rest");
    dvd_test::FakeTools tools;
    tools.add("mkisofs", "if [ \"$1\" = -print-size ]; then echo 64; exit; fi\nhead -c 20480 /dev/zero\n" +
                             touchMarker() + "for i in $(seq 600); do [ -e " + dvd_test::quoted(rest) +
                             " ] && break; sleep 0.1; done\nhead -c 110592 /dev/zero\n");
    useSlides(3);
    manager->setBUseDVDMenu(false); // a shorter encode
    command->BurnDVDButtonClicked(imageDrive);
    ASSERT_TRUE(spinUntil([&] { return QFile::exists(marker()); })) << qPrintable(dialogs.alertText());
    ASSERT_EQ(command->stage(), DVDCommand::Stage::Burning);
    project->setBExportProgressCancelButtonClicked(true); // what the burn's window does
    center.post(kNotifyCancelEncodingVideo);
    ASSERT_TRUE(test_support::writeBytes(rest, ""));
    ASSERT_TRUE(commandEnds());

    EXPECT_TRUE(dialogs.alerts.empty()) << qPrintable(dialogs.alertText());
    EXPECT_EQ(command->myburnObj()->wait().outcome, platform::disc::BurnOutcome::Cancelled);
    EXPECT_TRUE(dialogs.burnResults.isEmpty()) << qPrintable(dialogs.burnResults.join(" | "));
    const QString said = "The burn was cancelled. Nothing was written to the disc image " + imageFile + ".";
    EXPECT_EQ(dialogs.burnCancels.join(" | ").toStdString(), said.toStdString());
    EXPECT_EQ(readBytes(imageFile), "an earlier image") << "the image file was replaced";
    EXPECT_EQ(QDir(images).entryList(QDir::Files | QDir::Hidden), QStringList{"Trip.iso"});
    for (const QString& path : DVDAuthorObject::temporaryPaths(DVDProjectSettings()))
        EXPECT_FALSE(QFileInfo::exists(path)) << qPrintable(path);
    EXPECT_EQ(command->burnObject(), nullptr) << "the drive stays held after the run";
    EXPECT_EQ(dialogs.offMainThreadCalls(), 0);
}

TEST_F(DVDCommandTest, DroppingTheCommandMidEncodeEndsItsThreadsAndItsFFmpeg) {
    dvd_test::FakeTools tools;
    const QByteArray pidFile = QFile::encodeName(folder.file("ffmpeg.pid"));
    tools.add("ffmpeg", "echo $$ > \"" + pidFile + ".tmp\"\nmv \"" + pidFile + ".tmp\" \"" + pidFile +
                            "\"\nexec sleep 60");
    useSlides(3);
    command->BurnDVDButtonClicked(drive);
    ASSERT_TRUE(spinUntil([&] { return QFile::exists(folder.file("ffmpeg.pid")); }));
    QFile file(folder.file("ffmpeg.pid"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const pid_t pid = pid_t(file.readAll().trimmed().toInt());
    ASSERT_GT(pid, 0);
    const std::weak_ptr<DVDMPEGIICreateObject> creator = command->dvdMpegIICreateObject();
    command.reset();
    EXPECT_TRUE(creator.expired()) << "the creator's driver still runs";
    EXPECT_EQ(::kill(pid, 0), -1) << "ffmpeg still runs";
    EXPECT_EQ(director->rgbConverterObject(), nullptr);
    QCoreApplication::processEvents(); // what the command queued finds nobody
    EXPECT_TRUE(dialogs.alerts.empty()) << qPrintable(dialogs.alertText());
}

// The Cancel comes on the very notification that hands the work to the next step, before the command
// itself hears of it: nothing may be authored or burnt after it.
TEST_F(DVDCommandTest, ACancelWhileOneStepHandsOverToTheNextEndsTheCommand) {
    useSlides(3);
    manager->setBUseDVDMenu(false);
    for (const QString& handOver :
         {DVDMPEGIICreateObject::movieFinishedNotificationName(), QString(kNotifyDVDAuthorFinishedOK)}) {
        SCOPED_TRACE(handOver.toStdString());
        command.reset();
        const platform::ObserverHandle canceller(
            center, center.addObserver(handOver, [this](const platform::Notification&) {
                project->setBExportProgressCancelButtonClicked(true);
                center.post(kNotifyCancelEncodingVideo);
            }));
        command = std::make_unique<DVDCommand>(director, dialogs, center);
        command->BurnDVDButtonClicked(drive);
        ASSERT_TRUE(commandEnds());
        EXPECT_TRUE(dialogs.alerts.empty()) << qPrintable(dialogs.alertText());
        if (handOver != kNotifyDVDAuthorFinishedOK) {
            EXPECT_EQ(command->dvdAuthorObj(), nullptr) << "authored after a Cancel";
        }
        EXPECT_EQ(command->myburnObj(), nullptr) << "burnt after a Cancel";
        expectNothingBurntAndProjectRestored();
        project->setBExportProgressCancelButtonClicked(false);
    }
}

TEST_F(DVDCommandTest, TheShowsStreamAloneIsMadeAndKeptWithoutMenuAuthoringOrBurn) {
    dvd_test::FakeTools tools;
    // Reads every frame of the pipe, notes the file it writes (named to it through the creator's descriptor),
    // and writes a stream of one byte there.
    tools.add("ffmpeg", kFFmpegInputs + "readlink -f \"$a\" >> " + QFile::encodeName(folder.file("runs")) +
                            "\ncat \"$video\" > /dev/null\nprintf x > \"$a\"");
    useSlides(3);
    NotificationLog log(center, {DVDMPEGIICreateObject::movieFinishedNotificationName()});
    ASSERT_TRUE(command->createDVDMPEGIIFile()) << qPrintable(dialogs.alertText());
    EXPECT_EQ(test_support::repeatSavedNow(*project), std::optional(true)) << "what a save meanwhile writes";
    ASSERT_TRUE(commandEnds());
    EXPECT_TRUE(dialogs.alerts.empty()) << qPrintable(dialogs.alertText());
    EXPECT_EQ(dialogs.modalEnds, 1);
    // The command ends from its own observer of the notice, which may run before the log's.
    ASSERT_TRUE(
        spinUntil([&] { return log.count(DVDMPEGIICreateObject::movieFinishedNotificationName()) > 0; }));
    EXPECT_EQ(log.count(DVDMPEGIICreateObject::movieFinishedNotificationName()), 1);
    const QString encoded = project->strEncodingVideoFilePath(QSizeF(960, 540));
    const QString stream = encoded.left(encoded.lastIndexOf('.')) + ".mpg";
    EXPECT_EQ(QString::fromUtf8(readBytes(folder.file("runs"))), stream + "\n") << "one run, for the show";
    EXPECT_EQ(QFileInfo(stream).size(), 1) << "the stream is the caller's";
    EXPECT_TRUE(menuFrames().isEmpty());
    EXPECT_TRUE(manager->dvdMenuSlideArray().empty());
    EXPECT_EQ(command->dvdAuthorObj(), nullptr);
    EXPECT_EQ(command->myburnObj(), nullptr);
    EXPECT_TRUE(project->bPlayLoop());
}

TEST_F(DVDCommandTest, AStreamPickedInAnOpenPanelIsAuthoredAndBurntAndStaysTheUsers) {
    useSlides(3);
    EXPECT_FALSE(command->StartDVDAuthor()) << "the open panel was cancelled";
    EXPECT_EQ(dialogs.mpegOpenPanels, 1);
    EXPECT_EQ(dialogs.burnSetups, 0);
    const QString stream = folder.file("picked.mpg");
    ASSERT_TRUE(dvd_test::makeDvdStream(stream, 2.0, false, true));
    dialogs.mpegOpenAnswers = {stream};
    EXPECT_FALSE(command->StartDVDAuthor()) << "no drive was chosen";
    EXPECT_EQ(dialogs.burnSetups, 1);
    EXPECT_EQ(command->dvdAuthorObj(), nullptr);

    dialogs.mpegOpenAnswers = {stream};
    dialogs.burnSetupAnswers = {drive};
    ASSERT_TRUE(command->StartDVDAuthor());
    EXPECT_EQ(dialogs.modalRuns, 1);
    ASSERT_TRUE(commandEnds());
    EXPECT_TRUE(dialogs.alerts.empty()) << qPrintable(dialogs.alertText());
    ASSERT_NE(command->dvdAuthorObj(), nullptr);
    EXPECT_EQ(command->dvdAuthorObj()->videoFilePath(), stream);
    EXPECT_TRUE(command->dvdAuthorObj()->menuVideoFilePath().isEmpty()) << "no menu stream lies beside it";
    ASSERT_EQ(dialogs.burnResults.size(), 1);
    EXPECT_TRUE(dialogs.burnResults[0].contains(image())) << qPrintable(dialogs.burnResults[0]);
    EXPECT_EQ(dvd_test::listIso(image()).volumeId, "Corvanta");
    EXPECT_GT(QFileInfo(stream).size(), 0) << "the picked stream is the user's";
    for (const QString& path : DVDAuthorObject::temporaryPaths(DVDProjectSettings()))
        EXPECT_FALSE(QFileInfo::exists(path)) << qPrintable(path);
    EXPECT_EQ(dialogs.offMainThreadCalls(), 0);

    // A drive kept from a burn into an image file has recorded its one image: another stream asks for a
    // drive again.
    QString error;
    const auto spent = platform::disc::DiscDrive::openImageFile(folder.file("once.iso"), &error);
    ASSERT_TRUE(spent) << qPrintable(error);
    spent->discardImage();
    command->setBurnObject(spent);
    dialogs.mpegOpenAnswers = {stream};
    EXPECT_FALSE(command->StartDVDAuthor()) << "the set-up was cancelled";
    EXPECT_EQ(dialogs.burnSetups, 3);
}

// However a disc run ends, it lets go of every file it opened: the menu's pictures in the project, the disc
// image, and the temporary files and disc folder it removed, whose space a descriptor kept would hold.
TEST_F(DVDCommandTest, ARunHoldsNoFileOpenOnceItEnds) {
    const QString trip = folder.file("Trip.iso");
    const struct {
        const char* name;
        QByteArray dvdauthor; // a stand-in's script, or empty for the real one
        bool cancel;
    } ends[] = {
        {"a disc image written", {}, false},
        {"dvdauthor failing", "echo 'ERR: no video stream' >&2\nexit 2", false},
        {"a cancel while authoring", touchMarker() + "exec sleep 60", true},
    };
    useSlides(3);
    drive.reset(); // the fixture's own drive, which holds its image open
    for (const auto& end : ends) {
        SCOPED_TRACE(end.name);
        QFile::remove(marker());
        dialogs.alerts.clear();
        dvd_test::FakeTools tools;
        if (!end.dvdauthor.isEmpty())
            tools.add("dvdauthor", end.dvdauthor);
        QString error;
        auto imageDrive = platform::disc::DiscDrive::openImageFile(trip, &error);
        ASSERT_TRUE(imageDrive) << qPrintable(error);
        command->BurnDVDButtonClicked(std::move(imageDrive));
        if (end.cancel) {
            ASSERT_TRUE(spinUntil([&] { return QFile::exists(marker()); }))
                << qPrintable(dialogs.alertText());
            center.post(kNotifyCancelEncodingVideo);
        }
        ASSERT_TRUE(commandEnds());
        EXPECT_EQ(dialogs.alerts.empty(), end.dvdauthor.isEmpty() || end.cancel)
            << qPrintable(dialogs.alertText());
        EXPECT_EQ(test_support::descriptorsInside(folder.path()), QStringList());
    }
    EXPECT_GT(QFileInfo(trip).size(), 0) << "the first run wrote the image";
}
