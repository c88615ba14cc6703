#pragma once

#include "platform/foundation/ChildProcess.h"

#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

// What the creators that have ffmpeg encode frames piped from the player share: the fixed temporary files
// in the private temporary folder, the cancel and finished flags, the driver thread, and one ffmpeg run with
// its exit checked and its last words kept for the user.
class FFMMCreateObjectBase {
public:
    FFMMCreateObjectBase();
    // Derived creators stop and join their driver in their own destructor (it runs their code).
    virtual ~FFMMCreateObjectBase();
    FFMMCreateObjectBase(const FFMMCreateObjectBase&) = delete;
    FFMMCreateObjectBase& operator=(const FFMMCreateObjectBase&) = delete;

    static QString strVideoFIFOName();
    static QString strAudioFIFOName();
    static QString strTempM4AAudioFullPath();
    // Removes the mixed sound and both pipes; errors are of no interest.
    static void deleteTempFiles();
    // Where ffmpeg is looked for: the tools folder of the tests, the resources' own tools, then PATH.
    static QString ffmpegPath();

    // Starts the driver with the parameters on a thread of its own. False while a driver still runs.
    bool startEncodeMovie(const QVariantMap& params);
    // Whether a driver started here has not yet returned.
    bool isRunning() const { return !driverDone.load(); }
    // Clears the cancel request.
    virtual void deInitVar();

    QString strOutputFullPath() const;
    void setStrOutputFullPath(const QString& path);
    bool bCancelRequest() const { return cancelRequest.load(); }
    void setBCancelRequest(bool value) { cancelRequest = value; }
    bool bFFMMEncodeFinished() const { return encodeFinished.load(); }
    void setBFFMMEncodeFinished(bool value) { encodeFinished = value; }

protected:
    // The driver; runs on the thread startEncodeMovie made.
    virtual void startEncodeMovieThreadProc(const QVariantMap& params);
    void joinDriver();

    // What one ffmpeg run came to.
    struct FFmpegResult {
        bool succeeded = false; // exited with status 0
        bool cancelled = false; // stopped on request
        QString error;          // why it failed, with the end of ffmpeg's own messages
    };
    // Runs ffmpeg with the arguments to its end, reading (and keeping the end of) its messages. Blocks the
    // calling thread; terminateFFmpeg() from another thread ends it early.
    FFmpegResult runFFmpeg(const QStringList& arguments);
    // Asks a running ffmpeg to stop (SIGTERM), or with force (SIGKILL); only a child not yet reaped is ever
    // signalled, so a reused process id is never hit.
    void terminateFFmpeg(bool force = false);

private:
    std::atomic<bool> cancelRequest{false};
    std::atomic<bool> encodeFinished{false};
    mutable std::mutex mutex;
    QString outputPath;
    std::shared_ptr<platform::ChildProcess> child; // the ffmpeg run under way
    std::atomic<bool> terminateRequested{false};
    std::atomic<bool> driverDone{true};
    std::thread driver;
};
