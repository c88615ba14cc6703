#include "ReqTestSupport.h"

#include "support/LoopbackSocksProxy.h"

#include <mutex>
#include <set>

using namespace req_test;

namespace {

class ReqConnectionTest : public ReqRequestTest {
protected:
    // Two requests one after the other; the number of connections the server accepted for them.
    static int connectionsForTwo(const LoopbackServer& server, const QUrl& url, bool validatesFirst = true) {
        const int before = server.connectionCount();
        for (bool validates : {validatesFirst, true}) {
            const auto request = ReqHTTPRequest::requestWithURL(url);
            request->setValidatesSecureCertificate(validates);
            request->startSynchronous();
            EXPECT_FALSE(request->error()) << request->error()->localizedDescription().toStdString();
        }
        return server.connectionCount() - before;
    }
};

TEST_F(ReqConnectionTest, KeptConnectionsFollowTheKeepAliveRule) {
    const auto reply = [](bool http10, QByteArray keepAlive) {
        return [=](const ServerRequest&) {
            ServerResponse response = ServerResponse::text(200, "kept?");
            response.http10 = http10;
            if (!keepAlive.isEmpty())
                response.headers.set("Keep-Alive", keepAlive);
            return response;
        };
    };
    const struct {
        bool http10;
        QByteArray keepAlive;
        int connections;
    } cases[] = {
        {false, "", 1}, {false, "timeout=30, max=5", 2}, {false, "timeout=30, max=6", 1}, {true, "", 2}};
    for (const auto& c : cases) {
        LoopbackServer own; // a server of its own, so that no earlier connection is kept for it
        own.route("/", reply(c.http10, c.keepAlive));
        EXPECT_EQ(connectionsForTwo(own, own.url("/")), c.connections) << c.keepAlive.constData();
    }
}

TEST_F(ReqConnectionTest, AConnectionMadeWithoutValidationNeverServesAValidatingRequest) {
    server.route("/", [](const ServerRequest&) { return ServerResponse::text(200, "tls"); });
    EXPECT_EQ(connectionsForTwo(server, server.secureUrl("/")), 1);
    EXPECT_EQ(connectionsForTwo(server, server.secureUrl("/"), false), 2);
}

TEST_F(ReqConnectionTest, NoPortAndTheDefaultPortAreTwoRecords) {
    server.route("/", [](const ServerRequest&) { return ServerResponse::text(200, "named"); });
    test_support::LoopbackSocksProxy socks(server.port());
    const auto through = [&](const char* url) {
        const auto request = ReqHTTPRequest::requestWithURL(QUrl(url));
        request->setProxyHost("127.0.0.1");
        request->setProxyPort(socks.port());
        request->setProxyType(kReqProxyTypeSOCKS);
        request->startSynchronous();
        EXPECT_EQ(request->responseString(), "named");
        return request->connectionID();
    };
    const auto first = through("http://example.test/");
    EXPECT_EQ(through("http://example.test/"), first);
    EXPECT_NE(through("http://example.test:80/"), first);
    EXPECT_EQ(socks.connectionCount(), 2);
}

TEST_F(ReqConnectionTest, AKeptConnectionTheServerDropsIsRetriedOnceOnAFreshOne) {
    std::mutex mutex;
    std::set<int> answered;
    server.route("/drop", [&](const ServerRequest& request) {
        std::lock_guard lock(mutex);
        // A server that closes kept connections when their second request comes.
        return answered.insert(request.connection).second ? ServerResponse::text(200, "fresh")
                                                          : ServerResponse::closeAfterRequest();
    });
    for (int i = 0; i < 2; ++i) {
        const auto request = ReqHTTPRequest::requestWithURL(server.url("/drop"));
        request->startSynchronous();
        EXPECT_FALSE(request->error());
        EXPECT_EQ(request->responseString(), "fresh");
        EXPECT_EQ(request->retryCount(), i);
    }
    EXPECT_EQ(server.requests().size(), 3u);
    EXPECT_EQ(server.connectionCount(), 2);
}

} // namespace
