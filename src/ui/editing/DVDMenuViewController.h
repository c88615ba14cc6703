#pragma once

#include "platform/foundation/Scheduler.h"
#include "ui/editing/ProjectSource.h"

#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPointer>
#include <QPushButton>
#include <QStandardItemModel>
#include <QVariantMap>
#include <QWidget>

class ControllerDialogs;

// The DVD-menu page: the menu template (a gallery of the "dvdmenu" templates, one of which makes a DVD
// without menu), the menu's title and subtitle, and its song. Every choice goes straight into the project
// manager's DVD-menu settings and marks the project dirty; the page keeps none of its own. Choosing a
// template shows its menu in the preview ("NSNOTIFY_SHOW_DVD_MENU"), choosing the one without menu says so
// ("NSNOTIFY_NO_DVD_MENU" and an alert). Main thread only.
class DVDMenuViewController : public QWidget {
    Q_OBJECT
public:
    DVDMenuViewController(ControllerDialogs& dialogs, platform::Scheduler& scheduler, ProjectSource project,
                          QWidget* parent = nullptr);

    // Shows the manager's settings again: title, subtitle, template, song. Stores nothing.
    void loadDVDMmenu();
    void loadDVDBackgroundMusic();
    // The user's choice of a template in the gallery (-1: none).
    void selectTemplate(int index);
    int selectedTemplate() const;
    // The menu song chosen: the first file of paths.
    void AddDVDMenuBackgroundMusic(const QStringList& paths);
    void showMusicInfo(const QVariantMap& song);
    void SelectMusic();
    void PreviewButtonClicked();
    // The chosen template's menu in the preview, as each opening of the page shows it; nothing for the
    // template without menu, none chosen, or fewer than the three slides a menu is drawn from.
    void showChosenMenu();
    void showNoDVDAlert();
    // The template chosen when the gallery has no selection; -1 for none.
    static int fallbackTemplateIndex(int templateCount);
    // Whole seconds as "%02d:%02d", the minutes not wrapped into hours.
    static QString durationText(double seconds);

    QListView* menuCollectionView() const { return gallery; }
    QLineEdit* dvdTitleText() const { return titleField; }
    QLineEdit* dvdSubTitleText() const { return subtitleField; }
    QLabel* musicTitle() const { return songTitle; }
    QLabel* musicArtist() const { return songArtist; }
    QLabel* musicDuration() const { return songDuration; }
    QPushButton* buttonPreview() const { return preview; }

private:
    void fillGallery();
    void templateSelectionChanged();
    void showMenuOfTemplate(int index);
    void markProjectDirty() const;

    ControllerDialogs& dialogs;
    platform::Scheduler& scheduler;
    ProjectSource projectSource;
    QPointer<QListView> gallery;
    QPointer<QStandardItemModel> templates;
    QPointer<QLineEdit> titleField, subtitleField;
    QPointer<QLabel> songTitle, songArtist, songDuration;
    QPointer<QPushButton> preview, chooseSong;
    bool loading = false; // the page shows the settings; nothing is stored meanwhile
    platform::Scheduler::Handle queuedAlert;
};
