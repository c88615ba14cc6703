#include "support/LoopbackSocksProxy.h"

#include "support/LoopbackSocket.h"

#include "platform/foundation/ChildProcess.h"

#include <QHostAddress>

namespace test_support {

namespace {

// Reads exactly `count` bytes; nothing when the client went away first.
std::optional<QByteArray> readExactly(Connection& connection, qint64 count) {
    QByteArray bytes;
    char buffer[256];
    while (bytes.size() < count) {
        const qint64 n = connection.read(buffer, std::min<qint64>(sizeof buffer, count - bytes.size()));
        if (n <= 0)
            return std::nullopt;
        bytes.append(buffer, n);
    }
    return bytes;
}

// The target of a SOCKS5 CONNECT request after its first four bytes, as "host:port".
std::optional<QString> readTarget(Connection& client, char type) {
    QString host;
    if (type == 1) {
        const auto address = readExactly(client, 4);
        if (!address)
            return std::nullopt;
        host = QHostAddress(quint32(uchar((*address)[0])) << 24 | quint32(uchar((*address)[1])) << 16 |
                            quint32(uchar((*address)[2])) << 8 | quint32(uchar((*address)[3])))
                   .toString();
    } else if (type == 3) {
        const auto length = readExactly(client, 1);
        const auto name = length ? readExactly(client, uchar((*length)[0])) : std::nullopt;
        if (!name)
            return std::nullopt;
        host = QString::fromLatin1(*name);
    } else {
        return std::nullopt;
    }
    const auto port = readExactly(client, 2);
    if (!port)
        return std::nullopt;
    return host + u':' + QString::number(uchar((*port)[0]) << 8 | uchar((*port)[1]));
}

} // namespace

LoopbackSocksProxy::LoopbackSocksProxy(int everyTargetToPort)
    : fixedPort(everyTargetToPort), connections(std::make_unique<AcceptLoop>(
                                        [this](std::shared_ptr<Connection> client) { serve(client); })) {
    platform::ignoreSigpipe();
}

LoopbackSocksProxy::~LoopbackSocksProxy() = default;

int LoopbackSocksProxy::port() const {
    return connections->port();
}

QUrl LoopbackSocksProxy::url() const {
    return QUrl(QStringLiteral("socks5://127.0.0.1:%1").arg(port()));
}

QStringList LoopbackSocksProxy::log() const {
    std::lock_guard lock(mutex);
    return entries;
}

int LoopbackSocksProxy::connectionCount() const {
    return connections->acceptedCount();
}

void LoopbackSocksProxy::serve(std::shared_ptr<Connection> client) {
    const auto greeting = readExactly(*client, 2);
    const auto methods = greeting ? readExactly(*client, uchar((*greeting)[1])) : std::nullopt;
    if (!methods || (*greeting)[0] != 5 || !methods->contains('\0')) {
        client->writeAll(QByteArray("\x05\xff", 2));
        return;
    }
    client->writeAll(QByteArray("\x05\x00", 2));
    const auto request = readExactly(*client, 4);
    const auto target = request ? readTarget(*client, (*request)[3]) : std::nullopt;
    if (!target)
        return;
    {
        std::lock_guard lock(mutex);
        entries << QStringLiteral("CONNECT %1").arg(*target);
    }
    const int port = fixedPort ? fixedPort : target->section(u':', -1).toInt();
    auto server = std::make_shared<Connection>(connectToLoopback(port));
    if (server->fd() < 0) {
        client->writeAll(QByteArray("\x05\x05\x00\x01\0\0\0\0\0\0", 10)); // connection refused
        return;
    }
    connections->track(server);
    client->writeAll(QByteArray("\x05\x00\x00\x01\x7f\x00\x00\x01\x00\x00", 10));
    pump(*client, *server, QByteArray());
}

} // namespace test_support
