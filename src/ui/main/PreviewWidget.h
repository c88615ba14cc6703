#pragma once

#include <QImage>
#include <QPointF>
#include <QWidget>

class NSGLView;

// The plain widget that shows the preview: it paints the frames the view renders, tells the view its size in
// pixels, and passes mouse drags on to it. A double click drops an editable "Hello" text box at the click,
// one more per double click.
class PreviewWidget : public QWidget {
    Q_OBJECT
public:
    explicit PreviewWidget(NSGLView* view, QWidget* parent = nullptr);

    QImage shownFrame() const { return frame; }

public slots:
    void showFrame(const QImage& picture);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void reshapeView();

    NSGLView* glView;
    QImage frame;
    QPointF lastDragPoint;
};
