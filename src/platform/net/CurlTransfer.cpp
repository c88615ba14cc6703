#include "platform/net/CurlTransfer.h"

#include "platform/net/HttpLimits.h"
#include "platform/net/TrustStore.h"
#include "platform/net/UrlError.h"

#include <QFile>
#include <QIODevice>
#include <QRegularExpression>

#include <curl/curl.h>

#include <algorithm>
#include <cstring>

namespace platform::net {

namespace {

bool offersPasswordScheme(const QByteArray& challenges) {
    static const QRegularExpression scheme(QStringLiteral("(^|,)\\s*(basic|digest)(\\s|,|$)"),
                                           QRegularExpression::CaseInsensitiveOption);
    return scheme.match(QString::fromLatin1(challenges)).hasMatch();
}

bool isRedirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// A compressed body may expand this many times its size on the wire, once it has passed the floor; more is
// a decompression bomb, whatever the caller does with the bytes.
constexpr qint64 kMaximumExpansion = 100;
constexpr qint64 kExpansionFloor = 1024 * 1024;

QString sizeText(qint64 bytes) {
    constexpr qint64 mebibyte = 1024 * 1024;
    return bytes % mebibyte == 0 ? QStringLiteral("%1 MB").arg(bytes / mebibyte)
                                 : QStringLiteral("%1 bytes").arg(bytes);
}

// How curl words a trailer line longer than its own buffer.
constexpr char kTrailerOverflow[] = "Out of memory in chunked-encoding";

bool isCompressed(const HttpHeaders& headers) {
    const QByteArray coding = headers.value("Content-Encoding").trimmed().toLower();
    return !coding.isEmpty() && coding != "identity";
}

// Fields curl must write itself, so that a message never carries two of them or an "Expect" pause.
bool isFramingField(const QByteArray& name) {
    static const char* framing[] = {"content-length", "expect", "transfer-encoding"};
    for (const char* field : framing)
        if (name.compare(field, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

} // namespace

CurlTransfer::CurlTransfer(TransferPlan transferPlan, Sink eventSink)
    : plan(std::move(transferPlan)), sink(std::move(eventSink)),
      idleTimeout(std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
          plan.request.timeoutInterval > 0 ? plan.request.timeoutInterval : 60.0))) {
    easy = curl_easy_init();
    if (easy)
        configure();
}

CurlTransfer::~CurlTransfer() {
    if (easy)
        curl_easy_cleanup(easy);
    curl_slist_free_all(headerList);
}

void CurlTransfer::configure() {
    const UrlRequest& request = plan.request;
    curl_easy_setopt(easy, CURLOPT_URL, request.url.toEncoded().constData());
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https,file");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(easy, CURLOPT_TCP_KEEPALIVE, 1L);

    // Verification stays on; whom to trust comes from the trust store, the same for both HTTP stacks.
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    // The locations are named to curl as well, only so that it never reuses a connection made under other
    // trust.
    const QByteArray caFile = QFile::encodeName(plan.environment.caFile);
    const QByteArray caFolder = QFile::encodeName(plan.environment.caDirectory);
    curl_easy_setopt(easy, CURLOPT_CAINFO,
                     QFile::exists(plan.environment.caFile) ? caFile.constData() : nullptr);
    curl_easy_setopt(easy, CURLOPT_CAPATH,
                     QFile::exists(plan.environment.caDirectory) ? caFolder.constData() : nullptr);
    curl_easy_setopt(easy, CURLOPT_SSL_CTX_FUNCTION, &CurlTransfer::onSslContext);
    curl_easy_setopt(easy, CURLOPT_SSL_CTX_DATA, this);
    // curl's own store cache would keep the first store it saw, whatever trust later transfers carry.
    curl_easy_setopt(easy, CURLOPT_CA_CACHE_TIMEOUT, 0L);

    // The proxy decision is ours; an empty proxy keeps curl from reading the environment on its own.
    const QUrl proxy = plan.environment.proxyForUrl(request.url);
    curl_easy_setopt(easy, CURLOPT_PROXY, proxy.isEmpty() ? "" : proxy.toEncoded().constData());
    curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);

    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &CurlTransfer::onHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &CurlTransfer::onWrite);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &CurlTransfer::onProgress);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    if (!request.headers.contains("Accept-Encoding"))
        curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");

    if (plan.credential) {
        const long scheme = plan.authScheme.compare(QLatin1String("Digest"), Qt::CaseInsensitive) == 0
                                ? CURLAUTH_DIGEST
                            : plan.authScheme.isEmpty() ? (CURLAUTH_BASIC | CURLAUTH_DIGEST)
                                                        : CURLAUTH_BASIC;
        const QByteArray user = plan.credential->user.toUtf8();
        const QByteArray password = plan.credential->password.toUtf8();
        curl_easy_setopt(easy, plan.credentialForProxy ? CURLOPT_PROXYUSERNAME : CURLOPT_USERNAME,
                         user.constData());
        curl_easy_setopt(easy, plan.credentialForProxy ? CURLOPT_PROXYPASSWORD : CURLOPT_PASSWORD,
                         password.constData());
        curl_easy_setopt(easy, plan.credentialForProxy ? CURLOPT_PROXYAUTH : CURLOPT_HTTPAUTH, scheme);
    }
    configureBody();
    configureHeaders();
}

