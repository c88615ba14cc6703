#include "ui/main/PhotoResizeWorker.h"

#include "platform/image/ImageAdditions.h"
#include "platform/image/SlidePictures.h"

#include <QImageReader>

#include <algorithm>

namespace pictures = platform::image::slide_pictures;

QImage PhotoResizeWorker::readPhoto(const QString& path, int readSide) {
    if (isCutShortJpeg(path)) // shown, its missing part would be a grey area
        return QImage();
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (readSide > 0 && size.isValid() && std::max(size.width(), size.height()) > readSide)
        reader.setScaledSize(size.scaled(readSide, readSide, Qt::KeepAspectRatio));
    return pictures::flattenedOnBlack(reader.read());
}

QVariantMap PhotoWorkItem::reportEntry() const {
    return {{QStringLiteral("SLIDE_IMAGE_FILENAME"), path},
            {QStringLiteral("ITEM_INDEX"), qulonglong(index)}};
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
        const bool written = loadAndResizeItem(item, maxWidth);
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

bool PhotoResizeWorker::loadAndResizeItem(const PhotoWorkItem& item, int maxWidth) {
    if (!item.slide)
        return false;
    const QImage photo = readPhoto(item.path);
    if (photo.isNull())
        return false;
    // The background first: the slide counts as ready once its image is there.
    if (!saveToJpegFile(pictures::backdrop(photo), item.slide->backgroudImageFileName(),
                        pictures::kBackdropQuality))
        return false;
    return saveToJpegFile(pictures::picture(photo, maxWidth), item.slide->fileName(),
                          pictures::kPictureQuality);
}

bool PhotoResizeWorker::writeThumbnail(const QString& photo, const QString& thumbnail) {
    const QImage small = readPhoto(photo, pictures::kThumbnailReadSide);
    if (small.isNull() || thumbnail.isEmpty())
        return false;
    return saveToJpegFile(pictures::thumbnail(small), thumbnail, pictures::kThumbnailQuality);
}
