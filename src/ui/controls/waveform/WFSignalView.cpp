#include "ui/controls/waveform/WFSignalView.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

// Half way to black, as a shadow of the colour.
QColor shadowed(const QColor& colour) {
    return QColor::fromRgbF(colour.redF() * 0.5f, colour.greenF() * 0.5f, colour.blueF() * 0.5f,
                            colour.alphaF());
}

// How far a selection's redraw reaches beyond it, for the borders drawn around it.
constexpr double kSelectionRedrawMargin = 10.0;

} // namespace

WFSignalView::WFSignalView(QWidget* parent)
    : QWidget(parent), _foregroundColor(128, 128, 128), _backgroundColor(palette().color(QPalette::Base)),
      _selectedColor(palette().color(QPalette::Highlight)), _selectedBorderColor(shadowed(_selectedColor)) {}

void WFSignalView::setForegroundColor(const QColor& colour) {
    _foregroundColor = colour;
    update();
}

void WFSignalView::setBackgroundColor(const QColor& colour) {
    _backgroundColor = colour;
    update();
}

void WFSignalView::setSelectedColor(const QColor& colour) {
    _selectedColor = colour;
    update();
}

void WFSignalView::setSelectedBorderColor(const QColor& colour) {
    _selectedBorderColor = colour;
    update();
}

void WFSignalView::setAllowsSelection(bool allows) {
    if (allows == _allowsSelection)
        return;
    _allowsSelection = allows;
    _dragging = false;
    setSelectedSampleRange(WFSampleRange::notFound());
}

void WFSignalView::setSelectedSampleRange(WFSampleRange range) {
    const QRectF before = rectForSampleSelection(_selectedSampleRange);
    _selectedSampleRange = range;
    const QRectF after = rectForSampleSelection(range);
    for (const QRectF& changed : {before, after})
        if (!changed.isNull())
            updateSignalRect(changed.adjusted(-kSelectionRedrawMargin, -kSelectionRedrawMargin,
                                              kSelectionRedrawMargin, kSelectionRedrawMargin));
}

QTransform WFSignalView::sampleTransform() const {
    const QRectF frame = signalRect();
    const double xScale =
        hasSignal() ? frame.width() / static_cast<double>(_originalSampleDataLength - 1) : 0.0;
    return QTransform().translate(0.0, frame.height() / 2.0).scale(xScale, frame.height());
}

double WFSignalView::sampleToXPoint(uint64_t sample) const {
    return sampleTransform().map(QPointF(static_cast<double>(sample), 0.0)).x();
}

uint64_t WFSignalView::xPointToSample(double x) const {
    const QTransform transform = sampleTransform();
    if (!hasSignal() || !(transform.m11() > 0.0))
        return WFSampleRange::kNotFound;
    const double sample = (x - transform.dx()) / transform.m11();
    if (std::isnan(sample))
        return WFSampleRange::kNotFound;
    return static_cast<uint64_t>(std::clamp(sample, 0.0, static_cast<double>(_originalSampleDataLength - 1)));
}

QRectF WFSignalView::rectForSampleSelection(WFSampleRange range) const {
    if (range.isNotFound() || !hasSignal())
        return {};
    const QRectF frame = signalRect();
    const double width = static_cast<double>(range.length) * sampleTransform().m11();
    return {sampleToXPoint(range.location), frame.y(), width, frame.height()};
}

void WFSignalView::drawBackground(QPainter& painter, const QRectF& rect) {
    painter.fillRect(rect, _backgroundColor);
}

void WFSignalView::drawSelectionBox(QPainter& painter) {
    const QRectF box = selectionRect();
    if (box.isEmpty())
        return;
    painter.save();
    // Darkens what lies below, so the signal shows through the selection.
    painter.setCompositionMode(QPainter::CompositionMode_Multiply);
    painter.fillRect(box, _selectedColor);
    painter.restore();
}

void WFSignalView::drawOutline(QPainter& painter) {
    painter.save();
    painter.setPen(QPen(palette().color(QPalette::Shadow), 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
    painter.restore();
}

void WFSignalView::updateSignalRect(const QRectF& rect) {
    update(signalToWidget().mapRect(rect).toAlignedRect());
}

void WFSignalView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.setTransform(signalToWidget());
    const QRectF dirty = signalToWidget().mapRect(QRectF(event->rect())); // the flip is its own inverse
    drawBackground(painter, dirty);
    if (hasSignal() && dirty.intersects(signalRect())) {
        drawSignalInRect(painter, dirty);
        drawSelectionBox(painter);
    }
    drawOutline(painter);
}

void WFSignalView::mousePressEvent(QMouseEvent* event) {
    if (!_allowsSelection || event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const uint64_t sample = xPointToSample(event->position().x());
    if (sample == WFSampleRange::kNotFound)
        return;
    if (!(event->modifiers() & Qt::ShiftModifier) || _selectedSampleRange.isNotFound()) {
        _selectionAnchor = sample;
        _selectedSampleRange = {sample, 0};
        update();
    } else {
        extendSelection(sample);
    }
    _dragging = true;
}

// Shift-click: inside the selection the nearer end moves to the click; outside, the selection grows to it.
void WFSignalView::extendSelection(uint64_t sample) {
    const WFSampleRange selection = _selectedSampleRange;
    const uint64_t end = selection.end();
    const uint64_t middle = selection.location + selection.length / 2;
    if (sample >= selection.location && sample < end) {
        if (sample < middle) {
            _selectionAnchor = end;
            setSelectedSampleRange({sample, end - sample});
        } else {
            _selectionAnchor = selection.location;
            setSelectedSampleRange({selection.location, sample - selection.location});
        }
        return;
    }
    _selectionAnchor = sample >= end ? selection.location : end;
    setSelectedSampleRange(selection.unionWith({sample, 0}));
}

void WFSignalView::mouseMoveEvent(QMouseEvent* event) {
    if (!_dragging) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    const double x = std::clamp(event->position().x(), 0.0, static_cast<double>(width()));
    const uint64_t sample = xPointToSample(x);
    if (sample == WFSampleRange::kNotFound)
        return;
    setSelectedSampleRange(sample < _selectionAnchor
                               ? WFSampleRange{sample, _selectionAnchor - sample}
                               : WFSampleRange{_selectionAnchor, sample - _selectionAnchor});
}

void WFSignalView::mouseReleaseEvent(QMouseEvent* event) {
    if (!_dragging) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    _dragging = false;
    if (_selectedSampleRange.length == 0)
        setSelectedSampleRange(WFSampleRange::notFound());
}
