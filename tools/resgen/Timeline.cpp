// Pictures of the timeline and the play controls: the backings of photo and video cells (normal and
// selected), the frame over a selected item, the backing of a cell's transition icon, the insert marker, the
// two song waveform patterns, the play-head marker and the Stop button's images, all on the timeline's dark
// grey; and the thumbnail of a composition slide.
#include "Resgen.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace resgen {

namespace {

constexpr int kCell = 100;
const QColor kAccent(0x4a9bff);

QImage transparent(QSize size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// A cell backing; the thumbnail goes 20 points inside it, so the rim and the film holes stay in that margin.
QImage cellBacking(bool selected, bool video) {
    QImage image = transparent({kCell, kCell});
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF body(2, 2, kCell - 4, kCell - 4);
    QLinearGradient fill(0, 0, 0, kCell);
    fill.setColorAt(0, selected ? QColor(0x3f5577) : QColor(0x4a4a4a));
    fill.setColorAt(1, selected ? QColor(0x2f3f5a) : QColor(0x3a3a3a));
    painter.setBrush(fill);
    painter.setPen(selected ? QPen(kAccent, 2.5) : QPen(QColor(0x5e5e5e), 1));
    painter.drawRoundedRect(body, 9, 9);
    if (video) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(selected ? QColor(0x1d2738) : QColor(0x262626));
        for (int i = 0; i < 7; ++i) {
            const double x = 13 + i * 11.5;
            painter.drawRoundedRect(QRectF(x, 7, 6, 6), 1.5, 1.5);
            painter.drawRoundedRect(QRectF(x, kCell - 13, 6, 6), 1.5, 1.5);
        }
    }
    return image;
}

QImage transitionBacking() {
    QImage image = transparent({60, 60});
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 0, 0, 60);
    fill.setColorAt(0, QColor(0x474747));
    fill.setColorAt(1, QColor(0x3b3b3b));
    painter.setBrush(fill);
    painter.setPen(QPen(QColor(0x5a5a5a), 1));
    painter.drawRoundedRect(QRectF(1.5, 1.5, 57, 57), 10, 10);
    return image;
}

// The gap where a dragged slide will land: a dashed place-holder with a bright bar and arrows.
QImage insertMarker() {
    QImage image = transparent({kCell, kCell});
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(74, 155, 255, 40));
    painter.setPen(QPen(QColor(74, 155, 255, 200), 2, Qt::DashLine));
    painter.drawRoundedRect(QRectF(4, 4, kCell - 8, kCell - 8), 9, 9);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kAccent);
    painter.drawRoundedRect(QRectF(kCell / 2.0 - 2, 22, 4, kCell - 44), 2, 2);
    const double c = kCell / 2.0;
    painter.drawPolygon(QPolygonF({QPointF(c - 9, 12), QPointF(c + 9, 12), QPointF(c, 22)}));
    painter.drawPolygon(
        QPolygonF({QPointF(c - 9, kCell - 12), QPointF(c + 9, kCell - 12), QPointF(c, kCell - 22)}));
    return image;
}

// A long waveform strip; the timeline shows as much of it as an audio item is wide.
QImage waveform(const QColor& color, std::uint64_t seed) {
    constexpr int kWidth = 4096, kHeight = 40;
    QImage image = transparent({kWidth, kHeight});
    QPainter painter(&image);
    const PeriodicNoise loudness(seed, 64, 1);
    Random random(seed);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    for (int x = 0; x < kWidth; x += 3) {
        const double envelope = 0.25 + 0.75 * loudness.fbm(x / 64.0, 0.5, 3);
        const double half = (kHeight / 2.0 - 2) * std::clamp(envelope * random.range(0.55, 1.0), 0.08, 1.0);
        painter.drawRect(QRectF(x, kHeight / 2.0 - half, 2, 2 * half));
    }
    return image;
}

