#pragma once

#include "platform/foundation/ChildProcess.h"
#include "platform/foundation/FileIdentity.h"
#include "platform/foundation/FileUtils.h"
#include "platform/foundation/NamedPipe.h"
#include "platform/foundation/UniqueFd.h"

#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

// What the creators that have ffmpeg encode frames piped from the player share: the fixed temporary files
// in the private temporary folder, the cancel and finished flags, the driver thread, one ffmpeg run with
// its exit checked and its last words kept for the user, and a pass that runs a frame pump and ffmpeg side
// by side through the pipes.
class FFMMCreateObjectBase {
public:
    static constexpr std::chrono::milliseconds kPollInterval{300};
    // How many looks a cancelled ffmpeg gets to end before it is killed.
    static constexpr int kPollsBeforeKill = 20;

    // What one ffmpeg run came to.
    struct FFmpegResult {
        bool succeeded = false; // exited with status 0
        bool cancelled = false; // stopped on request
        QString error;          // why it failed, with the end of ffmpeg's own messages
    };

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
    // How often the driver looks at the cancel flag while ffmpeg runs, and how many looks ffmpeg gets to end
    // by itself before it is stopped harder (tests shorten both).
    void setCancelPolling(std::chrono::milliseconds interval, int pollsBeforeKill);

protected:
    // The driver; runs on the thread startEncodeMovie made.
    virtual void startEncodeMovieThreadProc(const QVariantMap& params);
    void joinDriver();

    // Runs ffmpeg with the arguments to its end, reading (and keeping the end of) its messages. Blocks the
    // calling thread; terminateFFmpeg() from another thread ends it early.
    FFmpegResult runFFmpeg(const QStringList& arguments);
    // Asks a running ffmpeg to stop (SIGTERM), or with force (SIGKILL); only a child not yet reaped is ever
    // signalled, so a reused process id is never hit.
    void terminateFFmpeg(bool force = false);

    // prefix + suffix in the private temporary folder; empty without one.
    static QString temporaryFile(const QString& suffix);
    // The same in the private folder for large files.
    static QString largeTemporaryFile(const QString& suffix);
    // Makes the file ffmpeg is to write the output into: a fresh one of ours in the output's folder, without
    // a name where the file system allows (else hidden under a name of its own), kept open to be told from
    // any file that takes that name. The path that reaches it through that descriptor, or empty with a
    // message in *error.
    QString preparePartialOutput(QString* error);
    // Gives the file preparePartialOutput made the output path, when ffmpeg has left its output there: the
    // file as it then is, or nothing with a message in *error and why in *loss.
    std::optional<platform::FileIdentity> placePartialOutput(QString* error,
                                                             platform::PartialLoss* loss = nullptr);
    // Removes the file preparePartialOutput made, unless another has taken its name.
    void removePartialOutput();
    // Opens the mixed sound the pass's mix step left in the M4A file (written: as the step left it, when it
    // tells), so that ffmpeg and the check of its movie read that file through our descriptor, never
    // whatever another program puts at the name afterwards. False with a message in *error.
    bool holdMixedSound(const std::optional<platform::FileIdentity>& written, QString* error);
    // The name that reaches the held mixed sound; the M4A file's own name while none is held.
    QString mixedSoundPath() const;
    void releaseMixedSound();
    // A frame size as ffmpeg's "-s" takes it, without decimals: "960x540".
    static QString frameSizeArgument(const QSizeF& size);
    // The start of every command line here: raw BGRA frames of `size` at 30 per second from the video pipe,
    // and the sound of the M4A file.
    static QStringList rawFrameInputArguments(const QSizeF& size, const QString& videoFIFO,
                                              const QString& m4aPath);
    // Makes the audio pipe, then the video pipe, at their fixed names.
    bool createPipes(QString* error);
    void removePipes();
    // One pass, on the driver's thread: the pump on a thread of its own and ffmpeg with the arguments (made
    // on the runner's thread) on another; waits with waitForFFmpeg(), then lets a pump still writing drain
    // away and joins it. ffmpegResult holds ffmpeg's end afterwards.
    void runPumpBesideFFmpeg(const std::function<void()>& pump,
                             const std::function<QStringList()>& arguments);
    // The same with a runner of the creator's own, which runs ffmpeg to its end on the runner's thread.
    void runPumpBesideRunner(const std::function<void()>& pump, const std::function<FFmpegResult()>& runner);
    // Waits until the ffmpeg run of the pass has ended, stopping it on the creator's terms.
    virtual void waitForFFmpeg() = 0;
    // For waitForFFmpeg once the pump has ended: a pump that never opened the video pipe leaves ffmpeg
    // waiting in its open for a writer, and this gives it the end of an empty stream instead, so that ffmpeg
    // ends on its own and its end tells what happened. Harmless after a pump that wrote, since a reader
    // already there only sees the end again.
    void releaseWaitingReader();

    std::chrono::milliseconds pollInterval = kPollInterval;
    int pollsBeforeKill = kPollsBeforeKill;
    platform::NamedPipe audioPipe;
    platform::NamedPipe videoPipe;
    // Guards ffmpegResult and the pass state of the creators; stateChanged tells of each change.
    mutable std::mutex stateMutex;
    std::condition_variable stateChanged;
    FFmpegResult ffmpegResult;
    std::atomic<bool> pumpEnded{true};

private:
    void drainVideoPipe();

    std::atomic<bool> cancelRequest{false};
    std::atomic<bool> encodeFinished{false};
    mutable std::mutex mutex;
    QString outputPath;
    QString partialPath;                           // where ffmpeg writes the output, until it is placed
    platform::UniqueFd partialFd;                  // the file made there
    platform::UniqueFd mixedSound;                 // the pass's mixed sound, open since the mix wrote it
    std::shared_ptr<platform::ChildProcess> child; // the ffmpeg run under way
    std::atomic<bool> terminateRequested{false};
    std::atomic<bool> driverDone{true};
    std::thread driver;
};
