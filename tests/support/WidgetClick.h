#pragma once

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
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

// A key pressed on the keyboard, where the window system sends it: to the widget with the focus, else to the
// active window. False when no window takes the keyboard.
inline bool pressKey(QKeyCombination key) {
    QWidget* target =
        QApplication::focusWidget() ? QApplication::focusWidget() : QApplication::activeWindow();
    if (!target)
        return false;
    QTest::keyClick(target, key.key(), key.keyboardModifiers());
    return true;
}

} // namespace test_support
