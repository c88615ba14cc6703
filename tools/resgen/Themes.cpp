// The theme list's pictures: one icon per built-in theme showing its look, and the frame patterns
// "wood017.gif", "paper005.gif" and "cloth011.jpg" (which are also the icons of the pattern themes), plus
// the wood "wood004.jpg" that fills generated wood slides.
#include "Resgen.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace resgen {

namespace {

const QSize kThemeIcon(96, 72);
constexpr int kPatternTile = 128;

enum class Border { None, White, RoundedWhite };

struct ThemeLook {
    const char* fileName;
    std::function<QImage(QSize)> backdrop;
    double photoScale; // share of the icon's height the photo takes
    Border border;
    bool shadow;
    bool grayPhoto;
    enum class Motion { None, Horizontal, Vertical, Zoom } motion;
    int variant;
};

QImage samplePhoto(QSize size, int variant) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    paintSamplePhoto(painter, QRectF(QPointF(0, 0), size), variant);
    return image;
}

std::function<QImage(QSize)> blurredPhoto(int variant, bool gray) {
    return [variant, gray](QSize size) {
        QImage photo = blurred(samplePhoto(size, variant), 7);
        return gray ? grayscaled(photo) : photo;
    };
}

std::function<QImage(QSize)> plain(const QColor& color) {
    return [color](QSize size) {
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(color);
        return image;
    };
}

std::function<QImage(QSize)> backdrop(Backdrop which) {
    return [which](QSize size) { return backdropPicture(which, size); };
}