void CurlTransfer::configureBody() {
    const UrlRequest& request = plan.request;
    const QByteArray method = request.method();
    if (method == "HEAD") {
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
        return;
    }
    if (!request.hasBody()) {
        if (method == "GET")
            curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
        else
            curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.constData());
        return;
    }
    if (!request.httpBody.isNull()) {
        bodyLength = request.httpBody.size();
    } else {
        bool stated = false;
        const qint64 declared = request.headers.value("Content-Length").trimmed().toLongLong(&stated);
        const QIODevice& stream = *request.httpBodyStream;
        if (stated && declared >= 0)
            bodyLength = declared;
        else if (!stream.isSequential())
            bodyLength = std::max<qint64>(0, stream.size() - stream.pos());
    }
    curl_easy_setopt(easy, CURLOPT_POST, 1L);
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(bodyLength));
    curl_easy_setopt(easy, CURLOPT_READFUNCTION, &CurlTransfer::onRead);
    curl_easy_setopt(easy, CURLOPT_READDATA, this);
    curl_easy_setopt(easy, CURLOPT_SEEKFUNCTION, &CurlTransfer::onSeek);
    curl_easy_setopt(easy, CURLOPT_SEEKDATA, this);
    // On a kept-alive connection that turns out dead, curl would rewind the body and send it again on its
    // own, to a server that may hold part of it already. A body goes on a connection of its own, so that a
    // cut reaches the caller as a lost connection and the caller decides whether and how to send again.
    if (bodyLength != 0)
        curl_easy_setopt(easy, CURLOPT_FRESH_CONNECT, 1L);
    if (method != "POST")
        curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.constData());
}

void CurlTransfer::configureHeaders() {
    const UrlRequest& request = plan.request;
    for (const HttpHeaders::Field& field : request.headers.all()) {
        if (isFramingField(field.first))
            continue;
        // curl drops a field written "Name:"; "Name;" sends it with an empty value.
        const QByteArray line =
            field.second.isEmpty() ? field.first + ';' : field.first + ": " + field.second;
        headerList = curl_slist_append(headerList, line.constData());
    }
    headerList = curl_slist_append(headerList, "Expect:");
    if (request.hasBody() && !request.headers.contains("Content-Type"))
        headerList = curl_slist_append(headerList, "Content-Type:");
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headerList);
}

bool CurlTransfer::needsDecision() const {
    if (isRedirect(statusCode) && !headers.value("Location").trimmed().isEmpty())
        return true;
    if (statusCode == 401)
        return offersPasswordScheme(headers.combinedValue("WWW-Authenticate"));
    if (statusCode == 407)
        return offersPasswordScheme(headers.combinedValue("Proxy-Authenticate"));
    return false;
}

void CurlTransfer::headersComplete() {
    response = UrlResponse();
    response.url = plan.request.url;
    response.statusCode = statusCode;
    response.headers = headers;
    bool ok = false;
    const qint64 length = headers.value("Content-Length").trimmed().toLongLong(&ok);
    response.expectedContentLength = ok && length >= 0 ? length : -1;
    responseSeen = true;
    holding = needsDecision();
    if (!holding) {
        TransferEvent event;
        event.kind = TransferEvent::Response;
        event.response = response;
        sink(std::move(event));
    }
}

bool CurlTransfer::admitHeaderLine(qsizetype bytes, bool isField) {
    framingBytes += bytes;
    framingFields += isField ? 1 : 0;
    if (framingBytes <= kMaximumHeadBytes && framingFields <= kMaximumHeadFields)
        return true;
    refuseFraming();
    return false;
}

