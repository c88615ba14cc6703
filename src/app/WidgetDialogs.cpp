#include "app/WidgetDialogs.h"

#include "platform/foundation/StringTable.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

std::optional<NewProjectChoice> WidgetDialogs::runNewProjectDialog() {
    QDialog dialog(window);
    dialog.setObjectName("ProjectPropertyWindow");
    dialog.setWindowTitle(tr_("New Project"));
    auto* name = new QLineEdit(tr_("New Project"), &dialog);
    name->setObjectName("strProjectName");
    auto* musicVideo = new QCheckBox(tr_("Music video"), &dialog);
    musicVideo->setObjectName("bMusicVideo");
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QFormLayout(&dialog);
    layout->addRow(tr_("Project name:"), name);
    layout->addRow(QString(), musicVideo);
    layout->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return NewProjectChoice{name->text(), musicVideo->isChecked()};
}

QUrl WidgetDialogs::runOpenPanel(const QString& startFolder, const QString& projectExtension) {
    // A project is a folder ending in ".<extension>"; the panel offers folders and the delegate
    // checks that the chosen one is a project.
    QFileDialog panel(window, tr_("Open Project"), startFolder);
    panel.setFileMode(QFileDialog::Directory);
    panel.setOption(QFileDialog::ShowDirsOnly, true);
    panel.setNameFilter(QStringLiteral("*.%1").arg(projectExtension));
    if (panel.exec() != QDialog::Accepted || panel.selectedUrls().isEmpty())
        return QUrl();
    return panel.selectedUrls().first();
}

void WidgetDialogs::showAlertSheet(const QString& title, const QString& message, const QString& button) {
    auto* alert = new QMessageBox(window);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setWindowTitle(title);
    alert->setText(title);
    alert->setInformativeText(message);
    alert->setTextFormat(Qt::PlainText);
    alert->addButton(button, QMessageBox::AcceptRole);
    alert->setWindowModality(Qt::WindowModal);
    alert->open();
}

UnsavedEditsChoice WidgetDialogs::askAboutUnsavedEdits(const QString& folder, const QString& reason) {
    QMessageBox box(window);
    box.setIcon(QMessageBox::Warning);
    box.setWindowTitle(tr_("The project could not be saved"));
    box.setText(tr_("Your changes to the project in \"%1\" could not be saved.").arg(folder));
    box.setInformativeText(
        reason + QStringLiteral("\n\n") +
        tr_("Make the folder writable and try again, close the project without the changes, "
            "or keep it open."));
    box.setTextFormat(Qt::PlainText);
    QPushButton* retry = box.addButton(tr_("Retry"), QMessageBox::AcceptRole);
    QPushButton* discard = box.addButton(tr_("Discard Changes"), QMessageBox::DestructiveRole);
    QPushButton* cancel = box.addButton(tr_("Cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(retry);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == retry)
        return UnsavedEditsChoice::Retry;
    return box.clickedButton() == discard ? UnsavedEditsChoice::Discard : UnsavedEditsChoice::Cancel;
}
