#pragma once

#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "ui/editing/ProjectSource.h"

#include <QDialog>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>

class QPixmap;

// The window that stays up while a movie is exported, a DVD is encoded and authored, or a movie is uploaded:
// a bar from 0 to 100, a line of information under it and one button.
//
// While work runs, the button and the window's close box cancel it: the open project's cancel flag is set
// and "NOTIFY_CANCEL_ENCODING_VIDEO" posted. The program ends the window with endModal(), which is not a
// cancel, also before the window has run. Once finishedSuccess() or finishedError() has told the outcome, the
// button ("OK" or "Close") only closes the window. Each window starts with the project's cancel flag
// cleared. Main thread only; DVD authoring's progress may be posted from any thread.
class ExportProgressWindowController : public QDialog {
    Q_OBJECT
public:
    // The project holds the cancel flag the export reads.
    explicit ExportProgressWindowController(ProjectSource project, QWidget* parent = nullptr);
    ~ExportProgressWindowController() override;

    void setTitle(const QString& title);
    // The bar shows fraction x 100, to a tenth.
    void updateProgress(double fraction);
    void setInfoText(const QString& text);
    // The outcome: the text replaces the information, the bar goes, the button only closes.
    void finishedSuccess(const QString& text);
    void finishedError(const QString& text);
    // The picture above the bar that the uploader fills; hidden while it holds none.
    QLabel* progressBanner() const { return banner; }
    void setProgressBanner(const QPixmap& picture);
    // For work that takes a while to stop (a burn): its Cancel asks the work to stop and the window stays,
    // saying so, until the program tells the outcome (finishedError) or ends it.
    void setStaysUntilCancelEnds(bool stays) { staysUntilCancelEnds = stays; }
    bool isCancelling() const { return cancelling; }
    // DVD authoring's progress, already 0 to 100.
    void dvdAuthorProgressChanged(double percent);
    void cancelButtonClicked();

    // Runs the window modally until it ends; returns at once when it was ended before it ran.
    int runModal();
    // Ends the window from the program: the work is done or has failed.
    void endModal();
    bool hasEnded() const { return state == State::Ended; }
    bool isRunning() const { return state == State::Running; }

    // What the window shows.
    double progressValue() const;
    QString infoText() const;
    QString buttonTitle() const;
    bool isProgressBarShown() const;

public slots:
    // The close box and Escape: a cancel while work runs.
    void reject() override;

private:
    enum class State { Fresh, Running, Ended };
    void finish(const QString& text, const QString& button);
    void end(int code);

    ProjectSource projectSource;
    QPointer<QLabel> banner;
    QPointer<QProgressBar> bar;
    QPointer<QLabel> myField1;
    QPointer<QPushButton> buttonCancel;
    State state = State::Fresh;
    bool finished = false; // the outcome is shown; nothing runs any more
    bool staysUntilCancelEnds = false;
    bool cancelling = false; // the Cancel was asked for; the work has not ended yet
    platform::MainThreadGate gate;
    platform::ObserverHandle authorProgress;
};
