#include "platform/net/HttpMessage.h"

namespace platform::net {

HttpMessage HttpMessage::request(const QByteArray& method, const QUrl& url, HttpVersion version) {
    HttpMessage message;
    const QString scheme = url.scheme().toLower();
    message.valid = HttpHeaders::isValidName(method) && url.isValid() && !url.host().isEmpty() &&
                    (scheme == u"http" || scheme == u"https");
    message.requestMessage = true;
    message.requestMethod = method;
    message.target = url;
    message.httpVersion = version;
    return message;
}

HttpMessage HttpMessage::response(HttpVersion version, int statusCode, const QByteArray& statusLine) {
    HttpMessage message;
    message.valid = true;
    message.httpVersion = version;
    message.status = statusCode;
    message.firstLine = statusLine;
    return message;
}

int HttpMessage::effectivePort(const QUrl& url) {
    return url.port(url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 ? 443 : 80);
}

QByteArray HttpMessage::hostField(const QUrl& url) {
    QByteArray host = url.host(QUrl::FullyEncoded).toLatin1();
    if (host.contains(':'))
        host = '[' + host + ']';
    if (url.port() >= 0 && url.port() != effectivePort(QUrl(url.scheme() + QStringLiteral("://h"))))
        host += ':' + QByteArray::number(url.port());
    return host;
}

QByteArray HttpMessage::authority(const QUrl& url) {
    QByteArray host = url.host(QUrl::FullyEncoded).toLatin1();
    if (host.contains(':'))
        host = '[' + host + ']';
    return host + ':' + QByteArray::number(effectivePort(url));
}

QByteArray HttpMessage::serializedHead(bool absoluteForm, bool persistent) const {
    QByteArray path = target.path(QUrl::FullyEncoded).toLatin1();
    if (path.isEmpty())
        path = "/";
    if (target.hasQuery())
        path += '?' + target.query(QUrl::FullyEncoded).toLatin1();
    QByteArray requestTarget = path;
    if (absoluteForm)
        requestTarget = target.scheme().toLower().toLatin1() + "://" + hostField(target) + path;
    if (requestMethod == "CONNECT")
        requestTarget = authority(target);

    QByteArray head = requestMethod + ' ' + requestTarget + ' ' + versionText() + "\r\n";
    if (!fields.contains("Host"))
        head += "Host: " + hostField(target) + "\r\n";
    for (const HttpHeaders::Field& field : fields.all()) {
        if (!persistent && field.first.compare("Connection", Qt::CaseInsensitive) == 0)
            continue;
        head += field.first + ": " + field.second + "\r\n";
    }
    if (!persistent)
        head += "Connection: close\r\n";
    else if (httpVersion == HttpVersion::Http10 && !fields.contains("Connection"))
        head += "Connection: keep-alive\r\n";
    return head + "\r\n";
}

} // namespace platform::net
