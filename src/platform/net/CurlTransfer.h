#pragma once

#include "platform/foundation/Error.h"
#include "platform/net/NetworkEnvironment.h"
#include "platform/net/ReceiveQueue.h"
#include "platform/net/UrlRequest.h"
#include "platform/net/UrlResponse.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

typedef void CURL;
struct curl_slist;

namespace platform::net {

// What a transfer tells its connection, from the network thread.
struct TransferEvent {
    enum Kind { Response, Data, Sent, Held, Finished, Failed };
    Kind kind = Finished;
    UrlResponse response;                // Response, Held
    QByteArray data;                     // Held: the whole body of the held reply
    std::shared_ptr<ReceiveQueue> queue; // Data: where the body bytes wait to be taken
    qint64 bytesSent = 0;                // Sent: this time, in all, and expected (-1 unknown)
    qint64 totalSent = 0;
    qint64 expectedToSend = -1;
    Error error;               // Failed
    long proxyConnectCode = 0; // Failed: the proxy's answer to CONNECT, when it refused the tunnel
};

// Everything one curl transfer needs, decided on the connection's thread.
struct TransferPlan {
    UrlRequest request;
    NetworkEnvironment environment;
    std::optional<Credential> credential;
    QString authScheme; // "Basic" or "Digest"; empty lets the server's offer decide
    bool credentialForProxy = false;
};

// One request on a curl easy handle. Made on the connection's thread, then owned and used by the network
// thread alone. Replies that need a decision of the connection's thread (a redirect, a Basic or Digest
// challenge) are held whole and handed over at the end instead of piece by piece; other bodies go through a
// receive queue, and the transfer pauses while the queue is full until resume().
class CurlTransfer {
public:
    using Sink = std::function<void(TransferEvent&&)>;
    using Clock = std::chrono::steady_clock;

    CurlTransfer(TransferPlan plan, Sink sink);
    ~CurlTransfer();
    CurlTransfer(const CurlTransfer&) = delete;
    CurlTransfer& operator=(const CurlTransfer&) = delete;

    CURL* handle() const { return easy; }
    // curl has ended the transfer with `result`.
    void completed(int result);
    // The time after which a transfer without traffic fails; it has failed when `now` is past it.
    Clock::time_point idleDeadline() const { return lastActivity + idleTimeout; }
    void failIdle();
    // A transfer paused for its receive queue waits for the connection's thread, not for the server: it
    // cannot fall idle.
    bool isPaused() const { return paused; }
    // The connection's thread has emptied the queue: the transfer goes on. curl hands on what it kept at
    // once; when that is refused, the transfer must end with the code this returns (else CURLE_OK), which
    // curl does not do by itself.
    int resume();

private:
    static size_t onHeader(char* buffer, size_t size, size_t count, void* self);
    static size_t onWrite(char* buffer, size_t size, size_t count, void* self);
    static size_t onRead(char* buffer, size_t size, size_t count, void* self);
    static int onSeek(void* self, long long offset, int origin);
    static int onProgress(void* self, long long downloadTotal, long long downloadNow, long long uploadTotal,
                          long long uploadNow);
    static int onSslContext(void* curl, void* context, void* self);

    void configure();
    void configureBody();
    void configureHeaders();
    void headersComplete();
    bool needsDecision() const;
    std::optional<QString> excessOfReply() const;
    // Counts a line of the head or the trailers; false (the reply refused) once the section is past its
    // limits.
    bool admitHeaderLine(qsizetype bytes, bool isField);
    void refuseFraming();
    void touch() { lastActivity = Clock::now(); }

    TransferPlan plan;
    Sink sink;
    CURL* easy = nullptr;
    curl_slist* headerList = nullptr;
    char errorText[256] = {};

    qint64 bodyLength = -1;
    qint64 bodyOffset = 0;
    qint64 lastUploadNow = 0;
    qint64 lastDownloadNow = 0;

    int statusCode = 0;
    HttpHeaders headers;
    bool responseSeen = false;
    bool holding = false;
    UrlResponse response;
    QByteArray heldBody;
    qint64 decodedLength = 0;   // of the current reply's body
    QString refusedReply;       // why the reply was cut short, when it was too large
    qsizetype framingBytes = 0; // of the head or the trailers being read
    int framingFields = 0;
    bool ended = false;
    std::shared_ptr<ReceiveQueue> received = std::make_shared<ReceiveQueue>();
    bool paused = false;

    Clock::time_point lastActivity = Clock::now();
    Clock::duration idleTimeout;
};

} // namespace platform::net
