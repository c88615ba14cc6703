#pragma once

#include <QColor>
#include <QRectF>
#include <QWidget>

// The timeline strip's document view: as wide as the slides (and songs) need, 205 high. Its model is in
// timeline coordinates, whose y axis points up; toWidget() turns them into the widget's.
class TimelineContentView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 205;

    explicit TimelineContentView(QWidget* parent = nullptr);

    void setBackgroundColor(const QColor& colour);
    QColor backgroundColor() const { return background; }
    // Sets the frame (0, 0, width, 205).
    void setContentWidth(int width);

    // A rectangle of timeline coordinates in the widget's, and back.
    static QRectF toWidget(const QRectF& timelineRect);
    static QRectF fromWidget(const QRectF& widgetRect) { return toWidget(widgetRect); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor background;
};
