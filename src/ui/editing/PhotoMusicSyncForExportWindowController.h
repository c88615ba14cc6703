#pragma once

#include "ui/editing/ProjectSource.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>

class ControllerDialogs;

// Asked before an export of a music video whose photos could not be fitted to its music by themselves: the
// songs and slides with their lengths, and Sync (fit after asking; the window stays open when the fit fails),
// Ignore (the export goes on as it is: result 1) or Cancel (result 0, as the close box).
class PhotoMusicSyncForExportWindowController : public QDialog {
    Q_OBJECT
public:
    PhotoMusicSyncForExportWindowController(ControllerDialogs& dialogs, ProjectSource project,
                                            QWidget* parent = nullptr);

    void syncButtonClicked();
    void ignoreButtonClicked() { done(1); }
    void cancelButtonClicked() { done(0); }
    // Escape ends as the close box does.
    void reject() override { done(0); }

    QLabel* musicInfoTextField() const { return musicInfo; }
    QLabel* slideshowInfoTextField() const { return slideshowInfo; }
    QPushButton* syncButton() const { return sync; }
    QPushButton* ignoreButton() const { return ignore; }
    QPushButton* cancelButton() const { return cancel; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void windowDidLoad();

    ControllerDialogs& dialogs;
    ProjectSource projectSource;
    QLabel *musicInfo, *slideshowInfo;
    QPushButton *sync, *ignore, *cancel;
};
