// A request's life: starting on the network thread or the caller's, preparing body and header fields, opening
// its stream, reading the response head, and finishing, failing or being cancelled.

#include "http/ReqHTTPRequest.h"

#include "http/ReqBandwidthThrottle.h"
#include "http/ReqClassState.h"
#include "http/ReqDataCompressor.h"
#include "http/ReqDataDecompressor.h"
#include "http/ReqFiles.h"
#include "http/ReqHTTPRequestErrors.h"
#include "http/ReqInputStream.h"
#include "http/ReqNetworkThread.h"
#include "http/ReqTextEncoding.h"
#include "platform/net/HttpReadStream.h"
#include "platform/net/SharedCookieStorage.h"

#include <QFile>
#include <QFileInfo>

#include <cstdlib>

using platform::net::HttpHeaders;
using platform::net::HttpMessage;
using platform::net::HttpReadStream;

namespace {

platform::Error fileAttributesError(const QString& path) {
    return reqError(ReqFileManagementError,
                    QStringLiteral("Failed to get attributes for file at path '%1'").arg(path),
                    platform::Error(QStringLiteral("org.vistrelle.file"), 0,
                                    {{QLatin1String(platform::kLocalizedDescriptionKey),
                                      QStringLiteral("No such file")}}));
}

} // namespace

// --- Starting
// -----------------------------------------------------------------------------------------------

void ReqHTTPRequest::startAsynchronous() {
    sharedQueue().addOperation(shared());
}

void ReqHTTPRequest::start() {
    inProgress_ = true;
    runLoop.set(ReqNetworkThread::runLoop());
    runLoop.get()->post([self = shared()] { self->main(); });
}

void ReqHTTPRequest::startSynchronous() {
    isSynchronous_ = true;
    runLoopMode_.set(QString::fromLatin1(kReqHTTPRequestRunLoopMode));
    inProgress_ = true;
    // Only this request's own socket and timers are served while the caller waits.
    const auto loop = platform::net::PrivateRunLoop::create();
    runLoop.set(loop);
    // One that failed before it ran (a missing form file) still goes through main to be marked finished.
    if (!isCancelled() && (!complete() || error())) {
        main();
        loop->runUntil([this] { return (complete() && !waitingForAnswer) || isCancelled(); });
    }
    inProgress_ = false;
}

std::shared_ptr<platform::net::RunLoop> ReqHTTPRequest::requestRunLoop() const {
    const auto loop = runLoop.get();
    return loop ? loop : ReqNetworkThread::runLoop();
}

void ReqHTTPRequest::main() {
    std::unique_lock lock(cancelledLock_);
    try {
        if (error()) {
            complete_ = true;
            markAsFinished();
            return;
        }
        complete_ = false;
        didUseCachedResponse_ = false;
        if (url_.isEmpty() || !url_.isValid()) {
            failWithError(reqUnableToCreateRequestError());
            return;
        }
        const Ptr main = mainRequest();
        if (!main)
            buildPostBody();
        if (error())
            return;
        if (requestMethod_ != "GET")
            setDownloadCache(nullptr);
        requestMessage = std::make_unique<HttpMessage>(HttpMessage::request(
            requestMethod_, url_,
            useHTTPVersionOne() ? platform::net::HttpVersion::Http10 : platform::net::HttpVersion::Http11));
        if (!requestMessage->isValid()) {
            failWithError(reqUnableToCreateRequestError());
            return;
        }
        if (main)
            main->buildRequestHeaders();
        buildRequestHeaders();
        if (const auto cache = downloadCache()) {
            if (cachePolicy() == ReqUseDefaultCachePolicy)
                setCachePolicy(cache->defaultCachePolicy());
            if (cache->canUseCachedDataForRequest(*this)) {
                useDataFromCache();
                return;
            }
            if (cachePolicy() &
                (ReqAskServerIfModifiedWhenStaleCachePolicy | ReqAskServerIfModifiedCachePolicy)) {
                const HttpHeaders cached = cache->cachedResponseHeadersForURL(url_).value_or(HttpHeaders());
                if (cached.contains("Etag"))
                    addRequestHeader("If-None-Match", cached.value("Etag"));
                if (cached.contains("Last-Modified"))
                    addRequestHeader("If-Modified-Since", cached.value("Last-Modified"));
            }
        }
        applyAuthorizationHeader();
        if (hasRefusedHeader_) {
            failWithError(reqUnableToCreateRequestError());
            return;
        }
        const HttpHeaders fields = requestHeaders();
        for (const HttpHeaders::Field& field : fields.all())
            requestMessage->setValue(field.first, field.second);
        if (!configureProxies())
            return;
        startRequest();
    } catch (const ReqException& exception) {
        platform::Error failure = reqError(ReqUnhandledExceptionError, exception.name,
                                           platform::Error(QString::fromLatin1(kReqHTTPRequestErrorDomain),
                                                           ReqUnhandledExceptionError, exception.userInfo));
        failure.userInfo.insert(QLatin1String(platform::kLocalizedFailureReasonKey), exception.reason);
        failWithError(failure);
    }
}

