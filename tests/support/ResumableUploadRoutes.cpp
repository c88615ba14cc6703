#include "support/ResumableUploadRoutes.h"

#include <QRegularExpression>

#include <algorithm>
#include <iterator>

namespace test_support {

ResumableUploadRoutes::ResumableUploadRoutes(LoopbackServer& server, const QString& createPath,
                                             const QString& sessionPath)
    : server(server), session(sessionPath) {
    server.route(createPath, [this](const ServerRequest& request) { return first(request); });
    server.route("PUT", sessionPath, [this](const ServerRequest& request) { return put(request); });
}

void ResumableUploadRoutes::setOverride(Override handler) {
    std::lock_guard lock(mutex);
    override = std::move(handler);
}

void ResumableUploadRoutes::reset() {
    std::lock_guard lock(mutex);
    override = nullptr;
    stored.clear();
    meta.clear();
    declared = -1;
    ranges.clear();
    std::fill(std::begin(counts), std::end(counts), 0);
}

void ResumableUploadRoutes::setStored(const QByteArray& bytes) {
    std::lock_guard lock(mutex);
    stored = bytes;
}

void ResumableUploadRoutes::aliasSession(const QString& path) {
    server.route("PUT", path, [this](const ServerRequest& request) { return put(request); });
}

QUrl ResumableUploadRoutes::sessionUrl(bool secure) const {
    return secure ? server.secureUrl(session) : server.url(session);
}

QByteArray ResumableUploadRoutes::received() const {
    std::lock_guard lock(mutex);
    return stored;
}

QByteArray ResumableUploadRoutes::metadata() const {
    std::lock_guard lock(mutex);
    return meta;
}

qint64 ResumableUploadRoutes::declaredLength() const {
    std::lock_guard lock(mutex);
    return declared;
}

QList<QByteArray> ResumableUploadRoutes::contentRanges() const {
    std::lock_guard lock(mutex);
    return ranges;
}

ServerResponse ResumableUploadRoutes::first(const ServerRequest& request) {
    if (std::optional<ServerResponse> answer = overridden(request, Kind::First))
        return *answer;
    std::lock_guard lock(mutex);
    meta = request.body;
    declared = request.header("X-Upload-Content-Length").toLongLong();
    stored.clear();
    ServerResponse reply = ServerResponse::text(200, QByteArray());
    reply.headers.set("Location", sessionUrl(request.secure).toEncoded());
    return reply;
}

std::optional<ServerResponse> ResumableUploadRoutes::overridden(const ServerRequest& request, Kind kind) {
    Override handler;
    Step step{kind, 0};
    {
        std::lock_guard lock(mutex);
        handler = override;
        step.index = counts[int(kind)]++;
    }
    // Called unlocked: an override may well read what the routes stored.
    return handler ? handler(request, step) : std::nullopt;
}

ServerResponse ResumableUploadRoutes::progressReply() const {
    if (declared >= 0 && stored.size() >= declared)
        return ServerResponse::text(201, finalReply, "application/atom+xml");
    ServerResponse reply = ServerResponse::text(308, QByteArray());
    if (!stored.isEmpty())
        reply.headers.set("Range", "bytes=0-" + QByteArray::number(stored.size() - 1));
    return reply;
}

ServerResponse ResumableUploadRoutes::put(const ServerRequest& request) {
    static const QRegularExpression chunkRange(QStringLiteral("^bytes (\\d+)-(\\d+)/(\\d+)$"));
    const QByteArray range = request.header("Content-Range");
    const bool query = range.startsWith("bytes */");
    {
        std::lock_guard lock(mutex);
        ranges.append(range);
    }
    if (std::optional<ServerResponse> answer = overridden(request, query ? Kind::Query : Kind::Chunk))
        return *answer;
    std::lock_guard lock(mutex);
    if (declared < 0)
        declared = range.mid(range.lastIndexOf('/') + 1).toLongLong();
    if (query)
        return progressReply();
    const QRegularExpressionMatch match = chunkRange.match(QString::fromLatin1(range));
    const qint64 from = match.captured(1).toLongLong();
    const qint64 to = match.captured(2).toLongLong();
    if (!match.hasMatch() || from != stored.size() || to - from + 1 != request.body.size())
        return ServerResponse::text(400, "bad range");
    stored = stored.left(from) + request.body;
    return progressReply();
}

} // namespace test_support
