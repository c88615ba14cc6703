#pragma once

#include "model/SlideItem.h"

#include <QString>
#include <QtGlobal>

#include <functional>
#include <vector>

// What a frame pump drives: a player that draws a show frame by frame off screen, and the read-back that
// writes each drawn frame into a pipe in the frame-pipe format (width x height x 4 bytes, B, G, R, A, top
// row first). Used by one pump thread only.
class FrameRenderer {
public:
    struct Play {
        std::vector<SlideItemRef> slides;
        QString pipePath; // opened at the first write
        // True once the frames are no longer wanted: waits on the pipe give up then.
        std::function<bool()> cancelled;
        // Frames read back as planar YUV 4:2:0 rather than BGRA.
        bool yuvFrames = false;
    };

    virtual ~FrameRenderer() = default;
    // Gets ready to play the slides into the pipe. False, with *error, when drawing cannot be set up.
    virtual bool begin(const Play& play, QString* error) = 0;
    // The frames of the show, known after begin().
    virtual quint64 totalFrames() const = 0;
    // Draws the next frame; false when the show has none left (or it cannot be drawn).
    virtual bool renderFrame() = 0;
    // Why the last renderFrame() answered false; empty when it has no reason to give.
    virtual QString renderError() const { return QString(); }
    // Writes the frame just drawn into the pipe. False, with *error, when it could not be written, as when
    // the reader has gone away.
    virtual bool writeFrame(QString* error) = 0;
    // Bytes of one frame read into a buffer, known after begin(); 0 when frames only go into the pipe.
    virtual qint64 frameBytes() const { return 0; }
    // Reads the frame just drawn into `buffer` instead of the pipe. False, with *error, when it cannot.
    virtual bool readFrame(unsigned char* /*buffer*/, qint64 /*size*/, QString* error) {
        *error = QStringLiteral("This renderer writes its frames into the pipe only");
        return false;
    }
    // Waits until every frame written so far is in the pipe (a renderer may write behind the drawing).
    // False, with *error, when one could not be written.
    virtual bool finishWriting(QString* /*error*/) { return true; }
    // Leaves the player and closes the pipe: the reader sees the end of the stream.
    virtual void end() = 0;
};

// The loop every pipe pump shares: for frame i of N, draw it, and write every frame but the first (the
// live movie writer shows the first frame it reads at 1/30 s, so a show of N frames gives N - 1). The
// variants differ only in their options.
class FramePump {
public:
    struct Outcome {
        enum class End {
            Completed, // every frame of the show was drawn and, but for the skipped first, written
            Stopped,   // a stop check said so
            Failed,    // set-up, drawing or writing failed before the end of the show: see error
        };
        End end = End::Failed;
        quint64 totalFrames = 0;
        quint64 framesRendered = 0;
        quint64 framesWritten = 0;
        QString error;
    };
    struct Options {
        std::vector<SlideItemRef> slides;
        QString pipePath;
        bool yuvFrames = false; // see FrameRenderer::Play
        bool skipFirstFrame = true;
        // Asked before each frame is drawn (the project's cancel flag for the DVD and MP4 pumps).
        std::function<bool()> stopBeforeRender;
        // Asked before each frame is written (the movie pump: the encoder has stopped writing).
        std::function<bool()> stopBeforeWrite;
        // After each frame written: i / N for frame i of N; once more with 1.0 at the end, however it ended.
        std::function<void(double fraction)> progress;
        // Told how the pump ended while the pipe is still open, so that the reader learns of a failure
        // before it sees the end of the stream.
        std::function<void(const Outcome&)> beforeClose;
    };

    static Outcome run(FrameRenderer& renderer, const Options& options);

private:
    static void pumpFrames(FrameRenderer& renderer, const Options& options, Outcome& outcome);
};
