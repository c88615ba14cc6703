#include "ReqTestSupport.h"

#include "http/ReqPACScript.h"
#include "support/LoopbackProxy.h"
#include "support/TempDir.h"

#include <QElapsedTimer>
#include <QFile>

#include <future>

using namespace req_test;

namespace {

using Type = ReqProxyChoice::Type;

constexpr char kLoop[] = "function FindProxyForURL(url, host) { for (;;) {} }";
// Keeps every array it makes, a megabyte at a time.
constexpr char kHoard[] = "var kept = []; function FindProxyForURL(url, host) {"
                          " for (;;) kept.push(new Array(131072).fill(kept.length)); }";
// Asks for a gigabyte in one built-in call, which no watchdog can interrupt.
constexpr char kHugeBuffer[] = "function FindProxyForURL(url, host) {"
                               " var b = new ArrayBuffer(1 << 30); return 'PROXY 127.0.0.1:1'; }";

// The most memory this process has held since the last reset, and the reset.
qint64 peakResidentBytes() {
    QFile status("/proc/self/status");
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
    return 0;
}
void resetPeakResidentBytes() {
    QFile clear("/proc/self/clear_refs");
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

// Limits for the scripts of one test, put back afterwards.
class ScopedPACLimits {
public:
    explicit ScopedPACLimits(ReqPACLimits limits) : saved(ReqPACScript::limits()) {
        ReqPACScript::setLimits(limits);
    }
    ~ScopedPACLimits() { ReqPACScript::setLimits(saved); }

private:
    ReqPACLimits saved;
};

QUrl scriptFile(const TempDir& folder, const QByteArray& script) {
    QFile file(folder.file("script.pac"));
    file.open(QIODevice::WriteOnly);
    file.write(script);
    return QUrl::fromLocalFile(file.fileName());
}

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

TEST(ReqPACScriptTest, AScriptEndsAtItsLimitsOrWhenStoppedAndSaysWhy) {
    const QUrl url("http://h/");
    const struct {
        const char* script;
        ReqPACLimits limits;
        const char* failure;
    } cases[] = {
        {kLoop, {0.3, qint64(256) << 20}, "the proxy script ran past its 0.3 s"},
        {kHoard, {60, qint64(64) << 20}, "the proxy script used more than 64 MB of memory"},
        {kHugeBuffer, {60, qint64(64) << 20}, "the proxy script failed: RangeError"},
        {"function FindProxyForURL( {", {5, qint64(256) << 20}, "the proxy script failed: SyntaxError"},
        {"var x = 1;", {5, qint64(256) << 20}, "the proxy script has no FindProxyForURL function"},
        {"function FindProxyForURL() { return 'nonsense'; }",
         {5, qint64(256) << 20},
         "FindProxyForURL named no proxy"},
    };
    for (const auto& c : cases) {
        const ReqPACAnswer answer = ReqPACScript::evaluate(c.script, url, c.limits);
        EXPECT_FALSE(answer.choices) << c.script;
        EXPECT_TRUE(answer.failure.startsWith(c.failure)) << answer.failure.toStdString();
    }

    std::promise<ReqPACAnswer> answered;
    const ReqPACScript::Stop stop = ReqPACScript::evaluateAsync(
        kLoop, url, {60, qint64(256) << 20}, [&](ReqPACAnswer answer) { answered.set_value(answer); });
    std::future<ReqPACAnswer> later = answered.get_future();
    *stop = true;
    ASSERT_EQ(later.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(later.get().failure, "the proxy script was stopped");

    const ScopedPACLimits limits({4, qint64(100) << 20});
    EXPECT_EQ(ReqPACScript::limitsWithin(0.5).seconds, 0.5);
    EXPECT_EQ(ReqPACScript::limitsWithin(120).seconds, 4);
    EXPECT_EQ(ReqPACScript::limitsWithin(0).seconds, 4);
    EXPECT_EQ(ReqPACScript::limitsWithin(120).memoryBytes, qint64(100) << 20);
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
    // A request for the origin that follows the script at pac, run on the caller's thread or the queue.
    auto runWithScript(const QUrl& pac, bool synchronous) {
        const auto request = ReqHTTPRequest::requestWithURL(server.url("/p"));
        request->setPACurl(pac);
        if (synchronous)
            request->startSynchronous();
        else
            EXPECT_TRUE(runAsync(request));
        return request;
    }
    test_support::LoopbackProxy proxy;
};

TEST_F(ReqPACTest, AServedScriptSendsTheRequestThroughItsProxy) {
    for (bool synchronous : {true, false}) {
        proxy.clearLog();
        const auto request = runWithScript(server.url("/proxy.pac"), synchronous);
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

TEST_F(ReqPACTest, ALoopingScriptHoldsOnlyItsOwnRequestAndEndsWithinItsBudget) {
    TempDir folder;
    const QUrl loop = scriptFile(folder, kLoop);
    {
        // A budget far longer than the test: the other request is served while the script runs.
        const ScopedPACLimits limits({60, qint64(256) << 20});
        const auto looping = ReqHTTPRequest::requestWithURL(server.url("/p"));
        looping->setPACurl(loop);
        looping->startAsynchronous();
        const auto other = ReqHTTPRequest::requestWithURL(server.url("/p"));
        ASSERT_TRUE(runAsync(other));
        EXPECT_EQ(other->responseString(), "origin");
        EXPECT_FALSE(looping->isFinished());
        // Cancelling the waiting request stops its script.
        looping->cancel();
        ASSERT_TRUE(test_support::spinUntil([&] { return looping->isFinished(); }));
        EXPECT_EQ(errorCode(looping), ReqRequestCancelledErrorType);
    }
    // The script's budget, not the request's two minutes, ends it; the request then goes direct.
    const ScopedPACLimits limits({0.5, qint64(256) << 20});
    for (bool synchronous : {true, false}) {
        const auto request = runWithScript(loop, synchronous);
        EXPECT_EQ(request->timeOutSeconds(), 120);
        EXPECT_EQ(request->responseString(), "origin");
        EXPECT_TRUE(request->proxyHost().isEmpty());
    }
    EXPECT_TRUE(proxy.log().isEmpty());
}

// Whether it takes its memory step by step or in one call, a script's memory is never this program's: the
// request goes direct, and this process does not grow by what the script asked for.
TEST_F(ReqPACTest, AScriptThatHoardsMemoryLeavesTheRequestDirect) {
    TempDir folder;
    const ScopedPACLimits limits({60, qint64(64) << 20});
    for (const char* script : {kHoard, kHugeBuffer}) {
        resetPeakResidentBytes();
        const qint64 before = peakResidentBytes();
        const auto request = ReqHTTPRequest::requestWithURL(server.url("/p"));
        request->setPACurl(scriptFile(folder, script));
        ASSERT_TRUE(runAsync(request));
        EXPECT_EQ(request->responseString(), "origin");
        EXPECT_TRUE(request->proxyHost().isEmpty());
        EXPECT_LT(peakResidentBytes() - before, qint64(64) << 20) << script;
    }
    EXPECT_TRUE(proxy.log().isEmpty());
}

TEST_F(ReqPACTest, AServedScriptOverOneMegabyteIsNotRun) {
    const QByteArray script =
        "function FindProxyForURL(url, host) { return \"PROXY 127.0.0.1:" + QByteArray::number(proxy.port()) +
        "\"; }\n//" + QByteArray(1 << 20, 'x');
    server.route("/large.pac", [script](const ServerRequest&) {
        return ServerResponse::text(200, script, "application/x-ns-proxy-autoconfig");
    });
    for (bool synchronous : {true, false}) {
        const auto request = runWithScript(server.url("/large.pac"), synchronous);
        EXPECT_EQ(request->responseString(), "origin");
        EXPECT_TRUE(request->proxyHost().isEmpty());
    }
    EXPECT_TRUE(proxy.log().isEmpty());
    EXPECT_EQ(server.requestsTo("/large.pac").size(), 2u);
}

} // namespace
