#include "platform/net/HttpReadStream.h"

#include "platform/net/HttpStreamError.h"
#include "platform/net/UrlError.h"

#include <QHostAddress>
#include <QIODevice>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <thread>

namespace platform::net {

namespace {

constexpr qint64 kChunk = 64 * 1024;
// Past this much unread body the stream stops reading the socket until its client catches up.
constexpr qsizetype kHighWater = 1024 * 1024;

Error connectionLost() {
    return makeStreamError(kUrlErrorDomain, UrlErrorNetworkConnectionLost,
                           QStringLiteral("The network connection was lost."));
}

Error posixError(int code) {
    return makeStreamError(kPosixErrorDomain, code, QString::fromLocal8Bit(strerror(code)));
}

// The socket addresses for a host given as an address, or nothing for a name that needs a lookup.
std::optional<std::vector<QByteArray>> literalAddresses(const QString& host, int port) {
    const QHostAddress address(host);
    if (address.isNull())
        return std::nullopt;
    if (address.protocol() == QAbstractSocket::IPv4Protocol) {
        sockaddr_in in{};
        in.sin_family = AF_INET;
        in.sin_port = htons(uint16_t(port));
        in.sin_addr.s_addr = htonl(address.toIPv4Address());
        return std::vector<QByteArray>{QByteArray(reinterpret_cast<const char*>(&in), sizeof in)};
    }
    sockaddr_in6 in6{};
    in6.sin6_family = AF_INET6;
    in6.sin6_port = htons(uint16_t(port));
    const Q_IPV6ADDR bytes = address.toIPv6Address();
    memcpy(&in6.sin6_addr, bytes.c, 16);
    return std::vector<QByteArray>{QByteArray(reinterpret_cast<const char*>(&in6), sizeof in6)};
}

std::vector<QByteArray> lookUp(const QByteArray& host, int port) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    std::vector<QByteArray> addresses;
    if (::getaddrinfo(host.constData(), QByteArray::number(port).constData(), &hints, &found) != 0)
        return addresses;
    for (addrinfo* entry = found; entry; entry = entry->ai_next)
        addresses.emplace_back(reinterpret_cast<const char*>(entry->ai_addr), int(entry->ai_addrlen));
    ::freeaddrinfo(found);
    return addresses;
}

QByteArray socksConnectRequest(const QUrl& url) {
    QByteArray request("\x05\x01\x00", 3);
    const QHostAddress address(url.host());
    const quint16 port = quint16(HttpMessage::effectivePort(url));
    if (address.protocol() == QAbstractSocket::IPv4Protocol) {
        const quint32 v4 = htonl(address.toIPv4Address());
        request += '\x01' + QByteArray(reinterpret_cast<const char*>(&v4), 4);
    } else if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        request += '\x04' + QByteArray(reinterpret_cast<const char*>(address.toIPv6Address().c), 16);
    } else {
        const QByteArray name = url.host(QUrl::FullyEncoded).toLatin1().left(255);
        request += '\x03' + QByteArray(1, char(name.size())) + name;
    }
    request += char(port >> 8);
    request += char(port & 0xff);
    return request;
}

} // namespace

std::shared_ptr<HttpReadStream> HttpReadStream::create(HttpMessage request, std::shared_ptr<QIODevice> body) {
    return std::shared_ptr<HttpReadStream>(new HttpReadStream(std::move(request), std::move(body)));
}

HttpReadStream::HttpReadStream(HttpMessage request, std::shared_ptr<QIODevice> body)
    : message(std::move(request)), bodyDevice(std::move(body)), parser(message.method()) {}

HttpReadStream::~HttpReadStream() {
    close();
}

HttpConnection::Key HttpReadStream::connectionKey() const {
    HttpConnection::Key key;
    key.scheme = message.url().scheme().toLower();
    key.host = message.url().host().toLower();
    key.port = HttpMessage::effectivePort(message.url());
    if (!proxy.isNone())
        key.proxy = proxy;
    if (key.scheme == u"https") {
        key.tls = tls;
        const NetworkEnvironment environment = NetworkEnvironment::current();
        key.trustedFile = environment.caFile;
        key.trustedFolder = environment.caDirectory;
    }
    return key;
}

