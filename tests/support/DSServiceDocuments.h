#pragma once

// The video service's documents as the fake service serves them and the tests expect them: a video feed split
// over pages by next links, the video entry that answers an upload, an error document and a batch reply feed.
// Addresses are made from the base URL the fake service listens on ("https://127.0.0.1:port").

#include <QByteArray>
#include <QString>

namespace ds_documents {

// The upload feed of the test user, under the service's base URL.
QString uploadsFeedPath();

// Page `page` (1-based) of the user's uploads, `perPage` video entries each, numbered on from the earlier
// pages; every page but the last links to the next one by a "next" link with its start index.
QByteArray videoFeedPage(const QString& baseURL, int page, int pageCount, int perPage = 2);

// The video entry the service answers an upload with (201), still processing, with its media group, geo
// point, comments feed link, statistics and rating.
QByteArray videoEntry(const QString& baseURL, const QString& videoID, const QString& title);

// The DS error document of a refused request: two errors, the second without an internal reason.
QByteArray errorDocument();
// The same error document with `count` attributes on its first error element, numbered "a0", "a1", ...:
// 200,000 of them make 2.3 MB.
QByteArray errorDocumentWithAttributes(int count);
inline constexpr char kErrorDocumentContentType[] = "application/vnd.ds.error+xml; charset=UTF-8";

// The reply to a batch request: an inserted entry, a failed update, a deletion, and the interruption.
QByteArray batchReplyFeed(const QString& baseURL);

} // namespace ds_documents
