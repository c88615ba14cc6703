#pragma once

#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "ui/editing/ClipFileCopier.h"

#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <atomic>
#include <memory>
#include <thread>

class SlideshowProject;

// The small modal window that copies one imported clip into the project, with its progress and Cancel.
// The copy starts once the window has first been drawn and runs on a thread of its own; its end reaches the
// window as a queued call that ends this window's modal run, and no other. The window cannot be closed by the
// user: Cancel, Escape and the close box only ask the copy to stop after its current chunk. The open
// project's cancel flag (shared with the exports) is the stop request; a new window clears it.
class CopyFileProgressWindowController : public QDialog {
    Q_OBJECT
public:
    // The copy goes into the project, whose cancel flag stops it.
    explicit CopyFileProgressWindowController(std::shared_ptr<SlideshowProject> project,
                                              QWidget* parent = nullptr);
    // Stops a copy still running and waits for it.
    ~CopyFileProgressWindowController() override;

    QString strSrcFilePath() const { return source; }
    void setStrSrcFilePath(const QString& path) { source = path; }
    QString strDstFilePath() const { return destination; }
    void setStrDstFilePath(const QString& path) { destination = path; }

    // Starts the copy on its thread; the window's first drawing calls it. Once only.
    void importSourceToTempDirAndMoveItToProject(const QString& sourcePath, const QString& destinationPath);
    // The copy's own outcome; Failed until it has ended.
    clip_file_copier::Result result() const { return outcome; }
    bool hasFinished() const { return finished; }
    bool hasStarted() const { return started; }
    // Waits for a copy that was started and has not ended (a modal run ended otherwise); main thread.
    void waitForCopy();

    void updateImportProgress(qint64 copied, qint64 size);
    void cancelButtonClicked();
    // "NOTIFY_CLOSE_COPY_FILE_PROGRESS_WINDOW": the window closes. A copy under way stops first, after
    // its current chunk, so that no clip lands in the project after its window has gone; one not yet
    // begun never begins.
    void notifyCloseCopyFileProgressWindow();
    static QString progressMessage(const QString& fileName, qint64 copied, qint64 size);

    QLabel* myField1() const { return message; }
    QProgressBar* progressIndicator() const { return bar; }
    QPushButton* buttonCancel() const { return cancel; }

signals:
    // Every progress message shown, as it is shown.
    void progressShown(const QString& text);

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void copyFinished(clip_file_copier::Result result);
    bool cancelRequested() const;
    void setCancelFlag(bool value);

    QString source, destination;
    std::shared_ptr<SlideshowProject> project;
    std::atomic<bool> ownCancelFlag{false}; // without an open project
    std::thread worker;
    bool copyQueued = false;
    bool started = false;
    bool finished = false;
    clip_file_copier::Result outcome;
    QLabel* message;
    QProgressBar* bar;
    QPushButton* cancel;
    platform::ObserverHandle closeObserver;
    platform::MainThreadGate gate; // last, so closed first: the observer posts to the main thread through it
};
