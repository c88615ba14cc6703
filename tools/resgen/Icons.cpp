// The transition picker's icons: a preview of every mask ("icon48-%02d.png"), one pictogram per transition
// of the other categories (named by the transition choice's "image_name") and the Random die ("dice.png").
// The pictograms show an outgoing blue picture giving way to an incoming warm one.
#include "Resgen.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QTransform>

#include <cmath>

namespace resgen {

namespace {

constexpr int kIcon = 48;

QImage blankIcon() {
    QImage image(kIcon, kIcon, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// A small picture card with rounded corners and a light rim.
QImage card(int variant, QSize size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF rect(0.5, 0.5, size.width() - 1.0, size.height() - 1.0);
    QPainterPath rounded;
    rounded.addRoundedRect(rect, 3, 3);
    painter.setClipPath(rounded);
    paintSamplePhoto(painter, rect, variant);
    painter.setClipping(false);
    painter.setPen(QPen(QColor(255, 255, 255, 220), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(rect, 3, 3);
    return image;
}

void softShadow(QPainter& painter, const QPolygonF& outline) {
    painter.save();
    painter.setPen(Qt::NoPen);
    for (int spread = 3; spread >= 1; --spread) {
        painter.setBrush(QColor(0, 0, 0, 28));
        painter.drawPolygon(QTransform::fromTranslate(0.6 * spread, 1.0 * spread).map(outline));
    }
    painter.restore();
}

// Draws `source` (or the part `from` of it) into the four corners `to`, as a picture seen in perspective.
void drawInQuad(QPainter& painter, const QImage& source, const QRectF& from, const QPolygonF& to) {
    QTransform transform;
    const QPolygonF corners({from.topLeft(), from.topRight(), from.bottomRight(), from.bottomLeft()});
    if (!QTransform::quadToQuad(corners, to, transform))
        return;
    painter.save();
    painter.setTransform(transform, true);
    painter.drawImage(from, source, from);
    painter.restore();
}

void arrow(QPainter& painter, const QPainterPath& path, const QColor& color) {
    painter.save();
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(color, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(path);
    const double percent = path.percentAtLength(path.length() - 4);
    const QPointF tip = path.pointAtPercent(1.0);
    const QPointF back = path.pointAtPercent(percent);
    const QPointF direction =
        (tip - back) / std::max(0.001, std::hypot(tip.x() - back.x(), tip.y() - back.y()));
    const QPointF normal(-direction.y(), direction.x());
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawPolygon(QPolygonF(
        {tip + direction * 2.5, tip - direction * 3.5 + normal * 3.5, tip - direction * 3.5 - normal * 3.5}));
    painter.restore();
}

const QColor kArrow(255, 255, 255, 235);

QImage openDoor() {
    QImage icon = blankIcon();
    QPainter painter(&icon);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    const QRectF frame(6, 10, 36, 28);
    softShadow(painter, QPolygonF(frame));
    painter.drawImage(frame.topLeft(), card(1, frame.size().toSize()));
    const QImage leaves = card(0, frame.size().toSize());
    const double w = frame.width() / 2, h = frame.height();
    // Each leaf turns on its hinge at the frame's edge; its free edge comes towards the viewer.
    drawInQuad(painter, leaves, QRectF(0, 0, w, h),
               QPolygonF({QPointF(6, 10), QPointF(15, 5), QPointF(15, 43), QPointF(6, 38)}));
    drawInQuad(painter, leaves, QRectF(w, 0, w, h),
               QPolygonF({QPointF(33, 5), QPointF(42, 10), QPointF(42, 38), QPointF(33, 43)}));
    return icon;
}

QImage flipOver() {
    QImage icon = blankIcon();
    QPainter painter(&icon);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    const QSize face(32, 24);
    const QPolygonF front({QPointF(7, 20), QPointF(35, 20), QPointF(35, 43), QPointF(7, 43)});
    const QPolygonF top({QPointF(14, 9), QPointF(42, 9), QPointF(35, 20), QPointF(7, 20)});
    const QPolygonF side({QPointF(35, 20), QPointF(42, 9), QPointF(42, 32), QPointF(35, 43)});
    softShadow(painter, front.united(top).united(side));
    drawInQuad(painter, card(0, face), QRectF(QPointF(0, 0), face), front);
    drawInQuad(painter, card(1, face), QRectF(QPointF(0, 0), face), top);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x2d4a7a));
    painter.drawPolygon(side);
    QPainterPath turn(QPointF(4, 16));
    turn.cubicTo(QPointF(2, 6), QPointF(10, 2), QPointF(19, 4));
    arrow(painter, turn, kArrow);
    return icon;
}

QImage exchange3d() {
    QImage icon = blankIcon();
    QPainter painter(&icon);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    const QRectF back(4, 8, 26, 20), front(17, 20, 28, 21);
    softShadow(painter, QPolygonF(back));
    painter.drawImage(back.topLeft(), card(0, back.size().toSize()));
    softShadow(painter, QPolygonF(front));
    painter.drawImage(front.topLeft(), card(1, front.size().toSize()));
    QPainterPath over(QPointF(33, 16));
    over.cubicTo(QPointF(37, 6), QPointF(30, 2), QPointF(22, 4));
    arrow(painter, over, kArrow);
    QPainterPath under(QPointF(13, 33));
    under.cubicTo(QPointF(9, 42), QPointF(16, 46), QPointF(24, 45));
    arrow(painter, under, kArrow);
    return icon;
}

QImage move3d() {
    QImage icon = blankIcon();
    QPainter painter(&icon);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    const QRectF far(5, 10, 18, 14), near(14, 17, 32, 24);
    painter.setOpacity(0.85);
    painter.drawImage(far.topLeft(), card(0, far.size().toSize()));
    painter.setOpacity(1);
    painter.setPen(QPen(QColor(255, 255, 255, 170), 1.6, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 3; ++i)
        painter.drawLine(QPointF(3 + 2 * i, 30 + 4 * i), QPointF(11 + 2 * i, 30 + 4 * i));
    softShadow(painter, QPolygonF(near));
    painter.drawImage(near.topLeft(), card(1, near.size().toSize()));
    return icon;
}

QImage colorBlend() {
    QImage icon = blankIcon();
    QPainter painter(&icon);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    const QRectF frame(4, 8, 40, 32);
    softShadow(painter, QPolygonF(frame));
    const QImage colour = card(2, frame.size().toSize());
    QImage blended = grayscaled(colour);
    {
        // The grey copy fades into colour along the diagonal, as the picture regains its colour.
        QImage mask(colour.size(), QImage::Format_ARGB32_Premultiplied);
        mask.fill(Qt::transparent);
        QPainter maskPainter(&mask);
        QLinearGradient fade(0, 0, colour.width(), colour.height());
        fade.setColorAt(0.35, QColor(0, 0, 0, 0));
        fade.setColorAt(0.65, QColor(0, 0, 0, 255));
        maskPainter.fillRect(mask.rect(), fade);
        maskPainter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        maskPainter.drawImage(0, 0, colour);
        maskPainter.end();
        QPainter over(&blended);
        over.drawImage(0, 0, mask);
    }
    painter.drawImage(frame.topLeft(), blended);
    return icon;
}

QImage alphaBlend() {
    QImage icon = blankIcon();
    QPainter painter(&icon);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    const QRectF first(3, 6, 30, 23), second(15, 19, 30, 23);
    softShadow(painter, QPolygonF(first));
    painter.drawImage(first.topLeft(), card(0, first.size().toSize()));
    painter.setOpacity(0.6);
    painter.drawImage(second.topLeft(), card(1, second.size().toSize()));
    return icon;
}

QImage slices() {
    QImage icon = blankIcon();
    QPainter painter(&icon);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    const QRectF frame(6, 8, 36, 32);
    softShadow(painter, QPolygonF(frame));
    painter.drawImage(frame.topLeft(), card(1, frame.size().toSize()));
    const QImage leaving = card(0, frame.size().toSize());
    constexpr int kSlices = 4;
    const double band = frame.height() / kSlices;
    for (int i = 0; i < kSlices; ++i) {
        const double shift = 4.0 + 7.0 * i;
        const QRectF part(0, i * band, frame.width() - shift, band);
        painter.drawImage(QPointF(frame.left() + shift, frame.top() + i * band), leaving, part);
    }
    return icon;
}

QImage boxes() {
    QImage icon = blankIcon();
    QPainter painter(&icon);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    const QRectF frame(4, 8, 40, 32);
    softShadow(painter, QPolygonF(frame));
    painter.drawImage(frame.topLeft(), card(1, frame.size().toSize()));
    const QImage leaving = card(0, frame.size().toSize());
    constexpr int kColumns = 4, kRows = 3;
    const double w = frame.width() / kColumns, h = frame.height() / kRows;
    for (int row = 0; row < kRows; ++row)
        for (int column = 0; column < kColumns; ++column) {
            // Boxes fade out column by column, as the transition's boxes do.
            const double opacity = std::clamp(1.3 - 0.45 * column - 0.12 * row, 0.0, 1.0);
            painter.setOpacity(opacity);
            const QRectF part = QRectF(column * w, row * h, w, h).adjusted(0.6, 0.6, -0.6, -0.6);
            painter.drawImage(frame.topLeft() + part.topLeft(), leaving, part);
        }
    return icon;
}

void drawDie(QPainter& painter, const QPointF& centre, double size, double degrees, int face) {
    painter.save();
    painter.translate(centre);
    painter.rotate(degrees);
    const QRectF body(-size / 2, -size / 2, size, size);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 50));
    painter.drawRoundedRect(body.translated(1.2, 1.8), size * 0.2, size * 0.2);
    QLinearGradient fill(body.topLeft(), body.bottomRight());
    fill.setColorAt(0, QColor(255, 255, 255));
    fill.setColorAt(1, QColor(0xd9dee8));
    painter.setBrush(fill);
    painter.setPen(QPen(QColor(0x9aa3b5), 0.8));
    painter.drawRoundedRect(body, size * 0.2, size * 0.2);
    static const int pips[7][6][2] = {{},
                                      {{0, 0}},
                                      {{-1, -1}, {1, 1}},
                                      {{-1, -1}, {0, 0}, {1, 1}},
                                      {{-1, -1}, {1, -1}, {-1, 1}, {1, 1}},
                                      {{-1, -1}, {1, -1}, {0, 0}, {-1, 1}, {1, 1}},
                                      {{-1, -1}, {1, -1}, {-1, 0}, {1, 0}, {-1, 1}, {1, 1}}};
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x2b3a67));
    for (int i = 0; i < face; ++i)
        painter.drawEllipse(QPointF(pips[face][i][0] * size * 0.27, pips[face][i][1] * size * 0.27),
                            size * 0.09, size * 0.09);
    painter.restore();
}

QImage dice() {
    QImage icon = blankIcon();
    QPainter painter(&icon);
    painter.setRenderHint(QPainter::Antialiasing);
    drawDie(painter, QPointF(17, 18), 22, -14, 5);
    drawDie(painter, QPointF(31, 31), 22, 12, 3);
    return icon;
}

// A mask as a duotone, gold where the new picture shows first and navy where it shows last, with a
// light line along the front at half time.
QImage maskIcon(int number) {
    const QRect inner(3, 3, kIcon - 6, kIcon - 6);
    const QImage mask = maskPicture(number, inner.width(), inner.height());
    static const QList<QRgb> tones =
        rampTable({{0, QColor(0xffd27a)}, {0.5, QColor(0xe0607e)}, {1, QColor(0x283a75)}});
    QImage tinted(inner.size(), QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < inner.height(); ++y) {
        const uchar* from = mask.constScanLine(y);
        auto* to = reinterpret_cast<QRgb*>(tinted.scanLine(y));
        for (int x = 0; x < inner.width(); ++x) {
            const double t = from[x] / 255.0;
            const double front = 1 - smoothstep(0.0, 0.05, std::abs(t - 0.5));
            to[x] = mix(QColor(tones[from[x]]), Qt::white, 0.75 * front).rgba();
        }
    }
    QImage icon = blankIcon();
    QPainter painter(&icon);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    QPainterPath rounded;
    rounded.addRoundedRect(QRectF(inner).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    softShadow(painter, rounded.toFillPolygon());
    painter.setClipPath(rounded);
    painter.drawImage(inner.topLeft(), tinted);
    painter.setClipping(false);
    painter.setPen(QPen(QColor(255, 255, 255, 200), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(rounded);
    return icon;
}

} // namespace

bool makeMaskIcons(const QDir& out) {
    return parallelFor(kMaskCount, [&](int index) {
        return savePng(maskIcon(index + 1), out,
                       QStringLiteral("icon48-%1.png").arg(index + 1, 2, 10, QLatin1Char('0')));
    });
}

bool makeTransitionIcons(const QDir& out) {
    const std::vector<std::pair<const char*, QImage (*)()>> icons = {
        {"open_door.png", openDoor}, {"flip_over.png", flipOver},   {"exchange_3d.png", exchange3d},
        {"move_3d.png", move3d},     {"grayscale.png", colorBlend}, {"alpha_blend.png", alphaBlend},
        {"slices.png", slices},      {"box1.png", boxes},           {"dice.png", dice},
    };
    return parallelFor(int(icons.size()), [&](int i) {
        return savePng(icons[std::size_t(i)].second(), out, QString::fromLatin1(icons[std::size_t(i)].first));
    });
}

} // namespace resgen
