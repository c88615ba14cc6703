#include "FetcherTestSupport.h"

#include "platform/net/UrlError.h"
#include "support/TempDir.h"
#include "webservice/HTTPFetcher/NetHTTPFetchHistory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace fetcher_test;
using platform::net::UrlRequest;

namespace {

class NetHTTPFetcherTest : public FetcherTest {};

TEST_F(NetHTTPFetcherTest, TheBodyAndTheOverrideHeaderChooseTheMethod) {
    serve("/m", 200, "ok");
    struct Case {
        QByteArray method;
        QByteArray overrideHeader;
        QByteArray sent;
    } cases[] = {
        {"GET", {}, "POST"},                       // a GET with a body goes as POST
        {"PUT", {}, "PUT"},      {"", {}, "POST"}, // no method counts as GET
        {"GET", "PUT", "GET"},                     // the override header alone says whether it counts as GET
        {"POST", "GET", "POST"},
    };
    for (const Case& c : cases) {
        server.clearLog();
        UrlRequest request(server.url("/m"));
        request.httpMethod = c.method;
        if (!c.overrideHeader.isEmpty())
            request.setValue("X-HTTP-Method-Override", c.overrideHeader);
        auto fetcher = NetHTTPFetcher::fetcherWithRequest(request);
        fetcher->setPostData("body");
        EXPECT_FALSE(fetch(fetcher).error);
        ASSERT_EQ(server.requests().size(), 1u);
        EXPECT_EQ(server.requests()[0].method, c.sent)
            << c.method.constData() << " " << c.overrideHeader.constData();
        EXPECT_EQ(server.requests()[0].body, "body");
    }
}

TEST_F(NetHTTPFetcherTest, AFailedReplyComesWithItsBodyAndItsStatusAsError) {
    serve("/missing", 404, "not here");
    const Outcome outcome = fetch(NetHTTPFetcher::fetcherWithURL(server.secureUrl("/missing")));
    EXPECT_EQ(outcome.calls, 1);
    EXPECT_EQ(outcome.data, "not here");
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->domain, kNetHTTPFetcherStatusDomain);
    EXPECT_EQ(outcome.error->code, 404);
    EXPECT_TRUE(outcome.error->userInfo.isEmpty());
}

TEST_F(NetHTTPFetcherTest, ABusyBeginFailsAloneAndTheRunningFetchStillReports) {
    server.route("/slow", [](const ServerRequest&) {
        return ServerResponse::hold(ServerResponse::text(200, "late"));
    });
    auto fetcher = NetHTTPFetcher::fetcherWithURL(server.url("/slow"));
    Outcome first, second;
    ASSERT_TRUE(fetcher->beginFetchWithDelegate(nullptr, recordInto(first)));
    EXPECT_FALSE(fetcher->beginFetchWithDelegate(nullptr, recordInto(second)));
    EXPECT_EQ(second.calls, 1);
    EXPECT_EQ(second.errorCode(), kNetHTTPFetcherErrorDownloadFailed);
    ASSERT_TRUE(server.waitForHeld(1));
    server.releaseHeld();
    ASSERT_TRUE(test_support::spinUntil([&] { return first.calls > 0; }));
    EXPECT_EQ(first.data, "late");
    EXPECT_EQ(second.calls, 1);
}

TEST_F(NetHTTPFetcherTest, StoppingCallsNothingAndPostsOneStoppedNotification) {
    server.route("/held",
                 [](const ServerRequest&) { return ServerResponse::hold(ServerResponse::text(200, "x")); });
    NotificationCount started(kNetHTTPFetcherStartedNotification),
        stopped(kNetHTTPFetcherStoppedNotification);
    auto fetcher = NetHTTPFetcher::fetcherWithURL(server.url("/held"));
    Outcome outcome;
    bool blockCalled = false;
    fetcher->setCompletionBlock(
        [&](const QByteArray&, const platform::OptionalError&) { blockCalled = true; });
    fetcher->beginFetchWithDelegate(nullptr, recordInto(outcome));
    ASSERT_TRUE(server.waitForHeld(1));
    fetcher->stopFetching();
    fetcher->stopFetching();
    server.releaseHeld();
    test_support::spinFor(200);
    EXPECT_EQ(outcome.calls, 0);
    EXPECT_FALSE(blockCalled);
    EXPECT_FALSE(fetcher->isFetching());
    EXPECT_EQ(started.count, 1);
    EXPECT_EQ(stopped.count, 1);
}

