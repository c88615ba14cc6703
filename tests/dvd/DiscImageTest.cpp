#include "DVDCommandTestSupport.h"
#include "DVDTestSupport.h"

#include "dvd/DVDImageCreatorObject.h"
#include "dvd/MKISOFSObject.h"
#include "dvd/MyBurnObject.h"
#include "platform/disc/DiscDrive.h"
#include "support/RecordingDialogs.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

using namespace dvd_test;
using platform::disc::BurnOutcome;
using platform::disc::BurnResult;
using platform::disc::DiscDrive;
using test_support::readBytes;

namespace {

// One authored folder for the whole suite: authoring it takes a moment.
class DiscImageTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        shared = std::make_unique<TempDir>();
        folder = authorTestFolder(shared->file("authored"));
        // As another program could put it there: a link to a private file of the user's.
        test_support::writeBytes(shared->file("diary.txt"), kPrivate);
        QFile::link(shared->file("diary.txt"), folder + "/VIDEO_TS/NOTES.TXT");
    }
    static void TearDownTestSuite() { shared.reset(); }

    std::shared_ptr<DiscDrive> pseudoDrive(const QString& name = "disc.img") {
        QString error;
        auto drive = DiscDrive::open(DiscDrive::pseudoDriveAddress(dir.file(name)), &error);
        EXPECT_TRUE(drive) << qPrintable(error);
        return drive;
    }

    // A burn of the folder, labelled "Corvanta", onto the pseudo-drive.
    std::unique_ptr<MyBurnObject> burnObject(const QString& source, std::shared_ptr<DiscDrive> drive = {}) {
        QDir().mkpath(dir.file("tmp"));
        auto burner = std::make_unique<MyBurnObject>(dir.file("tmp"));
        burner->setStrInputDVDFolder(source);
        burner->setStrDVDLabel("Corvanta");
        burner->setBurnObject(drive ? drive : pseudoDrive());
        return burner;
    }

    // Burns the folder into the pseudo-drive's file and answers the outcome.
    BurnResult burn(const QString& source, DVDStepError* error = nullptr, bool* started = nullptr) {
        const auto burner = burnObject(source);
        const bool began = burner->BurnDisc(error);
        if (started)
            *started = began;
        return began ? burner->wait() : BurnResult{};
    }

    static constexpr const char* kPrivate = "a private file of the user's";
    static inline std::unique_ptr<TempDir> shared;
    static inline QString folder;
    TempDir dir;
};

} // namespace

TEST_F(DiscImageTest, SizeRunOutputIsReadAsAWholeNumberOfBlocks) {
    EXPECT_EQ(DVDImageCreatorObject::parseBlockCount("123456\n"), 123456);
    EXPECT_EQ(DVDImageCreatorObject::parseBlockCount("  663\n"), 663);
    EXPECT_EQ(DVDImageCreatorObject::parseBlockCount("12.9"), 12);
    EXPECT_EQ(DVDImageCreatorObject::parseBlockCount(""), 0);
    EXPECT_EQ(DVDImageCreatorObject::parseBlockCount("Total extents scheduled to be written = 663"), 0);
    EXPECT_EQ(DVDImageCreatorObject::parseBlockCount("-5"), 0);
    EXPECT_EQ(DVDImageCreatorObject::parseBlockCount("99999999999999999999999"), 0);
}

TEST_F(DiscImageTest, RealSizeRunMeasuresTheImage) {
    ASSERT_FALSE(folder.isEmpty());
    DVDImageCreatorObject creator(dir.path());
    DVDStepError error;
    const std::int64_t blocks = creator.getTrackForFolder(folder, "Corvanta", &error);
    ASSERT_GT(blocks, 0) << qPrintable(error.message());
    MKISOFSObject iso;
    iso.setStrInputDVDFolder(folder);
    iso.setStrOutputISOPath(dir.file("image.iso"));
    ASSERT_TRUE(iso.BuildISO(&error)) << qPrintable(error.message());
    EXPECT_EQ(QFileInfo(dir.file("image.iso")).size(), blocks * 2048);
}

TEST_F(DiscImageTest, BothRunsGetTheirArgumentsAndLocale) {
    FakeTools tools;
    tools.add("mkisofs", "echo \"$LC_ALL|$*\" >> " + quoted(dir.file("calls")) +
                             "\nif [ \"$1\" = -print-size ]; then echo 2; else head -c 4096 /dev/zero; fi");
    ASSERT_EQ(burn("/some/folder").outcome, BurnOutcome::Succeeded);
    // No link inside the folder is followed; the folder itself is reached also where its name is a link.
    EXPECT_EQ(readBytes(dir.file("calls")), "en_US.UTF-8|-print-size -V Corvanta -dvd-video /some/folder/\n"
                                            "en_US.UTF-8|-V Corvanta -dvd-video /some/folder/\n");
}

