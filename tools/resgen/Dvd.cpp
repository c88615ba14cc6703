// The pictures of the DVD-menu templates, in "DVDMenu/<Folder>/" as the "dvdmenu" list names them: for each
// real template a 960 x 540 overlay with a clear window where the photo shows through, the play button
// drawn into the menu's video, the three button-state pictures of the subpicture and a thumbnail; for the
// no-menu entry only its thumbnail. The boxes below repeat those of resources/dvdmenu.plist (a test checks
// that they agree). State pictures hold only fully clear or fully opaque pixels of one colour, so the
// four-colour reduction before the overlay keeps them exactly.
#include "Resgen.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>

namespace resgen {

namespace {

constexpr int kMenuWidth = 960;
constexpr int kMenuHeight = 540;
constexpr int kPlaySize = 96;
constexpr int kStateSize = 112;
const QSize kThumbnail(160, 90);

struct MenuLook {
    QString folder;
    QRect photo; // "AlbumPhoto"
    QPoint play; // "PlayButton" position
    QColor top, bottom, accent, ring, selectedRing;
    bool filmStrip; // perforated bands above and below instead of a single rule
};

const MenuLook kClassic{QStringLiteral("classic"), QRect(60, 90, 480, 270), QPoint(702, 304),
                        QColor(0x0d1b3d),          QColor(0x23407a),        QColor(0xd9b45a),
                        QColor(0xffd800),          QColor(0xff3b30),        false};
const MenuLook kGallery{QStringLiteral("gallery"), QRect(240, 40, 480, 270), QPoint(816, 420),
                        QColor(0x2b1a12),          QColor(0x4f3020),         QColor(0xe9c27a),
                        QColor(0x40e0ff),          QColor(0xff40c0),         true};

QImage clearImage(QSize size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

void paintBackdrop(QPainter& painter, const MenuLook& look) {
    QLinearGradient fill(0, 0, 0, kMenuHeight);
    fill.setColorAt(0, look.top);
    fill.setColorAt(1, look.bottom);
    painter.fillRect(QRect(0, 0, kMenuWidth, kMenuHeight), fill);
    QRadialGradient glow(QPointF(kMenuWidth * 0.7, kMenuHeight * 0.3), kMenuWidth * 0.6);
    glow.setColorAt(0, QColor(255, 255, 255, 40));
    glow.setColorAt(1, QColor(255, 255, 255, 0));
    painter.fillRect(QRect(0, 0, kMenuWidth, kMenuHeight), glow);
}

void paintDecoration(QPainter& painter, const MenuLook& look) {
    painter.setPen(Qt::NoPen);
    if (look.filmStrip) {
        for (int band : {0, kMenuHeight - 24}) {
            painter.setBrush(QColor(0, 0, 0, 150));
            painter.drawRect(QRect(0, band, kMenuWidth, 24));
            painter.setBrush(QColor(255, 255, 255, 70));
            for (int x = 12; x < kMenuWidth; x += 32)
                painter.drawRoundedRect(QRectF(x, band + 6, 16, 12), 3, 3);
        }
        return;
    }
    painter.setPen(QPen(look.accent, 2));
    painter.drawLine(QPointF(580, 252), QPointF(920, 252));
    painter.drawLine(QPointF(40, 500), QPointF(920, 500));
}

// A rim and a soft shadow around the photo window; the window itself is cleared afterwards.
void paintPhotoFrame(QPainter& painter, const MenuLook& look) {
    const QRectF window = look.photo;
    for (int spread = 12; spread >= 2; spread -= 2) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, 14));
        painter.drawRoundedRect(window.adjusted(-spread, -spread + 4, spread, spread + 4), spread, spread);
    }
    painter.setBrush(QColor(0xf4f1ea));
    painter.drawRect(window.adjusted(-10, -10, 10, 10));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(look.accent, 2));
    painter.drawRect(window.adjusted(-5, -5, 5, 5));
}

QImage background(const MenuLook& look) {
    QImage image = clearImage({kMenuWidth, kMenuHeight});
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    paintBackdrop(painter, look);
    paintDecoration(painter, look);
    paintPhotoFrame(painter, look);
    painter.setCompositionMode(QPainter::CompositionMode_Clear);
    painter.fillRect(look.photo, Qt::transparent);
    return image;
}