TEST_F(NetHTTPFetcherTest, AFileDownloadReplacesItsDestinationOnlyOnSuccess) {
    serve("/file", 200, "new contents");
    serve("/broken", 500, "server error page");
    TempDir dir;
    const QString destination = dir.file("movie.xml");
    QFile old(destination);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old contents");
    old.close();

    auto failing = NetHTTPFetcher::fetcherWithURL(server.url("/broken"));
    failing->setDownloadPath(destination);
    const Outcome failed = fetch(failing);
    EXPECT_EQ(failed.errorCode(), 500);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"movie.xml"})
        << "no temporary file";
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), "old contents");
    old.close();

    auto fetcher = NetHTTPFetcher::fetcherWithURL(server.url("/file"));
    fetcher->setDownloadPath(destination);
    const Outcome done = fetch(fetcher);
    EXPECT_FALSE(done.error);
    EXPECT_TRUE(done.data.isNull());
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), "new contents");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

// A reply kept in memory is bounded, however it is framed, and a compressed one may not expand beyond reason;
// past either the fetch fails as too large and lets go of what it held. A long reply meant for a file
// streams into it.
TEST_F(NetHTTPFetcherTest, AReplyTooLargeToKeepFailsAndIsLetGo) {
    const qint64 limit = NetHTTPFetcher::kMaximumDownloadedDataLength;
    const QByteArray bomb = test_support::gzip(QByteArray(2 * limit, '\0'));
    server.route("/bomb", [&bomb](const ServerRequest&) {
        return ServerResponse::text(200, bomb).withHeader("Content-Encoding", "gzip");
    });
    server.route("/long", [limit](const ServerRequest&) {
        ServerResponse reply = ServerResponse::text(200, QByteArray(limit + 1, 'd'));
        reply.chunked = true;
        reply.chunkSize = 65536;
        return reply;
    });
    TempDir dir;
    struct Case {
        const char* path;
        bool toFile;
        QString refusal; // empty: the reply arrives whole
    } cases[] = {
        {"/long", false, "The reply is too large: it holds more than 32 MB."},
        {"/bomb", false, "The reply is too large: it expands to more than 100 times its size."},
        {"/bomb", true, "The reply is too large: it expands to more than 100 times its size."},
        {"/long", true, ""},
    };
    for (const Case& c : cases) {
        auto fetcher = NetHTTPFetcher::fetcherWithURL(server.url(c.path));
        if (c.toFile)
            fetcher->setDownloadPath(dir.file("reply.bin"));
        // Tens of MB each: a loaded machine takes seconds over one.
        const Outcome outcome = fetch(fetcher, 120000);
        if (c.refusal.isEmpty()) {
            EXPECT_FALSE(outcome.error) << c.path;
            EXPECT_EQ(QFileInfo(dir.file("reply.bin")).size(), limit + 1);
            continue;
        }
        ASSERT_TRUE(outcome.error) << c.path << " " << c.toFile;
        EXPECT_EQ(outcome.error->domain, platform::net::kUrlErrorDomain);
        EXPECT_EQ(outcome.error->code, platform::net::UrlErrorDataLengthExceedsMaximum);
        EXPECT_EQ(outcome.error->localizedDescription(), c.refusal);
        EXPECT_TRUE(fetcher->downloadedData().isEmpty());
        EXPECT_FALSE(QFile::exists(dir.file("reply.bin")));
    }
}

