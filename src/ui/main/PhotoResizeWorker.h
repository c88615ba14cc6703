#pragma once

#include "model/SlideItem.h"
#include "platform/image/PictureReading.h"

#include <QImage>
#include <QString>
#include <QVariantMap>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// One photo waiting for its slide image: the photo's path, the slide, and the slide count before it came.
struct PhotoWorkItem {
    QString path;
    SlideItemRef slide;
    quint64 index = 0;
    // Why its images could not be written, once they could not.
    QString reason = QString();
    // As the failure report lists it: "SLIDE_IMAGE_FILENAME", "ITEM_INDEX" and, when told, "REASON".
    QVariantMap reportEntry() const;
};

// The resize worker: one thread that writes, a photo at a time, each slide's image and blurred background
// into the project folder. Inserted photos go to the front of the queue, appended ones to the back, and a
// slide the user looks at moves its photo to the front. Photos whose images cannot be written are kept for
// one report. The thread waits (it does not poll) and is stopped and joined when the worker goes.
class PhotoResizeWorker {
public:
    struct Callbacks {
        // On the worker's thread: a slide whose images could not be written.
        std::function<void(const PhotoWorkItem&)> slideFailed;
        // On the worker's thread: the queue has run dry while failures wait to be reported.
        std::function<void()> idleWithFailures;
        // The longer side of slide images (1280, or 1920 with "Enable1080p"); read for each photo.
        std::function<int()> maxImageWidth;
    };

    explicit PhotoResizeWorker(Callbacks callbacks);
    ~PhotoResizeWorker();
    PhotoResizeWorker(const PhotoResizeWorker&) = delete;
    PhotoResizeWorker& operator=(const PhotoResizeWorker&) = delete;

    void start();
    // Finishes the photo in hand, then ends the thread; photos still queued stay queued.
    void stop();

    void enqueueFront(PhotoWorkItem item);
    void enqueueBack(PhotoWorkItem item);
    // Moves the slide's photo and every one behind it to the front, keeping their order: [A, B, C, D]
    // with C becomes [C, D, A, B]. False when the slide is not queued.
    bool moveItemToThreadArrayHead(const SlideItem* slide);
    std::vector<PhotoWorkItem> queueSnapshot() const;
    // No photo queued and none in hand.
    bool isIdle() const;
    // The failures so far, which the worker forgets.
    std::vector<PhotoWorkItem> takeFailures();

    // A photo as the import writes it: turned as its orientation says, read at most `readSide` on its longer
    // side however large it is, and laid on black where it is transparent, so that every picture made of it
    // (slide image, background, thumbnail) shows the same. Not read, with its fault, when the photo cannot be
    // read or decodes only in part.
    static platform::image::Picture readPhoto(const QString& path, int readSide);
    // Writes the slide's background (640 at most, blurred) and then its image (at most `maxWidth` on the
    // longer side), both turned as the photo's orientation says; false, and `why` in a few words, when the
    // photo cannot be read or a file cannot be written.
    static bool loadAndResizeItem(const PhotoWorkItem& item, int maxWidth, QString* why = nullptr);
    // The timeline thumbnail: the photo read at most 256 on a side, cropped to fill 80 x 70, at full
    // quality. False (nothing written) when the photo cannot be read.
    static bool writeThumbnail(const QString& photo, const QString& thumbnail);

private:
    void run();

    Callbacks callbacks;
    mutable std::mutex mutex; // resizeThreadLock: the queue, the failures, the flags
    std::condition_variable changed;
    std::deque<PhotoWorkItem> queue;
    std::vector<PhotoWorkItem> failures;
    bool busy = false;
    bool stopRequested = false;
    std::thread thread;
};