// --- Body -------------------------------------------------------------------------------------------------

void ReqHTTPRequest::setupPostBody() {
    if (shouldStreamPostDataFromDisk()) {
        if (postBodyFilePath().isEmpty()) {
            setPostBodyFilePath(ReqFiles::makeTemporaryFile());
            setDidCreateTemporaryPostDataFile(true);
        }
        if (!postBodyWriteStream) {
            postBodyWriteStream = std::make_unique<QFile>(postBodyFilePath());
            postBodyWriteStream->open(QIODevice::WriteOnly | QIODevice::Truncate);
        }
    } else if (postBody().isNull()) {
        setPostBody(QByteArray(""));
    }
}

void ReqHTTPRequest::appendPostData(const QByteArray& data) {
    setupPostBody();
    if (data.isEmpty())
        return;
    if (shouldStreamPostDataFromDisk())
        postBodyWriteStream->write(data);
    else
        postBody_.update([&](QByteArray& body) { body.append(data); });
}

void ReqHTTPRequest::appendPostDataFromFile(const QString& path) {
    setupPostBody();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    while (true) {
        const QByteArray piece = file.read(262144);
        if (piece.isEmpty())
            break;
        appendPostData(piece);
    }
}

void ReqHTTPRequest::buildPostBody() {
    if (haveBuiltPostBody())
        return;
    quint64 length = 0;
    if (!postBodyFilePath().isEmpty()) {
        if (postBodyWriteStream) {
            postBodyWriteStream->close();
            postBodyWriteStream.reset();
        }
        QString measured = postBodyFilePath();
        if (shouldCompressRequestBody() && compressedPostBodyFilePath().isEmpty()) {
            setCompressedPostBodyFilePath(ReqFiles::makeTemporaryFile());
            platform::OptionalError failure;
            if (!ReqDataCompressor::compressDataFromFile(postBodyFilePath(), compressedPostBodyFilePath(),
                                                         &failure)) {
                failWithError(*failure);
                return;
            }
        }
        if (shouldCompressRequestBody())
            measured = compressedPostBodyFilePath();
        const QFileInfo info(measured);
        if (!info.exists()) {
            failWithError(fileAttributesError(measured));
            return;
        }
        length = quint64(info.size());
    } else if (shouldCompressRequestBody()) {
        platform::OptionalError failure;
        setCompressedPostBody(ReqDataCompressor::compressData(postBody(), &failure));
        if (failure) {
            failWithError(*failure);
            return;
        }
        length = quint64(compressedPostBody().size());
    } else {
        length = quint64(postBody().size());
    }
    if (length > 0) {
        const QByteArray method = requestMethod();
        if (method == "GET" || method == "DELETE" || method == "HEAD")
            setRequestMethod("POST");
        addRequestHeader("Content-Length", QByteArray::number(length));
    }
    setPostLength(length);
    setHaveBuiltPostBody(true);
}

