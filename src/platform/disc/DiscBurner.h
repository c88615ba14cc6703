#pragma once

#include "platform/disc/DiscDrive.h"
#include "platform/disc/TrackProducer.h"

#include <QString>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace platform::disc {

enum class BurnState { Idle, Preparing, Writing, Verifying, Finished };
enum class BurnOutcome { None, Succeeded, Failed, Cancelled };

struct BurnOptions {
    bool verify = false;     // read the track back and compare it with what was produced
    bool simulate = false;   // a test burn: the recorder goes through the whole burn and writes nothing
    int bufferBlocks = 2048; // ring buffer between producer and recorder (4 MiB); 0 for none
};

struct BurnProgress {
    BurnState state = BurnState::Idle;
    double fraction = 0.0; // of the whole job (writing, then reading back when verifying: half each);
                           // never decreases; 1 once all blocks are through, result() tells the outcome
    QString phase;         // English: "Preparing data", "Writing", "Closing track", "Verifying", "Done", ...
    std::int64_t blocksWritten = 0;
    std::int64_t totalBlocks = 0;
};

struct BurnResult {
    BurnOutcome outcome = BurnOutcome::None;
    QString message; // English, for the person who burns
    std::int64_t blocksWritten = 0;
    bool verified = false;  // the read-back matched what the producer gave
    bool simulated = false; // a test burn: the medium was left as it was
};

// Records one single-session data track of 2048-byte blocks, fed by a TrackProducer, and closes the
// medium: disc-at-once, buffer-underrun protection on. A test burn (BurnOptions::simulate) takes the same
// course, the producer's data included, with the recorder's laser off: nothing is written and nothing can
// be verified.
//
// start() checks what can be checked at once (size, drive, medium, the recorder's own check of the job)
// and then records on a worker thread; progress(), result(), cancel() and wait() may be called from any
// thread. The handlers run on the worker thread and must not call wait(). A burn whose producer ends
// before the declared size is stopped and fails; it never reports success. Burns in one process take
// turns at the recorder library (see DiscLibrary): a second one waits in the phase "Waiting for the
// recorder". When wait() returns, the library is done with the drive.
class DiscBurner {
public:
    DiscBurner(std::shared_ptr<DiscDrive> drive, std::shared_ptr<TrackProducer> producer, std::int64_t blocks,
               BurnOptions options = {});
    ~DiscBurner(); // cancels a burn still running and waits for its end
    DiscBurner(const DiscBurner&) = delete;
    DiscBurner& operator=(const DiscBurner&) = delete;

    // Set before start(). Progress comes whenever it changed; finished once, after the result is set.
    void setProgressHandler(std::function<void(const BurnProgress&)> handler);
    void setFinishedHandler(std::function<void(const BurnResult&)> handler);

    // False, with the reason, when the burn cannot begin; then nothing was asked of the producer.
    bool start(QString* error = nullptr);
    // Stops a running burn soon (the producer is told through TrackProducer::cancel()); nothing before
    // start() or after the end. Once the last block is recorded only a verification is left to stop.
    void cancel();
    BurnResult wait(); // the result once the burn has ended (at once if it never started)

    bool isRunning() const;
    BurnProgress progress() const;
    BurnResult result() const;

private:
    struct Job;

    bool startChecked(QString* reason);
    std::unique_ptr<Job> prepareJob(QString* reason);
    bool checkRequest(QString* error) const;
    bool checkMedium(QString* error) const;
    void run();
    BurnResult record();
    QStringList write(bool* wroteWell);
    void monitorWriting();
    BurnResult finishRecording(bool wroteWell, const QStringList& messages);
    BurnResult verify();
    double writeShare() const;
    void setProgress(BurnState state, const QString& phase, double fraction, std::int64_t written);
    void finish(BurnResult result);
    bool cancelRequested() const;

    std::shared_ptr<DiscDrive> drive;
    std::shared_ptr<TrackProducer> producer;
    const std::int64_t blocks;
    const BurnOptions options;
    std::unique_ptr<Job> job;
    std::function<void(const BurnProgress&)> progressHandler;
    std::function<void(const BurnResult&)> finishedHandler;

    mutable std::mutex mutex;
    std::condition_variable changed;
    bool started = false;
    bool running = false;
    bool cancelling = false;
    BurnProgress current;
    BurnResult outcome;
    std::thread worker;
};

} // namespace platform::disc
