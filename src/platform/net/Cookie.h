#pragma once

#include "platform/net/HttpHeaders.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

namespace platform::net {

// One HTTP cookie. A domain cookie (one that named a Domain attribute) keeps its domain with a leading
// "."; a host-only cookie keeps the exact host that set it. Name, domain and path together identify a cookie.
struct Cookie {
    QString name;
    QString value;
    QString domain;
    QString path;
    QDateTime expiresDate; // invalid: a session cookie
    bool isSecure = false;
    bool isHttpOnly = false;
    QString sameSite;

    bool isHostOnly() const { return !domain.startsWith(u'.'); }
    bool isSessionOnly() const { return !expiresDate.isValid(); }
    bool isExpired(const QDateTime& now) const { return expiresDate.isValid() && expiresDate <= now; }
    bool sameIdentity(const Cookie& other) const {
        return name == other.name && domain == other.domain && path == other.path;
    }
    // The host rule of the cookie standard: host-only cookies go to their host alone, domain cookies to the
    // domain and its subdomains, split at a "." (so "ample.com" never reaches "example.com").
    bool matchesHost(const QString& host) const;
    // The path rule of the cookie standard: "/a" reaches "/a" and "/a/b" but not "/ab".
    bool matchesPath(const QString& requestPath) const;

    friend bool operator==(const Cookie&, const Cookie&) = default;

    // The cookies the "Set-Cookie" fields of a reply from `url` set. A cookie whose Domain attribute the
    // reply's host does not domain-match is dropped, as is one without a name or an "=".
    static QList<Cookie> cookiesWithResponseHeaderFields(const HttpHeaders& headers, const QUrl& url);
    static std::optional<Cookie> parseSetCookie(const QByteArray& headerValue, const QUrl& url,
                                                const QDateTime& now);
    // Stores cookies in a jar by the rules every store shares: a cookie without a name, domain or path is
    // refused; each replaces the stored one with the same name, domain and path; one that has expired only
    // removes it (that is how a server deletes a cookie).
    static void storeCookies(QList<Cookie>& jar, const QList<Cookie>& incoming, const QDateTime& now);
    // The value of a "Cookie" request field for these cookies, in order; null when there are none.
    static QByteArray requestHeaderValue(const QList<Cookie>& cookies);
    // Both lower-cased; "domain" without a leading ".". An IP address matches only itself.
    static bool domainMatches(const QString& host, const QString& domain);
    // The date formats of "Expires" that servers send, read leniently; invalid when unreadable.
    static QDateTime parseCookieDate(const QByteArray& text);
};

} // namespace platform::net
