#include "FetcherTestSupport.h"
#include "support/DSTestClasses.h"

#include <QRandomGenerator>

using namespace fetcher_test;

namespace {

struct Part {
    QByteArray headers;
    QByteArray body;
};

// What a server makes of a multipart body: the parts between the boundary's delimiters.
QList<Part> splitMultipart(const QByteArray& body, const QByteArray& boundary) {
    const QByteArray delimiter = "\r\n--" + boundary;
    QList<Part> parts;
    qsizetype at = body.indexOf(delimiter);
    while (at >= 0 && body.mid(at + delimiter.size(), 2) == "\r\n") {
        const qsizetype start = at + delimiter.size() + 2;
        const qsizetype next = body.indexOf(delimiter, start);
        if (next < 0)
            break;
        const qsizetype blank = body.indexOf("\r\n\r\n", start);
        parts.append({body.mid(start, blank + 2 - start), body.mid(blank + 4, next - blank - 4)});
        at = next;
    }
    EXPECT_EQ(body.mid(at), delimiter + "--\r\n");
    return parts;
}

} // namespace

class DSEntryUploadFetch : public FetcherTest {};

TEST_F(DSEntryUploadFetch, PlainUploadBodiesArriveWholeAndSplitBackIntoEntryAndMedia) {
    serve(QStringLiteral("/upload"), 201, "created");
    QByteArray media(300000, Qt::Uninitialized);
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(media.data()), media.size() / 4);
    media.insert(1000, "\r\n--END_OF_PART\r\n");

    for (const bool dataOnly : {false, true}) {
        auto entry = DSEntryBase::entry();
        entry->setTitleWithString(QStringLiteral("Our holiday"));
        entry->setUploadData(media);
        entry->setUploadMIMEType(QStringLiteral("video/mp4"));
        entry->setUploadSlug(QStringLiteral("holiday.mp4"));
        entry->setShouldUploadDataOnly(dataOnly);
        DSUploadBody body = entry->generateContentInputStream();
        ASSERT_TRUE(body.hasBody() && body.stream->open(QIODevice::ReadOnly));

        platform::net::UrlRequest request(server.url(QStringLiteral("/upload")));
        for (auto it = body.headers.cbegin(); it != body.headers.cend(); ++it)
            request.setValue(it.key().toUtf8(), it.value().toUtf8());
        request.setValue("Content-Length", QByteArray::number(body.length));
        auto fetcher = NetHTTPFetcher::fetcherWithRequest(request);
        fetcher->setPostStream(std::shared_ptr<QIODevice>(std::move(body.stream)));
        const Outcome outcome = fetch(fetcher);
        EXPECT_FALSE(outcome.error) << dataOnly;

        const ServerRequest received = server.requestsTo(QStringLiteral("/upload")).back();
        EXPECT_EQ(received.header("Content-Length").toULongLong(), body.length);
        EXPECT_EQ(quint64(received.body.size()), body.length);
        EXPECT_EQ(received.header("Slug"), "holiday.mp4");
        if (dataOnly) {
            EXPECT_EQ(received.header("Content-Type"), "video/mp4");
            EXPECT_EQ(received.body, media);
            continue;
        }
        const QByteArray contentType = received.header("Content-Type");
        ASSERT_TRUE(contentType.startsWith("multipart/related; boundary=\""));
        const QList<Part> parts = splitMultipart(received.body, contentType.split('"').value(1));
        ASSERT_EQ(parts.size(), 2);
        const DSObjectRef sent = DSObject::objectWithXMLData(parts[0].body, &DSEntryBase::staticClass());
        ASSERT_TRUE(sent);
        EXPECT_EQ(sent->XMLElement()->XMLString(), entry->XMLElement()->XMLString());
        EXPECT_TRUE(parts[1].headers.contains("Content-Transfer-Encoding: binary\r\n"));
        EXPECT_EQ(parts[1].body, media);
    }
}