QImage playHead() {
    QImage image = transparent({15, 120});
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xff453a));
    painter.drawRect(QRectF(6.5, 8, 2, 112));
    painter.drawPolygon(QPolygonF(
        {QPointF(0.5, 0.5), QPointF(14.5, 0.5), QPointF(14.5, 6), QPointF(7.5, 13), QPointF(0.5, 6)}));
    return image;
}

QImage stopButton(bool pressed) {
    QImage image = transparent({20, 20});
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(pressed ? QColor(0xb8b8b8) : QColor(0xf5f5f5));
    painter.drawRoundedRect(QRectF(4, 4, 12, 12), 2.5, 2.5);
    return image;
}

// The music options' listening button: a light triangle, or two bars while a song plays.
QImage playbackButton(bool pause) {
    QImage image = transparent({32, 32});
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0x2f2f30), 1.0));
    painter.setBrush(QColor(0xe6e6e6));
    if (pause) {
        painter.drawRoundedRect(QRectF(8.5, 7.5, 5, 17), 1.5, 1.5);
        painter.drawRoundedRect(QRectF(18.5, 7.5, 5, 17), 1.5, 1.5);
    } else {
        painter.drawPolygon(QPolygonF({QPointF(10.5, 6.5), QPointF(25.5, 16), QPointF(10.5, 25.5)}));
    }
    return image;
}

// The thumbnail of a composition slide: three stacked layers over a dusky gradient.
QImage compositionThumbnail() {
    QImage image({120, 90}, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 90);
    sky.setColorAt(0, QColor(0x1c2a4a));
    sky.setColorAt(1, QColor(0x3b1f45));
    painter.fillRect(image.rect(), sky);
    const QColor layers[] = {QColor(74, 155, 255, 150), QColor(255, 190, 70, 150),
                             QColor(120, 220, 140, 170)};
    for (int i = 0; i < 3; ++i) {
        painter.setPen(QPen(QColor(255, 255, 255, 200), 1.5));
        painter.setBrush(layers[i]);
        painter.drawRoundedRect(QRectF(22 + i * 14, 14 + i * 12, 50, 36), 5, 5);
    }
    return image;
}

// The frame laid over a selected item: the accent rim of a selected cell on a clear ground.
QImage selectedItemFrame() {
    QImage image = transparent({kCell, kCell});
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(kAccent, 3));
    painter.drawRoundedRect(QRectF(2.5, 2.5, kCell - 5, kCell - 5), 9, 9);
    return image;
}

} // namespace

bool makeTimelinePictures(const QDir& out) {
    const std::vector<std::pair<const char*, std::function<QImage()>>> pictures = {
        {"photo_bk_normal.png", [] { return cellBacking(false, false); }},
        {"photo_bk.png", [] { return cellBacking(true, false); }},
        {"video_bk_normal.png", [] { return cellBacking(false, true); }},
        {"video_bk.png", [] { return cellBacking(true, true); }},
        {"transition_bk_normal.png", transitionBacking},
        {"drag3.png", insertMarker},
        {"wavefrom-1-1.png", [] { return waveform(QColor(0x9be37a), 0x3a7e1); }},
        {"wavefrom-22-1.png", [] { return waveform(QColor(0x7ac8ff), 0x3a7e22); }},
        {"indicator-1.png", playHead},
        {"btn_stop.png", [] { return stopButton(false); }},
        {"btn_stop_click.png", [] { return stopButton(true); }},
        {"playback_play_icon&32.png", [] { return playbackButton(false); }},
        {"playback_pause_icon&32.png", [] { return playbackButton(true); }},
        {"composition_thumb.png", compositionThumbnail},
        {"item_selected_new.png", selectedItemFrame},
    };
    return parallelFor(int(pictures.size()), [&](int i) {
        const auto& [name, draw] = pictures[std::size_t(i)];
        return savePng(draw(), out, QString::fromLatin1(name));
    });
}

} // namespace resgen
