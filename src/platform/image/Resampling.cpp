#include "platform/image/Resampling.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace platform::image {

namespace {

constexpr double kLobes = 3.0;

double windowedSinc(double x) {
    x = std::abs(x);
    if (x < 1e-9)
        return 1.0;
    if (x >= kLobes)
        return 0.0;
    const double px = std::numbers::pi * x;
    return kLobes * std::sin(px) * std::sin(px / kLobes) / (px * px);
}

// For each pixel of a line of `to` pixels, the stored pixels of a line of `from` it weighs and their
// weights; beyond the picture's edge the edge pixel is weighed.
struct Taps {
    std::vector<int> first;     // the first stored pixel, for each pixel
    std::vector<float> weights; // `span` for each pixel, from its first
    int span = 0;

    Taps(int from, int to) : first(std::size_t(to)) {
        const double scale = double(to) / from;
        const double stretch = std::max(1.0, 1.0 / scale); // a reduction widens the filter
        const double reach = kLobes * stretch;
        span = std::min(from, int(std::ceil(reach)) * 2 + 1);
        weights.assign(std::size_t(to) * std::size_t(span), 0.0f);
        std::vector<double> raw(static_cast<std::size_t>(span), 0.0);
        for (int i = 0; i < to; ++i) {
            const double centre = (i + 0.5) / scale - 0.5;
            const int start = std::clamp(int(std::floor(centre - reach)) + 1, 0, from - span);
            first[std::size_t(i)] = start;
            std::fill(raw.begin(), raw.end(), 0.0);
            double sum = 0.0;
            for (int x = int(std::floor(centre - reach)) + 1; x <= int(std::floor(centre + reach)); ++x) {
                const double w = windowedSinc((x - centre) / stretch);
                raw[std::size_t(std::clamp(x, 0, from - 1) - start)] += w;
                sum += w;
            }
            float* out = &weights[std::size_t(i) * std::size_t(span)];
            for (int k = 0; k < span; ++k)
                out[k] = float(raw[std::size_t(k)] / sum);
        }
    }
    const float* of(int i) const { return &weights[std::size_t(i) * std::size_t(span)]; }
};

// A stored row brought to the new width, `channels` floats a pixel.
void resampleRow(const uchar* row, int channels, const Taps& taps, int width, float* out) {
    for (int x = 0; x < width; ++x) {
        const uchar* in = row + std::size_t(taps.first[std::size_t(x)]) * std::size_t(channels);
        const float* w = taps.of(x);
        float sums[4] = {0, 0, 0, 0};
        for (int k = 0; k < taps.span; ++k, in += channels)
            for (int c = 0; c < channels; ++c)
                sums[c] += w[k] * float(in[c]);
        for (int c = 0; c < channels; ++c)
            out[std::size_t(x) * std::size_t(channels) + std::size_t(c)] = sums[c];
    }
}

} // namespace

QImage resampled(const QImage& image, const QSize& size) {
    if (image.isNull() || size.isEmpty())
        return QImage();
    const QImage::Format format = image.format() == QImage::Format_Grayscale8 ? QImage::Format_Grayscale8
                                  : image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                            : QImage::Format_RGB32;
    const QImage source = image.convertToFormat(format);
    QImage result(size, format);
    if (result.isNull())
        return result;
    const int channels = format == QImage::Format_Grayscale8 ? 1 : 4;
    const Taps across(source.width(), size.width()), down(source.height(), size.height());
    // The rows of the stored picture already brought to the new width, kept round as the window moves down.
    const std::size_t rowFloats = std::size_t(size.width()) * std::size_t(channels);
    std::vector<float> ring(rowFloats * std::size_t(down.span));
    std::vector<int> ringRow(std::size_t(down.span), -1);
    std::vector<float> sums(rowFloats);
    for (int y = 0; y < size.height(); ++y) {
        const int first = down.first[std::size_t(y)];
        const float* w = down.of(y);
        std::fill(sums.begin(), sums.end(), 0.0f);
        for (int k = 0; k < down.span; ++k) {
            const int storedRow = first + k;
            const std::size_t slot = std::size_t(storedRow % down.span);
            float* row = &ring[slot * rowFloats];
            if (ringRow[slot] != storedRow) {
                resampleRow(source.constScanLine(storedRow), channels, across, size.width(), row);
                ringRow[slot] = storedRow;
            }
            for (std::size_t i = 0; i < rowFloats; ++i)
                sums[i] += w[k] * row[i];
        }
        uchar* out = result.scanLine(y);
        for (std::size_t i = 0; i < rowFloats; ++i)
            out[i] = uchar(std::clamp(std::lround(sums[i]), 0L, 255L));
        if (format == QImage::Format_ARGB32_Premultiplied) // a colour may not outgrow its opacity
            for (std::size_t i = 0; i < rowFloats; i += 4)
                for (std::size_t c = 0; c < 3; ++c)
                    out[i + c] = std::min(out[i + c], out[i + 3]);
        else if (format == QImage::Format_RGB32)
            for (std::size_t i = 3; i < rowFloats; i += 4)
                out[i] = 255;
    }
    return result;
}

} // namespace platform::image