// --- Header fields
// ------------------------------------------------------------------------------------------

void ReqHTTPRequest::addRequestHeader(const QByteArray& name, const QByteArray& value) {
    // A name or value that could end the head early is refused, and the request with it.
    if (!requestHeaders_.update([&](HttpHeaders& headers) { return headers.set(name, value); }))
        hasRefusedHeader_ = true;
}

void ReqHTTPRequest::buildRequestHeaders() {
    if (haveBuiltRequestHeaders())
        return;
    setHaveBuiltRequestHeaders(true);
    if (const Ptr main = mainRequest()) {
        const HttpHeaders fields = main->requestHeaders();
        for (const HttpHeaders::Field& field : fields.all())
            addRequestHeader(field.first, field.second);
        return;
    }
    applyCookieHeader();
    if (!requestHeaders().contains("User-Agent")) {
        const QString agent = userAgent().isEmpty() ? defaultUserAgentString() : userAgent();
        if (!agent.isEmpty())
            addRequestHeader("User-Agent", agent.toLatin1());
    }
    if (allowCompressedResponse())
        addRequestHeader("Accept-Encoding", "gzip");
    if (shouldCompressRequestBody())
        addRequestHeader("Content-Encoding", "gzip");
    updatePartialDownloadSize();
    if (partialDownloadSize() > 0)
        addRequestHeader("Range", "bytes=" + QByteArray::number(partialDownloadSize()) + '-');
}

void ReqHTTPRequest::applyCookieHeader() {
    if (useCookiePersistence()) {
        const QList<platform::net::Cookie> stored =
            platform::net::SharedCookieStorage::shared().cookiesForUrl(url());
        requestCookies_.update([&](QList<platform::net::Cookie>& cookies) {
            for (const platform::net::Cookie& cookie : stored)
                if (std::none_of(cookies.begin(), cookies.end(),
                                 [&](const auto& kept) { return kept.sameIdentity(cookie); }))
                    cookies.append(cookie);
        });
    }
    const Ptr main = mainRequest();
    const QList<platform::net::Cookie> cookies = main ? main->requestCookies() : requestCookies();
    if (cookies.isEmpty())
        return;
    QByteArray header;
    for (const platform::net::Cookie& cookie : cookies)
        header += (header.isEmpty() ? QByteArray() : QByteArray("; ")) + cookie.name.toUtf8() + '=' +
                  cookie.value.toUtf8();
    addRequestHeader("Cookie", header);
}

void ReqHTTPRequest::updatePartialDownloadSize() {
    const QString temporary = temporaryFileDownloadPath();
    if (!allowResumeForFileDownloads() || downloadDestinationPath().isEmpty() || temporary.isEmpty() ||
        !QFileInfo::exists(temporary))
        return;
    const QFileInfo info(temporary);
    if (!info.isReadable()) {
        failWithError(fileAttributesError(temporary));
        return;
    }
    setPartialDownloadSize(quint64(info.size()));
}

// --- Opening the stream ---------------------------------------------------------------------------------

