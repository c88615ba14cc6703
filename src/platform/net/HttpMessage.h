#pragma once

#include "platform/net/HttpHeaders.h"

#include <QByteArray>
#include <QUrl>

namespace platform::net {

enum class HttpVersion { Http10, Http11 };

// One HTTP/1.x message of our own client: a request (method, URL, version, fields) or the head of a response
// (version, status, status line, fields). Fields compare without regard to case and may repeat
// ("Set-Cookie"); a field holding CR, LF or NUL is refused, so no caller can smuggle a second field or
// message in.
class HttpMessage {
public:
    // A request; empty when the method is not a token or the URL has no http(s) scheme and host.
    static HttpMessage request(const QByteArray& method, const QUrl& url, HttpVersion version);
    static HttpMessage response(HttpVersion version, int statusCode, const QByteArray& statusLine);

    bool isValid() const { return valid; }
    bool isRequest() const { return requestMessage; }

    QByteArray method() const { return requestMethod; }
    QUrl url() const { return target; }
    HttpVersion version() const { return httpVersion; }
    QByteArray versionText() const { return httpVersion == HttpVersion::Http10 ? "HTTP/1.0" : "HTTP/1.1"; }
    int statusCode() const { return status; }
    // The whole first line of a response, as the server sent it ("HTTP/1.1 200 OK").
    QByteArray statusLine() const { return firstLine; }

    const HttpHeaders& headers() const { return fields; }
    QByteArray value(const QByteArray& name) const { return fields.value(name); }
    // False (nothing changed) for a name that is no token or a name or value holding CR, LF or NUL.
    bool setValue(const QByteArray& name, const QByteArray& value) { return fields.set(name, value); }
    bool addValue(const QByteArray& name, const QByteArray& value) { return fields.add(name, value); }
    void removeValue(const QByteArray& name) { fields.remove(name); }

    // The "Host" field for a URL: the host (IPv6 in brackets) with the port when one is written and it is not
    // the scheme's default.
    static QByteArray hostField(const QUrl& url);
    // "host:port" with the scheme's default port when none is written, as CONNECT names its target.
    static QByteArray authority(const QUrl& url);
    static int effectivePort(const QUrl& url);

    // The request head ready to send: the target in origin form, or in absolute form for a plain-HTTP proxy;
    // "Host" added when missing; "Connection: close" when the connection is not to be kept.
    QByteArray serializedHead(bool absoluteForm, bool persistent) const;

private:
    bool valid = false;
    bool requestMessage = false;
    QByteArray requestMethod;
    QUrl target;
    HttpVersion httpVersion = HttpVersion::Http11;
    int status = 0;
    QByteArray firstLine;
    HttpHeaders fields;
};

} // namespace platform::net
