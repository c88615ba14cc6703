#include "webservice/HTTPFetcher/NetHTTPUploadFetcher.h"

#include "webservice/HTTPFetcher/NetHTTPFetcherService.h"

#include <QRegularExpression>

#include <cerrno>
#include <unistd.h>

std::shared_ptr<NetHTTPUploadFetcher>
NetHTTPUploadFetcher::uploadFetcherWithRequest(const std::optional<Request>& request,
                                               const std::shared_ptr<NetHTTPFetcherService>& fetcherService) {
    if (!fetcherService)
        return std::make_shared<NetHTTPUploadFetcher>(request);
    auto made = fetcherService->fetcherWithRequest(request.value_or(Request()), [request](const Request&) {
        return std::make_shared<NetHTTPUploadFetcher>(request);
    });
    return std::static_pointer_cast<NetHTTPUploadFetcher>(made);
}

std::shared_ptr<NetHTTPUploadFetcher>
NetHTTPUploadFetcher::uploadFetcherWithRequest(const Request& request, const QByteArray& uploadData,
                                               const QString& uploadMIMEType, quint64 chunkSize,
                                               const std::shared_ptr<NetHTTPFetcherService>& fetcherService) {
    auto fetcher = uploadFetcherWithRequest(std::optional<Request>(request), fetcherService);
    fetcher->setLocationURL(QUrl(), uploadData, nullptr, uploadMIMEType, chunkSize);
    return fetcher;
}

std::shared_ptr<NetHTTPUploadFetcher>
NetHTTPUploadFetcher::uploadFetcherWithRequest(const Request& request, const FileHandle& uploadFileHandle,
                                               const QString& uploadMIMEType, quint64 chunkSize,
                                               const std::shared_ptr<NetHTTPFetcherService>& fetcherService) {
    auto fetcher = uploadFetcherWithRequest(std::optional<Request>(request), fetcherService);
    fetcher->setLocationURL(QUrl(), QByteArray(), uploadFileHandle, uploadMIMEType, chunkSize);
    return fetcher;
}

std::shared_ptr<NetHTTPUploadFetcher> NetHTTPUploadFetcher::uploadFetcherWithLocation(
    const QUrl& location, const FileHandle& uploadFileHandle, const QString& uploadMIMEType,
    quint64 chunkSize, const std::shared_ptr<NetHTTPFetcherService>& fetcherService) {
    auto fetcher = uploadFetcherWithRequest(std::nullopt, fetcherService);
    fetcher->setLocationURL(location, QByteArray(), uploadFileHandle, uploadMIMEType, chunkSize);
    return fetcher;
}

NetHTTPUploadFetcher::~NetHTTPUploadFetcher() {
    destroyChunkFetcher();
}

std::shared_ptr<NetHTTPUploadFetcher> NetHTTPUploadFetcher::self() {
    return std::static_pointer_cast<NetHTTPUploadFetcher>(shared_from_this());
}

void NetHTTPUploadFetcher::setLocationURL(const QUrl& location, const QByteArray& uploadData,
                                          const FileHandle& uploadFileHandle, const QString& uploadMIMEType,
                                          quint64 chunkSize) {
    locationURL_ = location;
    uploadData_ = uploadData;
    uploadFileHandle_ = uploadFileHandle;
    uploadMIMEType_ = uploadMIMEType;
    chunkSize_ = chunkSize;
    uploadFileHandleLength_ = -1;
    statusCode_ = -1;
    isRestartedUpload_ = !location.isEmpty();
    if (request_) {
        request_->setValue("X-Upload-Content-Length", QByteArray::number(fullUploadLength()));
        request_->setValue("X-Upload-Content-Type", uploadMIMEType.toLatin1());
    }
}

qint64 NetHTTPUploadFetcher::fullUploadLength() {
    if (!uploadFileHandle_)
        return uploadData_.size();
    if (uploadFileHandleLength_ < 0 && uploadFileHandle_->isValid())
        uploadFileHandleLength_ = ::lseek(uploadFileHandle_->get(), 0, SEEK_END);
    return uploadFileHandleLength_;
}

