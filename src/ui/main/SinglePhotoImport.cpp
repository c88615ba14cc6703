#include "ui/main/SinglePhotoImport.h"

#include "model/SlideshowProject.h"
#include "model/SlideshowProjectManager.h"
#include "platform/image/ImageAdditions.h"
#include "ui/editing/ResourceImage.h"
#include "ui/editing/TimeLineCellViewController.h"
#include "ui/editing/TransitionImageView.h"
#include "ui/main/PhotoImporter.h"
#include "ui/main/PhotoResizeWorker.h"
#include "ui/main/SlideshowMainObject.h"

#include <QPainter>

#include <algorithm>

namespace single_photo_import {

void addImageToProject(SlideshowMainObject& hub, const QString& path) {
    const auto project = SlideshowProject::currentMainProject();
    if (!project)
        return;
    const quint64 index = project->slideCount();
    const SlideItemRef slide =
        PhotoImporter::newPhotoSlide(*project, path, QString::asprintf("psd_%03llu_", qulonglong(index)),
                                     QString::asprintf("psd_bk_%03llu_", qulonglong(index)));
    project->addSlideItem(slide);
    project->setBIsDirty(true);
    project->calcSlideItemsPhotoTransitionDuration();

    // Kept by the hub, placed on no strip: the strip draws the slide's cell itself.
    auto* cell = new TimeLineCellViewController([] { return SlideshowProject::currentMainProject(); }, &hub);
    cell->setTimelineDraggingDest(hub.outlets().scrollView1);
    cell->awakeFromNib();
    cell->setNIndexTag(int(hub.timelineCellViewArray().size()));
    hub.keepTimelineCell(cell);
    hub.layoutScrollImages();
    hub.layoutMusicSubViews();

    const QImage thumbnail = PhotoResizeWorker::readPhoto(path, kThumbnailSide).image;
    if (!thumbnail.isNull())
        saveToJpegFile(thumbnail, slide->strThumbFileName());
    QMetaObject::invokeMethod(
        &hub,
        [&hub, handOver = NewThumbnail{cell, index, thumbnail, slide}] { hub.SetNewThumbnail(handOver); },
        Qt::QueuedConnection);
    hub.resizeWorker().enqueueBack({path, slide, index});
}

void SetNewThumbnail(SlideshowMainObject& hub, const NewThumbnail& handOver) {
    if (TimeLineCellViewController* cell = handOver.cell) {
        cell->transitionIconView()->setPixmap(QPixmap::fromImage(resourceImage(QStringLiteral("dice"))));
        cell->photoThumbnailView()->setPixmap(QPixmap::fromImage(handOver.thumbnail));
        cell->setSItem(handOver.slide);
        cell->setNIndexTag(int(handOver.index));
    }
    hub.layoutScrollImages();
    hub.updateProjectInfo();
}

QImage resizePhotoForSlide(const QImage& image) {
    const auto manager = SlideshowProjectManager::defaultSlideshowProjectManager();
    return thumbnailImage(image, QSize(manager->nMaxImageWidth(), manager->nMaxImageHeight()));
}

QImage resizePhotoForThmbnail(const QImage& image) {
    return thumbnailImage(image, QSize(kThumbnailSide, kThumbnailSide));
}

QImage imageResize(const QImage& image, const QSize& size) {
    if (image.isNull() || size.isEmpty())
        return QImage();
    const int side = std::min(image.width(), image.height());
    const QRect square((image.width() - side) / 2, (image.height() - side) / 2, side, side);
    QImage resized(size, QImage::Format_ARGB32_Premultiplied);
    resized.fill(Qt::transparent);
    QPainter painter(&resized);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QRect(QPoint(0, 0), size), image, square);
    return resized;
}

} // namespace single_photo_import
