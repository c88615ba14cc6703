#pragma once

#include "model/SlideItem.h"
#include "platform/foundation/MainThread.h"

#include <QString>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

// Makes sure every slide of a rebuilt timeline has a thumbnail, on a thread of its own: a slide whose
// thumbnail file is missing or unreadable gets one made from its full picture. The thread works on the
// list it was given (taken on the main thread), never on the controller's, and hands each slide back to
// the main thread in order, waiting until it is taken.
class TimelineThumbnailRefresh {
public:
    struct Cell {
        SlideItemRef slide;
        QString thumbnailPath; // empty when the slide has no thumbnail name
        QString picturePath;
    };
    // Runs on the main thread for each cell in order; `newThumbnailName` is the name of a thumbnail file
    // made for a slide that had none, empty otherwise. True when the slide took that name: a file made and
    // not taken (nor handed over at all, the walk stopped first) is removed, since nothing would ever refer
    // to it.
    using CellReady = std::function<bool(const SlideItemRef& slide, const QString& newThumbnailName)>;

    TimelineThumbnailRefresh(std::vector<Cell> cells, QString contentsFolder, CellReady cellReady);
    // Stops the walk and joins the thread; a hand-over not yet taken is dropped, with the file it made.
    ~TimelineThumbnailRefresh();
    TimelineThumbnailRefresh(const TimelineThumbnailRefresh&) = delete;
    TimelineThumbnailRefresh& operator=(const TimelineThumbnailRefresh&) = delete;

    bool isFinished() const { return finished.load(); }

private:
    void run(const std::vector<Cell>& cells, const QString& contents, const CellReady& cellReady);

    platform::MainThreadGate gate;
    std::atomic<bool> cancelled{false};
    std::atomic<bool> finished{false};
    std::thread thread;
};