void doubleArrow(QPainter& painter, QPointF from, QPointF to) {
    const QPointF d = (to - from) / std::hypot(to.x() - from.x(), to.y() - from.y());
    const QPointF n(-d.y(), d.x());
    painter.save();
    for (int pass = 0; pass < 2; ++pass) {
        // A dark pass under a light one keeps the arrow readable on any backdrop.
        const QColor color = pass == 0 ? QColor(0, 0, 0, 90) : QColor(255, 255, 255, 240);
        const QPointF shift = pass == 0 ? QPointF(0.6, 0.9) : QPointF();
        painter.setPen(QPen(color, 2, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(from + d * 3 + shift, to - d * 3 + shift);
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        for (const auto& [tip, dir] : {std::pair{to, d}, std::pair{from, -d}})
            painter.drawPolygon(
                QPolygonF({tip + shift, tip - dir * 6 + n * 4 + shift, tip - dir * 6 - n * 4 + shift}));
    }
    painter.restore();
}

void zoomBrackets(QPainter& painter, const QRectF& rect) {
    painter.save();
    painter.setPen(QPen(QColor(255, 255, 255, 230), 1.6, Qt::SolidLine, Qt::SquareCap));
    const double arm = 7;
    const QPointF corners[4] = {rect.topLeft(), rect.topRight(), rect.bottomRight(), rect.bottomLeft()};
    const QPointF dirs[4][2] = {{{1, 0}, {0, 1}}, {{-1, 0}, {0, 1}}, {{-1, 0}, {0, -1}}, {{1, 0}, {0, -1}}};
    for (int i = 0; i < 4; ++i) {
        painter.drawLine(corners[i], corners[i] + dirs[i][0] * arm);
        painter.drawLine(corners[i], corners[i] + dirs[i][1] * arm);
    }
    painter.restore();
}

void drawMotion(QPainter& painter, const QRectF& photo, ThemeLook::Motion motion) {
    const QPointF c = photo.center();
    switch (motion) {
    case ThemeLook::Motion::Horizontal:
        doubleArrow(painter, QPointF(photo.left() + 4, c.y()), QPointF(photo.right() - 4, c.y()));
        break;
    case ThemeLook::Motion::Vertical:
        doubleArrow(painter, QPointF(c.x(), photo.top() + 4), QPointF(c.x(), photo.bottom() - 4));
        break;
    case ThemeLook::Motion::Zoom:
        zoomBrackets(painter, photo.adjusted(photo.width() * 0.18, photo.height() * 0.18,
                                             -photo.width() * 0.18, -photo.height() * 0.18));
        break;
    case ThemeLook::Motion::None:
        break;
    }
}

QImage themeIcon(const ThemeLook& look) {
    QImage icon(kThemeIcon, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    QPainter painter(&icon);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    QPainterPath outline;
    outline.addRoundedRect(QRectF(icon.rect()).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    painter.setClipPath(outline);
    painter.drawImage(0, 0, look.backdrop(kThemeIcon));

    const double h = kThemeIcon.height() * look.photoScale, w = h * 4 / 3;
    const QRectF photo(QPointF((kThemeIcon.width() - w) / 2, (kThemeIcon.height() - h) / 2), QSizeF(w, h));
    const double pad = look.border == Border::None ? 0 : 3.5;
    const QRectF framed = photo.adjusted(-pad, -pad, pad, pad);
    const double radius = look.border == Border::RoundedWhite ? 4 : 0;
    if (look.shadow)
        for (int spread = 4; spread >= 1; --spread) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor(0, 0, 0, 34));
            painter.drawRoundedRect(framed.translated(spread * 0.7, spread * 0.7), radius, radius);
        }
    if (look.border != Border::None) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::white);
        painter.drawRoundedRect(framed, radius, radius);
    }
    QImage picture = samplePhoto(photo.size().toSize(), look.variant);
    if (look.grayPhoto)
        picture = grayscaled(picture);
    painter.drawImage(photo.topLeft(), picture);
    drawMotion(painter, photo, look.motion);
    painter.setClipping(false);
    painter.setPen(QPen(QColor(255, 255, 255, 120), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(outline);
    return icon;
}

std::vector<ThemeLook> themeLooks() {
    using M = ThemeLook::Motion;
    return {
        {"theme_001.png", blurredPhoto(1, false), 0.72, Border::None, false, false, M::Zoom, 1},
        {"theme_002.png", blurredPhoto(0, true), 0.72, Border::None, false, false, M::Horizontal, 0},
        {"theme_003.png", plain(Qt::black), 0.86, Border::None, false, false, M::None, 2},
        {"theme_004.png", backdrop(Backdrop::Clouds), 0.7, Border::None, false, false, M::Zoom, 1},
        {"theme_005.png", backdrop(Backdrop::Cloth), 0.6, Border::White, true, false, M::Horizontal, 0},
        {"theme_006.png", backdrop(Backdrop::Table), 0.6, Border::White, true, false, M::Vertical, 2},
        {"theme_007.png", plain(Qt::black), 1.0, Border::None, false, false, M::Zoom, 0},
        {"theme_blur_frame.png", blurredPhoto(2, false), 0.66, Border::RoundedWhite, false, false, M::None,
         2},
        {"theme_gray_frame.png", blurredPhoto(1, true), 0.66, Border::White, true, false, M::None, 1},
        {"theme-static-frame.png", plain(Qt::black), 0.76, Border::White, false, false, M::None, 0},
        {"theme_grayphoto_frame.png", blurredPhoto(0, false), 0.66, Border::White, false, true, M::None, 0},
    };
}

QImage indexedFrom(const std::vector<double>& field, int width, int height, const ColorStops& tones) {
    QImage image(width, height, QImage::Format_Indexed8);
    image.setColorTable(rampTable(tones));
    for (int y = 0; y < height; ++y) {
        uchar* line = image.scanLine(y);
        for (int x = 0; x < width; ++x)
            line[x] = uchar(std::lround(
                std::clamp(field[std::size_t(y) * std::size_t(width) + std::size_t(x)], 0.0, 1.0) * 255));
    }
    return image;
}

const ColorStops kWalnut = {
    {0, QColor(0x3b1f0e)}, {0.4, QColor(0x6b3e1f)}, {0.75, QColor(0x9a6333)}, {1, QColor(0xc18a52)}};
const ColorStops kOak = {
    {0, QColor(0x8a5a2b)}, {0.4, QColor(0xb98149)}, {0.75, QColor(0xd6a468)}, {1, QColor(0xeac08a)}};
const ColorStops kPaper = {
    {0, QColor(0xcdbd9c)}, {0.45, QColor(0xe9dfc8)}, {0.8, QColor(0xf6efe0)}, {1, QColor(0xfffbf2)}};

} // namespace

bool makeThemeIcons(const QDir& out) {
    const std::vector<ThemeLook> looks = themeLooks();
    return parallelFor(int(looks.size()), [&](int i) {
        return savePng(themeIcon(looks[std::size_t(i)]), out,
                       QString::fromLatin1(looks[std::size_t(i)].fileName));
    });
}

bool makeFramePatterns(const QDir& out) {
    const int n = kPatternTile;
    const bool wood = saveGif(indexedFrom(woodGrain(n, n, 0x3d017, 5), n, n, kWalnut), out, "wood017.gif");
    const bool paper = saveGif(indexedFrom(paperGrain(n, n, 0x9a9e5), n, n, kPaper), out, "paper005.gif");
    const QImage weave = clothWeave(n, n, QColor(0x8c2a3c), QColor(0x6e1f30), 4, 0xc1011);
    const bool cloth = saveJpeg(weave, out, "cloth011.jpg", 92);
    const QImage oak = indexedFrom(woodGrain(2 * n, 2 * n, 0x3d004, 5), 2 * n, 2 * n, kOak);
    const bool oakSaved = saveJpeg(oak.convertToFormat(QImage::Format_RGB32), out, "wood004.jpg", 92);
    return wood && paper && cloth && oakSaved;
}

} // namespace resgen
