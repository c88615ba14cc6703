// The DVD command from the menu pictures to the burnt disc, with real tools throughout. The test's own
// ffmpeg runs stand in for the encoder's two passes; everything after them is ours.
#include "DVDTestSupport.h"

#include "dvd/DVDAuthorObject.h"
#include "dvd/DVDMenuItem.h"
#include "dvd/DVDNotifications.h"
#include "dvd/MyBurnObject.h"
#include "platform/disc/DiscDrive.h"
#include "platform/foundation/ChildProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <atomic>

using namespace dvd_test;
using platform::disc::BurnOutcome;

namespace {

struct ChainResult {
    DVDAuthorOutcome authored;
    platform::disc::BurnResult burnt;
    QString dvdFolder;
    QString image;
};

QString probe(const QString& path, const QString& entries, const QString& streams = "v") {
    QByteArray output;
    QString error;
    EXPECT_TRUE(runProgram(
        "ffprobe",
        {"-v", "error", "-select_streams", streams, "-show_entries", entries, "-of", "csv=p=0", path},
        &output, &error))
        << qPrintable(error);
    return QString::fromUtf8(output);
}

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

class DVDChainTest : public ::testing::Test {
protected:
    // Menu pictures, the two streams, authoring, and on "finished" the burn into a pseudo-drive file.
    ChainResult makeDisc(bool pal, bool menu) {
        DVDProjectSettings project = testProject(dir.path(), 3, pal);
        project.bUseDVDMenu = menu;
        project.bDVDVideoAspect16_9 = true;
        project.dvdTitle = "Our summer";
        project.dvdSubtitle = "Three pictures";
        project.slideshowTotalDuration = 1.5;
        DVDMenuItem currentMenu(menuTemplate(menu ? 1 : 0));
        DVDStepError error;
        EXPECT_TRUE(currentMenu.buildMenuImages(project, &error)) << qPrintable(error.message());
        const QString menuStream = project.temporaryFolder + "/video_960x540_dvdmenu.mpg";
        const QString stream = project.temporaryFolder + "/video_960x540.mpg";
        if (menu) {
            EXPECT_TRUE(makeMenuStream(menuStream, currentMenu.imagesArray(), pal, true));
        }
        EXPECT_TRUE(makeMenuStream(stream, project.slidePicturePaths, pal, true));

        ChainResult result;
        result.image = dir.file("disc.img");
        MyBurnObject burn(project.temporaryFolder);
        std::atomic<bool> burnStarted{false};
        DVDAuthorObject author(project, center);
        // What the DVD command does on the finished notification: the burn reads the folder made for it.
        platform::ObserverHandle onFinished(
            center, center.addObserver(kNotifyDVDAuthorFinishedOK, [&](const auto&) {
                QString driveError;
                auto drive = platform::disc::DiscDrive::open(
                    platform::disc::DiscDrive::pseudoDriveAddress(result.image), &driveError);
                EXPECT_TRUE(drive) << qPrintable(driveError);
                burn.setStrInputDVDFolder(author.reachableOutputDVDFolder());
                burn.setStrDVDLabel("Corvanta");
                burn.setBurnObject(drive);
                DVDStepError burnError;
                burnStarted = burn.BurnDisc(&burnError);
                EXPECT_TRUE(burnStarted) << qPrintable(burnError.message());
            }));
        author.setVideoFilePath(stream);
        author.setMenuVideoFilePath(menu ? menuStream : QString());
        author.setStateButtonRectArray(currentMenu.stateButtonRectArray());
        author.setStatePictureFiles(currentMenu.reducedStatePictureFiles());
        author.AuthorDVD();
        result.authored = author.wait();
        result.dvdFolder = author.strOutputDVDFolder();
        if (burnStarted)
            result.burnt = burn.wait();
        return result;
    }

    void checkDisc(const ChainResult& result, bool pal, bool menu) {
        ASSERT_EQ(result.authored.kind, DVDAuthorOutcome::Finished)
            << qPrintable(result.authored.error.message());
        ASSERT_EQ(result.burnt.outcome, BurnOutcome::Succeeded) << qPrintable(result.burnt.message);
        EXPECT_TRUE(result.burnt.verified);

        const QString xml = unauthored(result.dvdFolder, dir.file("unauthored"));
        EXPECT_EQ(xml.count("<titleset"), 1);
        EXPECT_EQ(xml.count("<pgc>"), 1); // one title
        EXPECT_TRUE(xml.contains("jump chapter 1;"));
        EXPECT_EQ(xml.contains("<menus"), menu);
        EXPECT_EQ(xml.count("<button name="), menu ? 1 : 0);

        const IsoListing listing = listIso(result.image);
        EXPECT_EQ(listing.volumeId, "Corvanta");
        for (const char* name :
             {"/VIDEO_TS/VIDEO_TS.IFO;1", "/VIDEO_TS/VTS_01_0.IFO;1", "/VIDEO_TS/VTS_01_1.VOB;1"})
            EXPECT_TRUE(listing.files.contains(name)) << name;
        EXPECT_EQ(listing.files.contains("/VIDEO_TS/VIDEO_TS.VOB;1"), menu); // the menu's own stream

        // The title on the disc is DVD video of the project's TV system.
        QFile vob(dir.file("title.vob"));
        ASSERT_TRUE(vob.open(QIODevice::WriteOnly));
        vob.write(extractFromIso(result.image, "/VIDEO_TS/VTS_01_1.VOB;1"));
        vob.close();
        const QString video = probe(vob.fileName(), "stream=codec_name,width,height").split('\n').first();
        EXPECT_TRUE(video.startsWith(pal ? "mpeg2video,720,576" : "mpeg2video,720,480")) << qPrintable(video);
        if (menu) {
            QFile menuVob(dir.file("menu.vob"));
            ASSERT_TRUE(menuVob.open(QIODevice::WriteOnly));
            menuVob.write(extractFromIso(result.image, "/VIDEO_TS/VIDEO_TS.VOB;1"));
            menuVob.close();
            EXPECT_TRUE(probe(menuVob.fileName(), "stream=codec_name", "s").contains("dvd_subtitle"));
        }
    }

    TempDir dir;
    platform::NotificationCenter center;
};

} // namespace

TEST_F(DVDChainTest, NtscDiscWithMenu) {
    checkDisc(makeDisc(false, true), false, true);
}

TEST_F(DVDChainTest, NtscDiscWithoutMenu) {
    checkDisc(makeDisc(false, false), false, false);
}

TEST_F(DVDChainTest, PalDiscWithMenu) {
    checkDisc(makeDisc(true, true), true, true);
}

TEST_F(DVDChainTest, PalDiscWithoutMenu) {
    checkDisc(makeDisc(true, false), true, false);
}
