#include "ui/controls/AWAttachedWindow.h"

#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <QScreen>

namespace {

// Logical pixels are the user space here.
constexpr float kScale = 1.0f;

double flipLine() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect desktop = screen ? screen->virtualGeometry() : QRect();
    return desktop.y() + desktop.height();
}

} // namespace

AWAttachedWindow* AWAttachedWindow::create(QWidget* view, const QPointF& point, QWidget* window, int side,
                                           float distance) {
    if (!view)
        return nullptr;
    auto* created = new AWAttachedWindow(view, point, window, side, distance); // owned by the anchor window
    if (!window)
        created->setAttribute(Qt::WA_DeleteOnClose);
    return created;
}

void AWAttachedWindow::closeAndRelease() {
    hide();
    deleteLater();
}

AWAttachedWindow::AWAttachedWindow(QWidget* view, const QPointF& anchor, QWidget* window, int side, float gap)
    : QWidget(window, Qt::Tool | Qt::FramelessWindowHint), content(view), anchorWindow(window), point(anchor),
      placement(side), distance(gap) {
    setObjectName("AWAttachedWindow");
    setAttribute(Qt::WA_NoSystemBackground);
    if (placement == AWSideAutomatic) {
        const QScreen* screen =
            window && window->screen() ? window->screen() : QGuiApplication::primaryScreen();
        const QRectF visible = screen ? toScreenSpace(QRectF(screen->availableGeometry())) : QRectF();
        std::optional<QRectF> frame;
        if (window)
            frame = toScreenSpace(QRectF(window->frameGeometry()));
        placement = aw_geometry::bestSide(QSizeF(view->size()), anchorInScreenSpace(), distance, look, kScale,
                                          visible, frame);
    }
    view->setParent(this);
    view->installEventFilter(this);
    updateGeometry();
    updateBackground();
    view->show();
}

AWAttachedWindow::~AWAttachedWindow() {
    if (content)
        content->removeEventFilter(this);
}

// ---- coordinates

QPointF AWAttachedWindow::toScreenSpace(const QPointF& global) {
    return QPointF(global.x(), flipLine() - global.y());
}

QRectF AWAttachedWindow::toScreenSpace(const QRectF& global) {
    return QRectF(global.x(), flipLine() - global.y() - global.height(), global.width(), global.height());
}

QRectF AWAttachedWindow::fromScreenSpace(const QRectF& screen) {
    return toScreenSpace(screen); // the flip is its own inverse
}

QPointF AWAttachedWindow::anchorInScreenSpace() const {
    const QPointF global = anchorWindow ? QPointF(anchorWindow->mapToGlobal(point.toPoint())) : point;
    return toScreenSpace(global);
}

// ---- geometry and background

void AWAttachedWindow::updateGeometry() {
    if (!content)
        return;
    layoutNow = aw_geometry::layout(QSizeF(content->size()), anchorInScreenSpace(), placement, distance, look,
                                    kScale);
    const QRectF frame = fromScreenSpace(layoutNow.windowFrame);
    setGeometry(frame.toAlignedRect());
    const QRectF view = layoutNow.viewFrame;
    content->move(QPointF(view.x(), frame.height() - view.y() - view.height()).toPoint());
}

QPolygonF AWAttachedWindow::outlineInWidget() const {
    QPolygonF points = aw_geometry::outline(layoutNow.viewFrame, placement, look, kScale);
    const double h = height();
    for (QPointF& p : points)
        p.setY(h - p.y());
    return points;
}

void AWAttachedWindow::updateBackground() {
    setMask(QRegion(outlineInWidget().toPolygon()));
    update();
}

void AWAttachedWindow::redisplay() {
    if (resizing)
        return;
    resizing = true;
    updateGeometry();
    updateBackground();
    resizing = false;
}

void AWAttachedWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addPolygon(outlineInWidget());
    path.closeSubpath();
    painter.fillPath(path, fill);
    if (look.borderWidth > 0) {
        // Clipped to the outline, the stroke's inner half is the visible border.
        painter.setClipPath(path);
        painter.strokePath(
            path, QPen(border, 2 * look.borderWidth * kScale, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin));
    }
}

// ---- events

// Escape reaches the window when nothing inside took it.
bool AWAttachedWindow::event(QEvent* event) {
    if (event->type() == QEvent::WindowDeactivate)
        emit didResignKey();
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        emit escapePressed();
        return true;
    }
    return QWidget::event(event);
}

bool AWAttachedWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == content && event->type() == QEvent::Resize)
        redisplay();
    return QWidget::eventFilter(watched, event);
}

// ---- appearance

void AWAttachedWindow::setBorderColor(const QColor& colour) {
    if (colour == border)
        return;
    border = colour;
    updateBackground();
}

void AWAttachedWindow::setBackgroundColor(const QColor& colour) {
    if (fill == QBrush(colour))
        return;
    fill = colour;
    updateBackground();
}

void AWAttachedWindow::setBackgroundImage(const QImage& image) {
    if (image.isNull())
        return;
    fill = QBrush(image);
    updateBackground();
}

void AWAttachedWindow::setBorderWidth(float width) {
    if (width == look.borderWidth)
        return;
    look.borderWidth = std::min(width, look.viewMargin);
    updateBackground();
}

void AWAttachedWindow::setViewMargin(float margin) {
    if (margin == look.viewMargin)
        return;
    look.viewMargin = std::max(margin, 0.0f);
    setCornerRadius(look.cornerRadius);
}

void AWAttachedWindow::setCornerRadius(float radius) {
    look.cornerRadius = aw_geometry::boundedCornerRadius(radius, look, layoutNow.viewFrame.size());
    setArrowBaseWidth(look.arrowBaseWidth);
}

void AWAttachedWindow::setArrowBaseWidth(float width) {
    look.arrowBaseWidth = aw_geometry::boundedArrowBaseWidth(width, look, layoutNow.viewFrame.size());
    redisplay();
}

void AWAttachedWindow::setArrowHeight(float height) {
    if (height == look.arrowHeight)
        return;
    look.arrowHeight = height;
    redisplay();
}

void AWAttachedWindow::setDrawsRoundCornerBesideArrow(bool rounded) {
    if (rounded == look.drawsRoundCornerBesideArrow)
        return;
    look.drawsRoundCornerBesideArrow = rounded;
    redisplay();
}

void AWAttachedWindow::setHasArrow(bool arrow) {
    if (arrow == look.hasArrow)
        return;
    look.hasArrow = arrow;
    updateBackground();
}

void AWAttachedWindow::setPoint(const QPointF& anchor, int side) {
    point = anchor;
    placement = side;
    redisplay();
}