bool NetHTTPUploadFetcher::beginFetchWithDelegate(Delegate delegate, FinishedSelector finishedSelector) {
    if (isBusy() || chunkFetcher_) {
        reportBusy(finishedSelector, nullptr);
        return false;
    }
    delegateFinishedSEL_ = std::move(finishedSelector);
    needsManualProgress_ = !doesSupportSentDataCallback();
    initialBodyLength_ = quint64(postData_.size());
    if (isRestartedUpload_) {
        if (delegate)
            delegate_ = std::move(delegate);
        if (!isPaused_)
            uploadNextChunkWithOffset(kQueryOffset);
        return true;
    }
    return NetHTTPFetcher::beginFetchWithDelegate(std::move(delegate), nullptr);
}

bool NetHTTPUploadFetcher::beginFetchWithCompletionHandler(CompletionBlock handler) {
    if (isBusy() || chunkFetcher_) {
        reportBusy(nullptr, handler);
        return false;
    }
    // The first request reports nothing of its own, so the handler hears the upload's one outcome.
    completionBlock_ = std::move(handler);
    return beginFetchWithDelegate(delegate_, nullptr);
}

void NetHTTPUploadFetcher::retryFetch() {
    stopFetchReleasingCallbacks(false);
    NetHTTPFetcher::beginFetchWithDelegate(delegate_, nullptr);
}

void NetHTTPUploadFetcher::reportFailureToBegin(const platform::Error& error) {
    // The first request is begun without a finished selector of its own: the caller's hears of it here.
    invokeFinalCallbacksWithData(QByteArray(), error, true);
}

qint64 NetHTTPUploadFetcher::statusCode() const {
    return statusCode_ != -1 ? statusCode_ : NetHTTPFetcher::statusCode();
}

std::optional<platform::net::HttpHeaders> NetHTTPUploadFetcher::responseHeaders() const {
    return responseHeaders_ ? responseHeaders_ : NetHTTPFetcher::responseHeaders();
}

platform::Error NetHTTPUploadFetcher::statusError(qint64 code, const QString& description) const {
    QVariantMap info;
    if (!description.isEmpty())
        info.insert(QLatin1String(platform::kLocalizedDescriptionKey), description);
    return platform::Error(QString::fromLatin1(kNetHTTPFetcherStatusDomain), code, info);
}

void NetHTTPUploadFetcher::changeLocation(const QUrl& location) {
    if (location == locationURL_)
        return;
    locationURL_ = location;
    if (LocationChangeBlock block = locationChangeBlock_)
        block(location);
}

bool NetHTTPUploadFetcher::acceptsLocation(const QUrl& location, const QUrl& answering) const {
    // The movie must never go in clear, or anywhere but over the protocol it was announced on.
    return location.isValid() && location.scheme().compare(answering.scheme(), Qt::CaseInsensitive) == 0;
}

void NetHTTPUploadFetcher::connectionDidFinishLoading(platform::net::UrlConnection&) {
    hasConnectionEnded_ = true;
    if (fetchHistory_ && response_)
        fetchHistory_->updateFetchHistoryWithRequest(*request_, *response_, downloadedData_);
    const std::shared_ptr<NetHTTPUploadFetcher> keep = self();
    const qint64 status = statusAfterHandlingNotModifiedError();
    sendStopNotificationIfNeeded();
    if ((status < 0 || status > 299) && shouldRetryNowForStatus(status, std::nullopt)) {
        beginRetryTimer(); // the retry reports for the first request; nothing is said now
        return;
    }
    statusCode_ = status;
    responseHeaders_ = NetHTTPFetcher::responseHeaders();
    const QByteArray body = downloadedData_;
    const QUrl firstRequestUrl = request_->url;
    stopFetchReleasingCallbacks(false);

    if (status >= 300) {
        invokeFinalCallbacksWithData(body, statusError(status), true);
        return;
    }
    const QByteArray location =
        responseHeaders_ ? responseHeaders_->value("Location").trimmed() : QByteArray();
    const QUrl resolved = firstRequestUrl.resolved(QUrl::fromEncoded(location));
    if (location.isEmpty() || !acceptsLocation(resolved, firstRequestUrl)) {
        invokeFinalCallbacksWithData(body, statusError(kNetHTTPFetcherStatusUploadWithoutLocation), true);
        return;
    }
    changeLocation(resolved);
    initialBodySent_ = initialBodyLength_;
    reportProgressManually();
    if (!isPaused_)
        uploadNextChunkWithOffset(0);
}

void NetHTTPUploadFetcher::reportConnectionFailure(const platform::Error& error) {
    // The caller hears a failed first request as well: its finished selector is this class's own.
    stopFetchReleasingCallbacks(false);
    invokeFinalCallbacksWithData(QByteArray(), error, true);
}

