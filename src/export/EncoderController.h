#pragma once

#include "export/EncoderBufferManager.h"
#include "export/EncoderThreadParams.h"
#include "export/ExportNotifications.h"
#include "export/FramePipeReader.h"
#include "export/FrameRing.h"
#include "export/MixedAudioExport.h"
#include "export/SoundFeed.h"
#include "export/SoundSource.h"
#include "model/SlideshowProject.h"
#include "platform/foundation/NamedPipe.h"
#include "platform/media/MovieWriter.h"
#include "platform/media/SerialQueue.h"
#include "render/FramePumpHost.h"

#include <QSize>
#include <QString>
#include <QVariantMap>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

class EncoderController;

// Writes the open project as a movie: the sound mixed first into the temporary M4A file, then H.264 from
// the raw BGRA frames that the frame pump pushes through the pipe "v_fifo_%i", and AAC from the M4A, both
// fed on the serial queue "mediaInputQueue" as the writer asks for them. One encoder serves one export.
//
// Ends: "NOTIFY_ENCODE_MOVIE_FINISHED" on the main thread when the movie is complete; on any failure after
// the start "NOTIFY_ENCODE_MOVIE_FAILED" on the main thread with the result dictionary as user info and
// the movie deleted; after a cancel neither, the movie deleted. Either way the three end flags are set.
//
// The in-memory paths hand the frames over through a small pool of buffers (encodeBufferManager()) instead
// of the pipe: encodeVideo_2 as BGRA, encodeVideo_YUV_Test as planar YUV 4:2:0, each with the same
// container and settings as the live path; encodeVideo_1 writes the pictures alone, BGRA, as a QuickTime
// movie with the writer's own settings. Their pump is asked for FramePumpParam::Frames::RGBAPool or
// YUVPool, queues the pool's end-of-stream mark after the last frame, and ends as the live pump does. The
// sound of the two with sound is the mix faded in over the first 3 s and out over the last 3 s of the show,
// started again whenever it runs dry, and silent once a music slideshow's songs are used up.
//
// encodeVideo_3 writes the frames as they are drawn: a QuickTime movie at the bit rate, its pump asked for
// FramePumpParam::Frames::Writer hands each frame to writeRGBAFrame and ends with finishRGBInput, and a
// thread of its own (startAudioReadWrite) writes the mix as it is, started again when it runs dry, up to
// the show's length.
//
// Its frame pump gets no sound pipe. It ends with setBVideoReadThreadFinished(true); one that stops before
// the end of the show for another reason than the encoder's own end calls framePumpFailed() before it
// closes the pipe.
//
// Threads: the driver (mixing), the queue, the frame pump and the drain that empties the pipe once the
// writer has stopped, all owned here: the destructor cancels what still runs and waits for every one of
// them. It must not run on one of them.
class EncoderController {
public:
    using MixStep = std::function<MixedAudioExport::Result(
        const SlideshowProjectRef& project, const MixedAudioExport::CancelCheck& cancelled,
        const MixedAudioExport::ProgressHandler& progress)>;

    static constexpr uint64_t kDefaultBitrate = 10'800'000;
    static constexpr int kFrameRate = 30;
    static constexpr int kMaximumKeyFrameInterval = 30;

    EncoderController();
    ~EncoderController();
    EncoderController(const EncoderController&) = delete;
    EncoderController& operator=(const EncoderController&) = delete;

    static QString movieFinishedNotificationName() { return kNotifyEncodeMovieFinished; }
    static QString movieFailedNotificationName() { return kNotifyEncodeMovieFailed; }

    // ---- class-level answers
    // Whether the movie writer can be had, and the largest of the export sizes it offers (zero when none).
    static bool softwareAvailable();
    static QSize maximumFrameSize();
    static bool deviceSupportsVideoEncoding();
    static QString strOpenGLRGBAVideoFIFOFullPath();
    // Removes the movie pipes of processes that no longer run (killed during an export).
    static void deleteOrphanedVideoFIFOs();
    static QString strTempM4AAudioFullPath();
    // What the user is told when another program removed or replaced the file a movie of `project` was being
    // written into: the movie, by the name the user will look for, was not made, and exporting again is the
    // remedy. `otherwise` for a finish that failed for any other reason.
    static QString movieNotMadeText(const SlideshowProject* project, platform::PartialLoss loss,
                                    const QString& otherwise);

