#include "support/LoopbackServer.h"

#include "support/LoopbackSocket.h"

#include "platform/foundation/ChildProcess.h"
#include "support/TestCertificateAuthority.h"

#include <zlib.h>

#include <algorithm>
#include <chrono>

namespace test_support {

namespace {

QByteArray reasonPhrase(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 201:
        return "Created";
    case 204:
        return "No Content";
    case 206:
        return "Partial Content";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 303:
        return "See Other";
    case 304:
        return "Not Modified";
    case 307:
        return "Temporary Redirect";
    case 308:
        return "Permanent Redirect";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 407:
        return "Proxy Authentication Required";
    case 408:
        return "Request Timeout";
    case 416:
        return "Range Not Satisfiable";
    case 500:
        return "Internal Server Error";
    case 503:
        return "Service Unavailable";
    case 504:
        return "Gateway Timeout";
    default:
        return "Status";
    }
}

// Parses a request head; false for one that is not HTTP/1.x.
bool parseHead(const QByteArray& head, ServerRequest& request) {
    const QList<QByteArray> lines = head.split('\n');
    const QList<QByteArray> start = lines.first().trimmed().split(' ');
    if (start.size() != 3 || !start[2].startsWith("HTTP/1."))
        return false;
    request.method = start[0];
    request.target = start[1];
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            request.headers.add(line.left(colon).trimmed(), line.mid(colon + 1).trimmed());
    }
    const QUrl url = request.target.startsWith('/') ? QUrl::fromEncoded("http://loopback" + request.target)
                                                    : QUrl::fromEncoded(request.target);
    request.path = url.path();
    request.query = QUrlQuery(url.query());
    return true;
}

QByteArray head(const ServerResponse& response, bool closing) {
    QByteArray text = (response.http10 ? "HTTP/1.0 " : "HTTP/1.1 ") + QByteArray::number(response.status) +
                      ' ' + (response.reason.isEmpty() ? reasonPhrase(response.status) : response.reason) +
                      "\r\n";
    for (const auto& field : response.headers.all())
        text += field.first + ": " + field.second + "\r\n";
    const bool bodiless = response.status == 204 || response.status == 304 || response.status / 100 == 1;
    if (response.chunked)
        text += "Transfer-Encoding: chunked\r\n";
    else if (!bodiless && !response.headers.contains("Content-Length"))
        text += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    if (closing)
        text += "Connection: close\r\n";
    return text + "\r\n";
}

QByteArray chunks(const QByteArray& body, int size) {
    QByteArray framed;
    for (qsizetype at = 0; at < body.size(); at += size) {
        const QByteArray piece = body.mid(at, size);
        framed += QByteArray::number(piece.size(), 16) + "\r\n" + piece + "\r\n";
    }
    return framed + "0\r\n\r\n";
}

// Whether the connection ends after this reply.
bool closesAfter(const ServerResponse& response) {
    return response.closeAfterReply ||
           (response.http10 && response.headers.value("Connection").toLower() != "keep-alive");
}

} // namespace

QByteArray gzip(const QByteArray& bytes) {
    z_stream stream{};
    deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(int(deflateBound(&stream, uLong(bytes.size()))), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.constData()));
    stream.avail_in = uInt(bytes.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = uInt(out.size());
    deflate(&stream, Z_FINISH);
    out.truncate(qsizetype(stream.total_out));
    deflateEnd(&stream);
    return out;
}

ServerResponse ServerResponse::raw(const QByteArray& bytes) {
    ServerResponse response;
    response.action = Action::Raw;
    response.body = bytes;
    return response;
}

ServerResponse ServerResponse::gzipped(int status, const QByteArray& body) {
    ServerResponse response = text(status, gzip(body));
    response.headers.set("Content-Encoding", "gzip");
    return response;
}

ServerResponse ServerResponse::text(int status, const QByteArray& body, const QByteArray& contentType) {
    ServerResponse response;
    response.status = status;
    response.body = body;
    if (!contentType.isEmpty())
        response.headers.set("Content-Type", contentType);
    return response;
}

