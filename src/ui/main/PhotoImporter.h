#pragma once

#include "model/SlideItem.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/Scheduler.h"
#include "ui/editing/ProjectSource.h"

#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>

class PhotoResizeWorker;
class SlideshowMainObject;
class SlideshowProject;
struct MainWindowOutlets;
struct PhotoWorkItem;
namespace platform::media {
class SerialQueue;
}

// Photo import of the document window: one serial queue of import requests that make each photo a slide
// at once, and the resize worker that writes the slides' images afterwards, whose failures remove their
// slides and are reported together. The slides go into the project the source gives at each step; the
// window (strip, current slide, title) is told through the hub's public methods. Main thread unless said.
class PhotoImporter {
public:
    // The resize worker runs from here on.
    PhotoImporter(SlideshowMainObject& hub, platform::Scheduler& scheduler, const MainWindowOutlets& outlets,
                  ProjectSource project);
    // Closes, then joins the import thread and the resize worker.
    ~PhotoImporter();
    PhotoImporter(const PhotoImporter&) = delete;
    PhotoImporter& operator=(const PhotoImporter&) = delete;

    // Photos inserted from `insertIndex` on (appended when it is past the end), or appended; one request
    // each, run in order.
    void addImages(const QStringList& paths, quint64 insertIndex);
    void appendImages(const QStringList& paths, quint64 insertIndex);
    // One photo inserted at `slot` (appended past the end), its slide entering the project before this
    // returns; its image is left to the resize worker.
    void addImage(const QString& path, quint64 slot);
    // A new slide of the photo for the project: its default durations, the current theme, and the names it
    // claims in the project's "Contents" for its image ("<imageStem><seconds>.jpg"), its background and its
    // thumbnail. Not yet in the project.
    static SlideItemRef newPhotoSlide(SlideshowProject& project, const QString& path,
                                      const QString& imageStem = QStringLiteral("psd_"),
                                      const QString& backgroundStem = QStringLiteral("psd_bk_"));
    // True when no import request is queued or running.
    bool isIdle() const { return pendingImports.load() == 0; }
    PhotoResizeWorker& resizeWorker() const { return *worker; }
    // Requests not yet begun are skipped and posts not yet run are dropped; the threads are joined only
    // when the importer goes, as they may be waiting for the main thread.
    void close();

private:
    struct ImportRequest {
        QStringList paths;
        bool append = false;
        quint64 insertIndex = 0;
    };
    // Where a request's photos go: main-thread state, settled as the request starts, read by its posts.
    struct ImportPlace {
        quint64 slot = 0;
        quint64 first = 0;
        int scrollX = 0;
    };

    void enqueueImport(ImportRequest request);
    void runImportRequest(const ImportRequest& request);
    void addImageToProject_thread(const QString& path, bool append,
                                  const std::shared_ptr<ImportPlace>& place);
    void removeFailedSlide(const PhotoWorkItem& item);
    void scheduleFailureReport();
    void reportFailures();

    SlideshowMainObject& hub;
    platform::Scheduler& clock;
    const MainWindowOutlets& ui;
    ProjectSource currentProject;
    platform::MainThreadGate gate; // the import thread's and the worker's main-thread work
    std::unique_ptr<PhotoResizeWorker> worker;
    std::unique_ptr<platform::media::SerialQueue> importQueue;
    std::atomic<int> pendingImports{0};
    std::atomic<bool> stopping{false};
    platform::Scheduler::Handle failureReport;
};