void ReqHTTPRequest::startRequest() {
    std::unique_lock lock(cancelledLock_);
    if (isCancelled())
        return;
    requestStarted();
    downloadComplete_ = false;
    complete_ = false;
    totalBytesRead_ = 0;
    lastBytesRead_ = 0;
    if (redirectCount() == 0)
        setOriginalURL(url_);
    // What the last attempt reported, whether or not a status check has seen its bytes since.
    if (uploadProgressReported_ != 0)
        removeUploadProgressSoFar();
    // Both counts start again: a second attempt sends the whole body and reports it from 0.
    lastBytesSent_ = 0;
    totalBytesSent_ = 0;
    contentLength_ = 0;
    connectionCanBeReused_ = false;
    setResponseHeaders(std::nullopt);
    inflatedResponseData.clear();
    if (downloadDestinationPath().isEmpty())
        setRawResponseData(QByteArray(""));
    readStreamIsScheduled_ = false;

    std::shared_ptr<QIODevice> body;
    const QString bodyFile = compressedPostBodyFilePath().isEmpty() || !shouldCompressRequestBody()
                                 ? postBodyFilePath()
                                 : compressedPostBodyFilePath();
    if (shouldStreamPostDataFromDisk() && !bodyFile.isEmpty() && QFile::exists(bodyFile)) {
        body = ReqInputStream::inputStreamWithFileAtPath(bodyFile, shared());
    } else if (!postBody().isEmpty()) {
        const QByteArray bytes =
            shouldCompressRequestBody() && !compressedPostBody().isNull() ? compressedPostBody() : postBody();
        body = ReqInputStream::inputStreamWithData(bytes, shared());
    }
    if (body && !body->open(QIODevice::ReadOnly)) {
        failWithError(reqError(ReqInternalErrorWhileBuildingRequestType,
                               QStringLiteral("Unable to create read stream")));
        return;
    }
    postBodyReadStream = body;
    const auto stream = HttpReadStream::create(*requestMessage, body);
    if (url_.scheme().toLower() == u"https") {
        platform::net::TlsSettings tls;
        tls.validatesCertificate = validatesSecureCertificate();
        tls.identity = clientCertificateIdentity();
        if (!tls.identity.isEmpty())
            tls.identity.chain += clientCertificates();
        stream->setTls(tls);
    }
    stream->setProxy(streamProxy());
    readStream_.set(stream);

    std::shared_ptr<HttpReadStream> oldStream;
    chooseConnection(stream, oldStream);
    const std::optional<double> wake = ReqBandwidthThrottle::wakeTime();
    if (!wake || *wake <= ReqBandwidthThrottle::now())
        scheduleReadStream();
    stream->setClient([weak = std::weak_ptr<ReqHTTPRequest>(shared())](HttpReadStream::Event event) {
        if (const Ptr self = weak.lock())
            self->handleNetworkEvent(int(event));
    });
    const bool opened = stream->open(oldStream);
    if (oldStream && oldStream != stream)
        oldStream->close();
    if (!opened) {
        connectionCanBeReused_ = false;
        destroyReadStream();
        failWithError(reqError(ReqInternalErrorWhileBuildingRequestType,
                               QStringLiteral("Unable to start HTTP connection"), stream->error()));
        return;
    }
    if (!mainRequest()) {
        if (shouldResetUploadProgress()) {
            incrementUploadSizeBy(showAccurateProgress() ? qint64(postLength()) : 1);
            updateProgressIndicator(ProgressKind::Upload, 0, 1);
        }
        if (shouldResetDownloadProgress() && partialDownloadSize() == 0)
            updateProgressIndicator(ProgressKind::Download, 0, 1);
    }
    setLastActivityTime(ReqClassState::now());
    startStatusTimer();
}

void ReqHTTPRequest::startStatusTimer() {
    statusTimer = requestRunLoop()->startTimer(0.25, true, [weak = std::weak_ptr<ReqHTTPRequest>(shared())] {
        const Ptr self = weak.lock();
        if (!self)
            return;
        self->checkRequestStatus();
        if (!self->inProgress())
            self->statusTimer.reset();
    });
}

// --- The response head ------------------------------------------------------------------------------------

