#include "ConnectionRecorder.h"

#include "platform/net/ReceiveQueue.h"
#include "platform/net/SharedCookieStorage.h"
#include "platform/net/UrlError.h"
#include "support/LoopbackServer.h"
#include "support/LoopbackSocket.h"
#include "support/NetTestEnvironment.h"

#include <QBuffer>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <gtest/gtest.h>

using namespace platform::net;
using net_test::ConnectionRecorder;
using test_support::LoopbackServer;
using test_support::ServerRequest;
using test_support::ServerResponse;

namespace {

class UrlConnectionTest : public ::testing::Test {
protected:
    test_support::NetTestEnvironment environment;
    LoopbackServer server;
};

TEST_F(UrlConnectionTest, PostsOneLengthAndNoExpectOverTls) {
    server.route("/echo",
                 [](const ServerRequest& request) { return ServerResponse::text(200, request.body); });
    UrlRequest request(server.secureUrl("/echo"));
    request.httpMethod = "PUT";
    request.httpBody = QByteArray(300000, 'x');
    request.setValue("Content-Length", "300000");
    ConnectionRecorder recorder;
    ASSERT_TRUE(recorder.run(request));
    EXPECT_EQ(recorder.events, QStringList({"response 200", "finished"}));
    EXPECT_EQ(recorder.body.size(), 300000);
    EXPECT_EQ(recorder.sent, 300000);
    const ServerRequest received = server.requests().at(0);
    EXPECT_EQ(received.method, "PUT");
    EXPECT_EQ(received.headers.values("Content-Length"), QList<QByteArray>{"300000"});
    EXPECT_FALSE(received.headers.contains("Expect"));
    EXPECT_TRUE(received.secure);
}

TEST_F(UrlConnectionTest, TransportFailuresMapToTheCodesRetryReads) {
    server.route("/close", [](const ServerRequest&) { return ServerResponse::closeAfterRequest(); });
    server.route("/stall", [](const ServerRequest&) { return ServerResponse::stall(); });
    server.route("/short", [](const ServerRequest&) {
        return ServerResponse::closeAfterBodyBytes(ServerResponse::text(200, QByteArray(1000, 'b')), 10);
    });
    struct Case {
        QUrl url;
        qint64 code;
    } cases[] = {
        {server.url("/close"), UrlErrorNetworkConnectionLost},
        {server.url("/short"), UrlErrorNetworkConnectionLost},
        {server.url("/stall"), UrlErrorTimedOut},
        {server.urlOnHost("127.0.0.1", "/close", true), UrlErrorServerCertificateUntrusted}, // name mismatch
        {QUrl("http://127.0.0.1:1/"), UrlErrorCannotConnectToHost},
    };
    for (const Case& c : cases) {
        UrlRequest request(c.url);
        // Only the stall waits out its idle time; the others must not time out on a loaded machine.
        request.timeoutInterval = c.code == UrlErrorTimedOut ? 0.5 : 10.0;
        ConnectionRecorder recorder;
        ASSERT_TRUE(recorder.run(request)) << c.url.toString().toStdString();
        ASSERT_TRUE(recorder.error) << c.url.toString().toStdString();
        EXPECT_EQ(recorder.error->domain, kUrlErrorDomain);
        EXPECT_EQ(recorder.error->code, c.code) << c.url.toString().toStdString();
    }
}

// A body goes out once per request: a connection cut under it is reported, even on a kept-alive connection,
// and whether to send it again is the caller's decision.
TEST_F(UrlConnectionTest, ABodyCutOnAKeptConnectionIsReportedNotSentAgain) {
    server.route("/warm", [](const ServerRequest&) { return ServerResponse::text(200, "warm"); });
    server.route("/once", [](const ServerRequest&) { return ServerResponse::closeAfterRequest(); });
    for (bool streamed : {false, true}) {
        server.clearLog();
        ConnectionRecorder warm;
        ASSERT_TRUE(warm.run(UrlRequest(server.url("/warm"))));
        UrlRequest request(server.url("/once"));
        request.httpMethod = "POST";
        const QByteArray form(40000, 'f');
        if (streamed) {
            auto stream = std::make_shared<QBuffer>();
            stream->setData(form);
            stream->open(QIODevice::ReadOnly);
            request.httpBodyStream = stream;
        } else {
            request.httpBody = form;
        }
        ConnectionRecorder recorder;
        ASSERT_TRUE(recorder.run(request));
        ASSERT_TRUE(recorder.error) << streamed;
        EXPECT_EQ(recorder.error->code, UrlErrorNetworkConnectionLost) << streamed;
        EXPECT_EQ(server.requestsTo("/once").size(), 1u) << streamed;
    }
}

TEST_F(UrlConnectionTest, AnUntrustedAuthorityIsRefused) {
    ScopedNetworkEnvironment withoutTestCa(test_support::testNetworkEnvironment(false));
    server.route("/", [](const ServerRequest&) { return ServerResponse::text(200, "secret"); });
    ConnectionRecorder recorder;
    ASSERT_TRUE(recorder.run(UrlRequest(server.secureUrl("/"))));
    ASSERT_TRUE(recorder.error);
    EXPECT_EQ(recorder.error->code, UrlErrorServerCertificateUntrusted);
    EXPECT_TRUE(recorder.body.isEmpty());
}

// Sends a reply in one-byte chunks: the first chunk, then the rest once the test says so.
class ChunksAfterTheFirst {
public:
    explicit ChunksAfterTheFirst(qint64 length)
        : rest(QByteArray("1\r\nx\r\n").repeated(length - 1) + "0\r\n\r\n") {}
    ~ChunksAfterTheFirst() { sendRest(); }
    QUrl url() const { return QUrl(QStringLiteral("http://127.0.0.1:%1/chunks").arg(loop.port())); }
    void sendRest() {
        std::lock_guard lock(mutex);
        released = true;
        changed.notify_all();
    }

private:
    void serve(test_support::Connection& connection) {
        test_support::MessageReader reader(connection);
        if (!reader.readHead() ||
            !connection.writeAll("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1\r\nx\r\n"))
            return;
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return released; });
        lock.unlock();
        connection.writeAll(rest);
    }

    const QByteArray rest;
    std::mutex mutex;
    std::condition_variable changed;
    bool released = false;
    test_support::AcceptLoop loop{
        [this](std::shared_ptr<test_support::Connection> connection) { serve(*connection); }};
};

