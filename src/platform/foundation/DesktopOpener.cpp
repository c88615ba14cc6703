#include "platform/foundation/DesktopOpener.h"

#include <QProcess>
#include <QStandardPaths>

namespace platform {

bool openWithDesktop(const QUrl& address, std::function<void(bool opened)> outcome) {
    if (!address.isValid())
        return false;
    const QString program = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (program.isEmpty())
        return false;
    // Watched rather than detached, as only its exit status tells; it may run as long as what it started.
    auto* opener = new QProcess; // goes when it ends
    opener->setProgram(program);
    // An address may hold "&" and "?": it goes as one argument to the program itself.
    opener->setArguments(
        {address.isLocalFile() ? address.toLocalFile() : QString::fromLatin1(address.toEncoded())});
    opener->setProcessChannelMode(QProcess::ForwardedChannels);
    const auto ended = [opener, outcome = std::move(outcome)](bool opened) {
        if (outcome)
            outcome(opened);
        opener->deleteLater();
    };
    QObject::connect(opener, &QProcess::finished, opener, [ended](int code, QProcess::ExitStatus status) {
        ended(status == QProcess::NormalExit && code == 0);
    });
    // Queued: a start that fails may say so from inside start().
    QObject::connect(
        opener, &QProcess::errorOccurred, opener,
        [ended](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart)
                ended(false);
        },
        Qt::QueuedConnection);
    opener->start();
    return true;
}

} // namespace platform