void CurlTransfer::refuseFraming() {
    refusedReply = QStringLiteral("The reply's %1 too large: more than %2 fields or %3 bytes.")
                       .arg(responseSeen ? QStringLiteral("trailers are") : QStringLiteral("head is"))
                       .arg(kMaximumHeadFields)
                       .arg(kMaximumHeadBytes);
    heldBody = QByteArray();
}

size_t CurlTransfer::onHeader(char* buffer, size_t size, size_t count, void* self) {
    auto* transfer = static_cast<CurlTransfer*>(self);
    const size_t length = size * count;
    transfer->touch();
    QByteArray line(buffer, qsizetype(length));
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    const bool statusLine = line.startsWith("HTTP/");
    if (statusLine && transfer->responseSeen) {
        // curl's own second round of Digest: a head of its own.
        transfer->framingBytes = 0;
        transfer->framingFields = 0;
    }
    // Anything but the full count ends the transfer.
    if (!transfer->admitHeaderLine(qsizetype(length), !statusLine && !line.isEmpty()))
        return 0;
    if (statusLine) {
        // A new reply on the same transfer (after a 1xx, or curl's own second round of Digest): start over.
        const QList<QByteArray> parts = line.split(' ');
        transfer->statusCode = parts.size() > 1 ? parts[1].toInt() : 0;
        transfer->headers.clear();
        transfer->responseSeen = false;
        transfer->holding = false;
        transfer->heldBody.clear();
        transfer->decodedLength = 0;
    } else if (transfer->responseSeen) {
        // Trailers after a chunked body: the reply has been handed on, so they are counted and let go.
    } else if (line.isEmpty()) {
        if (transfer->statusCode / 100 != 1) {
            // The head of the final reply is complete; what follows the body is a section of its own.
            transfer->headersComplete();
            transfer->framingBytes = 0;
            transfer->framingFields = 0;
        }
    } else if (line.startsWith(' ') || line.startsWith('\t')) {
        transfer->headers.continueLast(line.trimmed());
    } else if (const qsizetype colon = line.indexOf(':'); colon > 0) {
        transfer->headers.add(line.left(colon).trimmed(), line.mid(colon + 1).trimmed());
    }
    return length;
}

std::optional<QString> CurlTransfer::excessOfReply() const {
    // A held reply is kept whole, whatever the caller does with bodies.
    const qint64 callerLimit = plan.request.maximumReplyLength;
    const qint64 limit = holding && (callerLimit < 0 || callerLimit > kDefaultMaximumReplyLength)
                             ? kDefaultMaximumReplyLength
                             : callerLimit;
    if (limit >= 0 && decodedLength > limit)
        return QStringLiteral("The reply is too large: it holds more than %1.").arg(sizeText(limit));
    if (decodedLength > kExpansionFloor && isCompressed(headers)) {
        curl_off_t received = 0;
        curl_easy_getinfo(easy, CURLINFO_SIZE_DOWNLOAD_T, &received);
        if (decodedLength > kMaximumExpansion * std::max<qint64>(received, 1))
            return QStringLiteral("The reply is too large: it expands to more than %1 times its size.")
                .arg(kMaximumExpansion);
    }
    return std::nullopt;
}

