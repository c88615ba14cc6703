#include "FetcherTestSupport.h"

#include "support/ResumableUploadRoutes.h"
#include "support/TempDir.h"
#include "webservice/HTTPFetcher/NetHTTPFetcherService.h"
#include "webservice/HTTPFetcher/NetHTTPUploadFetcher.h"

#include <QFile>

#include <fcntl.h>
#include <unistd.h>

using namespace fetcher_test;
using test_support::ResumableUploadRoutes;
using Kind = ResumableUploadRoutes::Kind;
using Step = ResumableUploadRoutes::Step;

namespace {

constexpr quint64 kServiceChunk = 26214400;

QByteArray movieBytes(qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char((i * 131 + i / 997) & 0xFF);
    return bytes;
}

// A movie file in `dir`, opened for reading.
std::shared_ptr<platform::UniqueFd> movieFile(const TempDir& dir, const QByteArray& data,
                                              QString* path = nullptr) {
    QFile file(dir.file("movie.mp4"));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(data);
    file.close();
    if (path)
        *path = file.fileName();
    return std::make_shared<platform::UniqueFd>(
        ::open(QFile::encodeName(file.fileName()).constData(), O_RDONLY));
}

ServerResponse incomplete(qint64 lastByte, const QByteArray& location = {}) {
    ServerResponse reply = ServerResponse::text(308, QByteArray());
    if (lastByte >= 0)
        reply.headers.set("Range", "bytes=0-" + QByteArray::number(lastByte));
    if (!location.isEmpty())
        reply.headers.set("Location", location);
    return reply;
}

class NetHTTPUploadFetcherTest : public FetcherTest {
protected:
    std::shared_ptr<NetHTTPUploadFetcher> upload(const QByteArray& data, quint64 chunkSize) {
        platform::net::UrlRequest request(server.secureUrl("/upload/create"));
        request.httpMethod = "POST";
        auto fetcher =
            NetHTTPUploadFetcher::uploadFetcherWithRequest(request, data, "video/mp4", chunkSize, service);
        fetcher->setPostData(metadata);
        fetcher->setLocationChangeBlock([this](const QUrl& location) { locations << location; });
        return fetcher;
    }
    std::shared_ptr<NetHTTPUploadFetcher> retrying(std::shared_ptr<NetHTTPUploadFetcher> fetcher) {
        fetcher->setRetryEnabled(true);
        fetcher->setMinRetryInterval(0.05);
        return fetcher;
    }
    void answer(Kind kind, int index, std::function<ServerResponse(const ServerRequest&)> reply) {
        routes.setOverride(
            [=](const ServerRequest& request, const Step& step) -> std::optional<ServerResponse> {
                if (step.kind == kind && step.index == index)
                    return reply(request);
                return std::nullopt;
            });
    }

