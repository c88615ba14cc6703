// Transition masks "01" ... "50" (grey JPEG). Each mask is a field of "when does this pixel change over";
// the wipe shader compares it with the blend factor. Fields are continuous so the moving front stays
// smooth; only the spirals and the one-handed clocks keep a seam, where the sweep meets itself.
#include "Resgen.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>

namespace resgen {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kMaskWidth = 640;
constexpr int kMaskHeight = 360;
// Masks are stretched over the frame, so their shapes are laid out for the frame's 16:9 whatever the pixel
// grid; a square preview of a mask is then the frame's wipe squeezed, as any stretched mask is.
constexpr double kFrameAspect = 16.0 / 9.0;

// Where a pixel lies: u, v across the picture in [0, 1]; x, y from its centre in units of its height
// (so circles stay round); r and the clock angle (0 at twelve o'clock, growing clockwise, in (-pi, pi]).
struct Spot {
    double u, v, x, y, r, angle;
    double aspect;
};

using Field = std::function<double(const Spot&)>;

double fract(double t) {
    return t - std::floor(t);
}
// A triangle wave: 0 at whole numbers, 1 halfway between; continuous, so stripes open without seams.
double tri(double t) {
    return 1 - std::abs(2 * fract(t) - 1);
}
double clockwise(double angle) {
    return angle < 0 ? angle + 2 * kPi : angle;
}

// Cells that first open from their centres in one colour of a checkerboard, then close in on the other:
// both meet at 0.5 on every cell border, so the field has no seam.
double checkerCell(double a, double b) {
    const double ca = std::floor(a), cb = std::floor(b);
    const double d = std::max(std::abs(a - ca - 0.5), std::abs(b - cb - 0.5)) * 2;
    const bool even = (long(ca) + long(cb)) % 2 == 0;
    return even ? 0.5 * d : 1 - 0.5 * d;
}

// An Archimedean spiral band of `turns` turns: the value runs along the band, turn after turn.
double spiral(const Spot& s, double turns, double maxRadius) {
    const double width = maxRadius / turns;
    const double phase = clockwise(s.angle) / (2 * kPi);
    const double ring = std::floor(s.r / width - phase);
    return ring + phase + 0.02 * (s.r / width - phase - ring);
}

// A polar shape grown from the centre: value = how far the shape must grow to reach the spot.
Field polarIris(std::function<double(double angle)> radius) {
    return [radius](const Spot& s) { return s.r / radius(s.angle); };
}

// The boundary of the heart (x² + y² - 1)³ = x² y³ along each ray from its middle, by bisection.
Field heartIris() {
    constexpr int kRays = 2048;
    auto table = std::make_shared<std::array<double, kRays>>();
    for (int i = 0; i < kRays; ++i) {
        const double angle = 2 * kPi * i / kRays;
        const double dx = std::sin(angle), dy = std::cos(angle); // y up
        auto inside = [&](double t) {
            const double x = dx * t, y = dy * t + 0.1;
            const double a = x * x + y * y - 1;
            return a * a * a - x * x * y * y * y <= 0;
        };
        double low = 0, high = 0.05;
        while (inside(high) && high < 4)
            low = high, high += 0.05;
        for (int step = 0; step < 30; ++step) {
            const double mid = (low + high) / 2;
            (inside(mid) ? low : high) = mid;
        }
        (*table)[std::size_t(i)] = low;
    }
    return [table](const Spot& s) {
        const double position = clockwise(s.angle) / (2 * kPi) * kRays;
        const int i = int(position) % kRays;
        const double t = position - std::floor(position);
        const double radius = (*table)[std::size_t(i)] * (1 - t) + (*table)[std::size_t((i + 1) % kRays)] * t;
        // The heart is about 2.3 units wide; the picture's half-height is 0.5.
        const double y = -s.y + 0.06;
        return std::hypot(s.x, y) / (radius * 0.28);
    };
}

// Round openings from scattered centres, each with its own delay: the earliest arrival wins, and a minimum
// of continuous fields is continuous.
Field bubbles(std::uint64_t seed, int columns, int rows, double delaySpread) {
    struct Bubble {
        double x, y, delay;
    };
    auto list = std::make_shared<std::vector<Bubble>>();
    Random random(seed);
    const double aspect = kFrameAspect;
    for (int row = 0; row < rows; ++row)
        for (int column = 0; column < columns; ++column) {
            const double x = ((column + random.range(0.2, 0.8)) / columns - 0.5) * aspect;
            const double y = (row + random.range(0.2, 0.8)) / rows - 0.5;
            list->push_back({x, y, random.range(0, delaySpread)});
        }
    return [list](const Spot& s) {
        double best = 1e9;
        for (const Bubble& b : *list)
            best = std::min(best, std::hypot(s.x - b.x, s.y - b.y) + b.delay);
        return best;
    };
}

Field noise(std::uint64_t seed, double cellsAcross, int octaves, double gain) {
    auto lattice = std::make_shared<PeriodicNoise>(seed, 64);
    return [lattice, cellsAcross, octaves, gain](const Spot& s) {
        return lattice->fbm(s.u * cellsAcross, s.v * cellsAcross / s.aspect, octaves, gain);
    };
}

Field ragged(Field front, std::uint64_t seed, double roughness) {
    Field grain = noise(seed, 5, 4, 0.55);
    return [front, grain, roughness](const Spot& s) { return front(s) + roughness * (grain(s) - 0.5); };
}

Field negated(Field field) {
    return [field](const Spot& s) { return -field(s); };
}

std::vector<Field> designs() {
    const Field iris = [](const Spot& s) { return s.r; };
    const Field diamond = [](const Spot& s) { return std::abs(s.x) + std::abs(s.y); };
    const Field box = [](const Spot& s) { return std::max(std::abs(s.u - 0.5), std::abs(s.v - 0.5)); };
    const Field spiralOut = [](const Spot& s) { return spiral(s, 3, 1.02); };
    const Field bubbleField = bubbles(0xb0bb1e5, 4, 3, 0.25);
    return {
        /* 01 */ [](const Spot& s) { return s.u; },
        /* 02 */ [](const Spot& s) { return -s.u; },
        /* 03 */ [](const Spot& s) { return s.v; },
        /* 04 */ [](const Spot& s) { return -s.v; },
        /* 05 */ [](const Spot& s) { return s.x + s.y; },
        /* 06 */ [](const Spot& s) { return -(s.x + s.y); },
        /* 07 */ [](const Spot& s) { return s.y - s.x; },
        /* 08 */ [](const Spot& s) { return s.x - s.y; },
        /* 09 */ [](const Spot& s) { return std::abs(s.x); },
        /* 10 */ [](const Spot& s) { return -std::abs(s.x); },
        /* 11 */ [](const Spot& s) { return std::abs(s.y); },
        /* 12 */ [](const Spot& s) { return -std::abs(s.y); },
        /* 13 */ iris,
        /* 14 */ negated(iris),
        /* 15 */ diamond,
        /* 16 */ negated(diamond),
        /* 17 */ box,
        /* 18 */ negated(box),
        /* 19 */ [](const Spot& s) { return clockwise(s.angle); },
        /* 20 */ [](const Spot& s) { return -clockwise(s.angle); },
        /* 21 */ [](const Spot& s) { return std::abs(s.angle); },
        /* 22 */ [](const Spot& s) { return -std::abs(s.angle); },
        /* 23 */ [](const Spot& s) { return tri(s.angle / (kPi / 2)) + 0.05 * s.r; },
        /* 24 */ [](const Spot& s) { return tri(s.v * 8 + 0.5); },
        /* 25 */ [](const Spot& s) { return tri(s.u * 12 + 0.5); },
        /* 26 */ [](const Spot& s) { return 0.55 * s.u + 0.45 * tri(s.v * 10 + 0.5); },
        /* 27 */ [](const Spot& s) { return checkerCell(s.u * 8, s.v * 5); },
        /* 28 */ [](const Spot& s) { return checkerCell((s.x + s.y) * 3.2, (s.x - s.y) * 3.2); },
        /* 29 */ spiralOut,
        /* 30 */
        [](const Spot& s) {
            return -spiral({s.u, s.v, -s.x, s.y, s.r, -s.angle, s.aspect}, 3, 1.02);
        },
        /* 31 */ noise(0x5eed31, 3, 4, 0.5),
        /* 32 */ noise(0x5eed32, 6, 3, 0.45),
        /* 33 */ ragged([](const Spot& s) { return s.u; }, 0x5eed33, 0.45),
        /* 34 */ ragged([](const Spot& s) { return -s.v; }, 0x5eed34, 0.8),
        /* 35 */ polarIris([](double a) { return 1 + 0.25 * std::cos(6 * a); }),
        /* 36 */ polarIris([](double a) { return 1 - 0.45 * tri(a * 5 / (2 * kPi)); }),
        /* 37 */ heartIris(),
        /* 38 */ [](const Spot& s) { return std::hypot(s.u * s.aspect, s.v); },
        /* 39 */ [](const Spot& s) { return std::hypot(s.x, s.v - 1.0); },
        /* 40 */
        [](const Spot& s) {
            return std::min(std::hypot(s.u * s.aspect, s.y), std::hypot((1 - s.u) * s.aspect, s.y));
        },
        /* 41 */ bubbleField,
        /* 42 */ bubbles(0xb0bb1e6, 9, 5, 0.35),
        /* 43 */ [](const Spot& s) { return s.u + 0.1 * std::sin(s.v * 2 * kPi * 2); },
        /* 44 */ [](const Spot& s) { return s.v + 0.25 * tri(s.u * 4); },
        /* 45 */ [](const Spot& s) { return std::min(std::abs(s.x), std::abs(s.y)); },
        /* 46 */ [](const Spot& s) { return std::min(std::abs(s.x + s.y), std::abs(s.x - s.y)); },
        /* 47 */ [](const Spot& s) { return tri(3 * s.angle / (2 * kPi) + 1.6 * s.r) + 0.3 * s.r; },
        /* 48 */
        [](const Spot& s) {
            const double band = s.v * 4;
            const double step = std::floor(band) + smoothstep(0.85, 1.0, band - std::floor(band));
            return 0.45 * s.u + 0.55 * step / 4;
        },
        /* 49 */
        [](const Spot& s) {
            return 0.5 * s.r + 0.5 * tri(12 * s.angle / (2 * kPi)) * std::min(1.0, s.r * 8);
        },
        /* 50 */ [](const Spot& s) { return 0.6 * tri((s.x + s.y) * 5) + 0.4 * s.u; },
    };
}

// Spreads the field's values evenly over [0, 1] (histogram equalisation with linear steps inside each
// bin), which keeps the shape of every front and only changes when it passes.
void equalise(std::vector<double>& field) {
    constexpr int kBins = 8192;
    const auto [low, high] = std::minmax_element(field.begin(), field.end());
    const double base = *low, span = std::max(1e-12, *high - *low);
    std::vector<double> count(kBins + 1, 0);
    for (double value : field)
        count[std::size_t(std::min(kBins - 1.0, (value - base) / span * kBins))] += 1;
    std::vector<double> below(kBins + 1, 0);
    for (int i = 0; i < kBins; ++i)
        below[std::size_t(i) + 1] = below[std::size_t(i)] + count[std::size_t(i)];
    const double total = double(field.size());
    for (double& value : field) {
        const double position = std::min(kBins - 1e-9, (value - base) / span * kBins);
        const auto bin = std::size_t(position);
        value = (below[bin] + (position - double(bin)) * count[bin]) / total;
    }
}

} // namespace

