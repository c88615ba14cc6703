#pragma once

#include "platform/net/HttpHeaders.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <memory>

class QIODevice;

namespace platform::net {

// How a request may use local caches. This layer keeps no cache of its own, so the policy is carried for the
// layers above (the fetch history sets it) and changes nothing here.
enum class CachePolicy { UseProtocolCachePolicy, ReloadIgnoringLocalCacheData };

// A user name and password that answers an authentication challenge.
struct Credential {
    QString user;
    QString password;
    bool isEmpty() const { return user.isEmpty() && password.isEmpty(); }
    friend bool operator==(const Credential&, const Credential&) = default;
};

// The most decoded bytes of one reply body a request holds in memory unless it says otherwise.
inline constexpr qint64 kDefaultMaximumReplyLength = 32 * 1024 * 1024;

// One HTTP request as the URL-loading layer sends it. Copies are independent, except that a body stream is
// shared (it can be read only once).
struct UrlRequest {
    QUrl url;
    QByteArray httpMethod; // empty counts as "GET"
    HttpHeaders headers;
    QByteArray httpBody;                       // null: no body in memory
    std::shared_ptr<QIODevice> httpBodyStream; // read on the network thread when there is no body in memory
    double timeoutInterval =
        60.0; // seconds without any traffic before the request fails; never a total limit
    bool httpShouldHandleCookies = true; // the shared cookie store adds and takes cookies for this request
    CachePolicy cachePolicy = CachePolicy::UseProtocolCachePolicy;
    // The most decoded bytes of a reply body the caller keeps in memory; past it the request fails with
    // "reply too large". Negative: the caller streams the body on (into a file) and sets no limit.
    qint64 maximumReplyLength = kDefaultMaximumReplyLength;

    UrlRequest() = default;
    explicit UrlRequest(const QUrl& url) : url(url) {}

    QByteArray method() const { return httpMethod.isEmpty() ? QByteArrayLiteral("GET") : httpMethod; }
    bool hasBody() const { return !httpBody.isNull() || httpBodyStream != nullptr; }
    QByteArray value(const QByteArray& name) const { return headers.value(name); }
    bool setValue(const QByteArray& name, const QByteArray& value) { return headers.set(name, value); }
};

// Whether two URLs share scheme, host and port (the default port when none is written): credentials and
// cookies of one origin must not follow a request to another.
inline bool isSameOrigin(const QUrl& a, const QUrl& b) {
    const auto port = [](const QUrl& url) {
        return url.port(url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 ? 443 : 80);
    };
    return a.scheme().compare(b.scheme(), Qt::CaseInsensitive) == 0 &&
           a.host().compare(b.host(), Qt::CaseInsensitive) == 0 && port(a) == port(b);
}

} // namespace platform::net
