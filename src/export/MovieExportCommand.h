#pragma once

#include "export/EncoderController.h"
#include "export/ExportDialogs.h"
#include "export/ExportNotifications.h"
#include "platform/foundation/NotificationCenter.h"
#include "render/FramePump.h"

#include <QSizeF>
#include <QVariantMap>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

class SlideshowProject;

// The movie export of the main window controller, which owns one: the command, the frame pump that renders
// the show into the encoder's pipe, the cancel, and the observers of the encoder's notifications and of the
// export progress. Lives on the main thread; the pump runs on a thread of the encoder's.
class MovieExportCommand : public FramePumpHost<EncoderController> {
public:
    // Makes the renderer of one pump run (a player on a context of its own); null when none can be had.
    using RendererFactory = std::function<std::unique_ptr<FrameRenderer>()>;
    struct OutputSettings {
        QSizeF size;
        unsigned long bitrate = 0;
    };

    static QString createVideoFileEndNotificationName() { return kNotifyCreateVideoFileEnd; }
    // The share option "VideoSize" as an output size and an average bit rate.
    static OutputSettings outputSettingsForVideoSize(int videoSize);
    // Sets the export's output (from the project's "VideoSize") and the export's frame rate, with the
    // project's playing status cleared; the project's repeat is left as it is.
    static OutputSettings prepareProjectForExport(SlideshowProject& project);
    // The frame rate and status alone, the output settings left as they are.
    static void preparePlaybackForExport(SlideshowProject& project);

    MovieExportCommand(ExportDialogs& dialogs, RendererFactory rendererFactory);
    // Cancels an export still running and waits for its threads.
    ~MovieExportCommand() override;
    MovieExportCommand(const MovieExportCommand&) = delete;
    MovieExportCommand& operator=(const MovieExportCommand&) = delete;

    // The export of the open project to its temporary movie; false when refused (with an alert).
    bool startEncodingMovieFile();
    // The movie of the open project at 1920 x 1080 through the encoder's in-memory path (encodeVideo_2);
    // nothing in the window starts it. False when refused, showing nothing.
    bool encodeMovieFile();
    void runFramePump(const FramePumpParam<EncoderController>& param) override;
    void readRGBAFIFOThread(const FramePumpParam<EncoderController>& param);
    // The pumps of the in-memory paths: each frame read back into a buffer of the encoder's pool, as BGRA
    // or as planar YUV 4:2:0.
    void readRGBAThread(const FramePumpParam<EncoderController>& param);
    void readYUVThread(const FramePumpParam<EncoderController>& param);
    // The pump of encodeVideo_3: each frame read back and handed straight to the encoder's writer, which it
    // finishes (finishRGBInput) when the show has been drawn or the export stopped.
    void readRGBAThreadNew(const FramePumpParam<EncoderController>& param);
    // Asks the running export to stop; once all its threads have ended, playback is stopped and the
    // playback settings are put back, on the main thread.
    void cancelEncoding();
    // After "NOTIFY_CREATE_VIDEO_FILE_END" has been handled: puts back the playback settings and lets the
    // encoder go.
    void endEncoding();

    void notifyEncodeMovieFinished(const platform::Notification& notification);
    void notifyEncodeMovieFailed(const platform::Notification& notification);
    void notifyEncodeMpegiiProgress(const platform::Notification& notification);

    std::shared_ptr<EncoderController> encoderController() const { return encoder; }
    bool isEncoding() const { return encoder != nullptr; }
    // The finish of a movie this command did not encode is taken for the owner's only while this answers
    // true (its ffmpeg MP4 export runs); any other finish (a DVD's passes) is not a movie of ours.
    void setOtherExportRunning(std::function<bool()> running) { otherExportRunning = std::move(running); }
    // Tests adjust each new encoder before it starts (its sound step).
    void setEncoderSetup(std::function<void(EncoderController&)> setup) { encoderSetup = std::move(setup); }

private:
    void showFailure(const QString& message);
    void runPoolPump(const FramePumpParam<EncoderController>& param, bool yuv);
    void finishCancel(const std::shared_ptr<EncoderController>& cancelled);
    void reportProgress(double value);
    void joinCancelWaiter();

    ExportDialogs& dialogs;
    RendererFactory rendererFactory;
    std::function<void(EncoderController&)> encoderSetup;
    std::function<bool()> otherExportRunning;
    std::shared_ptr<EncoderController> encoder;
    std::atomic<const EncoderController*> heldEncoder{
        nullptr}; // what the cancel wait may read off the main thread
    std::shared_ptr<int> alive =
        std::make_shared<int>(0); // main-thread work queued by other threads checks it
    std::thread cancelWaiter;
    platform::ObserverHandle finishedObserver, failedObserver, progressObserver;
};
