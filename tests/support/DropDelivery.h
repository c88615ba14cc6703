#pragma once

#include <QCoreApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QWidget>

// Drag events delivered as the platform delivers them to a window: to the innermost widget under the pointer
// that takes drops (its parents otherwise), and a drop only where the drag was accepted.
namespace test_support {

inline QWidget* dropTargetAt(QWidget& window, QPoint inWindow) {
    QWidget* widget = window.childAt(inWindow);
    if (!widget)
        widget = &window;
    while (widget && !widget->isWindow() && !widget->acceptDrops())
        widget = widget->parentWidget();
    return widget && widget->acceptDrops() ? widget : nullptr;
}

// Enters, moves through `path` (window points) and drops at its last point; true when the drop was taken.
inline bool dragThrough(QWidget& window, const QMimeData& data, const std::vector<QPoint>& path,
                        Qt::DropActions actions = Qt::MoveAction) {
    QWidget* entered = nullptr;
    bool accepted = false;
    for (const QPoint& point : path) {
        QWidget* target = dropTargetAt(window, point);
        if (!target)
            continue;
        const QPoint local = target->mapFrom(&window, point);
        if (target != entered) {
            QDragEnterEvent enter(local, actions, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(target, &enter);
            entered = target;
            accepted = enter.isAccepted();
        }
        if (!accepted)
            continue;
        QDragMoveEvent move(local, actions, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &move);
        accepted = move.isAccepted();
    }
    if (!entered || !accepted)
        return false;
    QDropEvent dropped(QPointF(entered->mapFrom(&window, path.back())), actions, &data, Qt::LeftButton,
                       Qt::NoModifier);
    QCoreApplication::sendEvent(entered, &dropped);
    return dropped.isAccepted();
}

} // namespace test_support
