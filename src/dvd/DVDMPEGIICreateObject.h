#pragma once

#include "dvd/DVDStepError.h"
#include "export/ExportNotifications.h"
#include "export/FFMMCreateObjectBase.h"
#include "export/MixedAudioExport.h"
#include "export/SoundSource.h"
#include "model/SlideshowProject.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UniqueFd.h"
#include "render/FramePumpHost.h"

#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

// Turns the open project into the MPEG-2 streams of a DVD. Each pass mixes its sound into the temporary
// M4A file, then runs a frame pump of its host and an ffmpeg child side by side: the pump writes raw BGRA
// frames into a named pipe, ffmpeg reads that pipe and the M4A file and writes DVD MPEG-2.
//
//     auto creator = std::make_shared<DVDMPEGIICreateObject>(&host);
//     creator->setCompletionHandler(...);
//     creator->startRunDVDMenuAndSlideshow({{"strOutputFullPath", slideshow},
//                                           {"strDVDMenuOutputFullPath", menu}});
//
// The menu pass runs first, when the project manager's bUseDVDMenu is set, then the slideshow pass. When
// every pass has written a non-empty stream and ffmpeg exited with status 0, "NOTIFY_ENCODE_MOVIE_FINISHED"
// (no object, no user info) is posted once, on the driver's thread. A failed step ends the command at once,
// with no notification but an error naming the step, and the stream it was writing is removed; a cancel
// (the project's bExportProgressCancelButtonClicked, or cancel()) ends it without either. The temporary files
// are gone after every pass.
//
// Each pump (param.menu tells the menu's from the show's) runs on a thread of its own and stops before a
// frame when shouldStopPump() says so; it tells how it ended through framePumpEnded() before it returns.
//
// The planar variant (startRunYUV) writes the slideshow alone from planar YUV 4:2:0 frames
// (FramePumpParam::Frames::YUVPipe) and takes its sound through the audio pipe as raw PCM instead of the M4A
// file: a feeder beside the pump reads the project's mix as it is rendered, fades it in over the first 3 s
// and out over the last 3 s, starts it again should it run dry (silent then for a music slideshow, whose
// songs are used up) and ends it with the pictures, so that ffmpeg sees both streams end.
//
// Its owner keeps it until the driver has ended (observers of the finished notification run on the driver's
// thread and must not let it go); letting it go earlier cancels the command and waits for its end.
class DVDMPEGIICreateObject : public FFMMCreateObjectBase {
public:
    enum class Pass { Menu, Slideshow };
    enum class End { Running, Completed, Failed, Cancelled };
    // The sound step of a pass: the mix written into the temporary M4A file.
    using MixStep =
        std::function<MixedAudioExport::Result(Pass pass, const MixedAudioExport::CancelCheck& cancelled,
                                               const MixedAudioExport::ProgressHandler& progress)>;

    static QString movieFinishedNotificationName() { return kNotifyEncodeMovieFinished; }
    static QString progressNotificationName() { return MixedAudioExport::progressNotificationName(); }
    // Step names of the failures.
    static QString kStepBackgroundMusic() { return QStringLiteral("background music"); }
    static QString kStepFrames() { return QStringLiteral("frames"); }
    static QString kStepFFmpeg() { return QStringLiteral("ffmpeg"); }

    explicit DVDMPEGIICreateObject(
        FramePumpHost<DVDMPEGIICreateObject>* host,
        platform::NotificationCenter& center = platform::NotificationCenter::defaultCenter());
    ~DVDMPEGIICreateObject() override;
    DVDMPEGIICreateObject(const DVDMPEGIICreateObject&) = delete;
    DVDMPEGIICreateObject& operator=(const DVDMPEGIICreateObject&) = delete;

