#include "ReqTestSupport.h"

#include "support/TempDir.h"

#include <QFile>

#include <random>

using namespace req_test;

namespace {

// Bytes that hardly compress, always the same.
QByteArray noise(qsizetype size) {
    std::minstd_rand random(46);
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char(random() >> 8);
    return bytes;
}

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

ServerResponse chunked(ServerResponse reply, int size = 4096) {
    reply.chunked = true;
    reply.chunkSize = size;
    return reply;
}

// A few kilobytes of gzip that decode to megabytes of zeros.
const QByteArray kZeros(8 << 20, '\0');

class ReqReplyLimitsTest : public ReqRequestTest {
protected:
    static constexpr quint64 kLimit = 64 * 1024;

    void SetUp() override {
        server.route("/small", [](const ServerRequest&) { return ServerResponse::text(200, "small"); });
    }

    static QString description(const ReqHTTPRequest::Ptr& request) {
        return request->error() ? request->error()->localizedDescription() : QString();
    }
};

TEST_F(ReqReplyLimitsTest, BodiesKeptInMemoryStopAtTheLimitAndLetGoOfWhatTheyHeld) {
    const QByteArray atLimit = noise(qsizetype(kLimit));
    const QByteArray pastLimit = noise(200 * 1024);
    const struct {
        const char* name;
        ServerResponse reply;
        bool waitToInflate;
        QByteArray body; // empty: too large
    } cases[] = {
        {"exactly the limit", ServerResponse::text(200, atLimit), true, atLimit},
        {"a length past it", ServerResponse::text(200, pastLimit), true, {}},
        {"chunks past it", chunked(ServerResponse::text(200, pastLimit)), true, {}},
        {"gzip inflated at the end", ServerResponse::gzipped(200, pastLimit), true, {}},
        {"gzip inflated as it comes", chunked(ServerResponse::gzipped(200, pastLimit)), false, {}},
        {"gzip that fits", ServerResponse::gzipped(200, atLimit), false, atLimit},
    };
    for (const auto& c : cases) {
        server.route("/body", [&](const ServerRequest&) { return c.reply; });
        const auto request = ReqHTTPRequest::requestWithURL(server.url("/body"));
        request->setMaxResponseBytesInMemory(kLimit);
        request->setShouldWaitToInflateCompressedResponses(c.waitToInflate);
        Recorder recorder;
        request->setDelegate(recorder.delegate);
        ASSERT_TRUE(runAsync(request)) << c.name;
        if (c.body.isEmpty()) {
            EXPECT_EQ(errorCode(request), ReqResponseTooLargeErrorType) << c.name;
            EXPECT_TRUE(description(request).startsWith("The reply is too large: more than 65536 bytes"))
                << c.name << ": " << description(request).toStdString();
            EXPECT_TRUE(request->rawResponseData().isEmpty()) << c.name;
            EXPECT_TRUE(request->responseData().isEmpty()) << c.name;
            EXPECT_EQ(recorder.events.last(), "failed") << c.name;
        } else {
            EXPECT_FALSE(request->error()) << c.name << ": " << description(request).toStdString();
            EXPECT_EQ(request->responseData(), c.body) << c.name;
        }
        // The server is still there for the next request.
        const auto next = ReqHTTPRequest::requestWithURL(server.url("/small"));
        next->startSynchronous();
        EXPECT_EQ(next->responseString(), "small") << c.name;
    }
}

TEST_F(ReqReplyLimitsTest, ACompressedBodyMayNotExpandBeyondItsRatioInMemoryOrInAFile) {
    const ReqHTTPRequest::Ptr defaults = ReqHTTPRequest::requestWithURL(server.url("/bomb"));
    EXPECT_EQ(defaults->maxResponseBytesInMemory(), 32u << 20);
    EXPECT_EQ(defaults->maxInflationRatio(), 100u);
    EXPECT_EQ(defaults->copy()->maxInflationRatio(), 100u);

    server.route("/bomb", [](const ServerRequest&) { return chunked(ServerResponse::gzipped(200, kZeros)); });
    TempDir dir;
    const struct {
        const char* name;
        bool toFile;
        bool waitToInflate;
        quint64 ratio;
    } cases[] = {
        {"in memory at the end", false, true, 100},        {"in memory as it comes", false, false, 100},
        {"to a file at the end", true, true, 100},         {"to a file as it comes", true, false, 100},
        {"to a file with no ratio bound", true, false, 0},
    };
    for (const auto& c : cases) {
        QFile::remove(dir.file("out"));
        const auto request = ReqHTTPRequest::requestWithURL(server.url("/bomb"));
        request->setShouldWaitToInflateCompressedResponses(c.waitToInflate);
        request->setMaxInflationRatio(c.ratio);
        if (c.toFile)
            request->setDownloadDestinationPath(dir.file("out"));
        request->startSynchronous();
        if (c.ratio == 0) {
            EXPECT_FALSE(request->error()) << c.name;
            EXPECT_EQ(contents(dir.file("out")), kZeros) << c.name;
            continue;
        }
        EXPECT_EQ(errorCode(request), ReqResponseTooLargeErrorType) << c.name;
        EXPECT_EQ(description(request),
                  "The reply is too large: it decompresses to more than 100 times its size")
            << c.name;
        EXPECT_TRUE(request->responseData().isEmpty()) << c.name;
        EXPECT_FALSE(QFile::exists(dir.file("out"))) << c.name;
    }
}

TEST_F(ReqReplyLimitsTest, BodiesMeantForFilesGoToTheFileWhateverTheirSize) {
    const QByteArray body = noise(2 << 20);
    TempDir dir;
    const struct {
        const char* name;
        ServerResponse reply;
        bool waitToInflate;
    } cases[] = {
        // More chunk lines than a response head may hold.
        {"small chunks", chunked(ServerResponse::text(200, body), 64), true},
        {"gzip inflated as it comes", chunked(ServerResponse::gzipped(200, body)), false},
        {"gzip inflated at the end", ServerResponse::gzipped(200, body), true},
    };
    for (const auto& c : cases) {
        server.route("/large", [&](const ServerRequest&) { return c.reply; });
        const auto request = ReqHTTPRequest::requestWithURL(server.url("/large"));
        request->setMaxResponseBytesInMemory(kLimit);
        request->setShouldWaitToInflateCompressedResponses(c.waitToInflate);
        request->setDownloadDestinationPath(dir.file("large"));
        request->startSynchronous();
        EXPECT_FALSE(request->error()) << c.name << ": " << description(request).toStdString();
        EXPECT_EQ(contents(dir.file("large")), body) << c.name;
    }
}

} // namespace