void NetHTTPUploadFetcher::uploadNextChunkWithOffset(quint64 offset) {
    uploadNextChunkWithOffset(offset, properties_);
}

std::optional<QByteArray> NetHTTPUploadFetcher::readChunk(quint64 offset, quint64 length) {
    if (!uploadFileHandle_)
        return uploadData_.mid(qsizetype(offset), qsizetype(length));
    QByteArray buffer(qsizetype(length), Qt::Uninitialized);
    quint64 done = 0;
    while (done < length) {
        const ssize_t n = ::pread(uploadFileHandle_->get(), buffer.data() + done, size_t(length - done),
                                  off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return std::nullopt; // a shorter body than announced would corrupt the upload
        done += quint64(n);
    }
    return buffer;
}

bool NetHTTPUploadFetcher::failsFileCheck() {
    const QString problem = uploadFileCheck_ ? uploadFileCheck_() : QString();
    if (problem.isEmpty())
        return false;
    invokeFinalCallbacksWithData(
        QByteArray(),
        platform::Error(QString::fromLatin1(kNetHTTPFetcherErrorDomain),
                        kNetHTTPFetcherErrorUploadFileChanged,
                        {{QLatin1String(platform::kLocalizedDescriptionKey), problem}}),
        false);
    return true;
}

void NetHTTPUploadFetcher::uploadNextChunkWithOffset(quint64 offset, const QVariantMap& fetcherProperties) {
    if (failsFileCheck())
        return;
    const qint64 length = fullUploadLength();
    if (length < 0) {
        invokeFinalCallbacksWithData(QByteArray(),
                                     statusError(kNetHTTPFetcherErrorFileHandleException,
                                                 QStringLiteral("The upload file cannot be read.")),
                                     false);
        return;
    }
    const quint64 fullLength = quint64(length);
    if (offset != kQueryOffset && offset > fullLength) {
        invokeFinalCallbacksWithData(QByteArray(),
                                     statusError(kNetHTTPFetcherErrorFileHandleException,
                                                 QStringLiteral("The server holds more than was sent.")),
                                     false);
        return;
    }
    // With every byte at the server, only a status query can collect the final reply.
    const bool query = offset == kQueryOffset || offset == fullLength;
    QByteArray body("");
    QByteArray range = "bytes */" + QByteArray::number(fullLength);
    if (!query) {
        const quint64 rest = fullLength - offset;
        const quint64 size = chunkLengthForRest(rest, chunkSize_);
        const std::optional<QByteArray> read = readChunk(offset, size);
        if (!read) {
            invokeFinalCallbacksWithData(QByteArray(),
                                         statusError(kNetHTTPFetcherErrorFileHandleException,
                                                     QStringLiteral("The upload file cannot be read.")),
                                         false);
            return;
        }
        body = *read;
        range = "bytes " + QByteArray::number(offset) + '-' + QByteArray::number(offset + size - 1) + '/' +
                QByteArray::number(fullLength);
    }
    isQueryingAtEnd_ = query && offset == fullLength;
    currentOffset_ = query ? 0 : offset;

    Request chunkRequest(locationURL_);
    chunkRequest.httpMethod = "PUT";
    if (request_ && !request_->value("User-Agent").isEmpty())
        chunkRequest.setValue("User-Agent", request_->value("User-Agent"));
    chunkRequest.setValue("Content-Range", range);
    chunkRequest.setValue("Content-Length", QByteArray::number(body.size()));
    chunkRequest.setValue("Content-Type", uploadMIMEType_.toLatin1());
    request_ = std::make_shared<Request>(chunkRequest);

    auto chunk = NetHTTPFetcher::fetcherWithRequest(chunkRequest);
    chunk->setRunLoopModes(runLoopModes_);
    if (!comment_.isEmpty())
        chunk->setComment(QStringLiteral("%1 (%2)").arg(comment_, QString::fromLatin1(range)));
    chunk->setProperties(fetcherProperties);
    chunk->setPostData(body);
    chunk->setRetryEnabled(isRetryEnabled_);
    chunk->setMaxRetryInterval(maxRetryInterval_);
    if (isRetryEnabled_ && minRetryInterval_ > 0)
        chunk->setMinRetryInterval(minRetryInterval_);
    chunk->setSentDataSelector(sentDataSelector());
    chunk->setCookieStorageMethod(cookieStorageMethod_);
    const std::weak_ptr<NetHTTPUploadFetcher> weak = self();
    if (isRetryEnabled_)
        chunk->setRetrySelector(
            [weak](NetHTTPFetcher& fetcher, bool suggested, const platform::Error& error) {
                auto upload = weak.lock();
                return upload ? upload->chunkFetcherWillRetry(fetcher, suggested, error) : false;
            });
    chunkFetcher_ = chunk;
    isBeginningChunk_ = true;
    const bool began = chunk->beginFetchWithDelegate(
        self(), [weak](NetHTTPFetcher& fetcher, const QByteArray& data, const OptionalError& error) {
            if (auto upload = weak.lock())
                upload->chunkFetcherFinished(fetcher, data, error);
        });
    isBeginningChunk_ = false;
    if (!began) {
        destroyChunkFetcher();
        invokeFinalCallbacksWithData(QByteArray(),
                                     platform::Error(QString::fromLatin1(kNetHTTPFetcherErrorDomain),
                                                     kNetHTTPFetcherErrorChunkUploadFailed),
                                     true);
    }
}

void NetHTTPUploadFetcher::chunkFetcherFinished(NetHTTPFetcher& chunkFetcher, const QByteArray& data,
                                                const OptionalError& error) {
    if (isBeginningChunk_ || &chunkFetcher != chunkFetcher_.get())
        return;
    const std::shared_ptr<NetHTTPUploadFetcher> keep = self();
    statusCode_ = chunkFetcher.statusCode();
    responseHeaders_ = chunkFetcher.responseHeaders();
    if (error && error->code == kNetHTTPFetcherStatusResumeIncomplete &&
        error->domain == QLatin1String(kNetHTTPFetcherStatusDomain)) {
        resumeIncompleteUpload(chunkFetcher);
        return;
    }
    destroyChunkFetcher();
    if (error) {
        // The step's own details (a library's description) go with it; none is made up for a bare status,
        // so that the service's error document in `data` is what explains it.
        invokeFinalCallbacksWithData(
            data,
            platform::Error(QString::fromLatin1(kNetHTTPFetcherStatusDomain), error->code, error->userInfo),
            false);
        return;
    }
    // The server has stored what was read: a file changed meanwhile makes it another than the one to send.
    if (failsFileCheck())
        return;
    downloadedData_ = data;
    if (needsManualProgress_) {
        currentOffset_ = quint64(fullUploadLength()) + initialBodyLength_;
        reportProgressManually();
    }
    invokeFinalCallbacksWithData(data, std::nullopt, true);
}

void NetHTTPUploadFetcher::resumeIncompleteUpload(NetHTTPFetcher& chunkFetcher) {
    static const QRegularExpression rangePattern(QStringLiteral("^bytes=(\\d+)-(\\d+)$"));
    const QByteArray range = responseHeaders_ ? responseHeaders_->value("Range").trimmed() : QByteArray();
    const QRegularExpressionMatch match = rangePattern.match(QString::fromLatin1(range));
    bool ok = false;
    const quint64 last = match.hasMatch() ? match.captured(2).toULongLong(&ok) : 0;
    const quint64 next = ok && last < kQueryOffset - 1 ? last + 1 : 0;
    if (isQueryingAtEnd_ && next == quint64(fullUploadLength())) {
        // Asked at the end and told "incomplete" again: going on would ask forever.
        destroyChunkFetcher();
        invokeFinalCallbacksWithData(QByteArray(), statusError(kNetHTTPFetcherStatusResumeIncomplete), false);
        return;
    }
    currentOffset_ = next;
    reportProgressManually();

    const QByteArray location =
        responseHeaders_ ? responseHeaders_->value("Location").trimmed() : QByteArray();
    if (!location.isEmpty()) {
        const QUrl resolved = locationURL_.resolved(QUrl::fromEncoded(location));
        if (!acceptsLocation(resolved, locationURL_)) {
            destroyChunkFetcher();
            invokeFinalCallbacksWithData(QByteArray(),
                                         statusError(kNetHTTPFetcherStatusUploadWithoutLocation), false);
            return;
        }
        changeLocation(resolved);
    }
    const QVariantMap fetcherProperties = chunkFetcher.properties();
    destroyChunkFetcher();
    uploadNextChunkWithOffset(next, fetcherProperties);
}

bool NetHTTPUploadFetcher::chunkFetcherWillRetry(NetHTTPFetcher& chunkFetcher, bool suggestedWillRetry,
                                                 const platform::Error& error) {
    if (error.domain == QLatin1String(kNetHTTPFetcherStatusDomain) &&
        error.code == kNetHTTPFetcherStatusResumeIncomplete)
        return false;
    bool willRetry = suggestedWillRetry;
    if (RetrySelector selector = retrySel_)
        willRetry = selector(*this, willRetry, error);
    if (RetryBlock block = retryBlock_)
        willRetry = block(willRetry, error);
    if (willRetry) {
        // Where the server stands is in doubt: the retry asks first, and its 308 says where to go on from.
        const std::shared_ptr<Request>& request = chunkFetcher.mutableRequest();
        request->setValue("Content-Range", "bytes */" + QByteArray::number(fullUploadLength()));
        request->setValue("Content-Length", "0");
        chunkFetcher.setPostData(QByteArray(""));
        currentOffset_ = 0;
        isQueryingAtEnd_ = false;
    }
    return willRetry;
}

NetHTTPFetcher::SentDataSelector NetHTTPUploadFetcher::sentDataSelector() const {
    if ((!delegateSentDataSEL_ && !sentDataBlock_) || needsManualProgress_)
        return nullptr;
    const std::weak_ptr<NetHTTPUploadFetcher> weak = std::static_pointer_cast<NetHTTPUploadFetcher>(
        std::const_pointer_cast<NetHTTPFetcher>(shared_from_this()));
    return [weak](NetHTTPFetcher& reporter, qint64 sent, qint64 totalSent, qint64) {
        if (auto upload = weak.lock())
            upload->uploadFetcherDidSendBytes(reporter, sent, totalSent);
    };
}

void NetHTTPUploadFetcher::connectionDidSendBodyData(platform::net::UrlConnection&, qint64 written,
                                                     qint64 totalWritten, qint64) {
    if (sentDataSelector())
        uploadFetcherDidSendBytes(*this, written, totalWritten);
}

void NetHTTPUploadFetcher::uploadFetcherDidSendBytes(NetHTTPFetcher&, qint64 bytesSent,
                                                     qint64 totalBytesSent) {
    const qint64 total = totalBytesSent + qint64(initialBodySent_) + qint64(currentOffset_);
    const qint64 expected = fullUploadLength() + qint64(initialBodyLength_);
    if (SentDataSelector selector = delegateSentDataSEL_)
        selector(*this, bytesSent, total, expected);
    if (SentDataBlock block = sentDataBlock_)
        block(bytesSent, total, expected);
}

void NetHTTPUploadFetcher::reportProgressManually() {
    if (needsManualProgress_)
        uploadFetcherDidSendBytes(*this, 0, 0);
}

void NetHTTPUploadFetcher::invokeFinalCallbacksWithData(const QByteArray& data, const OptionalError& error,
                                                        bool shouldInvalidateLocation) {
    const std::shared_ptr<NetHTTPUploadFetcher> keep = self();
    if (shouldInvalidateLocation)
        changeLocation(QUrl());
    if (FinishedSelector selector = delegateFinishedSEL_)
        selector(*this, data, error);
    if (CompletionBlock block = completionBlock_)
        block(data, error);
    locationChangeBlock_ = nullptr;
    uploadFileCheck_ = nullptr;
    delegateFinishedSEL_ = nullptr;
    delegateSentDataSEL_ = nullptr;
    releaseCallbacks();
}

void NetHTTPUploadFetcher::pauseFetching() {
    isPaused_ = true;
    destroyChunkFetcher();
}

void NetHTTPUploadFetcher::resumeFetching() {
    if (!isPaused_)
        return;
    isPaused_ = false;
    uploadNextChunkWithOffset(kQueryOffset);
}

void NetHTTPUploadFetcher::stopFetching() {
    destroyChunkFetcher();
    NetHTTPFetcher::stopFetching();
    delegateFinishedSEL_ = nullptr;
    delegateSentDataSEL_ = nullptr;
}

void NetHTTPUploadFetcher::destroyChunkFetcher() {
    if (std::shared_ptr<NetHTTPFetcher> chunk = std::move(chunkFetcher_)) {
        chunk->stopFetching();
        chunk->setProperties({});
    }
}