bool HttpReadStream::open(const std::shared_ptr<HttpReadStream>& previous) {
    if (currentStatus != Status::NotOpen)
        return false;
    if (!message.isValid() || !message.isRequest()) {
        fail(makeStreamError(kHttpStreamErrorDomain, HttpStreamBadRequest, QStringLiteral("Bad request")));
        return false;
    }
    if (bodyDevice) {
        bool known = false;
        bodyLength = message.value("Content-Length").toLongLong(&known);
        if (!known && !bodyDevice->isSequential()) {
            bodyLength = bodyDevice->size() - bodyDevice->pos();
            known = message.setValue("Content-Length", QByteArray::number(bodyLength));
        }
        if (!known || bodyLength < 0) {
            fail(makeStreamError(kHttpStreamErrorDomain, HttpStreamBadRequest,
                                 QStringLiteral("The request body has no length")));
            return false;
        }
    }
    if (previous && previous.get() != this && previous->isReusable() &&
        previous->connection->key() == connectionKey() && previous->connection->isStillOpen()) {
        connection = std::move(previous->connection);
        previous->currentStatus = Status::Closed;
        reused = true;
    }
    currentStatus = Status::Opening;
    if (scheduled)
        postAdvance();
    return true;
}

void HttpReadStream::schedule(const std::shared_ptr<RunLoop>& runLoop) {
    if (scheduled || !runLoop)
        return;
    loop = runLoop;
    scheduled = true;
    updateWatch();
    postAdvance();
}

void HttpReadStream::unschedule() {
    scheduled = false;
    watch.reset();
    retryTimer.reset();
}

void HttpReadStream::close() {
    if (currentStatus == Status::Closed)
        return;
    currentStatus = Status::Closed;
    phase = Phase::Done;
    if (lookupCancelled)
        *lookupCancelled = true;
    watch.reset();
    retryTimer.reset();
    connection.reset();
    body.clear();
}

std::optional<HttpMessage> HttpReadStream::response() const {
    if (!parser.isHeadComplete())
        return std::nullopt;
    return parser.head();
}

bool HttpReadStream::isReusable() const {
    return phase == Phase::Done && !failure && keepConnection && connection &&
           currentStatus != Status::Closed;
}

qint64 HttpReadStream::read(char* buffer, qint64 max) {
    const qint64 n = std::min<qint64>(max, body.size());
    if (n <= 0)
        return 0;
    memcpy(buffer, body.constData(), size_t(n));
    body.remove(0, n);
    if (phase == Phase::Receiving && !wantRead && body.size() < kHighWater / 2)
        postAdvance();
    return n;
}

void HttpReadStream::postAdvance() {
    if (!loop || advancePosted)
        return;
    advancePosted = true;
    loop->post([weak = weak_from_this()] {
        const auto self = weak.lock();
        if (!self)
            return;
        self->advancePosted = false;
        if (!self->scheduled)
            return;
        if (!self->networkStarted && self->currentStatus == Status::Opening) {
            self->startNetwork();
            self->updateWatch();
        } else {
            self->advance(false);
        }
        self->deliverEvents();
    });
}

void HttpReadStream::updateWatch() {
    if (!scheduled || !connection || phase == Phase::Done) {
        watch.reset();
        return;
    }
    if (!watch)
        watch = loop->watchSocket(connection->fd(),
                                  [weak = weak_from_this(), fd = connection->fd()](bool, bool w) {
                                      const auto self = weak.lock();
                                      if (!self || !self->connection || self->connection->fd() != fd)
                                          return;
                                      self->advance(w);
                                      self->deliverEvents();
                                  });
    watch->setEvents(wantRead, wantWrite);
}

void HttpReadStream::startNetwork() {
    networkStarted = true;
    if (connection) {
        beginRequest();
        return;
    }
    const bool direct = proxy.isNone();
    const QString host = direct ? message.url().host() : proxy.host;
    const int port = direct ? HttpMessage::effectivePort(message.url()) : proxy.port;
    if (auto literal = literalAddresses(host, port)) {
        addresses = std::move(*literal);
        connectNext();
        return;
    }
    phase = Phase::Resolving;
    lookupCancelled = std::make_shared<bool>(false);
    std::thread([weak = weak_from_this(), loop = loop, cancelled = lookupCancelled, name = host.toUtf8(),
                 port] {
        std::vector<QByteArray> found = lookUp(name, port);
        loop->post([weak, cancelled, found = std::move(found)]() mutable {
            if (*cancelled)
                return;
            if (const auto self = weak.lock()) {
                self->resolved(std::move(found));
                self->updateWatch();
                self->deliverEvents();
            }
        });
    }).detach();
}

