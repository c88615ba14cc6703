#pragma once

#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"

#include <QDialog>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>

// A small window of the DVD authoring's own: a bar that follows "NSNOTIFY_DVDAUTHOR_PROGRESS" (0 to 100,
// posted from the authoring thread) and a Cancel that posts "NSNOTIFY_DVDAUTHOR_CANCELLED" and ends the
// window's modal run. The DVD command shows its authoring in the export-progress window instead; this one is
// there for a caller that wants the authoring alone in view. Main thread only.
class DVDAuthorProgressWindowController : public QDialog {
public:
    explicit DVDAuthorProgressWindowController(QWidget* parent = nullptr);
    ~DVDAuthorProgressWindowController() override;

    // Centres the window, sets the bar to 0 and starts following the authoring's progress.
    void windowDidLoad();
    // The notification's object: the percentage.
    void authorProgressChanged(const platform::Notification& notification);
    void CancelButtonClicked();
    void windowWillClose() {}

    QProgressBar* authorProgress() const { return bar; }
    QPushButton* cancelButton() const { return button; }
    double progressValue() const { return bar->value() / 10.0; }

private:
    void setPercent(double percent);

    QPointer<QProgressBar> bar;
    QPointer<QPushButton> button;
    platform::MainThreadGate gate;
    platform::ObserverHandle progress;
};
