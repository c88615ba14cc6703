#include "ui/editing/TransitionImageView.h"

#include "ui/UiNotifications.h"
#include "ui/editing/TransitionSelectViewController.h"

#include <QMouseEvent>

TransitionImageView::TransitionImageView(ProjectSource project, QWidget* parent)
    : PhotoIconView(parent), projectSource(std::move(project)) {
    auto& center = platform::NotificationCenter::defaultCenter();
    selectedObserver = platform::ObserverHandle(
        center,
        center.addObserver(kNotifyTransitionItemSelected, [this](const platform::Notification& notification) {
            DismissTransitionView(notification);
        }));
}

void TransitionImageView::mousePressEvent(QMouseEvent* event) {
    PhotoIconView::mousePressEvent(event); // the cell's slide becomes current
    if (callOut || !window()->isVisible())
        return;
    const QPoint topMiddle(width() / 2, 0);
    auto* picker = new TransitionSelectViewController(projectSource); // the call-out takes it
    callOut = AWAttachedWindow::create(picker, mapTo(window(), topMiddle), window(), AWSideAbove, 0.0f);
    connect(callOut, &AWAttachedWindow::didResignKey, this, &TransitionImageView::windowDidResignKey);
    callOut->show();
    callOut->raise();
    callOut->activateWindow();
}

void TransitionImageView::windowDidResignKey() {
    if (!callOut)
        return;
    callOut->closeAndRelease();
    callOut = nullptr;
    if (QWidget* owner = window()) {
        owner->raise();
        owner->activateWindow();
    }
}
