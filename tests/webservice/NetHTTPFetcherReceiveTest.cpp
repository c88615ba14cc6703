// What the fetcher holds of a reply on its way in.

#include "FetcherTestSupport.h"

#include "platform/net/UrlError.h"

using namespace fetcher_test;

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
        QByteArray reply;
        QString refusal; // empty: the reply arrives
    } cases[] = {
        {"a hundred trailers", kChunkedHead + body + QByteArray("T: 1\r\n").repeated(100) + "\r\n", ""},
        {"a hundred and one trailers", kChunkedHead + body + QByteArray("T: 1\r\n").repeated(101) + "\r\n",
         trailers},
        {"one long trailer", kChunkedHead + body + "T: " + QByteArray(70000, 't') + "\r\n\r\n", trailers},
        {"folded trailers", kChunkedHead + body + "T: 1\r\n" + QByteArray(" f\r\n").repeated(20000) + "\r\n",
         trailers},
        {"a hundred fields", kChunkedHead + QByteArray("F: 1\r\n").repeated(99) + body + "\r\n", ""},
        {"too many fields", kChunkedHead + QByteArray("F: 1\r\n").repeated(101) + body + "\r\n", head},
        {"a folded head", kChunkedHead + "F: 1\r\n" + QByteArray(" f\r\n").repeated(20000) + body + "\r\n",
         head},
    };
    for (const Case& c : cases) {
        server.route("/framed",
                     [reply = c.reply](const ServerRequest&) { return ServerResponse::raw(reply); });
        auto fetcher = NetHTTPFetcher::fetcherWithURL(server.url("/framed"));
        fetcher->setRetryEnabled(true);
        fetcher->setMinRetryInterval(0.05);
        const Outcome outcome = fetch(fetcher);
        if (c.refusal.isEmpty()) {
            EXPECT_FALSE(outcome.error) << c.name;
            EXPECT_EQ(outcome.data, "x") << c.name;
            continue;
        }
        ASSERT_TRUE(outcome.error) << c.name;
        EXPECT_EQ(outcome.error->domain, platform::net::kUrlErrorDomain) << c.name;
        EXPECT_EQ(outcome.error->code, platform::net::UrlErrorDataLengthExceedsMaximum) << c.name;
        EXPECT_EQ(outcome.error->localizedDescription(), c.refusal) << c.name;
        EXPECT_EQ(fetcher->retryCount(), 0u) << c.name;
    }
}

} // namespace
