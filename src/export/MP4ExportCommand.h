#pragma once

#include "export/ExportDialogs.h"
#include "export/FFMMP4CreateObject.h"
#include "render/FramePump.h"

#include <functional>
#include <memory>

// The ffmpeg MP4 export of the main window controller: the command that starts the creator, and the frame
// pump of that path, which draws every frame of the show into the creator's video pipe. Lives on the main
// thread; the pump runs on a thread of the creator's. The end of a run puts the playback settings back and
// lets the creator go; a failure is shown in an "ERROR" alert. The mixing stage's progress reaches the
// progress window through the movie export's progress observer.
class MP4ExportCommand : public FramePumpHost<FFMMP4CreateObject> {
public:
    // Makes the renderer of one pump run (a player on a context of its own); null when none can be had.
    using RendererFactory = std::function<std::unique_ptr<FrameRenderer>()>;

    MP4ExportCommand(ExportDialogs& dialogs, RendererFactory rendererFactory);
    // Cancels a run still under way and waits for its threads.
    ~MP4ExportCommand() override;
    MP4ExportCommand(const MP4ExportCommand&) = delete;
    MP4ExportCommand& operator=(const MP4ExportCommand&) = delete;

    // Writes the open project as "<encoding path for the size>.mp4" through ffmpeg. False when refused
    // (fewer than 3 slides, with an alert) or while a run is under way.
    bool createMP4File_FFMM();
    void runFramePump(const FramePumpParam<FFMMP4CreateObject>& param) override {
        createMP4ReadRGBAThreadProc(param);
    }
    void createMP4ReadRGBAThreadProc(const FramePumpParam<FFMMP4CreateObject>& param);
    // Asks the running creator to stop; its end then puts the settings back.
    void cancelEncoding();

    std::shared_ptr<FFMMP4CreateObject> mp4CreateObject() const { return creator; }
    bool isEncoding() const { return creator != nullptr; }
    // Tests adjust each new creator before it starts (its sound step).
    void setCreatorSetup(std::function<void(FFMMP4CreateObject&)> setup) { creatorSetup = std::move(setup); }

private:
    void runEnded(const FFMMP4CreateObject* which, const FFMMP4CreateObject::Outcome& outcome);
    void reportProgress(double value);

    ExportDialogs& dialogs;
    RendererFactory rendererFactory;
    std::function<void(FFMMP4CreateObject&)> creatorSetup;
    std::shared_ptr<FFMMP4CreateObject> creator;
    std::shared_ptr<int> alive =
        std::make_shared<int>(0); // main-thread work queued by other threads checks it
};
