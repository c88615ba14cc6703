#include "platform/net/HttpResponseParser.h"
#include "platform/net/HttpStreamError.h"

#include <gtest/gtest.h>

using platform::net::HttpResponseParser;

namespace {

struct Outcome {
    bool ok = false;
    bool complete = false;
    QByteArray body;
    qint64 error = 0;
    bool reusable = false;
    int status = 0;
};

// Feeds the reply whole or a byte at a time, then ends the input when `closes`.
Outcome parse(const QByteArray& reply, const QByteArray& method, bool bytewise, bool closes) {
    HttpResponseParser parser(method);
    Outcome outcome;
    outcome.ok = true;
    const qsizetype step = bytewise ? 1 : reply.size();
    for (qsizetype at = 0; at < reply.size() && outcome.ok; at += step)
        outcome.ok = parser.feed(reply.constData() + at, std::min(step, reply.size() - at), outcome.body);
    if (outcome.ok && closes)
        outcome.ok = parser.endOfInput();
    outcome.complete = parser.isComplete();
    outcome.error = parser.error() ? parser.error()->code : 0;
    outcome.reusable = parser.allowsReuse();
    outcome.status = parser.isHeadComplete() ? parser.head().statusCode() : 0;
    return outcome;
}

TEST(HttpResponseParserTest, FramesBodiesAndRefusesWhatCouldBeMisread) {
    using namespace platform::net;
    const QByteArray ok = "HTTP/1.1 200 OK\r\n";
    struct Case {
        const char* name;
        QByteArray reply;
        QByteArray method;
        bool closes;
        QByteArray body;
        qint64 error;
        bool reusable;
    } cases[] = {
        {"length", ok + "Content-Length: 5\r\n\r\nhello", "GET", false, "hello", 0, true},
        {"equal lengths", ok + "Content-Length: 5, 5\r\nContent-Length: 5\r\n\r\nhello", "GET", false,
         "hello", 0, true},
        {"chunks",
         ok + "Transfer-Encoding: chunked\r\n\r\n5;x=y\r\nhello\r\n6\r\n world\r\n0\r\nT: 1\r\n\r\n", "GET",
         false, "hello world", 0, true},
        {"interim reply skipped", "HTTP/1.1 100 Continue\r\n\r\n" + ok + "Content-Length: 2\r\n\r\nok",
         "POST", false, "ok", 0, true},
        {"HEAD has no body", ok + "Content-Length: 99\r\n\r\n", "HEAD", false, "", 0, true},
        {"304 has no body", "HTTP/1.1 304 Not Modified\r\nContent-Length: 10\r\n\r\n", "GET", false, "", 0,
         true},
        {"ends with the close", ok + "\r\nuntil the end", "GET", true, "until the end", 0, false},
        {"1.0 closes", "HTTP/1.0 200 OK\r\nContent-Length: 1\r\n\r\nx", "GET", false, "x", 0, false},
        {"1.0 kept alive", "HTTP/1.0 200 OK\r\nConnection: Keep-Alive\r\nContent-Length: 1\r\n\r\nx", "GET",
         false, "x", 0, true},
        {"1.1 told to close", ok + "Connection: close\r\nContent-Length: 1\r\n\r\nx", "GET", false, "x", 0,
         false},
        {"conflicting lengths", ok + "Content-Length: 5\r\nContent-Length: 6\r\n\r\nhello!", "GET", false, "",
         HttpStreamConflictingLengths, false},
        {"hexadecimal length", ok + "Content-Length: 0x10\r\n\r\n", "GET", false, "",
         HttpStreamBadContentLength, false},
        {"bad chunk size", ok + "Transfer-Encoding: chunked\r\n\r\nzz\r\n", "GET", false, "",
         HttpStreamBadChunk, false},
        {"chunk past its size", ok + "Transfer-Encoding: chunked\r\n\r\n2\r\nabc\r\n0\r\n\r\n", "GET", false,
         "ab", HttpStreamBadChunk, false},
        {"CR inside a field", ok + "X-A: a\rb\r\nContent-Length: 0\r\n\r\n", "GET", false, "",
         HttpStreamBadHeaderField, false},
        {"folded field", ok + "X-A: a\r\n b\r\n\r\n", "GET", false, "", HttpStreamBadHeaderField, false},
        {"no status line", "<html>\r\n\r\n", "GET", false, "", HttpStreamBadStatusLine, false},
        {"head too large", ok + "X: " + QByteArray(70000, 'a') + "\r\n\r\n", "GET", false, "",
         HttpStreamHeaderTooLarge, false},
        {"many small chunks",
         ok + "Transfer-Encoding: chunked\r\n\r\n" + QByteArray("1\r\nx\r\n").repeated(20000) + "0\r\n\r\n",
         "GET", false, QByteArray(20000, 'x'), 0, true},
        {"chunk line too long", ok + "Transfer-Encoding: chunked\r\n\r\n1;" + QByteArray(70000, 'e') + "\r\n",
         "GET", false, "", HttpStreamBadChunk, false},
        {"trailers too large",
         ok + "Transfer-Encoding: chunked\r\n\r\n1\r\nx\r\n0\r\nT: " + QByteArray(70000, 't') + "\r\n\r\n",
         "GET", false, "x", HttpStreamHeaderTooLarge, false},
        {"a hundred trailers",
         ok + "Transfer-Encoding: chunked\r\n\r\n1\r\nx\r\n0\r\n" + QByteArray("T: 1\r\n").repeated(100) +
             "\r\n",
         "GET", false, "x", 0, true},
        {"too many trailers",
         ok + "Transfer-Encoding: chunked\r\n\r\n1\r\nx\r\n0\r\n" + QByteArray("T: 1\r\n").repeated(101) +
             "\r\n",
         "GET", false, "x", HttpStreamHeaderTooLarge, false},
        {"folded trailers past the bytes",
         ok + "Transfer-Encoding: chunked\r\n\r\n1\r\nx\r\n0\r\nT: 1\r\n" +
             QByteArray(" fold\r\n").repeated(50) + QByteArray(70000, ' ') + "\r\n\r\n",
         "GET", false, "x", HttpStreamHeaderTooLarge, false},
        {"cut short", ok + "Content-Length: 10\r\n\r\nhalf", "GET", true, "half", HttpStreamPrematureEnd,
         false},
        {"cut inside a chunk", ok + "Transfer-Encoding: chunked\r\n\r\n9\r\nhal", "GET", true, "hal",
         HttpStreamPrematureEnd, false},
    };
    for (const Case& c : cases) {
        for (bool bytewise : {false, true}) {
            const Outcome outcome = parse(c.reply, c.method, bytewise, c.closes);
            EXPECT_EQ(outcome.error, c.error) << c.name << (bytewise ? " (bytewise)" : "");
            EXPECT_EQ(outcome.ok, c.error == 0) << c.name;
            EXPECT_EQ(outcome.body, c.body) << c.name;
            EXPECT_EQ(outcome.complete, c.error == 0) << c.name;
            EXPECT_EQ(outcome.reusable, c.reusable) << c.name;
        }
    }
}

TEST(HttpResponseParserTest, ABodyCarriedOnAfterItsEndSpoilsTheConnection) {
    const Outcome outcome = parse("HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nxEXTRA", "GET", false, false);
    EXPECT_TRUE(outcome.complete);
    EXPECT_EQ(outcome.body, "x");
    EXPECT_FALSE(outcome.reusable);
}

} // namespace