ServerResponse ServerResponse::redirect(int status, const QByteArray& location) {
    ServerResponse response = text(status, "moved");
    response.headers.set("Location", location);
    return response;
}

ServerResponse ServerResponse::hold(ServerResponse reply) {
    reply.action = Action::Hold;
    return reply;
}

ServerResponse ServerResponse::closeAfterRequest() {
    ServerResponse response;
    response.action = Action::CloseAfterRequest;
    return response;
}

ServerResponse ServerResponse::closeAfterBodyBytes(ServerResponse reply, qint64 bytes) {
    reply.action = Action::CloseAfterBodyBytes;
    reply.bodyBytesBeforeClose = bytes;
    return reply;
}

ServerResponse ServerResponse::stall() {
    ServerResponse response;
    response.action = Action::Stall;
    return response;
}

ServerResponse& ServerResponse::withHeader(const QByteArray& name, const QByteArray& value) {
    headers.add(name, value);
    return *this;
}

LoopbackServer::LoopbackServer(const QStringList& tlsNames)
    : tlsContext(TestCertificateAuthority::shared().makeServerContext(tlsNames)),
      plain(std::make_unique<ListeningSocket>()), secure(std::make_unique<ListeningSocket>()) {
    platform::ignoreSigpipe(); // a client that hangs up mid-reply must not end the test
    fallback = [](const ServerRequest&) { return ServerResponse::text(404, "no route"); };
    threads.emplace_back([this] { acceptLoop(*plain, false); });
    threads.emplace_back([this] { acceptLoop(*secure, true); });
}

LoopbackServer::~LoopbackServer() {
    {
        std::lock_guard lock(mutex);
        stopping = true;
    }
    changed.notify_all();
    plain->shutdown();
    secure->shutdown();
    threads[0].join();
    threads[1].join();
    std::vector<std::thread> connections;
    {
        std::lock_guard lock(mutex);
        for (const auto& weak : open)
            if (auto connection = weak.lock())
                connection->shutdown();
        connections.assign(std::make_move_iterator(threads.begin() + 2),
                           std::make_move_iterator(threads.end()));
    }
    for (std::thread& thread : connections)
        thread.join();
}

int LoopbackServer::port() const {
    return plain->port();
}

int LoopbackServer::securePort() const {
    return secure->port();
}

QUrl LoopbackServer::url(const QString& path) const {
    return urlOnHost(QStringLiteral("127.0.0.1"), path, false);
}

QUrl LoopbackServer::secureUrl(const QString& path) const {
    return urlOnHost(QStringLiteral("localhost"), path, true);
}

QUrl LoopbackServer::urlOnHost(const QString& host, const QString& path, bool tls) const {
    return QUrl(QStringLiteral("%1://%2:%3%4")
                    .arg(tls ? QStringLiteral("https") : QStringLiteral("http"), host)
                    .arg(tls ? securePort() : port())
                    .arg(path));
}

void LoopbackServer::route(const QString& path, RequestHandler handler) {
    route(QByteArray(), path, std::move(handler));
}

void LoopbackServer::route(const QByteArray& method, const QString& path, RequestHandler handler) {
    std::lock_guard lock(mutex);
    for (auto [it, end] = routes.equal_range(path); it != end; ++it) {
        if (it->second.method == method) {
            it->second.handler = std::move(handler);
            return;
        }
    }
    routes.emplace(path, Route{method, std::move(handler)});
}

void LoopbackServer::setFallback(RequestHandler handler) {
    std::lock_guard lock(mutex);
    fallback = std::move(handler);
}

std::vector<ServerRequest> LoopbackServer::requests() const {
    std::lock_guard lock(mutex);
    return log;
}

std::vector<ServerRequest> LoopbackServer::requestsTo(const QString& path) const {
    std::vector<ServerRequest> found;
    for (const ServerRequest& request : requests())
        if (request.path == path)
            found.push_back(request);
    return found;
}

bool LoopbackServer::waitForRequests(size_t count, int timeoutMs) const {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return log.size() >= count; });
}

void LoopbackServer::clearLog() {
    std::lock_guard lock(mutex);
    log.clear();
}

