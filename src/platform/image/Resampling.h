#pragma once

// A picture brought to another size with a proper filter: each pixel weighs the stored pixels around it by a
// windowed sinc (three lobes) stretched over all the pixels that fall in it, so a reduction keeps the detail
// the new size can show, where an average of the nearest few pixels would blur it, and none of the detail
// it cannot, which would alias. Done a row at a time: besides the two pictures it holds a few rows.

#include <QImage>
#include <QSize>

namespace platform::image {

// `image` at `size`: grey stays grey, opaque stays RGB32, the rest is premultiplied ARGB32. Null when
// `image` is, or `size` is empty.
QImage resampled(const QImage& image, const QSize& size);

} // namespace platform::image
