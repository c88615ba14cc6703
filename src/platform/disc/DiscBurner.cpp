#include "platform/disc/DiscBurner.h"

#include "platform/disc/ProducerSource.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

#include <libburn/libburn.h>

#include <algorithm>
#include <chrono>

namespace platform::disc {

namespace {

constexpr std::int64_t blockSize = ProducerSource::blockSize;
// The recorder counts blocks in an int, and caps files used as media just below this.
constexpr std::int64_t maximumBlocks = 0x7ffffff0;
constexpr auto pollInterval = std::chrono::milliseconds(20);
constexpr auto writerEndTimeout = std::chrono::milliseconds(10000);

QString phaseOf(burn::burn_drive_status status) {
    switch (status) {
    case burn::BURN_DRIVE_WRITING_LEADIN:
        return QStringLiteral("Writing lead-in");
    case burn::BURN_DRIVE_WRITING_LEADOUT:
        return QStringLiteral("Writing lead-out");
    case burn::BURN_DRIVE_CLOSING_TRACK:
        return QStringLiteral("Closing track");
    case burn::BURN_DRIVE_CLOSING_SESSION:
        return QStringLiteral("Closing session");
    case burn::BURN_DRIVE_FORMATTING:
        return QStringLiteral("Formatting");
    case burn::BURN_DRIVE_SPAWNING:
    case burn::BURN_DRIVE_GRABBING:
        return QStringLiteral("Preparing");
    default:
        return QStringLiteral("Writing");
    }
}

// The file of a pseudo-drive when there is nothing at its path yet; else empty.
QString absentPseudoDriveFile(const DiscDrive& drive) {
    const QString prefix = QStringLiteral("stdio:");
    if (!drive.isPseudoDrive() || !drive.address().startsWith(prefix))
        return QString();
    const QFileInfo file(drive.address().mid(prefix.size()));
    return file.exists() || file.isSymLink() ? QString() : file.absoluteFilePath();
}

} // namespace

// The recorder's description of the burn; freed in reverse order of making, each by its own reference.
struct DiscBurner::Job {
    std::shared_ptr<ProducerSource> source;
    burn::burn_source* input = nullptr;
    burn::burn_source* buffer = nullptr;
    burn::burn_track* track = nullptr;
    burn::burn_session* session = nullptr;
    burn::burn_disc* disc = nullptr;
    burn::burn_write_opts* writeOptions = nullptr;
    std::int64_t startBlock = 0;

    ~Job() {
        if (writeOptions)
            burn::burn_write_opts_free(writeOptions);
        if (disc)
            burn::burn_disc_free(disc);
        if (session)
            burn::burn_session_free(session);
        if (track)
            burn::burn_track_free(track);
        if (buffer)
            burn::burn_source_free(buffer);
        if (input)
            burn::burn_source_free(input);
    }

    bool describeTrack(int bufferBlocks) {
        input = source->makeLibrarySource();
        if (!input)
            return false;
        if (bufferBlocks >= 2) {
            buffer = burn::burn_fifo_source_new(input, static_cast<int>(blockSize), bufferBlocks, 0);
            if (!buffer)
                return false;
        }
        track = burn::burn_track_create();
        session = burn::burn_session_create();
        disc = burn::burn_disc_create();
        if (!track || !session || !disc)
            return false;
        burn::burn_track_define_data(track, 0, 0, 1, BURN_MODE1);
        if (burn::burn_track_set_source(track, buffer ? buffer : input) != burn::BURN_SOURCE_OK)
            return false;
        return burn::burn_session_add_track(session, track, BURN_POS_END) == 1 &&
               burn::burn_disc_add_session(disc, session, BURN_POS_END) == 1;
    }

