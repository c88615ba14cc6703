#pragma once

#include "ui/controls/AWAttachedWindow.h"

#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QRectF>

#include <functional>
#include <optional>

class QWidget;
struct MainWindowOutlets;
namespace platform {
class Scheduler;
}

// Which of the window's call-outs a click or a loss of focus is about.
enum class CallOutKind { Theme, Transition, Duration, MusicOptions, PhotoMusicSync };

// The call-outs the document window opens over its timeline and buttons: the theme list and the cells'
// transition and duration pop-overs, and what every call-out of the window shares (the music's too): the
// view shown last, the side that keeps it inside the window, and the loss of focus that turns a click on
// its own control into the second click. Main thread only.
class CallOuts : public QObject {
    Q_OBJECT
public:
    struct Hooks {
        std::function<void()> stop;              // the show stops before the theme list opens
        std::function<QWidget*()> makeThemeList; // null opens nothing
    };
    // The outlets are read when a call-out opens, so they may be filled in later.
    CallOuts(const MainWindowOutlets& outlets, platform::Scheduler& clock, Hooks hooks);

    // ---- shared by every call-out of the window
    // The view shown in the call-out opened last; null once that call-out closed.
    QWidget* view() const { return callOutView; }
    void setView(QWidget* view) { callOutView = view; }
    // A call-out showing `view` is closing.
    void forgetView(const QWidget* view);
    // Above the point, centred, unless that leaves the window (or the screen) at one side.
    int sideAboveOnScreen(const QWidget& view, const QPointF& point) const;
    // Whether `view` shown at `side` of the point (window coordinates) stays inside the window and the screen
    // from left to right.
    bool fitsAcross(const QWidget& view, const QPointF& point, int side) const;
    // A call-out that lost the focus to a click on its own control has just closed: that click is its
    // second, which closes and opens nothing.
    void noteClosedByFocus(CallOutKind kind);
    bool takeClosedByFocus(CallOutKind kind);

    // ---- the cells' call-outs, standing above a rectangle of the timeline (the call-out takes the view)
    AWAttachedWindow* transitionCallOut() const { return transition; }
    AWAttachedWindow* durationCallOut() const { return duration; }
    void openTransitionCallOut(QWidget* picker, const QRectF& timelineRect);
    void openDurationCallOut(QWidget* view, const QRectF& timelineRect);
    void closeTransitionCallOut();
    // The duration pop-over applies its edits first.
    void closeDurationCallOut();

    // ---- the theme list
    AWAttachedWindow* themeCallOut() const { return theme; }
    void themeButtonClicked();
    void closeThemeCallOut();

private:
    AWAttachedWindow* openCellCallOut(CallOutKind kind, QWidget* view, const QRectF& timelineRect);

    const MainWindowOutlets& ui;
    platform::Scheduler& clock;
    Hooks hooks;
    QPointer<AWAttachedWindow> theme, transition, duration;
    QPointer<QWidget> callOutView;
    struct FocusClose {
        CallOutKind kind = CallOutKind::Theme;
        double at = -1.0;
    };
    std::optional<FocusClose> lastFocusClose;
};
