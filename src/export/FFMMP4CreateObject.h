#pragma once

#include "export/FFMMCreateObjectBase.h"
#include "export/MixedAudioExport.h"
#include "model/SlideshowProject.h"
#include "render/FramePumpHost.h"

#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <functional>
#include <mutex>
#include <optional>

class FFMMP4CreateObject;

// Writes the open project as an MP4 file through the ffmpeg program: the sound is mixed into the temporary
// M4A file, then the frame pump and ffmpeg run side by side, the pump writing raw BGRA frames into a named
// pipe that ffmpeg reads with the M4A file.
//
// Ends, each told once on the main thread: "NOTIFY_ENCODE_MOVIE_FINISHED" (no object, no user info) when
// ffmpeg has written the movie; "NOTIFY_ENCODE_MOVIE_FAILED" with {"result": false, "desc": why} when
// anything failed, the partial movie removed; nothing after a cancel (the project's cancel flag or
// bCancelRequest), the partial movie removed. The temporary files are gone after every run. ffmpeg's
// word is not taken for the movie: it counts as written only when it can be read and holds the frames the
// pump wrote (one more or less) and, when the mixed sound has any, a sound stream. ffmpeg writes it into a
// file of ours under a hidden name of its own beside the output path, which no other program knows; it takes
// the output path's name only then.
//
// Its frame pump writes every frame of the show and stops when shouldStopPump() says so; one that stops
// early for a reason of its own (a frame not drawn or not written) calls framePumpFailed() before it closes
// the pipe.
class FFMMP4CreateObject : public FFMMCreateObjectBase {
public:
    using MixStep = std::function<MixedAudioExport::Result(
        const SlideshowProjectRef& project, const MixedAudioExport::CancelCheck& cancelled,
        const MixedAudioExport::ProgressHandler& progress)>;

    // How a run ended.
    struct Outcome {
        enum class End { Completed, Failed, Cancelled } end = End::Failed;
        QString error; // why it failed
    };
    using EndHandler = std::function<void(const Outcome&)>;

    explicit FFMMP4CreateObject(FramePumpHost<FFMMP4CreateObject>* host = nullptr);
    // Cancels a run still under way and waits for all its threads.
    ~FFMMP4CreateObject() override;

    // The stages "tempbackgroundmusic" and "ffmmp4", each {"start", "step", "desc"}.
    static QVariantMap dictEncodingProgressStep();
    // ffmpeg's arguments for the frames in the video pipe at the output size, the sound in the M4A file and
    // the movie at outputPath.
    static QStringList ffmpegArguments(const QSizeF& size, const QString& videoFIFO, const QString& m4aPath,
                                       const QString& outputPath);

    void cancelCreateTempM4A() { setBCancelRequest(true); }

    // For the pump: whether to stop drawing (a cancel, or ffmpeg has ended and reads no more).
    bool shouldStopPump() const;
    void framePumpFailed(const QString& message);
    // How many frames the pump wrote into the pipe, told before it closes: the movie must hold as many.
    void framePumpWrote(quint64 frames);

    // The movie file the last run completed, as it was then; nothing when no run completed one.
    std::optional<platform::FileIdentity> writtenMovie() const;

    void setFramePumpHost(FramePumpHost<FFMMP4CreateObject>* value) { host = value; }
    // Told on the driver's thread, last thing of every run, after the end has been posted.
    void setEndHandler(EndHandler handler) { endHandler = std::move(handler); }
    // The sound step; the project's whole mix into the temporary M4A unless a test puts in another.
    void setAudioMixStep(MixStep step) { mixStep = std::move(step); }

protected:
    void startEncodeMovieThreadProc(const QVariantMap& params) override;
    void waitForFFmpeg() override;

private:
    Outcome encode(const SlideshowProjectRef& project);
    Outcome mixSound(const SlideshowProjectRef& project);
    Outcome makePipes();
    Outcome runPumpAndFFmpeg(const QString& movie);
    Outcome verdict(const QString& movie);
    Outcome checkMovie(const QString& path, std::optional<quint64> frames) const;
    // Tells the end; a movie that cannot be given its name is a failure after all. The end as told.
    Outcome finish(Outcome outcome);
    bool cancelled() const;
    SlideshowProjectRef cancelSource() const;

    FramePumpHost<FFMMP4CreateObject>* host;
    MixStep mixStep;
    EndHandler endHandler;
    mutable std::mutex projectMutex;
    std::weak_ptr<SlideshowProject> project;       // whose cancel flag stops the run
    QString pumpFailure;                           // under stateMutex
    std::optional<quint64> pumpFrames;             // under stateMutex
    std::optional<platform::FileIdentity> written; // under stateMutex
};
