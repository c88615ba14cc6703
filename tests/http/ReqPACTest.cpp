#include "ReqTestSupport.h"

#include "http/ReqPACScript.h"
#include "support/LoopbackProxy.h"
#include "support/TempDir.h"

#include <QElapsedTimer>
#include <QFile>

using namespace req_test;

namespace {

using Type = ReqProxyChoice::Type;

TEST(ReqPACScriptTest, AnswersParseIntoChoices) {
    EXPECT_EQ(ReqPACScript::parseProxyList("PROXY a.example:8080; SOCKS b:1081;DIRECT; NONSENSE x; PROXY"),
              QList<ReqProxyChoice>(
                  {{Type::Http, "a.example", 8080}, {Type::Socks, "b", 1081}, {Type::Direct, "", 0}}));
    EXPECT_EQ(ReqPACScript::parseProxyList("SOCKS5 c").value(0), (ReqProxyChoice{Type::Socks, "c", 1080}));
}

TEST(ReqPACScriptTest, TheStandardHelpersAnswerAsScriptsExpect) {
    const QString script = QStringLiteral(R"(
        function FindProxyForURL(url, host) {
            if (isPlainHostName(host)) return "DIRECT";
            if (shExpMatch(url, "*/private/*") || isInNet(host, "10.0.0.0", "255.0.0.0")) return "PROXY inner:1";
            if (dnsDomainIs(host, ".example.com") && dnsDomainLevels(host) == 2) return "SOCKS outer:2";
            return "PROXY other:3; DIRECT";
        })");
    const struct {
        const char* url;
        ReqProxyChoice first;
    } cases[] = {
        {"http://intranet/x", {Type::Direct, "", 0}},
        {"http://www.example.com/private/y", {Type::Http, "inner", 1}},
        {"http://10.1.2.3/", {Type::Http, "inner", 1}},
        {"https://www.example.com/", {Type::Socks, "outer", 2}},
        {"http://example.org/", {Type::Http, "other", 3}},
    };
    for (const auto& c : cases) {
        const auto choices = ReqPACScript::proxiesForURL(script, QUrl(c.url), 5);
        ASSERT_TRUE(choices) << c.url;
        EXPECT_EQ(choices->first(), c.first) << c.url;
    }
    EXPECT_FALSE(ReqPACScript::proxiesForURL("this is not a script", QUrl("http://h/"), 5));
    EXPECT_FALSE(
        ReqPACScript::proxiesForURL("function FindProxyForURL() { return 7; }", QUrl("http://h/"), 5));
}

class ReqPACTest : public ReqRequestTest {
protected:
    void SetUp() override {
        server.route("/p", [](const ServerRequest&) { return ServerResponse::text(200, "origin"); });
        const QByteArray script = "function FindProxyForURL(url, host) { return \"PROXY 127.0.0.1:" +
                                  QByteArray::number(proxy.port()) + "\"; }";
        server.route("/proxy.pac", [script](const ServerRequest&) {
            return ServerResponse::text(200, script, "application/x-ns-proxy-autoconfig");
        });
    }
    test_support::LoopbackProxy proxy;
};

TEST_F(ReqPACTest, AServedScriptSendsTheRequestThroughItsProxy) {
    for (bool synchronous : {true, false}) {
        proxy.clearLog();
        const auto request = ReqHTTPRequest::requestWithURL(server.url("/p"));
        request->setPACurl(server.url("/proxy.pac"));
        if (synchronous)
            request->startSynchronous();
        else
            ASSERT_TRUE(runAsync(request));
        EXPECT_EQ(request->responseString(), "origin");
        EXPECT_EQ(proxy.log(), QStringList{"GET " + server.url("/p").toString()});
        EXPECT_EQ(request->proxyPort(), proxy.port());
    }
    EXPECT_EQ(ReqHTTPRequest::sharedQueue().maxConcurrentOperationCount(), 4);
}

TEST_F(ReqPACTest, AScriptThatNeverEndsIsStoppedAndTheRequestGoesDirect) {
    TempDir folder;
    QFile file(folder.file("loop.pac"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("function FindProxyForURL(url, host) { for (;;) {} }");
    file.close();
    const auto request = ReqHTTPRequest::requestWithURL(server.url("/p"));
    request->setPACurl(QUrl::fromLocalFile(file.fileName()));
    request->setTimeOutSeconds(0.5);
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(runAsync(request));
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_EQ(request->responseString(), "origin");
    EXPECT_TRUE(proxy.log().isEmpty());
    EXPECT_TRUE(request->proxyHost().isEmpty());
}

} // namespace
