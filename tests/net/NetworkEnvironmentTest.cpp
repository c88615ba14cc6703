#include "platform/net/NetworkEnvironment.h"
#include "platform/net/TrustStore.h"
#include "support/LoopbackServer.h"
#include "support/LoopbackSocket.h"
#include "support/NetTestEnvironment.h"

#include <QHash>

#include <gtest/gtest.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

using platform::net::NetworkEnvironment;
using platform::net::TrustStore;

namespace {

NetworkEnvironment fromVariables(const QHash<QByteArray, QByteArray>& variables) {
    return NetworkEnvironment::fromEnvironment([&](const char* name) { return variables.value(name); });
}

TEST(NetworkEnvironmentTest, ProxiesComeFromTheVariablesCurlReads) {
    struct Case {
        QHash<QByteArray, QByteArray> variables;
        const char* url;
        const char* proxy;
    } cases[] = {
        {{{"https_proxy", "http://secure.proxy:3128"}, {"http_proxy", "plain.proxy:8080"}},
         "https://a.org/",
         "http://secure.proxy:3128"},
        {{{"https_proxy", "http://secure.proxy:3128"}, {"http_proxy", "plain.proxy:8080"}},
         "http://a.org/",
         "http://plain.proxy:8080"},
        {{{"HTTPS_PROXY", "upper.proxy"}}, "https://a.org/", "http://upper.proxy:1080"},
        {{{"HTTP_PROXY", "upper.proxy:1"}}, "http://a.org/", ""}, // any CGI request can set HTTP_PROXY
        {{{"ALL_PROXY", "socks5://all.proxy:9"}}, "http://a.org/", "socks5://all.proxy:9"},
        {{{"all_proxy", "all.proxy:9"}, {"https_proxy", " "}}, "https://a.org/", "http://all.proxy:9"},
        {{{"https_proxy", "p:1"}, {"no_proxy", "*"}}, "https://a.org/", ""},
        {{}, "https://a.org/", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(fromVariables(c.variables).proxyForUrl(QUrl(c.url)), QUrl(c.proxy))
            << c.url << " " << c.proxy;
}

TEST(NetworkEnvironmentTest, NoProxyEntriesMatchHostsDomainsAddressesAndPorts) {
    const NetworkEnvironment environment = fromVariables(
        {{"no_proxy", ".example.com, *.corp  intranet,10.0.0.0/8,::1, localhost:8080, 192.168.1.5"}});
    struct Case {
        const char* url;
        bool bypass;
    } cases[] = {
        {"https://example.com/", true},     {"https://www.EXAMPLE.com/", true},
        {"https://badexample.com/", false}, {"https://build.corp/", true},
        {"https://intranet/", true},        {"https://myintranet/", false},
        {"http://10.20.30.40/", true},      {"http://11.0.0.1/", false},
        {"http://[::1]:99/", true},         {"http://localhost:8080/", true},
        {"http://localhost:8081/", false},  {"http://192.168.1.5/", true},
        {"http://192.168.1.50/", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(environment.bypassesProxy(QUrl(c.url)), c.bypass) << c.url;
}

// The second HTTP stack runs OpenSSL itself: the same trust must verify the same server there.
TEST(TrustStoreTest, AnOpenSslContextTrustsWhatTheEnvironmentNames) {
    test_support::LoopbackServer server;
    for (bool trustTestCa : {true, false}) {
        std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> context(SSL_CTX_new(TLS_client_method()),
                                                                  SSL_CTX_free);
        ASSERT_TRUE(TrustStore::configure(context.get(), test_support::testNetworkEnvironment(trustTestCa)));
        SSL_CTX_set_verify(context.get(), SSL_VERIFY_PEER, nullptr);
        std::unique_ptr<SSL, decltype(&SSL_free)> ssl(SSL_new(context.get()), SSL_free);
        platform::UniqueFd socket = test_support::connectToLoopback(server.securePort());
        SSL_set_fd(ssl.get(), socket.get());
        SSL_set_tlsext_host_name(ssl.get(), "localhost");
        SSL_set1_host(ssl.get(), "localhost");
        EXPECT_EQ(SSL_connect(ssl.get()) == 1, trustTestCa);
        EXPECT_EQ(SSL_get_verify_result(ssl.get()) == X509_V_OK, trustTestCa);
    }
}

} // namespace