QImage playButton(const MenuLook& look) {
    QImage image = clearImage({kPlaySize, kPlaySize});
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF disc(4, 4, kPlaySize - 8, kPlaySize - 8);
    QRadialGradient fill(disc.center() - QPointF(12, 14), disc.width() * 0.7);
    fill.setColorAt(0, look.accent.lighter(140));
    fill.setColorAt(1, look.accent.darker(160));
    painter.setBrush(fill);
    painter.setPen(QPen(QColor(255, 255, 255, 230), 3));
    painter.drawEllipse(disc);
    const double c = kPlaySize / 2.0;
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawPolygon(QPolygonF({QPointF(c - 12, c - 20), QPointF(c - 12, c + 20), QPointF(c + 22, c)}));
    return image;
}

// A ring around the play button in one colour, without anti-aliasing: only clear and opaque pixels.
QImage stateRing(const QColor& colour) {
    QImage image = clearImage({kStateSize, kStateSize});
    if (!colour.isValid())
        return image; // the normal state shows the button in the video as it is
    const double centre = (kStateSize - 1) / 2.0;
    const QRgb opaque = colour.rgb();
    for (int y = 0; y < kStateSize; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < kStateSize; ++x) {
            const double r = std::hypot(x - centre, y - centre);
            // Kept 4 pixels inside the picture: the button rectangle's even rounding may cut that much.
            if (r >= 46.0 && r <= 51.5)
                row[x] = opaque;
        }
    }
    return image;
}

QImage thumbnail(const MenuLook& look) {
    QImage frame = clearImage({kMenuWidth, kMenuHeight});
    {
        QPainter painter(&frame);
        painter.setRenderHint(QPainter::Antialiasing);
        paintSamplePhoto(painter, look.photo, look.filmStrip ? 1 : 0);
        painter.drawImage(0, 0, background(look));
        painter.drawImage(look.play, playButton(look));
    }
    return frame.scaled(kThumbnail, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QImage noMenuThumbnail() {
    QImage image = clearImage(kThumbnail);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 0, 0, kThumbnail.height());
    fill.setColorAt(0, QColor(0x3a3a3a));
    fill.setColorAt(1, QColor(0x1e1e1e));
    painter.fillRect(image.rect(), fill);
    const QRectF sign(kThumbnail.width() / 2.0 - 26, kThumbnail.height() / 2.0 - 26, 52, 52);
    painter.setPen(QPen(QColor(0xd04040), 7));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(sign);
    const QPointF c = sign.center();
    const double d = 26 / std::sqrt(2.0);
    painter.drawLine(c + QPointF(-d, -d), c + QPointF(d, d));
    return image;
}

bool makeMenu(const QDir& out, const MenuLook& look) {
    const QString folder = QStringLiteral("DVDMenu/") + look.folder;
    if (!out.mkpath(folder))
        return fail("cannot create " + out.filePath(folder));
    const QDir dir(out.filePath(folder));
    return savePng(background(look), dir, QStringLiteral("background.png")) &&
           savePng(playButton(look), dir, QStringLiteral("play.png")) &&
           savePng(stateRing(QColor()), dir, QStringLiteral("state_normal.png")) &&
           savePng(stateRing(look.ring), dir, QStringLiteral("state_highlight.png")) &&
           savePng(stateRing(look.selectedRing), dir, QStringLiteral("state_selected.png")) &&
           savePng(thumbnail(look), dir, QStringLiteral("thumbnail.png"));
}

} // namespace

bool makeDvdMenus(const QDir& out) {
    if (!out.mkpath(QStringLiteral("DVDMenu/nomenu")))
        return fail("cannot create " + out.filePath(QStringLiteral("DVDMenu/nomenu")));
    return savePng(noMenuThumbnail(), QDir(out.filePath(QStringLiteral("DVDMenu/nomenu"))),
                   QStringLiteral("thumbnail.png")) &&
           makeMenu(out, kClassic) && makeMenu(out, kGallery) &&
           savePng(stateRing(kClassic.selectedRing), out, QStringLiteral("selected.png"));
}

} // namespace resgen