    // ---- the start, on the caller's thread
    // Starts the export of the open project on the caller's (main) thread: true when the driver runs; false
    // with dictEncodeResult() when it refuses.
    bool encodeVideo_2_FIFO(FramePumpHost<EncoderController>* caller);
    // The in-memory paths (see above), started and refused as the live path.
    bool encodeVideo_1(FramePumpHost<EncoderController>* caller);
    bool encodeVideo_2(FramePumpHost<EncoderController>* caller);
    bool encodeVideo_YUV_Test(FramePumpHost<EncoderController>* caller);
    bool encodeVideo_3(FramePumpHost<EncoderController>* caller);
    bool doesExistProtectedMusicFileInProject();

    // ---- the sound
    // The reader of the sound. initAudioVar opens the mixed sound (the temporary M4A) from its beginning,
    // whatever the song: it holds every song. The older form opens song `songIndex` of the project itself.
    // False when the sound cannot be read, with dictEncodeResult() saying why (not for a missing mix).
    bool initAudioVar(int songIndex);
    bool initAudioVar_old(int songIndex);
    // The sound has run dry: the song index goes on to the next song, the count of songs started grows and
    // the mixed sound is read again from its beginning. On the thread that reads the sound.
    void switchMusicToNextSong_2();
    SoundSource* assetReaderAudio() const { return audioReader.get(); }
    // Starts the thread that writes the sound into the movie until `seconds` of it are in, or it is asked to
    // stop. Without a reader (or a movie) there is no sound to write: bAudioThreadFinished at once.
    void startAudioReadWrite(double seconds);
    // Asks the sound thread to stop, waits for it to end, then finishAudioInput.
    void requestAndWaitAudioThreadFinish();
    // No more sound goes into the movie; the reader goes once no thread reads it.
    void finishAudioInput();
    double flt64TotalDuration() const { return totalDuration.load(); }
    bool bRequestAudioThreadFinish() const { return requestAudioThreadFinish.load(); }

    // ---- the frames
    // A BGRA frame of the output size into the movie at the next frame time, on the pump's thread. False,
    // with *error, once the movie takes no more (cancelled, failed, finished).
    bool writeRGBAFrame(const unsigned char* pixels, qint64 size, QString* error);
    // No more pictures: ends the sound, then completes the movie, or removes it after a cancel or a failure,
    // telling the end as every path does.
    void finishRGBInput();
    // The pool of a running in-memory path (alive until the pump has returned); null on the live path.
    EncoderBufferManager* encodeBufferManager() const { return bufferPool.get(); }
    // A pool for nextFrameInCVPixelBuffer outside a run; a run makes its own.
    void setEncodeBufferManager(std::unique_ptr<EncoderBufferManager> pool) { bufferPool = std::move(pool); }
    // Waits for the next frame queued in the pool and copies it into `buffer` (at most `size` bytes, at most
    // a frame). False at the end of the stream, after a cancel, or without a pool.
    bool nextFrameInCVPixelBuffer(unsigned char* buffer, qint64 size);

    // ---- the end
    // Hands the holder over to the main thread, where EncodeFinished runs and the holder goes.
    void threadEncodeMP4Thread(std::unique_ptr<MP4EncoderThreadParam> param);
    static void EncodeFinished(const MP4EncoderThreadParam& /*param*/) {}
    // Ends whatever still runs (as a cancel does), waits for every thread and clears the state.
    void deInitVar();
    void movieEncoderDidFinishEncoding();
    // The pump ended early for a reason of its own; the movie is then a failure with this message.
    void framePumpFailed(const QString& message);
    // Blocks until every thread of the export has ended (the end flags alone do not say the threads
    // have returned).
    void waitUntilFinished();

    // ---- the result, the settings and the end flags
    QVariantMap dictEncodeResult() const;
    // The movie file this run completed, as it was then; nothing before the finish or after a failure.
    std::optional<platform::FileIdentity> writtenMovie() const;
    FramePumpHost<EncoderController>* slideshowMainObject() const { return host; }
    void setSlideshowMainObject(FramePumpHost<EncoderController>* value) { host = value; }
    uint64_t nEncodeVideoBitrate() const { return bitrate; }
    void setNEncodeVideoBitrate(uint64_t value) { bitrate = value; }
    QString strVideoOutputFullPath() const { return outputPath; }
    void setStrVideoOutputFullPath(const QString& path) { outputPath = path; }
    QString strVideoFIFOPath() const { return fifoPath; }
    int nSongIndex() const { return songs.nSongIndex(); }
    int nSongIndexContinue() const { return songs.nSongIndexContinue(); }

