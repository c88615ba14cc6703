#pragma once

#include "platform/foundation/Error.h"
#include "platform/foundation/UniqueFd.h"
#include "platform/net/NetworkEnvironment.h"
#include "platform/net/StreamSettings.h"

#include <QString>

typedef struct ssl_st SSL;

namespace platform::net {

// One open TCP connection of our HTTP client, in clear or in TLS, with what it was made for: a stream may
// take it over only when all of that matches (scheme, host, port, proxy, TLS settings and the authorities
// trusted).
class HttpConnection {
public:
    struct Key {
        QString scheme;
        QString host;
        int port = 0;
        ProxySettings proxy;
        TlsSettings tls;
        QString trustedFile; // the authorities the server was verified against, besides the system's
        QString trustedFolder;
        friend bool operator==(const Key&, const Key&) = default;
    };

    // What one step of I/O came to.
    struct Io {
        enum Status { Done, WantRead, WantWrite, Closed, Failed };
        Status status = Done;
        qint64 bytes = 0;
        Error error;
    };

    HttpConnection(UniqueFd socket, Key key);
    ~HttpConnection();
    HttpConnection(const HttpConnection&) = delete;
    HttpConnection& operator=(const HttpConnection&) = delete;

    int fd() const { return socket.get(); }
    const Key& key() const { return madeFor; }
    bool isSecure() const { return ssl != nullptr; }

    // Begins TLS towards `serverName` (SNI, and the name checked unless validation is off): TLS 1.2 or
    // later, the authorities of `environment`, the client identity when one is given.
    bool startTls(const QString& serverName, const TlsSettings& settings,
                  const NetworkEnvironment& environment, Error& error);
    Io continueHandshake();

    Io read(char* buffer, qint64 max);
    Io write(const char* data, qint64 size);
    // Decrypted bytes waiting inside TLS, which the socket no longer signals.
    bool hasBufferedBytes() const;
    // Whether the idle connection can still carry a request: the peer has neither closed it nor sent
    // anything unasked (records that carry no data, such as TLS session tickets, are read and dropped).
    bool isStillOpen();

private:
    Io sslResult(int result, bool handshake);
    Error handshakeError() const;

    UniqueFd socket;
    Key madeFor;
    SSL* ssl = nullptr;
};

} // namespace platform::net
