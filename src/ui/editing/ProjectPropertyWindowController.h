#pragma once

#include "ui/editing/ProjectSource.h"

#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>

// A project's name and whether it is a music video (a slideshow fitted to the length of its music), for a
// new project or (bForNewProject false) the open one. OK ends with 1; Cancel, Escape and the close box end
// with 0, which makes or changes nothing. Each reads the fields first, so the values stay readable.
class ProjectPropertyWindowController : public QDialog {
    Q_OBJECT
public:
    // The properties shown, when not for a new project, are the project's.
    explicit ProjectPropertyWindowController(ProjectSource project, QWidget* parent = nullptr);

    // Fills the fields: from the open project when the window is not for a new one. Called once the mode
    // is set, before the window runs.
    void windowDidLoad();
    void getDataFromController();
    void okButtonClicked();
    // Cancel and Escape end as the close box does.
    void reject() override;

    QString strProjectName() const { return name; }
    void setStrProjectName(const QString& value) { name = value; }
    bool bMusicVideo() const { return musicVideo; }
    void setBMusicVideo(bool value) { musicVideo = value; }
    bool bForNewProject() const { return forNewProject; }
    void setBForNewProject(bool value) { forNewProject = value; }

    QLineEdit* nameTextField() const { return nameField; }
    QCheckBox* musicVideoButton() const { return musicVideoBox; }
    QPushButton* okButton() const { return ok; }
    QPushButton* cancelButton() const { return cancel; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    ProjectSource projectSource;
    QString name = QStringLiteral("New Project");
    bool musicVideo = false;
    bool forNewProject = true;
    QLineEdit* nameField;
    QCheckBox* musicVideoBox;
    QPushButton* ok;
    QPushButton* cancel;
};