void HttpReadStream::resolved(std::vector<QByteArray> found) {
    if (phase != Phase::Resolving)
        return;
    if (found.empty()) {
        fail(makeStreamError(kUrlErrorDomain, UrlErrorCannotFindHost,
                             QStringLiteral("A server with the specified hostname could not be found.")));
        return;
    }
    addresses = std::move(found);
    connectNext();
}

void HttpReadStream::connectNext() {
    phase = Phase::Connecting;
    connection.reset();
    watch.reset();
    while (nextAddress < addresses.size()) {
        const QByteArray& address = addresses[nextAddress++];
        const auto* socketAddress = reinterpret_cast<const sockaddr*>(address.constData());
        UniqueFd fd(::socket(socketAddress->sa_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        if (!fd) {
            lastConnectError = posixError(errno);
            continue;
        }
        const int yes = 1;
        ::setsockopt(fd.get(), IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        const int result = ::connect(fd.get(), socketAddress, socklen_t(address.size()));
        if (result != 0 && errno != EINPROGRESS) {
            lastConnectError = posixError(errno);
            continue;
        }
        connection = std::make_unique<HttpConnection>(std::move(fd), connectionKey());
        if (result == 0) {
            connected();
            return;
        }
        wantRead = false;
        wantWrite = true;
        updateWatch();
        return;
    }
    fail(lastConnectError.value_or(posixError(ECONNREFUSED)));
}

void HttpReadStream::connected() {
    currentStatus = Status::Open;
    if (proxy.type == ProxySettings::Type::Socks && !proxy.isNone()) {
        phase = Phase::Socks;
        socksStep = 0;
        outgoing = QByteArray("\x05\x01\x00", 3); // version 5, one method: no authentication
        advanceSocks();
    } else if (!proxy.isNone() &&
               message.url().scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0) {
        phase = Phase::ProxyConnect;
        const QByteArray target = HttpMessage::authority(message.url());
        outgoing = "CONNECT " + target + " HTTP/1.1\r\nHost: " + target + "\r\n";
        // The proxy's credentials go on the CONNECT alone, never through the tunnel to the server.
        if (const QByteArray credentials = message.value("Proxy-Authorization"); !credentials.isNull())
            outgoing += "Proxy-Authorization: " + credentials + "\r\n";
        if (const QByteArray agent = message.value("User-Agent"); !agent.isNull())
            outgoing += "User-Agent: " + agent + "\r\n";
        outgoing += "\r\n";
        parser = HttpResponseParser("CONNECT");
        advanceProxyConnect();
    } else {
        tunnelReady();
    }
}

void HttpReadStream::tunnelReady() {
    if (message.url().scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) != 0) {
        beginRequest();
        return;
    }
    Error error;
    if (!connection->startTls(message.url().host(), tls, NetworkEnvironment::current(), error)) {
        fail(error);
        return;
    }
    phase = Phase::Handshake;
    advanceHandshake();
}

void HttpReadStream::beginRequest() {
    currentStatus = Status::Open;
    phase = Phase::Sending;
    const bool absoluteForm = proxy.type == ProxySettings::Type::Http && !proxy.isNone() &&
                              message.url().scheme().compare(QLatin1String("http"), Qt::CaseInsensitive) == 0;
    HttpMessage sent = message;
    if (!absoluteForm)
        sent.removeValue("Proxy-Authorization");
    outgoing = sent.serializedHead(absoluteForm, persistent);
    outgoingSent = 0;
    sendingBody = false;
    parser = HttpResponseParser(message.method());
    advanceSending();
}

void HttpReadStream::advance(bool writable) {
    const auto keepAlive = shared_from_this();
    switch (phase) {
    case Phase::Connecting:
        if (writable) {
            int error = 0;
            socklen_t length = sizeof error;
            ::getsockopt(connection->fd(), SOL_SOCKET, SO_ERROR, &error, &length);
            if (error == 0) {
                connected();
            } else {
                lastConnectError = posixError(error);
                connectNext();
            }
        }
        break;
    case Phase::Socks:
        advanceSocks();
        break;
    case Phase::ProxyConnect:
        advanceProxyConnect();
        break;
    case Phase::Handshake:
        advanceHandshake();
        break;
    case Phase::Sending:
        advanceSending();
        break;
    case Phase::Receiving:
        advanceReceiving();
        break;
    case Phase::Idle:
    case Phase::Resolving:
    case Phase::Done:
        break;
    }
    updateWatch();
}

bool HttpReadStream::flushOutgoing() {
    while (outgoingSent < outgoing.size()) {
        const HttpConnection::Io io =
            connection->write(outgoing.constData() + outgoingSent, outgoing.size() - outgoingSent);
        switch (io.status) {
        case HttpConnection::Io::Done:
            outgoingSent += io.bytes;
            if (sendingBody)
                bodyWritten += io.bytes;
            continue;
        case HttpConnection::Io::WantWrite:
            wantRead = false;
            wantWrite = true;
            return false;
        case HttpConnection::Io::WantRead:
            wantRead = true;
            wantWrite = false;
            return false;
        case HttpConnection::Io::Closed:
        case HttpConnection::Io::Failed:
            if (phase == Phase::Sending) {
                // The server may have answered before it stopped reading: what it said is the reply.
                keepConnection = false;
                requestSent = true;
                phase = Phase::Receiving;
                writeFailure = io.status == HttpConnection::Io::Failed ? io.error : posixError(EPIPE);
                advanceReceiving();
            } else {
                fail(io.status == HttpConnection::Io::Failed ? io.error : connectionLost());
            }
            return false;
        }
    }
    outgoing.clear();
    outgoingSent = 0;
    return true;
}

void HttpReadStream::advanceSocks() {
    const auto readSocks = [this](qsizetype total) {
        while (socksReply.size() < total) {
            char buffer[262];
            const HttpConnection::Io io = connection->read(buffer, total - socksReply.size());
            if (io.status == HttpConnection::Io::WantRead) {
                wantRead = true;
                wantWrite = false;
                return false;
            }
            if (io.status != HttpConnection::Io::Done) {
                fail(makeStreamError(kHttpStreamErrorDomain, HttpStreamProxyRefused,
                                     QStringLiteral("The SOCKS proxy closed the connection")));
                return false;
            }
            socksReply.append(buffer, io.bytes);
        }
        return true;
    };
    const auto refuse = [this](const QString& why) {
        fail(makeStreamError(kHttpStreamErrorDomain, HttpStreamProxyRefused, why));
    };
    while (phase == Phase::Socks) {
        if (!outgoing.isEmpty() && !flushOutgoing())
            return;
        if (socksStep == 0) {
            if (!readSocks(2))
                return;
            if (socksReply != QByteArray("\x05\x00", 2))
                return refuse(QStringLiteral("The SOCKS proxy accepts no connection without credentials"));
            socksReply.clear();
            outgoing = socksConnectRequest(message.url());
            socksStep = 1;
        } else if (socksStep == 1) {
            if (!readSocks(5))
                return;
            if (socksReply[0] != '\x05' || socksReply[1] != '\x00')
                return refuse(QStringLiteral("The SOCKS proxy refused the connection (%1)")
                                  .arg(int(uchar(socksReply[1]))));
            const char type = socksReply[3];
            socksNeeded = type == '\x01' ? 10 : type == '\x04' ? 22 : 7 + uchar(socksReply[4]);
            socksStep = 2;
        } else {
            if (!readSocks(socksNeeded))
                return;
            tunnelReady();
        }
    }
}

void HttpReadStream::advanceProxyConnect() {
    if (!outgoing.isEmpty() && !flushOutgoing())
        return;
    if (!readInto(parser))
        return;
    if (!parser.isHeadComplete())
        return;
    const int status = parser.head().statusCode();
    if (status / 100 == 2) {
        tunnelReady();
        return;
    }
    keepConnection = false;
    if (status != 407) {
        // Any other answer is the proxy's, never the server's: its cookies, its redirect and its page must
        // not pass for what the server said.
        parser = HttpResponseParser(message.method());
        fail(proxyRefusedError(message.url(), status));
        return;
    }
    // A proxy asking for credentials: its reply is the response, which the caller may answer.
    proxyAnswered = true;
    requestSent = true;
    phase = Phase::Receiving;
    if (parser.isComplete())
        ended();
    else
        advanceReceiving();
}

void HttpReadStream::advanceHandshake() {
    const HttpConnection::Io io = connection->continueHandshake();
    switch (io.status) {
    case HttpConnection::Io::Done:
        beginRequest();
        return;
    case HttpConnection::Io::WantRead:
        wantRead = true;
        wantWrite = false;
        return;
    case HttpConnection::Io::WantWrite:
        wantRead = false;
        wantWrite = true;
        return;
    case HttpConnection::Io::Closed:
    case HttpConnection::Io::Failed:
        fail(io.error.domain.isEmpty()
                 ? makeStreamError(kTlsErrorDomain, TlsClosedAbort, QStringLiteral("closed"))
                 : io.error);
        return;
    }
}

bool HttpReadStream::fillBody() {
    const qint64 size = std::min(kChunk, bodyLength - bodyQueued);
    QByteArray chunk(size, Qt::Uninitialized);
    const qint64 n = bodyDevice->read(chunk.data(), size);
    if (n < 0 || (n == 0 && bodyDevice->atEnd())) {
        fail(makeStreamError(kHttpStreamErrorDomain, HttpStreamBodyUnreadable,
                             QStringLiteral("The request body could not be read to its length")));
        return false;
    }
    if (n == 0) {
        // A body stream that holds its bytes back (a throttled one) is asked again shortly.
        wantRead = wantWrite = false;
        retryTimer = loop->startTimer(0.01, false, [weak = weak_from_this()] {
            if (const auto self = weak.lock()) {
                self->advance(true);
                self->deliverEvents();
            }
        });
        return false;
    }
    chunk.truncate(n);
    outgoing = chunk;
    outgoingSent = 0;
    bodyQueued += n;
    sendingBody = true;
    return true;
}

void HttpReadStream::advanceSending() {
    while (phase == Phase::Sending) {
        if (!outgoing.isEmpty() && !flushOutgoing())
            return;
        if (bodyDevice && bodyQueued < bodyLength) {
            if (!fillBody())
                return;
            continue;
        }
        requestSent = true;
        phase = Phase::Receiving;
        advanceReceiving();
    }
}

bool HttpReadStream::readInto(HttpResponseParser& into) {
    char buffer[kChunk];
    while (true) {
        if (phase == Phase::Receiving && body.size() >= kHighWater) {
            wantRead = wantWrite = false;
            return false;
        }
        const HttpConnection::Io io = connection->read(buffer, sizeof buffer);
        if (io.status == HttpConnection::Io::Done) {
            if (!into.feed(buffer, io.bytes, body)) {
                fail(*into.error());
                return false;
            }
            if (into.isComplete() || (phase == Phase::ProxyConnect && into.isHeadComplete()))
                return true;
            continue;
        }
        if (io.status == HttpConnection::Io::WantRead || io.status == HttpConnection::Io::WantWrite) {
            wantRead = true;
            wantWrite = io.status == HttpConnection::Io::WantWrite;
            return true;
        }
        const bool reset = io.status == HttpConnection::Io::Failed && io.error.domain == kPosixErrorDomain &&
                           (io.error.code == ECONNRESET || io.error.code == EPIPE);
        if (!into.hasStarted() && reused && (io.status == HttpConnection::Io::Closed || reset)) {
            fail(connectionLost());
        } else if (!into.hasStarted() && writeFailure) {
            fail(*writeFailure);
        } else if (io.status == HttpConnection::Io::Failed) {
            fail(io.error);
        } else if (!into.endOfInput()) {
            fail(*into.error());
        } else {
            keepConnection = false;
            return true;
        }
        return false;
    }
}

void HttpReadStream::advanceReceiving() {
    if (!readInto(parser))
        return;
    if (parser.isComplete())
        ended();
}

void HttpReadStream::ended() {
    phase = Phase::Done;
    currentStatus = Status::AtEnd;
    wantRead = wantWrite = false;
    keepConnection = keepConnection && persistent && parser.allowsReuse() && bodyQueued == bodyLength;
    watch.reset();
    if (!keepConnection)
        connection.reset();
}

void HttpReadStream::fail(const Error& error) {
    if (failure)
        return;
    failure = error;
    currentStatus = Status::Error;
    phase = Phase::Done;
    if (lookupCancelled)
        *lookupCancelled = true;
    watch.reset();
    retryTimer.reset();
    connection.reset();
}

void HttpReadStream::deliverEvents() {
    if (delivering || !scheduled || !eventClient)
        return;
    const auto keepAlive = shared_from_this();
    delivering = true;
    while (scheduled && eventClient && currentStatus != Status::Closed) {
        const Client client = eventClient;
        if (failure) {
            if (!errorReported) {
                errorReported = true;
                client(Event::ErrorOccurred);
            }
            break;
        }
        if (!body.isEmpty()) {
            const qsizetype before = body.size();
            client(Event::HasBytesAvailable);
            if (body.size() == before)
                break;
            continue;
        }
        if (phase == Phase::Done && !endReported) {
            endReported = true;
            client(Event::EndEncountered);
        }
        break;
    }
    delivering = false;
}

} // namespace platform::net
