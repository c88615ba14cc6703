#include "ReqTestSupport.h"

#include "http/ReqPACScript.h"
#include "platform/foundation/StandardPaths.h"
#include "support/FakeTools.h"
#include "support/LoopbackProxy.h"
#include "support/TempDir.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <signal.h>

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

// Runners are looked for in the given folders alone while it lives.
class ScopedRunnerFolders {
public:
    explicit ScopedRunnerFolders(const QStringList& folders) : saved(ReqPACScript::runnerFolders()) {
        ReqPACScript::setRunnerFolders(folders);
    }
    ~ScopedRunnerFolders() { ReqPACScript::setRunnerFolders(saved); }

private:
    QStringList saved;
};

// A stand-in for the runner, run in its place while it lives; what it notes goes beside it.
class StandInRunner {
public:
    explicit StandInRunner(const QByteArray& body) { tools.add("vistrelle-proxy-script", body); }
    QByteArray note(const QString& name) const {
        QFile file(tools.file(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private:
    test_support::FakeTools tools;
    ScopedRunnerFolders folders{{tools.path()}};
};

// Gone, or a zombie only waiting for whoever adopted it.
bool processGone(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = stat.readAll();
    return line.mid(line.lastIndexOf(')') + 2, 1) == "Z";
}

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
        const auto choices = ReqPACScript::proxiesForURL(script, QUrl(c.url), 60);
        ASSERT_TRUE(choices) << c.url;
        EXPECT_EQ(choices->first(), c.first) << c.url;
    }
    EXPECT_FALSE(ReqPACScript::proxiesForURL("this is not a script", QUrl("http://h/"), 60));
    EXPECT_FALSE(
        ReqPACScript::proxiesForURL("function FindProxyForURL() { return 7; }", QUrl("http://h/"), 60));
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
        {"function FindProxyForURL( {", {60, qint64(256) << 20}, "the proxy script failed: SyntaxError"},
        {"var x = 1;", {60, qint64(256) << 20}, "the proxy script has no FindProxyForURL function"},
        {"function FindProxyForURL() { return 'nonsense'; }",
         {60, qint64(256) << 20},
         "FindProxyForURL named no proxy"},
        {"function FindProxyForURL() { throw new Error('x'.repeat(1000000)); }",
         {60, qint64(256) << 20},
         "the proxy script failed: Error: xxx"},
        {"function FindProxyForURL() { throw 'PROXY 127.0.0.1:1'; }",
         {60, qint64(256) << 20},
         "the proxy script failed: PROXY 127.0.0.1:1"},
    };
    for (const auto& c : cases) {
        const ReqPACAnswer answer = ReqPACScript::evaluate(c.script, url, c.limits);
        EXPECT_FALSE(answer.choices) << c.script;
        EXPECT_TRUE(answer.failure.startsWith(c.failure)) << answer.failure.left(200).toStdString();
        EXPECT_LE(answer.failure.size(), ReqPACScript::kMaximumFailureLength) << c.script;
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

// A runner that says more than any answer is read no further, so that it cannot make this process grow.
TEST(ReqPACRunnerTest, ARunnerThatSaysTooMuchIsCutOff) {
    const StandInRunner runner("printf 'failure\\n'; head -c 268435456 /dev/zero");
    resetPeakResidentBytes();
    const qint64 before = peakResidentBytes();
    const ReqPACAnswer answer = ReqPACScript::evaluate(kLoop, QUrl("http://h/"), {60, qint64(256) << 20});
    EXPECT_LT(peakResidentBytes() - before, qint64(64) << 20);
    EXPECT_FALSE(answer.choices);
    EXPECT_EQ(answer.failure.left(100), "the proxy script runner said more than an answer");
}

// Whether the runner answers or is ended for its time, what it started goes with it, and an output a helper
// still holds open does not keep the caller waiting.
TEST(ReqPACRunnerTest, WhatTheRunnerLeftRunningEndsWithIt) {
    const QByteArray startHelper = "sleep 600 & echo $! > \"$(dirname \"$0\")/helper\"; ";
    const struct {
        QByteArray body;
        ReqPACLimits limits;
        std::optional<ReqProxyChoice> first;
        QString failure;
    } cases[] = {
        {startHelper + "printf 'choices\\nPROXY 127.0.0.1:1'",
         {60, qint64(256) << 20},
         {{Type::Http, "127.0.0.1", 1}},
         {}},
        {startHelper + "wait", {0.2, qint64(256) << 20}, std::nullopt, "the proxy script ran past its 0.2 s"},
    };
    for (const auto& c : cases) {
        const StandInRunner runner(c.body);
        const auto answered = std::make_shared<std::promise<ReqPACAnswer>>();
        ReqPACScript::evaluateAsync(kLoop, QUrl("http://h/"), c.limits,
                                    [answered](ReqPACAnswer answer) { answered->set_value(answer); });
        std::future<ReqPACAnswer> later = answered->get_future();
        const bool returned = later.wait_for(std::chrono::seconds(60)) == std::future_status::ready;
        const qint64 helper = runner.note("helper").trimmed().toLongLong();
        ASSERT_GT(helper, 0) << c.body.toStdString();
        EXPECT_TRUE(test_support::spinUntil([&] { return processGone(helper); })) << c.body.toStdString();
        if (!processGone(helper))
            ::kill(pid_t(helper), SIGKILL);
        ASSERT_TRUE(returned) << c.body.toStdString();
        const ReqPACAnswer answer = later.get();
        EXPECT_EQ(answer.choices ? std::optional(answer.choices->first()) : std::nullopt, c.first);
        EXPECT_EQ(answer.failure, c.failure);
    }
}

TEST(ReqPACRunnerTest, AProgramOfTheRunnersNameOnThePathIsNeverRun) {
    test_support::FakeTools onPath;
    onPath.add("vistrelle-proxy-script", "touch \"$(dirname \"$0\")/ran\"; printf 'choices\\nDIRECT'");
    const test_support::EnvOverride path("PATH", onPath.path() + u':' + qEnvironmentVariable("PATH"));
    const TempDir empty;
    const ScopedRunnerFolders nowhere({empty.path()});
    const ReqPACAnswer answer = ReqPACScript::evaluate(kLoop, QUrl("http://h/"), {5, qint64(256) << 20});
    EXPECT_FALSE(answer.choices);
    EXPECT_EQ(answer.failure, "the proxy script cannot be run: vistrelle-proxy-script is missing");
    EXPECT_FALSE(QFile::exists(onPath.file("ran")));
}

// The runner here notes what it was handed and kills the program that asked for the script's answer.
TEST(ReqPACRunnerTest, NoScriptFileOutlivesTheProgramThatMadeIt) {
    const StandInRunner runner("{ for given in \"$@\"; do echo \"$given\"; done; readlink /proc/$$/fd/0; }"
                               " > \"$(dirname \"$0\")/given\"; kill -9 $PPID");
    EXPECT_EXIT(ReqPACScript::evaluate(kLoop, QUrl("http://h/"), {60, qint64(256) << 20}),
                ::testing::KilledBySignal(SIGKILL), "");
    const QString temporary = platform::paths::temporaryFolder();
    const QList<QByteArray> given = runner.note("given").split('\n');
    ASSERT_GT(given.size(), 1);
    for (const QByteArray& name : given)
        EXPECT_FALSE(name.startsWith(QFile::encodeName(temporary)) &&
                     QFileInfo::exists(QFile::decodeName(name)))
            << name.toStdString();
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

// The request's time-out bounds its script, far within the scripts' own budget; the request's idle time is
// held still, so that the direct request cannot time out on a loaded machine.
TEST_F(ReqPACTest, AScriptThatNeverEndsIsStoppedAndTheRequestGoesDirect) {
    TempDir folder;
    QFile file(folder.file("loop.pac"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("function FindProxyForURL(url, host) { for (;;) {} }");
    file.close();
    const ScopedPACLimits limits({600, ReqPACScript::limits().memoryBytes});
    HeldRequestTime time;
    const auto request = ReqHTTPRequest::requestWithURL(server.url("/p"));
    request->setPACurl(QUrl::fromLocalFile(file.fileName()));
    request->setTimeOutSeconds(1.0);
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(runAsync(request));
    EXPECT_LT(clock.elapsed(), 60000);
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
        // Filling 64 MB a step at a time takes a loaded machine a while.
        ASSERT_TRUE(runAsync(request, 120000));
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
