#pragma once

#include "webservice/HTTPFetcher/NetFetcherProtocols.h"

#include <mutex>

// An in-memory cookie jar: the fetchers' class-wide jar, each fetch history's jar and the sign-in's private
// jar. Cookies are kept in the order stored. A host-only cookie goes to its own host alone, a domain cookie
// to the domain and its subdomains at a "." boundary; "localhost" takes the cookies of "localhost" and
// "localhost.local"; the path is a plain prefix ("/a" reaches "/ab"); secure cookies go over https only.
class NetCookieStorage : public NetCookieStorageProtocol {
public:
    QList<platform::net::Cookie> cookiesForURL(const QUrl& url) override;
    // Refuses cookies without a name, domain or path; a cookie whose expiry has passed removes its namesake.
    void setCookies(const QList<platform::net::Cookie>& cookies) override;
    void deleteCookie(const platform::net::Cookie& cookie);
    void removeAllCookies();
    std::optional<platform::net::Cookie> cookieMatchingCookie(const platform::net::Cookie& cookie) const;
    void removeExpiredCookies();
    QList<platform::net::Cookie> cookies() const;

private:
    void removeExpiredCookiesLocked();

    mutable std::recursive_mutex mutex;
    QList<platform::net::Cookie> cookies_;
};
