#include "Resgen.h"

#include <QBuffer>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QSaveFile>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <thread>

namespace resgen {

bool fail(const QString& what) {
    static std::mutex printing;
    std::lock_guard lock(printing);
    std::fprintf(stderr, "resgen: %s\n", qPrintable(what));
    return false;
}

namespace {

bool writeFile(const QByteArray& bytes, const QDir& out, const QString& fileName) {
    QSaveFile file(out.filePath(fileName));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return fail(QStringLiteral("cannot write %1").arg(out.filePath(fileName)));
    return true;
}

QByteArray encoded(const QImage& image, const char* format, int quality) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    if (qstrcmp(format, "jpg") == 0)
        writer.setOptimizedWrite(true);
    if (!writer.write(image))
        return {};
    return bytes;
}

} // namespace

bool savePng(const QImage& image, const QDir& out, const QString& fileName) {
    // Quality steers zlib's effort for PNG; the result is lossless either way.
    const QByteArray bytes = encoded(image, "png", 50);
    return !bytes.isEmpty() ? writeFile(bytes, out, fileName) : fail("cannot encode " + fileName);
}

bool saveJpeg(const QImage& image, const QDir& out, const QString& fileName, int quality) {
    const QByteArray bytes = encoded(image, "jpg", quality);
    return !bytes.isEmpty() ? writeFile(bytes, out, fileName) : fail("cannot encode " + fileName);
}

bool saveTiff(const QImage& image, const QDir& out, const QString& fileName) {
    const QByteArray bytes = encoded(image, "tiff", -1);
    return !bytes.isEmpty() ? writeFile(bytes, out, fileName) : fail("cannot encode " + fileName);
}

bool saveGif(const QImage& indexed, const QDir& out, const QString& fileName) {
    const QByteArray bytes = encodeGif(indexed);
    return !bytes.isEmpty() ? writeFile(bytes, out, fileName) : fail("cannot encode " + fileName);
}

bool parallelFor(int count, const std::function<bool(int)>& body) {
    std::atomic<int> nextIndex{0};
    std::atomic<bool> ok{true};
    auto work = [&] {
        for (int i = nextIndex++; i < count; i = nextIndex++)
            if (!body(i))
                ok = false;
    };
    const int workers = std::clamp(int(std::thread::hardware_concurrency()), 1, std::max(1, count));
    std::vector<std::thread> threads;
    for (int t = 1; t < workers; ++t)
        threads.emplace_back(work);
    work();
    for (auto& thread : threads)
        thread.join();
    return ok;
}