int LoopbackServer::connectionCount() const {
    std::lock_guard lock(mutex);
    return accepted;
}

bool LoopbackServer::closedByClient(int index) const {
    std::lock_guard lock(mutex);
    return std::find(clientClosed.begin(), clientClosed.end(), index) != clientClosed.end();
}

int LoopbackServer::heldCount() const {
    std::lock_guard lock(mutex);
    return held;
}

bool LoopbackServer::waitForHeld(int count, int timeoutMs) const {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return held >= count; });
}

void LoopbackServer::releaseHeld() {
    {
        std::lock_guard lock(mutex);
        ++releases;
    }
    changed.notify_all();
}

void LoopbackServer::track(const std::shared_ptr<Connection>& connection) {
    open.erase(std::remove_if(open.begin(), open.end(), [](const auto& weak) { return weak.expired(); }),
               open.end());
    open.push_back(connection);
}

void LoopbackServer::acceptLoop(ListeningSocket& listener, bool tls) {
    while (true) {
        platform::UniqueFd fd = listener.accept();
        std::lock_guard lock(mutex);
        if (!fd.isValid() || stopping)
            return;
        auto connection = std::make_shared<Connection>(std::move(fd));
        track(connection);
        const int index = ++accepted;
        threads.emplace_back([this, connection, tls, index] { serve(connection, tls, index); });
    }
}

ServerResponse LoopbackServer::respond(const ServerRequest& request) {
    RequestHandler handler;
    {
        std::lock_guard lock(mutex);
        handler = fallback;
        for (auto [it, end] = routes.equal_range(request.path); it != end; ++it) {
            if (it->second.method.isEmpty() || it->second.method == request.method) {
                handler = it->second.handler;
                if (!it->second.method.isEmpty())
                    break;
            }
        }
    }
    return handler(request);
}

void LoopbackServer::serve(std::shared_ptr<Connection> connection, bool tls, int index) {
    if (tls && !connection->acceptTls(tlsContext.get()))
        return;
    MessageReader reader(*connection);
    while (true) {
        const std::optional<QByteArray> requestHead = reader.readHead();
        ServerRequest request;
        if (!requestHead) {
            std::lock_guard lock(mutex);
            clientClosed.push_back(index);
            return;
        }
        if (!parseHead(*requestHead, request))
            return;
        request.secure = tls;
        request.connection = index;
        std::optional<QByteArray> body = QByteArray();
        if (request.header("Transfer-Encoding").toLower().contains("chunked"))
            body = reader.readChunkedBody();
        else if (const qint64 length = request.header("Content-Length").toLongLong(); length > 0)
            body = reader.readBody(length);
        if (!body)
            return;
        request.body = *body;
        {
            std::lock_guard lock(mutex);
            log.push_back(request);
        }
        changed.notify_all();
        const ServerResponse response = respond(request);
        if (!perform(*connection, request, response))
            return;
        if (closesAfter(response) || request.header("Connection").toLower() == "close")
            return;
    }
}

bool LoopbackServer::perform(Connection& connection, const ServerRequest& request,
                             const ServerResponse& response) {
    using Action = ServerResponse::Action;
    const bool isHead = request.method == "HEAD";
    switch (response.action) {
    case Action::CloseAfterRequest:
        return false;
    case Action::Stall: {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return stopping; });
        return false;
    }
    case Action::Hold: {
        std::unique_lock lock(mutex);
        const int generation = releases;
        ++held;
        changed.notify_all();
        changed.wait(lock, [&] { return stopping || releases != generation; });
        --held;
        if (stopping)
            return false;
        break;
    }
    case Action::CloseAfterBodyBytes:
        connection.writeAll(head(response, false) +
                            (isHead ? QByteArray() : response.body.left(response.bodyBytesBeforeClose)));
        return false;
    case Action::Raw:
        connection.writeAll(response.body);
        return false;
    case Action::Reply:
        break;
    }
    const QByteArray body = response.chunked ? chunks(response.body, response.chunkSize) : response.body;
    return connection.writeAll(head(response, response.closeAfterReply) + (isHead ? QByteArray() : body));
}

} // namespace test_support
