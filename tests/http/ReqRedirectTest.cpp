#include "ReqTestSupport.h"

#include "platform/net/SharedCookieStorage.h"

#include <atomic>
#include <chrono>
#include <thread>

using namespace req_test;

namespace {

class ReqRedirectTest : public ReqRequestTest {
protected:
    void SetUp() override {
        for (int status : {301, 302, 303, 307, 304, 305, 308})
            server.route(QStringLiteral("/%1").arg(status),
                         [status](const ServerRequest&) { return ServerResponse::redirect(status, "/b"); });
        server.route("/nolocation", [](const ServerRequest&) { return ServerResponse::text(302, "stay"); });
        server.route("/relative", [](const ServerRequest&) { return ServerResponse::redirect(302, "b"); });
        server.route("/b", [](const ServerRequest&) { return ServerResponse::text(200, "arrived"); });
        server.route("/chain", [](const ServerRequest& request) {
            const int left = request.query.queryItemValue("n").toInt();
            if (left == 0)
                return ServerResponse::text(200, "end of chain");
            return ServerResponse::redirect(302, "/chain?n=" + QByteArray::number(left - 1));
        });
    }
    ReqHTTPRequest::Ptr post(const QString& path, bool rfc2616 = false) {
        const auto request = ReqHTTPRequest::requestWithURL(server.url(path));
        request->appendPostData("x=1");
        request->addRequestHeader("X-A", "1");
        request->setShouldUseRFC2616RedirectBehaviour(rfc2616);
        request->startSynchronous();
        return request;
    }
};

// The request's clock moves only when the test moves it, from a thread of its own while the request runs on
// this one: the time-out comes when its time has passed, never earlier, and never for a slow machine.
TEST_F(ReqRedirectTest, AStalledRequestTimesOutAfterItsRetries) {
    server.route("/silent", [](const ServerRequest&) { return ServerResponse::stall(); });
    HeldRequestTime time;
    const double timeOut = 5.0;
    const auto once = ReqHTTPRequest::requestWithURL(server.url("/silent"));
    once->setTimeOutSeconds(timeOut);
    std::atomic<bool> endedEarly{false};
    std::thread mover([&] {
        server.waitForRequests(1);
        time.advance(0.9 * timeOut);
        // Long enough for status checks to find the request short of its time-out.
        std::this_thread::sleep_for(std::chrono::milliseconds(600));
        endedEarly = once->isFinished();
        time.passTimeOut(timeOut);
    });
    once->startSynchronous();
    mover.join();
    EXPECT_FALSE(endedEarly.load());
    EXPECT_EQ(errorCode(once), ReqRequestTimedOutErrorType);

    server.clearLog();
    const auto retried = ReqHTTPRequest::requestWithURL(server.url("/silent"));
    retried->setTimeOutSeconds(timeOut);
    retried->setNumberOfTimesToRetryOnTimeout(2);
    mover = std::thread([&] {
        for (size_t attempt = 1; attempt <= 3; ++attempt) {
            server.waitForRequests(attempt);
            time.passTimeOut(timeOut);
        }
    });
    retried->startSynchronous();
    mover.join();
    EXPECT_EQ(errorCode(retried), ReqRequestTimedOutErrorType);
    EXPECT_EQ(server.requestsTo("/silent").size(), 3u);
    EXPECT_EQ(retried->retryCount(), 2);
}

// The first attempt's progress is taken back, and the second attempt's is reported in full.
TEST_F(ReqRedirectTest, AnUploadRetriedAfterATimeOutReportsItsWholeBodyAgain) {
    HeldRequestTime time;
    std::atomic<int> attempts{0};
    server.route("/upload", [&](const ServerRequest&) {
        return ++attempts == 1 ? ServerResponse::stall() : ServerResponse::text(200, "stored");
    });
    const auto request = ReqHTTPRequest::requestWithURL(server.url("/upload"));
    request->appendPostData(QByteArray(200000, 'u'));
    request->setTimeOutSeconds(5.0);
    request->setNumberOfTimesToRetryOnTimeout(1);
    std::atomic<qint64> reported{0};
    std::atomic<bool> tookBack{false};
    request->setBytesSentBlock([&](qint64 amount, quint64) {
        reported += amount;
        tookBack = tookBack || amount < 0;
    });
    request->startAsynchronous();
    ASSERT_TRUE(test_support::spinUntil([&] { return attempts == 1 && reported > 0; }));
    time.passTimeOut(5.0);
    ASSERT_TRUE(test_support::spinUntil([&] { return request->isFinished(); }));
    test_support::spinFor(20);
    EXPECT_FALSE(request->error());
    EXPECT_EQ(request->responseString(), "stored");
    EXPECT_EQ(attempts.load(), 2);
    EXPECT_TRUE(tookBack.load());
    EXPECT_EQ(reported.load(), 200000);
}

TEST_F(ReqRedirectTest, WithoutATimeOutOnlyACancelEndsAStalledRequest) {
    server.route("/silent", [](const ServerRequest&) { return ServerResponse::stall(); });
    const auto request = ReqHTTPRequest::requestWithURL(server.url("/silent"));
    request->setTimeOutSeconds(0);
    request->startAsynchronous();
    test_support::spinFor(800);
    EXPECT_FALSE(request->isFinished());
    request->cancel();
    EXPECT_TRUE(test_support::spinUntil([&] { return request->isFinished(); }));
    EXPECT_EQ(errorCode(request), ReqRequestCancelledErrorType);
}

TEST_F(ReqRedirectTest, MethodBodyAndFieldsFollowTheRedirectRules) {
    struct Case {
        const char* path;
        bool rfc2616;
        QByteArray methodAtTarget; // empty: the redirect is not followed
        int status;
    } cases[] = {
        {"/302", false, "GET", 200},     {"/301", false, "GET", 200}, {"/307", false, "POST", 200},
        {"/302", true, "POST", 200},     {"/303", true, "GET", 200},  {"/relative", false, "GET", 200},
        {"/304", false, "", 304},        {"/305", false, "", 305},    {"/308", false, "", 308},
        {"/nolocation", false, "", 302},
    };
    for (const Case& c : cases) {
        server.clearLog();
        const auto request = post(c.path, c.rfc2616);
        const std::string label = std::string(c.path) + (c.rfc2616 ? " (RFC 2616)" : "");
        EXPECT_FALSE(request->error()) << label;
        EXPECT_EQ(request->responseStatusCode(), c.status) << label;
        const auto arrived = server.requestsTo("/b");
        ASSERT_EQ(arrived.size(), c.methodAtTarget.isEmpty() ? 0u : 1u) << label;
        if (arrived.empty())
            continue;
        const bool kept = c.methodAtTarget == "POST";
        EXPECT_EQ(arrived[0].method, c.methodAtTarget) << label;
        EXPECT_EQ(arrived[0].body, kept ? QByteArray("x=1") : QByteArray()) << label;
        EXPECT_EQ(arrived[0].headers.contains("X-A"), kept) << label;
        EXPECT_EQ(arrived[0].header("User-Agent"), server.requests().at(0).header("User-Agent")) << label;
        EXPECT_EQ(request->originalURL(), server.url(c.path)) << label;
    }
}

TEST_F(ReqRedirectTest, FiveRedirectsAreFollowedAndASixthFails) {
    for (int hops : {5, 6}) {
        const auto request =
            ReqHTTPRequest::requestWithURL(server.url(QStringLiteral("/chain?n=%1").arg(hops)));
        request->startSynchronous();
        EXPECT_EQ(errorCode(request),
                  hops == 5 ? std::nullopt : std::optional<qint64>(ReqTooMuchRedirectionErrorType));
        if (hops == 5) {
            EXPECT_EQ(request->responseString(), "end of chain");
        }
    }
}

// Credentials and cookies belong to the server they were meant for.
TEST_F(ReqRedirectTest, ARedirectToAnotherServerCarriesOnlyWhatIsItsOwn) {
    LoopbackServer other;
    other.route("/b", [](const ServerRequest&) { return ServerResponse::text(200, "other"); });
    const QUrl otherHost = server.urlOnHost("localhost", "/b");
    server.route("/to-host",
                 [=](const ServerRequest&) { return ServerResponse::redirect(307, otherHost.toEncoded()); });
    server.route("/to-port", [&](const ServerRequest&) {
        return ServerResponse::redirect(302, other.url("/b").toEncoded());
    });
    server.route("/to-file",
                 [](const ServerRequest&) { return ServerResponse::redirect(302, "file:///etc/hostname"); });
    auto& storage = platform::net::SharedCookieStorage::shared();
    const auto cookie = [](const char* name, const char* host) {
        platform::net::Cookie made;
        made.name = name;
        made.value = "1";
        made.domain = host;
        made.path = "/";
        return made;
    };
    storage.setCookies({cookie("here", "127.0.0.1"), cookie("there", "localhost")});
    for (const char* path : {"/to-host", "/to-port", "/to-file"}) {
        server.clearLog();
        other.clearLog();
        const auto request = ReqHTTPRequest::requestWithURL(server.url(path));
        request->setUsername("user");
        request->setPassword("secret");
        request->setAuthenticationScheme("Basic");
        request->startSynchronous();
        EXPECT_EQ(server.requests().at(0).header("Cookie"), "here=1") << path;
        EXPECT_TRUE(server.requests().at(0).headers.contains("Authorization")) << path;
        const std::vector<ServerRequest> target =
            path == QLatin1String("/to-port") ? other.requests() : server.requestsTo("/b");
        if (path == QLatin1String("/to-file")) {
            EXPECT_EQ(errorCode(request), ReqUnableToCreateRequestErrorType);
            EXPECT_EQ(server.requests().size(), 1u);
            continue;
        }
        ASSERT_EQ(target.size(), 1u) << path;
        EXPECT_FALSE(target[0].headers.contains("Authorization")) << path;
        EXPECT_EQ(target[0].header("Cookie"), path == QLatin1String("/to-host") ? "there=1" : "here=1")
            << path;
        // Nor are they kept for that server for later.
        for (const ReqSessionCredentials& entry : ReqHTTPRequest::sessionCredentialsStore())
            EXPECT_NE(entry.url, request->url()) << path;
    }
    storage.removeAllCookies();
    ReqHTTPRequest::clearSession();
}

// A listener asked to confirm a redirect may never answer; the request can still be cancelled and then
// gives its queue slot back.
TEST_F(ReqRedirectTest, ARequestWaitingForAConfirmationCanBeCancelled) {
    const auto delegate = std::make_shared<ReqHTTPRequestDelegate>();
    QList<QUrl> asked;
    delegate->willRedirectToURL = [&](ReqHTTPRequest&, const QUrl& url) { asked << url; };
    const auto request = ReqHTTPRequest::requestWithURL(server.url("/302"));
    request->setDelegate(delegate);
    request->startAsynchronous();
    ASSERT_TRUE(test_support::spinUntil([&] { return !asked.isEmpty(); }));
    EXPECT_EQ(asked.first(), server.url("/b"));
    test_support::spinFor(100);
    EXPECT_FALSE(request->isFinished());
    request->cancel();
    EXPECT_TRUE(test_support::spinUntil([&] { return request->isFinished(); }));
    EXPECT_EQ(errorCode(request), ReqRequestCancelledErrorType);
    request->redirectToURL(server.url("/b"));
    test_support::spinFor(200);
    EXPECT_TRUE(server.requestsTo("/b").empty());

    const auto confirmed = ReqHTTPRequest::requestWithURL(server.url("/302"));
    delegate->willRedirectToURL = [&](ReqHTTPRequest& asking, const QUrl& url) { asking.redirectToURL(url); };
    confirmed->setDelegate(delegate);
    EXPECT_TRUE(runAsync(confirmed));
    EXPECT_EQ(confirmed->responseString(), "arrived");
}

} // namespace
