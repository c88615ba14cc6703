// The whole DVD command on a project of three pictures the test draws: the menu's images and slides, the
// menu's mix and the project's, the menu pass and the slideshow pass rendered by the real player and
// encoded by the real ffmpeg, the buttons, the authoring, the disc image, and the burn into the disc
// library's pseudo-drive file. Everything is read back with tools of our own choosing.
#include "DVDCommandTestSupport.h"
#include "DVDTestSupport.h"

#include "dvd/DVDAuthorObject.h"
#include "dvd/DVDCommand.h"
#include "dvd/DVDMPEGIICreateObject.h"
#include "dvd/DVDMenuItem.h"
#include "dvd/DVDNotifications.h"
#include "dvd/MyBurnObject.h"
#include "dvd/SpumuxObject.h"
#include "platform/disc/DiscDrive.h"
#include "platform/foundation/ChildProcess.h"
#include "render/SlideshowDirector.h"
#include "support/MediaProbe.h"
#include "support/WithoutProc.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cmath>
#include <set>

using namespace dvd_command_test;
using platform::disc::BurnOutcome;

namespace {

struct DiscRun {
    const char* name;
    bool pal;
    bool menu;
    bool wide;
    bool withoutProc; // no path leads to the process's own descriptors
};

void PrintTo(const DiscRun& run, std::ostream* out) {
    *out << run.name;
}

// The DVD folder as dvdauthor's own reader puts it back into a control file.
QString unauthored(const QString& folder, const QString& work) {
    QDir().mkpath(work);
    platform::ChildProcess::Options options;
    options.program = "dvdunauthor";
    options.arguments = {folder};
    options.workingFolder = work;
    EXPECT_TRUE(platform::ChildProcess::run(options));
    QFile file(work + "/dvdauthor.xml");
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString withoutExtension(const QString& path) {
    return path.left(path.lastIndexOf('.'));
}

} // namespace

class DVDEndToEndTest : public DVDRenderTest, public ::testing::WithParamInterface<DiscRun> {
protected:
    void expectDVDStream(const QString& path, quint64 frames) {
        const DiscRun run = GetParam();
        const MediaProbe probe = MediaProbe::probe(path);
        ASSERT_TRUE(probe.ok) << qPrintable(path) << ": " << qPrintable(probe.error);
        EXPECT_EQ(probe.formatName, "mpeg");
        const MediaProbe::Stream* video = probe.firstOfType("video");
        ASSERT_NE(video, nullptr);
        EXPECT_EQ(video->codec, "mpeg2video");
        EXPECT_EQ(video->width, 720);
        EXPECT_EQ(video->height, run.pal ? 576 : 480);
        const double rate = run.pal ? 25.0 : 30000.0 / 1001.0;
        EXPECT_NEAR(video->frameRate, rate, 0.01);
        EXPECT_NEAR(video->displayAspect, run.wide ? 16.0 / 9.0 : 4.0 / 3.0, 0.02);
        // The rendered frames at 30 per second, converted to the TV system's rate.
        EXPECT_NEAR(video->packets, double(frames) / 30.0 * rate, 2.0) << qPrintable(path);
        const MediaProbe::Stream* audio = probe.firstOfType("audio");
        ASSERT_NE(audio, nullptr);
        EXPECT_EQ(audio->codec, "mp2");
        EXPECT_EQ(audio->channels, 2);
        EXPECT_EQ(audio->sampleRate, 48000);
    }

    void expectAuthoredFolder(const QString& dvdFolder) {
        const bool menu = GetParam().menu;
        const QString xml = unauthored(dvdFolder, folder.file("unauthored"));
        EXPECT_EQ(xml.count("<titleset"), 1);
        EXPECT_EQ(xml.count("<pgc>"), 1) << "one title";
        // The ten chapter marks at each tenth of the show, in whole seconds, fall on few distinct seconds of
        // a short show; each distinct one begins a chapter.
        std::set<qint64> marks;
        const double total = project->slideshowTotalDuration();
        for (int k = 0; k < 10; ++k)
            marks.insert(qint64(std::trunc(k * total / 10)));
        const qsizetype expectedChapters = qsizetype(marks.size());
        ASSERT_GE(expectedChapters, 2) << "the show is too short to tell chapters apart";
        const qsizetype chapters = xml.count(QRegularExpression("chapter=\"1\""));
        EXPECT_EQ(chapters, expectedChapters) << qPrintable(xml);
        EXPECT_TRUE(xml.contains("jump chapter 1;"));
        EXPECT_EQ(xml.contains("<menus"), menu);
        EXPECT_EQ(xml.count("<button name="), menu ? 1 : 0);
        // The first play shows the menu, or else starts the title.
        EXPECT_EQ(xml.contains("jump vmgm menu entry title;"), menu);
    }

