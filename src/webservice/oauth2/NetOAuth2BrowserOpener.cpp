#include "webservice/oauth2/NetOAuth2BrowserOpener.h"

#include <QProcess>
#include <QStandardPaths>

#include <mutex>

namespace {

class DesktopBrowserOpener : public NetOAuth2BrowserOpener {
public:
    bool openURL(const QUrl& url) override {
        const QString scheme = url.scheme().toLower();
        if (!url.isValid() || (scheme != QLatin1String("https") && scheme != QLatin1String("http")))
            return false;
        const QString program = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
        if (program.isEmpty())
            return false;
        // The address holds "&" and "?": it goes as one argument to the program itself.
        return QProcess::startDetached(program, {QString::fromLatin1(url.toEncoded())});
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
