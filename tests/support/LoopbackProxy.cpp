#include "support/LoopbackProxy.h"

#include "support/LoopbackSocket.h"

#include "platform/foundation/ChildProcess.h"

#include <poll.h>

namespace test_support {

namespace {

// Copies bytes both ways until either side closes.
void pump(Connection& client, Connection& server, QByteArray pending) {
    if (!pending.isEmpty() && !server.writeAll(pending))
        return;
    char buffer[16384];
    pollfd fds[2] = {{client.fd(), POLLIN, 0}, {server.fd(), POLLIN, 0}};
    while (::poll(fds, 2, -1) > 0) {
        for (int i = 0; i < 2; ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            Connection& from = i == 0 ? client : server;
            Connection& to = i == 0 ? server : client;
            const qint64 n = from.read(buffer, sizeof buffer);
            if (n <= 0 || !to.writeAll(QByteArray(buffer, n)))
                return;
        }
    }
}

int targetPort(const QByteArray& authority) {
    return authority.mid(authority.lastIndexOf(':') + 1).toInt();
}

} // namespace

LoopbackProxy::LoopbackProxy() : listener(std::make_unique<ListeningSocket>()) {
    platform::ignoreSigpipe();
    threads.emplace_back([this] { acceptLoop(); });
}

LoopbackProxy::~LoopbackProxy() {
    {
        std::lock_guard lock(mutex);
        stopping = true;
    }
    listener->shutdown();
    threads[0].join();
    std::vector<std::thread> rest;
    {
        std::lock_guard lock(mutex);
        for (const auto& weak : open)
            if (auto connection = weak.lock())
                connection->shutdown();
        rest.assign(std::make_move_iterator(threads.begin() + 1), std::make_move_iterator(threads.end()));
    }
    for (std::thread& thread : rest)
        thread.join();
}

int LoopbackProxy::port() const {
    return listener->port();
}

QUrl LoopbackProxy::url() const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port()));
}

void LoopbackProxy::requireCredential(const QString& user, const QString& password) {
    std::lock_guard lock(mutex);
    expectedAuthorization = "Basic " + (user + u':' + password).toUtf8().toBase64();
}

QStringList LoopbackProxy::log() const {
    std::lock_guard lock(mutex);
    return entries;
}

void LoopbackProxy::clearLog() {
    std::lock_guard lock(mutex);
    entries.clear();
}

void LoopbackProxy::acceptLoop() {
    while (true) {
        platform::UniqueFd fd = listener->accept();
        std::lock_guard lock(mutex);
        if (!fd.isValid() || stopping)
            return;
        auto client = std::make_shared<Connection>(std::move(fd));
        open.push_back(client);
        threads.emplace_back([this, client] { serve(client); });
    }
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
        if (!client->writeAll(
                "HTTP/1.1 407 Proxy Authentication Required\r\n"
                "Proxy-Authenticate: Basic realm=\"loopback proxy\"\r\nContent-Length: 0\r\n\r\n"))
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
    const QUrl url = QUrl::fromEncoded(target);
    auto server = std::make_shared<Connection>(connectToLoopback(tunnel ? targetPort(target) : url.port(80)));
    if (server->fd() < 0) {
        client->writeAll("HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n");
        return;
    }
    {
        std::lock_guard lock(mutex);
        open.push_back(server);
    }
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