TEST_F(NetHTTPFetcherTest, TheDownloadIsWrittenToAPrivateFileBesideItsDestination) {
    server.route("/held",
                 [](const ServerRequest&) { return ServerResponse::hold(ServerResponse::text(200, "x")); });
    TempDir dir;
    auto fetcher = NetHTTPFetcher::fetcherWithURL(server.url("/held"));
    fetcher->setDownloadPath(dir.file("feed.xml"));
    Outcome outcome;
    fetcher->beginFetchWithDelegate(nullptr, recordInto(outcome));
    ASSERT_TRUE(server.waitForHeld(1));
    const QFileInfoList files = QDir(dir.path()).entryInfoList(QDir::Files | QDir::Hidden);
    ASSERT_EQ(files.size(), 1);
    EXPECT_EQ(files[0].absoluteFilePath(), fetcher->temporaryDownloadPath());
    const QFile::Permissions others =
        QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;
    EXPECT_EQ(files[0].permissions() & others, QFile::Permissions());
    server.releaseHeld();
    ASSERT_TRUE(test_support::spinUntil([&] { return outcome.calls == 1; }));
}

TEST_F(NetHTTPFetcherTest, RedirectsUpgradeToHttpsAndNeverDowngrade) {
    serve("/final", 200, "landed");
    const QByteArray secureFinal = server.secureUrl("/final").toEncoded();
    const QByteArray clearOnSecurePort =
        server.urlOnHost("localhost", "/final")
            .toEncoded()
            .replace(QByteArray::number(server.port()), QByteArray::number(server.securePort()));
    server.route("/up", [=](const ServerRequest&) { return ServerResponse::redirect(302, secureFinal); });
    server.route("/down",
                 [=](const ServerRequest&) { return ServerResponse::redirect(302, clearOnSecurePort); });
    for (const QUrl& start : {server.url("/up"), server.secureUrl("/down")}) {
        server.clearLog();
        auto fetcher = NetHTTPFetcher::fetcherWithURL(start);
        const Outcome outcome = fetch(fetcher);
        EXPECT_EQ(outcome.data, "landed") << start.toString().toStdString();
        const auto landed = server.requestsTo("/final");
        ASSERT_EQ(landed.size(), 1u);
        EXPECT_TRUE(landed[0].secure);
        EXPECT_EQ(fetcher->mutableRequest()->url.scheme(), "https");
    }
}

TEST_F(NetHTTPFetcherTest, ARedirectToAnotherHostTakesNeitherTheTokenNorTheOldHostsCookies) {
    serve("/land", 200, "ok");
    const QByteArray elsewhere = server.urlOnHost("localhost", "/land").toEncoded();
    server.route("/hop", [=](const ServerRequest&) { return ServerResponse::redirect(302, elsewhere); });
    auto history = std::make_shared<NetHTTPFetchHistory>();
    history->jar()->setCookies({makeCookie("n", "1", "127.0.0.1"), makeCookie("l", "2", "localhost")});

    UrlRequest request(server.url("/hop"));
    request.setValue("Authorization", "Bearer secret");
    auto fetcher = NetHTTPFetcher::fetcherWithRequest(request);
    fetcher->setFetchHistory(history);
    EXPECT_FALSE(fetch(fetcher).error);
    const ServerRequest hop = server.requestsTo("/hop").at(0), land = server.requestsTo("/land").at(0);
    EXPECT_EQ(hop.header("Authorization"), "Bearer secret");
    EXPECT_EQ(hop.header("Cookie"), "n=1");
    EXPECT_FALSE(land.headers.contains("Authorization"));
    EXPECT_EQ(land.headers.values("Cookie"), QList<QByteArray>{"l=2"});
}