void ReqHTTPRequest::readResponseHeaders() {
    authenticationNeeded_ = 0;
    const auto stream = readStream();
    const std::optional<HttpMessage> response = stream ? stream->response() : std::nullopt;
    if (!response)
        return;
    const HttpHeaders headers = response->headers();
    setResponseHeaders(headers);
    setResponseStatusCode(response->statusCode());
    setResponseStatusMessage(QString::fromLatin1(response->statusLine()));
    if (const auto cache = downloadCache(); cache && cache->canUseCachedDataForRequest(*this)) {
        cache->updateExpiryForRequest(*this, secondsToCache());
        useDataFromCache();
        return;
    }
    if (responseStatusCode() == 401)
        authenticationNeeded_ = 1;
    else if (responseStatusCode() == 407)
        authenticationNeeded_ = 2;
    else
        recordBasicCredentialsThatWorked();

    QByteArray encoding = defaultResponseEncoding();
    parseMimeType(nullptr, &encoding, headers.text("Content-Type"));
    setResponseEncoding(encoding);

    // What a proxy says before its tunnel stands is no word of the site's.
    const QList<platform::net::Cookie> cookies =
        stream->isProxyAnswer() ? QList<platform::net::Cookie>()
                                : platform::net::Cookie::cookiesWithResponseHeaderFields(headers, url());
    setResponseCookies(cookies);
    if (useCookiePersistence() && !cookies.isEmpty()) {
        platform::net::SharedCookieStorage::shared().setCookies(cookies);
        for (const platform::net::Cookie& cookie : cookies)
            addSessionCookie(cookie);
    }

    if (!willRedirect()) {
        const Ptr main = mainRequest();
        ReqHTTPRequest& owner = main ? *main : *this;
        // A HEAD request counts by its own flags: its main request cleared its own so as not to count twice.
        const bool accurate = showAccurateProgress() && shouldResetDownloadProgress();
        if (headers.contains("Content-Length")) {
            // Read as C does with base 0: "0x10" is sixteen. The stream framed the body by its decimal form.
            const quint64 length = std::strtoull(headers.value("Content-Length").constData(), nullptr, 0);
            if (main && allowCompressedResponse() && length == 20 && showAccurateProgress() &&
                shouldResetDownloadProgress()) {
                main->setShowAccurateProgress(false);
                main->incrementDownloadSizeBy(1);
            } else {
                owner.setContentLength(length);
                if (accurate)
                    owner.incrementDownloadSizeBy(qint64(length + owner.partialDownloadSize()));
            }
        } else if (accurate) {
            owner.setShowAccurateProgress(false);
            owner.incrementDownloadSizeBy(1);
        }
    }
    if (shouldAttemptPersistentConnection())
        applyKeepAliveRule(*response);
    requestReceivedResponseHeaders(headers);
}

void ReqHTTPRequest::applyKeepAliveRule(const HttpMessage& response) {
    const QByteArray connection = response.value("Connection").trimmed().toLower();
    bool reusable = true;
    if (response.version() == platform::net::HttpVersion::Http10 && connection != "keep-alive")
        reusable = false;
    else if (connection == "close")
        reusable = false;
    else if (const QByteArray keepAlive = response.value("Keep-Alive").toLower(); !keepAlive.isNull()) {
        const auto number = [&](const QByteArray& key) {
            const qsizetype at = keepAlive.indexOf(key);
            return at < 0 ? 0 : std::atoi(keepAlive.constData() + at + key.size());
        };
        const int timeout = number("timeout=");
        reusable = number("max=") >= 6;
        if (reusable)
            setPersistentConnectionTimeoutSeconds(timeout);
    }
    connectionCanBeReused_ = reusable;
}

QByteArray ReqHTTPRequest::responseData() {
    if (!isResponseCompressed() || !shouldWaitToInflateCompressedResponses())
        return rawResponseData();
    if (!inflatedResponseData.isNull())
        return inflatedResponseData;
    return ReqDataDecompressor::uncompressData(rawResponseData(), nullptr, inflationLimits(true));
}

QString ReqHTTPRequest::responseString() {
    const QByteArray data = responseData();
    if (data.isNull())
        return QString();
    const QByteArray encoding = responseEncoding().isEmpty() ? defaultResponseEncoding() : responseEncoding();
    return ReqTextEncoding::decode(data, encoding);
}

bool ReqHTTPRequest::isResponseCompressed() const {
    const auto headers = responseHeaders();
    return headers && headers->combinedValue("Content-Encoding").toLower().contains("gzip");
}

