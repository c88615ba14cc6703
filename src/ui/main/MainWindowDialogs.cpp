#include "ui/main/MainWindowDialogs.h"

#include "model/SlideshowProject.h"
#include "platform/foundation/DesktopOpener.h"
#include "platform/foundation/ErrorText.h"
#include "platform/foundation/FileUtils.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/StringTable.h"
#include "render/CompositionRegistry.h"
#include "ui/editing/ExportProgressWindowController.h"
#include "ui/editing/ProjectPropertyWindowController.h"
#include "ui/main/BurnSetupPanel.h"
#include "ui/main/MediaFileTypes.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QString kErrorTitle = QStringLiteral("ERROR");
const QString kSheetName = QStringLiteral("AlertSheet");
constexpr int kRevealTimeoutMs = 2000;

// An alert window is titled with the program's name: its heading already says what it is about, and a
// sentence in the title bar only comes out cut short. A short heading would make the window as narrow as
// itself, its text a column of a few words and its title cut too: its lines hold at least some forty
// characters. A longer heading keeps the width the toolkit gives it, wrapped or not. Called once the texts
// are set.
void titleAlert(QMessageBox& alert) {
    alert.setWindowTitle(QStringLiteral("Vistrelle"));
    constexpr int kReadableCharacters = 40;
    auto* heading = alert.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    if (!heading)
        return;
    const QFontMetrics metrics = heading->fontMetrics();
    const int readable = kReadableCharacters * metrics.averageCharWidth();
    const bool shortHeading = metrics.boundingRect(QRect(), 0, heading->text()).width() < readable;
    heading->setMinimumWidth(shortHeading ? readable : 0);
}

// Alerts that run in no loop of their own stack over the window. When one goes, the newest left takes the
// keyboard, so that Enter answers it: the window under them, which they block, would only swallow the keys.
void activateNewestSheet(QWidget* window) {
    const QList<QMessageBox*> sheets =
        window->findChildren<QMessageBox*>(kSheetName, Qt::FindDirectChildrenOnly);
    for (auto sheet = sheets.crbegin(); sheet != sheets.crend(); ++sheet)
        if ((*sheet)->isVisible()) {
            (*sheet)->raise();
            (*sheet)->activateWindow();
            return;
        }
}

// The toolkit's own file dialog opens too small for its columns and sizes them for short texts: it opens at a
// size that shows a folder's long names, each other column as wide as what it shows.
void fitFileDialog(QFileDialog& panel, const QWidget* window) {
    QSize size(900, 560);
    if (const QScreen* screen = window ? window->screen() : panel.screen())
        size = size.boundedTo(screen->availableSize());
    panel.resize(size.expandedTo(panel.sizeHint()));
    if (auto* files = panel.findChild<QTreeView*>(QStringLiteral("treeView"))) {
        QHeaderView* header = files->header();
        header->setSectionResizeMode(QHeaderView::ResizeToContents);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
    }
}

// The toolkit's dialog takes a folder that is not there for a file to choose, and types its name in: a new
// user, who has no folder of pictures or music yet, starts in the home folder instead.
QString folderThatIsThere(const QString& folder) {
    return QFileInfo(folder).isDir() ? folder : QDir::homePath();
}

} // namespace

MainWindowDialogs::MainWindowDialogs(QWidget* mainWindow, ProjectSource project)
    : window(mainWindow), projectSource(std::move(project)) {}

MainWindowDialogs::~MainWindowDialogs() = default;

// ---- the application delegate's dialogs

std::optional<NewProjectChoice> MainWindowDialogs::runNewProjectDialog() {
    return runProjectProperties(true);
}

std::optional<NewProjectChoice> MainWindowDialogs::runProjectPropertyDialog() {
    return runProjectProperties(false);
}

