#pragma once

#include "ui/controls/waveform/WFSampleRange.h"

#include <QColor>
#include <QTransform>
#include <QWidget>

class QPainter;

// The base of the signal displays: colours, the mapping between sample indices and x, the background, the
// outline and a selection of samples made with the mouse (click, Shift-click, drag). Signal coordinates have
// the y axis up; the paint events flip them onto the widget. A signal needs at least 2 samples: with fewer
// nothing is drawn, no sample lies under any x and the mouse selects nothing.
class WFSignalView : public QWidget {
    Q_OBJECT
public:
    explicit WFSignalView(QWidget* parent = nullptr);

    QColor foregroundColor() const { return _foregroundColor; }
    void setForegroundColor(const QColor& colour);
    QColor backgroundColor() const { return _backgroundColor; }
    void setBackgroundColor(const QColor& colour);
    QColor selectedColor() const { return _selectedColor; }
    void setSelectedColor(const QColor& colour);
    QColor selectedBorderColor() const { return _selectedBorderColor; }
    void setSelectedBorderColor(const QColor& colour);
    bool allowsSelection() const { return _allowsSelection; }
    // A change also clears the selection.
    void setAllowsSelection(bool allows);
    WFSampleRange selectedSampleRange() const { return _selectedSampleRange; }
    void setSelectedSampleRange(WFSampleRange range);

    // The number of samples the x axis spans.
    uint64_t originalSampleDataLength() const { return _originalSampleDataLength; }
    bool hasSignal() const { return _originalSampleDataLength >= 2; }

    QRectF signalRect() const { return QRectF(rect()); }
    // Samples (index, value) to signal coordinates: index 0 at x 0, the last index at the right edge.
    virtual QTransform sampleTransform() const;
    double sampleToXPoint(uint64_t sample) const;
    // The sample under x, within the signal; the not-found location without a signal.
    uint64_t xPointToSample(double x) const;
    // Full height; empty for the not-found location or without a signal.
    QRectF rectForSampleSelection(WFSampleRange range) const;
    QRectF selectionRect() const { return rectForSampleSelection(_selectedSampleRange); }

protected:
    // The painters handed to these draw in signal coordinates (y up).
    virtual void drawBackground(QPainter& painter, const QRectF& rect);
    virtual void drawSelectionBox(QPainter& painter);
    virtual void drawOutline(QPainter& painter);
    virtual void drawSignalInRect(QPainter& painter, const QRectF& rect) = 0;
    // From signal coordinates to the widget's.
    QTransform signalToWidget() const { return QTransform(1, 0, 0, -1, 0, height()); }
    // Invalidates a rectangle given in signal coordinates.
    void updateSignalRect(const QRectF& rect);

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

    uint64_t _originalSampleDataLength = 0;

private:
    void extendSelection(uint64_t sample);

    QColor _foregroundColor;
    QColor _backgroundColor;
    QColor _selectedColor;
    QColor _selectedBorderColor;
    bool _allowsSelection = true;
    WFSampleRange _selectedSampleRange;
    uint64_t _selectionAnchor = 0;
    bool _dragging = false;
};
