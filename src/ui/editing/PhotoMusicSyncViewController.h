#pragma once

#include "ui/editing/ProjectSource.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

class ControllerDialogs;

// The photo-music sync pop-over of the music strip: how many songs and slides the open project has and how
// long each lasts, the project's music-video switch, and Sync, which fits the photos' durations to the music
// after asking (optionally clearing every slide's own durations first).
class PhotoMusicSyncViewController : public QWidget {
    Q_OBJECT
public:
    PhotoMusicSyncViewController(ControllerDialogs& dialogs, ProjectSource project,
                                 QWidget* parent = nullptr);

    // "Songs: %d          Duration: %@" and "Photos: %d         Duration: %@" of the project (none: 0).
    static QString musicInfoText(const SlideshowProject* project);
    static QString slideshowInfoText(const SlideshowProject* project);
    // The question before a sync; true when the user chose YES (NO is the default).
    static bool confirmSync(ControllerDialogs& dialogs);
    // Sync as both sync windows run it after the question: the preview stops, the fit runs; its result.
    static QVariantMap runSync(const SlideshowProjectRef& project, bool resetCustomizedDurations);

    void musicVideoCheckBoxClicked();
    void syncButtonClicked();

    QCheckBox* musicSlideshowCheckBox() const { return musicVideo; }
    QCheckBox* resetCustomizedDurationCheckBox() const { return resetDurations; }
    QLabel* musicInfoTextField() const { return musicInfo; }
    QLabel* slideshowInfoTextField() const { return slideshowInfo; }
    QPushButton* syncButton() const { return sync; }

private:
    void awakeFromNib();

    ControllerDialogs& dialogs;
    ProjectSource projectSource;
    QLabel *musicInfo, *slideshowInfo;
    QCheckBox *musicVideo, *resetDurations;
    QPushButton* sync;
};
