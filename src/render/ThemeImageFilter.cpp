#include "render/ThemeImageFilter.h"

#include "render/DrawUtils.h"
#include "render/DropShadow.h"

#include <QColor>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <optional>
#include <stdexcept>

namespace {

// The entries of a theme dictionary that decide how a photo is dressed.
struct ThemeLook {
    int shadow = 0;
    bool needShadow = false;
    bool colorFrame = false;
    int left = 0, right = 0, top = 0, bottom = 0;
    QColor frameColor = Qt::white;
    bool roundCorners = false;
    int cornerRadius = 0;
    bool pattern = false;
    QString patternName;
};

// Sizes come from dictionaries that may have been edited: negative ones would shrink the picture.
int sizeEntry(const QVariantMap& map, const char* key) {
    return std::max(0, map.value(QLatin1String(key)).toInt());
}

QColor frameColourOf(const QVariant& value) {
    const QColor colour = value.value<QColor>();
    // Every frame we ship is white; a theme without a usable colour gets the same.
    return colour.isValid() ? colour : QColor(Qt::white);
}

ThemeLook readLook(const QVariantMap& theme) {
    const QVariantMap frame = theme.value(QStringLiteral("PhotoFrame")).toMap();
    const QVariantMap shadow = theme.value(QStringLiteral("PhotoShadow")).toMap();
    ThemeLook look;
    look.needShadow = shadow.value(QStringLiteral("needShadow")).toBool();
    if (look.needShadow)
        look.shadow = sizeEntry(shadow, "ShadowOffset");
    look.colorFrame = frame.value(QStringLiteral("colorFrame")).toBool();
    if (frame.value(QStringLiteral("needFrame")).toBool()) {
        look.left = sizeEntry(frame, "leftPaddingSize");
        look.right = sizeEntry(frame, "rightPaddingSize");
        look.top = sizeEntry(frame, "topPaddingSize");
        look.bottom = sizeEntry(frame, "bottomPaddingSize");
    }
    look.frameColor = frameColourOf(frame.value(QStringLiteral("FrameColor")));
    look.roundCorners = frame.value(QStringLiteral("RoundConner")).toBool();
    look.cornerRadius = sizeEntry(frame, "RoundConnerSize");
    look.pattern = frame.value(QStringLiteral("PatternImage")).toBool();
    look.patternName = frame.value(QStringLiteral("PatternName")).toString();
    return look;
}

QPainterPath rectPath(const QRectF& rect) {
    QPainterPath path;
    path.addRect(rect);
    return path;
}

// Fills `shape` on the canvas; with a shadow, the fill casts it, as each drawing operation does while a
// shadow style is set.
void fillCasting(QPainter& painter, const QPainterPath& shape, const QBrush& brush,
                 const std::optional<DropShadow>& shadow) {
    if (!shadow) {
        painter.fillPath(shape, brush);
        return;
    }
    QImage layer(painter.device()->width(), painter.device()->height(), QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    QPainter layerPainter(&layer);
    layerPainter.setRenderHint(QPainter::Antialiasing);
    layerPainter.fillPath(shape, brush);
    layerPainter.end();
    shadow->drawLayer(painter, layer);
}

std::optional<QBrush> patternBrush(const ThemeLook& look) {
    if (!look.pattern)
        return std::nullopt;
    try {
        return GetPatternColorNamed(look.patternName);
    } catch (const std::logic_error&) {
        // A missing pattern picture must not cost the user the slide: the frame falls back to its colour.
        return std::nullopt;
    }
}

void paintFrame(QPainter& painter, const ThemeLook& look, const QPainterPath& frameShape,
                const QRect& photoRect, const std::optional<DropShadow>& shadow) {
    const std::optional<QBrush> pattern = patternBrush(look);
    if (!pattern) {
        fillCasting(painter, frameShape, look.frameColor, shadow);
        return;
    }
    fillCasting(painter, frameShape, *pattern, shadow);
    // A 2-pixel dark grey line round the photo's place sets the photo off from the pattern.
    const QRect line = photoRect.adjusted(-2, -2, 2, 2);
    fillCasting(painter, frameShape.intersected(rectPath(line)), QColor(85, 85, 85), shadow);
}

void drawPhoto(QPainter& painter, const QImage& photo, const QRect& place,
               const std::optional<QPainterPath>& clip, const std::optional<DropShadow>& shadow) {
    if (place.isEmpty())
        return;
    if (!clip && !shadow) {
        painter.drawImage(place, photo);
        return;
    }
    // Through a brush the photo takes the antialiased edge of a rounded frame, which a clip would not give.
    QBrush brush(photo.scaled(place.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    brush.setTransform(QTransform::fromTranslate(place.x(), place.y()));
    const QPainterPath shape = clip ? clip->intersected(rectPath(place)) : rectPath(place);
    fillCasting(painter, shape, brush, shadow);
}

} // namespace

ThemedPhotoPlacement themedPhotoPlacement(const QSize& photo, const QVariantMap& theme) {
    const ThemeLook look = readLook(theme);
    const int w = photo.width(), h = photo.height(), s = look.shadow;
    // The frame takes the top left W x H of the picture, so its shadow, cast right and down, fills the rest.
    return {QSize(w + s, h + s),
            QRect(look.left, look.top, w - look.left - look.right, h - look.top - look.bottom)};
}

QImage applyTheme(const QImage& image, const QVariantMap& theme) {
    if (image.isNull())
        return QImage();
    const ThemeLook look = readLook(theme);
    const ThemedPhotoPlacement placed = themedPhotoPlacement(image.size(), theme);
    const int w = image.width(), h = image.height(), s = look.shadow;
    const QImage::Format format =
        image.depth() > 32 ? QImage::Format_RGBA64_Premultiplied : QImage::Format_ARGB32_Premultiplied;
    QImage canvas(placed.picture, format);
    if (canvas.isNull())
        return QImage();
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);

    std::optional<DropShadow> shadow;
    if (look.needShadow)
        shadow.emplace(QPoint(s, s), s);
    const QRect frameRect(0, 0, w, h);
    const QRect photoRect = placed.photo;
    std::optional<QPainterPath> clip;
    if (look.colorFrame) {
        if (look.roundCorners) {
            clip.emplace();
            AddRoundedRectPath(*clip, frameRect, look.cornerRadius);
        }
        paintFrame(painter, look, clip ? *clip : rectPath(frameRect), photoRect, shadow);
        shadow.reset();
    }
    drawPhoto(painter, image, photoRect, clip, shadow);
    return canvas;
}
