#include "ui/main/PreviewWidget.h"

#include "render/NSGLView.h"

#include <QMouseEvent>
#include <QPainter>

PreviewWidget::PreviewWidget(NSGLView* view, QWidget* parent) : QWidget(parent), glView(view) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(160, 90);
    // Frames arrive on the display link's thread; they are painted on ours.
    connect(glView, &NSGLView::frameReady, this, &PreviewWidget::showFrame, Qt::QueuedConnection);
}

void PreviewWidget::showFrame(const QImage& picture) {
    frame = picture;
    update();
}

void PreviewWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (frame.isNull()) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(rect(), frame);
}

void PreviewWidget::reshape() {
    if (!glView)
        return;
    const qreal scale = devicePixelRatioF();
    glView->reshape(QSize(qRound(width() * scale), qRound(height() * scale)));
    emit reshaped();
}

void PreviewWidget::resizeEvent(QResizeEvent*) {
    reshape();
}

void PreviewWidget::showEvent(QShowEvent*) {
    reshape();
}

void PreviewWidget::mousePressEvent(QMouseEvent* event) {
    lastDragPoint = event->position();
}

void PreviewWidget::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton))
        return;
    const QPointF delta = event->position() - lastDragPoint;
    lastDragPoint = event->position();
    if (glView)
        glView->mouseDragged(delta.x(), delta.y(), QSizeF(size()));
}
