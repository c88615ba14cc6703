#include "support/LoopbackProxy.h"

#include "support/LoopbackSocket.h"

#include "platform/foundation/ChildProcess.h"

namespace test_support {

namespace {

int targetPort(const QByteArray& authority) {
    return authority.mid(authority.lastIndexOf(':') + 1).toInt();
}

} // namespace

LoopbackProxy::LoopbackProxy()
    : connections(
          std::make_unique<AcceptLoop>([this](std::shared_ptr<Connection> client) { serve(client); })) {
    platform::ignoreSigpipe();
}

LoopbackProxy::~LoopbackProxy() = default;

int LoopbackProxy::port() const {
    return connections->port();
}

QUrl LoopbackProxy::url() const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port()));
}

void LoopbackProxy::requireCredential(const QString& user, const QString& password,
                                      const QByteArray& fields) {
    std::lock_guard lock(mutex);
    expectedAuthorization = "Basic " + (user + u':' + password).toUtf8().toBase64();
    challengeFields = fields;
}

void LoopbackProxy::refuseTunnels(int status, const QByteArray& fields) {
    std::lock_guard lock(mutex);
    tunnelRefusal = status;
    refusalFields = fields;
}

QStringList LoopbackProxy::log() const {
    std::lock_guard lock(mutex);
    return entries;
}

void LoopbackProxy::clearLog() {
    std::lock_guard lock(mutex);
    entries.clear();
}

bool LoopbackProxy::authorized(const QByteArray& head) const {
    std::lock_guard lock(mutex);
    if (expectedAuthorization.isEmpty())
        return true;
    for (const QByteArray& line : head.split('\n'))
        if (line.toLower().startsWith("proxy-authorization:") &&
            line.mid(20).trimmed() == expectedAuthorization)
            return true;
    return false;
}

void LoopbackProxy::serve(std::shared_ptr<Connection> client) {
    MessageReader reader(*client);
    std::optional<QByteArray> head;
    // A refused request leaves the connection open for the next one, as a proxy that asks for credentials
    // does.
    while ((head = reader.readHead()) && !authorized(*head)) {
        QByteArray fields;
        {
            std::lock_guard lock(mutex);
            fields = challengeFields;
        }
        if (!client->writeAll("HTTP/1.1 407 Proxy Authentication Required\r\n"
                              "Proxy-Authenticate: Basic realm=\"loopback proxy\"\r\n" +
                              fields + "Content-Length: 0\r\n\r\n"))
            return;
    }
    if (!head)
        return;
    const QList<QByteArray> start = head->left(head->indexOf("\r\n")).split(' ');
    if (start.size() != 3)
        return;
    const QByteArray method = start[0];
    const QByteArray target = start[1];
    {
        std::lock_guard lock(mutex);
        entries << QString::fromLatin1(method + ' ' + target);
    }
    const bool tunnel = method == "CONNECT";
    int refusal = 0;
    QByteArray fields;
    {
        std::lock_guard lock(mutex);
        refusal = tunnel ? tunnelRefusal : 0;
        fields = refusalFields;
    }
    if (refusal) {
        client->writeAll("HTTP/1.1 " + QByteArray::number(refusal) +
                         " Refused\r\nContent-Type: text/plain\r\nContent-Length: 16\r\n" + fields +
                         "Connection: close\r\n\r\nnot to this host");
        return;
    }
    const QUrl url = QUrl::fromEncoded(target);
    auto server = std::make_shared<Connection>(connectToLoopback(tunnel ? targetPort(target) : url.port(80)));
    if (server->fd() < 0) {
        client->writeAll("HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n");
        return;
    }
    connections->track(server);
    if (tunnel) {
        client->writeAll("HTTP/1.1 200 Connection established\r\n\r\n");
        pump(*client, *server, reader.takeBuffered());
        return;
    }
    // Passes the request on in origin form; the rest of the connection is piped as it comes.
    QByteArray forwarded = *head;
    const QByteArray origin =
        url.path(QUrl::FullyEncoded).toLatin1() +
        (url.hasQuery() ? '?' + url.query(QUrl::FullyEncoded).toLatin1() : QByteArray());
    forwarded.replace(0, start[0].size() + 1 + target.size(),
                      method + ' ' + (origin.isEmpty() ? "/" : origin));
    pump(*client, *server, forwarded + reader.takeBuffered());
}

} // namespace test_support
