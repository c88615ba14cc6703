#pragma once

#include "platform/foundation/Error.h"
#include "platform/net/HttpLimits.h"
#include "platform/net/HttpMessage.h"

#include <optional>

namespace platform::net {

// Reads one HTTP/1.x response off a connection and takes its framing apart. Interim (1xx) responses are
// skipped. The body is framed by a decimal "Content-Length", by chunks (sizes checked), or by the end of the
// connection; a reply to HEAD, a 204, a 304 and a 2xx to CONNECT have none. Lengths that disagree, a head,
// a chunk line or trailers past the limits (bytes, and fields for the head and the trailers), a malformed
// chunk, a field holding a CR, and an end before the framing says so are errors. Trailers are read past,
// never kept.
class HttpResponseParser {
public:
    enum class Framing { Undecided, None, Length, Chunked, UntilClose };

    static constexpr qsizetype kMaximumHeadBytes = platform::net::kMaximumHeadBytes;
    static constexpr int kMaximumFields = kMaximumHeadFields;

    explicit HttpResponseParser(const QByteArray& requestMethod = "GET");

    // Takes the next bytes of the connection and appends what they hold of the body to `body`. False once
    // the response is found faulty (error() says why); bytes after the end of the response are kept aside.
    bool feed(const char* data, qsizetype size, QByteArray& body);
    // The connection ended: completes a body framed by the close; before the end of any other framing, an
    // error.
    bool endOfInput();

    bool hasStarted() const { return started; }
    bool isHeadComplete() const { return headDone; }
    bool isComplete() const { return state == State::Complete; }
    const HttpMessage& head() const { return response; }
    Framing framing() const { return bodyFraming; }
    const std::optional<Error>& error() const { return failure; }
    // Whether the connection may carry another request: the response is complete, framed without the
    // close, nothing followed it, and version and "Connection" allow it.
    bool allowsReuse() const;

private:
    enum class State {
        StatusLine,
        Fields,
        LengthBody,
        ChunkSize,
        ChunkData,
        ChunkEnd,
        Trailers,
        UntilClose,
        Complete,
        Failed
    };

    bool takeLine(const char*& data, const char* end, QByteArray& line);
    bool lineTaken(const QByteArray& line);
    bool statusLine(const QByteArray& line);
    bool fieldLine(const QByteArray& line);
    bool headEnded();
    bool decideFraming();
    bool chunkSizeLine(const QByteArray& line);
    bool fail(qint64 code, const QString& description);

    QByteArray method;
    State state = State::StatusLine;
    Framing bodyFraming = Framing::Undecided;
    HttpMessage response;
    QByteArray partialLine;
    // Bytes of lines in the section being read: the head (interim ones included), one chunk line, or the
    // trailers; each section has the head's limit, so a long chunked body is never mistaken for a long head.
    qsizetype lineBytes = 0;
    int fieldCount = 0;
    qint64 remaining = 0;
    bool started = false;
    bool headDone = false;
    bool lengthAndChunks = false;
    bool trailing = false;
    std::optional<Error> failure;
};

} // namespace platform::net
