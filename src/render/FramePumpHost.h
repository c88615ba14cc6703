#pragma once

#include <QString>

// What the frame pump of an export receives: the pipes its creator made and the creator itself. The pump
// writes raw frames of the class-level output size into the video pipe and closes it; how it tells the
// creator that it ended is the creator's contract (its class comment says). A creator without a sound pipe
// leaves strAudioFIFO empty.
template <class Creator> struct FramePumpParam {
    QString strAudioFIFO;
    QString strVideoFIFO;
    Creator* creator = nullptr; // alive until the pump has returned
    // The DVD's menu rather than the show.
    bool menu = false;
    // Where the frames go: the video pipe as BGRA (Pipe) or as planar YUV 4:2:0 (YUVPipe); the creator's pool
    // of frame buffers, as BGRA or as planar YUV 4:2:0; or straight to the creator's writer as BGRA (Writer).
    enum class Frames { Pipe, RGBAPool, YUVPool, Writer, YUVPipe };
    Frames frames = Frames::Pipe;
};

// Who renders the frames of an export into its creator's video pipe (the main window controller or one of
// its commands). runFramePump runs on a thread of the creator's, never on the main thread.
template <class Creator> class FramePumpHost {
public:
    virtual ~FramePumpHost() = default;
    virtual void runFramePump(const FramePumpParam<Creator>& param) = 0;
};