    // The fixed temporary files of the base, and "%@_temp_video.m2v", in the private temporary folder.
    static QString strTempM2VVideoFullPath();
    // Removes the M4A file, the M2V file and both pipes, in that order; errors are of no interest.
    static void deleteTempFiles();
    // The stages "tempbackgroundmusic" (0.0, 0.1) and "ffmmpegiidvd" (0.1, 0.9), each
    // {"start", "step", "desc"}.
    static QVariantMap dictEncodingProgressStep();
    static QString presetString(bool pal, bool wide16_9);
    // ffmpeg's arguments: frames of `size` from the video pipe, the sound of the M4A file, DVD MPEG-2 of the
    // TV system and aspect into outputPath (letterboxed on a 4:3 disc).
    static QStringList ffmpegArguments(const QSizeF& size, const QString& videoFIFO, const QString& m4aPath,
                                       bool pal, bool wide16_9, const QString& outputPath);
    // ffmpeg's arguments of the planar variant: planar frames of `size` from the video pipe, 16-bit PCM at
    // 48 kHz in stereo from the audio pipe, MPEG-2 in a VOB stream into outputPath.
    static QStringList ffmpegYUVArguments(const QSizeF& size, const QString& videoFIFO,
                                          const QString& audioFIFO, const QString& outputPath);
    static constexpr int kPCMSampleRate = 48000;

    // Each starts its driver on a thread of its own and answers true; false while a driver still runs.
    // The two-pass command of the DVD: {"strOutputFullPath", "strDVDMenuOutputFullPath"}.
    bool startRunDVDMenuAndSlideshow(const QVariantMap& params);
    // The menu alone, or the slideshow alone: {"strOutputFullPath"}.
    bool startRunDVDMenu(const QVariantMap& params);
    bool startRun(const QVariantMap& params);
    // The slideshow alone through the planar variant: {"strOutputFullPath"}.
    bool startRunYUV(const QVariantMap& params);

    // ---- the planar variant's sound and ffmpeg, each on a thread of the pass
    // The feeder: the mix into the audio pipe of `pipes` until the pictures' length is in, the pass stops,
    // or it cannot go on; tells the pass how it ended.
    void startReadAudioProc(const FramePumpParam<DVDMPEGIICreateObject>& pipes);
    // Runs ffmpeg on the two pipes to its end.
    FFmpegResult startFFMMEncodeProcYUV(const FramePumpParam<DVDMPEGIICreateObject>& pipes);
    // The reader of the sound at 48 kHz: the project's mix made anew (a new mixer installed as the project's
    // audioMixer), whatever the song, since it holds every song; the older form reads song `songIndex`
    // itself. False when there is no project or the song cannot be read.
    bool initAudioVar(int songIndex);
    bool initAudioVar_old(int songIndex);
    // The sound ran dry: the song index goes on, the count of songs started grows, the mix is read again.
    void switchMusicToNextSong_2();
    SoundSource* assetReaderAudio() const { return audioReader.get(); }
    int nSongIndex() const { return songs.nSongIndex(); }
    int nSongIndexContinue() const { return songs.nSongIndexContinue(); }
    // The feeder's end of the audio pipe while it is open; -1 otherwise.
    int nAudioWriteFD() const { return audioWriteFD.load(); }
    // Clears the cancel request, the song indices and the reader.
    void deInitVar() override;

    void cancelCreateTempM4A();
    // Stops whatever runs: the sound export, the pump, ffmpeg (terminated, then killed if it lingers).
    void cancel();

    // For the pumps: whether to stop drawing (a cancel, or ffmpeg has ended and reads no more).
    bool shouldStopPump() const;
    // For the pumps, once before they return, with the pipe closed: ok when every frame of the show went into
    // the pipe. A pump that failed may have failed because ffmpeg went away: ffmpeg, never stopped for it,
    // ends on its own, and when it ends with an error, that is the cause, whichever failure was seen first;
    // otherwise the failure is the pump's.
    void framePumpEnded(bool ok, const QString& error);

    // Told on the driver's thread how the command ended (after the finished notification when it
    // completed; the error is set when it failed), before the driver ends.
    void setCompletionHandler(std::function<void(End end, const DVDStepError& error)> handler);
    // The sound step; the menu mixer or the project mixer into the temporary M4A unless a test puts in
    // another.
    void setAudioMixStep(MixStep step);

