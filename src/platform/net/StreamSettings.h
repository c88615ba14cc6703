#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace platform::net {

// The proxy a stream goes through: none, an HTTP proxy (absolute-form requests for http, a CONNECT tunnel
// for https), or a SOCKS5 proxy (a tunnel for both).
struct ProxySettings {
    enum class Type { None, Http, Socks };
    Type type = Type::None;
    QString host;
    int port = 0;

    bool isNone() const { return type == Type::None || host.isEmpty() || port <= 0; }
    friend bool operator==(const ProxySettings&, const ProxySettings&) = default;
};

// A client certificate with its key, and the certificates that lead from it to an authority; all PEM.
struct ClientIdentity {
    QByteArray certificate;
    QByteArray privateKey;
    QList<QByteArray> chain;

    bool isEmpty() const { return certificate.isEmpty(); }
    friend bool operator==(const ClientIdentity&, const ClientIdentity&) = default;
};

// How a stream talks TLS. Without validation neither the chain nor the name is checked: only for the
// request that asked for it, and never on a connection a validating request could take over.
struct TlsSettings {
    bool validatesCertificate = true;
    ClientIdentity identity;

    friend bool operator==(const TlsSettings&, const TlsSettings&) = default;
};

} // namespace platform::net