// The one byte past a reply's limit comes while the transfer waits for a full receive queue: curl hands it
// on as the transfer goes on again, and its refusal ends the transfer there as it would anywhere else.
TEST_F(UrlConnectionTest, AByteOverTheLimitHandedOnAsATransferGoesOnAgainEndsIt) {
    // The first byte is taken at once; the queue then fills to its bound, and the transfer waits with the
    // next byte, the one past the limit, in curl's hands.
    const qint64 limit = 1 + ReceiveQueue::kMaximumQueuedBytes;
    ChunksAfterTheFirst server(limit + 1);
    struct Busy : ConnectionRecorder {
        void connectionDidReceiveData(UrlConnection& connection, const QByteArray& data) override {
            ConnectionRecorder::connectionDidReceiveData(connection, data);
            if (body.size() != 1)
                return;
            sender->sendRest();
            const auto bound = std::chrono::steady_clock::now() + std::chrono::minutes(5);
            while (ReceiveQueue::queuedBytes() < ReceiveQueue::kMaximumQueuedBytes &&
                   std::chrono::steady_clock::now() < bound)
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        ChunksAfterTheFirst* sender = nullptr;
    } recorder;
    recorder.sender = &server;
    UrlRequest request(server.url());
    request.maximumReplyLength = limit;
    request.timeoutInterval = 600;
    // Millions of one-byte chunks, 25 MB on the wire: a loaded machine takes seconds over them.
    ASSERT_TRUE(recorder.run(request, 120000));
    ASSERT_TRUE(recorder.error) << recorder.events.join(", ").toStdString();
    EXPECT_EQ(recorder.error->code, UrlErrorDataLengthExceedsMaximum);
    EXPECT_EQ(ReceiveQueue::queuedBytes(), 0);
}

} // namespace