    bool describeWriting(burn::burn_drive* drive, bool simulate, QString* error) {
        writeOptions = burn::burn_write_opts_new(drive);
        if (!writeOptions)
            return false;
        if (burn::burn_write_opts_set_write_type(writeOptions, burn::BURN_WRITE_SAO, burn::BURN_BLOCK_SAO) !=
            1) {
            *error = QStringLiteral("The drive cannot record this medium in one pass.");
            return false;
        }
        burn::burn_write_opts_set_simulate(writeOptions, simulate ? 1 : 0);
        burn::burn_write_opts_set_underrun_proof(writeOptions, 1);
        burn::burn_write_opts_set_multi(writeOptions, 0); // close the medium: players read closed discs only
        int lba = 0;
        int nextWritable = 0;
        if (burn::burn_disc_track_lba_nwa(drive, writeOptions, 0, &lba, &nextWritable) == 1)
            startBlock = nextWritable;
        char reasons[BURN_REASONS_LEN] = {};
        if (burn::burn_precheck_write(writeOptions, disc, reasons, 1) != 1) {
            *error = QStringLiteral("The drive refused the burn: %1")
                         .arg(QString::fromLocal8Bit(reasons).trimmed());
            return false;
        }
        return true;
    }
};

DiscBurner::DiscBurner(std::shared_ptr<DiscDrive> drive, std::shared_ptr<TrackProducer> producer,
                       std::int64_t blocks, BurnOptions options)
    : drive(std::move(drive)), producer(std::move(producer)), blocks(blocks), options(options) {
    current.totalBlocks = blocks;
}

DiscBurner::~DiscBurner() {
    cancel();
    if (worker.joinable())
        worker.join();
}

void DiscBurner::setProgressHandler(std::function<void(const BurnProgress&)> handler) {
    progressHandler = std::move(handler);
}

void DiscBurner::setFinishedHandler(std::function<void(const BurnResult&)> handler) {
    finishedHandler = std::move(handler);
}

bool DiscBurner::checkRequest(QString* error) const {
    if (blocks <= 0) {
        *error = QStringLiteral("A track needs at least one block.");
        return false;
    }
    if (blocks > maximumBlocks) {
        *error = QStringLiteral("A track of %1 blocks is too large to record.").arg(blocks);
        return false;
    }
    if (!drive || !producer) {
        *error = QStringLiteral("A burn needs a drive and a producer.");
        return false;
    }
    if (options.verify && options.simulate) {
        *error = QStringLiteral("A test burn writes nothing, so there is nothing to verify.");
        return false;
    }
    if (options.verify && !drive->canReadBack()) {
        *error =
            QStringLiteral("This drive cannot read back what it records, so the burn cannot be verified.");
        return false;
    }
    return true;
}

bool DiscBurner::checkMedium(QString* error) const {
    MediaInfo medium = drive->mediaInfo();
    if (medium.status == MediaStatus::NoMedium) {
        *error = QStringLiteral("There is no medium in the drive.");
        return false;
    }
    if (blocks > medium.freeBlocks) {
        *error = QStringLiteral("The track needs %1 blocks, but the medium has room for %2.")
                     .arg(blocks)
                     .arg(medium.freeBlocks);
        return false;
    }
    return true;
}

bool DiscBurner::start(QString* error) {
    QString reason;
    bool ok = startChecked(&reason);
    if (!ok && error)
        *error = reason;
    return ok;
}

bool DiscBurner::startChecked(QString* reason) {
    {
        std::lock_guard<std::mutex> guard(mutex);
        if (started) {
            *reason = QStringLiteral("This burn has already been started.");
            return false;
        }
        started = true;
    }
    std::unique_ptr<Job> newJob = prepareJob(reason);
    std::lock_guard<std::mutex> guard(mutex);
    if (!newJob) {
        started = false;
        return false;
    }
    job = std::move(newJob);
    running = true;
    worker = std::thread([this] { run(); });
    return true;
}

std::unique_ptr<DiscBurner::Job> DiscBurner::prepareJob(QString* reason) {
    if (!checkRequest(reason))
        return nullptr;
    if (!drive->claim()) {
        *reason = QStringLiteral("The drive is busy.");
        return nullptr;
    }
    auto newJob = std::make_unique<Job>();
    newJob->source = std::make_shared<ProducerSource>(producer, blocks);
    bool ok = checkMedium(reason);
    if (ok && !newJob->describeTrack(options.bufferBlocks)) {
        *reason = QStringLiteral("The track could not be set up.");
        ok = false;
    }
    if (ok && !newJob->describeWriting(drive->handle(), options.simulate, reason)) {
        if (reason->isEmpty())
            *reason = QStringLiteral("The burn could not be set up.");
        ok = false;
    }
    if (ok)
        return newJob;
    newJob.reset(); // the library's objects go before the drive is free for others
    drive->unclaim();
    return nullptr;
}

void DiscBurner::run() {
    BurnResult result = record();
    job.reset();
    drive->unclaim();
    finish(result);
}

BurnResult DiscBurner::record() {
    const BurnResult cancelled{BurnOutcome::Cancelled, QStringLiteral("The burn was cancelled.")};
    if (cancelRequested())
        return cancelled;
    setProgress(BurnState::Preparing, QStringLiteral("Preparing data"), 0.0, 0);
    if (!producer->prepare()) {
        producer->cleanup();
        return {BurnOutcome::Failed, QStringLiteral("The data for the disc could not be prepared.")};
    }
    setProgress(BurnState::Preparing, QStringLiteral("Waiting for the recorder"), 0.0, 0);
    if (cancelRequested() || !DiscLibrary::acquireWriter([this] { return cancelRequested(); })) {
        producer->cleanup();
        return cancelled;
    }
    // The recorder opens a pseudo-drive's file even when it only simulates: a test burn leaves no file
    // where there was none.
    const QString absentFile = options.simulate ? absentPseudoDriveFile(*drive) : QString();
    bool wroteWell = false;
    QStringList messages = write(&wroteWell);
    if (!absentFile.isEmpty() && QFileInfo(absentFile).isFile() && !QFileInfo(absentFile).isSymLink() &&
        QFileInfo(absentFile).size() == 0)
        QFile::remove(absentFile);
    DiscLibrary::releaseWriter();
    job->source->detach();
    producer->cleanup();
    return finishRecording(wroteWell, messages);
}

QStringList DiscBurner::write(bool* wroteWell) {
    std::uint64_t mark = DiscLibrary::messageMark();
    std::uint64_t endedBefore = DiscLibrary::writersEnded();
    burn::burn_disc_write(job->writeOptions, job->disc);
    monitorWriting();
    // The drive reads idle before the library's writer has quite finished (after a failure it lingers
    // for half a second); until it has, the drive cannot be used again nor the library shut down.
    if (!DiscLibrary::waitForWriterEnd(endedBefore, writerEndTimeout))
        qWarning("disc: the recorder's writer did not report its end");
    *wroteWell = burn::burn_drive_wrote_well(drive->handle()) == 1;
    return DiscLibrary::messagesSince(mark);
}

void DiscBurner::monitorWriting() {
    burn::burn_progress state{};
    burn::burn_drive_status status;
    bool stopping = false;
    while ((status = burn::burn_drive_get_status(drive->handle(), &state)) != burn::BURN_DRIVE_IDLE) {
        if (cancelRequested() || job->source->endedEarly()) {
            burn::burn_drive_cancel(drive->handle()); // only takes while writing, so it is repeated
            if (!stopping)
                job->source->cancel();
            stopping = true;
        }
        std::int64_t written = std::clamp<std::int64_t>(state.sector, 0, blocks);
        double fraction = state.sectors > 0 ? double(written) / double(blocks) : 0.0;
        setProgress(BurnState::Writing, phaseOf(status), writeShare() * fraction, written);
        DiscLibrary::pumpMessages(); // the library's queue holds everything down to DEBUG
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait_for(lock, pollInterval, [&] { return cancelling && !stopping; });
    }
}

BurnResult DiscBurner::finishRecording(bool wroteWell, const QStringList& messages) {
    const ProducerSource& source = *job->source;
    // A cancel that came after the last block was recorded has nothing left to stop.
    if (cancelRequested() && !(wroteWell && source.deliveredBytes() == source.totalBytes()))
        return {BurnOutcome::Cancelled, QStringLiteral("The burn was cancelled.")};
    if (source.endedEarly())
        return {BurnOutcome::Failed,
                QStringLiteral("The data ended after %1 of %2 blocks, so the burn was stopped.")
                    .arg(source.producedBytes() / blockSize)
                    .arg(blocks)};
    if (!wroteWell)
        return {BurnOutcome::Failed, DiscLibrary::explained(QStringLiteral("The burn failed."), messages)};
    if (source.deliveredBytes() != source.totalBytes())
        return {BurnOutcome::Failed, QStringLiteral("The recorder took only %1 of %2 blocks.")
                                         .arg(source.deliveredBytes() / blockSize)
                                         .arg(blocks)};
    setProgress(BurnState::Writing, QStringLiteral("Writing"), writeShare(), blocks);
    if (options.simulate) {
        BurnResult tested{BurnOutcome::Succeeded,
                          QStringLiteral("The test burn succeeded. Nothing was written to the disc.")};
        tested.simulated = true;
        return tested;
    }
    if (options.verify)
        return verify();
    return {BurnOutcome::Succeeded, QStringLiteral("The disc was burnt successfully.")};
}

BurnResult DiscBurner::verify() {
    setProgress(BurnState::Verifying, QStringLiteral("Verifying"), writeShare(), blocks);
    if (!drive->isPseudoDrive())
        burn::burn_drive_re_assess(drive->handle(), 0); // a recorder learns the new state of the medium
    QCryptographicHash readHash(QCryptographicHash::Sha256);
    std::int64_t verified = 0;
    auto compare = [&](const std::uint8_t* data, std::size_t size) {
        if (cancelRequested())
            return false;
        readHash.addData(QByteArrayView(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
        verified += static_cast<std::int64_t>(size) / blockSize;
        setProgress(BurnState::Verifying, QStringLiteral("Verifying"),
                    writeShare() + (1.0 - writeShare()) * double(verified) / double(blocks), blocks);
        return true;
    };
    QString error;
    bool read = drive->readBlocks(job->startBlock, blocks, compare, &error);
    if (!read && cancelRequested())
        return {BurnOutcome::Cancelled,
                QStringLiteral("The verification was cancelled; the disc was written.")};
    if (!read)
        return {BurnOutcome::Failed, QStringLiteral("The disc could not be verified: %1").arg(error)};
    if (readHash.result() != job->source->checksum())
        return {BurnOutcome::Failed, QStringLiteral("The disc does not hold the data that was burnt.")};
    return {BurnOutcome::Succeeded, QStringLiteral("The disc was burnt and verified."), 0, true};
}

double DiscBurner::writeShare() const {
    return options.verify ? 0.5 : 1.0;
}

void DiscBurner::setProgress(BurnState state, const QString& phase, double fraction, std::int64_t written) {
    BurnProgress snapshot;
    {
        std::lock_guard<std::mutex> guard(mutex);
        BurnProgress next = current;
        next.state = state;
        next.phase = phase;
        next.fraction = std::clamp(std::max(current.fraction, fraction), 0.0, 1.0);
        next.blocksWritten = std::max(current.blocksWritten, written);
        if (next.state == current.state && next.phase == current.phase && next.fraction == current.fraction &&
            next.blocksWritten == current.blocksWritten)
            return;
        current = next;
        snapshot = next;
    }
    if (progressHandler)
        progressHandler(snapshot);
}

void DiscBurner::finish(BurnResult result) {
    BurnProgress snapshot;
    {
        std::lock_guard<std::mutex> guard(mutex);
        bool succeeded = result.outcome == BurnOutcome::Succeeded;
        current.state = BurnState::Finished;
        current.phase = succeeded                                  ? QStringLiteral("Done")
                        : result.outcome == BurnOutcome::Cancelled ? QStringLiteral("Cancelled")
                                                                   : QStringLiteral("Failed");
        if (succeeded)
            current.fraction = 1.0;
        result.blocksWritten = result.simulated ? 0 : succeeded ? blocks : current.blocksWritten;
        outcome = result;
        snapshot = current;
    }
    // The handlers run before wait() returns, so what they recorded is complete when it does.
    if (progressHandler)
        progressHandler(snapshot);
    if (finishedHandler)
        finishedHandler(result);
    {
        std::lock_guard<std::mutex> guard(mutex);
        running = false;
    }
    changed.notify_all();
}

void DiscBurner::cancel() {
    {
        std::lock_guard<std::mutex> guard(mutex);
        if (!running)
            return;
        cancelling = true;
    }
    changed.notify_all();
}

bool DiscBurner::cancelRequested() const {
    std::lock_guard<std::mutex> guard(mutex);
    return cancelling;
}

BurnResult DiscBurner::wait() {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [this] { return !running; });
    return outcome;
}

bool DiscBurner::isRunning() const {
    std::lock_guard<std::mutex> guard(mutex);
    return running;
}

BurnProgress DiscBurner::progress() const {
    std::lock_guard<std::mutex> guard(mutex);
    return current;
}

BurnResult DiscBurner::result() const {
    std::lock_guard<std::mutex> guard(mutex);
    return outcome;
}

} // namespace platform::disc
