#pragma once

#include <QImage>
#include <QSize>

// Test pictures that carry their frame number: kBits vertical stripes side by side, white for a 1 and black
// for a 0, the most significant bit on the left, then one white stripe that tells a coded picture from a
// black screen. Flat stripes survive compression and scaling, so the number can be read back from a
// decoded frame or a drawn one.
namespace FrameCode {

constexpr int kBits = 6;
constexpr int kStripes = kBits + 1;

QImage frame(QSize size, int frameIndex);
// The number in a picture of that layout (at any size), read at the stripes' centres; -1 when the picture
// holds no code (a stripe neither clearly light nor clearly dark, or no marker stripe).
int read(const QImage& image);
// The same within a part of a picture.
int read(const QImage& image, const QRect& area);

// The coded picture with a red band along its top and a blue one along its bottom, a quarter of its height
// each: a picture drawn with red and blue exchanged, or upside down, shows it, and the code still reads.
QImage redOverBlueFrame(QSize size, int frameIndex);
// Whether that picture, filling `image`, shows red at the top and blue at the bottom after compression; the
// colours seen go to `seen`.
bool showsRedOverBlue(const QImage& image, QString* seen = nullptr);

} // namespace FrameCode