// --- Ending ---------------------------------------------------------------------------------------------

void ReqHTTPRequest::failWithError(const platform::Error& failure) {
    if (destroying)
        return;
    std::unique_lock lock(cancelledLock_);
    complete_ = true;
    const bool keepsRecord =
        failure.domain == QLatin1String(kReqHTTPRequestErrorDomain) &&
        (failure.code == ReqAuthenticationErrorType || failure.code == ReqTooMuchRedirectionErrorType);
    {
        ReqClassState& state = ReqClassState::shared();
        std::lock_guard poolLock(state.poolLock);
        if (const auto record = connectionInfo()) {
            if (connectionCanBeReused())
                record->expires = ReqClassState::now() + persistentConnectionTimeoutSeconds();
            if (!keepsRecord) {
                record->request.reset();
                std::erase(state.connectionPool, record);
                setConnectionInfo(nullptr);
            }
        }
    }
    // A connection kept with its record after an authentication or redirect failure stays open there.
    destroyReadStream();
    if (isCancelled() || error())
        return;
    if (const auto cache = downloadCache(); cache &&
                                            (cachePolicy() & ReqFallbackToCacheIfLoadFailsCachePolicy) &&
                                            cache->canUseCachedDataForRequest(*this)) {
        useDataFromCache();
        return;
    }
    setError(failure);
    const Ptr main = mainRequest();
    if (main)
        main->setError(failure);
    (main ? main : shared())->reportFailure();
    if (inProgress())
        markAsFinished();
}

void ReqHTTPRequest::requestFinished() {
    if (error() || mainRequest())
        return;
    reportFinished();
}

void ReqHTTPRequest::markAsFinished() {
    if (destroying)
        return;
    const Ptr keepAlive = shared();
    requestMessage.reset();
    requestAuthentication.reset();
    proxyAuthentication.reset();
    const bool wasFinished = finished_.exchange(true);
    inProgress_ = false;
    if (!wasFinished)
        didFinish();
}

void ReqHTTPRequest::cancel() {
    auto weak = std::weak_ptr<ReqHTTPRequest>(shared());
    requestRunLoop()->post([weak] {
        if (const Ptr self = weak.lock())
            self->cancelOnRequestThread();
    });
}

void ReqHTTPRequest::cancelOnRequestThread() {
    std::unique_lock lock(cancelledLock_);
    // A request waiting for a listener's answer is complete but not finished: it can still be called off.
    const bool waiting = waitingForAnswer.exchange(false);
    if (isCancelled() || (complete() && !waiting))
        return;
    failWithError(reqRequestCancelledError());
    complete_ = true;
    cancelLoad();
    cancelled_ = true;
}

void ReqHTTPRequest::clearDelegatesAndCancel() {
    {
        std::lock_guard lock(cancelledLock_);
        delegate_.reset();
        queue_.reset();
        uploadProgressDelegate_.reset();
        downloadProgressDelegate_.reset();
    }
    releaseBlocksOnMainThread();
    cancel();
}

void ReqHTTPRequest::cancelLoad() {
    stopPACWork();
    destroyReadStream();
    if (postBodyReadStream) {
        postBodyReadStream->close();
        postBodyReadStream.reset();
    }
    if (downloadDestinationPath().isEmpty()) {
        if (!complete())
            setRawResponseData(QByteArray());
    } else {
        fileDownloadOutputStream.reset();
        inflatedFileDownloadOutputStream.reset();
        if (!complete() && !allowResumeForFileDownloads())
            removeTemporaryDownloadFile();
        removeTemporaryUncompressedDownloadFile();
    }
    if (authenticationNeeded() == 0 && !willRetryRequest() && didCreateTemporaryPostDataFile()) {
        removeTemporaryUploadFile();
        removeTemporaryCompressedUploadFile();
        setDidCreateTemporaryPostDataFile(false);
    }
}
