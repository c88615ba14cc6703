#include "ui/editing/DVDAuthorProgressWindowController.h"

#include "dvd/DVDNotifications.h"
#include "platform/foundation/StringTable.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kBarSteps = 1000; // tenths of a percent

} // namespace

DVDAuthorProgressWindowController::DVDAuthorProgressWindowController(QWidget* parent) : QDialog(parent) {
    setObjectName("DVDAuthorProgressWindow");
    setWindowTitle(tr_("Build DVD"));
    setWindowModality(Qt::ApplicationModal);
    bar = new QProgressBar(this);
    bar->setObjectName("authorProgress");
    bar->setRange(0, kBarSteps);
    bar->setMinimumWidth(320);
    button = new QPushButton(tr_("Cancel"), this);
    button->setObjectName("cancelButton");
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, &DVDAuthorProgressWindowController::CancelButtonClicked);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(button);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 18, 20, 14);
    column->addWidget(bar);
    column->addLayout(buttons);
}

DVDAuthorProgressWindowController::~DVDAuthorProgressWindowController() {
    progress.reset();
    gate.close();
}

void DVDAuthorProgressWindowController::windowDidLoad() {
    adjustSize();
    const QWidget* over = parentWidget();
    const QRect area = over ? over->frameGeometry() : screen() ? screen()->availableGeometry() : QRect();
    if (area.isValid())
        move(area.center() - rect().center());
    setPercent(0.0);
    auto& center = platform::NotificationCenter::defaultCenter();
    // Posted on the authoring thread: the bar moves on the main thread.
    const platform::MainThreadGate::Poster poster = gate.poster();
    progress = {center,
                center.addObserver(kNotifyDVDAuthorProgress, [this, poster](const platform::Notification& n) {
                    poster.post([this, n] { authorProgressChanged(n); });
                })};
}

void DVDAuthorProgressWindowController::authorProgressChanged(const platform::Notification& notification) {
    setPercent(notification.object.toDouble());
}

void DVDAuthorProgressWindowController::setPercent(double percent) {
    const double shown = std::isfinite(percent) ? std::clamp(percent, 0.0, 100.0) : 0.0;
    bar->setValue(int(std::lround(shown * 10.0)));
    bar->setFormat(QStringLiteral("%1%").arg(bar->value() / 10.0, 0, 'f', 1));
}

void DVDAuthorProgressWindowController::CancelButtonClicked() {
    platform::NotificationCenter::defaultCenter().post(kNotifyDVDAuthorCancelled);
    done(QDialog::Rejected);
}
