#include "ReqTestSupport.h"

#include "http/ReqDataDecompressor.h"
#include "platform/net/SharedCookieStorage.h"
#include "support/TempDir.h"

#include <QFile>

using namespace req_test;

namespace {

class ReqHTTPRequestTest : public ReqRequestTest {};

TEST_F(ReqHTTPRequestTest, ANewRequestHasTheDefaultsOfTheSettingsTable) {
    const auto request = ReqHTTPRequest::requestWithURL(server.url("/"));
    EXPECT_EQ(request->requestMethod(), "GET");
    EXPECT_EQ(request->timeOutSeconds(), 120.0);
    EXPECT_TRUE(request->shouldAttemptPersistentConnection());
    EXPECT_EQ(request->persistentConnectionTimeoutSeconds(), 120.0);
    EXPECT_TRUE(request->shouldRedirect());
    EXPECT_FALSE(request->shouldUseRFC2616RedirectBehaviour());
    EXPECT_TRUE(request->showAccurateProgress());
    EXPECT_TRUE(request->shouldResetDownloadProgress() && request->shouldResetUploadProgress());
    EXPECT_TRUE(request->allowCompressedResponse());
    EXPECT_TRUE(request->shouldWaitToInflateCompressedResponses());
    EXPECT_EQ(request->defaultResponseEncoding(), "ISO-8859-1");
    EXPECT_TRUE(request->shouldPresentProxyAuthenticationDialog());
    EXPECT_FALSE(request->shouldPresentAuthenticationDialog());
    EXPECT_TRUE(request->shouldPresentCredentialsBeforeChallenge());
    EXPECT_TRUE(request->useSessionPersistence() && request->useCookiePersistence());
    EXPECT_FALSE(request->useKeychainPersistence());
    EXPECT_TRUE(request->validatesSecureCertificate());
    EXPECT_EQ(request->numberOfTimesToRetryOnTimeout(), 0);
    EXPECT_FALSE(request->useHTTPVersionOne() || request->allowResumeForFileDownloads() ||
                 request->shouldStreamPostDataFromDisk() || request->shouldCompressRequestBody());
    EXPECT_EQ(request->runLoopMode(), kReqDefaultRunLoopMode);
    EXPECT_EQ(request->didStartSelector(), &ReqHTTPRequestDelegate::requestStarted);
    EXPECT_EQ(request->didFinishSelector(), &ReqHTTPRequestDelegate::requestFinished);
    EXPECT_EQ(request->didFailSelector(), &ReqHTTPRequestDelegate::requestFailed);
    EXPECT_EQ(request->didReceiveDataSelector(), &ReqHTTPRequestDelegate::didReceiveData);
    EXPECT_TRUE(request->requestCookies().isEmpty());
    EXPECT_FALSE(request->downloadCache());
}

TEST_F(ReqHTTPRequestTest, ABodyMakesAPostWithItsLength) {
    server.route("/echo",
                 [](const ServerRequest& request) { return ServerResponse::text(200, request.body); });
    struct Case {
        QByteArray method;
        QByteArray body;
        QByteArray sent;
    } cases[] = {
        {"GET", "abc", "POST"}, {"DELETE", "abc", "POST"}, {"PUT", "abc", "PUT"}, {"GET", "", "GET"}};
    for (const Case& c : cases) {
        server.clearLog();
        const auto request = ReqHTTPRequest::requestWithURL(server.url("/echo"));
        request->setRequestMethod(c.method);
        request->appendPostData(c.body);
        request->startSynchronous();
        ASSERT_FALSE(request->error()) << request->error()->localizedDescription().toStdString();
        const ServerRequest received = server.requests().at(0);
        EXPECT_EQ(received.method, c.sent);
        EXPECT_EQ(received.header("Content-Length"), c.body.isEmpty() ? QByteArray() : QByteArray("3"));
        EXPECT_EQ(received.header("Connection"), c.body.isEmpty() ? QByteArray() : QByteArray("close"));
        EXPECT_EQ(request->responseString(), QString::fromLatin1(c.body));
    }
}

TEST_F(ReqHTTPRequestTest, CookiesEncodingAndAgentAreSentAndAGzipBodyInflatesBack) {
    server.route("/c", [](const ServerRequest&) {
        return ServerResponse::text(200, "ok").withHeader("Set-Cookie", "s=9");
    });
    auto& storage = platform::net::SharedCookieStorage::shared();
    storage.removeAllCookies();
    storage.setCookiesFromResponse(
        [] {
            platform::net::HttpHeaders headers;
            headers.add("Set-Cookie", "b=2; Path=/");
            return headers;
        }(),
        server.url("/"));
    const auto request = ReqHTTPRequest::requestWithURL(server.url("/c"));
    platform::net::Cookie a;
    a.name = "a";
    a.value = "1";
    request->setRequestCookies({a});
    request->setShouldCompressRequestBody(true);
    request->appendPostData(QByteArray(5000, 'z'));
    request->startSynchronous();
    const ServerRequest received = server.requests().at(0);
    EXPECT_EQ(received.header("Cookie"), "a=1; b=2");
    EXPECT_EQ(received.header("Accept-Encoding"), "gzip");
    EXPECT_EQ(received.header("User-Agent"), ReqHTTPRequest::defaultUserAgentString().toLatin1());
    EXPECT_EQ(received.header("Content-Encoding"), "gzip");
    EXPECT_EQ(received.header("Content-Length").toLongLong(), received.body.size());
    EXPECT_EQ(ReqDataDecompressor::uncompressData(received.body, nullptr), QByteArray(5000, 'z'));
    EXPECT_EQ(storage.cookiesForUrl(server.url("/")).size(), 2);
    storage.removeAllCookies();
    ReqHTTPRequest::clearSession();
}

TEST_F(ReqHTTPRequestTest, GzipRepliesInflateInMemoryOrFilesAndACutMemberFails) {
    server.route("/hello", [](const ServerRequest&) { return ServerResponse::gzipped(200, "hello world"); });
    server.route("/cut", [](const ServerRequest&) {
        return ServerResponse::text(200, test_support::gzip("hello world").chopped(5))
            .withHeader("Content-Encoding", "gzip");
    });
    TempDir dir;
    for (bool waitToInflate : {true, false}) {
        for (bool toFile : {false, true}) {
            for (const char* path : {"/hello", "/cut"}) {
                const auto request = ReqHTTPRequest::requestWithURL(server.url(path));
                request->setShouldWaitToInflateCompressedResponses(waitToInflate);
                const QString destination = dir.file("out.txt");
                QFile::remove(destination);
                if (toFile)
                    request->setDownloadDestinationPath(destination);
                request->startSynchronous();
                QFile file(destination);
                const QByteArray received =
                    toFile ? (file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray())
                           : request->responseData();
                const bool cut = path == QLatin1String("/cut");
                const std::string label = std::string(path) + (waitToInflate ? " waiting" : " on the fly") +
                                          (toFile ? " to a file" : " in memory");
                EXPECT_EQ(errorCode(request), cut ? std::optional<qint64>(ReqCompressionError) : std::nullopt)
                    << label;
                if (!cut || toFile) {
                    EXPECT_EQ(received, cut ? QByteArray() : QByteArray("hello world")) << label;
                }
                EXPECT_EQ(QFile::exists(destination), toFile && !cut) << label;
            }
        }
    }
}

TEST_F(ReqHTTPRequestTest, ChunkedRepliesArriveAndBrokenOnesFail) {
    server.route("/chunked", [](const ServerRequest&) {
        ServerResponse reply = ServerResponse::text(200, "chunk by chunk");
        reply.chunked = true;
        return reply;
    });
    server.route("/short", [](const ServerRequest&) {
        return ServerResponse::closeAfterBodyBytes(ServerResponse::text(200, QByteArray(100, 's')), 10);
    });
    server.route("/lengths", [](const ServerRequest&) {
        return ServerResponse::raw("HTTP/1.1 200 OK\r\nContent-Length: 2\r\nContent-Length: 3\r\n\r\nabc");
    });
    struct Case {
        const char* path;
        QByteArray header;
        std::optional<qint64> code;
        QString text;
    } cases[] = {
        {"/chunked", "X-Fine", std::nullopt, ""},
        {"/short", "X-Fine", ReqConnectionFailureErrorType, "A connection failure occurred"},
        {"/lengths", "X-Fine", ReqConnectionFailureErrorType, "A connection failure occurred"},
        {"/chunked", "X-Smuggled\r\nHost", ReqUnableToCreateRequestErrorType,
         "Unable to create request (bad url?)"},
    };
    for (const Case& c : cases) {
        server.clearLog();
        const auto request = ReqHTTPRequest::requestWithURL(server.url(c.path));
        request->addRequestHeader(c.header, "1");
        request->startSynchronous();
        EXPECT_EQ(errorCode(request), c.code) << c.path;
        EXPECT_EQ(request->error() ? request->error()->localizedDescription() : QString(), c.text) << c.path;
        if (!c.code) {
            EXPECT_EQ(request->responseString(), "chunk by chunk");
        }
        EXPECT_EQ(server.requests().size(), c.code == ReqUnableToCreateRequestErrorType ? 0u : 1u) << c.path;
    }
}

TEST_F(ReqHTTPRequestTest, AnUntrustedServerIsAnSslProblemUnlessValidationIsOff) {
    server.route("/", [](const ServerRequest&) { return ServerResponse::text(200, "secret"); });
    platform::net::ScopedNetworkEnvironment untrusting(test_support::testNetworkEnvironment(false));
    for (bool validates : {true, false}) {
        const auto request = ReqHTTPRequest::requestWithURL(server.secureUrl("/"));
        request->setValidatesSecureCertificate(validates);
        request->startSynchronous();
        EXPECT_EQ(errorCode(request),
                  validates ? std::optional<qint64>(ReqConnectionFailureErrorType) : std::nullopt);
        EXPECT_EQ(request->error() ? request->error()->localizedDescription() : QString(),
                  validates ? "A connection failure occurred: SSL problem (Possible causes may include a "
                              "bad/expired/self-signed certificate, clock set to wrong date)"
                            : "");
        EXPECT_EQ(request->responseString(), validates ? QString() : "secret");
    }
}

} // namespace