// The image holds what authoring made; the link to a private file put into the folder is not followed.
TEST_F(DiscImageTest, ImageIsStreamedIntoThePseudoDriveAndReadsBack) {
    ASSERT_FALSE(folder.isEmpty());
    const auto burner = burnObject(folder);
    std::atomic<double> lastFraction{0};
    std::atomic<int> finishedCalls{0};
    burner->setProgressHandler([&](const platform::disc::BurnProgress& p) { lastFraction = p.fraction; });
    burner->setFinishedHandler([&](const BurnResult&) { ++finishedCalls; });
    DVDStepError error;
    ASSERT_TRUE(burner->BurnDisc(&error)) << qPrintable(error.message());
    const BurnResult result = burner->wait();
    ASSERT_EQ(result.outcome, BurnOutcome::Succeeded) << qPrintable(result.message);
    EXPECT_TRUE(result.verified);
    EXPECT_EQ(finishedCalls, 1);
    EXPECT_DOUBLE_EQ(lastFraction, 1.0);
    const QString image = dir.file("disc.img");
    EXPECT_EQ(QFileInfo(image).size(), burner->trackBlocks() * 2048);
    const IsoListing listing = listIso(image);
    EXPECT_EQ(listing.volumeId, "Corvanta");
    for (const char* name :
         {"/VIDEO_TS/VIDEO_TS.IFO;1", "/VIDEO_TS/VTS_01_0.IFO;1", "/VIDEO_TS/VTS_01_1.VOB;1"})
        EXPECT_TRUE(listing.files.contains(name)) << name;
    EXPECT_FALSE(listing.files.contains("/VIDEO_TS/NOTES.TXT;1")) << "a link in the folder was followed";
    EXPECT_FALSE(readBytes(image).contains(kPrivate));
    EXPECT_EQ(extractFromIso(image, "/VIDEO_TS/VTS_01_1.VOB;1"),
              readBytes(folder + "/VIDEO_TS/VTS_01_1.VOB"));
    EXPECT_TRUE(QDir(dir.file("tmp")).isEmpty()); // the image's FIFO is gone
}

TEST_F(DiscImageTest, ATestBurnStreamsTheImageAndWritesNothing) {
    ASSERT_FALSE(folder.isEmpty());
    const QString image = dir.file("disc.img");
    ASSERT_TRUE(test_support::writeBytes(image, QByteArray(4 * 2048, 'o')));
    auto drive = pseudoDrive();
    ASSERT_TRUE(drive);
    drive->setTestBurn(true);
    const auto burner = burnObject(folder, drive);
    DVDStepError error;
    ASSERT_TRUE(burner->BurnDisc(&error)) << qPrintable(error.message());
    const BurnResult result = burner->wait();
    ASSERT_EQ(result.outcome, BurnOutcome::Succeeded) << qPrintable(result.message);
    EXPECT_TRUE(result.simulated);
    EXPECT_FALSE(result.verified) << "nothing was written that could be read back";
    EXPECT_GT(burner->trackBlocks(), 4);
    EXPECT_EQ(readBytes(image), QByteArray(4 * 2048, 'o'));
    EXPECT_TRUE(QDir(dir.file("tmp")).isEmpty());
}

