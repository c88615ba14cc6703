#pragma once

#include "export/ExportDialogs.h"

#include <memory>

namespace platform::disc {
class DiscDrive;
}

// What the DVD command shows the user: the exports' alerts and progress window, whose modal session the
// DVD command runs itself while the DVD is made, the burn set-up and the burn's progress. Called on the
// main thread only.
class DVDCommandDialogs : public ExportDialogs {
public:
    // Runs the export-progress window modally (the application returns when the session ends, which
    // closeExportProgress() does, also when it came first; a test returns at once).
    virtual void runExportProgressModal() = 0;
    // The burn set-up, run modally: the drive to burn on, open and holding a medium that
    // DVDCommand::deviceContainsSuitableMedia accepts (or a disc image file), null when cancelled.
    virtual std::shared_ptr<platform::disc::DiscDrive> runBurnSetupPanel() = 0;
    // The burn's progress (a fraction of 1) and its phase, in a progress window of its own whose Cancel
    // cancels the burn; the first call shows it.
    virtual void updateBurnProgress(double fraction, const QString& phase) = 0;
    // The burn has ended: with a result text (success) the window says so until closed, else it closes.
    virtual void closeBurnProgress(const QString& resultText) = 0;
    // The burn was cancelled and has stopped: the window, kept up since its Cancel, says what became of the
    // disc until closed.
    virtual void burnCancelled(const QString& text) = 0;
    // An open panel for one MPEG-2 stream ("mpg"), files only, links resolved: its path, empty when
    // cancelled.
    virtual QString runMPEGIIOpenPanel() = 0;
};
