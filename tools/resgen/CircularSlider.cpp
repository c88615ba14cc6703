// The circular slider's pictures: its dials, which show where the knob may rest (anywhere, the rim and
// the centre, anywhere but the centre, or the rim alone), 80 and 60 points across; and its knobs (blue,
// graphite and inactive, each also pressed), 24 and 20 points across.
#include "Resgen.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace resgen {

namespace {

// The slider's own geometry: the dial lies 10.5 points inside the view, its rim band is 5 points wide and
// its centre dot 7 points across.
constexpr double kDialMargin = 10.5;
constexpr double kRimBand = 5.0;
constexpr double kCentreDot = 7.0;
// A knob picture holds the knob and 4 points of shadow around it.
constexpr int kKnobMargin = 4;

struct DialKind {
    const char* name;
    bool centre, nonEdge;
};
constexpr DialKind kDials[] = {{"CircularSlider", true, true},
                               {"TargetSlider", true, false},
                               {"RingSlider", false, true},
                               {"DonutSlider", false, false}};

struct KnobKind {
    const char* name;
    QColor light, dark; // of the ball, from its lit top left to its shaded rim
};

QImage dialPicture(int side, bool centre, bool nonEdge) {
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF dial =
        QRectF(0, 0, side, side).adjusted(kDialMargin, kDialMargin, -kDialMargin, -kDialMargin);
    QPainterPath shape;
    shape.setFillRule(Qt::OddEvenFill);
    shape.addEllipse(dial);
    if (!nonEdge)
        shape.addEllipse(dial.adjusted(kRimBand, kRimBand, -kRimBand, -kRimBand));
    if (centre != nonEdge) {
        const double inset = (dial.width() - kCentreDot) / 2.0;
        shape.addEllipse(dial.adjusted(inset, inset, -inset, -inset));
    }
    // A soft shadow beneath, then the face lit from above, then its rim.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 40));
    painter.drawPath(shape.translated(0, 1.0));
    QLinearGradient face(dial.topLeft(), dial.bottomLeft());
    face.setColorAt(0.0, QColor(226, 226, 229));
    face.setColorAt(1.0, QColor(186, 186, 192));
    painter.setBrush(face);
    painter.drawPath(shape);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(102, 102, 108), 1.0));
    painter.drawPath(shape);
    return image;
}

QImage knobPicture(int ballRadius, const KnobKind& kind) {
    const int side = 2 * (ballRadius + kKnobMargin);
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(side / 2.0, side / 2.0);
    const QRectF ball(centre.x() - ballRadius, centre.y() - ballRadius, 2.0 * ballRadius, 2.0 * ballRadius);
    QRadialGradient shadow(centre + QPointF(0, 1.5), ballRadius + kKnobMargin - 0.5);
    shadow.setColorAt(0.6, QColor(0, 0, 0, 90));
    shadow.setColorAt(1.0, QColor(0, 0, 0, 0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(shadow);
    painter.drawEllipse(QRectF(0, 0, side, side));
    QRadialGradient shade(centre - QPointF(ballRadius * 0.35, ballRadius * 0.35), ballRadius * 1.4);
    shade.setColorAt(0.0, kind.light);
    shade.setColorAt(1.0, kind.dark);
    painter.setBrush(shade);
    painter.setPen(QPen(kind.dark.darker(160), 1.0));
    painter.drawEllipse(ball.adjusted(0.5, 0.5, -0.5, -0.5));
    return image;
}

} // namespace

bool makeCircularSliderPictures(const QDir& out) {
    const struct {
        const char* prefix;
        int side, ballRadius;
    } sizes[] = {{"big", 80, 8}, {"small", 60, 6}};
    const KnobKind knobs[] = {{"BlueKnob", QColor(150, 200, 255), QColor(36, 110, 226)},
                              {"BlueHighlightedKnob", QColor(92, 150, 230), QColor(16, 70, 170)},
                              {"GraphiteKnob", QColor(206, 210, 218), QColor(112, 118, 130)},
                              {"GraphiteHighlightedKnob", QColor(160, 166, 176), QColor(72, 78, 90)},
                              {"InactiveKnob", QColor(246, 246, 246), QColor(176, 176, 180)}};
    for (const auto& size : sizes) {
        for (const DialKind& dial : kDials)
            if (!savePng(dialPicture(size.side, dial.centre, dial.nonEdge), out,
                         QStringLiteral("%1%2.png").arg(size.prefix, dial.name)))
                return false;
        for (const KnobKind& knob : knobs)
            if (!saveTiff(knobPicture(size.ballRadius, knob), out,
                          QStringLiteral("%1%2.tiff").arg(size.prefix, knob.name)))
                return false;
    }
    return true;
}

} // namespace resgen
