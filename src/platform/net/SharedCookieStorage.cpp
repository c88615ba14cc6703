#include "platform/net/SharedCookieStorage.h"

#include <algorithm>

namespace platform::net {

SharedCookieStorage& SharedCookieStorage::shared() {
    static SharedCookieStorage storage;
    return storage;
}

void SharedCookieStorage::removeExpired(const QDateTime& now) const {
    jar.removeIf([&](const Cookie& cookie) { return cookie.isExpired(now); });
}

QList<Cookie> SharedCookieStorage::cookiesForUrl(const QUrl& url) const {
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const bool secure = url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
    QList<Cookie> found;
    {
        std::lock_guard lock(mutex);
        removeExpired(now);
        for (const Cookie& cookie : jar)
            if (cookie.matchesHost(url.host()) && cookie.matchesPath(url.path()) &&
                (secure || !cookie.isSecure))
                found.append(cookie);
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const Cookie& a, const Cookie& b) { return a.path.size() > b.path.size(); });
    return found;
}

void SharedCookieStorage::setCookies(const QList<Cookie>& cookies) {
    const QDateTime now = QDateTime::currentDateTimeUtc();
    std::lock_guard lock(mutex);
    removeExpired(now);
    Cookie::storeCookies(jar, cookies, now);
}

void SharedCookieStorage::setCookiesFromResponse(const HttpHeaders& headers, const QUrl& url) {
    const QList<Cookie> cookies = Cookie::cookiesWithResponseHeaderFields(headers, url);
    if (!cookies.isEmpty())
        setCookies(cookies);
}

void SharedCookieStorage::deleteCookie(const Cookie& cookie) {
    std::lock_guard lock(mutex);
    jar.removeIf([&](const Cookie& stored) { return stored.sameIdentity(cookie); });
}

void SharedCookieStorage::removeAllCookies() {
    std::lock_guard lock(mutex);
    jar.clear();
}

QList<Cookie> SharedCookieStorage::cookies() const {
    std::lock_guard lock(mutex);
    return jar;
}

} // namespace platform::net
