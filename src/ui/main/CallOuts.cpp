#include "ui/main/CallOuts.h"

#include "platform/foundation/Scheduler.h"
#include "ui/editing/PopOverAppliesAtClose.h"
#include "ui/editing/TimelineContentView.h"
#include "ui/main/MainWindowOutlets.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QScreen>

#include <utility>

namespace {

// The arrow points this far below the top of the anchor rectangle.
constexpr double kArrowDrop = 18.0;
// How soon after a call-out lost the focus a click on its control still counts as the second click.
constexpr double kSecondClickSeconds = 0.5;

} // namespace

CallOuts::CallOuts(const MainWindowOutlets& outlets, platform::Scheduler& scheduler, Hooks callbacks)
    : ui(outlets), clock(scheduler), hooks(std::move(callbacks)) {}

void CallOuts::forgetView(const QWidget* view) {
    if (callOutView == view)
        callOutView = nullptr;
}

// Above the point, centred, unless that leaves the window (or the screen) at one side: then it stands to the
// other side of the arrow (the cells at the strip's ends lie near the window's edges).
int CallOuts::sideAboveOnScreen(const QWidget& view, const QPointF& point) const {
    for (const int side : {AWSideAbove, AWSideAboveRightward, AWSideAboveLeftward})
        if (fitsAcross(view, point, side))
            return side;
    return AWSideAbove;
}

bool CallOuts::fitsAcross(const QWidget& view, const QPointF& point, int side) const {
    const QScreen* screen = ui.mainWindow ? ui.mainWindow->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return true;
    const QPointF global = ui.mainWindow ? QPointF(ui.mainWindow->mapToGlobal(point.toPoint())) : point;
    QRect area = screen->availableGeometry();
    if (ui.mainWindow)
        area &= QRect(ui.mainWindow->mapToGlobal(QPoint(0, 0)), ui.mainWindow->size());
    const QRectF visible = AWAttachedWindow::toScreenSpace(QRectF(area));
    const QRectF frame = aw_geometry::layout(QSizeF(view.size()), AWAttachedWindow::toScreenSpace(global),
                                             side, 0.0f, AWAppearance(), 1.0f)
                             .windowFrame;
    return frame.left() >= visible.left() && frame.right() <= visible.right();
}

void CallOuts::noteClosedByFocus(CallOutKind kind) {
    lastFocusClose = FocusClose{kind, clock.now()};
}

bool CallOuts::takeClosedByFocus(CallOutKind kind) {
    const std::optional<FocusClose> last = std::exchange(lastFocusClose, std::nullopt);
    return last && last->kind == kind && clock.now() - last->at < kSecondClickSeconds;
}

// ---- the cells' call-outs

void CallOuts::openTransitionCallOut(QWidget* picker, const QRectF& timelineRect) {
    transition = openCellCallOut(CallOutKind::Transition, picker, timelineRect);
}

void CallOuts::openDurationCallOut(QWidget* view, const QRectF& timelineRect) {
    duration = openCellCallOut(CallOutKind::Duration, view, timelineRect);
}

// The call-out stands above the anchor rectangle's middle, its arrow 18 points below the rectangle's top.
AWAttachedWindow* CallOuts::openCellCallOut(CallOutKind kind, QWidget* view, const QRectF& timelineRect) {
    const QRectF widgetRect = TimelineContentView::toWidget(timelineRect);
    QPointF point(widgetRect.center().x(), widgetRect.top() + kArrowDrop);
    if (ui.scrollContentView && ui.mainWindow)
        point = ui.scrollContentView->mapTo(ui.mainWindow, point.toPoint());
    callOutView = view;
    AWAttachedWindow* callOut =
        AWAttachedWindow::create(view, point, ui.mainWindow, sideAboveOnScreen(*view, point), 0.0f);
    connect(callOut, &AWAttachedWindow::didResignKey, this, [this, kind, opened = QPointer(callOut)] {
        // A call-out already closed (its hiding takes the focus away too) is no concern.
        if (!opened || opened != (kind == CallOutKind::Transition ? transition : duration))
            return;
        noteClosedByFocus(kind);
        if (kind == CallOutKind::Transition)
            closeTransitionCallOut();
        else
            closeDurationCallOut();
    });
    connect(callOut, &AWAttachedWindow::escapePressed, this, [this, kind] {
        if (kind == CallOutKind::Transition)
            closeTransitionCallOut();
        else
            closeDurationCallOut();
    });
    callOut->show();
    callOut->raise();
    callOut->activateWindow();
    return callOut;
}

void CallOuts::closeTransitionCallOut() {
    const QPointer<AWAttachedWindow> callOut = std::exchange(transition, nullptr);
    if (!callOut)
        return;
    forgetView(callOut->view());
    callOut->closeAndRelease();
}

void CallOuts::closeDurationCallOut() {
    const QPointer<AWAttachedWindow> callOut = std::exchange(duration, nullptr);
    if (!callOut)
        return;
    if (auto* applying = dynamic_cast<PopOverAppliesAtClose*>(callOut->view()))
        applying->applyAtClose();
    if (callOutView == callOut->view())
        callOutView = nullptr;
    if (callOut)
        callOut->closeAndRelease();
}

// ---- the theme list

// A second click closes the call-out. The arrow points at the middle of the button's top edge, in the
// window's coordinates.
void CallOuts::themeButtonClicked() {
    if (hooks.stop)
        hooks.stop();
    if (takeClosedByFocus(CallOutKind::Theme) || theme) {
        closeThemeCallOut();
        return;
    }
    QWidget* list = hooks.makeThemeList ? hooks.makeThemeList() : nullptr;
    if (!list)
        return;
    QPointF anchor;
    if (ui.themeButton && ui.mainWindow)
        anchor = ui.themeButton->mapTo(ui.mainWindow, QPoint(ui.themeButton->width() / 2, 0));
    theme = AWAttachedWindow::create(list, anchor, ui.mainWindow, AWSideAboveRightward, 0.0f);
    connect(theme, &AWAttachedWindow::didResignKey, this, [this] {
        if (!theme)
            return; // closed already: its hiding takes the focus away too
        noteClosedByFocus(CallOutKind::Theme);
        closeThemeCallOut();
    });
    connect(theme, &AWAttachedWindow::escapePressed, this, &CallOuts::closeThemeCallOut);
    theme->show();
    theme->raise();
    theme->activateWindow();
}

void CallOuts::closeThemeCallOut() {
    if (const QPointer<AWAttachedWindow> callOut = std::exchange(theme, nullptr))
        callOut->closeAndRelease();
}
