#include "platform/disc/DiscBurner.h"

#include "platform/disc/TestProducers.h"
#include "support/TempDir.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <mutex>
#include <thread>
#include <vector>

using namespace platform::disc;
using disctest::kBlock;
using disctest::PatternProducer;
using disctest::StallingProducer;

namespace {

// Everything the handlers of one burn reported.
struct Reports {
    std::mutex mutex;
    std::vector<BurnProgress> progress;
    std::vector<BurnResult> finished;

    void attach(DiscBurner& burner) {
        burner.setProgressHandler([this](const BurnProgress& p) {
            std::lock_guard<std::mutex> lock(mutex);
            progress.push_back(p);
        });
        burner.setFinishedHandler([this](const BurnResult& r) {
            std::lock_guard<std::mutex> lock(mutex);
            finished.push_back(r);
        });
    }

    bool everSucceeded() {
        std::lock_guard<std::mutex> lock(mutex);
        for (const BurnResult& r : finished)
            if (r.outcome == BurnOutcome::Succeeded)
                return true;
        return false;
    }
};

bool allZero(const QByteArray& bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return c == 0; });
}

class DiscBurnerTest : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir.file("disc.img");
        QString error;
        drive = DiscDrive::open(DiscDrive::pseudoDriveAddress(path), &error);
        ASSERT_NE(drive, nullptr) << error.toStdString();
    }

    QByteArray image() const {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return file.readAll();
    }

    TempDir dir;
    QString path;
    std::shared_ptr<DiscDrive> drive;
};

} // namespace

TEST_F(DiscBurnerTest, BurnsTheProducedStreamByteExactly) {
    auto producer = std::make_shared<PatternProducer>();
    DiscBurner burner(drive, producer, 300);
    Reports reports;
    reports.attach(burner);
    QString error;
    ASSERT_TRUE(burner.start(&error)) << error.toStdString();
    BurnResult result = burner.wait();

    EXPECT_EQ(result.outcome, BurnOutcome::Succeeded) << result.message.toStdString();
    EXPECT_FALSE(result.message.isEmpty());
    EXPECT_EQ(result.blocksWritten, 300);
    EXPECT_FALSE(result.verified);
    EXPECT_EQ(image(), disctest::pattern(300 * kBlock));
    EXPECT_EQ(producer->producedBytes.load(), 300 * kBlock);
    EXPECT_EQ(producer->prepareCalls, 1);
    EXPECT_EQ(producer->cleanupCalls, 1);
    EXPECT_EQ(producer->callsBeforePrepare, 0);
    EXPECT_EQ(producer->callsAfterCleanup, 0);
    EXPECT_EQ(producer->overlappingCalls, 0);
    ASSERT_EQ(reports.finished.size(), 1u);
    EXPECT_EQ(reports.finished[0].outcome, BurnOutcome::Succeeded);
    EXPECT_FALSE(burner.isRunning());
    EXPECT_FALSE(drive->isClaimed());
}

TEST_F(DiscBurnerTest, ProgressRisesMonotonicallyToCompletion) {
    DiscBurner burner(drive, std::make_shared<PatternProducer>(), 300);
    Reports reports;
    reports.attach(burner);
    ASSERT_TRUE(burner.start());
    burner.wait();

    ASSERT_GE(reports.progress.size(), 2u);
    bool sawWriting = false;
    for (std::size_t i = 0; i < reports.progress.size(); ++i) {
        const BurnProgress& p = reports.progress[i];
        EXPECT_EQ(p.totalBlocks, 300);
        EXPECT_GE(p.fraction, 0.0);
        EXPECT_LE(p.fraction, 1.0);
        EXPECT_FALSE(p.phase.isEmpty());
        sawWriting = sawWriting || p.state == BurnState::Writing;
        if (i == 0)
            continue;
        const BurnProgress& before = reports.progress[i - 1];
        EXPECT_GE(p.fraction, before.fraction) << "at report " << i;
        EXPECT_GE(p.blocksWritten, before.blocksWritten) << "at report " << i;
        EXPECT_GE(int(p.state), int(before.state)) << "at report " << i;
    }
    EXPECT_EQ(reports.progress.front().state, BurnState::Preparing);
    EXPECT_TRUE(sawWriting);
    const BurnProgress& last = reports.progress.back();
    EXPECT_EQ(last.state, BurnState::Finished);
    EXPECT_EQ(last.phase, "Done");
    EXPECT_EQ(last.fraction, 1.0);
    EXPECT_EQ(last.blocksWritten, 300);
    EXPECT_EQ(burner.progress().fraction, 1.0);
}

