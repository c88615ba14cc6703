#include "ui/controls/BCSideBarButtonCell.h"

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QStyle>

namespace {

QColor grey(int level, double alpha = 1.0) {
    QColor colour(level, level, level);
    colour.setAlphaF(float(alpha));
    return colour;
}

// The picture's largest size that fits the rectangle, centred in it.
QRectF fitted(const QSize& picture, const QRectF& box) {
    if (picture.isEmpty() || box.isEmpty())
        return {};
    QSizeF size = QSizeF(picture).scaled(box.size(), Qt::KeepAspectRatio);
    if (size.width() > picture.width())
        size = picture; // never blown up
    return QRectF(box.center() - QPointF(size.width() / 2, size.height() / 2), size);
}

} // namespace

BCSideBarButtonCell::BCSideBarButtonCell(QWidget* parent) : QAbstractButton(parent) {
    setCheckable(true);
    setFocusPolicy(Qt::NoFocus);
    QFont small = font();
    small.setPixelSize(11);
    setFont(small);
    setIconSize(QSize(32, 32));
}

void BCSideBarButtonCell::setTextColor(const QColor& colour) {
    titleColour = colour;
    update();
}

void BCSideBarButtonCell::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRectF frame = rect();
    drawBezel(painter, frame);
    const bool on = isChecked();
    titleColour = on ? QColor(Qt::white) : QColor(Qt::lightGray);
    const QIcon& picture = on || alternate.isNull() ? icon() : alternate;
    const qreal x = frame.x(), y = frame.y(), w = frame.width(), h = frame.height();
    const QRectF imageBox(x, y + 5.0, w, h - 25.0);
    const QRectF target = fitted(iconSize(), imageBox);
    if (!target.isEmpty())
        picture.paint(&painter, target.toAlignedRect());
    painter.setPen(titleColour);
    painter.setFont(font());
    painter.drawText(QRectF(x, y + h - 23.0, w, 20.0), Qt::AlignHCenter | Qt::AlignVCenter, text());
}

void BCSideBarButtonCell::drawBezel(QPainter& painter, const QRectF& frame) const {
    const bool on = isChecked();
    painter.fillRect(frame, grey(on ? 54 : 65));
    const qreal x = frame.x(), y = frame.y(), w = frame.width(), h = frame.height();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(QRectF(0.5, y + h - 2.0, w - 1.0, 1.0), grey(37));
    painter.fillRect(QRectF(0.5, y + h - 1.0, w - 1.0, 1.0), grey(77));
    if (on) {
        const QRectF shade(-0.5, y - 1.5, w - 1.0, 4.0);
        QLinearGradient gradient(shade.topLeft(), shade.bottomLeft());
        gradient.setColorAt(0.0, grey(42));
        gradient.setColorAt(1.0, grey(56));
        painter.fillRect(shade, gradient);
    }
    painter.fillRect(QRectF(x + w - 2.0, y, 1.0, h), grey(53, 0.8));
    painter.fillRect(QRectF(x + w - 1.0, y, 1.0, h), grey(18));
    painter.setRenderHint(QPainter::Antialiasing, true);
}

BlackCell::BlackCell(QWidget* parent) : QAbstractButton(parent) {
    setCheckable(true);
    setFocusPolicy(Qt::NoFocus);
}

void BlackCell::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    const bool pressed = isDown();
    const QIcon& picture = pressed || isChecked() || alternate.isNull() ? icon() : alternate;
    const QRect target = QStyle::alignedRect(layoutDirection(), Qt::AlignCenter, iconSize(), rect());
    if (pressed) {
        // The glow: the picture's outline blurred in light blue under the picture.
        QImage glow(size(), QImage::Format_ARGB32_Premultiplied);
        glow.fill(Qt::transparent);
        {
            QPainter shape(&glow);
            picture.paint(&shape, target);
            shape.setCompositionMode(QPainter::CompositionMode_SourceIn);
            shape.fillRect(glow.rect(), QColor::fromRgbF(46.f / 90.f, 86.f / 90.f, 1.0f));
        }
        for (const QPoint& shift : {QPoint(-2, 0), QPoint(2, 0), QPoint(0, -2), QPoint(0, 2)}) {
            painter.setOpacity(0.5);
            painter.drawImage(shift, glow);
        }
        painter.setOpacity(1.0);
    }
    picture.paint(&painter, target);
}