// Stop code 1 is OK; the close box ends with 0.
std::optional<NewProjectChoice> MainWindowDialogs::runProjectProperties(bool forNewProject) {
    ProjectPropertyWindowController dialog(projectSource, window);
    dialog.setBForNewProject(forNewProject);
    dialog.windowDidLoad();
    dialog.setWindowModality(Qt::ApplicationModal);
    if (dialog.exec() != 1)
        return std::nullopt;
    return NewProjectChoice{dialog.strProjectName(), dialog.bMusicVideo()};
}

QUrl MainWindowDialogs::runOpenPanel(const QString& startFolder, const QString& projectExtension) {
    // A project is a folder ending in ".<extension>"; the panel offers folders and the delegate checks
    // that the chosen one is a project.
    QFileDialog panel(window, tr_("Open Project"), folderThatIsThere(startFolder));
    fitFileDialog(panel, window);
    panel.setFileMode(QFileDialog::Directory);
    panel.setOption(QFileDialog::ShowDirsOnly, true);
    panel.setNameFilter(QStringLiteral("*.%1").arg(projectExtension));
    // Opening a project's folder (a double click) chooses the project, as a double click opens a document,
    // rather than showing its insides.
    QUrl opened;
    QObject::connect(
        &panel, &QFileDialog::directoryEntered, &panel,
        [&panel, &opened, suffix = "." + projectExtension](const QString& folder) {
            if (!folder.endsWith(suffix))
                return;
            opened = QUrl::fromLocalFile(folder);
            static_cast<QDialog&>(panel).done(QDialog::Accepted);
        },
        Qt::QueuedConnection);
    if (panel.exec() != QDialog::Accepted)
        return QUrl();
    if (!opened.isEmpty())
        return opened;
    return panel.selectedUrls().isEmpty() ? QUrl() : panel.selectedUrls().first();
}

