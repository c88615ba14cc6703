#include "ui/controls/TabStopButton.h"

#include <QAbstractButton>
#include <QKeyEvent>

namespace tab_stop_button {

namespace {

// A shortcut goes first to the focus widget for an override: the focused button claims its own key.
class SpacePressesFocusedButton : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::ShortcutOverride) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier) {
                key->accept();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

void makeTabStop(QAbstractButton& button) {
    button.setFocusPolicy(Qt::TabFocus);
    button.installEventFilter(new SpacePressesFocusedButton(&button)); // the button owns its filter
}

} // namespace tab_stop_button
