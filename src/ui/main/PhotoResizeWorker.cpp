#include "ui/main/PhotoResizeWorker.h"

#include "platform/foundation/StringTable.h"
#include "platform/image/ImageAdditions.h"
#include "platform/image/SlidePictures.h"

#include <algorithm>

namespace pictures = platform::image::slide_pictures;

platform::image::Picture PhotoResizeWorker::readPhoto(const QString& path, int readSide) {
    platform::image::PictureRequest request = platform::image::PictureRequest::within(readSide);
    request.judge = true;
    platform::image::Picture photo = platform::image::readPicture(path, request);
    if (photo.isRead() && !photo.whole) { // shown, its missing part would be a grey area
        photo.image = QImage();
        photo.fault = platform::image::PictureFault::Damaged;
    }
    photo.image = pictures::flattenedOnBlack(photo.image);
    return photo;
}

QVariantMap PhotoWorkItem::reportEntry() const {
    QVariantMap entry{{QStringLiteral("SLIDE_IMAGE_FILENAME"), path},
                      {QStringLiteral("ITEM_INDEX"), qulonglong(index)}};
    if (!reason.isEmpty())
        entry.insert(QStringLiteral("REASON"), reason);
    return entry;
}

PhotoResizeWorker::PhotoResizeWorker(Callbacks functions) : callbacks(std::move(functions)) {}

PhotoResizeWorker::~PhotoResizeWorker() {
    stop();
}

void PhotoResizeWorker::start() {
    const std::lock_guard lock(mutex);
    if (thread.joinable())
        return;
    stopRequested = false;
    thread = std::thread([this] { run(); });
}

void PhotoResizeWorker::stop() {
    {
        const std::lock_guard lock(mutex);
        stopRequested = true;
    }
    changed.notify_all();
    if (thread.joinable())
        thread.join();
}

void PhotoResizeWorker::enqueueFront(PhotoWorkItem item) {
    {
        const std::lock_guard lock(mutex);
        queue.push_front(std::move(item));
    }
    changed.notify_all();
}

void PhotoResizeWorker::enqueueBack(PhotoWorkItem item) {
    {
        const std::lock_guard lock(mutex);
        queue.push_back(std::move(item));
    }
    changed.notify_all();
}

bool PhotoResizeWorker::moveItemToThreadArrayHead(const SlideItem* slide) {
    const std::lock_guard lock(mutex);
    const auto found = std::find_if(queue.begin(), queue.end(),
                                    [slide](const PhotoWorkItem& item) { return item.slide.get() == slide; });
    if (found == queue.end())
        return false;
    std::rotate(queue.begin(), found, queue.end());
    return true;
}

std::vector<PhotoWorkItem> PhotoResizeWorker::queueSnapshot() const {
    const std::lock_guard lock(mutex);
    return {queue.begin(), queue.end()};
}

bool PhotoResizeWorker::isIdle() const {
    const std::lock_guard lock(mutex);
    return queue.empty() && !busy;
}

std::vector<PhotoWorkItem> PhotoResizeWorker::takeFailures() {
    const std::lock_guard lock(mutex);
    return std::exchange(failures, {});
}

void PhotoResizeWorker::run() {
    std::unique_lock lock(mutex);
    while (true) {
        changed.wait(lock, [this] { return stopRequested || !queue.empty(); });
        if (stopRequested)
            return;
        PhotoWorkItem item = std::move(queue.front());
        queue.pop_front();
        busy = true;
        lock.unlock();
        const int maxWidth = callbacks.maxImageWidth ? callbacks.maxImageWidth() : 1280;
        const bool written = loadAndResizeItem(item, maxWidth, &item.reason);
        // Written or failed, the picture is made no more: a play gives up on one that is not there, without
        // waiting for the main thread to discard the slide.
        if (item.slide)
            item.slide->setPictureBeingMade(false);
        if (!written && callbacks.slideFailed)
            callbacks.slideFailed(item);
        lock.lock();
        busy = false;
        if (!written)
            failures.push_back(std::move(item));
        if (queue.empty() && !failures.empty() && callbacks.idleWithFailures) {
            lock.unlock();
            callbacks.idleWithFailures();
            lock.lock();
        }
    }
}

bool PhotoResizeWorker::loadAndResizeItem(const PhotoWorkItem& item, int maxWidth, QString* why) {
    if (!item.slide)
        return false;
    // Read no larger than the slide's picture, whatever the photo's size: the backdrop is smaller still.
    const platform::image::Picture photo = readPhoto(item.path, maxWidth);
    if (!photo.isRead()) {
        if (why)
            *why = photo.reason();
        return false;
    }
    // The background first: the slide counts as ready once its image is there.
    if (saveToJpegFile(pictures::backdrop(photo.image), item.slide->backgroudImageFileName(),
                       pictures::kBackdropQuality) &&
        saveToJpegFile(pictures::picture(photo.image, maxWidth), item.slide->fileName(),
                       pictures::kPictureQuality))
        return true;
    if (why)
        *why = tr_("cannot be written into the project");
    return false;
}

bool PhotoResizeWorker::writeThumbnail(const QString& photo, const QString& thumbnail) {
    const QImage small = readPhoto(photo, pictures::kThumbnailReadSide).image;
    if (small.isNull() || thumbnail.isEmpty())
        return false;
    return saveToJpegFile(pictures::thumbnail(small), thumbnail, pictures::kThumbnailQuality);
}
