#include "platform/net/HttpReadStream.h"
#include "platform/net/HttpStreamError.h"
#include "platform/net/UrlError.h"
#include "support/LoopbackProxy.h"
#include "support/LoopbackServer.h"
#include "support/LoopbackSocksProxy.h"
#include "support/NetTestEnvironment.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <set>

using namespace platform::net;
using test_support::LoopbackServer;
using test_support::ServerRequest;
using test_support::ServerResponse;

namespace {

struct Read {
    std::shared_ptr<HttpReadStream> stream;
    QByteArray body;
    std::optional<HttpMessage> response;
    std::optional<platform::Error> error;
    bool ended = false;
};

struct Options {
    ProxySettings proxy;
    TlsSettings tls;
    std::shared_ptr<HttpReadStream> previous;
    QByteArray method = "GET";
};

// Runs one stream to its end on a loop of its own.
Read run(const QUrl& url, const Options& options = {}) {
    Read read;
    read.stream = HttpReadStream::create(HttpMessage::request(options.method, url, HttpVersion::Http11));
    read.stream->setProxy(options.proxy);
    read.stream->setTls(options.tls);
    read.stream->setClient([&](HttpReadStream::Event event) {
        if (event == HttpReadStream::Event::HasBytesAvailable) {
            char buffer[1000];
            read.body += QByteArray(buffer, read.stream->read(buffer, sizeof buffer));
        } else if (event == HttpReadStream::Event::ErrorOccurred) {
            read.error = read.stream->error();
        } else {
            read.ended = true;
        }
    });
    const auto loop = PrivateRunLoop::create();
    read.stream->schedule(loop);
    if (!read.stream->open(options.previous))
        return read;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    loop->runUntil([&] { return read.ended || read.error || std::chrono::steady_clock::now() > deadline; });
    read.response = read.stream->response();
    read.stream->unschedule();
    return read;
}

class HttpReadStreamTest : public ::testing::Test {
protected:
    test_support::NetTestEnvironment environment;
    LoopbackServer server;
};

TEST_F(HttpReadStreamTest, ReadsChunkedBodiesInClearAndInTls) {
    server.route("/chunks", [](const ServerRequest&) {
        ServerResponse reply = ServerResponse::text(200, QByteArray(5000, 'c'));
        reply.chunked = true;
        return reply;
    });
    for (const QUrl& url : {server.url("/chunks"), server.secureUrl("/chunks")}) {
        const Read read = run(url);
        ASSERT_FALSE(read.error) << read.error->localizedDescription().toStdString();
        EXPECT_TRUE(read.ended);
        EXPECT_EQ(read.body, QByteArray(5000, 'c'));
        EXPECT_EQ(read.response->value("Transfer-Encoding"), "chunked");
    }
    EXPECT_EQ(server.requests().at(0).header("Host"), "127.0.0.1:" + QByteArray::number(server.port()));
}

TEST_F(HttpReadStreamTest, FaultyRepliesAndUntrustedServersAreErrors) {
    server.route("/short", [](const ServerRequest&) {
        return ServerResponse::closeAfterBodyBytes(ServerResponse::text(200, QByteArray(100, 's')), 10);
    });
    server.route("/lengths", [](const ServerRequest&) {
        return ServerResponse::raw("HTTP/1.1 200 OK\r\nContent-Length: 2\r\nContent-Length: 3\r\n\r\nabc");
    });
    server.route("/", [](const ServerRequest&) { return ServerResponse::text(200, "secret"); });
    const NetworkEnvironment untrusting = test_support::testNetworkEnvironment(false);
    struct Case {
        QUrl url;
        std::optional<NetworkEnvironment> environment;
        bool validates;
        QString domain;
        qint64 code;
    } cases[] = {
        {server.url("/short"), {}, true, kHttpStreamErrorDomain, HttpStreamPrematureEnd},
        {server.url("/lengths"), {}, true, kHttpStreamErrorDomain, HttpStreamConflictingLengths},
        {server.secureUrl("/"), untrusting, true, kTlsErrorDomain, TlsUnknownRoot},
        {server.urlOnHost("127.0.0.1", "/", true),
         {},
         true,
         kTlsErrorDomain,
         TlsChainInvalid}, // name mismatch
        {server.secureUrl("/"), untrusting, false, "", 0},
        {QUrl("http://127.0.0.1:1/"), {}, true, kPosixErrorDomain, ECONNREFUSED},
    };
    for (const Case& c : cases) {
        std::optional<ScopedNetworkEnvironment> scope;
        if (c.environment)
            scope.emplace(*c.environment);
        Options options;
        options.tls.validatesCertificate = c.validates;
        const Read read = run(c.url, options);
        EXPECT_EQ(read.error ? read.error->domain : QString(), c.domain) << c.url.toString().toStdString();
        EXPECT_EQ(read.error ? read.error->code : 0, c.code) << c.url.toString().toStdString();
        EXPECT_EQ(read.ended, c.code == 0);
    }
}

TEST_F(HttpReadStreamTest, ProxiesSeeAbsoluteFormsTunnelsAndSocksRequests) {
    server.route("/p", [](const ServerRequest&) { return ServerResponse::text(200, "origin"); });
    test_support::LoopbackProxy proxy;
    test_support::LoopbackSocksProxy socks;
    const ProxySettings http{ProxySettings::Type::Http, "127.0.0.1", proxy.port()};
    const ProxySettings socks5{ProxySettings::Type::Socks, "127.0.0.1", socks.port()};
    for (const auto& [url, settings] :
         {std::pair{server.url("/p"), http}, std::pair{server.secureUrl("/p"), http},
          std::pair{server.secureUrl("/p"), socks5}}) {
        Options options;
        options.proxy = settings;
        const Read read = run(url, options);
        EXPECT_EQ(read.body, "origin") << url.toString().toStdString();
    }
    EXPECT_EQ(proxy.log(), QStringList({QStringLiteral("GET %1").arg(server.url("/p").toString()),
                                        QStringLiteral("CONNECT localhost:%1").arg(server.securePort())}));
    EXPECT_EQ(socks.log(), QStringList{QStringLiteral("CONNECT localhost:%1").arg(server.securePort())});
    EXPECT_EQ(server.requests().at(0).target, "/p");
}

TEST_F(HttpReadStreamTest, AProxyRefusingTheTunnelIsTheResponse) {
    test_support::LoopbackProxy proxy;
    proxy.requireCredential("u", "p");
    Options options;
    options.proxy = {ProxySettings::Type::Http, "127.0.0.1", proxy.port()};
    const Read read = run(server.secureUrl("/"), options);
    ASSERT_TRUE(read.response);
    EXPECT_EQ(read.response->statusCode(), 407);
    EXPECT_TRUE(read.ended);
    EXPECT_EQ(server.requests().size(), 0u);
}

// Only a request for credentials is answered as a response; every other refusal is the proxy's word, which
// must never pass for the server's.
TEST_F(HttpReadStreamTest, AProxyRefusingTheTunnelOtherwiseIsAnError) {
    test_support::LoopbackProxy proxy;
    Options options;
    options.proxy = {ProxySettings::Type::Http, "127.0.0.1", proxy.port()};
    for (int status : {302, 403, 502}) {
        proxy.refuseTunnels(status, "Location: http://127.0.0.1/elsewhere\r\nSet-Cookie: from=proxy\r\n");
        const Read read = run(server.secureUrl("/"), options);
        ASSERT_TRUE(read.error) << status;
        EXPECT_EQ(read.error->domain, kUrlErrorDomain);
        EXPECT_EQ(read.error->code, UrlErrorProxyRefusedConnection);
        EXPECT_EQ(read.error->userInfo.value(QLatin1String(kProxyStatusCodeKey)).toInt(), status);
        EXPECT_FALSE(read.response) << status;
        EXPECT_FALSE(read.ended);
        EXPECT_TRUE(read.body.isEmpty());
    }
    EXPECT_EQ(server.requests().size(), 0u);
}

TEST_F(HttpReadStreamTest, ATakenOverConnectionMustMatchAndBeOpen) {
    server.route("/k", [](const ServerRequest&) { return ServerResponse::text(200, "kept"); });
    std::mutex mutex;
    std::set<int> seen;
    server.route("/close", [&](const ServerRequest& request) {
        // Answers the first request of a connection and drops the connection at the second.
        std::lock_guard lock(mutex);
        return seen.insert(request.connection).second ? ServerResponse::text(200, "once")
                                                      : ServerResponse::closeAfterRequest();
    });
    const Read first = run(server.secureUrl("/k"));
    ASSERT_TRUE(first.stream->isReusable());
    Options sameSettings;
    sameSettings.previous = first.stream;
    const Read second = run(server.secureUrl("/k"), sameSettings);
    EXPECT_TRUE(second.stream->tookOverConnection());
    EXPECT_EQ(server.connectionCount(), 1);

    Options unvalidated;
    unvalidated.previous = second.stream;
    unvalidated.tls.validatesCertificate = false;
    const Read third = run(server.secureUrl("/k"), unvalidated);
    EXPECT_FALSE(third.stream->tookOverConnection());
    EXPECT_EQ(server.connectionCount(), 2);

    const Read answered = run(server.url("/close"));
    Options afterClose;
    afterClose.previous = answered.stream;
    const Read dropped = run(server.url("/close"), afterClose);
    ASSERT_TRUE(dropped.error);
    EXPECT_TRUE(dropped.error->is(kUrlErrorDomain, UrlErrorNetworkConnectionLost));
}

} // namespace
