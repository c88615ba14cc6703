#include "ui/main/MainWindowDialogs.h"

#include "model/SlideshowProject.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/StringTable.h"
#include "ui/main/MediaFileTypes.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QString kErrorTitle = QStringLiteral("ERROR");
constexpr int kProgressSteps = 1000;

} // namespace

MainWindowDialogs::MainWindowDialogs(QWidget* mainWindow) : window(mainWindow) {}

MainWindowDialogs::~MainWindowDialogs() = default;

// ---- the application delegate's dialogs

// The least project-property dialog: a name and the music-video flag.
std::optional<NewProjectChoice> MainWindowDialogs::runNewProjectDialog() {
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

QUrl MainWindowDialogs::runOpenPanel(const QString& startFolder, const QString& projectExtension) {
    // A project is a folder ending in ".<extension>"; the panel offers folders and the delegate checks
    // that the chosen one is a project.
    QFileDialog panel(window, tr_("Open Project"), startFolder);
    panel.setFileMode(QFileDialog::Directory);
    panel.setOption(QFileDialog::ShowDirsOnly, true);
    panel.setNameFilter(QStringLiteral("*.%1").arg(projectExtension));
    if (panel.exec() != QDialog::Accepted || panel.selectedUrls().isEmpty())
        return QUrl();
    return panel.selectedUrls().first();
}

void MainWindowDialogs::showAlertSheet(const QString& title, const QString& message, const QString& button) {
    auto* alert = new QMessageBox(window); // deletes itself when closed
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setTextFormat(Qt::PlainText);
    alert->setWindowTitle(title);
    if (title == kErrorTitle) {
        alert->setText(message);
        alert->setInformativeText(kErrorTitle);
    } else {
        alert->setText(title);
        alert->setInformativeText(message);
    }
    alert->addButton(button, QMessageBox::AcceptRole);
    alert->setWindowModality(Qt::WindowModal);
    alert->open();
}

// ---- the export-progress window

QDialog& MainWindowDialogs::progressWindow() {
    if (progress)
        return *progress;
    progress = std::make_unique<QDialog>();
    progress->setWindowModality(Qt::ApplicationModal);
    progress->setObjectName("ExportProgressWindow");
    progress->setWindowTitle(tr_("Export"));
    progressText = new QLabel(progress.get());
    progressText->setMinimumWidth(360);
    progressBar = new QProgressBar(progress.get());
    progressBar->setRange(0, kProgressSteps);
    auto* cancel = new QPushButton(tr_("Cancel"), progress.get());
    QObject::connect(cancel, &QPushButton::clicked, progress.get(), [] {
        if (const auto project = SlideshowProject::currentMainProject())
            project->setBExportProgressCancelButtonClicked(true);
        platform::NotificationCenter::defaultCenter().post(QStringLiteral("NOTIFY_CANCEL_ENCODING_VIDEO"));
    });
    auto* layout = new QVBoxLayout(progress.get());
    layout->addWidget(progressText);
    layout->addWidget(progressBar);
    layout->addWidget(cancel, 0, Qt::AlignRight);
    return *progress;
}

void MainWindowDialogs::updateExportProgress(double value, const QString& text) {
    progressWindow();
    progressBar->setValue(int(std::clamp(value, 0.0, 1.0) * kProgressSteps));
    progressText->setText(text);
}

void MainWindowDialogs::closeExportProgress() {
    if (progress)
        progress->done(QDialog::Accepted);
}

void MainWindowDialogs::runExportProgressModal() {
    QDialog& dialog = progressWindow();
    progressBar->setValue(0);
    dialog.exec();
}

// ---- the controller's dialogs

void MainWindowDialogs::runModalAlert(const QString& message, const QString& informativeText) {
    QMessageBox alert(window);
    alert.setTextFormat(Qt::PlainText);
    alert.setText(message);
    alert.setInformativeText(informativeText);
    alert.setWindowModality(Qt::ApplicationModal);
    alert.addButton(tr_("OK"), QMessageBox::AcceptRole);
    alert.exec();
}

QStringList MainWindowDialogs::runMediaOpenPanel(MediaKind kind, const QString& title) {
    using namespace media_file_types;
    const QStringList& extensions = kind == MediaKind::Photos  ? photoExtensions()
                                    : kind == MediaKind::Clips ? videoExtensions()
                                                               : musicExtensions();
    const QStandardPaths::StandardLocation start = kind == MediaKind::Photos
                                                       ? QStandardPaths::PicturesLocation
                                                   : kind == MediaKind::Clips ? QStandardPaths::MoviesLocation
                                                                              : QStandardPaths::MusicLocation;
    QFileDialog panel(window, title, QStandardPaths::writableLocation(start));
    panel.setFileMode(QFileDialog::ExistingFiles);
    panel.setNameFilter(QStringLiteral("%1 (%2)").arg(title, nameFilterPatterns(extensions)));
    if (panel.exec() != QDialog::Accepted)
        return {};
    return panel.selectedFiles();
}

int MainWindowDialogs::runModalWindow(QDialog& dialog) {
    dialog.setWindowModality(Qt::ApplicationModal);
    return dialog.exec();
}
