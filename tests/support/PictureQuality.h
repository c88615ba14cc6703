#pragma once

// How near a reduced picture comes to the picture as it should be: a careful reduction of the whole picture
// to compare with, made by another program, and the peak signal-to-noise ratio between two pictures.

#include <QImage>
#include <QSize>
#include <QString>

namespace test_support {

// The picture file reduced to `size` by the ffmpeg program, with its most careful filter (three lobes of a
// windowed sinc, every colour sample weighed); null when it could not.
QImage carefulReduction(const QString& path, const QSize& size);

// The peak signal-to-noise ratio in dB between two pictures of one size, over their red, green and blue;
// 0 when their sizes differ, 100 when they are the same.
double psnr(const QImage& a, const QImage& b);

} // namespace test_support
