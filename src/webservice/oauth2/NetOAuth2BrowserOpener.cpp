#include "webservice/oauth2/NetOAuth2BrowserOpener.h"

#include "platform/foundation/DesktopOpener.h"

#include <mutex>

namespace {

class DesktopBrowserOpener : public NetOAuth2BrowserOpener {
public:
    bool openURL(const QUrl& url, Outcome outcome) override {
        const QString scheme = url.scheme().toLower();
        if (!url.isValid() || (scheme != QLatin1String("https") && scheme != QLatin1String("http")))
            return false;
        return platform::openWithDesktop(url, std::move(outcome));
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
