#include "ui/editing/EditingPanelSupport.h"

#include "model/SlideshowProject.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QScreen>
#include <QShortcut>

namespace editing_panel {

namespace {

// Escape closes the panel as its close box does (each panel's own close handling runs); children that take
// Escape themselves keep it.
class EscapeCloses : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* window = qobject_cast<QWidget*>(watched);
        if (!window || event->type() != QEvent::KeyPress ||
            static_cast<QKeyEvent*>(event)->key() != Qt::Key_Escape)
            return false;
        window->close();
        return true;
    }
};

// Escape in the parent window, live while the panel shows. Only where the parent window's own controls have
// the keyboard: a window's shortcuts also reach through its tool windows, and a panel that has the keyboard
// closes itself. Two such panels open at once share the key: each press closes one of them.
class EscapeInParentWindow : public QObject {
public:
    EscapeInParentWindow(QWidget& panel, QWidget& parentWindow)
        : QObject(&panel), panel(panel),
          shortcut(new QShortcut(QKeySequence(Qt::Key_Escape), &parentWindow)) {
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        shortcut->setEnabled(panel.isVisible());
        connect(shortcut, &QShortcut::activated, &panel, &QWidget::close);
        connect(shortcut, &QShortcut::activatedAmbiguously, &panel, &QWidget::close);
        panel.installEventFilter(this);
    }
    ~EscapeInParentWindow() override {
        delete shortcut.data(); // the parent window's; null once that window has gone
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &panel && shortcut && (event->type() == QEvent::Show || event->type() == QEvent::Hide))
            shortcut->setEnabled(event->type() == QEvent::Show);
        return false;
    }

private:
    QWidget& panel;
    QPointer<QShortcut> shortcut;
};

// Where a panel first shows: inside the parent window's top right, below its menus and buttons, so that it
// covers neither and stays on the parent's screen. Without a window manager a tool window otherwise lands
// at the screen's corner, over the menu bar.
void placeBesideParent(QWidget& window) {
    const QWidget* parent = window.parentWidget() ? window.parentWidget()->window() : nullptr;
    if (!parent || !parent->isVisible())
        return;
    const QRect frame = parent->frameGeometry();
    const int margin = 24;
    QPoint place(frame.right() - window.width() - margin, frame.top() + 120);
    if (const QScreen* screen = parent->screen()) {
        const QRect room = screen->availableGeometry();
        place.setX(std::clamp(place.x(), room.left(), std::max(room.left(), room.right() - window.width())));
        place.setY(std::clamp(place.y(), room.top(), std::max(room.top(), room.bottom() - window.height())));
    }
    // Left of the panels already showing, not on top of them.
    const QList<QWidget*> panels = parent->findChildren<QWidget*>();
    for (bool moved = true; moved;) {
        moved = false;
        for (const QWidget* other : panels)
            if (other != &window && other->isWindow() && other->isVisible() &&
                QRect(place, window.size()).intersects(other->frameGeometry())) {
                place.setX(other->frameGeometry().left() - window.width() - 10);
                moved = true;
            }
    }
    window.move(place);
}

} // namespace

void setCurrentStatus(const SlideshowProjectRef& project, int status) {
    if (project)
        project->setNCurrentStatus(status);
}

void makeToolWindow(QWidget& window, const QString& name, const QString& title) {
    window.setWindowFlags(Qt::Tool);
    window.setObjectName(name);
    window.setWindowTitle(title);
    window.installEventFilter(new EscapeCloses(&window)); // the window owns it
}

void closeOnEscapeInParentWindow(QWidget& panel) {
    if (QWidget* parent = panel.parentWidget())
        new EscapeInParentWindow(panel, *parent->window()); // the panel owns it
}

void present(QWidget& window) {
    if (!window.property("placed").toBool()) {
        window.adjustSize();
        placeBesideParent(window);
        window.setProperty("placed", true); // later the user's own place stays
    }
    window.show();
    window.raise();
    window.activateWindow();
}

} // namespace editing_panel
