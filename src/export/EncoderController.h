#pragma once

#include "export/EncoderBufferManager.h"
#include "export/ExportNotifications.h"
#include "export/FramePipeReader.h"
#include "export/FrameRing.h"
#include "export/MixedAudioExport.h"
#include "model/SlideshowProject.h"
#include "platform/foundation/NamedPipe.h"
#include "platform/media/AudioReader.h"
#include "platform/media/MovieWriter.h"
#include "platform/media/SerialQueue.h"
#include "render/FramePumpHost.h"

#include <QSize>
#include <QString>
#include <QVariantMap>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
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
// container, settings and mixed sound as the live path; encodeVideo_1 writes the pictures alone, BGRA, as a
// QuickTime movie with the writer's own settings. Their pump is asked for FramePumpParam::Frames::RGBAPool
// or YUVPool, queues the pool's end-of-stream mark after the last frame, and ends as the live pump does.
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

    // Whether the movie writer can be had, and the largest of the export sizes it offers (zero when none).
    static bool softwareAvailable();
    static QSize maximumFrameSize();
    static bool deviceSupportsVideoEncoding();
    static QString strOpenGLRGBAVideoFIFOFullPath();
    static QString strTempM4AAudioFullPath();

    // Starts the export of the open project on the caller's (main) thread: true when the driver runs; false
    // with dictEncodeResult() when it refuses.
    bool encodeVideo_2_FIFO(FramePumpHost<EncoderController>* caller);
    // The in-memory paths (see above), started and refused as the live path.
    bool encodeVideo_1(FramePumpHost<EncoderController>* caller);
    bool encodeVideo_2(FramePumpHost<EncoderController>* caller);
    bool encodeVideo_YUV_Test(FramePumpHost<EncoderController>* caller);
    // The pool of a running in-memory path (alive until the pump has returned); null on the live path.
    EncoderBufferManager* encodeBufferManager() const { return bufferPool.get(); }
    bool doesExistProtectedMusicFileInProject();
    // Ends whatever still runs (as a cancel does), waits for every thread and clears the state.
    void deInitVar();
    void movieEncoderDidFinishEncoding();
    // The pump ended early for a reason of its own; the movie is then a failure with this message.
    void framePumpFailed(const QString& message);
    // Blocks until every thread of the export has ended (the end flags alone do not say the threads
    // have returned).
    void waitUntilFinished();

    QVariantMap dictEncodeResult() const;
    FramePumpHost<EncoderController>* slideshowMainObject() const { return host; }
    void setSlideshowMainObject(FramePumpHost<EncoderController>* value) { host = value; }
    uint64_t nEncodeVideoBitrate() const { return bitrate; }
    void setNEncodeVideoBitrate(uint64_t value) { bitrate = value; }
    QString strVideoOutputFullPath() const { return outputPath; }
    void setStrVideoOutputFullPath(const QString& path) { outputPath = path; }
    QString strVideoFIFOPath() const { return fifoPath; }
    int nSongIndex() const { return songIndex; }
    int nSongIndexContinue() const { return songIndexContinue; }

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
    bool initAudioVar(int songIndex);
    void startFeeding();
    void videoBlock();
    bool readAndAppendFrame();
    bool readAndAppendPoolFrame();
    void audioBlock();
    bool appendAudioChunk(); // false at the end of the sound or on a failure
    void videoBlockFinished_2();
    bool appendRemainingAudio();
    void readDiscardFIFOVideoData(platform::UniqueFd fd);
    void failAfterStart(QVariantMap result);
    void setFailure(const QVariantMap& result);
    bool hasFailure() const;
    QVariantMap failure() const;
    bool projectCancelled() const;
    void setAllEndFlags();
    void joinThreads();

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
    int songIndex = 0;
    int songIndexContinue = 0;

    mutable std::mutex resultMutex;
    QVariantMap result;         // the last failure, shown to the user
    QVariantMap pendingFailure; // a failure seen while writing, not yet acted upon

    platform::NamedPipe pipe;
    std::unique_ptr<platform::media::MovieWriter> writer;
    std::unique_ptr<platform::media::AudioReader> audioReader;
    std::unique_ptr<FramePipeReader> pipeReader;
    std::unique_ptr<FrameRing> frameRing; // reads ahead from pipeReader; goes before it
    std::unique_ptr<EncoderBufferManager> bufferPool;
    std::vector<int16_t> audioBuffer;
    int64_t videoFrameCounter = 0;       // shared by the runs of the video block
    int64_t audioFramesLeft = INT64_MAX; // sound frames the movie still takes
    bool audioInputFinished = false;
    bool writingEnded = false; // the finish step ran (on the queue)

    std::unique_ptr<platform::media::SerialQueue> mediaInputQueue;
    std::thread driver;
    std::thread pump;
    std::thread drain;
};
