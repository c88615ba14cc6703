#include "ui/editing/CopyFileProgressWindowController.h"

#include "model/SlideshowProject.h"
#include "platform/foundation/StringTable.h"
#include "ui/UiNotifications.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QVBoxLayout>

using clip_file_copier::Outcome;
using clip_file_copier::Result;

namespace {

constexpr qint64 kMebibyte = 1048576;

QString startMessage(const QString& fileName) {
    return tr_("Importing video: %1, please wait ...").arg(fileName);
}

} // namespace

CopyFileProgressWindowController::CopyFileProgressWindowController(std::shared_ptr<SlideshowProject> target,
                                                                   QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), project(std::move(target)),
      message(new QLabel(this)), bar(new QProgressBar(this)), cancel(new QPushButton(tr_("Cancel"), this)) {
    setObjectName("CopyFileProgressWindowController");
    setWindowTitle(tr_("Importing Video"));
    message->setObjectName("myField1");
    message->setMinimumWidth(380);
    message->setWordWrap(true);
    bar->setObjectName("progressIndicator");
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
    cancel->setObjectName("buttonCancel");
    cancel->setAutoDefault(false);
    auto* column = new QVBoxLayout(this); // the window owns its layout
    column->setContentsMargins(18, 16, 18, 14);
    column->addWidget(message);
    column->addWidget(bar);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(cancel);
    column->addLayout(row);
    connect(cancel, &QPushButton::clicked, this, &CopyFileProgressWindowController::cancelButtonClicked);
    setCancelFlag(false);
    auto& center = platform::NotificationCenter::defaultCenter();
    closeObserver = platform::ObserverHandle(
        center, center.addObserver(kNotifyCloseCopyFileProgressWindow,
                                   [this, poster = gate.poster()](const platform::Notification&) {
                                       poster.post([this] { notifyCloseCopyFileProgressWindow(); });
                                   }));
}

CopyFileProgressWindowController::~CopyFileProgressWindowController() {
    if (worker.joinable()) {
        setCancelFlag(true);
        worker.join();
    }
}

bool CopyFileProgressWindowController::cancelRequested() const {
    return project ? project->bExportProgressCancelButtonClicked() : ownCancelFlag.load();
}

void CopyFileProgressWindowController::setCancelFlag(bool value) {
    if (project)
        project->setBExportProgressCancelButtonClicked(value);
    ownCancelFlag = value;
}

void CopyFileProgressWindowController::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!started)
        message->setText(startMessage(QFileInfo(source).fileName()));
    // Run after its copy was over (or called off before it began), the window ends its run at once.
    if (finished)
        QMetaObject::invokeMethod(
            this,
            [this] { done(outcome.outcome == Outcome::Copied ? QDialog::Accepted : QDialog::Rejected); },
            Qt::QueuedConnection);
}

// The copy waits for the window's first drawing, queued behind it: a short copy would otherwise end
// before the window was ever drawn, and a person would see an empty frame with whatever lay beneath it.
void CopyFileProgressWindowController::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    if (started || copyQueued)
        return;
    copyQueued = true;
    QMetaObject::invokeMethod(
        this, [this] { importSourceToTempDirAndMoveItToProject(source, destination); }, Qt::QueuedConnection);
}

void CopyFileProgressWindowController::importSourceToTempDirAndMoveItToProject(
    const QString& sourcePath, const QString& destinationPath) {
    if (started || finished)
        return;
    started = true;
    source = sourcePath;
    destination = destinationPath;
    message->setText(startMessage(QFileInfo(source).fileName()));
    worker = std::thread([this, sourcePath, destinationPath] {
        const Result result = clip_file_copier::copyFile(
            sourcePath, destinationPath,
            [this](qint64 copied, qint64 size) {
                QMetaObject::invokeMethod(
                    this, [this, copied, size] { updateImportProgress(copied, size); }, Qt::QueuedConnection);
            },
            [this] { return cancelRequested(); });
        QMetaObject::invokeMethod(
            this, [this, result] { copyFinished(result); }, Qt::QueuedConnection);
    });
}

void CopyFileProgressWindowController::copyFinished(Result result) {
    if (finished)
        return;
    if (worker.joinable())
        worker.join();
    finished = true;
    outcome = std::move(result);
    done(outcome.outcome == Outcome::Copied ? QDialog::Accepted : QDialog::Rejected);
}

void CopyFileProgressWindowController::waitForCopy() {
    if (!started || finished)
        return;
    // The queued end carries the result: it is delivered here rather than by a loop that has ended.
    worker.join();
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

QString CopyFileProgressWindowController::progressMessage(const QString& fileName, qint64 copied,
                                                          qint64 size) {
    const double percent = size > 0 ? double(copied) / double(size) * 100.0 : 0.0;
    return tr_("Importing video: %1, please wait ...\n %2% [ %3M / %4M ]")
        .arg(fileName, QString::asprintf("%.2f", percent), QString::number(copied / kMebibyte),
             QString::number(size / kMebibyte));
}

// An empty file sends no progress, so the size is never 0 here; a file that grew meanwhile stops at 100.
void CopyFileProgressWindowController::updateImportProgress(qint64 copied, qint64 size) {
    if (size <= 0)
        return;
    const QString text = progressMessage(QFileInfo(source).fileName(), copied, size);
    message->setText(text);
    bar->setValue(int(std::min<qint64>(100, copied * 100 / size)));
    emit progressShown(text);
}

void CopyFileProgressWindowController::cancelButtonClicked() {
    setCancelFlag(true);
}

void CopyFileProgressWindowController::notifyCloseCopyFileProgressWindow() {
    if (finished)
        return;
    if (started) {
        cancelButtonClicked(); // the copy's end closes the window
        return;
    }
    finished = true;
    outcome = {clip_file_copier::Outcome::Cancelled, QString()};
    done(QDialog::Rejected);
}

void CopyFileProgressWindowController::reject() {
    if (finished)
        QDialog::reject();
    else
        cancelButtonClicked();
}

void CopyFileProgressWindowController::closeEvent(QCloseEvent* event) {
    if (finished) {
        QDialog::closeEvent(event);
        return;
    }
    cancelButtonClicked();
    event->ignore();
}
