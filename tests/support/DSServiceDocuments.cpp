#include "support/DSServiceDocuments.h"

#include "webservice/BaseClasses/DSNamespaces.h"

namespace ds_documents {

namespace {

// Fills the namespace and address markers of a document's text.
QByteArray filled(QString text, const QString& baseURL) {
    text.replace(QLatin1String("{base}"), baseURL)
        .replace(QLatin1String("{ds}"), DSNamespaceDS())
        .replace(QLatin1String("{vs}"), DSNamespaceVideoSite())
        .replace(QLatin1String("{kind}"), DSCategoryKindScheme())
        .replace(
            QLatin1String("{xmlns}"),
            QStringLiteral("xmlns='%1' xmlns:ds='%2' xmlns:app='%3' xmlns:openSearch='%4' xmlns:batch='%5' "
                           "xmlns:media='%6' xmlns:georss='%7' xmlns:gml='%8' xmlns:vs='%9'")
                .arg(QLatin1String(kDSNamespaceAtom), DSNamespaceDS(), QLatin1String(kDSNamespaceAtomPub),
                     DSNamespaceOpenSearch(), DSNamespaceBatch(), QLatin1String(kDSNamespaceMedia),
                     QLatin1String(kDSNamespaceGeoRSS), QLatin1String(kDSNamespaceGML),
                     DSNamespaceVideoSite()));
    return text.toUtf8();
}

// A video entry's children, without the entry element itself.
QString videoEntryBody(const QString& videoID, const QString& title) {
    return QStringLiteral(R"(
  <id>tag:videosite.invalid,2008:video:%1</id>
  <published>2012-05-01T10:00:00.000Z</published>
  <updated>2012-05-01T10:05:00.000Z</updated>
  <app:edited>2012-05-01T10:05:00.000Z</app:edited>
  <app:control><app:draft>yes</app:draft><vs:state name='processing'/></app:control>
  <category scheme='{kind}' term='{vs}#video'/>
  <category scheme='{vs}/categories.cat' term='Entertainment' label='Entertainment'/>
  <title>%2</title>
  <content type='video/mp4' src='{base}/v/%1'/>
  <link rel='alternate' type='text/html' href='{base}/watch?v=%1'/>
  <link rel='{vs}#video.responses' type='application/atom+xml' href='{base}/feeds/api/videos/%1/responses'/>
  <link rel='self' type='application/atom+xml' href='{base}/feeds/api/users/tester/uploads/%1'/>
  <link rel='edit' type='application/atom+xml' href='{base}/feeds/api/users/tester/uploads/%1'/>
  <link rel='edit-media' type='video/mp4' href='{base}/resumable/feeds/api/users/tester/uploads/%1'/>
  <author><name>tester</name><uri>{base}/feeds/api/users/tester</uri></author>
  <ds:comments><ds:feedLink rel='{vs}#comments' href='{base}/feeds/api/videos/%1/comments' countHint='0'/></ds:comments>
  <georss:where><gml:Point><gml:pos>45.256 -71.92</gml:pos></gml:Point></georss:where>
  <media:group>
    <media:category label='Entertainment' scheme='{vs}/categories.cat'>Entertainment</media:category>
    <media:content url='{base}/v/%1' type='video/mp4' medium='video' isDefault='true' expression='full' duration='95' fileSize='120000' bitrate='1500.5' framerate='30' vs:format='5'/>
    <media:credit role='uploader' scheme='urn:videosite' vs:type='partner'>tester</media:credit>
    <media:description type='plain'>Made with Vistrelle</media:description>
    <media:keywords>holiday, beach, Vistrelle</media:keywords>
    <media:player url='{base}/watch?v=%1'/>
    <media:thumbnail url='{base}/vi/%1/default.jpg' height='90' width='120' time='00:00:47.500' vs:name='default'/>
    <media:title type='plain'>%2</media:title>
    <vs:duration seconds='95'/>
    <vs:uploaded>2012-05-01T10:00:00.000Z</vs:uploaded>
    <vs:videoid>%1</vs:videoid>
  </media:group>
  <vs:statistics favoriteCount='0' viewCount='0'/>
  <vs:rating numDislikes='0' numLikes='0'/>
)")
        .arg(videoID, title.toHtmlEscaped());
}

} // namespace

QString uploadsFeedPath() {
    return QStringLiteral("/feeds/api/users/default/uploads");
}

QByteArray videoFeedPage(const QString& baseURL, int page, int pageCount, int perPage) {
    const int startIndex = (page - 1) * perPage + 1;
    QString entries;
    for (int i = 0; i < perPage; ++i) {
        const QString number = QString::number(startIndex + i);
        entries += QStringLiteral("<entry ds:etag='W/\"v%1\"'>").arg(number) +
                   videoEntryBody(QStringLiteral("video%1").arg(number),
                                  QStringLiteral("Slideshow %1").arg(number)) +
                   QStringLiteral("</entry>\n");
    }
    const QString next = page < pageCount
                             ? QStringLiteral("<link rel='next' type='application/atom+xml' "
                                              "href='{base}%1?start-index=%2&amp;max-results=%3'/>")
                                   .arg(uploadsFeedPath())
                                   .arg(startIndex + perPage)
                                   .arg(perPage)
                             : QString();
    const QString feed = QStringLiteral(R"(<?xml version='1.0' encoding='UTF-8'?>
<feed {xmlns} ds:etag='W/"page%1"'>
  <id>tag:videosite.invalid,2008:user:tester:uploads</id>
  <updated>2012-05-01T10:05:00.000Z</updated>
  <category scheme='{kind}' term='{vs}#video'/>
  <title>Uploads by tester</title>
  <logo>{base}/img/logo.png</logo>
  <link rel='alternate' type='text/html' href='{base}/profile?user=tester'/>
  <link rel='{ds}#feed' type='application/atom+xml' href='{base}%2'/>
  <link rel='{ds}#post' type='application/atom+xml' href='{base}%2'/>
  <link rel='{ds}#batch' type='application/atom+xml' href='{base}%2/batch'/>
  <link rel='self' type='application/atom+xml' href='{base}%2?start-index=%3&amp;max-results=%4'/>
  %5
  <author><name>tester</name><uri>{base}/feeds/api/users/tester</uri></author>
  <generator version='2.1' uri='{base}'>Video Site data interface</generator>
  <openSearch:totalResults>%6</openSearch:totalResults>
  <openSearch:startIndex>%3</openSearch:startIndex>
  <openSearch:itemsPerPage>%4</openSearch:itemsPerPage>
%7</feed>
)")
                             .arg(page)
                             .arg(uploadsFeedPath())
                             .arg(startIndex)
                             .arg(perPage)
                             .arg(next)
                             .arg(pageCount * perPage)
                             .arg(entries);
    return filled(feed, baseURL);
}

QByteArray videoEntry(const QString& baseURL, const QString& videoID, const QString& title) {
    return filled(
        QStringLiteral("<?xml version='1.0' encoding='UTF-8'?>\n<entry {xmlns} ds:etag='W/\"fresh\"'>") +
            videoEntryBody(videoID, title) + QStringLiteral("</entry>\n"),
        baseURL);
}

QByteArray errorDocument() {
    return filled(QStringLiteral(R"(<?xml version='1.0' encoding='UTF-8'?>
<errors xmlns='{ds}'>
  <error>
    <domain>VideoSite</domain>
    <code>invalid_value</code>
    <location type='xpath'>media:group/media:title/text()</location>
    <internalReason>Title is too long</internalReason>
    <extendedHelp>https://help.videosite.invalid/title</extendedHelp>
  </error>
  <error>
    <domain>VideoSite</domain>
    <code>required</code>
    <location type='xpath'>media:group/media:category</location>
  </error>
</errors>
)"),
                  QString());
}

QByteArray errorDocumentWithAttributes(int count) {
    QByteArray attributes;
    for (int i = 0; i < count; ++i)
        attributes += " a" + QByteArray::number(i) + "='1'";
    QByteArray document = errorDocument();
    return document.insert(document.indexOf("<error>") + 6, attributes);
}

QByteArray batchReplyFeed(const QString& baseURL) {
    return filled(QStringLiteral(R"(<?xml version='1.0' encoding='UTF-8'?>
<feed {xmlns}>
  <id>{base}/feeds/api/users/default/uploads/batch/1</id>
  <updated>2012-05-01T11:00:00.000Z</updated>
  <title>Batch reply</title>
  <batch:operation type='update'/>
  <entry>
    <id>tag:videosite.invalid,2008:video:one</id>
    <title>Inserted</title>
    <batch:id>item-1</batch:id>
    <batch:operation type='insert'/>
    <batch:status code='201' reason='Created'/>
  </entry>
  <entry>
    <id>tag:videosite.invalid,2008:video:two</id>
    <batch:id>item-2</batch:id>
    <batch:operation type='update'/>
    <batch:status code='404' reason='Not Found' content-type='text/plain'>No such video</batch:status>
  </entry>
  <entry>
    <id>tag:videosite.invalid,2008:video:three</id>
    <batch:id>item-3</batch:id>
    <batch:operation type='delete'/>
    <batch:status code='200' reason='Success'/>
  </entry>
  <entry>
    <title>Interrupted</title>
    <batch:interrupted reason='Too many operations' parsed='10' success='7' failures='3'>Stopped after ten</batch:interrupted>
  </entry>
</feed>
)"),
                  baseURL);
}

} // namespace ds_documents
