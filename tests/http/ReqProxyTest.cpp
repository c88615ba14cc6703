#include "ReqTestSupport.h"

#include "support/LoopbackProxy.h"
#include "support/LoopbackSocksProxy.h"
#include "support/TestCertificateAuthority.h"

using namespace req_test;
using platform::net::NetworkEnvironment;
using test_support::EnvOverride;

namespace {

class ReqProxyTest : public ReqRequestTest {
protected:
    void SetUp() override {
        server.route("/p", [](const ServerRequest&) { return ServerResponse::text(200, "origin"); });
    }
    ReqHTTPRequest::Ptr fetch(const QUrl& url) {
        const auto request = ReqHTTPRequest::requestWithURL(url);
        request->startSynchronous();
        EXPECT_FALSE(request->error()) << url.toString().toStdString();
        EXPECT_EQ(request->responseString(), request->error() ? QString() : "origin");
        return request;
    }

    test_support::LoopbackProxy proxy;
    test_support::LoopbackSocksProxy socks;
};

TEST_F(ReqProxyTest, TheInjectedEnvironmentChoosesTheProxy) {
    NetworkEnvironment environment = test_support::testNetworkEnvironment();
    environment.httpProxy = proxy.url();
    environment.httpsProxy = proxy.url();
    {
        platform::net::ScopedNetworkEnvironment scope(environment);
        fetch(server.url("/p"));
        fetch(server.secureUrl("/p"));
    }
    EXPECT_EQ(proxy.log(), QStringList({"GET " + server.url("/p").toString(),
                                        QStringLiteral("CONNECT localhost:%1").arg(server.securePort())}));
    environment.noProxy = "127.0.0.1, localhost";
    {
        platform::net::ScopedNetworkEnvironment scope(environment);
        fetch(server.url("/p"));
        fetch(server.secureUrl("/p"));
    }
    EXPECT_EQ(proxy.log().size(), 2);

    environment = test_support::testNetworkEnvironment();
    environment.allProxy = socks.url();
    platform::net::ScopedNetworkEnvironment scope(environment);
    EXPECT_EQ(fetch(server.secureUrl("/p"))->proxyType(), kReqProxyTypeSOCKS);
    EXPECT_EQ(socks.log(), QStringList{QStringLiteral("CONNECT localhost:%1").arg(server.securePort())});
}

TEST_F(ReqProxyTest, AnExplicitProxyWinsOverTheEnvironment) {
    NetworkEnvironment environment = test_support::testNetworkEnvironment();
    environment.httpProxy = socks.url();
    platform::net::ScopedNetworkEnvironment scope(environment);
    const auto request = ReqHTTPRequest::requestWithURL(server.url("/p"));
    request->setProxyHost("127.0.0.1");
    request->setProxyPort(proxy.port());
    request->startSynchronous();
    EXPECT_EQ(request->responseString(), "origin");
    EXPECT_EQ(proxy.log().size(), 1);
    EXPECT_TRUE(socks.log().isEmpty());
}

// The second library's half of the network set-up: the process environment, a CONNECT proxy and the
// certificate file of the authority the server's certificate comes from.
TEST_F(ReqProxyTest, HttpsGoesThroughTheEnvironmentsProxyAndTrustsItsCertificateFile) {
    const QString tunnel = QStringLiteral("CONNECT localhost:%1").arg(server.securePort());
    const QString caFile = test_support::TestCertificateAuthority::shared().caFile();
    struct Case {
        std::optional<QString> certificateFile;
        std::optional<QString> noProxy;
        std::optional<qint64> error;
        QStringList proxied;
    } cases[] = {
        {caFile, std::nullopt, std::nullopt, {tunnel}},
        {std::nullopt, std::nullopt, ReqConnectionFailureErrorType, {tunnel}},
        {caFile, QStringLiteral("localhost"), std::nullopt, {}},
    };
    for (const Case& c : cases) {
        proxy.clearLog();
        EnvOverride https("https_proxy", proxy.url().toString()), upperHttps("HTTPS_PROXY", std::nullopt),
            all("all_proxy", std::nullopt), upperAll("ALL_PROXY", std::nullopt), none("no_proxy", c.noProxy),
            upperNone("NO_PROXY", std::nullopt), file("SSL_CERT_FILE", c.certificateFile),
            folder("SSL_CERT_DIR", std::nullopt);
        platform::net::ScopedNetworkEnvironment fromEnvironment(NetworkEnvironment::fromEnvironment());
        const auto request = ReqHTTPRequest::requestWithURL(server.secureUrl("/p"));
        request->startSynchronous();
        EXPECT_EQ(errorCode(request), c.error) << c.certificateFile.value_or("(no CA)").toStdString();
        EXPECT_EQ(request->responseString(), c.error ? QString() : "origin");
        EXPECT_EQ(proxy.log(), c.proxied);
    }
}

} // namespace
