// Procedural materials: wood grain, paper and woven cloth, all tileable, and a blur.
#include "Resgen.h"

#include <algorithm>
#include <cmath>

namespace resgen {

namespace {

constexpr double kPi = 3.14159265358979323846;

double fract(double t) {
    return t - std::floor(t);
}
double tri(double t) {
    return 1 - std::abs(2 * fract(t) - 1);
}

std::size_t at(int x, int y, int width) {
    return std::size_t(y) * std::size_t(width) + std::size_t(x);
}

} // namespace

std::vector<double> woodGrain(int width, int height, std::uint64_t seed, int rings) {
    // Growth rings run along x; a coarse warp bends them into figure, and fine streaks stretched along the
    // grain give the fibres. Every noise is sampled over whole periods, so the tile wraps.
    const PeriodicNoise warp(seed, 3, 4);
    const PeriodicNoise streaks(seed + 1, 4, 56);
    const PeriodicNoise knots(seed + 2, 2, 2);
    std::vector<double> field(std::size_t(width) * std::size_t(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double u = double(x) / width, v = double(y) / height;
            const double bend = warp.fbm(u * 3, v * 4, 3) - 0.5;
            const double swirl = knots.at(u * 2, v * 2) - 0.5;
            const double ring = tri(rings * v + 0.8 * bend + 0.3 * swirl);
            const double lateWood = smoothstep(0.78, 1.0, ring);
            const double fibre = streaks.fbm(u * 4, v * 56, 3) - 0.5;
            field[at(x, y, width)] = std::clamp(0.3 + 0.55 * ring - 0.35 * lateWood + 0.45 * fibre, 0.0, 1.0);
        }
    return field;
}

std::vector<double> paperGrain(int width, int height, std::uint64_t seed) {
    const PeriodicNoise grain(seed, 24);
    const PeriodicNoise clouds(seed + 1, 3);
    const PeriodicNoise fibresAcross(seed + 2, 6, 40);
    const PeriodicNoise fibresDown(seed + 3, 40, 6);
    std::vector<double> field(std::size_t(width) * std::size_t(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double u = double(x) / width, v = double(y) / height;
            const double fine = grain.fbm(u * 24, v * 24, 2) - 0.5;
            const double mottle = clouds.fbm(u * 3, v * 3, 3) - 0.5;
            // Fibres show as thin bright ridges where stretched noise crosses its middle value.
            const double across = 1 - smoothstep(0.0, 0.04, std::abs(fibresAcross.at(u * 6, v * 40) - 0.5));
            const double down = 1 - smoothstep(0.0, 0.04, std::abs(fibresDown.at(u * 40, v * 6) - 0.5));
            field[at(x, y, width)] =
                std::clamp(0.55 + 0.5 * fine + 0.7 * mottle + 0.12 * std::max(across, down), 0.0, 1.0);
        }
    return field;
}

QImage clothWeave(int width, int height, const QColor& warp, const QColor& weft, int thread,
                  std::uint64_t seed) {
    const int threadsAcross = std::max(1, width / thread), threadsDown = std::max(1, height / thread);
    // Slubs: each thread is a little thicker or lighter along its length.
    const PeriodicNoise slubs(seed, threadsAcross, 8);
    const PeriodicNoise slubsWeft(seed + 1, 8, threadsDown);
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int i = x / thread, j = y / thread;
            const double fx = (x % thread + 0.5) / thread, fy = (y % thread + 0.5) / thread;
            const bool warpOnTop = (i + j) % 2 == 0;
            const double u = double(x) / width, v = double(y) / height;
            double shade;
            QColor color;
            if (warpOnTop) {
                shade = std::sqrt(std::sin(kPi * fx)) * (0.72 + 0.28 * std::sin(kPi * fy));
                shade += 0.35 * (slubs.at(u * threadsAcross, v * 8) - 0.5);
                color = warp;
            } else {
                shade = std::sqrt(std::sin(kPi * fy)) * (0.72 + 0.28 * std::sin(kPi * fx));
                shade += 0.35 * (slubsWeft.at(u * 8, v * threadsDown) - 0.5);
                color = weft;
            }
            const double light = std::clamp(0.45 + 0.7 * shade, 0.0, 1.4);
            line[x] = qRgb(std::clamp(int(color.red() * light), 0, 255),
                           std::clamp(int(color.green() * light), 0, 255),
                           std::clamp(int(color.blue() * light), 0, 255));
        }
    }
    return image;
}

namespace {

// One box pass along rows (or columns when `vertical`), clamping at the edges.
void boxPass(QImage& image, int radius, bool vertical) {
    const int length = vertical ? image.height() : image.width();
    const int lines = vertical ? image.width() : image.height();
    std::vector<QRgb> source(static_cast<std::size_t>(length));
    for (int l = 0; l < lines; ++l) {
        auto pixel = [&](int k) -> QRgb& {
            return vertical ? reinterpret_cast<QRgb*>(image.scanLine(k))[l]
                            : reinterpret_cast<QRgb*>(image.scanLine(l))[k];
        };
        for (int k = 0; k < length; ++k)
            source[std::size_t(k)] = pixel(k);
        int sum[4] = {0, 0, 0, 0};
        auto add = [&](int k, int sign) {
            const QRgb c = source[std::size_t(std::clamp(k, 0, length - 1))];
            sum[0] += sign * qRed(c), sum[1] += sign * qGreen(c), sum[2] += sign * qBlue(c),
                sum[3] += sign * qAlpha(c);
        };
        for (int k = -radius; k <= radius; ++k)
            add(k, 1);
        const int count = 2 * radius + 1;
        for (int k = 0; k < length; ++k) {
            pixel(k) = qRgba(sum[0] / count, sum[1] / count, sum[2] / count, sum[3] / count);
            add(k + radius + 1, 1);
            add(k - radius, -1);
        }
    }
}

} // namespace

QImage blurred(const QImage& image, int radius) {
    QImage result = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int box = std::max(1, int(std::lround(radius / 1.7)));
    for (int pass = 0; pass < 3; ++pass) {
        boxPass(result, box, false);
        boxPass(result, box, true);
    }
    return result;
}

} // namespace resgen
