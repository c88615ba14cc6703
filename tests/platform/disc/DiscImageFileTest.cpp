// A disc image file as the drive: the image is recorded beside its name and reaches it only when committed;
// until then, and after a discard or without a commit, whatever was at the name stays.
#include "platform/disc/DiscBurner.h"

#include "platform/disc/TestProducers.h"
#include "support/TempDir.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cstdio>

using namespace platform::disc;
using disctest::kBlock;
using disctest::PatternProducer;
using disctest::StallingProducer;

namespace {

constexpr std::int64_t kBlocks = 300;
const QByteArray kEarlier = "an earlier image";

class DiscImageFileTest : public ::testing::Test {
protected:
    QString image() const { return dir.file("Trip.iso"); }

    void writeEarlierImage() const { ASSERT_TRUE(test_support::writeBytes(image(), kEarlier)); }
    QByteArray bytesAtName() const { return test_support::readBytes(image()); }

    // Every file of the folder but the image's own name, hidden ones too.
    QStringList otherFiles() const {
        QStringList names = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
        names.removeAll("Trip.iso");
        return names;
    }

    std::shared_ptr<DiscDrive> openImage() {
        QString error;
        auto drive = DiscDrive::openImageFile(image(), &error);
        EXPECT_NE(drive, nullptr) << error.toStdString();
        return drive;
    }

    TempDir dir;
};

} // namespace

TEST_F(DiscImageFileTest, RecordsBesideTheNameWhichKeepsItsFileUntilTheCommit) {
    for (const bool earlier : {false, true}) {
        SCOPED_TRACE(earlier ? "an earlier image" : "no file yet");
        if (earlier)
            writeEarlierImage();
        auto drive = openImage();
        ASSERT_NE(drive, nullptr);
        EXPECT_EQ(drive->imageFilePath(), image());
        EXPECT_TRUE(drive->isPseudoDrive());
        EXPECT_NE(drive->address(), DiscDrive::pseudoDriveAddress(image()));
        EXPECT_EQ(drive->mediaInfo().status, MediaStatus::Blank) << "a fresh file, whatever was at the name";

        auto producer = std::make_shared<PatternProducer>();
        DiscBurner burner(drive, producer, kBlocks, BurnOptions{.verify = true});
        ASSERT_TRUE(burner.start());
        ASSERT_EQ(burner.wait().outcome, BurnOutcome::Succeeded);
        EXPECT_EQ(bytesAtName(), earlier ? kEarlier : QByteArray()) << "the name changed before the commit";
        ASSERT_EQ(otherFiles().size(), 1);
        EXPECT_TRUE(otherFiles()[0].startsWith(".Trip.iso.part-")) << otherFiles()[0].toStdString();

        QString error;
        ASSERT_TRUE(drive->commitImage(&error)) << error.toStdString();
        EXPECT_EQ(bytesAtName(), disctest::pattern(kBlocks * kBlock));
        EXPECT_TRUE(otherFiles().isEmpty()) << otherFiles().join(", ").toStdString();
        drive.reset();
        EXPECT_EQ(bytesAtName(), disctest::pattern(kBlocks * kBlock)) << "the drive's end took the image";
        QFile::remove(image());
    }
}

