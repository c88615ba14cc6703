#pragma once

#include <QImage>
#include <QVideoFrame>

// A decoded clip frame as a picture, converted on the CPU. QVideoFrame::toImage() converts on the GPU and
// leaves a GL context of Qt's own current on the calling thread, where the preview's context can then no
// longer be made current. Planar and semi-planar 8-bit 4:2:0 frames and the packed RGB formats are
// converted; any other format answers a null picture.
QImage imageOfVideoFrame(const QVideoFrame& frame);