TEST_F(DiscBurnerTest, BurnsByteExactlyWithoutBufferFromAProducerOfOddPieces) {
    auto producer = std::make_shared<PatternProducer>(-1, 1000);
    BurnOptions options;
    options.bufferBlocks = 0;
    DiscBurner burner(drive, producer, 77, options);
    ASSERT_TRUE(burner.start());
    EXPECT_EQ(burner.wait().outcome, BurnOutcome::Succeeded);
    EXPECT_EQ(image(), disctest::pattern(77 * kBlock));
    EXPECT_EQ(producer->misalignedRequests, 0);
}

TEST_F(DiscBurnerTest, ProducerEndingEarlyFailsAndRecordsNothingButZerosAfterItsData) {
    const std::int64_t endAt = 150 * kBlock + kBlock / 2;
    auto producer = std::make_shared<PatternProducer>(endAt);
    DiscBurner burner(drive, producer, 300);
    Reports reports;
    reports.attach(burner);
    ASSERT_TRUE(burner.start());
    BurnResult result = burner.wait();

    EXPECT_EQ(result.outcome, BurnOutcome::Failed);
    EXPECT_TRUE(result.message.contains("150 of 300")) << result.message.toStdString();
    EXPECT_FALSE(result.verified);
    EXPECT_FALSE(reports.everSucceeded());
    EXPECT_EQ(reports.progress.back().phase, "Failed");
    EXPECT_EQ(producer->cleanupCalls, 1);

    QByteArray written = image();
    EXPECT_LE(written.size(), 300 * kBlock);
    ASSERT_GE(written.size(), 0);
    EXPECT_EQ(written.left(endAt), disctest::pattern(endAt).left(written.size()));
    EXPECT_TRUE(allZero(written.mid(endAt))) << "bytes after the end of the data must be zeros";
}

TEST_F(DiscBurnerTest, ProducerEndingOneBlockShortNeverSucceeds) {
    DiscBurner burner(drive, std::make_shared<PatternProducer>(299 * kBlock), 300);
    Reports reports;
    reports.attach(burner);
    ASSERT_TRUE(burner.start());
    EXPECT_EQ(burner.wait().outcome, BurnOutcome::Failed);
    EXPECT_FALSE(reports.everSucceeded());
    EXPECT_EQ(burner.progress().phase, "Failed");
    EXPECT_TRUE(allZero(image().mid(299 * kBlock)));
}

TEST_F(DiscBurnerTest, CancelWhileTheProducerStallsStopsAndReportsCancelled) {
    auto producer = std::make_shared<StallingProducer>(100 * kBlock);
    DiscBurner burner(drive, producer, 3000);
    Reports reports;
    reports.attach(burner);
    ASSERT_TRUE(burner.start());
    ASSERT_TRUE(producer->waitUntilStalled());
    burner.cancel();
    BurnResult result = burner.wait();

    EXPECT_EQ(result.outcome, BurnOutcome::Cancelled) << result.message.toStdString();
    EXPECT_FALSE(result.message.isEmpty());
    EXPECT_LT(result.blocksWritten, 3000);
    EXPECT_GE(producer->cancelCalls, 1);
    EXPECT_EQ(producer->cleanupCalls, 1);
    EXPECT_FALSE(reports.everSucceeded());
    BurnProgress last = burner.progress();
    EXPECT_EQ(last.state, BurnState::Finished);
    EXPECT_EQ(last.phase, "Cancelled");
    EXPECT_LT(last.fraction, 1.0);
    QByteArray written = image();
    EXPECT_EQ(written.left(100 * kBlock), disctest::pattern(100 * kBlock).left(written.size()));
    EXPECT_TRUE(allZero(written.mid(100 * kBlock)));
    EXPECT_FALSE(drive->isClaimed());
}

