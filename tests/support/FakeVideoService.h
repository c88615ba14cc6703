#pragma once

// The video service on a loopback server, over TLS, for the service client's tests and the upload's:
//
//   test_support::NetTestEnvironment environment;  // trust the test CA
//   test_support::LoopbackServer server;
//   test_support::FakeVideoService service(server);  // the app's feed and upload roots now point here
//
// It serves the resumable upload of the signed-in user ("…/resumable/feeds/api/users/default/uploads": a
// "Location", chunk PUTs answered 308 with "Range", then 201 with a video entry), status queries, the user's
// uploads feed split over pages by next links, video entries to read, update and delete, and the account
// login. Switches make it fail the way a client must survive: a 503 on the k-th chunk, a chunk whose
// connection dies, a reply cut off in the middle of its body, an error document. Every request is in the
// server's log.

#include "support/LoopbackServer.h"
#include "support/ResumableUploadRoutes.h"
#include "support/TempDir.h"

#include <atomic>
#include <mutex>

namespace test_support {

class FakeVideoService {
public:
    // The addresses go into `defaultsPath` when given (the sign-in provider's file, so that both are read),
    // else into a private file.
    explicit FakeVideoService(LoopbackServer& server, const QString& defaultsPath = QString());
    // Puts the app's service addresses back.
    ~FakeVideoService();
    FakeVideoService(const FakeVideoService&) = delete;
    FakeVideoService& operator=(const FakeVideoService&) = delete;

    QString baseURL() const;                     // "https://localhost:<port>"
    QUrl uploadURL() const;                      // where the signed-in user's uploads are posted
    QUrl uploadsFeedURL() const;                 // the signed-in user's uploads feed
    QUrl entryURL(const QString& videoID) const; // where a served video entry is, as its edit link says
    ResumableUploadRoutes& uploads() { return uploadRoutes; }

    // The uploads feed is split over this many pages of two entries (1 by default).
    void setFeedPageCount(int pages) { pageCount = pages; }
    // Serves a video entry: GET, PUT and PATCH answer it (200), DELETE answers an empty 200.
    void serveVideo(const QString& videoID, const QString& title);
    // The k-th chunk PUT (counted from 0) is answered 503 and its bytes are not kept.
    void failChunkWith503(int k);
    // The connection of the k-th chunk PUT dies without a reply after the service kept its first `keptBytes`.
    void cutChunk(int k, qint64 keptBytes);
    // Replies of the path end after `bytes` bytes of their body.
    void cutRepliesOf(const QString& path, qint64 bytes);
    // The path answers the DS error document with this status.
    void answerWithErrorDocument(const QString& path, int status = 400);

    // The account login ("/accounts/AccountLogin", in clear): the reply to give, and how often it was asked.
    QString signInDomain() const; // "localhost:<port>"
    void setLoginReply(int status, const QByteArray& body);
    int loginCount() const { return logins; }

private:
    ServerResponse feedPage(const ServerRequest& request) const;

    LoopbackServer& server;
    ResumableUploadRoutes uploadRoutes;
    TempDir defaultsFolder;
    std::atomic<int> pageCount = 1;
    std::atomic<int> logins = 0;
    mutable std::mutex loginMutex;
    ServerResponse loginReply;
};

} // namespace test_support
