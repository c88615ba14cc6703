#include "platform/image/ImageFilters.h"

#include <QTransform>

#include <algorithm>
#include <cmath>
#include <vector>

namespace platform::image {
namespace {

struct Rgb {
    float r, g, b;
};

float clamp01(float v) {
    return std::clamp(v, 0.0f, 1.0f);
}

// Applies fn to each pixel's colour, without premultiplication, keeping alpha.
template <class Fn> QImage mapPixels(const QImage& image, Fn fn) {
    QImage result = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < result.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < result.width(); ++x) {
            const QRgb p = row[x];
            const Rgb out = fn(Rgb{qRed(p) / 255.0f, qGreen(p) / 255.0f, qBlue(p) / 255.0f});
            row[x] = qRgba(int(std::lround(clamp01(out.r) * 255)), int(std::lround(clamp01(out.g) * 255)),
                           int(std::lround(clamp01(out.b) * 255)), qAlpha(p));
        }
    }
    return result;
}

std::vector<float> gaussianKernel(float sigma) {
    const int reach = std::max(1, int(std::ceil(sigma * 3)));
    std::vector<float> kernel(2 * reach + 1);
    float sum = 0;
    for (int i = -reach; i <= reach; ++i)
        sum += kernel[i + reach] = std::exp(-(i * i) / (2 * sigma * sigma));
    for (float& k : kernel)
        k /= sum;
    return kernel;
}

// One blur pass along rows (horizontal) or columns, on premultiplied pixels so that the edges of
// transparent areas do not darken.
QImage blurPass(const QImage& source, const std::vector<float>& kernel, bool horizontal) {
    QImage result(source.size(), source.format());
    const int reach = int(kernel.size() / 2);
    const int w = source.width(), h = source.height();
    const int lines = horizontal ? h : w, length = horizontal ? w : h;
    const auto* in = reinterpret_cast<const QRgb*>(source.constBits());
    auto* out = reinterpret_cast<QRgb*>(result.bits());
    const qsizetype inStride = source.bytesPerLine() / 4, outStride = result.bytesPerLine() / 4;
    std::vector<QRgb> samples(length);
    for (int line = 0; line < lines; ++line) {
        for (int i = 0; i < length; ++i)
            samples[i] = horizontal ? in[line * inStride + i] : in[i * inStride + line];
        for (int i = 0; i < length; ++i) {
            float acc[4] = {0, 0, 0, 0};
            for (int k = -reach; k <= reach; ++k) {
                const QRgb p = samples[std::clamp(i + k, 0, length - 1)];
                const float weight = kernel[k + reach];
                acc[0] += qRed(p) * weight;
                acc[1] += qGreen(p) * weight;
                acc[2] += qBlue(p) * weight;
                acc[3] += qAlpha(p) * weight;
            }
            const QRgb value = qRgba(int(std::lround(acc[0])), int(std::lround(acc[1])),
                                     int(std::lround(acc[2])), int(std::lround(acc[3])));
            (horizontal ? out[line * outStride + i] : out[i * outStride + line]) = value;
        }
    }
    return result;
}

} // namespace

QImage colorControls(const QImage& image, float saturation, float brightness, float contrast) {
    return mapPixels(image, [=](Rgb c) {
        const float luma = 0.2125f * c.r + 0.7154f * c.g + 0.0721f * c.b;
        Rgb out{luma + (c.r - luma) * saturation, luma + (c.g - luma) * saturation,
                luma + (c.b - luma) * saturation};
        out = {out.r + brightness, out.g + brightness, out.b + brightness};
        return Rgb{(out.r - 0.5f) * contrast + 0.5f, (out.g - 0.5f) * contrast + 0.5f,
                   (out.b - 0.5f) * contrast + 0.5f};
    });
}

QImage sepiaTone(const QImage& image, float intensity) {
    const float t = clamp01(intensity);
    return mapPixels(image, [=](Rgb c) {
        const Rgb s{0.393f * c.r + 0.769f * c.g + 0.189f * c.b, 0.349f * c.r + 0.686f * c.g + 0.168f * c.b,
                    0.272f * c.r + 0.534f * c.g + 0.131f * c.b};
        return Rgb{c.r + (s.r - c.r) * t, c.g + (s.g - c.g) * t, c.b + (s.b - c.b) * t};
    });
}

QImage rotatedQuarterTurnClockwise(const QImage& image) {
    // Rows of the result are columns of the source read bottom-up: an exact pixel transpose.
    return image.transformed(QTransform().rotate(90), Qt::FastTransformation);
}

QImage gaussianBlur(const QImage& image, float radius) {
    if (image.isNull())
        return QImage();
    QImage premultiplied = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (radius <= 0)
        return premultiplied.convertToFormat(QImage::Format_ARGB32);
    const std::vector<float> kernel = gaussianKernel(radius);
    const QImage across = blurPass(premultiplied, kernel, true);
    return blurPass(across, kernel, false).convertToFormat(QImage::Format_ARGB32);
}

QImage applyPhotoFilter(const QImage& image, const QVariantMap& theme) {
    const QString filter = theme.value(QStringLiteral("PhotoFilter")).toString();
    if (filter == QLatin1String("Grayscale"))
        return colorControls(image, 0.0f);
    if (filter == QLatin1String("CISepiaTone"))
        return sepiaTone(image);
    return image;
}

} // namespace platform::image
