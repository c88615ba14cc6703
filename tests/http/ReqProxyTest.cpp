#include "ReqTestSupport.h"

#include "platform/net/SharedCookieStorage.h"
#include "platform/net/UrlError.h"
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

// A proxy that refuses the tunnel speaks for itself: its cookies are not the server's, its redirect is not
// followed, and the request fails with the proxy's status.
TEST_F(ReqProxyTest, ARefusedTunnelFailsTheRequest) {
    NetworkEnvironment environment = test_support::testNetworkEnvironment();
    environment.httpsProxy = proxy.url();
    platform::net::ScopedNetworkEnvironment scope(environment);
    const QUrl plain = server.urlOnHost("localhost", "/p");
    for (int status : {302, 403}) {
        proxy.clearLog();
        proxy.refuseTunnels(status, "Location: " + plain.toEncoded() + "\r\nSet-Cookie: tunnel=refused\r\n");
        const auto request = ReqHTTPRequest::requestWithURL(server.secureUrl("/p"));
        request->startSynchronous();
        ASSERT_TRUE(request->error()) << status;
        EXPECT_EQ(request->error()->code, ReqConnectionFailureErrorType);
        const std::optional<platform::Error> cause = reqUnderlyingError(*request->error());
        ASSERT_TRUE(cause);
        EXPECT_EQ(cause->code, platform::net::UrlErrorProxyRefusedConnection);
        EXPECT_EQ(cause->localizedDescription(),
                  QStringLiteral("The proxy refused the connection to localhost: %1").arg(status));
        EXPECT_TRUE(request->responseString().isEmpty());
        EXPECT_TRUE(request->responseCookies().isEmpty());
        EXPECT_EQ(proxy.log().size(), 1) << status;
    }
    EXPECT_TRUE(platform::net::SharedCookieStorage::shared().cookiesForUrl(server.secureUrl("/p")).isEmpty());
    EXPECT_TRUE(platform::net::SharedCookieStorage::shared().cookiesForUrl(plain).isEmpty());
    EXPECT_TRUE(server.requests().empty());
}

// The proxy's challenge comes before the tunnel stands: the cookies it sets are the proxy's, never the
// site's.
TEST_F(ReqProxyTest, AProxysChallengeToTheTunnelLeavesNoCookieForTheSite) {
    NetworkEnvironment environment = test_support::testNetworkEnvironment();
    environment.httpsProxy = proxy.url();
    platform::net::ScopedNetworkEnvironment scope(environment);
    proxy.requireCredential("keeper", "gate", "Set-Cookie: gate=proxy\r\n");
    const auto request = ReqHTTPRequest::requestWithURL(server.secureUrl("/p"));
    request->setProxyUsername("keeper");
    request->setProxyPassword("gate");
    request->startSynchronous();
    EXPECT_EQ(request->responseString(), "origin");
    EXPECT_TRUE(request->responseCookies().isEmpty());
    platform::net::SharedCookieStorage& jar = platform::net::SharedCookieStorage::shared();
    const QList<platform::net::Cookie> kept = jar.cookiesForUrl(server.secureUrl("/p"));
    for (const platform::net::Cookie& cookie : kept)
        jar.deleteCookie(cookie);
    EXPECT_TRUE(kept.isEmpty());
}

} // namespace
