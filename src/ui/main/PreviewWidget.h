#pragma once

#include <QImage>
#include <QPointF>
#include <QPointer>
#include <QWidget>

#include "render/NSGLView.h"

// The plain widget that shows the preview: it paints the frames the view renders, tells the view its size in
// pixels, and passes mouse drags on to it. It has no editing of its own: a double click is a press like any
// other.
class PreviewWidget : public QWidget {
    Q_OBJECT
public:
    explicit PreviewWidget(NSGLView* view, QWidget* parent = nullptr);

    QImage shownFrame() const { return frame; }
    // Tells the view its size in pixels.
    void reshape();

public slots:
    void showFrame(const QImage& picture);

signals:
    // The view has been given a new size; still pictures are drawn again.
    void reshaped();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    QPointer<NSGLView> glView; // the view may go before the window
    QImage frame;
    QPointF lastDragPoint;
};
