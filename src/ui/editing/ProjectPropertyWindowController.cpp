#include "ui/editing/ProjectPropertyWindowController.h"

#include "model/SlideshowProject.h"
#include "platform/foundation/StringTable.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>

ProjectPropertyWindowController::ProjectPropertyWindowController(ProjectSource project, QWidget* parent)
    : QDialog(parent), projectSource(std::move(project)), nameField(new QLineEdit(this)),
      musicVideoBox(new QCheckBox(tr_("Music video: the photos last as long as the music"), this)),
      ok(new QPushButton(tr_("OK"), this)), cancel(new QPushButton(tr_("Cancel"), this)) {
    setObjectName("ProjectPropertyWindow");
    nameField->setObjectName("nameTextField");
    nameField->setMinimumWidth(280);
    musicVideoBox->setObjectName("musicVideoButton");
    ok->setObjectName("okButton");
    ok->setDefault(true);
    cancel->setObjectName("cancelButton");
    cancel->setAutoDefault(false);
    auto* buttons = new QHBoxLayout; // the form below takes it
    buttons->addStretch();
    buttons->addWidget(cancel);
    buttons->addWidget(ok);
    auto* form = new QFormLayout(this); // the window owns its layout
    form->addRow(tr_("Project name:"), nameField);
    form->addRow(QString(), musicVideoBox);
    form->addRow(buttons);
    connect(ok, &QPushButton::clicked, this, &ProjectPropertyWindowController::okButtonClicked);
    connect(cancel, &QPushButton::clicked, this, &ProjectPropertyWindowController::reject);
}

void ProjectPropertyWindowController::windowDidLoad() {
    setWindowTitle(forNewProject ? tr_("New Project") : tr_("Project Properties"));
    if (!forNewProject) {
        if (const auto project = projectSource()) {
            musicVideo = project->bIsMusicSideshow();
            name = project->strProjectTitle();
        }
    }
    nameField->setText(name);
    musicVideoBox->setChecked(musicVideo);
}

void ProjectPropertyWindowController::getDataFromController() {
    name = nameField->text();
    musicVideo = musicVideoBox->isChecked();
}

void ProjectPropertyWindowController::okButtonClicked() {
    getDataFromController();
    done(1);
}

void ProjectPropertyWindowController::reject() {
    getDataFromController();
    done(0);
}

void ProjectPropertyWindowController::closeEvent(QCloseEvent* event) {
    getDataFromController();
    done(0);
    event->accept();
}
