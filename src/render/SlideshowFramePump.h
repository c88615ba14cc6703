#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <vector>

class SlideItem;
class SlideshowDirector;

// Renders a play of slides frame by frame off screen at the output size and writes every frame into a
// named pipe in the frame-pipe format, for the encoder that reads the other end. It runs on the calling
// thread (an export's pump thread) on a context of its own that shares with the director's main context.
//
//     SlideshowFramePump::Options options;
//     options.width = 1280, options.height = 720;
//     options.pipePath = fifo;                       // a FIFO made with platform::NamedPipe
//     options.cancelled = [&] { return cancel.load(); };
//     options.progress = [&](quint64 done, quint64 total) { ... };
//     const auto result = SlideshowFramePump::run(*director, project->slideshowArray(), options);
//
// While it runs the director holds its converter, so the preview draws nothing. At the end the pipe is
// closed (the reader sees the end of the stream) whether the run succeeded or not.
class SlideshowFramePump {
public:
    struct Options {
        int width = 1280;
        int height = 720;
        QString pipePath;
        // Asked before every frame and during every wait on the pipe.
        std::function<bool()> cancelled;
        // How long the reader may take to open the pipe.
        double openTimeoutSeconds = 60.0;
        // Frames read back as planar YUV 4:2:0 rather than BGRA.
        bool yuvFrames = false;
        // After every frame written: frames written, frames in the show.
        std::function<void(quint64 written, quint64 total)> progress;
    };
    struct Result {
        bool ok = false;
        bool cancelled = false;
        quint64 framesWritten = 0;
        quint64 totalFrames = 0;
        QString error;
    };

    static Result run(SlideshowDirector& director, const std::vector<std::shared_ptr<SlideItem>>& slides,
                      const Options& options);
};
