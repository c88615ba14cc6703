#pragma once

#include "model/SlideItem.h"

#include <QImage>
#include <QPointer>
#include <QSize>
#include <QString>

class SlideshowMainObject;
class TimeLineCellViewController;

// The single-photo import that came before the import queue: one photo appended on the calling (main)
// thread, with a timeline cell controller of its own kept by the window's controller, its thumbnail
// written at most 128 pixels on a side, and its slide image left to the resize worker. With it, the picture
// operations of the slide images.
namespace single_photo_import {

// What the new thumbnail is handed to the cell with, once the import has returned.
struct NewThumbnail {
    QPointer<TimeLineCellViewController> cell;
    quint64 index = 0; // the slide's place
    QImage thumbnail;
    SlideItemRef slide;
};

constexpr int kThumbnailSide = 128;

// The photo appended as a slide; its cell gets its thumbnail after the call has returned. Nothing happens
// without an open project.
void addImageToProject(SlideshowMainObject& hub, const QString& path);
// The cell shows the thumbnail and the slide, with the dice as its transition; the strip and the window
// title follow.
void SetNewThumbnail(SlideshowMainObject& hub, const NewThumbnail& handOver);

// The picture stretched to the slide images' size (the project manager's largest width and height).
QImage resizePhotoForSlide(const QImage& image);
// The whole picture stretched to a square of kThumbnailSide; null for a null picture. The timeline's refresh
// does not use it: it writes the import's cropped thumbnail, whose proportions the picture keeps.
QImage resizePhotoForThmbnail(const QImage& image);
// The largest square of the picture's middle, drawn into a new picture of `size`; null for a null picture
// or an empty size.
QImage imageResize(const QImage& image, const QSize& size);

} // namespace single_photo_import
