#include "webservice/HTTPFetcher/NetCookieStorage.h"

using platform::net::Cookie;

namespace {

bool matchesDomain(const Cookie& cookie, const QString& host) {
    if (host == u"localhost") {
        QString domain = cookie.domain.toLower();
        if (domain.startsWith(u'.'))
            domain.remove(0, 1);
        return domain == u"localhost" || domain == u"localhost.local";
    }
    return cookie.matchesHost(host);
}

} // namespace

QList<Cookie> NetCookieStorage::cookiesForURL(const QUrl& url) {
    std::lock_guard lock(mutex);
    removeExpiredCookiesLocked();
    const QString host = url.host().toLower();
    if (host.isEmpty())
        return {};
    const QString path = url.path().isEmpty() ? QStringLiteral("/") : url.path();
    const bool secure = url.scheme() == u"https";
    QList<Cookie> found;
    for (const Cookie& cookie : cookies_) {
        const bool pathMatches = cookie.path == u"/" || path.startsWith(cookie.path);
        if (matchesDomain(cookie, host) && pathMatches && (!cookie.isSecure || secure))
            found.append(cookie);
    }
    return found;
}

void NetCookieStorage::setCookies(const QList<Cookie>& newCookies) {
    std::lock_guard lock(mutex);
    removeExpiredCookiesLocked();
    Cookie::storeCookies(cookies_, newCookies, QDateTime::currentDateTimeUtc());
}

void NetCookieStorage::deleteCookie(const Cookie& cookie) {
    std::lock_guard lock(mutex);
    cookies_.removeIf([&](const Cookie& stored) { return stored.sameIdentity(cookie); });
}

void NetCookieStorage::removeAllCookies() {
    std::lock_guard lock(mutex);
    cookies_.clear();
}

std::optional<Cookie> NetCookieStorage::cookieMatchingCookie(const Cookie& cookie) const {
    std::lock_guard lock(mutex);
    for (const Cookie& stored : cookies_)
        if (stored.sameIdentity(cookie))
            return stored;
    return std::nullopt;
}

void NetCookieStorage::removeExpiredCookies() {
    std::lock_guard lock(mutex);
    removeExpiredCookiesLocked();
}

void NetCookieStorage::removeExpiredCookiesLocked() {
    const QDateTime now = QDateTime::currentDateTimeUtc();
    cookies_.removeIf([&](const Cookie& cookie) { return cookie.isExpired(now); });
}

QList<Cookie> NetCookieStorage::cookies() const {
    std::lock_guard lock(mutex);
    return cookies_;
}