namespace {

// Holds prepare() until the test lets it go.
class SlowPreparingProducer : public PatternProducer {
public:
    bool prepare() override {
        std::unique_lock<std::mutex> lock(mutex);
        entered = true;
        changed.notify_all();
        changed.wait_for(lock, std::chrono::seconds(30), [this] { return released; });
        return PatternProducer::prepare();
    }
    bool waitUntilPreparing() {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(30), [this] { return entered; });
    }
    void release() {
        std::lock_guard<std::mutex> lock(mutex);
        released = true;
        changed.notify_all();
    }

private:
    std::mutex mutex;
    std::condition_variable changed;
    bool entered = false;
    bool released = false;
};

} // namespace

TEST_F(DiscBurnerTest, CancelDuringPreparationRecordsNothing) {
    auto producer = std::make_shared<SlowPreparingProducer>();
    DiscBurner burner(drive, producer, 50);
    ASSERT_TRUE(burner.start());
    ASSERT_TRUE(producer->waitUntilPreparing());
    EXPECT_EQ(burner.progress().state, BurnState::Preparing);
    burner.cancel();
    producer->release();
    EXPECT_EQ(burner.wait().outcome, BurnOutcome::Cancelled);
    EXPECT_EQ(producer->produceCalls, 0);
    EXPECT_EQ(producer->cleanupCalls, 1);
    EXPECT_TRUE(image().isEmpty());
}

TEST_F(DiscBurnerTest, RefusesATrackOfNoBlocks) {
    for (std::int64_t blocks : {std::int64_t(0), std::int64_t(-5)}) {
        auto producer = std::make_shared<PatternProducer>();
        DiscBurner burner(drive, producer, blocks);
        QString error;
        EXPECT_FALSE(burner.start(&error));
        EXPECT_FALSE(error.isEmpty());
        EXPECT_FALSE(burner.isRunning());
        EXPECT_EQ(burner.wait().outcome, BurnOutcome::None);
        EXPECT_EQ(producer->prepareCalls, 0);
        EXPECT_EQ(producer->produceCalls, 0);
        EXPECT_FALSE(drive->isClaimed());
    }
}

