#include "ui/editing/ExportProgressWindowController.h"

#include "dvd/DVDNotifications.h"
#include "model/SlideshowProject.h"
#include "platform/foundation/StringTable.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

// Tenths of a percent, so that 25.5 shows.
constexpr int kBarSteps = 1000;

} // namespace

ExportProgressWindowController::ExportProgressWindowController(ProjectSource project, QWidget* parent)
    : QDialog(parent), projectSource(std::move(project)) {
    if (const auto project = projectSource())
        project->setBExportProgressCancelButtonClicked(false);
    setObjectName("ExportProgressWindow");
    setWindowTitle(tr_("Export"));
    setWindowModality(Qt::ApplicationModal);

    banner = new QLabel(this);
    banner->setObjectName("progressBanner");
    banner->setAlignment(Qt::AlignCenter);
    banner->hide();
    bar = new QProgressBar(this);
    bar->setObjectName("exportingProgressIndicator");
    bar->setRange(0, kBarSteps);
    bar->setMinimumWidth(380);
    updateProgress(0.0);
    myField1 = new QLabel(this);
    myField1->setObjectName("myField1");
    myField1->setWordWrap(true);
    myField1->setTextFormat(Qt::PlainText); // outcomes carry servers' words: shown as they stand
    myField1->setMinimumHeight(myField1->fontMetrics().lineSpacing() * 3);
    buttonCancel = new QPushButton(tr_("Cancel"), this);
    buttonCancel->setObjectName("buttonCancel");
    buttonCancel->setAutoDefault(false);
    connect(buttonCancel, &QPushButton::clicked, this, &ExportProgressWindowController::cancelButtonClicked);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(buttonCancel);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 18, 20, 14);
    column->addWidget(banner);
    column->addWidget(bar);
    column->addWidget(myField1);
    column->addLayout(buttons);

    auto& center = platform::NotificationCenter::defaultCenter();
    authorProgress = {center,
                      center.addObserver(kNotifyDVDAuthorProgress, [this](const platform::Notification& n) {
                          const double percent = n.object.toDouble();
                          gate.post([this, percent] { dvdAuthorProgressChanged(percent); });
                      })};
}

ExportProgressWindowController::~ExportProgressWindowController() {
    authorProgress.reset();
    gate.close();
}

void ExportProgressWindowController::setTitle(const QString& title) {
    setWindowTitle(title);
}

void ExportProgressWindowController::updateProgress(double fraction) {
    const double percent = std::clamp(fraction, 0.0, 1.0) * 100.0;
    bar->setValue(int(std::lround(percent * 10.0)));
    bar->setFormat(QStringLiteral("%1%").arg(bar->value() / 10.0, 0, 'f', 1));
}

void ExportProgressWindowController::setInfoText(const QString& text) {
    myField1->setText(text);
}

void ExportProgressWindowController::finishedSuccess(const QString& text) {
    finish(text, tr_("OK"));
}

void ExportProgressWindowController::finishedError(const QString& text) {
    finish(text, tr_("Close"));
}

void ExportProgressWindowController::finish(const QString& text, const QString& button) {
    finished = true;
    cancelling = false;
    myField1->setText(text);
    bar->hide();
    buttonCancel->setText(button);
    buttonCancel->setEnabled(true);
    // Only now, when the button no longer cancels: Enter closes the window as its OK.
    buttonCancel->setDefault(true);
}

void ExportProgressWindowController::setProgressBanner(const QPixmap& picture) {
    banner->setPixmap(picture);
    banner->setVisible(!picture.isNull());
}

void ExportProgressWindowController::dvdAuthorProgressChanged(double percent) {
    updateProgress(percent / 100.0);
    setWindowTitle(tr_("Build DVD"));
    myField1->setText(tr_("Creating DVD in progress..."));
}

void ExportProgressWindowController::cancelButtonClicked() {
    if (state == State::Ended || cancelling)
        return;
    if (!finished) {
        if (const auto project = projectSource())
            project->setBExportProgressCancelButtonClicked(true);
        platform::NotificationCenter::defaultCenter().post(kNotifyCancelEncodingVideo);
        if (staysUntilCancelEnds && state != State::Ended) {
            cancelling = true;
            buttonCancel->setEnabled(false);
            myField1->setText(tr_("Cancelling..."));
            return;
        }
    }
    end(finished ? QDialog::Accepted : QDialog::Rejected);
}

void ExportProgressWindowController::reject() {
    cancelButtonClicked();
}

int ExportProgressWindowController::runModal() {
    if (state == State::Fresh) {
        state = State::Running;
        exec();
        state = State::Ended;
    }
    return result();
}

void ExportProgressWindowController::endModal() {
    end(QDialog::Accepted);
}

void ExportProgressWindowController::end(int code) {
    if (state == State::Running) {
        state = State::Ended;
        done(code);
        return;
    }
    // Not run yet, or shown without a session of its own (open()): it never waits for its end again.
    state = State::Ended;
    setResult(code);
    if (isVisible())
        hide();
}

double ExportProgressWindowController::progressValue() const {
    return bar->value() / 10.0;
}

QString ExportProgressWindowController::infoText() const {
    return myField1->text();
}

QString ExportProgressWindowController::buttonTitle() const {
    return buttonCancel->text();
}

bool ExportProgressWindowController::isProgressBarShown() const {
    return !bar->isHidden();
}
