#pragma once

// A scripted HTTP/1.1 server on 127.0.0.1 for network tests, in clear and in TLS at once.
//
//   test_support::LoopbackServer server;                          // listens at once, on ports the system
//   picks server.route("/feed", [](const ServerRequest& request) {      // handlers run on the server's
//   threads
//       return ServerResponse::text(200, "hello");
//   });
//   fetch(server.url("/feed"));        // http://127.0.0.1:<port>/feed
//   fetch(server.secureUrl("/feed"));  // https://localhost:<securePort>/feed, certificate from the test CA
//   EXPECT_EQ(server.requests().size(), 1u);
//
// The TLS side presents a certificate for "localhost" signed by `TestCertificateAuthority::shared()`: a
// client must trust `caFile()` of that authority, and one that connects to 127.0.0.1 by address sees a name
// mismatch. Every request is logged (method, target, headers, body, port, connection) before its handler
// runs. Replies carry "Content-Length", connections are kept alive, and a request without a route gets a 404.
//
// Beyond plain replies a handler can ask for the faults a client must survive: hold the request until the
// test releases it, close the connection after reading the request, close after part of the body, stall
// (accept the request and never answer), or send bytes of its own making. Replies may be HTTP/1.0 (the
// connection then closes unless the reply says "Connection: keep-alive"), chunked, or gzip-compressed.
// Handlers may be replaced while the server runs; they run concurrently (one thread per connection), so what
// they share must be thread-safe.

#include "platform/net/HttpHeaders.h"

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <QUrlQuery>

#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

typedef struct ssl_ctx_st SSL_CTX;

namespace test_support {

class Connection;
class ListeningSocket;

// A request as the server received it.
struct ServerRequest {
    QByteArray method;
    QByteArray target; // as sent: "/a?b=c", or an absolute URL through a proxy
    QString path;      // decoded path of the target
    QUrlQuery query;
    platform::net::HttpHeaders headers;
    QByteArray body;     // de-chunked
    bool secure = false; // arrived over TLS
    int connection = 0;  // 1 for the first connection the server accepted, and so on

    QByteArray header(const QByteArray& name) const { return headers.value(name); }
};

// What the server does with one request.
struct ServerResponse {
    enum class Action {
        Reply,               // send the reply
        Hold,                // send the reply only once the test calls releaseHeld() (or the server stops)
        CloseAfterRequest,   // read the request, then close without a word
        CloseAfterBodyBytes, // send the head with the full "Content-Length", `bodyBytesBeforeClose` bytes,
                             // close
        Stall,               // send nothing and keep the connection open until the server stops
        Raw,                 // send `body` exactly as it stands (a whole reply of the test's own), then close
    };

    int status = 200;
    QByteArray reason; // empty: the standard phrase
    platform::net::HttpHeaders headers;
    QByteArray body;
    Action action = Action::Reply;
    qint64 bodyBytesBeforeClose = 0;
    bool closeAfterReply = false; // "Connection: close" and close
    bool http10 = false;          // an "HTTP/1.0" status line
    bool chunked = false;         // the body in chunks of `chunkSize` bytes, without "Content-Length"
    int chunkSize = 7;

    static ServerResponse text(int status, const QByteArray& body,
                               const QByteArray& contentType = "text/plain");
    static ServerResponse redirect(int status, const QByteArray& location);
    static ServerResponse hold(ServerResponse reply);
    static ServerResponse closeAfterRequest();
    static ServerResponse closeAfterBodyBytes(ServerResponse reply, qint64 bytes);
    static ServerResponse stall();
    static ServerResponse raw(const QByteArray& bytes);
    // The body compressed as one gzip member, with "Content-Encoding: gzip".
    static ServerResponse gzipped(int status, const QByteArray& body);
    ServerResponse& withHeader(const QByteArray& name, const QByteArray& value);
};

using RequestHandler = std::function<ServerResponse(const ServerRequest&)>;

// Bytes as one gzip member.
QByteArray gzip(const QByteArray& bytes);

class LoopbackServer {
public:
    // Starts listening in clear and in TLS (certificate for `tlsNames`, signed by the test CA).
    explicit LoopbackServer(const QStringList& tlsNames = {QStringLiteral("localhost")});
    // Stops: held and stalled requests are let go, connections closed, threads joined.
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    int port() const;
    int securePort() const;
    // "http://127.0.0.1:<port><path>" and "https://localhost:<securePort><path>"; `path` may hold a query.
    QUrl url(const QString& path) const;
    QUrl secureUrl(const QString& path) const;
    // The same resource under another host name for the same port ("localhost" or "127.0.0.1").
    QUrl urlOnHost(const QString& host, const QString& path, bool secure = false) const;

    // Answers requests for `path` (exact match, query ignored), any method or one method.
    void route(const QString& path, RequestHandler handler);
    void route(const QByteArray& method, const QString& path, RequestHandler handler);
    // Answers every request no route takes (a 404 by default).
    void setFallback(RequestHandler handler);

    std::vector<ServerRequest> requests() const;
    std::vector<ServerRequest> requestsTo(const QString& path) const;
    // Waits until at least `count` requests have arrived; false when `timeoutMs` passed first.
    bool waitForRequests(size_t count, int timeoutMs = 10000) const;
    void clearLog();
    int connectionCount() const;
    // Requests now held by a Hold action; releaseHeld() sends their replies.
    int heldCount() const;
    bool waitForHeld(int count, int timeoutMs = 10000) const;
    void releaseHeld();
    // Whether the client closed connection `index` (as numbered in `ServerRequest::connection`).
    bool closedByClient(int index) const;

private:
    struct Route {
        QByteArray method;
        RequestHandler handler;
    };
    void acceptLoop(ListeningSocket& listener, bool secure);
    void serve(std::shared_ptr<Connection> connection, bool secure, int index);
    ServerResponse respond(const ServerRequest& request);
    bool perform(Connection& connection, const ServerRequest& request, const ServerResponse& response);
    void track(const std::shared_ptr<Connection>& connection);

    std::shared_ptr<SSL_CTX> tlsContext;
    std::unique_ptr<ListeningSocket> plain;
    std::unique_ptr<ListeningSocket> secure;

    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    std::multimap<QString, Route> routes;
    RequestHandler fallback;
    std::vector<ServerRequest> log;
    std::vector<std::weak_ptr<Connection>> open;
    int accepted = 0;
    int held = 0;
    int releases = 0;
    std::vector<int> clientClosed;
    bool stopping = false;

    std::vector<std::thread> threads;
};

} // namespace test_support
