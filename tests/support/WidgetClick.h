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

// A press at `from`, moves in `steps` with the left button held, and a release `by` further, as a hand gives
// them.
inline void leftDrag(QWidget& widget, QPoint from, QPoint by, int steps = 8) {
    const auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
        QMouseEvent event(type, at, widget.mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(&widget, &event);
    };
    send(QEvent::MouseButtonPress, from, Qt::LeftButton);
    for (int i = 1; i <= steps; ++i)
        send(QEvent::MouseMove, from + by * i / steps, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, from + by, Qt::NoButton);
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

// Text typed key by key, each where the window system sends it (a key may move the keyboard elsewhere).
// False when no window takes the keyboard.
inline bool typeText(const QString& text) {
    for (const QChar character : text) {
        QWidget* target =
            QApplication::focusWidget() ? QApplication::focusWidget() : QApplication::activeWindow();
        if (!target)
            return false;
        QTest::keyClick(target, character.toLatin1());
    }
    return true;
}

} // namespace test_support
