#include "ui/main/TimelineThumbnailRefresh.h"

#include "model/ContentsFolder.h"
#include "platform/image/PictureReading.h"
#include "platform/image/SlidePictures.h"
#include "ui/main/PhotoResizeWorker.h"

#include <QFile>

namespace {

bool loads(const QString& path) {
    if (path.isEmpty())
        return false;
    return platform::image::readPicture(path, platform::image::PictureRequest::within(
                                                  platform::image::slide_pictures::kThumbnailReadSide))
        .isRead();
}

} // namespace

TimelineThumbnailRefresh::TimelineThumbnailRefresh(std::vector<Cell> cells, QString contentsFolder,
                                                   CellReady cellReady) {
    thread = std::thread([this, cells = std::move(cells), contents = std::move(contentsFolder),
                          ready = std::move(cellReady)] { run(cells, contents, ready); });
}

TimelineThumbnailRefresh::~TimelineThumbnailRefresh() {
    cancelled = true;
    gate.close(); // a thread waiting for the main thread, which is the one joining, returns at once
    if (thread.joinable())
        thread.join();
}

void TimelineThumbnailRefresh::run(const std::vector<Cell>& cells, const QString& contents,
                                   const CellReady& cellReady) {
    for (const Cell& cell : cells) {
        if (cancelled)
            break;
        QString made;
        if (!loads(cell.thumbnailPath)) {
            QString target = cell.thumbnailPath;
            if (target.isEmpty()) {
                made =
                    ContentsFolder::reserveName(contents, ContentsFolder::timeStampedName("thumb_", "jpg"));
                target = made.isEmpty() ? QString() : contents + QLatin1Char('/') + made;
            }
            if (!PhotoResizeWorker::writeThumbnail(cell.picturePath, target) && !made.isEmpty()) {
                QFile::remove(target); // the name claimed for it
                made.clear();
            }
        }
        bool taken = false;
        const bool handedOver = gate.runAndWait([&] { taken = cellReady(cell.slide, made); });
        if (!made.isEmpty() && !taken)
            QFile::remove(contents + QLatin1Char('/') + made);
        if (!handedOver)
            break;
    }
    finished = true;
}
