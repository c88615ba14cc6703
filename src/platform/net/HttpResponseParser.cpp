#include "platform/net/HttpResponseParser.h"

#include "platform/net/HttpStreamError.h"

#include <cctype>
#include <cstring>

namespace platform::net {

namespace {

bool allDigits(const QByteArray& text) {
    if (text.isEmpty())
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// The comma-separated tokens of every field of that name, lower-cased and trimmed.
QList<QByteArray> tokens(const HttpHeaders& headers, const QByteArray& name) {
    QList<QByteArray> found;
    for (const QByteArray& value : headers.values(name))
        for (const QByteArray& token : value.split(','))
            if (const QByteArray trimmed = token.trimmed().toLower(); !trimmed.isEmpty())
                found.append(trimmed);
    return found;
}

} // namespace

HttpResponseParser::HttpResponseParser(const QByteArray& requestMethod) : method(requestMethod.toUpper()) {}

bool HttpResponseParser::fail(qint64 code, const QString& description) {
    state = State::Failed;
    failure = makeStreamError(kHttpStreamErrorDomain, code, description);
    return false;
}

bool HttpResponseParser::takeLine(const char*& data, const char* end, QByteArray& line) {
    const char* newline = static_cast<const char*>(memchr(data, '\n', size_t(end - data)));
    const qsizetype taken = newline ? newline - data + 1 : end - data;
    lineBytes += taken;
    if (lineBytes > kMaximumHeadBytes) {
        if (state == State::StatusLine || state == State::Fields)
            return fail(HttpStreamHeaderTooLarge, QStringLiteral("The response head is too large"));
        if (state == State::Trailers)
            return fail(HttpStreamHeaderTooLarge, QStringLiteral("The response trailers are too large"));
        return fail(HttpStreamBadChunk, QStringLiteral("A chunk line is too long"));
    }
    partialLine.append(data, taken);
    data += taken;
    if (!newline)
        return false;
    line = partialLine.chopped(1);
    if (line.endsWith('\r'))
        line.chop(1);
    partialLine.clear();
    return true;
}

bool HttpResponseParser::feed(const char* data, qsizetype size, QByteArray& body) {
    const char* end = data + size;
    if (size > 0)
        started = true;
    while (data < end) {
        QByteArray line;
        switch (state) {
        case State::StatusLine:
        case State::Fields:
        case State::ChunkSize:
        case State::ChunkEnd:
        case State::Trailers:
            if (!takeLine(data, end, line))
                return state != State::Failed;
            if (!lineTaken(line))
                return false;
            break;
        case State::LengthBody:
        case State::ChunkData: {
            const qint64 take = std::min<qint64>(remaining, end - data);
            body.append(data, take);
            data += take;
            remaining -= take;
            if (remaining == 0)
                state = state == State::LengthBody ? State::Complete : State::ChunkEnd;
            break;
        }
        case State::UntilClose:
            body.append(data, end - data);
            data = end;
            break;
        case State::Complete:
            trailing = true;
            return true;
        case State::Failed:
            return false;
        }
    }
    return state != State::Failed;
}

bool HttpResponseParser::lineTaken(const QByteArray& line) {
    switch (state) {
    case State::StatusLine:
        return statusLine(line);
    case State::Fields:
        return fieldLine(line);
    case State::ChunkSize:
        lineBytes = 0;
        return chunkSizeLine(line);
    case State::ChunkEnd:
        lineBytes = 0;
        if (!line.isEmpty())
            return fail(HttpStreamBadChunk, QStringLiteral("A chunk is longer than its size"));
        state = State::ChunkSize;
        return true;
    case State::Trailers:
        if (line.isEmpty())
            state = State::Complete;
        else if (++fieldCount > kMaximumFields)
            return fail(HttpStreamHeaderTooLarge, QStringLiteral("The response has too many trailers"));
        return true;
    default:
        return true;
    }
}

bool HttpResponseParser::statusLine(const QByteArray& line) {
    // "HTTP/1.x NNN reason"; the reason may be empty or missing.
    if (line.size() < 12 || !line.startsWith("HTTP/1.") || line[8] != ' ' || !allDigits(line.mid(9, 3)) ||
        (line.size() > 12 && line[12] != ' '))
        return fail(HttpStreamBadStatusLine,
                    QStringLiteral("The response does not begin with a status line"));
    const HttpVersion version = line[7] == '0' ? HttpVersion::Http10 : HttpVersion::Http11;
    response = HttpMessage::response(version, line.mid(9, 3).toInt(), line);
    fieldCount = 0;
    state = State::Fields;
    return true;
}

bool HttpResponseParser::fieldLine(const QByteArray& line) {
    if (line.isEmpty())
        return headEnded();
    const qsizetype colon = line.indexOf(':');
    if (++fieldCount > kMaximumFields)
        return fail(HttpStreamHeaderTooLarge, QStringLiteral("The response has too many header fields"));
    // A folded line (leading white space) or a name with spaces is refused rather than guessed at.
    if (colon <= 0 || !response.addValue(line.left(colon), line.mid(colon + 1).trimmed()))
        return fail(HttpStreamBadHeaderField, QStringLiteral("The response has a malformed header field"));
    return true;
}

bool HttpResponseParser::headEnded() {
    const int status = response.statusCode();
    if (status / 100 == 1) {
        // An interim response: the final one follows on the same connection.
        state = State::StatusLine;
        return true;
    }
    headDone = true;
    lineBytes = 0;
    return decideFraming();
}

bool HttpResponseParser::decideFraming() {
    const int status = response.statusCode();
    const HttpHeaders& fields = response.headers();
    if (method == "HEAD" || status == 204 || status == 304 || (method == "CONNECT" && status / 100 == 2)) {
        bodyFraming = Framing::None;
        state = State::Complete;
        return true;
    }
    const QList<QByteArray> codings = tokens(fields, "Transfer-Encoding");
    if (!codings.isEmpty()) {
        // The coding wins over any length, but such a reply is not trusted with the connection again.
        lengthAndChunks = fields.contains("Content-Length");
        bodyFraming = codings.last() == "chunked" ? Framing::Chunked : Framing::UntilClose;
        state = bodyFraming == Framing::Chunked ? State::ChunkSize : State::UntilClose;
        return true;
    }
    const QList<QByteArray> lengths = tokens(fields, "Content-Length");
    if (lengths.isEmpty()) {
        bodyFraming = Framing::UntilClose;
        state = State::UntilClose;
        return true;
    }
    for (const QByteArray& length : lengths) {
        if (!allDigits(length) || length.size() > 18)
            return fail(HttpStreamBadContentLength, QStringLiteral("The response length is not a number"));
        if (length.toLongLong() != lengths.first().toLongLong())
            return fail(HttpStreamConflictingLengths,
                        QStringLiteral("The response gives conflicting lengths"));
    }
    bodyFraming = Framing::Length;
    remaining = lengths.first().toLongLong();
    state = remaining == 0 ? State::Complete : State::LengthBody;
    return true;
}

bool HttpResponseParser::chunkSizeLine(const QByteArray& line) {
    QByteArray size = line;
    if (const qsizetype semicolon = size.indexOf(';'); semicolon >= 0)
        size.truncate(semicolon);
    size = size.trimmed();
    bool ok = !size.isEmpty() && size.size() <= 15;
    for (char c : size)
        ok = ok && std::isxdigit(static_cast<unsigned char>(c));
    if (!ok)
        return fail(HttpStreamBadChunk, QStringLiteral("A chunk size is malformed"));
    remaining = size.toLongLong(nullptr, 16);
    state = remaining == 0 ? State::Trailers : State::ChunkData;
    fieldCount = 0;
    return true;
}

bool HttpResponseParser::endOfInput() {
    if (state == State::UntilClose) {
        state = State::Complete;
        return true;
    }
    if (state == State::Complete)
        return true;
    if (state == State::Failed)
        return false;
    return fail(HttpStreamPrematureEnd, QStringLiteral("The connection ended before the response did"));
}

bool HttpResponseParser::allowsReuse() const {
    if (state != State::Complete || bodyFraming == Framing::UntilClose || trailing || lengthAndChunks)
        return false;
    const QList<QByteArray> connection = tokens(response.headers(), "Connection");
    if (connection.contains("close"))
        return false;
    return response.version() == HttpVersion::Http11 || connection.contains("keep-alive");
}

} // namespace platform::net