std::uint64_t Random::next() {
    std::uint64_t z = (state += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
}

double Random::uniform() {
    return double(next() >> 11) * (1.0 / 9007199254740992.0);
}

double Random::range(double low, double high) {
    return low + (high - low) * uniform();
}

int Random::below(int n) {
    return n <= 0 ? 0 : int(next() % std::uint64_t(n));
}

PeriodicNoise::PeriodicNoise(std::uint64_t seed, int periodX, int periodY)
    : sizeX(std::max(1, periodX)), sizeY(periodY > 0 ? periodY : sizeX) {
    Random random(seed);
    gradients.resize(std::size_t(sizeX) * std::size_t(sizeY));
    for (auto& gradient : gradients) {
        const double angle = random.range(0, 6.283185307179586);
        gradient = {std::cos(angle), std::sin(angle)};
    }
}

double PeriodicNoise::lattice(int x, int y, double dx, double dy) const {
    const int px = ((x % sizeX) + sizeX) % sizeX;
    const int py = ((y % sizeY) + sizeY) % sizeY;
    const auto& g = gradients[std::size_t(py) * std::size_t(sizeX) + std::size_t(px)];
    return g.first * dx + g.second * dy;
}

double PeriodicNoise::at(double x, double y) const {
    // Gradient noise: value noise shows its lattice as blocks once a field is stretched to full range.
    const double fx = std::floor(x), fy = std::floor(y);
    const int ix = int(fx), iy = int(fy);
    const double dx = x - fx, dy = y - fy;
    // Quintic easing keeps the slope continuous across lattice cells: no creases in gradients.
    auto ease = [](double t) { return t * t * t * (t * (t * 6 - 15) + 10); };
    const double tx = ease(dx), ty = ease(dy);
    const double a = lattice(ix, iy, dx, dy), b = lattice(ix + 1, iy, dx - 1, dy);
    const double c = lattice(ix, iy + 1, dx, dy - 1), d = lattice(ix + 1, iy + 1, dx - 1, dy - 1);
    const double top = a + (b - a) * tx, bottom = c + (d - c) * tx;
    return std::clamp(0.5 + (top + (bottom - top) * ty) * 0.75, 0.0, 1.0);
}

double PeriodicNoise::fbm(double x, double y, int octaves, double gain) const {
    double sum = 0, weight = 1, total = 0, scale = 1;
    for (int octave = 0; octave < octaves; ++octave) {
        // Each octave is shifted so that lattice points of the layers do not line up.
        sum += weight * at(x * scale + octave * 17.31, y * scale + octave * 9.77);
        total += weight;
        weight *= gain;
        scale *= 2;
    }
    return sum / total;
}

QColor mix(const QColor& a, const QColor& b, double t) {
    t = std::clamp(t, 0.0, 1.0);
    return QColor::fromRgbF(
        float(a.redF() + (b.redF() - a.redF()) * t), float(a.greenF() + (b.greenF() - a.greenF()) * t),
        float(a.blueF() + (b.blueF() - a.blueF()) * t), float(a.alphaF() + (b.alphaF() - a.alphaF()) * t));
}

QColor rampColor(const ColorStops& stops, double t) {
    if (stops.empty())
        return Qt::black;
    if (t <= stops.front().first)
        return stops.front().second;
    for (std::size_t i = 1; i < stops.size(); ++i)
        if (t <= stops[i].first) {
            const double span = stops[i].first - stops[i - 1].first;
            return mix(stops[i - 1].second, stops[i].second, span > 0 ? (t - stops[i - 1].first) / span : 1);
        }
    return stops.back().second;
}

QList<QRgb> rampTable(const ColorStops& stops) {
    QList<QRgb> table;
    table.reserve(256);
    for (int i = 0; i < 256; ++i)
        table.append(rampColor(stops, i / 255.0).rgba());
    return table;
}

QImage tableImage(const std::vector<double>& field, int width, int height, const QList<QRgb>& table) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const double v =
                std::clamp(field[std::size_t(y) * std::size_t(width) + std::size_t(x)], 0.0, 1.0);
            line[x] = table[int(std::lround(v * 255))];
        }
    }
    return image;
}

double smoothstep(double edge0, double edge1, double x) {
    const double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
    return t * t * (3 - 2 * t);
}

QImage grayscaled(const QImage& image) {
    return image.convertToFormat(QImage::Format_Grayscale8)
        .convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

void paintSamplePhoto(QPainter& painter, const QRectF& rect, int variant) {
    static const QColor skies[][2] = {{QColor(0x3d7cc9), QColor(0xbfe3f7)},
                                      {QColor(0xe8785a), QColor(0xfbd38d)},
                                      {QColor(0x5a4fa3), QColor(0xf2a6a0)}};
    const auto& sky = skies[std::abs(variant) % 3];
    const double w = rect.width(), h = rect.height();
    painter.save();
    painter.setClipRect(rect);
    painter.translate(rect.topLeft());
    painter.setPen(Qt::NoPen);
    QLinearGradient skyFill(0, 0, 0, h * 0.7);
    skyFill.setColorAt(0, sky[0]);
    skyFill.setColorAt(1, sky[1]);
    painter.fillRect(QRectF(0, 0, w, h), skyFill);

    QRadialGradient sun(w * 0.72, h * 0.3, h * 0.22);
    sun.setColorAt(0, QColor(255, 250, 225));
    sun.setColorAt(0.45, QColor(255, 236, 170));
    sun.setColorAt(1, QColor(255, 236, 170, 0));
    painter.setBrush(sun);
    painter.drawEllipse(QPointF(w * 0.72, h * 0.3), h * 0.22, h * 0.22);

    auto hill = [&](double base, double amplitude, double phase, const QColor& color) {
        QPainterPath path(QPointF(0, h));
        for (int i = 0; i <= 24; ++i) {
            const double x = w * i / 24.0;
            path.lineTo(x, h * (base - amplitude * std::sin(phase + 5.5 * i / 24.0)));
        }
        path.lineTo(w, h);
        path.closeSubpath();
        painter.setBrush(color);
        painter.drawPath(path);
    };
    hill(0.62, 0.14, 0.8, QColor(0x6f9fb8).darker(110));
    hill(0.72, 0.1, 2.4, QColor(0x4f8a5b));
    QLinearGradient lake(0, h * 0.8, 0, h);
    lake.setColorAt(0, QColor(0x8cc6de));
    lake.setColorAt(1, QColor(0x3f7fa6));
    painter.fillRect(QRectF(0, h * 0.82, w, h * 0.18), lake);
    painter.restore();
}

} // namespace resgen
