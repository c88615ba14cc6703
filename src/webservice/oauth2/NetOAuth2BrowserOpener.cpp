#include "webservice/oauth2/NetOAuth2BrowserOpener.h"

#include <QProcess>
#include <QStandardPaths>

#include <mutex>

namespace {

class DesktopBrowserOpener : public NetOAuth2BrowserOpener {
public:
    bool openURL(const QUrl& url, Outcome outcome) override {
        const QString scheme = url.scheme().toLower();
        if (!url.isValid() || (scheme != QLatin1String("https") && scheme != QLatin1String("http")))
            return false;
        const QString program = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
        if (program.isEmpty())
            return false;
        // Watched rather than detached: an opener that finds no browser starts and then fails, and only its
        // exit status tells. It may also run as long as the browser it started; it goes when it ends.
        auto* opener = new QProcess;
        opener->setProgram(program);
        // The address holds "&" and "?": it goes as one argument to the program itself.
        opener->setArguments({QString::fromLatin1(url.toEncoded())});
        opener->setProcessChannelMode(QProcess::ForwardedChannels);
        const auto ended = [opener, outcome](bool opened) {
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
};

std::mutex sharedMutex;
std::shared_ptr<NetOAuth2BrowserOpener> sharedOpener;

} // namespace

std::shared_ptr<NetOAuth2BrowserOpener> NetOAuth2BrowserOpener::shared() {
    std::lock_guard lock(sharedMutex);
    if (!sharedOpener)
        sharedOpener = std::make_shared<DesktopBrowserOpener>();
    return sharedOpener;
}

void NetOAuth2BrowserOpener::setShared(std::shared_ptr<NetOAuth2BrowserOpener> opener) {
    std::lock_guard lock(sharedMutex);
    sharedOpener = std::move(opener);
}
