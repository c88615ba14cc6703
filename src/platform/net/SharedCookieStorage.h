#pragma once

#include "platform/net/Cookie.h"

#include <QList>
#include <QUrl>

#include <mutex>

namespace platform::net {

// The process-wide cookie store of the URL-loading layer: requests that let the layer handle cookies, and
// the second HTTP library, read and fill it. It matches by the cookie standard: host-only and domain
// cookies at label boundaries, path prefixes at "/" boundaries, secure cookies over https only. Nothing is
// written to disk. Safe to use from any thread.
class SharedCookieStorage {
public:
    static SharedCookieStorage& shared();

    // The cookies to send to `url`: longer paths first, then in the order they were stored.
    QList<Cookie> cookiesForUrl(const QUrl& url) const;
    // Stores each cookie, replacing the one with the same name, domain and path; a cookie that has
    // already expired only removes its namesake.
    void setCookies(const QList<Cookie>& cookies);
    void setCookiesFromResponse(const HttpHeaders& headers, const QUrl& url);
    void deleteCookie(const Cookie& cookie);
    void removeAllCookies();
    QList<Cookie> cookies() const;

private:
    void removeExpired(const QDateTime& now) const;

    mutable std::mutex mutex;
    mutable QList<Cookie> jar;
};

} // namespace platform::net