TEST_F(DiscImageFileTest, ABurnThatDoesNotCompleteLeavesWhatWasThere) {
    struct Case {
        const char* name;
        bool cancelled;   // else the data ends early
        bool dropWithout; // the drive goes without a discard
        BurnOutcome outcome;
    };
    const Case cases[] = {
        {"cancelled, discarded", true, false, BurnOutcome::Cancelled},
        {"cancelled, the drive dropped", true, true, BurnOutcome::Cancelled},
        {"data ended early, discarded", false, false, BurnOutcome::Failed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeEarlierImage();
        auto drive = openImage();
        ASSERT_NE(drive, nullptr);
        std::shared_ptr<PatternProducer> producer;
        if (c.cancelled)
            producer = std::make_shared<StallingProducer>(100 * kBlock);
        else
            producer = std::make_shared<PatternProducer>(100 * kBlock);
        auto burner = std::make_unique<DiscBurner>(drive, producer, kBlocks);
        ASSERT_TRUE(burner->start());
        if (c.cancelled) {
            ASSERT_TRUE(static_cast<StallingProducer&>(*producer).waitUntilStalled());
            EXPECT_EQ(bytesAtName(), kEarlier) << "written at the name while recording";
            burner->cancel();
        }
        EXPECT_EQ(burner->wait().outcome, c.outcome);
        if (!c.dropWithout)
            drive->discardImage();
        burner.reset();
        drive.reset();
        EXPECT_EQ(bytesAtName(), kEarlier);
        EXPECT_TRUE(otherFiles().isEmpty()) << otherFiles().join(", ").toStdString();
    }
}

// Another program puts a link to a file of its own at the hidden name the image is recorded under: the burn
// records into the file made for it, a commit puts nothing in place and says so, and neither the burn nor
// the discard ever writes or empties the link's target.
TEST_F(DiscImageFileTest, ALinkAtThePartialNameIsNeverWrittenThroughNorEmptied) {
    TempDir elsewhere;
    const QString victim = elsewhere.file("other-program.dat");
    for (const bool commit : {true, false}) {
        SCOPED_TRACE(commit ? "committed" : "discarded");
        writeEarlierImage();
        ASSERT_TRUE(test_support::writeBytes(victim, "keep"));
        auto drive = openImage();
        ASSERT_NE(drive, nullptr);
        ASSERT_EQ(otherFiles().size(), 1);
        const QString partial = dir.file(otherFiles()[0]);
        ASSERT_TRUE(QFile::link(victim, partial + ".link"));
        ASSERT_EQ(::rename(QFile::encodeName(partial + ".link").constData(),
                           QFile::encodeName(partial).constData()),
                  0);

        auto producer = std::make_shared<PatternProducer>();
        DiscBurner burner(drive, producer, kBlocks, BurnOptions{.verify = true});
        ASSERT_TRUE(burner.start());
        EXPECT_EQ(burner.wait().outcome, BurnOutcome::Succeeded);
        EXPECT_EQ(test_support::readBytes(victim), "keep") << "the burn wrote through the link";
        if (commit) {
            QString error;
            EXPECT_FALSE(drive->commitImage(&error));
            EXPECT_TRUE(error.contains(image())) << error.toStdString();
        } else {
            drive->discardImage();
        }
        drive.reset();
        EXPECT_EQ(test_support::readBytes(victim), "keep") << "the link's target was emptied or written";
        EXPECT_EQ(bytesAtName(), kEarlier);
        EXPECT_TRUE(QFileInfo(partial).isSymLink()) << "another program's link is not ours to remove";
        QFile::remove(partial);
    }
}

TEST_F(DiscImageFileTest, RefusesAFolderOrAFolderThatIsNotThere) {
    QString error;
    EXPECT_EQ(DiscDrive::openImageFile(dir.path(), &error), nullptr);
    EXPECT_TRUE(error.contains("folder")) << error.toStdString();
    error.clear();
    EXPECT_EQ(DiscDrive::openImageFile(dir.file("missing/Trip.iso"), &error), nullptr);
    EXPECT_TRUE(error.contains("missing/Trip.iso")) << error.toStdString();
    EXPECT_TRUE(otherFiles().isEmpty());
}

TEST_F(DiscImageFileTest, AnImageThatCannotBePutInPlaceIsNamedAndRemoved) {
    auto drive = openImage();
    ASSERT_NE(drive, nullptr);
    ASSERT_TRUE(QDir().mkpath(image())); // a folder took the name meanwhile
    QString error;
    EXPECT_FALSE(drive->commitImage(&error));
    EXPECT_TRUE(error.contains(image())) << error.toStdString();
    EXPECT_TRUE(QFileInfo(image()).isDir());
    EXPECT_TRUE(otherFiles().isEmpty());
}

TEST_F(DiscImageFileTest, OtherDrivesHaveNoImageToCommitOrDiscard) {
    const QString plain = dir.file("plain.img");
    ASSERT_TRUE(test_support::writeBytes(plain, QByteArray(4 * kBlock, 'p')));
    auto drive = DiscDrive::open(DiscDrive::pseudoDriveAddress(plain));
    ASSERT_NE(drive, nullptr);
    EXPECT_TRUE(drive->imageFilePath().isEmpty());
    EXPECT_TRUE(drive->commitImage());
    drive->discardImage();
    drive.reset();
    EXPECT_EQ(QFileInfo(plain).size(), 4 * kBlock) << "a plain pseudo-drive's file is its own";
}