TEST_F(DiscImageTest, SizeRunWithoutASizeRefusesToBurn) {
    struct Case {
        QByteArray script;
        const char* expected;
    } cases[] = {
        {"exit 0", "gave no size"},
        {"echo 'Total extents: 12'", "gave no size"},
        {"echo 0", "gave no size"},
        {"echo 500; echo 'genisoimage: Invalid node' >&2; exit 1", "Invalid node"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        FakeTools tools;
        tools.add("mkisofs", "if [ \"$1\" = -print-size ]; then " + c.script + "; else touch " +
                                 quoted(dir.file("streamed")) + "; fi");
        DVDStepError error;
        bool started = true;
        burn(folder, &error, &started);
        EXPECT_FALSE(started);
        EXPECT_EQ(error.step, "mkisofs");
        EXPECT_TRUE(error.detail.contains(c.expected)) << qPrintable(error.detail);
        EXPECT_FALSE(QFileInfo::exists(dir.file("streamed")));
        EXPECT_LE(QFileInfo(dir.file("disc.img")).size(), 0);
    }
}

TEST_F(DiscImageTest, StreamThatEndsEarlyFailsTheBurn) {
    FakeTools tools;
    // Measured 64 blocks, but the stream gives 10 and fails.
    tools.add("mkisofs",
              "if [ \"$1\" = -print-size ]; then echo 64; else head -c 20480 /dev/urandom; exit 1; fi");
    const BurnResult result = burn(folder);
    EXPECT_EQ(result.outcome, BurnOutcome::Failed);
    EXPECT_TRUE(result.message.contains("10 of 64")) << qPrintable(result.message);
    // The rest of the track is zeros, never stale memory.
    const QByteArray image = readBytes(dir.file("disc.img"));
    if (image.size() > 20480) {
        EXPECT_EQ(image.mid(20480).count('\0'), image.size() - 20480);
    }
}

TEST_F(DiscImageTest, StreamLargerThanMeasuredOrFailingFailsTheBurn) {
    struct Case {
        QByteArray stream;
        const char* expected;
    } cases[] = {
        {"head -c 16384 /dev/zero", "larger than measured"},
        {"head -c 8192 /dev/zero; echo 'write error' >&2; exit 2", "write error"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        FakeTools tools;
        tools.add("mkisofs", "if [ \"$1\" = -print-size ]; then echo 4; else " + c.stream + "; fi");
        const auto burner = burnObject(folder);
        ASSERT_TRUE(burner->BurnDisc());
        const BurnResult result = burner->wait();
        EXPECT_EQ(result.outcome, BurnOutcome::Failed);
        EXPECT_TRUE(result.message.contains(c.expected)) << qPrintable(result.message);
        EXPECT_TRUE(result.message.contains("mkisofs")) << qPrintable(result.message);
        // The alert tells the stream's failure once, as mkisofs's.
        const QString said = burner->failure().message();
        EXPECT_EQ(said.count("could not be made"), 1) << qPrintable(said);
        EXPECT_TRUE(said.contains("\"mkisofs\" failed")) << qPrintable(said);
        EXPECT_TRUE(said.contains(c.expected)) << qPrintable(said);
    }
}

TEST_F(DiscImageTest, CancelStopsTheStreamingRun) {
    FakeTools tools;
    tools.add("mkisofs",
              "if [ \"$1\" = -print-size ]; then echo 100000; else head -c 1048576 /dev/zero; touch " +
                  quoted(dir.file("streaming")) + "; exec sleep 30; fi");
    const auto burner = burnObject(folder);
    ASSERT_TRUE(burner->BurnDisc());
    waitForFile(dir.file("streaming"));
    const auto start = std::chrono::steady_clock::now();
    burner->cancel();
    const BurnResult result = burner->wait();
    EXPECT_EQ(result.outcome, BurnOutcome::Cancelled) << qPrintable(result.message);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_FALSE(burner->burning());
}

namespace {

// A disc image file chosen as the target, holding an earlier image, and a stand-in mkisofs that measures 64
// blocks and streams `stream`.
class ImageFileBurnTest : public ::testing::Test {
protected:
    static constexpr int kBlocks = 64;

    void SetUp() override {
        QDir().mkpath(dir.file("tmp"));
        writeEarlierImage();
    }

    void writeEarlierImage() const { ASSERT_TRUE(test_support::writeBytes(image(), "an earlier image")); }

    QString image() const { return dir.file("Trip.iso"); }

    void useStream(const QByteArray& stream) {
        tools.add("mkisofs", "if [ \"$1\" = -print-size ]; then echo " + QByteArray::number(kBlocks) +
                                 "; else " + stream + "; fi");
    }

    std::shared_ptr<DiscDrive> imageDrive() {
        QString error;
        auto drive = DiscDrive::openImageFile(image(), &error);
        EXPECT_TRUE(drive) << qPrintable(error);
        return drive;
    }

    std::unique_ptr<MyBurnObject> burnObject() {
        auto burner = std::make_unique<MyBurnObject>(dir.file("tmp"));
        burner->setStrInputDVDFolder("/some/folder");
        burner->setStrDVDLabel("Corvanta");
        return burner;
    }

    // The files beside the image, hidden ones too, but for the stand-in's mark.
    QStringList leftBeside() const {
        QStringList names = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        names.removeAll("Trip.iso");
        names.removeAll("streaming");
        return names;
    }

    TempDir dir;
    FakeTools tools;
};

} // namespace

TEST_F(ImageFileBurnTest, TheImageFileIsReplacedOnlyByABurnThatCompleted) {
    struct Case {
        const char* name;
        QByteArray stream;
        bool cancel;
        BurnOutcome outcome;
    };
    const QByteArray started = "touch " + quoted(dir.file("streaming")) + "; ";
    const Case cases[] = {
        {"complete", "head -c " + QByteArray::number(kBlocks * 2048) + " /dev/zero", false,
         BurnOutcome::Succeeded},
        {"ends early", "head -c 20480 /dev/zero; exit 1", false, BurnOutcome::Failed},
        {"cancelled", "head -c 20480 /dev/zero; " + started + "exec sleep 30", true, BurnOutcome::Cancelled},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        useStream(c.stream);
        QFile::remove(dir.file("streaming"));
        auto burner = burnObject();
        burner->setBurnObject(imageDrive());
        DVDStepError error;
        ASSERT_TRUE(burner->BurnDisc(&error)) << qPrintable(error.message());
        if (c.cancel) {
            waitForFile(dir.file("streaming"));
            EXPECT_EQ(readBytes(image()), "an earlier image") << "written at the name while burning";
            burner->cancel();
        }
        const BurnResult result = burner->wait();
        EXPECT_EQ(result.outcome, c.outcome) << qPrintable(result.message);
        EXPECT_EQ(readBytes(image()), c.outcome == BurnOutcome::Succeeded ? QByteArray(kBlocks * 2048, '\0')
                                                                          : QByteArray("an earlier image"));
        EXPECT_TRUE(leftBeside().isEmpty()) << qPrintable(leftBeside().join(", "));
        burner.reset();
        EXPECT_TRUE(leftBeside().isEmpty()) << qPrintable(leftBeside().join(", "));
        writeEarlierImage();
    }
}

// A drive records one image: kept for a second burn (after one that completed or one that failed), it
// refuses at once, rather than start a burn that can put nothing at the image's name.
TEST_F(ImageFileBurnTest, AnImageDriveThatRecordedItsImageBurnsNoSecond) {
    const QByteArray whole = "head -c " + QByteArray::number(kBlocks * 2048) + " /dev/zero";
    for (const QByteArray& first : {whole, QByteArray("head -c 20480 /dev/zero; exit 1")}) {
        SCOPED_TRACE(first.toStdString());
        useStream(first);
        const auto drive = imageDrive();
        auto burner = burnObject();
        burner->setBurnObject(drive);
        ASSERT_TRUE(burner->BurnDisc());
        burner->wait();
        const QByteArray afterFirst = readBytes(image());
        EXPECT_TRUE(drive->imageSpent());

        useStream(whole);
        auto again = burnObject();
        again->setBurnObject(drive);
        DVDStepError error;
        EXPECT_FALSE(again->BurnDisc(&error));
        EXPECT_EQ(error.step, "burn");
        EXPECT_TRUE(error.message().contains(image())) << qPrintable(error.message());
        again.reset();
        EXPECT_EQ(readBytes(image()), afterFirst);
        EXPECT_TRUE(leftBeside().isEmpty()) << qPrintable(leftBeside().join(", "));
    }
    EXPECT_FALSE(imageDrive()->imageSpent()) << "a drive opened anew records again";
}

TEST_F(ImageFileBurnTest, AnISOFileIsReplacedOnlyByARunThatCompleted) {
    struct Case {
        const char* name;
        QByteArray run; // $3 is where mkisofs is told to write
        bool built;
    };
    const Case cases[] = {
        {"fails half way", "head -c 4096 /dev/zero > \"$3\"; echo 'write error' >&2; exit 1", false},
        {"writes nothing", "exit 0", false},
        {"completes", "printf 'a new image' > \"$3\"", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        tools.add("mkisofs", c.run);
        MKISOFSObject iso;
        iso.setStrInputDVDFolder("/some/folder");
        iso.setStrOutputISOPath(image());
        DVDStepError error;
        EXPECT_EQ(iso.BuildISO(&error), c.built) << qPrintable(error.message());
        EXPECT_EQ(error.step, c.built ? QString() : QString("mkisofs"));
        EXPECT_EQ(readBytes(image()), c.built ? "a new image" : "an earlier image");
        EXPECT_TRUE(leftBeside().isEmpty()) << qPrintable(leftBeside().join(", "));
    }
}

// Another program puts a link to a file of its own at the hidden name the ISO file is written under, before
// mkisofs opens its output: mkisofs writes only into the file made for it, the link's target keeps its bytes,
// and the run fails naming the ISO file rather than put another's file in its place.
TEST_F(ImageFileBurnTest, ALinkAtTheNameTheISOFileIsWrittenUnderIsNeverWrittenThrough) {
    TempDir elsewhere;
    const QString victim = elsewhere.file("other-program.dat");
    ASSERT_TRUE(test_support::writeBytes(victim, "keep"));
    tools.add("mkisofs", "for f in " + quoted(dir.path()) + "/.Trip.iso.part-*; do ln -s " + quoted(victim) +
                             " \"$f.l\" && mv -f \"$f.l\" \"$f\"; done\nprintf 'a new image' > \"$3\"");
    MKISOFSObject iso;
    iso.setStrInputDVDFolder("/some/folder");
    iso.setStrOutputISOPath(image());
    DVDStepError error;
    EXPECT_FALSE(iso.BuildISO(&error));
    EXPECT_EQ(error.step, "mkisofs");
    EXPECT_TRUE(error.detail.contains(image())) << qPrintable(error.detail);
    EXPECT_EQ(readBytes(victim), "keep");
    EXPECT_EQ(readBytes(image()), "an earlier image");
}

// The earlier start, in which the burn object asked for its drive itself.
TEST_F(ImageFileBurnTest, TheEarlierStartAsksForTheDriveAndBurnsOnTheOneChosen) {
    useStream("head -c " + QByteArray::number(kBlocks * 2048) + " /dev/zero");
    RecordingDialogs window;
    auto cancelled = burnObject();
    cancelled->setMainBurnWindow(&window);
    EXPECT_FALSE(cancelled->BurnDisc_old());
    EXPECT_EQ(window.burnSetups, 1);
    EXPECT_EQ(cancelled->burnObject(), nullptr);
    EXPECT_EQ(readBytes(image()), "an earlier image");

    auto chosen = burnObject();
    auto drive = imageDrive();
    window.burnSetupAnswers = {drive};
    DVDStepError error;
    ASSERT_TRUE(chosen->BurnDisc_old(window, &error)) << qPrintable(error.message());
    EXPECT_EQ(window.burnSetups, 2);
    EXPECT_EQ(chosen->mainBurnWindow(), &window);
    EXPECT_EQ(chosen->burnObject(), drive);
    EXPECT_EQ(chosen->wait().outcome, BurnOutcome::Succeeded);
    EXPECT_EQ(readBytes(image()), QByteArray(kBlocks * 2048, '\0'));

    MyBurnObject windowless;
    EXPECT_FALSE(windowless.BurnDisc_old(&error));
    EXPECT_EQ(error.step, "burn");
}

class OriginalFileListTest : public DVDProjectTest {};

TEST_F(OriginalFileListTest, ListsEveryOriginalPhotoForAPhotosFolderOfTheDisc) {
    useSlides(4);
    const QStringList originals = {"/home/someone/Pictures/beach.jpg", "/home/someone/a=b\\c.jpg",
                                   "/home/someone/two\nlines.jpg", "/home/someone/Pictures/pier.png"};
    const std::vector<SlideItemRef> slides = project->slideshowArray();
    for (std::size_t i = 0; i < slides.size(); ++i)
        slides[i]->setStrOriginalFileName(originals[int(i)]);
    const QString temporary = folder.file("private");
    ASSERT_TRUE(QDir().mkpath(temporary));
    DVDImageCreatorObject creator(temporary);
    DVDStepError error;
    const QString list = creator.createOriginalFileList(&error);
    ASSERT_EQ(list, temporary + "/orginal.lst") << qPrintable(error.message());
    EXPECT_EQ(creator.strOriginalFileList(), list);
    // In order; "=" and "\\" escaped as path lists want; a name that would break its line left out.
    EXPECT_EQ(readBytes(list), "Photos/beach.jpg=/home/someone/Pictures/beach.jpg\n"
                               "Photos/a\\=b\\\\c.jpg=/home/someone/a\\=b\\\\c.jpg\n"
                               "Photos/pier.png=/home/someone/Pictures/pier.png\n");
    EXPECT_FALSE(QFileInfo::exists(QDir::home().filePath("orginal.lst")))
        << "the user's own folder was written";

    DVDImageCreatorObject nowhere(folder.file("no such folder"));
    EXPECT_TRUE(nowhere.createOriginalFileList(&error).isEmpty());
    EXPECT_EQ(error.step, "original photos");
}
