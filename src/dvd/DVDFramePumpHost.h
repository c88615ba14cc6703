#pragma once

#include <QString>

class DVDMPEGIICreateObject;

// What a frame pump of the MPEG-2 creator receives: {"strAudioFIFO", "strVideoFIFO"} and its creator.
struct DVDFramePumpParam {
    QString strAudioFIFO;
    QString strVideoFIFO;
    DVDMPEGIICreateObject* creator = nullptr; // alive until the pump has returned
};

// Who renders the DVD's frames into the video pipe (the main window controller's services). Each pump
// runs on a thread of its own, writes raw frames of the class-level output size into the pipe and closes
// it; it stops before a frame when the creator's shouldStopPump() says so, and tells the creator how it
// ended through framePumpEnded() before it returns.
class DVDFramePumpHost {
public:
    virtual ~DVDFramePumpHost() = default;
    // The project's slides.
    virtual void dvdMPEGIIReadRGBAThreadProc(const DVDFramePumpParam& param) = 0;
    // The menu's frames, turned into slides: the project manager's dvdMenuSlideArray.
    virtual void dvdMenuMPEGIIReadRGBAThreadProc(const DVDFramePumpParam& param) = 0;
};
