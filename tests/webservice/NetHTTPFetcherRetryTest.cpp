#include "FetcherTestSupport.h"

#include "platform/net/UrlError.h"

#include <QEventLoop>
#include <QTimer>

using namespace fetcher_test;
using platform::net::UrlRequest;

namespace {

class NetHTTPFetcherRetryTest : public FetcherTest {
protected:
    std::shared_ptr<NetHTTPFetcher> retryingFetcher(const QUrl& url, double maxInterval = 5.0) {
        auto fetcher = NetHTTPFetcher::fetcherWithURL(url);
        fetcher->setRetryEnabled(true);
        fetcher->setMinRetryInterval(0.05);
        fetcher->setMaxRetryInterval(maxInterval);
        return fetcher;
    }
};

TEST_F(NetHTTPFetcherRetryTest, TransientStatusesAreRetriedUntilTheBackOffRunsOut) {
    serveInTurn(server, "/busy",
                {ServerResponse::text(503, "busy 1"), ServerResponse::text(503, "busy 2"),
                 ServerResponse::text(503, "busy 3"), ServerResponse::text(200, "free")});
    NotificationCount delays(kNetHTTPFetcherRetryDelayStartedNotification);
    // Delays 0.05 s and 0.1 s fit under 0.15 s; the next, 0.15 s, does not.
    auto fetcher = retryingFetcher(server.url("/busy"), 0.15);
    const Outcome outcome = fetch(fetcher);
    EXPECT_EQ(outcome.calls, 1);
    EXPECT_EQ(outcome.errorCode(), 503);
    EXPECT_EQ(outcome.data, "busy 3");
    EXPECT_EQ(fetcher->retryCount(), 2u);
    EXPECT_EQ(delays.count, 2);
    EXPECT_EQ(server.requests().size(), 3u);
}

// A status that says "later" earns one more attempt, which here succeeds; any other is the answer.
TEST_F(NetHTTPFetcherRetryTest, OnlyTimeOutAndUnavailableStatusesAreRetried) {
    const struct {
        int status;
        bool retried;
    } cases[] = {{408, true},  {503, true},  {504, true},  {400, false}, {401, false},
                 {403, false}, {404, false}, {500, false}, {501, false}, {502, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        const QString path = QStringLiteral("/status/%1").arg(c.status);
        serveInTurn(server, path,
                    {ServerResponse::text(c.status, "not now"), ServerResponse::text(200, "recovered")});
        auto fetcher = retryingFetcher(server.url(path));
        const Outcome outcome = fetch(fetcher);
        EXPECT_EQ(outcome.calls, 1);
        EXPECT_EQ(server.requestsTo(path).size(), c.retried ? 2u : 1u);
        EXPECT_EQ(fetcher->retryCount(), c.retried ? 1u : 0u);
        EXPECT_EQ(outcome.errorCode(), c.retried ? 0 : c.status);
        EXPECT_EQ(outcome.data, c.retried ? "recovered" : "not now");
    }
}

// Only the stall waits for a time-out, and a short one: nothing answers it. The drop, and the second try of
// either, have one far longer than a loaded machine takes to answer, so that no time-out comes before them.
TEST_F(NetHTTPFetcherRetryTest, ALostConnectionAndAStallAreRetried) {
    serveInTurn(server, "/drop",
                {ServerResponse::closeAfterRequest(), ServerResponse::text(200, "second try")});
    serveInTurn(server, "/stall", {ServerResponse::stall(), ServerResponse::text(200, "second try")});
    const double answered = 60.0;
    for (const char* path : {"/drop", "/stall"}) {
        auto fetcher = retryingFetcher(server.url(path));
        fetcher->mutableRequest()->timeoutInterval = std::string_view(path) == "/stall" ? 0.5 : answered;
        QList<qint64> seen;
        fetcher->setRetryBlock([&](bool suggested, const platform::Error& error) {
            seen << error.code;
            fetcher->mutableRequest()->timeoutInterval = answered;
            return suggested;
        });
        const Outcome outcome = fetch(fetcher);
        EXPECT_FALSE(outcome.error) << path;
        EXPECT_EQ(outcome.data, "second try");
        EXPECT_EQ(seen, QList<qint64>{std::string_view(path) == "/drop" ? -1005 : -1001}) << path;
    }
}

// The transport never sends a body again on its own: a POST cut on a kept-alive connection reaches the
// fetcher's retry decision as a lost connection.
TEST_F(NetHTTPFetcherRetryTest, APostCutOnAReusedConnectionReachesTheRetryDecision) {
    serve("/warm", 200, "warm");
    serveInTurn(server, "/form", {ServerResponse::closeAfterRequest(), ServerResponse::text(200, "taken")});
    ASSERT_FALSE(fetch(NetHTTPFetcher::fetcherWithURL(server.url("/warm"))).error);
    auto fetcher = retryingFetcher(server.url("/form"));
    fetcher->setPostData("name=value");
    QList<qint64> seen;
    fetcher->setRetryBlock([&](bool suggested, const platform::Error& error) {
        seen << error.code;
        return suggested;
    });
    const Outcome outcome = fetch(fetcher);
    EXPECT_FALSE(outcome.error);
    EXPECT_EQ(outcome.data, "taken");
    EXPECT_EQ(seen, QList<qint64>{platform::net::UrlErrorNetworkConnectionLost});
    EXPECT_EQ(fetcher->retryCount(), 1u);
    EXPECT_EQ(server.requestsTo("/form").size(), 2u);
}

TEST_F(NetHTTPFetcherRetryTest, ANotFoundIsRetriedOnlyWhenTheCallbackSaysSo) {
    for (bool insist : {false, true}) {
        serveInTurn(server, "/gone", {ServerResponse::text(404, "gone"), ServerResponse::text(200, "back")});
        auto fetcher = retryingFetcher(server.url("/gone"));
        fetcher->setRetrySelector([insist](NetHTTPFetcher&, bool suggested, const platform::Error&) {
            EXPECT_FALSE(suggested);
            return insist;
        });
        const Outcome outcome = fetch(fetcher);
        EXPECT_EQ(outcome.errorCode(), insist ? 0 : 404);
        EXPECT_EQ(fetcher->retryCount(), insist ? 1u : 0u);
    }
}

TEST_F(NetHTTPFetcherRetryTest, ARetryFiresInsideAModalDialogsLoop) {
    serveInTurn(server, "/modal", {ServerResponse::text(503, "wait"), ServerResponse::text(200, "done")});
    auto fetcher = retryingFetcher(server.url("/modal"));
    Outcome outcome;
    bool finishedInsideModal = false;
    fetcher->beginFetchWithDelegate(nullptr, recordInto(outcome));
    QTimer::singleShot(0, [&] {
        // What a modal dialog runs on this thread: a nested loop; the outer loop does not turn meanwhile.
        QEventLoop modal;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &modal, [&] {
            if (outcome.calls > 0)
                modal.quit();
        });
        poll.start(5);
        // Only a fetch that never ends meets this bound, however loaded the machine.
        QTimer::singleShot(120000, &modal, &QEventLoop::quit);
        modal.exec(QEventLoop::DialogExec);
        finishedInsideModal = outcome.calls > 0;
    });
    ASSERT_TRUE(test_support::spinUntil([&] { return outcome.calls > 0; }));
    EXPECT_TRUE(finishedInsideModal);
    EXPECT_EQ(outcome.data, "done");
}

TEST_F(NetHTTPFetcherRetryTest, StoppingDuringARetryDelayEndsIt) {
    serve("/down", 503, "down");
    NotificationCount delayStopped(kNetHTTPFetcherRetryDelayStoppedNotification);
    auto fetcher = retryingFetcher(server.url("/down"));
    fetcher->setMinRetryInterval(10.0);
    fetcher->setMaxRetryInterval(60.0);
    Outcome outcome;
    fetcher->beginFetchWithDelegate(nullptr, recordInto(outcome));
    ASSERT_TRUE(
        test_support::spinUntil([&] { return fetcher->isFetching() && server.requests().size() == 1; }));
    test_support::spinFor(100);
    fetcher->stopFetching();
    EXPECT_FALSE(fetcher->isFetching());
    EXPECT_EQ(delayStopped.count, 1);
    EXPECT_EQ(outcome.calls, 0);
}

// Hands out "Bearer old" until primed for a refresh, then "Bearer new"; a signed request counts as
// authorized.
class StubAuthorizer : public NetFetcherAuthorizationProtocol {
public:
    void authorizeRequest(const std::shared_ptr<UrlRequest>& request, std::shared_ptr<void>,
                          FinishedSelector finished) override {
        ++authorizations;
        request->setValue("Authorization", primed ? "Bearer new" : "Bearer old");
        finished(*this, request, std::nullopt);
    }
    void stopAuthorization() override {}
    bool isAuthorizingRequest(const UrlRequest&) const override { return false; }
    bool isAuthorizedRequest(const UrlRequest& request) const override {
        return !request.value("Authorization").isEmpty();
    }
    QString userEmail() const override { return QString(); }
    bool primeForRefresh() override {
        primed = true;
        return true;
    }
    bool primed = false;
    int authorizations = 0;
};

TEST_F(NetHTTPFetcherRetryTest, AnUnauthorizedReplyIsRetriedOnceWithAFreshToken) {
    server.route("/api", [](const ServerRequest& request) {
        if (request.header("Authorization") == "Bearer new")
            return ServerResponse::text(200, "welcome");
        return ServerResponse::text(401, "expired").withHeader("WWW-Authenticate", "Bearer realm=\"api\"");
    });
    auto authorizer = std::make_shared<StubAuthorizer>();
    auto fetcher = NetHTTPFetcher::fetcherWithURL(server.secureUrl("/api"));
    fetcher->setAuthorizer(authorizer);
    const Outcome outcome = fetch(fetcher);
    EXPECT_FALSE(outcome.error);
    EXPECT_EQ(outcome.data, "welcome");
    ASSERT_EQ(server.requests().size(), 2u);
    EXPECT_EQ(server.requests()[1].header("Authorization"), "Bearer new");
    EXPECT_EQ(authorizer->authorizations, 2);

    // The forced retry is spent: a second 401 on the same fetcher is reported.
    server.clearLog();
    server.route("/api", [](const ServerRequest&) { return ServerResponse::text(401, "revoked"); });
    const Outcome again = fetch(fetcher);
    EXPECT_EQ(again.errorCode(), 401);
    EXPECT_EQ(server.requests().size(), 1u);
}

} // namespace