TEST_F(DiscBurnerTest, RefusesATrackLargerThanTheMedium) {
    auto producer = std::make_shared<PatternProducer>();
    // The pseudo-drive's medium is the file system's free space, which other tests change meanwhile:
    // ask for far more than any of them can free.
    DiscBurner burner(drive, producer, drive->mediaInfo().freeBlocks + 10'000'000);
    QString error;
    EXPECT_FALSE(burner.start(&error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(producer->prepareCalls, 0);
    EXPECT_FALSE(drive->isClaimed());
}

TEST_F(DiscBurnerTest, OneBurnAtATimePerDriveAndPerBurner) {
    auto stalling = std::make_shared<StallingProducer>(10 * kBlock);
    BurnOptions noBuffer;
    noBuffer.bufferBlocks = 0;
    DiscBurner first(drive, stalling, 100, noBuffer);
    ASSERT_TRUE(first.start());
    QString error;
    EXPECT_FALSE(first.start(&error)) << "a burner burns once";
    EXPECT_FALSE(error.isEmpty());

    auto other = std::make_shared<PatternProducer>();
    DiscBurner second(drive, other, 10);
    error.clear();
    EXPECT_FALSE(second.start(&error));
    EXPECT_TRUE(error.contains("busy")) << error.toStdString();
    EXPECT_EQ(other->prepareCalls, 0);

    ASSERT_TRUE(stalling->waitUntilStalled());
    first.cancel();
    EXPECT_EQ(first.wait().outcome, BurnOutcome::Cancelled);
    DiscBurner third(drive, other, 10);
    ASSERT_TRUE(third.start(&error)) << "the drive is free again: " << error.toStdString();
    BurnResult third_result = third.wait();
    EXPECT_EQ(third_result.outcome, BurnOutcome::Succeeded) << third_result.message.toStdString();
}

TEST_F(DiscBurnerTest, FailedPreparationFailsWithoutAskingForData) {
    auto producer = std::make_shared<PatternProducer>();
    producer->prepareResult = false;
    DiscBurner burner(drive, producer, 20);
    ASSERT_TRUE(burner.start());
    BurnResult result = burner.wait();
    EXPECT_EQ(result.outcome, BurnOutcome::Failed);
    EXPECT_FALSE(result.message.isEmpty());
    EXPECT_EQ(producer->produceCalls, 0);
    EXPECT_EQ(producer->cleanupCalls, 1);
    EXPECT_TRUE(image().isEmpty());
}

TEST_F(DiscBurnerTest, VerifiesWhatWasBurnt) {
    BurnOptions options;
    options.verify = true;
    DiscBurner burner(drive, std::make_shared<PatternProducer>(), 120, options);
    Reports reports;
    reports.attach(burner);
    ASSERT_TRUE(burner.start());
    BurnResult result = burner.wait();
    EXPECT_EQ(result.outcome, BurnOutcome::Succeeded) << result.message.toStdString();
    EXPECT_TRUE(result.verified);
    bool sawVerifying = false;
    for (std::size_t i = 0; i < reports.progress.size(); ++i) {
        sawVerifying = sawVerifying || reports.progress[i].state == BurnState::Verifying;
        if (i > 0) {
            EXPECT_GE(reports.progress[i].fraction, reports.progress[i - 1].fraction);
        }
    }
    EXPECT_TRUE(sawVerifying);
    EXPECT_EQ(reports.progress.back().fraction, 1.0);
}

TEST_F(DiscBurnerTest, ATestBurnGoesThroughTheDataAndWritesNothing) {
    QFile existing(path);
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    const QByteArray before = QByteArray(5 * kBlock, 'x');
    existing.write(before);
    existing.close();
    struct Case {
        QString image;
        bool existed;
    };
    for (const Case& c : {Case{path, true}, Case{dir.file("new.img"), false}}) {
        QString error;
        auto target =
            c.image == path ? drive : DiscDrive::open(DiscDrive::pseudoDriveAddress(c.image), &error);
        ASSERT_TRUE(target) << error.toStdString();
        auto producer = std::make_shared<PatternProducer>();
        BurnOptions options;
        options.simulate = true;
        DiscBurner burner(target, producer, 200, options);
        ASSERT_TRUE(burner.start(&error)) << error.toStdString();
        const BurnResult result = burner.wait();
        EXPECT_EQ(result.outcome, BurnOutcome::Succeeded) << result.message.toStdString();
        EXPECT_TRUE(result.simulated);
        EXPECT_TRUE(result.message.contains("Nothing was written")) << result.message.toStdString();
        EXPECT_EQ(result.blocksWritten, 0);
        EXPECT_FALSE(result.verified);
        EXPECT_EQ(producer->producedBytes.load(), 200 * kBlock) << "the whole track is produced";
        EXPECT_EQ(producer->cleanupCalls, 1);
        if (c.existed)
            EXPECT_EQ(image(), before) << "the image is as it was";
        else
            EXPECT_FALSE(QFileInfo::exists(c.image)) << "no file is left where there was none";
    }

    BurnOptions both;
    both.simulate = both.verify = true;
    DiscBurner refused(drive, std::make_shared<PatternProducer>(), 10, both);
    QString why;
    EXPECT_FALSE(refused.start(&why));
    EXPECT_TRUE(why.contains("nothing to verify")) << why.toStdString();
}

namespace {

// Spoils block 7 of the image when the recording is over, as a bad medium would.
class SpoilingProducer : public PatternProducer {
public:
    explicit SpoilingProducer(QString path) : path(std::move(path)) {}
    void cleanup() override {
        PatternProducer::cleanup();
        QFile file(path);
        if (file.open(QIODevice::ReadWrite) && file.seek(7 * kBlock + 100))
            file.write("spoilt");
    }

private:
    QString path;
};

} // namespace

TEST_F(DiscBurnerTest, VerificationFindsAMediumThatDiffers) {
    BurnOptions options;
    options.verify = true;
    DiscBurner burner(drive, std::make_shared<SpoilingProducer>(path), 40, options);
    Reports reports;
    reports.attach(burner);
    ASSERT_TRUE(burner.start());
    BurnResult result = burner.wait();
    EXPECT_EQ(result.outcome, BurnOutcome::Failed);
    EXPECT_FALSE(result.verified);
    EXPECT_FALSE(reports.everSucceeded());
}

TEST_F(DiscBurnerTest, FailsWithTheRecordersReasonWhenTheTargetCannotBeWritten) {
    drive.reset();
    auto folderDrive = DiscDrive::open(DiscDrive::pseudoDriveAddress(dir.path()));
    ASSERT_NE(folderDrive, nullptr);
    auto producer = std::make_shared<PatternProducer>();
    DiscBurner burner(folderDrive, producer, 10);
    QString error;
    if (!burner.start(&error)) {
        EXPECT_FALSE(error.isEmpty()); // refused up front: as good as a failure
        return;
    }
    BurnResult result = burner.wait();
    EXPECT_EQ(result.outcome, BurnOutcome::Failed);
    EXPECT_TRUE(result.message.startsWith("The burn failed")) << result.message.toStdString();
    EXPECT_GT(result.message.size(), QString("The burn failed.").size()) << "with the recorder's reason";
    EXPECT_EQ(producer->cleanupCalls, producer->prepareCalls.load());
}

TEST_F(DiscBurnerTest, DestroyingARunningBurnerCancelsAndWaits) {
    auto producer = std::make_shared<StallingProducer>(20 * kBlock);
    {
        DiscBurner burner(drive, producer, 500);
        ASSERT_TRUE(burner.start());
        ASSERT_TRUE(producer->waitUntilStalled());
    }
    EXPECT_GE(producer->cancelCalls, 1);
    EXPECT_EQ(producer->cleanupCalls, 1);
    EXPECT_FALSE(drive->isClaimed());
}

TEST(DiscBurnerThreads, BurnsOnSeparateDrivesAtOnceStayApart) {
    TempDir dir;
    const std::int64_t sizes[3] = {100, 130, 170};
    std::vector<BurnResult> results(3);
    std::vector<std::thread> threads;
    for (int i = 0; i < 3; ++i) {
        threads.emplace_back([&, i] {
            auto drive =
                DiscDrive::open(DiscDrive::pseudoDriveAddress(dir.file(QString("disc%1.img").arg(i))));
            if (!drive)
                return;
            DiscBurner burner(drive, std::make_shared<PatternProducer>(), sizes[i]);
            if (!burner.start())
                return;
            while (burner.isRunning())
                EXPECT_LE(burner.progress().fraction, 1.0);
            results[i] = burner.wait();
        });
    }
    for (std::thread& t : threads)
        t.join();
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(results[i].outcome, BurnOutcome::Succeeded)
            << "burn " << i << ": " << results[i].message.toStdString();
        QFile file(dir.file(QString("disc%1.img").arg(i)));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), disctest::pattern(sizes[i] * kBlock)) << "burn " << i;
    }
    EXPECT_EQ(DiscLibrary::acquire()->openDriveCount(), 0);
}
