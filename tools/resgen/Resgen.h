#pragma once

// Shared ground of the resource generator: writers, a seeded random source, tileable noise, colour ramps
// and a parallel loop. Every maker draws from fixed seeds, so the same build makes the same bytes.

#include <QColor>
#include <QDir>
#include <QImage>
#include <QString>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <utility>
#include <vector>

class QPainter;
class QRectF;

namespace resgen {

// --- makers (one per family; each writes its files into the folder and answers false on failure) ---
bool makeMasks(const QDir& out);
bool makeMaskIcons(const QDir& out);
bool makeTransitionIcons(const QDir& out);
bool makeThemeIcons(const QDir& out);
bool makeFramePatterns(const QDir& out);
bool makeBackdrops(const QDir& out);
bool makeStockPictures(const QDir& out);
bool makeTimelinePictures(const QDir& out);
bool makeSounds(const QDir& out);
bool makeDvdMenus(const QDir& out);
bool makeWelcomePictures(const QDir& out);
bool makeShareBadges(const QDir& out);
bool makeCircularSliderPictures(const QDir& out);

// --- transition masks ---
constexpr int kMaskCount = 50;
// Mask `number` (1 ... kMaskCount) as 8-bit grey: the value is when the pixel changes over, 0 first, 255
// last. The values are spread evenly, so a wipe uncovers the same share of the picture in every frame.
QImage maskPicture(int number, int width, int height);

// --- writers ---
bool savePng(const QImage& image, const QDir& out, const QString& fileName);
bool saveJpeg(const QImage& image, const QDir& out, const QString& fileName, int quality = 90);
bool saveTiff(const QImage& image, const QDir& out, const QString& fileName);
// An 8-bit indexed picture (at most 256 colours) as a GIF89a file.
bool saveGif(const QImage& indexed, const QDir& out, const QString& fileName);
QByteArray encodeGif(const QImage& indexed);
bool fail(const QString& what);

// Runs body(0) ... body(count - 1) on all cores; answers false when any call did.
bool parallelFor(int count, const std::function<bool(int)>& body);

// --- randomness ---
// SplitMix64: small, fast and the same on every platform, unlike the standard distributions.
class Random {
public:
    explicit Random(std::uint64_t seed) : state(seed) {}
    std::uint64_t next();
    double uniform(); // [0, 1)
    double range(double low, double high);
    int below(int n); // [0, n)

private:
    std::uint64_t state;
};

// Smooth gradient noise on a lattice that repeats every `periodX` by `periodY` cells, so pictures made from
// it tile without seams: sample a tile at (u * periodX, v * periodY). Answers values in [0, 1].
class PeriodicNoise {
public:
    PeriodicNoise(std::uint64_t seed, int periodX, int periodY = 0);
    double at(double x, double y) const;
    // Sum of `octaves` layers, each twice as fine and `gain` times as strong; normalised to [0, 1].
    double fbm(double x, double y, int octaves, double gain = 0.5) const;

private:
    double lattice(int x, int y, double dx, double dy) const;
    int sizeX, sizeY;
    std::vector<std::pair<double, double>> gradients;
};

// --- colour ---
using ColorStops = std::vector<std::pair<double, QColor>>;
QColor mix(const QColor& a, const QColor& b, double t);
QColor rampColor(const ColorStops& stops, double t);
// The ramp sampled into 256 entries: a palette for indexed pictures and a lookup table for fields.
QList<QRgb> rampTable(const ColorStops& stops);

// A field of doubles made into a picture by a 256-entry table; values are clamped to [0, 1].
QImage tableImage(const std::vector<double>& field, int width, int height, const QList<QRgb>& table);

// --- textures ---
// Fields in [0, 1] that tile: the right edge meets the left and the bottom meets the top.
std::vector<double> woodGrain(int width, int height, std::uint64_t seed, int rings);
std::vector<double> paperGrain(int width, int height, std::uint64_t seed);
// Plain weave of two thread colours, `thread` pixels per thread; tiles when the size is a multiple of
// twice the thread.
QImage clothWeave(int width, int height, const QColor& warp, const QColor& weft, int thread,
                  std::uint64_t seed);
// A picture blurred by three box passes (close to a Gaussian of the given radius).
QImage blurred(const QImage& image, int radius);

// --- stage backdrops, at any size (the theme icons show them small) ---
enum class Backdrop { Cloth, Clouds, Table, BlankSlide };
QImage backdropPicture(Backdrop which, QSize size);

// --- shared motifs ---
// A small landscape (sky, sun, hills, lake) that stands for the user's photo in icons.
void paintSamplePhoto(QPainter& painter, const QRectF& rect, int variant);
// The picture as grey, for icons that show a grey filter.
QImage grayscaled(const QImage& image);

double smoothstep(double edge0, double edge1, double x);

} // namespace resgen
