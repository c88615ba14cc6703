// What the fetcher holds of a reply on its way in: the head and the trailers bounded alike, and the body
// bytes between the network thread and the fetcher's thread bounded whatever the chunk size.

#include "FetcherTestSupport.h"

#include "platform/net/ReceiveQueue.h"
#include "platform/net/UrlError.h"
#include "support/TempDir.h"

#include <QFileInfo>

#include <chrono>
#include <thread>

using namespace fetcher_test;
using platform::net::ReceiveQueue;

namespace {

class NetHTTPFetcherReceiveTest : public FetcherTest {};

const QByteArray kChunkedHead = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n";

// Lines after the last chunk are bounded as the head is, in count and in bytes; folding them costs no more
// than writing them out. Past either bound the reply fails as too large, not as a lost connection to retry.
TEST_F(NetHTTPFetcherReceiveTest, TheHeadAndTheTrailersAreBoundedAlike) {
    const QByteArray body = "\r\n1\r\nx\r\n0\r\n";
    const QString trailers = "The reply's trailers are too large: more than 100 fields or 65536 bytes.";
    const QString head = "The reply's head is too large: more than 100 fields or 65536 bytes.";
    struct Case {
        const char* name;
        bool inHead; // else after the last chunk
        QByteArray fields;
        QString refusal; // empty: the reply arrives
    } cases[] = {
        {"a hundred trailers", false, QByteArray("T: 1\r\n").repeated(100), ""},
        {"a hundred and one trailers", false, QByteArray("T: 1\r\n").repeated(101), trailers},
        {"one long trailer", false, "T: " + QByteArray(70000, 't') + "\r\n", trailers},
        {"folded trailers", false, "T: 1\r\n" + QByteArray(" f\r\n").repeated(20000), trailers},
        {"a hundred fields", true, QByteArray("F: 1\r\n").repeated(99), ""},
        {"too many fields", true, QByteArray("F: 1\r\n").repeated(101), head},
        {"a folded head", true, "F: 1\r\n" + QByteArray(" f\r\n").repeated(20000), head},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray reply = kChunkedHead + (c.inHead ? c.fields + body : body + c.fields) + "\r\n";
        server.route("/framed", [reply](const ServerRequest&) { return ServerResponse::raw(reply); });
        auto fetcher = NetHTTPFetcher::fetcherWithURL(server.url("/framed"));
        fetcher->setRetryEnabled(true);
        fetcher->setMinRetryInterval(0.05);
        const Outcome outcome = fetch(fetcher);
        if (c.refusal.isEmpty()) {
            EXPECT_FALSE(outcome.error);
            EXPECT_EQ(outcome.data, "x");
            continue;
        }
        ASSERT_TRUE(outcome.error);
        EXPECT_EQ(outcome.error->domain, platform::net::kUrlErrorDomain);
        EXPECT_EQ(outcome.error->code, platform::net::UrlErrorDataLengthExceedsMaximum);
        EXPECT_EQ(outcome.error->localizedDescription(), c.refusal);
        EXPECT_EQ(fetcher->retryCount(), 0u);
    }
}

// A reply in one-byte chunks to a fetcher whose thread is busy: the transfer waits while a few MB wait for
// the fetcher, in memory and into a file, and a wait for the fetcher's thread is never taken for an idle
// server. Millions of chunks take a loaded machine a minute: the waits are for the queue and the end, bounded
// far beyond that; the idle time-out is long against the server's pauses between chunks.
TEST_F(NetHTTPFetcherReceiveTest, ABodyInTinyChunksWaitsForABusyFetcher) {
    const qint64 length = ReceiveQueue::kMaximumQueuedBytes + 2 * 1024 * 1024;
    const QByteArray reply = kChunkedHead + "\r\n" + QByteArray("1\r\nx\r\n").repeated(length) + "0\r\n\r\n";
    server.route("/tiny", [&reply](const ServerRequest&) { return ServerResponse::raw(reply); });
    const double idleTimeOut = 2.0;
    const int boundMs = 600000;
    TempDir dir;
    for (bool toFile : {false, true}) {
        ReceiveQueue::resetPeak();
        auto fetcher = NetHTTPFetcher::fetcherWithURL(server.url("/tiny"));
        fetcher->mutableRequest()->timeoutInterval = idleTimeOut;
        if (toFile)
            fetcher->setDownloadPath(dir.file("tiny.bin"));
        bool busy = false;
        fetcher->setReceivedDataBlock([&](const QByteArray&) {
            if (busy)
                return;
            busy = true;
            // The fetcher's thread does something else until the queue is full, and for longer than the
            // request's idle time-out after that.
            const auto bound = std::chrono::steady_clock::now() + std::chrono::milliseconds(boundMs);
            while (ReceiveQueue::queuedBytes() < ReceiveQueue::kMaximumQueuedBytes &&
                   std::chrono::steady_clock::now() < bound)
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            std::this_thread::sleep_for(std::chrono::duration<double>(1.5 * idleTimeOut));
        });
        const Outcome outcome = fetch(fetcher, 2 * boundMs);
        ASSERT_FALSE(outcome.error) << toFile << " " << outcome.error->localizedDescription().toStdString();
        EXPECT_TRUE(busy);
        if (toFile)
            EXPECT_EQ(QFileInfo(dir.file("tiny.bin")).size(), length);
        else
            EXPECT_EQ(outcome.data, QByteArray(length, 'x'));
        EXPECT_GE(ReceiveQueue::peakQueuedBytes(), ReceiveQueue::kMaximumQueuedBytes) << toFile;
        // One write of curl's beyond the bound at most.
        EXPECT_LE(ReceiveQueue::peakQueuedBytes(), ReceiveQueue::kMaximumQueuedBytes + 64 * 1024) << toFile;
        EXPECT_EQ(ReceiveQueue::queuedBytes(), 0);
    }
}

} // namespace