TEST_F(NetHTTPFetcherTest, ARedirectLoopEndsInAnError) {
    const QByteArray self = server.url("/loop").toEncoded();
    server.route("/loop", [=](const ServerRequest&) { return ServerResponse::redirect(302, self); });
    const Outcome outcome = fetch(NetHTTPFetcher::fetcherWithURL(server.url("/loop")));
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->domain, platform::net::kUrlErrorDomain);
    EXPECT_EQ(outcome.error->code, platform::net::UrlErrorHTTPTooManyRedirects);
}

// A web server may send the fetch to another web address, never to a local file or another protocol.
TEST_F(NetHTTPFetcherTest, ARedirectToAnythingButHttpOrHttpsEndsInAnError) {
    for (const QByteArray location : {"file:///etc/passwd", "ftp://127.0.0.1/x", "gopher://127.0.0.1:70/"}) {
        server.clearLog();
        server.route("/away", [=](const ServerRequest&) { return ServerResponse::redirect(302, location); });
        const Outcome outcome = fetch(NetHTTPFetcher::fetcherWithURL(server.url("/away")));
        ASSERT_TRUE(outcome.error) << location.constData();
        EXPECT_EQ(outcome.error->domain, platform::net::kUrlErrorDomain);
        EXPECT_EQ(outcome.error->code, platform::net::UrlErrorUnsupportedURL) << location.constData();
        EXPECT_EQ(outcome.error->localizedDescription(),
                  "The server redirected to " + location + ", which is not an http or https address.");
        EXPECT_EQ(server.requests().size(), 1u);
    }
}

TEST_F(NetHTTPFetcherTest, APasswordChallengeIsAnsweredWithTheCredentialAtMostThreeTimes) {
    server.route("/private", [](const ServerRequest& request) {
        if (request.header("Authorization") == "Basic " + QByteArray("ann:right").toBase64())
            return ServerResponse::text(200, "inside");
        return ServerResponse::text(401, "who?").withHeader("WWW-Authenticate", "Basic realm=\"private\"");
    });
    struct Case {
        std::optional<platform::net::Credential> credential;
        qint64 error;
        size_t requests;
    } cases[] = {
        {platform::net::Credential{"ann", "right"}, 0, 2},
        {platform::net::Credential{"ann", "wrong"}, kNetHTTPFetcherErrorAuthenticationChallengeFailed, 4},
        {std::nullopt, kNetHTTPFetcherErrorAuthenticationChallengeFailed, 1},
    };
    for (const Case& c : cases) {
        server.clearLog();
        auto fetcher = NetHTTPFetcher::fetcherWithURL(server.secureUrl("/private"));
        fetcher->setCredential(c.credential);
        const Outcome outcome = fetch(fetcher);
        EXPECT_EQ(outcome.errorCode(), c.error);
        if (outcome.error) {
            EXPECT_EQ(outcome.error->domain, kNetHTTPFetcherErrorDomain);
        }
        EXPECT_EQ(server.requests().size(), c.requests);
    }
}

TEST_F(NetHTTPFetcherTest, ServerTrustFailuresAreReportedAndNeverRetried) {
    serve("/", 200, "secret");
    struct Case {
        bool trustTestCa;
        QUrl url;
    } cases[] = {
        {false, server.secureUrl("/")},
        {true, server.urlOnHost("127.0.0.1", "/", true)}, // the certificate names localhost only
    };
    for (const Case& c : cases) {
        platform::net::ScopedNetworkEnvironment trust(test_support::testNetworkEnvironment(c.trustTestCa));
        auto fetcher = NetHTTPFetcher::fetcherWithURL(c.url);
        fetcher->setRetryEnabled(true);
        fetcher->setMinRetryInterval(0.01);
        const Outcome outcome = fetch(fetcher);
        ASSERT_TRUE(outcome.error);
        EXPECT_EQ(outcome.error->code, platform::net::UrlErrorServerCertificateUntrusted);
        EXPECT_TRUE(outcome.data.isNull());
        EXPECT_EQ(fetcher->retryCount(), 0u);
    }
    EXPECT_TRUE(server.requests().empty());
}

} // namespace