    // Waits for the driver to end; its end.
    End waitUntilFinished();
    End end() const;
    DVDStepError error() const;

    bool bNeedCreateDVDMenuAndSlideshow() const { return needBothPasses.load(); }

    // The stream a pass wrote at `output`, as a name that reaches the very file it wrote
    // ("/proc/<pid>/fd/<n>") for the tools that read it: whatever has since taken `output` is never read.
    // Empty for a stream this creator did not make. Valid until releaseStreams(), or the creator's end.
    QString streamFile(const QString& output) const;
    // Lets the streams' files go (their names stay): the run that reads them has ended.
    void releaseStreams();

protected:
    void startEncodeMovieThreadProc(const QVariantMap& params) override;
    // The polls of setCancelPolling() also give a running ffmpeg its looks after its sound feeder failed.
    void waitForFFmpeg() override;

private:
    enum class Command { MenuAndSlideshow, MenuOnly, SlideshowOnly, SlideshowYUV };
    struct Outcome {
        End end = End::Completed;
        DVDStepError error;
    };

    bool startDriver(Command command, const QVariantMap& params);
    Outcome runCommand(Command command, const QVariantMap& params);
    // A planar pass takes its sound from the feeder rather than from the M4A file.
    Outcome runPass(Pass pass, const QString& outputPath, bool keepSlideshowMixer, bool planar = false);
    Outcome mixSound(Pass pass, bool keepSlideshowMixer);
    MixedAudioExport::Result defaultMix(Pass pass, const MixedAudioExport::CancelCheck& cancelled,
                                        const MixedAudioExport::ProgressHandler& progress,
                                        bool keepSlideshowMixer);
    Outcome makePipes();
    Outcome runPumpAndFFmpeg(Pass pass, bool planar);
    void soundFeederEnded(const QString& failure);
    // The project of the command, else the open one.
    SlideshowProjectRef soundProject() const;
    Outcome verdict(Pass pass);
    // A fresh file of ours at output for ffmpeg to write, kept open; false with a message.
    bool prepareStream(const QString& output, QString* error);
    // Removes the stream made at output, its name only while it still leads to it.
    void dropStream(const QString& output);
    // The name ffmpeg writes the pass's stream through.
    QString streamWrittenThrough() const;
    // Why the stream at output cannot be taken as written; empty when it can.
    QString streamProblem(const QString& output, const QString& stream) const;
    void finish(const Outcome& outcome);
    bool cancelled() const;

    FramePumpHost<DVDMPEGIICreateObject>* host;
    platform::NotificationCenter& center;
    MixStep mixStep;
    std::function<void(End, const DVDStepError&)> completionHandler;

    std::atomic<bool> needBothPasses{false};

    // Taken at the start of a command: whose cancel flag stops it, and the stream's TV system and aspect.
    mutable std::mutex projectMutex;
    SlideshowProjectRef project;
    bool pal = false;
    bool wide16_9 = false;

    // Under stateMutex.
    Command command = Command::MenuAndSlideshow; // of the driver started last
    bool pumpReported = false;
    bool pumpOk = true;
    QString pumpFailure;
    QString soundFailure;         // the planar pass's feeder could not deliver the sound
    bool stoppedForSound = false; // ffmpeg was terminated because the sound feeder failed first
    End ended = End::Completed;
    DVDStepError failure;
    bool driverRunning = false;
    QString writingTo; // the stream of the pass, through its descriptor

    mutable std::mutex streamMutex;
    std::map<QString, platform::UniqueFd> streams; // each stream made, by its name, open since it was made

    // The planar variant's sound, on the feeder's thread (the reader may also be opened by a caller
    // outside a pass).
    std::unique_ptr<SoundSource> audioReader;
    SongIndices songs;
    std::atomic<int> audioWriteFD{-1};
};
