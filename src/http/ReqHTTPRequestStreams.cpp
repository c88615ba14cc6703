// The network side of a request once its stream exists: stream events, where received bytes go (memory, a
// file, an inflated file or the caller), the end of a download, the one retry on a fresh connection, and
// the scheduling of the stream under the bandwidth budget.

#include "http/ReqHTTPRequest.h"

#include "http/ReqBandwidthThrottle.h"
#include "http/ReqClassState.h"
#include "http/ReqDataDecompressor.h"
#include "http/ReqFiles.h"
#include "http/ReqHTTPRequestErrors.h"
#include "platform/foundation/MainThread.h"
#include "platform/net/HttpReadStream.h"
#include "platform/net/HttpStreamError.h"
#include "platform/net/UrlError.h"

#include <QFile>
#include <QRegularExpression>

#include <cerrno>

using platform::net::HttpReadStream;

namespace {

constexpr char kSslProblem[] =
    "%1: SSL problem (Possible causes may include a bad/expired/self-signed certificate, "
    "clock set to wrong date)";

platform::Error fileError(const QString& text) {
    return platform::Error(QStringLiteral("org.vistrelle.file"), 0,
                           {{QLatin1String(platform::kLocalizedDescriptionKey), text}});
}

platform::Error moveError(const QString& from, const QString& to, const QString& why) {
    return reqError(ReqFileManagementError,
                    QStringLiteral("Failed to move file from '%1' to '%2'").arg(from, to), fileError(why));
}

// The first byte a "Content-Range" of a 206 names ("bytes 100-199/200" gives 100).
std::optional<quint64> rangeStart(const QByteArray& contentRange) {
    static const QRegularExpression form(QStringLiteral("^\\s*bytes\\s+(\\d+)-\\d+/(\\d+|\\*)\\s*$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = form.match(QString::fromLatin1(contentRange));
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(1).toULongLong();
}

} // namespace

// --- Events ---------------------------------------------------------------------------------------------

void ReqHTTPRequest::handleNetworkEvent(int event) {
    const Ptr keepAlive = shared();
    {
        std::unique_lock lock(cancelledLock_);
        if (complete() || isCancelled())
            return;
        switch (HttpReadStream::Event(event)) {
        case HttpReadStream::Event::EndEncountered:
            handleStreamComplete();
            break;
        case HttpReadStream::Event::ErrorOccurred:
            handleStreamError();
            break;
        case HttpReadStream::Event::HasBytesAvailable:
            handleBytesAvailable();
            break;
        }
        performThrottling();
    }
    if (downloadComplete() && needsRedirect()) {
        if (!willAskDelegateToConfirmRedirect())
            performRedirect();
    } else if (downloadComplete() && authenticationNeeded() != 0) {
        attemptToApplyCredentialsAndResume();
    }
}

void ReqHTTPRequest::handleBytesAvailable() {
    if (!responseHeaders())
        readResponseHeaders();
    const auto stream = readStream();
    if (complete() || !stream || !stream->hasBytesAvailable())
        return;
    qint64 size = contentLength() > 262144 ? 262144 : contentLength() > 65536 ? 65536 : 16384;
    if (isBandwidthThrottled())
        size = ReqBandwidthThrottle::throttledReadSize(size);
    QByteArray raw(size, Qt::Uninitialized);
    const qint64 count = stream->read(raw.data(), size);
    if (count <= 0)
        return;
    raw.truncate(count);

    const bool inflating = isResponseCompressed() && !shouldWaitToInflateCompressedResponses();
    QByteArray inflated;
    if (inflating) {
        if (!dataDecompressor()) {
            std::shared_ptr<ReqDataDecompressor> made = ReqDataDecompressor::decompressor();
            made->setLimits(inflationLimits(downloadDestinationPath().isEmpty() && !delegateWantsData()));
            setDataDecompressor(std::move(made));
        }
        platform::OptionalError failure;
        inflated = dataDecompressor()->uncompressBytes(raw.constData(), raw.size(), &failure);
        if (failure && failure->code == ReqResponseTooLargeErrorType) {
            failAsTooLarge(*failure);
            return;
        }
        if (failure) {
            failWithError(*failure);
            return;
        }
    }
    setTotalBytesRead(totalBytesRead() + quint64(count));
    setLastActivityTime(ReqClassState::now());
    incrementBandwidthUsedInLastSecond(quint64(count));
    if (needsRedirect() && shouldRedirect() && allowResumeForFileDownloads())
        return; // the body of a redirect must not land in a resumable file
    if (delegateWantsData()) {
        passOnReceivedData(inflating ? inflated : raw);
        return;
    }
    if (!downloadDestinationPath().isEmpty()) {
        writeDownloadChunk(raw, inflated, inflating);
        return;
    }
    // Inflated bytes were bounded by the decompressor already.
    const QByteArray& kept = inflating ? inflated : raw;
    const quint64 limit = maxResponseBytesInMemory();
    const bool fits = rawResponseData_.update([&](QByteArray& data) {
        if (!inflating && quint64(data.size()) + quint64(kept.size()) > limit)
            return false;
        data.append(kept);
        return true;
    });
    if (!fits)
        failAsTooLarge(reqResponseTooLargeError(QStringLiteral("more than %1 bytes").arg(limit)));
}

ReqInflationLimits ReqHTTPRequest::inflationLimits(bool keptInMemory) const {
    ReqInflationLimits limits;
    limits.maxOutput = keptInMemory ? qint64(maxResponseBytesInMemory()) : -1;
    limits.maxRatio = qint64(maxInflationRatio());
    return limits;
}

void ReqHTTPRequest::failAsTooLarge(const platform::Error& error) {
    // The rest of the body is never read, so the connection cannot serve another request.
    connectionCanBeReused_ = false;
    setDataDecompressor(nullptr);
    inflatedResponseData = QByteArray();
    cancelLoad();
    setRawResponseData(QByteArray());
    failWithError(error);
}

bool ReqHTTPRequest::openDownloadFile(std::unique_ptr<QFile>& file, QString path, bool isInflated) {
    bool append = false;
    if (path.isEmpty()) {
        path = ReqFiles::makeTemporaryFile();
        if (isInflated)
            setTemporaryUncompressedDataDownloadPath(path);
        else
            setTemporaryFileDownloadPath(path);
    } else if (allowResumeForFileDownloads() && requestHeaders().contains("Range")) {
        // A resume adds to the partial file only a 206 that starts where the file ends; anything else (a 200,
        // a 416, a range elsewhere) starts the file again.
        const auto headers = responseHeaders().value_or(platform::net::HttpHeaders());
        const std::optional<quint64> start = rangeStart(headers.value("Content-Range"));
        append = responseStatusCode() == 206 && start && *start == partialDownloadSize();
        if (!append && !isInflated && partialDownloadSize() > 0) {
            incrementDownloadSizeBy(-qint64(partialDownloadSize()));
            setPartialDownloadSize(0);
        }
    }
    file = std::make_unique<QFile>(path);
    if (path.isEmpty() ||
        !file->open(append ? QIODevice::Append : QIODevice::WriteOnly | QIODevice::Truncate)) {
        failWithError(reqError(ReqFileManagementError,
                               QStringLiteral("Failed to write file at path '%1'").arg(path),
                               fileError(file->errorString())));
        return false;
    }
    return true;
}

void ReqHTTPRequest::writeDownloadChunk(const QByteArray& raw, const QByteArray& inflated, bool inflating) {
    if (!fileDownloadOutputStream &&
        !openDownloadFile(fileDownloadOutputStream, temporaryFileDownloadPath(), false))
        return;
    if (inflating && !inflatedFileDownloadOutputStream &&
        !openDownloadFile(inflatedFileDownloadOutputStream, temporaryUncompressedDataDownloadPath(), true))
        return;
    const bool written = fileDownloadOutputStream->write(raw) == raw.size() &&
                         (!inflating || inflatedFileDownloadOutputStream->write(inflated) == inflated.size());
    if (!written)
        failWithError(reqError(
            ReqFileManagementError,
            QStringLiteral("Failed to write file at path '%1'").arg(fileDownloadOutputStream->fileName()),
            fileError(fileDownloadOutputStream->errorString())));
}

void ReqHTTPRequest::handleStreamComplete() {
    statusTimer.reset();
    downloadComplete_ = true;
    if (!responseHeaders())
        readResponseHeaders();
    std::optional<platform::Error> failure;
    ReqClassState& state = ReqClassState::shared();
    {
        std::lock_guard progressLock(state.progressUpdateLock);
        const auto stream = readStream();
        setLastBytesSent(totalBytesSent());
        if (stream)
            setTotalBytesSent(quint64(stream->requestBodyBytesWritten()));
        complete_ = true;
        if (contentLength() == 0)
            setContentLength(totalBytesRead());
        updateProgressIndicators();
        if (postBodyReadStream) {
            postBodyReadStream->close();
            postBodyReadStream.reset();
        }
        // A compressed body that stops before its end is an error, never a whole response.
        if (const auto decompressor = dataDecompressor())
            failure = decompressor->finishInput();
        setDataDecompressor(nullptr);
        if (!failure && isResponseCompressed() && shouldWaitToInflateCompressedResponses() &&
            downloadDestinationPath().isEmpty() && !rawResponseData().isEmpty()) {
            platform::OptionalError inflateFailure;
            inflatedResponseData = ReqDataDecompressor::uncompressData(rawResponseData(), &inflateFailure,
                                                                       inflationLimits(true));
            failure = inflateFailure;
            if (failure && failure->code == ReqResponseTooLargeErrorType)
                setRawResponseData(QByteArray());
        }
        if (didCreateTemporaryPostDataFile() && authenticationNeeded() == 0) {
            removeTemporaryUploadFile();
            removeTemporaryCompressedUploadFile();
        }
        const bool settled = !needsRedirect() && authenticationNeeded() == 0 && !didUseCachedResponse();
        // An empty body still makes the destination file.
        if (settled && !failure && !downloadDestinationPath().isEmpty() &&
            temporaryFileDownloadPath().isEmpty())
            setTemporaryFileDownloadPath(ReqFiles::makeTemporaryFile());
        if (!temporaryFileDownloadPath().isEmpty())
            finishDownloadFile(failure);
        if (const auto cache = downloadCache(); cache && !didUseCachedResponse() && !failure)
            cache->storeResponseForRequest(*this, secondsToCache());
    }
    {
        std::lock_guard poolLock(state.poolLock);
        if (!connectionCanBeReused())
            unscheduleReadStream();
        if (const auto record = connectionInfo()) {
            record->request.reset();
            record->expires = ReqClassState::now() + persistentConnectionTimeoutSeconds();
        }
    }
    if (authenticationNeeded() == 0)
        destroyReadStream();
    if (!needsRedirect() && authenticationNeeded() == 0 && !didUseCachedResponse()) {
        if (failure)
            failWithError(*failure);
        else
            requestFinished();
        markAsFinished();
    }
}

void ReqHTTPRequest::finishDownloadFile(std::optional<platform::Error>& failure) {
    const bool closed = (!fileDownloadOutputStream || fileDownloadOutputStream->flush()) &&
                        (!inflatedFileDownloadOutputStream || inflatedFileDownloadOutputStream->flush());
    fileDownloadOutputStream.reset();
    inflatedFileDownloadOutputStream.reset();
    if (!closed && !failure)
        failure =
            reqError(ReqFileManagementError,
                     QStringLiteral("Failed to write file at path '%1'").arg(temporaryFileDownloadPath()));
    if (shouldRedirect() && needsRedirect() && allowResumeForFileDownloads())
        return;
    if (failure) {
        // What was received does not stand for the resource: it never takes the destination's place.
        if (!allowResumeForFileDownloads())
            removeTemporaryDownloadFile();
        removeTemporaryUncompressedDownloadFile();
        return;
    }
    const QString destination = downloadDestinationPath();
    QString why;
    if (isResponseCompressed() && shouldWaitToInflateCompressedResponses()) {
        const QString inflatedPath = ReqFiles::makeTemporaryFile();
        platform::OptionalError inflateFailure;
        if (!ReqDataDecompressor::uncompressDataFromFile(temporaryFileDownloadPath(), inflatedPath,
                                                         &inflateFailure, inflationLimits(false)))
            failure = inflateFailure;
        else if (!ReqFiles::replaceFile(inflatedPath, destination, &why))
            failure = moveError(inflatedPath, destination, why);
        QFile::remove(inflatedPath);
        removeTemporaryDownloadFile();
    } else if (isResponseCompressed()) {
        QString inflatedPath = temporaryUncompressedDataDownloadPath();
        if (inflatedPath.isEmpty())
            inflatedPath = ReqFiles::makeTemporaryFile(); // nothing arrived to inflate
        if (!ReqFiles::replaceFile(inflatedPath, destination, &why))
            failure = moveError(inflatedPath, destination, why);
        setTemporaryUncompressedDataDownloadPath(QString());
        removeTemporaryDownloadFile();
    } else {
        const QString downloaded = temporaryFileDownloadPath();
        if (!ReqFiles::replaceFile(downloaded, destination, &why))
            failure = moveError(downloaded, destination, why);
        setTemporaryFileDownloadPath(QString());
    }
}

void ReqHTTPRequest::handleStreamError() {
    const auto stream = readStream();
    const platform::Error underlying = stream && stream->error() ? *stream->error() : platform::Error();
    if (error()) {
        cancelLoad();
        checkRequestStatus();
        return;
    }
    const bool lost = (underlying.domain == QLatin1String(platform::net::kPosixErrorDomain) &&
                       (underlying.code == ENOTCONN || underlying.code == EPIPE)) ||
                      underlying.is(QString::fromLatin1(platform::net::kUrlErrorDomain),
                                    platform::net::UrlErrorNetworkConnectionLost);
    if (lost && retryUsingNewConnection())
        return;
    QString text = QStringLiteral("A connection failure occurred");
    if (underlying.domain == QLatin1String(platform::net::kTlsErrorDomain) && underlying.code >= -9818 &&
        underlying.code <= -9800)
        text = QString::fromLatin1(kSslProblem).arg(text);
    cancelLoad();
    failWithError(reqError(ReqConnectionFailureErrorType, text, underlying));
    checkRequestStatus();
}

bool ReqHTTPRequest::retryUsingNewConnection() {
    if (retryCount() != 0)
        return false;
    setWillRetryRequest(true);
    cancelLoad();
    setWillRetryRequest(false);
    leaveConnection();
    setRetryCount(retryCount() + 1);
    startRequest();
    return true;
}

void ReqHTTPRequest::leaveConnection() {
    ReqClassState& state = ReqClassState::shared();
    std::lock_guard poolLock(state.poolLock);
    if (const auto record = connectionInfo()) {
        record->request.reset();
        std::erase(state.connectionPool, record);
    }
    setConnectionInfo(nullptr);
}

// --- The status timer ----------------------------------------------------------------------------------

void ReqHTTPRequest::checkRequestStatus() {
    std::unique_lock lock(cancelledLock_);
    if (isCancelled() || complete())
        return;
    performThrottling();
    if (shouldTimeOut()) {
        if (numberOfTimesToRetryOnTimeout() > retryCount()) {
            retryAfterTimeOut();
        } else {
            failWithError(reqRequestTimedOutError());
            cancelLoad();
            complete_ = true;
        }
        return;
    }
    const auto stream = readStream();
    if (!stream)
        return;
    if (postLength() > 0) {
        setLastBytesSent(totalBytesSent());
        setTotalBytesSent(quint64(stream->requestBodyBytesWritten()));
        if (totalBytesSent() > lastBytesSent()) {
            setLastActivityTime(ReqClassState::now());
            incrementBandwidthUsedInLastSecond(totalBytesSent() - lastBytesSent());
        }
    }
    updateProgressIndicators();
}

// --- Scheduling ---------------------------------------------------------------------------------------

void ReqHTTPRequest::performThrottling() {
    if (!readStream())
        return;
    ReqBandwidthThrottle::measureBandwidthUsage();
    if (isBandwidthThrottled()) {
        const std::optional<double> wake = ReqBandwidthThrottle::wakeTime();
        if (!wake)
            return;
        const bool waiting = *wake > ReqBandwidthThrottle::now();
        if (waiting && readStreamIsScheduled())
            unscheduleReadStream();
        else if (!waiting && !readStreamIsScheduled())
            scheduleReadStream();
    } else if (!readStreamIsScheduled()) {
        scheduleReadStream();
    }
}

void ReqHTTPRequest::scheduleReadStream() {
    const auto stream = readStream();
    if (!stream || readStreamIsScheduled())
        return;
    {
        ReqClassState& state = ReqClassState::shared();
        std::lock_guard poolLock(state.poolLock);
        ++state.activeStreamCount;
        if (state.shouldUpdateNetworkActivityIndicator)
            showNetworkActivityIndicator();
    }
    setLastActivityTime(ReqClassState::now());
    stream->schedule(requestRunLoop());
    readStreamIsScheduled_ = true;
}

void ReqHTTPRequest::unscheduleReadStream() {
    const auto stream = readStream();
    if (!stream || !readStreamIsScheduled())
        return;
    {
        ReqClassState& state = ReqClassState::shared();
        std::lock_guard poolLock(state.poolLock);
        if (state.activeStreamCount > 0 && --state.activeStreamCount == 0 &&
            state.shouldUpdateNetworkActivityIndicator)
            platform::runOnMainThread([] { hideNetworkActivityIndicatorAfterDelay(); });
    }
    stream->unschedule();
    readStreamIsScheduled_ = false;
}

void ReqHTTPRequest::destroyReadStream() {
    const auto stream = readStream();
    if (!stream)
        return;
    unscheduleReadStream();
    // A connection that may serve the next request stays open inside its pool record.
    if (!connectionCanBeReused())
        stream->close();
    readStream_.set(nullptr);
}

// --- Temporary files --------------------------------------------------------------------------------------

bool ReqHTTPRequest::removeFileAtPath(const QString& path, std::optional<platform::Error>* error) {
    if (!QFile::exists(path) || QFile::remove(path))
        return true;
    if (error)
        *error =
            reqError(ReqFileManagementError, QStringLiteral("Failed to delete file at path '%1'").arg(path),
                     fileError(QString::fromLocal8Bit(strerror(errno))));
    return false;
}

bool ReqHTTPRequest::removeTemporaryFile(ReqGuarded<QString>& path) {
    const QString value = path.get();
    if (value.isEmpty())
        return true;
    std::optional<platform::Error> failure;
    removeFileAtPath(value, &failure);
    path.set(QString());
    if (failure)
        failWithError(*failure);
    return !failure;
}

bool ReqHTTPRequest::removeTemporaryDownloadFile() {
    return removeTemporaryFile(temporaryFileDownloadPath_);
}

bool ReqHTTPRequest::removeTemporaryUncompressedDownloadFile() {
    return removeTemporaryFile(temporaryUncompressedDataDownloadPath_);
}

bool ReqHTTPRequest::removeTemporaryUploadFile() {
    return removeTemporaryFile(postBodyFilePath_);
}

bool ReqHTTPRequest::removeTemporaryCompressedUploadFile() {
    return removeTemporaryFile(compressedPostBodyFilePath_);
}

// --- Completing from the cache --------------------------------------------------------------------------

void ReqHTTPRequest::useDataFromCache() {
    const auto cache = downloadCache();
    const Ptr main = mainRequest();
    ReqHTTPRequest& receiver = main ? *main : *this;
    const QUrl target = url();
    const auto headers = cache ? cache->cachedResponseHeadersForURL(target) : std::nullopt;
    const QString dataPath = cache ? cache->pathToCachedResponseDataForURL(target) : QString();
    if (headers && !dataPath.isEmpty()) {
        setResponseStatusCode(headers->value("X-ReqHTTPRequest-Response-Status-Code").toInt());
        setDidUseCachedResponse(true);
        receiver.setResponseHeaders(*headers);
        if (!receiver.downloadDestinationPath().isEmpty())
            receiver.setDownloadDestinationPath(dataPath);
        else
            receiver.setRawResponseData(cache->cachedResponseDataForURL(target).value_or(QByteArray("")));
        const quint64 length = headers->value("Content-Length").toULongLong();
        receiver.setContentLength(length);
        receiver.setTotalBytesRead(length);
        QByteArray encoding = receiver.defaultResponseEncoding();
        parseMimeType(nullptr, &encoding, headers->text("Content-Type"));
        receiver.setResponseEncoding(encoding);
        receiver.setResponseCookies(platform::net::Cookie::cookiesWithResponseHeaderFields(*headers, target));
        if (willRedirect()) {
            if (!willAskDelegateToConfirmRedirect())
                performRedirect();
            return;
        }
    }
    receiver.setComplete(true);
    receiver.setDownloadComplete(true);
    if (receiver.redirectCount() == 0)
        receiver.setOriginalURL(receiver.url());
    receiver.updateProgressIndicators();
    receiver.requestFinished();
    receiver.markAsFinished();
    if (main)
        markAsFinished();
}
