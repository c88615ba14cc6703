#pragma once

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidget>

namespace test_support {

// A left click at `at` in the widget, as the window system delivers one: a press, then a release.
inline void leftClick(QWidget& widget, QPointF at) {
    const QPointF global = widget.mapToGlobal(at);
    QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &release);
}

} // namespace test_support