    bool bCancelRequest() const { return cancelRequest.load(); }
    void setBCancelRequest(bool value) { cancelRequest = value; }
    bool bVideoReadThreadFinished() const { return videoReadFinished.load(); }
    void setBVideoReadThreadFinished(bool value) { videoReadFinished = value; }
    bool bVideoWriteThreadFinished() const { return videoWriteFinished.load(); }
    void setBVideoWriteThreadFinished(bool value) { videoWriteFinished = value; }
    bool bAudioThreadFinished() const { return audioFinished.load(); }
    void setBAudioThreadFinished(bool value) { audioFinished = value; }
    bool bVideoBlockRuninng() const { return videoBlockRunning.load(); }
    bool bAudioBlockRunning() const { return audioBlockRunning.load(); }

    // The sound step; the project's whole mix into the temporary M4A unless a test puts in another.
    void setAudioMixStep(MixStep step) { mixStep = std::move(step); }
    // Frames appended to the movie so far.
    int64_t framesAppended() const { return appended.load(); }
    // The writer's H.264 lanes; 0 (the default) takes as many as pay on this machine.
    void setEncoderLanes(int lanes) { encoderLanes = lanes; }

private:
    using Frames = FramePumpParam<EncoderController>::Frames;

    bool startExport(FramePumpHost<EncoderController>* caller, Frames frames, bool sound);
    bool refuse(const QVariantMap& result);
    bool createPipe();
    bool createWriter(const QSize& size);

    void encodeVideo_2_FIFO_ThreadProc();
    void startFeeding();
    void failAfterStart(QVariantMap result);

    bool openAudio(std::unique_ptr<SoundSource> sound, const QString& failure);
    SoundFeed::Settings soundSettings(double seconds, bool fades) const;
    void startSoundFeed();
    void readWriteAudioThread();
    void stopAudioThread();
    void audioBlock();
    bool appendAudioChunk(); // false at the end of the sound or on a failure
    bool appendRemainingAudio();

    void videoBlock();
    bool readAndAppendFrame();
    bool readAndAppendPoolFrame();

    void videoBlockFinished_2();
    void readDiscardFIFOVideoData(platform::UniqueFd fd);

    void setFailure(const QVariantMap& result);
    bool hasFailure() const;
    QVariantMap failure() const;
    // The project of the run, else the open one.
    SlideshowProjectRef owningProject() const;
    bool projectCancelled() const;
    void setAllEndFlags();

    FramePumpHost<EncoderController>* host = nullptr;
    uint64_t bitrate = kDefaultBitrate;
    int encoderLanes = 0;
    Frames frameSource = Frames::Pipe;
    bool withSound = true;
    QString outputPath;
    QString fifoPath;
    QSize frameSize;
    MixStep mixStep;
    std::weak_ptr<SlideshowProject> project;

    std::atomic<bool> cancelRequest{false};
    std::atomic<bool> videoReadFinished{false};
    std::atomic<bool> videoWriteFinished{false};
    std::atomic<bool> audioFinished{false};
    std::atomic<bool> videoBlockRunning{false};
    std::atomic<bool> audioBlockRunning{false};
    std::atomic<int64_t> appended{0};
    std::atomic<bool> requestAudioThreadFinish{false};
    std::atomic<double> totalDuration{0.0};
    SongIndices songs;

    mutable std::mutex resultMutex;
    QVariantMap result;                            // the last failure, shown to the user
    QVariantMap pendingFailure;                    // a failure seen while writing, not yet acted upon
    std::optional<platform::FileIdentity> written; // under resultMutex

    platform::NamedPipe pipe;
    std::unique_ptr<platform::media::MovieWriter> writer;
    std::unique_ptr<SoundSource> audioReader;
    // The mixed sound of the run, open since the mix wrote it: read through this, never by its name again.
    platform::UniqueFd mixedSound;
    std::unique_ptr<SoundFeed> soundFeed;
    std::unique_ptr<FramePipeReader> pipeReader;
    std::unique_ptr<FrameRing> frameRing; // reads ahead from pipeReader; goes before it
    std::unique_ptr<EncoderBufferManager> bufferPool;
    std::vector<float> audioBuffer;
    int64_t videoFrameCounter = 0; // shared by the runs of the video block
    std::atomic<bool> audioInputFinished{false};
    bool writingEnded = false; // the finish step ran (on the queue)

    std::unique_ptr<platform::media::SerialQueue> mediaInputQueue;
    std::thread driver;
    std::thread pump;
    std::thread drain;
    std::thread audioThread; // the sound of encodeVideo_3
    std::mutex audioThreadMutex;
    std::condition_variable audioThreadWake;
};
