#pragma once

#include "export/ExportDialogs.h"

// What the DVD command shows the user: the exports' alerts and progress window, whose modal session the
// DVD command runs itself while the DVD is made. Called on the main thread only.
class DVDCommandDialogs : public ExportDialogs {
public:
    // Runs the export-progress window modally (the application returns when the session ends, which
    // closeExportProgress() does; a test returns at once).
    virtual void runExportProgressModal() = 0;
};
