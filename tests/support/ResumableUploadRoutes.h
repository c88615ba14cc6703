#pragma once

// The server side of the resumable upload protocol, on a LoopbackServer:
//   - the first request to `createPath` announces the body ("X-Upload-Content-Length",
//   "X-Upload-Content-Type")
//     and carries the metadata; the reply is 200 with "Location" naming the upload session (in the scheme the
//     request came in);
//   - "PUT" to the session with "Content-Range: bytes a-b/N" stores the bytes from a, which must be where
//     the stored bytes end (a chunk sent again over bytes the session holds is refused with 400, as the
//     service does), and answers 308 with "Range: bytes=0-<last stored byte>" (no "Range" while nothing is
//     stored), or 201 with `finalReply` once all N bytes are there;
//   - "PUT" with "Content-Range: bytes */N" and no body is a status query, answered the same way.
// A session that saw no first request (a restarted upload) takes N from "Content-Range".
// An override may answer any step instead (a 503, a 308 without "Range", a first reply without "Location");
// bytes of a chunk answered by the override are not stored.

#include "support/LoopbackServer.h"

#include <functional>
#include <mutex>
#include <optional>

namespace test_support {

class ResumableUploadRoutes {
public:
    enum class Kind { First, Chunk, Query };
    struct Step {
        Kind kind;
        int index; // counts each kind apart, from 0
    };
    using Override = std::function<std::optional<ServerResponse>(const ServerRequest&, const Step&)>;

    explicit ResumableUploadRoutes(LoopbackServer& server,
                                   const QString& createPath = QStringLiteral("/upload/create"),
                                   const QString& sessionPath = QStringLiteral("/upload/session"));

    void setOverride(Override handler);
    // Forgets everything: stored bytes, metadata, the log of ranges, the step counts and the override.
    void reset();
    // What the session holds, as if earlier chunks had arrived (an override may call it).
    void setStored(const QByteArray& bytes);
    // Serves the session under another path too (for a 308 that moves the upload).
    void aliasSession(const QString& path);
    QUrl sessionUrl(bool secure) const;
    QByteArray received() const;
    QByteArray metadata() const;
    qint64 declaredLength() const;
    // Content-Range of every PUT, in order ("bytes 0-9999/10000", "bytes */10000").
    QList<QByteArray> contentRanges() const;

    QByteArray finalReply = "<entry>uploaded</entry>";

private:
    ServerResponse first(const ServerRequest& request);
    ServerResponse put(const ServerRequest& request);
    ServerResponse progressReply() const;
    std::optional<ServerResponse> overridden(const ServerRequest& request, Kind kind);

    LoopbackServer& server;
    QString session;
    mutable std::mutex mutex;
    Override override;
    QByteArray stored;
    QByteArray meta;
    qint64 declared = -1;
    QList<QByteArray> ranges;
    int counts[3] = {0, 0, 0};
};

} // namespace test_support
