#pragma once

#include "platform/foundation/Error.h"
#include "platform/net/HttpConnection.h"
#include "platform/net/HttpMessage.h"
#include "platform/net/HttpResponseParser.h"
#include "platform/net/RunLoop.h"
#include "platform/net/StreamSettings.h"

#include <QByteArray>

#include <functional>
#include <memory>
#include <optional>

class QIODevice;

namespace platform::net {

// One request of our HTTP/1.1 client and the reading of its response, as a stream of body bytes: open,
// schedule on a run loop, then events tell the client that body bytes wait (read() hands them out with the
// framing taken off), that the response has ended, or that it failed. The response head is there once it is
// complete. Name lookup runs off the stream's thread; everything else runs on it.
//
// A stream may take over the connection of the stream that ran before it (open(previous)) only when that
// one ended cleanly on a connection it may keep, the connection is still open, and it was made for the same
// scheme, host, port, proxy and TLS settings. A connection taken over that ends or is reset before the first
// byte of the response reports kUrlErrorDomain's "connection lost", which a caller may retry on a fresh one.
class HttpReadStream : public std::enable_shared_from_this<HttpReadStream> {
public:
    enum class Event { HasBytesAvailable, ErrorOccurred, EndEncountered };
    enum class Status { NotOpen, Opening, Open, AtEnd, Closed, Error };
    using Client = std::function<void(Event)>;

    // `body`, when given, is read from its current position and sent after the head; the message's
    // "Content-Length" says how much (set from the device's size when missing).
    static std::shared_ptr<HttpReadStream> create(HttpMessage request, std::shared_ptr<QIODevice> body = {});
    ~HttpReadStream();
    HttpReadStream(const HttpReadStream&) = delete;
    HttpReadStream& operator=(const HttpReadStream&) = delete;

    void setProxy(const ProxySettings& settings) { proxy = settings; }
    void setTls(const TlsSettings& settings) { tls = settings; }
    // Off: the request says "Connection: close" and the connection is never kept.
    void setAttemptPersistentConnection(bool attempt) { persistent = attempt; }
    void setClient(Client client) { eventClient = std::move(client); }

    // Starts the request (the network work begins once the stream is scheduled); false when the message
    // cannot be sent at all.
    bool open(const std::shared_ptr<HttpReadStream>& previous = {});
    void schedule(const std::shared_ptr<RunLoop>& loop);
    void unschedule();
    bool isScheduled() const { return scheduled; }
    // Ends the stream; its connection is closed unless another stream took it over.
    void close();

    // Up to `max` bytes of the body; 0 when none wait.
    qint64 read(char* buffer, qint64 max);
    bool hasBytesAvailable() const { return !body.isEmpty(); }
    // The final response head, once complete (a 407 from a proxy asking for credentials before it opens a
    // tunnel is such a response; any other refusal of the tunnel is an error).
    std::optional<HttpMessage> response() const;
    // The response is the proxy's own answer to CONNECT: nothing in it comes from the server.
    bool isProxyAnswer() const { return proxyAnswered; }
    // Body bytes of the request written so far.
    qint64 requestBodyBytesWritten() const { return bodyWritten; }
    Status status() const { return currentStatus; }
    const std::optional<Error>& error() const { return failure; }
    // Whether the connection may carry another request once this response has ended.
    bool isReusable() const;
    bool tookOverConnection() const { return reused; }
    const HttpMessage& request() const { return message; }

private:
    enum class Phase {
        Idle,
        Resolving,
        Connecting,
        Socks,
        ProxyConnect,
        Handshake,
        Sending,
        Receiving,
        Done
    };

    HttpReadStream(HttpMessage request, std::shared_ptr<QIODevice> body);
    HttpConnection::Key connectionKey() const;
    void startNetwork();
    void resolved(std::vector<QByteArray> addresses);
    void connectNext();
    void connected();
    void tunnelReady();
    void beginRequest();
    // One step of the request's work; `writable` when the socket said it can take bytes.
    void advance(bool writable);
    void advanceSocks();
    void advanceProxyConnect();
    void advanceHandshake();
    void advanceSending();
    void advanceReceiving();
    bool flushOutgoing();
    bool fillBody();
    bool readInto(HttpResponseParser& into);
    void ended();
    void fail(const Error& error);
    void updateWatch();
    void postAdvance();
    void deliverEvents();

    HttpMessage message;
    std::shared_ptr<QIODevice> bodyDevice;
    ProxySettings proxy;
    TlsSettings tls;
    bool persistent = true;
    Client eventClient;

    Status currentStatus = Status::NotOpen;
    Phase phase = Phase::Idle;
    std::shared_ptr<RunLoop> loop;
    std::unique_ptr<RunLoop::SocketWatch> watch;
    std::unique_ptr<RunLoop::Timer> retryTimer;
    bool scheduled = false;
    bool networkStarted = false;
    bool advancePosted = false;
    std::shared_ptr<bool> lookupCancelled;

    std::vector<QByteArray> addresses; // sockaddr blobs to try in order
    size_t nextAddress = 0;
    std::optional<Error> lastConnectError;
    std::unique_ptr<HttpConnection> connection;
    bool reused = false;
    bool wantRead = false;
    bool wantWrite = false;

    QByteArray outgoing;
    qint64 outgoingSent = 0;
    bool sendingBody = false;
    qint64 bodyLength = 0;
    qint64 bodyWritten = 0;
    qint64 bodyQueued = 0;
    bool requestSent = false;
    int socksStep = 0;
    qint64 socksNeeded = 0;
    QByteArray socksReply;

    HttpResponseParser parser;
    QByteArray body;
    std::optional<Error> failure;
    bool errorReported = false;
    bool endReported = false;
    bool delivering = false;
    std::optional<Error> writeFailure; // a send that failed; reported when nothing was answered
    bool keepConnection = true;
    bool proxyAnswered = false;
};

} // namespace platform::net
