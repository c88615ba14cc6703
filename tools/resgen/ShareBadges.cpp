// The share targets' badges, 180 x 72: the movie-settings window shows the one of the chosen service and the
// share call-out one beside each target. A pictogram on the left, the target's name on the right. Also the
// upload's banner in the progress window.
#include "Resgen.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <functional>

namespace resgen {

namespace {

constexpr int kWidth = 180;
constexpr int kHeight = 72;

using Pictogram = std::function<void(QPainter&, const QRectF&)>;

QImage badge(const QColor& top, const QColor& bottom, const QString& name, const Pictogram& draw) {
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box(1.5, 1.5, kWidth - 3.0, kHeight - 3.0);
    QLinearGradient fill(0, 0, 0, kHeight);
    fill.setColorAt(0.0, top);
    fill.setColorAt(1.0, bottom);
    painter.setPen(QPen(QColor(255, 255, 255, 70), 1.0));
    painter.setBrush(fill);
    painter.drawRoundedRect(box, 12, 12);
    draw(painter, QRectF(12, 12, 48, 48));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(19);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(0xf7f7fa));
    painter.drawText(QRectF(68, 0, kWidth - 76, kHeight), Qt::AlignVCenter | Qt::AlignLeft | Qt::TextWordWrap,
                     name);
    return image;
}

// A strip of film with a frame of landscape.
void filmStrip(QPainter& painter, const QRectF& area) {
    const QRectF strip = area.adjusted(0, 6, 0, -6);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x1c1c22));
    painter.drawRoundedRect(strip, 4, 4);
    painter.setBrush(QColor(0xe9e9ee));
    for (int hole = 0; hole < 5; ++hole) {
        const double x = strip.left() + 4 + hole * 9.0;
        painter.drawRect(QRectF(x, strip.top() + 2, 5, 4));
        painter.drawRect(QRectF(x, strip.bottom() - 6, 5, 4));
    }
    paintSamplePhoto(painter, strip.adjusted(4, 9, -4, -9), 1);
}

// A rounded screen with a play triangle.
void playScreen(QPainter& painter, const QRectF& area) {
    const QRectF screen = area.adjusted(0, 6, 0, -6);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xfafafa));
    painter.drawRoundedRect(screen, 9, 9);
    const QPointF c = screen.center();
    painter.setBrush(QColor(0x00796b));
    painter.drawPolygon(QPolygonF({c + QPointF(-8, -11), c + QPointF(13, 0), c + QPointF(-8, 11)}));
}

// Two speech bubbles.
void bubbles(QPainter& painter, const QRectF& area) {
    painter.setPen(Qt::NoPen);
    const auto bubble = [&](const QRectF& body, const QPointF& tail, const QColor& colour) {
        QPainterPath path;
        path.addRoundedRect(body, 8, 8);
        QPainterPath point;
        point.moveTo(body.left() + body.width() * 0.3, body.bottom() - 2);
        point.lineTo(tail);
        point.lineTo(body.left() + body.width() * 0.55, body.bottom() - 2);
        point.closeSubpath();
        painter.setBrush(colour);
        painter.drawPath(path.united(point));
    };
    bubble(QRectF(area.left(), area.top() + 2, 34, 24), QPointF(area.left() + 6, area.top() + 34),
           QColor(0xfafafa));
    bubble(QRectF(area.left() + 14, area.top() + 20, 34, 22), QPointF(area.left() + 40, area.bottom() - 2),
           QColor(0xbbdefb));
}

// A disc with its rainbow sheen and a hole.
void disc(QPainter& painter, const QRectF& area) {
    const QPointF c = area.center();
    QRadialGradient sheen(c, 24);
    sheen.setColorAt(0.0, QColor(0xe0e0e0));
    sheen.setColorAt(0.55, QColor(0xc5cae9));
    sheen.setColorAt(0.75, QColor(0xffe0b2));
    sheen.setColorAt(1.0, QColor(0xb2ebf2));
    painter.setPen(QPen(QColor(0x90a4ae), 1.0));
    painter.setBrush(sheen);
    painter.drawEllipse(c, 23, 23);
    painter.setBrush(QColor(0x37474f));
    painter.drawEllipse(c, 6, 6);
}

// The upload's banner over the progress bar, 380 x 64: a cloud with an arrow going up into it, and the
// service's name.
QImage uploadBanner() {
    constexpr int width = 380;
    constexpr int height = 64;
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 0, width, 0);
    fill.setColorAt(0.0, QColor(0x26a69a));
    fill.setColorAt(1.0, QColor(0x00564d));
    painter.setPen(QPen(QColor(255, 255, 255, 70), 1.0));
    painter.setBrush(fill);
    painter.drawRoundedRect(QRectF(1.5, 1.5, width - 3.0, height - 3.0), 10, 10);
    QPainterPath cloud;
    cloud.addEllipse(QRectF(16, 26, 26, 26));
    cloud.addEllipse(QRectF(28, 12, 34, 34));
    cloud.addEllipse(QRectF(50, 24, 28, 28));
    cloud.addRoundedRect(QRectF(26, 32, 42, 20), 10, 10);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xfafafa));
    painter.drawPath(cloud.simplified());
    painter.setBrush(QColor(0x00796b));
    painter.drawRect(QRectF(42, 32, 8, 16));
    painter.drawPolygon(QPolygonF({QPointF(35, 34), QPointF(46, 21), QPointF(57, 34)}));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(22);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(0xf7f7fa));
    painter.drawText(QRectF(96, 0, width - 106, height), Qt::AlignVCenter | Qt::AlignLeft,
                     QStringLiteral("Video Site"));
    return image;
}

} // namespace

bool makeShareBadges(const QDir& out) {
    return savePng(badge(QColor(0x3f7fd9), QColor(0x1f4f9e), QStringLiteral("Movie File"), filmStrip), out,
                   QStringLiteral("video_file.png")) &&
           savePng(badge(QColor(0x26a69a), QColor(0x00695c), QStringLiteral("Video Site"), playScreen), out,
                   QStringLiteral("png_vs_logo_180x72.png")) &&
           savePng(badge(QColor(0x5c6bc0), QColor(0x303f9f), QStringLiteral("Social Site"), bubbles), out,
                   QStringLiteral("png_ss_logo_180x72.png")) &&
           savePng(badge(QColor(0x546e7a), QColor(0x263238), QStringLiteral("DVD"), disc), out,
                   QStringLiteral("dvd_disc_180x72.png")) &&
           savePng(uploadBanner(), out, QStringLiteral("progress_videosite.png"));
}

} // namespace resgen