size_t CurlTransfer::onWrite(char* buffer, size_t size, size_t count, void* self) {
    auto* transfer = static_cast<CurlTransfer*>(self);
    const size_t length = size * count;
    transfer->touch();
    if (!transfer->responseSeen)
        transfer->headersComplete();
    // curl keeps these bytes and offers them again on resume(), so they are not counted yet.
    if (!transfer->holding && transfer->received->mustPause()) {
        transfer->paused = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    transfer->decodedLength += qint64(length);
    if (const std::optional<QString> excess = transfer->excessOfReply()) {
        // Anything but the full count ends the transfer; what was held goes with it.
        transfer->refusedReply = *excess;
        transfer->heldBody = QByteArray();
        return 0;
    }
    if (transfer->holding) {
        transfer->heldBody.append(buffer, qsizetype(length));
    } else if (transfer->received->push(buffer, qsizetype(length))) {
        TransferEvent event;
        event.kind = TransferEvent::Data;
        event.queue = transfer->received;
        transfer->sink(std::move(event));
    }
    return length;
}

int CurlTransfer::resume() {
    if (!paused || ended)
        return CURLE_OK;
    paused = false;
    touch();
    return curl_easy_pause(easy, CURLPAUSE_CONT);
}

size_t CurlTransfer::onRead(char* buffer, size_t size, size_t count, void* self) {
    auto* transfer = static_cast<CurlTransfer*>(self);
    const UrlRequest& request = transfer->plan.request;
    const qint64 room = qint64(size * count);
    transfer->touch();
    if (!request.httpBody.isNull()) {
        const qint64 n = std::min(room, request.httpBody.size() - transfer->bodyOffset);
        std::memcpy(buffer, request.httpBody.constData() + transfer->bodyOffset, size_t(n));
        transfer->bodyOffset += n;
        return size_t(n);
    }
    qint64 wanted = room;
    if (transfer->bodyLength >= 0)
        wanted = std::min(room, transfer->bodyLength - transfer->bodyOffset);
    if (wanted <= 0)
        return 0;
    const qint64 n = request.httpBodyStream->read(buffer, wanted);
    if (n < 0)
        return CURL_READFUNC_ABORT;
    transfer->bodyOffset += n;
    return size_t(n);
}

int CurlTransfer::onSeek(void* self, long long offset, int origin) {
    auto* transfer = static_cast<CurlTransfer*>(self);
    const UrlRequest& request = transfer->plan.request;
    if (origin != SEEK_SET || offset < 0)
        return CURL_SEEKFUNC_CANTSEEK;
    if (request.httpBody.isNull()) {
        QIODevice& stream = *request.httpBodyStream;
        if (stream.isSequential() || !stream.seek(offset))
            return CURL_SEEKFUNC_CANTSEEK;
    } else if (offset > request.httpBody.size()) {
        return CURL_SEEKFUNC_FAIL;
    }
    transfer->bodyOffset = offset;
    return CURL_SEEKFUNC_OK;
}

int CurlTransfer::onProgress(void* self, long long, long long downloadNow, long long, long long uploadNow) {
    auto* transfer = static_cast<CurlTransfer*>(self);
    if (downloadNow != transfer->lastDownloadNow) {
        transfer->lastDownloadNow = downloadNow;
        transfer->touch();
    }
    if (uploadNow != transfer->lastUploadNow) {
        const qint64 delta = uploadNow - transfer->lastUploadNow;
        transfer->lastUploadNow = uploadNow;
        transfer->touch();
        if (delta > 0) {
            TransferEvent event;
            event.kind = TransferEvent::Sent;
            event.bytesSent = delta;
            event.totalSent = uploadNow;
            event.expectedToSend = transfer->bodyLength;
            transfer->sink(std::move(event));
        }
    }
    return 0;
}

int CurlTransfer::onSslContext(void*, void* context, void* self) {
    auto* transfer = static_cast<CurlTransfer*>(self);
    TrustStore::configure(static_cast<SSL_CTX*>(context), transfer->plan.environment);
    return CURLE_OK;
}

void CurlTransfer::completed(int result) {
    if (ended)
        return;
    ended = true;
    TransferEvent event;
    if (result == CURLE_OK) {
        if (!responseSeen) {
            long status = 0;
            curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
            statusCode = int(status);
            headersComplete();
        }
        event.kind = holding ? TransferEvent::Held : TransferEvent::Finished;
        if (holding) {
            event.response = response;
            event.data = heldBody;
        }
    } else {
        event.kind = TransferEvent::Failed;
        if (easy)
            curl_easy_getinfo(easy, CURLINFO_HTTP_CONNECTCODE, &event.proxyConnectCode);
        // curl keeps one trailer line in a buffer of its own, which a longer line overflows; it says so as a
        // failed receive, which would read as a lost connection and be retried.
        if (result == CURLE_RECV_ERROR && responseSeen &&
            std::strncmp(errorText, kTrailerOverflow, sizeof kTrailerOverflow - 1) == 0)
            refuseFraming();
        // curl reports a refused tunnel as a failed receive, which would read as a lost connection and be
        // retried for as long as the back-off lasts; whatever the proxy answered instead of opening the
        // tunnel (a redirect too) is final.
        if (event.proxyConnectCode != 0 && event.proxyConnectCode / 100 != 2)
            event.error = proxyRefusedError(plan.request.url, event.proxyConnectCode);
        else if (!refusedReply.isEmpty())
            event.error = makeUrlError(UrlErrorDataLengthExceedsMaximum, plan.request.url, refusedReply);
        else
            event.error = urlErrorForCurlCode(result, plan.request.url, QString::fromUtf8(errorText));
    }
    sink(std::move(event));
}

void CurlTransfer::failIdle() {
    if (ended)
        return;
    ended = true;
    TransferEvent event;
    event.kind = TransferEvent::Failed;
    event.error = makeUrlError(UrlErrorTimedOut, plan.request.url, QStringLiteral("The request timed out."));
    sink(std::move(event));
}

} // namespace platform::net
