#pragma once

// The byte streams under the loopback test servers: a listening socket on 127.0.0.1, accepted connections in
// clear or in TLS, and a buffered reader of HTTP/1.1 messages. Blocking I/O: each connection runs on a thread
// of its own, and shutting a socket down wakes whatever waits on it.

#include "platform/foundation/UniqueFd.h"

#include <QByteArray>
#include <QList>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

typedef struct ssl_st SSL;
typedef struct ssl_ctx_st SSL_CTX;

namespace test_support {

// A TCP socket bound to 127.0.0.1 on a port the system picks.
class ListeningSocket {
public:
    ListeningSocket();
    int port() const { return boundPort; }
    int fd() const { return socket.get(); }
    // Waits for the next connection; an invalid descriptor once the socket has been shut down.
    platform::UniqueFd accept();
    void shutdown();

private:
    platform::UniqueFd socket;
    int boundPort = 0;
};

// One accepted or opened connection, in clear or wrapped in TLS.
class Connection {
public:
    explicit Connection(platform::UniqueFd fd);
    ~Connection();
    // Runs the server side of a TLS handshake; false when the client gave up (an untrusted certificate).
    bool acceptTls(SSL_CTX* context);
    // Reads up to `max` bytes; 0 at the end or on an error.
    qint64 read(char* buffer, qint64 max);
    bool writeAll(const QByteArray& bytes);
    // Wakes a reader blocked on this connection and makes every later read and write fail.
    void shutdown();
    int fd() const { return socket.get(); }
    bool isSecure() const { return ssl != nullptr; }

private:
    platform::UniqueFd socket;
    SSL* ssl = nullptr;
};

// A listening socket whose connections are each served on a thread of their own. Destroying it shuts every
// connection down (those it accepted and those tracked) and joins the threads; declare it after what the
// serving threads use, so that it goes first.
class AcceptLoop {
public:
    explicit AcceptLoop(std::function<void(std::shared_ptr<Connection>)> serve);
    ~AcceptLoop();
    AcceptLoop(const AcceptLoop&) = delete;
    AcceptLoop& operator=(const AcceptLoop&) = delete;

    int port() const;
    int acceptedCount() const;
    // Shuts this connection (one a serving thread opened itself) down with the others.
    void track(const std::shared_ptr<Connection>& connection);

private:
    void run();

    std::function<void(std::shared_ptr<Connection>)> serve;
    std::unique_ptr<ListeningSocket> listener;
    mutable std::mutex mutex;
    std::vector<std::weak_ptr<Connection>> open;
    std::vector<std::thread> threads;
    int accepted = 0;
    bool stopping = false;
};

// Opens a TCP connection to 127.0.0.1 (or to whatever "localhost" stands for) on a port.
platform::UniqueFd connectToLoopback(int port);

// Copies bytes both ways between two connections until either side closes; `pending` goes to `server` first.
void pump(Connection& client, Connection& server, QByteArray pending);

// Reads HTTP/1.1 messages off a connection, keeping what arrives after one message for the next.
class MessageReader {
public:
    explicit MessageReader(Connection& connection) : connection(connection) {}
    // The head up to and including the empty line; nothing when the peer closed first or sent too much.
    std::optional<QByteArray> readHead();
    // A body of known length, or a chunked one; nothing when the peer closed before its end.
    std::optional<QByteArray> readBody(qint64 length);
    std::optional<QByteArray> readChunkedBody();
    // Bytes already read past the last message (for a tunnel, which then pumps raw bytes).
    QByteArray takeBuffered() { return std::exchange(buffer, QByteArray()); }

private:
    bool fill();
    std::optional<QByteArray> readLine();

    Connection& connection;
    QByteArray buffer;
};

} // namespace test_support