    std::shared_ptr<NetHTTPFetcherService> service = NetHTTPFetcherService::create();
    ResumableUploadRoutes routes{server};
    const QByteArray metadata = "<entry><title>Holiday</title></entry>";
    QList<QUrl> locations;
};

TEST(NetHTTPUploadFetcherChunkTest, ChunksAreWholeUnlessTheRestIsMoreThan2500BytesOverOne) {
    struct Case {
        quint64 rest, chunk, expected;
    } cases[] = {
        {10000, kServiceChunk, 10000},
        {120000, 50000, 50000},
        {20000, 50000, 20000},
        {52000, 50000, 52000},
        {52500, 50000, 50000},
        {60000000, kServiceChunk, kServiceChunk},
        {7571200, kServiceChunk, 7571200},
        {~quint64(0), ~quint64(0) - 1, ~quint64(0)},
        {~quint64(0), 50000, 50000},
        {100000, 0, 100000},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NetHTTPUploadFetcher::chunkLengthForRest(c.rest, c.chunk), c.expected)
            << c.rest << " " << c.chunk;
}

TEST_F(NetHTTPUploadFetcherTest, TheBodyGoesInChunksToTheAnnouncedLocation) {
    struct Case {
        qsizetype size;
        quint64 chunk;
        QList<QByteArray> ranges;
    } cases[] = {
        {10000, kServiceChunk, {"bytes 0-9999/10000"}},
        {120000, 50000, {"bytes 0-49999/120000", "bytes 50000-99999/120000", "bytes 100000-119999/120000"}},
        {52000, 50000, {"bytes 0-51999/52000"}},
    };
    for (const Case& c : cases) {
        server.clearLog();
        routes.reset();
        const QByteArray data = movieBytes(c.size);
        auto fetcher = upload(data, c.chunk);
        qint64 lastTotal = 0, expected = 0;
        fetcher->setSentDataBlock([&](qint64, qint64 total, qint64 expectedTotal) {
            lastTotal = total;
            expected = expectedTotal;
        });
        const Outcome outcome = fetch(fetcher);
        EXPECT_FALSE(outcome.error);
        EXPECT_EQ(outcome.data, routes.finalReply);
        EXPECT_EQ(routes.received(), data);
        EXPECT_EQ(routes.metadata(), metadata);
        EXPECT_EQ(routes.declaredLength(), c.size);
        EXPECT_EQ(routes.contentRanges(), c.ranges);
        const auto first = server.requestsTo("/upload/create").at(0);
        EXPECT_EQ(first.header("X-Upload-Content-Type"), "video/mp4");
        const auto chunks = server.requestsTo("/upload/session");
        EXPECT_EQ(chunks.at(0).header("Content-Length"), QByteArray::number(chunks.at(0).body.size()));
        EXPECT_EQ(expected, c.size + metadata.size());
        EXPECT_EQ(lastTotal, expected);
        EXPECT_EQ(fetcher->statusCode(), 201);
        EXPECT_TRUE(fetcher->locationURL().isEmpty());
    }
}

TEST_F(NetHTTPUploadFetcherTest, A308GoesOnFromItsRangeOrFromTheStartWithoutOne) {
    const QByteArray data = movieBytes(120000);
    struct Case {
        bool withRange;
        QByteArray secondRange;
    } cases[] = {{true, "bytes 5000-54999/120000"}, {false, "bytes 0-49999/120000"}};
    for (const Case& c : cases) {
        routes.reset();
        answer(Kind::Chunk, 0, [&](const ServerRequest& request) {
            if (!c.withRange)
                return incomplete(-1);
            routes.setStored(request.body.left(5000));
            return incomplete(4999);
        });
        const Outcome outcome = fetch(upload(data, 50000));
        EXPECT_FALSE(outcome.error);
        EXPECT_EQ(routes.received(), data);
        EXPECT_EQ(routes.contentRanges().at(1), c.secondRange);
    }
}

TEST_F(NetHTTPUploadFetcherTest, AServerHoldingTheWholeBodyIsAskedForTheFinalReply) {
    const QByteArray data = movieBytes(120000);
    answer(Kind::Chunk, 0, [&](const ServerRequest&) {
        routes.setStored(data); // as if an earlier attempt had delivered everything
        return incomplete(119999);
    });
    const Outcome outcome = fetch(upload(data, 50000));
    EXPECT_FALSE(outcome.error);
    EXPECT_EQ(outcome.data, routes.finalReply);
    EXPECT_EQ(routes.contentRanges(), QList<QByteArray>({"bytes 0-49999/120000", "bytes */120000"}));
}

TEST_F(NetHTTPUploadFetcherTest, AFailedChunkIsRetriedAsAStatusQuery) {
    const QByteArray data = movieBytes(120000);
    answer(Kind::Chunk, 1, [](const ServerRequest&) { return ServerResponse::text(503, "busy"); });
    const Outcome outcome = fetch(retrying(upload(data, 50000)));
    EXPECT_FALSE(outcome.error);
    EXPECT_EQ(routes.received(), data);
    const QList<QByteArray> ranges = routes.contentRanges();
    ASSERT_GE(ranges.size(), 4);
    EXPECT_EQ(ranges.mid(1, 3),
              QList<QByteArray>({"bytes 50000-99999/120000", "bytes */120000", "bytes 50000-99999/120000"}));
    const auto query = server.requestsTo("/upload/session").at(2);
    EXPECT_EQ(query.header("Content-Length"), "0");
    EXPECT_TRUE(query.body.isEmpty());
}

// The connection dies under a chunk after the server took part of it: the fetcher, not the transport,
// decides to go on, asks where the server stands and sends only the rest, so every byte is stored once.
TEST_F(NetHTTPUploadFetcherTest, AChunkCutOnAReusedConnectionResumesFromTheServersRange) {
    const QByteArray data = movieBytes(120000);
    answer(Kind::Chunk, 0, [&](const ServerRequest& request) {
        routes.setStored(request.body.left(25000));
        return ServerResponse::closeAfterRequest();
    });
    QList<qint64> seen;
    auto fetcher = retrying(upload(data, 50000));
    fetcher->setRetryBlock([&](bool suggested, const platform::Error& error) {
        seen << error.code;
        return suggested;
    });
    const Outcome outcome = fetch(fetcher);
    EXPECT_FALSE(outcome.error) << qPrintable(outcome.error->localizedDescription());
    EXPECT_EQ(outcome.data, routes.finalReply);
    EXPECT_EQ(routes.received(), data);
    EXPECT_EQ(seen, QList<qint64>{-1005});
    EXPECT_EQ(routes.contentRanges(),
              QList<QByteArray>({"bytes 0-49999/120000", "bytes */120000", "bytes 25000-74999/120000",
                                 "bytes 75000-119999/120000"}));
}

TEST_F(NetHTTPUploadFetcherTest, A308CanMoveTheUploadElsewhere) {
    routes.aliasSession("/upload/moved");
    const QByteArray moved = server.secureUrl("/upload/moved").toEncoded();
    answer(Kind::Chunk, 0, [&](const ServerRequest& request) {
        routes.setStored(request.body);
        return incomplete(49999, moved);
    });
    const QByteArray data = movieBytes(120000);
    const Outcome outcome = fetch(upload(data, 50000));
    EXPECT_FALSE(outcome.error);
    EXPECT_EQ(routes.received(), data);
    EXPECT_EQ(server.requestsTo("/upload/moved").size(), 2u);
    EXPECT_EQ(locations, QList<QUrl>({routes.sessionUrl(true), QUrl(QString::fromLatin1(moved)), QUrl()}));
}

TEST_F(NetHTTPUploadFetcherTest, ARestartAsksWhereTheServerStandsAndSendsTheRest) {
    TempDir dir;
    const QByteArray data = movieBytes(100000);
    routes.setStored(data.left(5000));
    const auto handle = movieFile(dir, data);
    auto fetcher = NetHTTPUploadFetcher::uploadFetcherWithLocation(routes.sessionUrl(true), handle,
                                                                   "video/mp4", kServiceChunk, service);
    const Outcome outcome = fetch(fetcher);
    EXPECT_FALSE(outcome.error);
    EXPECT_EQ(routes.received(), data);
    EXPECT_EQ(routes.contentRanges(), QList<QByteArray>({"bytes */100000", "bytes 5000-99999/100000"}));
    EXPECT_EQ(server.requestsTo("/upload/session").at(0).header("Content-Length"), "0");
    EXPECT_TRUE(server.requestsTo("/upload/create").empty());
}

TEST_F(NetHTTPUploadFetcherTest, AFirstReplyWithoutAUsableLocationEndsWith501) {
    const QByteArray clearLocation = routes.sessionUrl(false).toEncoded();
    for (const QByteArray& location : {QByteArray(), clearLocation}) {
        server.clearLog();
        routes.reset();
        locations.clear();
        answer(Kind::First, 0, [&](const ServerRequest&) {
            ServerResponse reply = ServerResponse::text(201, "created");
            if (!location.isEmpty())
                reply.headers.set("Location", location); // http after https: the movie would go in clear
            return reply;
        });
        const Outcome outcome = fetch(upload(movieBytes(1000), 50000));
        ASSERT_TRUE(outcome.error);
        EXPECT_EQ(outcome.error->domain, kNetHTTPFetcherStatusDomain);
        EXPECT_EQ(outcome.error->code, 501);
        EXPECT_EQ(outcome.data, "created");
        EXPECT_TRUE(server.requestsTo("/upload/session").empty());
        EXPECT_EQ(locations, QList<QUrl>{});
    }
}

TEST_F(NetHTTPUploadFetcherTest, ARetriedFirstRequestGivesOneOutcome) {
    for (bool handlerForm : {false, true}) {
        routes.reset();
        answer(Kind::First, 0, [](const ServerRequest&) { return ServerResponse::text(503, "later"); });
        auto fetcher = retrying(upload(movieBytes(1000), 50000));
        Outcome outcome;
        if (handlerForm) {
            fetcher->beginFetchWithCompletionHandler(
                [&](const QByteArray& data, const platform::OptionalError& error) {
                    ++outcome.calls;
                    outcome.data = data;
                    outcome.error = error;
                });
        } else {
            fetcher->beginFetchWithDelegate(nullptr, recordInto(outcome));
        }
        ASSERT_TRUE(test_support::spinUntil([&] { return outcome.calls > 0; }));
        test_support::spinFor(100);
        EXPECT_EQ(outcome.calls, 1);
        EXPECT_FALSE(outcome.error);
        EXPECT_EQ(outcome.data, routes.finalReply);
        EXPECT_EQ(fetcher->retryCount(), 1u);
    }
}

// Refuses every request, as an authorizer whose token refresh failed does.
class RefusingAuthorizer : public NetFetcherAuthorizationProtocol {
public:
    void authorizeRequest(const std::shared_ptr<platform::net::UrlRequest>& request, std::shared_ptr<void>,
                          FinishedSelector finished) override {
        finished(*this, request, platform::Error("org.vistrelle.test.oauth", -1001));
    }
    void stopAuthorization() override {}
    bool isAuthorizingRequest(const platform::net::UrlRequest&) const override { return false; }
    bool isAuthorizedRequest(const platform::net::UrlRequest&) const override { return false; }
    QString userEmail() const override { return QString(); }
};

TEST_F(NetHTTPUploadFetcherTest, TheCallerHearsAFirstRequestThatNeverGotAReply) {
    for (bool refused : {false, true}) {
        routes.reset();
        answer(Kind::First, 0, [](const ServerRequest&) { return ServerResponse::closeAfterRequest(); });
        auto fetcher = upload(movieBytes(1000), 50000);
        if (refused)
            fetcher->setAuthorizer(std::make_shared<RefusingAuthorizer>());
        const Outcome outcome = fetch(fetcher);
        EXPECT_EQ(outcome.calls, 1);
        EXPECT_EQ(outcome.errorCode(), refused ? -1001 : -1005);
    }
}

TEST_F(NetHTTPUploadFetcherTest, AnImpossibleRangeOrAShortFileEndsTheUploadWithoutABadPut) {
    TempDir dir;
    const QByteArray data = movieBytes(100000);
    for (bool truncated : {false, true}) {
        server.clearLog();
        routes.reset();
        if (!truncated)
            answer(Kind::Chunk, 0, [](const ServerRequest&) { return incomplete(200000); });
        QString path;
        const auto handle = movieFile(dir, data, &path);
        platform::net::UrlRequest request(server.secureUrl("/upload/create"));
        auto fetcher =
            NetHTTPUploadFetcher::uploadFetcherWithRequest(request, handle, "video/mp4", 50000, service);
        if (truncated) {
            ASSERT_EQ(::truncate(QFile::encodeName(path).constData(), 50000), 0);
        }
        const Outcome outcome = fetch(fetcher);
        ASSERT_TRUE(outcome.error) << truncated;
        EXPECT_EQ(outcome.error->domain, kNetHTTPFetcherStatusDomain);
        EXPECT_EQ(outcome.error->code, kNetHTTPFetcherErrorFileHandleException);
        EXPECT_EQ(server.requestsTo("/upload/session").size(), 1u) << "only the first, whole chunk went out";
        EXPECT_FALSE(fetcher->locationURL().isEmpty()) << "kept for a restart";
    }
}

} // namespace
