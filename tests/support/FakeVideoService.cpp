#include "support/FakeVideoService.h"

#include "platform/foundation/UserDefaults.h"
#include "support/DSServiceDocuments.h"

#include <QSettings>

namespace test_support {

namespace {

const QString kUploadPath = QStringLiteral("/resumable/feeds/api/users/default/uploads");
const QString kSessionPath = QStringLiteral("/resumable/sessions/1");
const QString kEntriesPath = QStringLiteral("/feeds/api/users/tester/uploads/");
constexpr int kEntriesPerPage = 2;

// Every method, so that a switch also takes over a path served for one method.
void routeAllMethods(LoopbackServer& server, const QString& path, const RequestHandler& handler) {
    for (const char* method : {"GET", "POST", "PUT", "PATCH", "DELETE"})
        server.route(method, path, handler);
}

} // namespace

FakeVideoService::FakeVideoService(LoopbackServer& server, const QString& defaultsPath)
    : server(server), uploadRoutes(server, kUploadPath, kSessionPath),
      loginReply(ServerResponse::text(200, "SID=s\nLSID=l\nAuth=T1\n")) {
    uploadRoutes.finalReply =
        ds_documents::videoEntry(baseURL(), QStringLiteral("vid1"), QStringLiteral("Uploaded"));
    server.route("GET", ds_documents::uploadsFeedPath(),
                 [this](const ServerRequest& request) { return feedPage(request); });
    server.route("POST", QStringLiteral("/accounts/AccountLogin"), [this](const ServerRequest&) {
        ++logins;
        std::lock_guard lock(loginMutex);
        return loginReply;
    });
    const QString settings =
        defaultsPath.isEmpty() ? defaultsFolder.file(QStringLiteral("Vistrelle.conf")) : defaultsPath;
    {
        QSettings file(settings, QSettings::IniFormat);
        file.setValue(QStringLiteral("ServiceAddresses/VideoServiceFeedRoot"),
                      baseURL() + QStringLiteral("/feeds/"));
        file.setValue(QStringLiteral("ServiceAddresses/VideoServiceUploadRoot"),
                      baseURL() + QStringLiteral("/resumable/feeds/"));
    }
    platform::UserDefaults::setStorePathForTesting(settings);
}

FakeVideoService::~FakeVideoService() {
    platform::UserDefaults::setStorePathForTesting(QString());
}

QString FakeVideoService::baseURL() const {
    return server.secureUrl(QString()).toString(QUrl::StripTrailingSlash);
}

QUrl FakeVideoService::uploadURL() const {
    return server.secureUrl(kUploadPath);
}

QUrl FakeVideoService::uploadsFeedURL() const {
    return server.secureUrl(ds_documents::uploadsFeedPath());
}

QUrl FakeVideoService::entryURL(const QString& videoID) const {
    return server.secureUrl(kEntriesPath + videoID);
}

QString FakeVideoService::signInDomain() const {
    return QStringLiteral("localhost:%1").arg(server.port());
}

ServerResponse FakeVideoService::feedPage(const ServerRequest& request) const {
    const int start = request.query.hasQueryItem(QStringLiteral("start-index"))
                          ? request.query.queryItemValue(QStringLiteral("start-index")).toInt()
                          : 1;
    const int page = qMax(1, (start - 1) / kEntriesPerPage + 1);
    return ServerResponse::text(200, ds_documents::videoFeedPage(baseURL(), page, pageCount, kEntriesPerPage),
                                "application/atom+xml; charset=UTF-8");
}

void FakeVideoService::serveVideo(const QString& videoID, const QString& title) {
    const QByteArray entry = ds_documents::videoEntry(baseURL(), videoID, title);
    server.route(kEntriesPath + videoID, [entry](const ServerRequest& request) {
        if (request.method == "DELETE")
            return ServerResponse::text(200, QByteArray());
        return ServerResponse::text(200, entry, "application/atom+xml; charset=UTF-8");
    });
}

void FakeVideoService::failChunkWith503(int k) {
    uploadRoutes.setOverride([k](const ServerRequest&, const ResumableUploadRoutes::Step& step) {
        return step.kind == ResumableUploadRoutes::Kind::Chunk && step.index == k
                   ? std::optional<ServerResponse>(ServerResponse::text(503, "busy"))
                   : std::nullopt;
    });
}

void FakeVideoService::cutChunk(int k, qint64 keptBytes) {
    uploadRoutes.setOverride(
        [this, k, keptBytes](const ServerRequest& request, const ResumableUploadRoutes::Step& step) {
            if (step.kind != ResumableUploadRoutes::Kind::Chunk || step.index != k)
                return std::optional<ServerResponse>();
            uploadRoutes.setStored(uploadRoutes.received() + request.body.left(keptBytes));
            return std::optional<ServerResponse>(ServerResponse::closeAfterRequest());
        });
}

void FakeVideoService::cutRepliesOf(const QString& path, qint64 bytes) {
    const QByteArray page = ds_documents::videoFeedPage(baseURL(), 1, 1, kEntriesPerPage);
    routeAllMethods(server, path, [page, bytes](const ServerRequest&) {
        return ServerResponse::closeAfterBodyBytes(ServerResponse::text(200, page, "application/atom+xml"),
                                                   bytes);
    });
}

void FakeVideoService::answerWithErrorDocument(const QString& path, int status) {
    routeAllMethods(server, path, [status](const ServerRequest&) {
        return ServerResponse::text(status, ds_documents::errorDocument(),
                                    ds_documents::kErrorDocumentContentType);
    });
}

void FakeVideoService::setLoginReply(int status, const QByteArray& body) {
    std::lock_guard lock(loginMutex);
    loginReply = ServerResponse::text(status, body);
}

} // namespace test_support
