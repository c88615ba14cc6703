#pragma once

#include "platform/foundation/ChildProcess.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>
#include <mutex>

// One run of the ffmpeg program: started from an argument vector, its messages read to keep them flowing
// (the last few kept to say why it failed), its exit status collected. terminate() and kill() may come from
// any thread; they only ever signal a child that has not been reaped, so a reused process id is never hit,
// and a request made before the child exists stops it as soon as it does.
class FFmpegRunner {
public:
    struct Result {
        bool started = false;
        bool succeeded = false; // exited with status 0
        bool stopped = false;   // terminate() or kill() was asked for
        QString error;          // why it did not start or did not succeed, with its last messages
    };

    // ffmpeg as the tool search finds it: the tests' tools folder, the resources' own tools, then PATH.
    static QString ffmpegPath();

    FFmpegRunner() = default;
    FFmpegRunner(const FFmpegRunner&) = delete;
    FFmpegRunner& operator=(const FFmpegRunner&) = delete;

    // Runs to the end on the calling thread. Once per runner.
    Result run(const QStringList& arguments);
    void terminate(); // SIGTERM
    void kill();      // SIGKILL
    bool running() const;

private:
    void signal(bool force);

    mutable std::mutex mutex;
    std::shared_ptr<platform::ChildProcess> child;
    std::atomic<int> stopRequest{0}; // 0 none, 1 terminate, 2 kill
};
