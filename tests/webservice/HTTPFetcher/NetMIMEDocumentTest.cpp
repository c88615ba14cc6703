#include "webservice/HTTPFetcher/NetMIMEDocument.h"

#include "StreamTestSupport.h"

#include <gtest/gtest.h>

namespace {

struct LayoutCase {
    const char* name;
    QList<std::pair<NetMIMEPart::Headers, QByteArray>> parts;
    QByteArray body;
};

TEST(NetMIMEDocumentTest, LaysOutTheBodyByteForByteAndReportsItsLength) {
    const LayoutCase cases[] = {
        {"no parts", {}, "\r\n--END_OF_PART--\r\n"},
        {"one text part",
         {{{{"Content-Type", "text/plain"}}, "hi"}},
         "\r\n--END_OF_PART\r\nContent-Type: text/plain\r\n\r\nhi\r\n--END_OF_PART--\r\n"},
        {"a bare part and an empty body",
         {{{}, "x"}, {{{"Slug", "m.mp4"}}, ""}},
         "\r\n--END_OF_PART\r\n\r\nx\r\n--END_OF_PART\r\nSlug: m.mp4\r\n\r\n\r\n--END_OF_PART--\r\n"},
    };
    for (const LayoutCase& c : cases) {
        NetMIMEDocument document;
        for (const auto& [headers, body] : c.parts)
            document.addPartWithHeaders(headers, body);
        NetMIMEDocument::GeneratedBody generated = document.generateInputStream();
        EXPECT_EQ(generated.boundary, "END_OF_PART") << c.name;
        EXPECT_EQ(generated.length, quint64(c.body.size())) << c.name;
        ASSERT_TRUE(generated.stream->open(QIODevice::ReadOnly));
        EXPECT_EQ(stream_test::readInPieces(*generated.stream, 1 << 16), c.body) << c.name;
    }
}

TEST(NetMIMEDocumentTest, ReadingByteByByteGivesTheSameBody) {
    NetMIMEDocument document;
    document.addPartWithHeaders({{"Content-Type", "application/atom+xml; charset=UTF-8"}}, "<entry/>");
    document.addPartWithHeaders({{"Content-Type", "video/mp4"}, {"Content-Transfer-Encoding", "binary"}},
                                QByteArray(5000, '\0'));
    NetMIMEDocument::GeneratedBody whole = document.generateInputStream();
    NetMIMEDocument::GeneratedBody bytewise = document.generateInputStream();
    ASSERT_TRUE(whole.stream->open(QIODevice::ReadOnly) && bytewise.stream->open(QIODevice::ReadOnly));
    const QByteArray expected = stream_test::readInPieces(*whole.stream, 1 << 20);
    EXPECT_EQ(quint64(expected.size()), whole.length);
    EXPECT_EQ(stream_test::readInPieces(*bytewise.stream, 1), expected);
}

TEST(NetMIMEDocumentTest, TheBoundaryIsOneThatNoPartContains) {
    const auto boundaryFor = [](const QList<QByteArray>& bodies) {
        NetMIMEDocument document;
        document.seedRandomWith(1);
        for (const QByteArray& body : bodies)
            document.addPartWithHeaders({}, body);
        return document.generateInputStream().boundary;
    };
    EXPECT_EQ(boundaryFor({"plain"}), "END_OF_PART");
    EXPECT_EQ(boundaryFor({"--END_OF_PART_00000001--", "END_OF_PART"}), "END_OF_PART_00000002");
    QList<QByteArray> everyCandidate{"END_OF_PART"};
    for (int n = 1; n <= 9; ++n)
        everyCandidate << "END_OF_PART_0000000" + QByteArray::number(n);
    EXPECT_EQ(boundaryFor(everyCandidate), "0000000a_quirlan_0000000b");
}

TEST(NetMIMEDocumentTest, HeaderLinesAreInNameOrderIgnoringCase) {
    const NetMIMEPart part({{"b", "2"}, {"C", "3"}, {"A", "1"}}, "body");
    EXPECT_EQ(part.header(), "A: 1\r\nb: 2\r\nC: 3\r\n\r\n");
    EXPECT_EQ(part.length(), part.header().size() + 4);
    EXPECT_TRUE(part.containsBytes("b: 2"));
    EXPECT_TRUE(part.containsBytes("dy"));
    EXPECT_FALSE(part.containsBytes("\r\nbody")) << "header block and body are searched apart";
}

} // namespace
