#pragma once

#include "platform/foundation/NotificationCenter.h"
#include "ui/controls/AWAttachedWindow.h"
#include "ui/editing/ProjectSource.h"
#include "ui/editing/TimeLineCellViewController.h"

#include <QPointer>

// A cell's transition icon that opens the transition picker itself: a press makes the cell's slide
// current and shows the picker in a call-out above the icon, unless one is showing; the call-out closes
// when it loses the focus (also after a choice).
class TransitionImageView : public PhotoIconView {
    Q_OBJECT
public:
    // The picker edits the project.
    explicit TransitionImageView(ProjectSource project, QWidget* parent = nullptr);

    AWAttachedWindow* attachedWindow() const { return callOut; }
    void windowDidResignKey();

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    void DismissTransitionView(const platform::Notification&) {}

    ProjectSource projectSource;
    QPointer<AWAttachedWindow> callOut;
    platform::ObserverHandle selectedObserver; // goes with the view
};
