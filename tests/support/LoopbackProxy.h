#pragma once

// An HTTP proxy on 127.0.0.1 for network tests: "CONNECT host:port" opens a tunnel (so TLS runs end to end
// between client and server, and the client verifies the real server's name), and a request in absolute
// form ("GET http://host:port/path") is passed on to the server in origin form. Targets must be loopback
// servers: "localhost" and "127.0.0.1" both lead to 127.0.0.1.
//
//   test_support::LoopbackProxy proxy;
//   env.httpsProxy = proxy.url();                          // http://127.0.0.1:<port>
//   ... fetch through it ...
//   EXPECT_EQ(proxy.log(), QStringList{"CONNECT localhost:4431"});
//
// With requireCredential() set, a request without the matching Basic "Proxy-Authorization" is answered 407
// with a Basic challenge (and the fields given). With refuseTunnels(status) set, every CONNECT is answered
// with that status (as a proxy whose rules forbid the target does, or one that sends the client to a page of
// its own) and the connection closed.

#include <QString>
#include <QStringList>
#include <QUrl>

#include <memory>
#include <mutex>

namespace test_support {

class AcceptLoop;
class Connection;

class LoopbackProxy {
public:
    LoopbackProxy();
    ~LoopbackProxy();
    LoopbackProxy(const LoopbackProxy&) = delete;
    LoopbackProxy& operator=(const LoopbackProxy&) = delete;

    int port() const;
    QUrl url() const;
    // `challengeFields` ("Name: value\r\n" lines) go into the 407's head.
    void requireCredential(const QString& user, const QString& password,
                           const QByteArray& challengeFields = {});
    // `fields` ("Name: value\r\n" lines) go into the refusal's head.
    void refuseTunnels(int status, const QByteArray& fields = {});
    // "CONNECT host:port" for each tunnel, "METHOD absolute-URL" for each request passed on, in order.
    QStringList log() const;
    void clearLog();

private:
    void serve(std::shared_ptr<Connection> client);
    bool authorized(const QByteArray& head) const;

    mutable std::mutex mutex;
    QStringList entries;
    QByteArray expectedAuthorization;
    QByteArray challengeFields;
    int tunnelRefusal = 0;
    QByteArray refusalFields;
    std::unique_ptr<AcceptLoop> connections; // last: its threads use the members above
};

} // namespace test_support