QImage maskPicture(int number, int width, int height) {
    static const std::vector<Field> fields = designs();
    if (number < 1 || number > int(fields.size()) || width < 1 || height < 1)
        return {};
    const Field& field = fields[std::size_t(number - 1)];
    const double aspect = kFrameAspect;
    std::vector<double> values(std::size_t(width) * std::size_t(height));
    for (int row = 0; row < height; ++row)
        for (int column = 0; column < width; ++column) {
            const double u = (column + 0.5) / width, v = (row + 0.5) / height;
            const double x = (u - 0.5) * aspect, y = v - 0.5;
            values[std::size_t(row) * std::size_t(width) + std::size_t(column)] =
                field({u, v, x, y, std::hypot(x, y), std::atan2(x, -y), aspect});
        }
    equalise(values);
    QImage image(width, height, QImage::Format_Grayscale8);
    for (int row = 0; row < height; ++row) {
        uchar* line = image.scanLine(row);
        for (int column = 0; column < width; ++column)
            line[column] =
                uchar(std::lround(values[std::size_t(row) * std::size_t(width) + std::size_t(column)] * 255));
    }
    return image;
}

bool makeMasks(const QDir& out) {
    return parallelFor(kMaskCount, [&](int index) {
        const int number = index + 1;
        return saveJpeg(maskPicture(number, kMaskWidth, kMaskHeight), out,
                        QStringLiteral("%1.jpg").arg(number, 2, 10, QLatin1Char('0')), 92);
    });
}

} // namespace resgen
