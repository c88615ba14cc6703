#include "FetcherTestSupport.h"

#include <QFile>

#include "platform/foundation/UserDefaults.h"
#include "platform/net/ServiceAddresses.h"
#include "platform/net/UrlError.h"
#include "support/LoopbackProxy.h"
#include "support/ResumableUploadRoutes.h"
#include "support/TempDir.h"
#include "support/TestCertificateAuthority.h"
#include "webservice/HTTPFetcher/NetHTTPFetcherService.h"
#include "webservice/HTTPFetcher/NetHTTPUploadFetcher.h"

using namespace fetcher_test;
using platform::net::NetworkEnvironment;
using platform::net::ServiceAddress;
using platform::net::ServiceAddresses;
using test_support::EnvOverride;

namespace {

class NetworkSetupTest : public FetcherTest {};

TEST_F(NetworkSetupTest, HttpsGoesThroughTheEnvironmentsProxyAndTrustsItsCertificateFile) {
    test_support::LoopbackProxy proxy;
    serve("/feed", 200, "through the tunnel");
    const QString tunnel = QStringLiteral("CONNECT localhost:%1").arg(server.securePort());
    struct Case {
        std::optional<QString> certificateFile;
        std::optional<QString> noProxy;
        qint64 error;
        QStringList proxied;
    } cases[] = {
        {test_support::TestCertificateAuthority::shared().caFile(), std::nullopt, 0, {tunnel}},
        {std::nullopt, std::nullopt, platform::net::UrlErrorServerCertificateUntrusted, {tunnel}},
        {test_support::TestCertificateAuthority::shared().caFile(), QStringLiteral("localhost"), 0, {}},
    };
    for (const Case& c : cases) {
        proxy.clearLog();
        EnvOverride https("https_proxy", proxy.url().toString()), upperHttps("HTTPS_PROXY", std::nullopt),
            all("all_proxy", std::nullopt), upperAll("ALL_PROXY", std::nullopt), none("no_proxy", c.noProxy),
            upperNone("NO_PROXY", std::nullopt), file("SSL_CERT_FILE", c.certificateFile),
            folder("SSL_CERT_DIR", std::nullopt);
        platform::net::ScopedNetworkEnvironment fromEnvironment(NetworkEnvironment::fromEnvironment());
        const Outcome outcome = fetch(NetHTTPFetcher::fetcherWithURL(server.secureUrl("/feed")));
        EXPECT_EQ(outcome.errorCode(), c.error) << c.certificateFile.value_or("(no CA)").toStdString();
        EXPECT_EQ(outcome.data, c.error ? QByteArray() : QByteArray("through the tunnel"));
        EXPECT_EQ(proxy.log(), c.proxied);
    }
}

TEST_F(NetworkSetupTest, AProxyThatAsksForCredentialsGetsTheProxyCredential) {
    test_support::LoopbackProxy proxy;
    proxy.requireCredential("traveller", "s3cret");
    serve("/feed", 200, "past the guard");
    NetworkEnvironment environment = test_support::testNetworkEnvironment();
    environment.httpsProxy = proxy.url();
    platform::net::ScopedNetworkEnvironment throughProxy(environment);
    for (bool withCredential : {true, false}) {
        auto fetcher = NetHTTPFetcher::fetcherWithURL(server.secureUrl("/feed"));
        if (withCredential)
            fetcher->setProxyCredential(platform::net::Credential{"traveller", "s3cret"});
        const Outcome outcome = fetch(fetcher);
        EXPECT_EQ(outcome.errorCode(),
                  withCredential ? 0 : qint64(kNetHTTPFetcherErrorAuthenticationChallengeFailed));
        EXPECT_EQ(outcome.data, withCredential ? QByteArray("past the guard") : QByteArray());
    }
}

// A proxy that refuses the tunnel has answered: the fetch ends at once with the proxy's status, and is not
// retried as a lost connection would be.
TEST_F(NetworkSetupTest, AProxyThatRefusesTheTunnelEndsTheFetchAtOnce) {
    test_support::LoopbackProxy proxy;
    serve("/feed", 200, "never");
    NetworkEnvironment environment = test_support::testNetworkEnvironment();
    environment.httpsProxy = proxy.url();
    platform::net::ScopedNetworkEnvironment throughProxy(environment);
    for (int status : {302, 403, 502}) {
        proxy.clearLog();
        proxy.refuseTunnels(status, "Location: " + server.url("/feed").toEncoded() + "\r\n");
        auto fetcher = NetHTTPFetcher::fetcherWithURL(server.secureUrl("/feed"));
        fetcher->setRetryEnabled(true);
        fetcher->setMinRetryInterval(0.05);
        fetcher->setMaxRetryInterval(1.0);
        const Outcome outcome = fetch(fetcher);
        ASSERT_TRUE(outcome.error) << status;
        EXPECT_EQ(outcome.error->domain, platform::net::kUrlErrorDomain);
        EXPECT_EQ(outcome.error->code, platform::net::UrlErrorProxyRefusedConnection);
        EXPECT_EQ(outcome.error->localizedDescription(),
                  QStringLiteral("The proxy refused the connection to localhost: %1").arg(status));
        EXPECT_EQ(fetcher->retryCount(), 0u);
        EXPECT_EQ(proxy.log().size(), 1) << status;
        EXPECT_TRUE(server.requests().empty());
    }
}

TEST_F(NetworkSetupTest, TheServiceTableFromTheUserDefaultsTakesUploadsElsewhere) {
    TempDir dir;
    platform::UserDefaults::setStorePathForTesting(dir.file("Vistrelle.conf"));
    EXPECT_EQ(ServiceAddresses::value(ServiceAddress::VideoServiceUploadRoot),
              "https://uploads.corvanta.example/resumable/feeds/");
    // As a person would write it into ~/.config/Vistrelle/Vistrelle.conf.
    QFile settings(dir.file("Vistrelle.conf"));
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write("[ServiceAddresses]\nVideoServiceUploadRoot=" +
                   server.secureUrl("/staging/resumable/feeds/").toEncoded() + "\n");
    settings.close();
    platform::UserDefaults::setStorePathForTesting(dir.file("Vistrelle.conf"));

    test_support::ResumableUploadRoutes routes(server, "/staging/resumable/feeds/api/users/default/uploads");
    const QUrl uploads = ServiceAddresses::url(ServiceAddress::VideoServiceUploadRoot)
                             .resolved(QUrl("api/users/default/uploads"));
    auto fetcher = NetHTTPUploadFetcher::uploadFetcherWithRequest(platform::net::UrlRequest(uploads),
                                                                  QByteArray(70000, 'm'), "video/mp4", 50000,
                                                                  NetHTTPFetcherService::create());
    const Outcome outcome = fetch(fetcher);
    platform::UserDefaults::setStorePathForTesting(QString());
    EXPECT_FALSE(outcome.error);
    EXPECT_EQ(routes.received(), QByteArray(70000, 'm'));
    EXPECT_EQ(server.requestsTo("/staging/resumable/feeds/api/users/default/uploads").size(), 1u);
}

} // namespace