void MainWindowDialogs::showAlertSheet(const QString& title, const QString& message, const QString& button) {
    auto* alert = new QMessageBox(window); // deletes itself when closed
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setTextFormat(Qt::PlainText);
    if (title == kErrorTitle) {
        alert->setText(message);
        alert->setInformativeText(kErrorTitle);
    } else {
        alert->setText(title);
        alert->setInformativeText(message);
    }
    titleAlert(*alert);
    // Its text may name a file or an address to go to by hand.
    alert->setTextInteractionFlags(Qt::TextSelectableByMouse);
    if (auto* details = alert->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
        details->setTextInteractionFlags(Qt::TextSelectableByMouse);
    alert->setObjectName(kSheetName);
    alert->setDefaultButton(alert->addButton(button, QMessageBox::AcceptRole));
    alert->setWindowModality(Qt::WindowModal);
    if (window)
        QObject::connect(alert, &QDialog::finished, window, [shownOver = window] {
            if (shownOver)
                activateNewestSheet(shownOver);
        });
    alert->open();
}

UnsavedEditsChoice MainWindowDialogs::askAboutUnsavedEdits(const QString& folder, const QString& reason) {
    QMessageBox box(window);
    box.setIcon(QMessageBox::Warning);
    box.setTextFormat(Qt::PlainText);
    box.setWindowTitle(tr_("The project could not be saved"));
    box.setText(tr_("Your changes to the project in \"%1\" could not be saved.").arg(folder));
    box.setInformativeText(
        reason + QStringLiteral("\n\n") +
        tr_("Make the folder writable and try again, close the project without the changes, "
            "or keep it open."));
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

// ---- the export-progress window and the burn

void MainWindowDialogs::setExportProgressWindow(ExportProgressWindowController* exportWindow) {
    progress = exportWindow;
}

ExportProgressWindowController& MainWindowDialogs::exportWindow() {
    if (progress)
        return *progress;
    if (!ownProgress || ownProgress->hasEnded())
        ownProgress = std::make_unique<ExportProgressWindowController>(projectSource, window);
    return *ownProgress;
}

void MainWindowDialogs::updateExportProgress(double value, const QString& text) {
    ExportProgressWindowController& dialog = exportWindow();
    dialog.updateProgress(value);
    dialog.setInfoText(text);
}

void MainWindowDialogs::closeExportProgress() {
    exportWindow().endModal();
}

void MainWindowDialogs::runExportProgressModal() {
    exportWindow().runModal();
}

std::shared_ptr<platform::disc::DiscDrive> MainWindowDialogs::runBurnSetupPanel() {
    const auto project = projectSource();
    const QString image = platform::firstFreePath(
        SlideshowProject::strOutputVideoPath(),
        SlideshowProject::fileNameForTitle(project ? project->strProjectTitle() : QString()), ".iso");
    BurnSetupPanel panel(BurnSetupPanel::systemDrives(), image, window);
    panel.setWindowModality(Qt::ApplicationModal);
    if (panel.exec() != QDialog::Accepted)
        return nullptr;
    QString error;
    auto drive = panel.takeChosenDrive(&error);
    if (!drive && !error.isEmpty())
        showAlertSheet(kErrorTitle, platform::errorSentence(error, tr_("The disc drive could not be used.")),
                       tr_("OK"));
    return drive;
}

// A burn takes a moment to stop: after its Cancel the window stays, saying so, until the burn has ended.
void MainWindowDialogs::updateBurnProgress(double fraction, const QString& phase) {
    if (!burnProgress || burnProgress->hasEnded()) {
        burnProgress = std::make_unique<ExportProgressWindowController>(projectSource, window);
        burnProgress->setObjectName("BurnProgressWindow");
        burnProgress->setTitle(tr_("Burn DVD"));
        burnProgress->setStaysUntilCancelEnds(true);
        burnProgress->open();
    }
    if (burnProgress->isCancelling())
        return;
    burnProgress->updateProgress(fraction);
    burnProgress->setInfoText(phase);
}

void MainWindowDialogs::closeBurnProgress(const QString& resultText) {
    if (!burnProgress || burnProgress->hasEnded())
        return;
    if (resultText.isEmpty())
        burnProgress->endModal();
    else
        burnProgress->finishedSuccess(resultText);
}

void MainWindowDialogs::burnCancelled(const QString& text) {
    if (burnProgress && !burnProgress->hasEnded())
        burnProgress->finishedError(text);
}

ExportProgressWindowController* MainWindowDialogs::burnProgressWindow() const {
    return burnProgress && !burnProgress->hasEnded() ? burnProgress.get() : nullptr;
}

QString MainWindowDialogs::runMPEGIIOpenPanel() {
    QFileDialog panel(window, tr_("Choose an MPEG-2 Stream"));
    fitFileDialog(panel, window);
    panel.setFileMode(QFileDialog::ExistingFile);
    panel.setNameFilter(tr_("MPEG-2 streams (*.mpg)"));
    if (panel.exec() != QDialog::Accepted || panel.selectedFiles().isEmpty())
        return QString();
    return QFileInfo(panel.selectedFiles().first()).canonicalFilePath();
}

// ---- the controller's dialogs

void MainWindowDialogs::runModalAlert(const QString& message, const QString& informativeText) {
    QMessageBox alert(window);
    alert.setTextFormat(Qt::PlainText);
    alert.setText(message);
    alert.setInformativeText(informativeText);
    titleAlert(alert);
    alert.setWindowModality(Qt::ApplicationModal);
    alert.addButton(tr_("OK"), QMessageBox::AcceptRole);
    alert.exec();
}

QStringList MainWindowDialogs::runMediaOpenPanel(MediaKind kind, const QString& title) {
    using namespace media_file_types;
    QStringList extensions = musicExtensions();
    QStandardPaths::StandardLocation start = QStandardPaths::MusicLocation;
    if (kind == MediaKind::Photos) {
        extensions = photoExtensions();
        start = QStandardPaths::PicturesLocation;
    } else if (kind == MediaKind::Clips) {
        extensions = videoExtensions();
        start = QStandardPaths::MoviesLocation;
    } else if (kind == MediaKind::Compositions) {
        extensions = CompositionRegistry::fileTypes();
        start = QStandardPaths::HomeLocation;
    }
    QFileDialog panel(window, title, folderThatIsThere(QStandardPaths::writableLocation(start)));
    fitFileDialog(panel, window);
    panel.setFileMode(QFileDialog::ExistingFiles);
    panel.setNameFilter(QStringLiteral("%1 (%2)").arg(title, nameFilterPatterns(extensions)));
    if (panel.exec() != QDialog::Accepted)
        return {};
    return panel.selectedFiles();
}

QString MainWindowDialogs::runFolderOpenPanel(const QString& startFolder) {
    QFileDialog panel(window, QString(), folderThatIsThere(startFolder));
    fitFileDialog(panel, window);
    panel.setFileMode(QFileDialog::Directory);
    panel.setOption(QFileDialog::ShowDirsOnly);
    if (panel.exec() != QDialog::Accepted || panel.selectedFiles().isEmpty())
        return {};
    return panel.selectedFiles().first();
}

int MainWindowDialogs::runModalWindow(QDialog& dialog) {
    dialog.setWindowModality(Qt::ApplicationModal);
    return dialog.exec();
}

std::unique_ptr<QMessageBox> MainWindowDialogs::makeQuestionAlert(QWidget* parent, const QString& message,
                                                                  const QString& informativeText,
                                                                  const QString& defaultButton,
                                                                  const QString& otherButton,
                                                                  UnchangedBy unchanged) {
    auto alert = std::make_unique<QMessageBox>(parent);
    alert->setObjectName("QuestionAlert");
    alert->setTextFormat(Qt::PlainText);
    alert->setText(message);
    alert->setInformativeText(informativeText);
    titleAlert(*alert);
    alert->setWindowModality(Qt::ApplicationModal);
    QPushButton* first = alert->addButton(defaultButton, QMessageBox::AcceptRole);
    QPushButton* second = alert->addButton(otherButton, QMessageBox::RejectRole);
    alert->setDefaultButton(first);
    alert->setEscapeButton(unchanged == UnchangedBy::DefaultButton ? first : second);
    return alert;
}

bool MainWindowDialogs::runQuestionAlert(const QString& message, const QString& informativeText,
                                         const QString& defaultButton, const QString& otherButton,
                                         UnchangedBy unchanged) {
    const auto alert =
        makeQuestionAlert(window, message, informativeText, defaultButton, otherButton, unchanged);
    alert->exec();
    return alert->clickedButton() == alert->defaultButton();
}

void MainWindowDialogs::revealFile(const QString& path) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        QDBusInterface manager(QStringLiteral("org.freedesktop.FileManager1"),
                               QStringLiteral("/org/freedesktop/FileManager1"),
                               QStringLiteral("org.freedesktop.FileManager1"), bus);
        if (manager.isValid()) {
            manager.setTimeout(kRevealTimeoutMs);
            const QDBusMessage reply = manager.call(
                QStringLiteral("ShowItems"), QStringList{QUrl::fromLocalFile(path).toString()}, QString());
            if (reply.type() == QDBusMessage::ReplyMessage)
                return;
        }
    }
    openOrTell(QUrl::fromLocalFile(QFileInfo(path).absolutePath()), tr_("The folder could not be shown"),
               tr_("No file manager could be started. The file is here:") + QStringLiteral("\n\n") + path);
}

void MainWindowDialogs::openWebPage(const QUrl& address) {
    openOrTell(address, tr_("The web page could not be opened"),
               tr_("No web browser could be started. Open this address in your browser:") +
                   QStringLiteral("\n\n") + address.toString());
}

// Without an opener, or when it finds nothing to open the address with, the alert gives what to open by hand.
void MainWindowDialogs::openOrTell(const QUrl& address, const QString& title, const QString& message) {
    const std::weak_ptr<bool> guard = alive;
    const auto tell = [this, guard, title, message](bool opened) {
        if (!opened && guard.lock())
            showAlertSheet(title, message, tr_("OK"));
    };
    if (!platform::openWithDesktop(address, tell))
        tell(false);
}
