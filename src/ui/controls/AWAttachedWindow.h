#pragma once

#include "ui/controls/AWAttachedWindowGeometry.h"

#include <QBrush>
#include <QColor>
#include <QPointer>
#include <QWidget>

// A call-out window: one view inside a rounded box whose arrow points at an anchor point, on a chosen side
// of it or on the side that keeps it on screen. A frameless tool window, child of the anchor window; its
// shape is masked to the box, so it needs no compositor. Losing activation emits didResignKey and Escape
// emits escapePressed, on which owners close it.
class AWAttachedWindow : public QWidget {
    Q_OBJECT
public:
    // Null when there is no view. `point` is in the anchor window's coordinates, or in global screen
    // coordinates when there is no anchor window; the view is shown inside the new window. The anchor
    // window owns the new one; one without anchor deletes itself when closed. Owners keep a QPointer.
    static AWAttachedWindow* create(QWidget* view, const QPointF& point, QWidget* window = nullptr,
                                    int side = AWSideAutomatic, float distance = 0.0f);
    // Hides the window and lets it go once the event loop is back (safe from the view's own actions).
    void closeAndRelease();
    ~AWAttachedWindow() override;

    QColor borderColor() const { return border; }
    void setBorderColor(const QColor& colour);
    float borderWidth() const { return look.borderWidth; }
    // At most the view margin.
    void setBorderWidth(float width);
    float viewMargin() const { return look.viewMargin; }
    // At least 0; the radius and the arrow's base are bounded again.
    void setViewMargin(float margin);
    float arrowBaseWidth() const { return look.arrowBaseWidth; }
    void setArrowBaseWidth(float width);
    float arrowHeight() const { return look.arrowHeight; }
    void setArrowHeight(float height);
    bool hasArrow() const { return look.hasArrow; }
    void setHasArrow(bool arrow);
    float cornerRadius() const { return look.cornerRadius; }
    void setCornerRadius(float radius);
    bool drawsRoundCornerBesideArrow() const { return look.drawsRoundCornerBesideArrow; }
    void setDrawsRoundCornerBesideArrow(bool rounded);
    QBrush windowBackgroundColor() const { return fill; }
    void setBackgroundColor(const QColor& colour);
    // The box is filled with the picture, tiled; a null picture is ignored.
    void setBackgroundImage(const QImage& image);
    // Moves the window to a new anchor and side (12 is not resolved here: the window's corner sits on the
    // point, without arrow).
    void setPoint(const QPointF& point, int side);

    int side() const { return placement; }
    QWidget* view() const { return content; }
    // The view's frame inside the window, with the y axis up, from the last geometry update.
    QRectF viewFrame() const { return layoutNow.viewFrame; }

    // y-up screen space: the primary screen's virtual desktop turned upside down.
    static QPointF toScreenSpace(const QPointF& globalPoint);
    static QRectF toScreenSpace(const QRectF& globalRect);
    static QRectF fromScreenSpace(const QRectF& screenRect);

signals:
    void didResignKey();
    // Escape, pressed anywhere in the window and not used by the view.
    void escapePressed();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    AWAttachedWindow(QWidget* view, const QPointF& point, QWidget* window, int side, float distance);
    QPointF anchorInScreenSpace() const;
    void updateGeometry();
    void updateBackground();
    void redisplay();
    QPolygonF outlineInWidget() const;

    QPointer<QWidget> content;
    QPointer<QWidget> anchorWindow;
    QPointF point;
    int placement;
    float distance;
    AWAppearance look;
    QColor border = Qt::white;
    QBrush fill = QColor::fromRgbF(0.1f, 0.1f, 0.1f, 0.98f);
    aw_geometry::Layout layoutNow;
    bool resizing = false;
};