    void expectImage(const QString& image) {
        const dvd_test::IsoListing listing = dvd_test::listIso(image);
        EXPECT_EQ(listing.volumeId, "Corvanta");
        for (const char* name :
             {"/VIDEO_TS/VIDEO_TS.IFO;1", "/VIDEO_TS/VTS_01_0.IFO;1", "/VIDEO_TS/VTS_01_1.VOB;1"})
            EXPECT_TRUE(listing.files.contains(name)) << name;
        EXPECT_EQ(listing.files.contains("/VIDEO_TS/VIDEO_TS.VOB;1"), GetParam().menu);
        // The long listing names the same files.
        QByteArray longListing;
        EXPECT_TRUE(dvd_test::runProgram("isoinfo", {"-l", "-i", image}, &longListing));
        EXPECT_TRUE(longListing.contains("VIDEO_TS.IFO;1"));
        EXPECT_TRUE(longListing.contains("VTS_01_1.VOB;1"));
    }
};

TEST_P(DVDEndToEndTest, TheProjectBecomesABurntDisc) {
    const DiscRun run = GetParam();
    useSlides(3);
    project->setBTVSystemPAL(run.pal);
    project->setBDVDVideoAspect16_9(run.wide);
    project->setBPlayLoop(true);
    manager->setBUseDVDMenu(run.menu);
    manager->setDvdTitle("Our summer");
    manager->setDvdSubtitle("Three pictures");

    const QString image = folder.file("disc.img");
    QString error;
    const auto drive =
        platform::disc::DiscDrive::open(platform::disc::DiscDrive::pseudoDriveAddress(image), &error);
    ASSERT_TRUE(drive) << qPrintable(error);
    // The set-up's rule refuses a file for a medium, so the test chooses the drive itself.
    QString prompt;
    EXPECT_FALSE(DVDCommand::deviceContainsSuitableMedia(drive->mediaInfo(), &prompt));
    EXPECT_EQ(prompt, "That's not a writable DVD!");

    RecordingDialogs dialogs;
    NotificationLog log(center,
                        {DVDMPEGIICreateObject::movieFinishedNotificationName(), kNotifyDVDAuthorFinishedOK,
                         kNotifyDVDAuthorProgress, DVDMPEGIICreateObject::progressNotificationName()});
    DVDCommand command(director, dialogs, center);
    // The run's files are gone once the command ends: copies are kept as the authoring hands over.
    const QString stream = withoutExtension(project->strEncodingVideoFilePath(QSizeF(960, 540))) + ".mpg";
    const QString menuStream = withoutExtension(stream) + "_dvdmenu.mpg";
    const QString kept = folder.file("kept");
    const platform::ObserverHandle keeper(
        center, center.addObserver(kNotifyDVDAuthorFinishedOK, [&](const auto&) {
            platform::ChildProcess::Options copy;
            copy.program = "cp";
            copy.arguments = {"-a", stream, QFileInfo(menuStream).exists() ? menuStream : stream,
                              command.dvdAuthorObj()->strOutputDVDFolder(), folder.path() + "/"};
            QDir().mkpath(kept);
            copy.arguments.last() = kept;
            EXPECT_TRUE(platform::ChildProcess::run(copy));
        }));
    {
        const test_support::WithoutProc procAbsent(run.withoutProc);
        command.BurnDVDButtonClicked(drive);
        ASSERT_EQ(dialogs.modalRuns, 1) << qPrintable(dialogs.alertText());
        ASSERT_TRUE(spinUntil([&] { return command.stage() == DVDCommand::Stage::Idle; }));
    }
    EXPECT_EQ(manager->dvdMenuSlideArray().size(), 3u);
    EXPECT_TRUE(dialogs.alerts.empty()) << qPrintable(dialogs.alertText());
    EXPECT_EQ(dialogs.modalEnds, 1);
    ASSERT_NE(command.myburnObj(), nullptr);
    const platform::disc::BurnResult burnt = command.myburnObj()->wait();
    EXPECT_EQ(burnt.outcome, BurnOutcome::Succeeded) << qPrintable(burnt.message);
    EXPECT_TRUE(burnt.verified);
    EXPECT_EQ(log.count(DVDMPEGIICreateObject::movieFinishedNotificationName()), 1);
    EXPECT_EQ(log.count(kNotifyDVDAuthorFinishedOK), 1);
    EXPECT_GT(log.count(kNotifyDVDAuthorProgress), 0);
    // The sound is mixed in the first stage, the frames fill the second; each pass's frames end at 100%.
    std::vector<double> frameProgress;
    for (const platform::Notification& note : log.all())
        if (note.name == DVDMPEGIICreateObject::progressNotificationName() &&
            note.userInfo.value("baseinfo").toMap().value("start").toDouble() == 0.1)
            frameProgress.push_back(note.userInfo.value("progress").toDouble());
    ASSERT_FALSE(frameProgress.empty());
    EXPECT_EQ(std::count(frameProgress.begin(), frameProgress.end(), 1.0), run.menu ? 4 : 2)
        << "the last frame of each pass, then the end of its pump";
    EXPECT_TRUE(
        std::all_of(frameProgress.begin(), frameProgress.end(), [](double p) { return p > 0 && p <= 1; }));

    expectDVDStream(kept + "/" + QFileInfo(stream).fileName(), project->totalFrameCount());
    const QString keptMenu = kept + "/" + QFileInfo(menuStream).fileName();
    if (run.menu)
        expectDVDStream(keptMenu, project->totalFrameCountFromArray(manager->dvdMenuSlideArray()));
    else
        EXPECT_FALSE(QFileInfo::exists(keptMenu));
    expectAuthoredFolder(kept + "/tttDVD1");
    expectImage(image);
    const QStringList runFiles = DVDAuthorObject::temporaryPaths({}) << stream << menuStream;
    for (const QString& left : runFiles)
        EXPECT_FALSE(QFileInfo::exists(left)) << "left behind: " << qPrintable(left);

    // What the command changed for the encode is put back.
    EXPECT_TRUE(project->bPlayLoop());
    EXPECT_EQ(SlideshowProject::ulFrameRate(), 30u);
    EXPECT_EQ(director->rgbConverterObject(), nullptr) << "the player is back in preview mode";
}

INSTANTIATE_TEST_SUITE_P(Discs, DVDEndToEndTest,
                         ::testing::Values(DiscRun{"NtscWithMenuWide", false, true, true, false},
                                           DiscRun{"NtscWithoutMenu", false, false, false, false},
                                           DiscRun{"PalWithMenu", true, true, false, false},
                                           DiscRun{"PalWithMenuWithoutProc", true, true, false, true}),
                         [](const auto& info) { return std::string(info.param.name); });

class DVDLinksEndToEndTest : public DVDRenderTest {};

// Links planted at every fixed name of a DVD run are replaced, never written through, and the run leaves
// none of its files behind.
TEST_F(DVDLinksEndToEndTest, PlantedLinksKeepTheirTargetsAndTheRunLeavesNothing) {
    useSlides(3);
    manager->setBUseDVDMenu(true);
    const QString stream = withoutExtension(project->strEncodingVideoFilePath(QSizeF(960, 540))) + ".mpg";
    QStringList names = DVDAuthorObject::temporaryPaths({});
    names << stream << withoutExtension(stream) + "_dvdmenu.mpg"
          << DVDMPEGIICreateObject::strTempM4AAudioFullPath()
          << DVDMPEGIICreateObject::strTempM2VVideoFullPath() << DVDMPEGIICreateObject::strVideoFIFOName()
          << DVDMPEGIICreateObject::strAudioFIFOName();
    for (qsizetype i = 0; i < names.size(); ++i) {
        ASSERT_TRUE(test_support::writeBytes(folder.file(QString("target-%1").arg(i)), "keep"));
        ASSERT_TRUE(QFile::link(folder.file(QString("target-%1").arg(i)), names[i])) << qPrintable(names[i]);
    }
    QString error;
    const auto drive = platform::disc::DiscDrive::open(
        platform::disc::DiscDrive::pseudoDriveAddress(folder.file("disc.img")), &error);
    ASSERT_TRUE(drive) << qPrintable(error);
    RecordingDialogs dialogs;
    DVDCommand command(director, dialogs, center);
    command.BurnDVDButtonClicked(drive);
    ASSERT_TRUE(spinUntil([&] { return command.stage() == DVDCommand::Stage::Idle; }));
    EXPECT_TRUE(dialogs.alerts.empty()) << qPrintable(dialogs.alertText());
    ASSERT_NE(command.myburnObj(), nullptr);
    EXPECT_EQ(command.myburnObj()->wait().outcome, BurnOutcome::Succeeded);
    for (qsizetype i = 0; i < names.size(); ++i) {
        EXPECT_EQ(test_support::readBytes(folder.file(QString("target-%1").arg(i))), "keep")
            << qPrintable(names[i]);
        EXPECT_FALSE(QFileInfo(names[i]).isSymLink()) << qPrintable(names[i]);
    }
}

// Another program puts files of its own at the names of the files a tool of the run is handed, as the tool
// starts. The tools reach the run's own files through their descriptors: no link there receives what a tool
// writes, no other file becomes the disc's sound, frames, stream, pictures or control file, and an output
// whose name was taken meanwhile is refused rather than taken for the run's.
TEST_F(DVDLinksEndToEndTest, FilesPutAtTheNamesAToolIsHandedAsItStartsAreNeverItsOwn) {
    useSlides(3);
    manager->setBUseDVDMenu(true);
    const QString stream = withoutExtension(project->strEncodingVideoFilePath(QSizeF(960, 540))) + ".mpg";
    const QString menuStream = withoutExtension(stream) + "_dvdmenu.mpg";
    const QString muxedMenu = SpumuxObject::temporaryPaths({}).value(1);
    QByteArray buttonPictures;
    for (const int state : {DVDMenuItem::Normal, DVDMenuItem::Highlighted, DVDMenuItem::Selected})
        buttonPictures += "ownFileAt " +
                          dvd_test::quoted(DVDMenuItem::reducedStateImagePath(
                              DVDProjectSettings().resolvedTemporaryFolder(), state)) +
                          "\n";
    const QString victim = folder.file("other-program.dat");
    const auto q = dvd_test::quoted;
    const QByteArray link = "linkAt " + q(victim) + " ";
    const QByteArray output = "eval out=\\${$#}\n";
    const struct {
        const char* what;
        const char* tool;
        QByteArray prelude;
        bool burnt; // else refused, naming the tool
    } cases[] = {
        {"the frames' pipe and the mixed sound, and the menu stream the slideshow pass finds", "ffmpeg",
         output + link + q(DVDMPEGIICreateObject::strVideoFIFOName()) + "\nownFileAt " +
             q(DVDMPEGIICreateObject::strTempM4AAudioFullPath()) +
             "\n[ \"$(named \"$out\")\" = " + q(stream) + " ] && ownFileAt " + q(menuStream),
         true},
        {"the stream ffmpeg writes", "ffmpeg", output + link + "\"$out\"", false},
        {"the control file and the pictures of spumux", "spumux", "ownFileAt \"$1\"\n" + buttonPictures,
         true},
        {"the control file and the streams of dvdauthor", "dvdauthor",
         "ownFileAt \"$2\"\nownFileAt " + q(stream) + "\nownFileAt " + q(muxedMenu), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(test_support::writeBytes(victim, "keep"));
        dvd_test::FakeTools tools;
        tools.wrap(c.tool, test_support::kMeddlingFunctions + c.prelude);
        const QString image = folder.file(QString("%1.img").arg(c.what));
        QString error;
        const auto drive =
            platform::disc::DiscDrive::open(platform::disc::DiscDrive::pseudoDriveAddress(image), &error);
        ASSERT_TRUE(drive) << qPrintable(error);
        RecordingDialogs dialogs;
        DVDCommand command(director, dialogs, center);
        command.BurnDVDButtonClicked(drive);
        ASSERT_TRUE(spinUntil([&] { return command.stage() == DVDCommand::Stage::Idle; }));
        EXPECT_EQ(test_support::readBytes(victim), "keep");
        if (c.burnt) {
            EXPECT_TRUE(dialogs.alerts.empty()) << qPrintable(dialogs.alertText());
            ASSERT_NE(command.myburnObj(), nullptr);
            EXPECT_EQ(command.myburnObj()->wait().outcome, BurnOutcome::Succeeded);
            // spumux leaves out buttons whose pictures it cannot read.
            const QString menu = folder.file("menu.vob");
            ASSERT_TRUE(
                test_support::writeBytes(menu, dvd_test::extractFromIso(image, "/VIDEO_TS/VIDEO_TS.VOB;1")));
            EXPECT_NE(MediaProbe::probe(menu).firstOfType("subtitle"), nullptr) << "the menu has no buttons";
        } else {
            ASSERT_EQ(dialogs.alerts.size(), 1u);
            EXPECT_TRUE(dialogs.alerts[0].message.contains(QString("\"%1\"").arg(c.tool)))
                << qPrintable(dialogs.alertText());
        }
    }
}
