// The welcome picture the preview shows before a slide is chosen, and the Play button's image.
#include "Resgen.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace resgen {

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;

// A print with a white border, turned about its centre.
void paintPrint(QPainter& painter, const QPointF& centre, double angle, int variant) {
    const QSizeF size(300, 220);
    painter.save();
    painter.translate(centre);
    painter.rotate(angle);
    const QRectF card(-size.width() / 2, -size.height() / 2, size.width(), size.height());
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 90));
    painter.drawRoundedRect(card.translated(6, 10), 6, 6);
    painter.setBrush(QColor(0xf7f4ee));
    painter.drawRoundedRect(card, 6, 6);
    paintSamplePhoto(painter, card.adjusted(12, 12, -12, -12), variant);
    painter.restore();
}

QImage welcomePicture() {
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    QLinearGradient sky(0, 0, 0, kHeight);
    sky.setColorAt(0.0, QColor(0x1b1f3a));
    sky.setColorAt(1.0, QColor(0x0b0d18));
    painter.fillRect(image.rect(), sky);
    QRadialGradient glow(QPointF(kWidth / 2.0, 300), 520);
    glow.setColorAt(0.0, QColor(74, 155, 255, 70));
    glow.setColorAt(1.0, QColor(74, 155, 255, 0));
    painter.fillRect(image.rect(), glow);

    paintPrint(painter, {470, 290}, -11, 1);
    paintPrint(painter, {810, 290}, 9, 2);
    paintPrint(painter, {640, 270}, -1, 0);

    painter.setPen(QColor(0xf2f2f7));
    QFont title(QStringLiteral("DejaVu Sans"));
    title.setPixelSize(72);
    title.setBold(true);
    painter.setFont(title);
    painter.drawText(QRectF(0, 430, kWidth, 100), Qt::AlignCenter, QStringLiteral("Vistrelle"));
    QFont hint(QStringLiteral("DejaVu Sans"));
    hint.setPixelSize(30);
    painter.setFont(hint);
    painter.setPen(QColor(0xa9b4d0));
    painter.drawText(QRectF(0, 530, kWidth, 60), Qt::AlignCenter,
                     QStringLiteral("Add photos, then press Play"));
    return image;
}

QImage playButton() {
    QImage image(30, 30, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::white, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QRectF(2, 2, 26, 26));
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawPolygon(QPolygonF({QPointF(12, 9), QPointF(22, 15), QPointF(12, 21)}));
    return image;
}

} // namespace

bool makeWelcomePictures(const QDir& out) {
    return savePng(welcomePicture(), out, QStringLiteral("welcome.png")) &&
           savePng(playButton(), out, QStringLiteral("30-circle-play-white.png"));
}

} // namespace resgen
