// The fetcher's side of the connection: redirects, challenges, the reply and its body, the download file and
// cookies.

#include "webservice/HTTPFetcher/NetHTTPFetcher.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using platform::net::UrlResponse;

namespace {

platform::Error posixError(int code, const QString& what) {
    QVariantMap info;
    info.insert(QLatin1String(platform::kLocalizedDescriptionKey),
                QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(code))));
    return platform::Error(QString::fromLatin1(kNetPOSIXErrorDomain), code, info);
}

bool writeAll(int fd, const QByteArray& data) {
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + done, size_t(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

QVariantMap describeChallenge(const platform::net::AuthenticationChallenge& challenge) {
    return {{QStringLiteral("isProxy"), challenge.isProxy},
            {QStringLiteral("scheme"), challenge.scheme},
            {QStringLiteral("realm"), challenge.realm},
            {QStringLiteral("host"), challenge.host},
            {QStringLiteral("port"), challenge.port},
            {QStringLiteral("previousFailureCount"), challenge.previousFailureCount}};
}

} // namespace

bool NetHTTPFetcher::openTemporaryDownloadFile() {
    // Made exclusively, readable by the user alone, beside the destination so that the final move is a
    // rename.
    const QString folder = QFileInfo(downloadPath_).absolutePath();
    QByteArray pattern = QFile::encodeName(folder + QStringLiteral("/.nethttpfetcher-XXXXXX"));
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        failToBeginFetchWithError(
            posixError(errno, QStringLiteral("Cannot create a download file in %1").arg(folder)));
        return false;
    }
    ::fchmod(fd, 0600);
    temporaryDownloadPath_ = QFile::decodeName(pattern);
    downloadFileHandle_ = std::make_shared<platform::UniqueFd>(fd);
    return true;
}

void NetHTTPFetcher::removeTemporaryDownloadFile() {
    if (temporaryDownloadPath_.isEmpty())
        return;
    downloadFileHandle_.reset();
    QFile::remove(temporaryDownloadPath_);
    temporaryDownloadPath_.clear();
}

void NetHTTPFetcher::addCookiesToRequest(Request& request, bool replace) {
    if (cookieStorageMethod_ != kNetHTTPFetcherCookieStorageMethodStatic &&
        cookieStorageMethod_ != kNetHTTPFetcherCookieStorageMethodFetchHistory)
        return;
    const QByteArray cookies =
        cookieStorage_ ? platform::net::Cookie::requestHeaderValue(cookieStorage_->cookiesForURL(request.url))
                       : QByteArray();
    // Rebuilt, never appended to: a retry or a redirect must not carry the cookies of an earlier attempt or
    // host.
    if (!cookies.isNull())
        request.setValue("Cookie", cookies);
    else if (replace)
        request.headers.remove("Cookie");
}

void NetHTTPFetcher::takeCookiesFromResponse(const UrlResponse& response) {
    if (!cookieStorage_ || response.headers.isEmpty())
        return;
    if (cookieStorageMethod_ != kNetHTTPFetcherCookieStorageMethodStatic &&
        cookieStorageMethod_ != kNetHTTPFetcherCookieStorageMethodFetchHistory)
        return;
    const QList<platform::net::Cookie> cookies =
        platform::net::Cookie::cookiesWithResponseHeaderFields(response.headers, response.url);
    if (!cookies.isEmpty())
        cookieStorage_->setCookies(cookies);
}

std::optional<NetHTTPFetcher::Request>
NetHTTPFetcher::connectionWillSendRequest(platform::net::UrlConnection&, const Request& proposed,
                                          const UrlResponse& redirectResponse) {
    takeCookiesFromResponse(redirectResponse);
    // 308 is the resumable upload's "resume incomplete", never a redirect: its "Location" is for the upload.
    if (redirectResponse.statusCode == kNetHTTPFetcherStatusResumeIncomplete)
        return std::nullopt;
    Request next = *request_;
    // Only an upgrade from http to https changes the scheme: a redirect never goes back to plain HTTP.
    QUrl url = proposed.url;
    const QString current = request_->url.scheme().toLower();
    const bool upgrade =
        current == u"http" && url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
    url.setScheme(upgrade ? QStringLiteral("https") : current);
    for (const auto& field : proposed.headers.all())
        next.headers.set(field.first, field.second);
    if (!platform::net::isSameOrigin(request_->url, url)) {
        next.headers.remove("Authorization");
        next.headers.remove("Proxy-Authorization");
    }
    next.url = url;
    addCookiesToRequest(next, true);
    response_ = redirectResponse;
    logRedirectToRequest(next);
    *request_ = next;
    return next;
}

platform::net::ChallengeAnswer
NetHTTPFetcher::connectionDidReceiveChallenge(platform::net::UrlConnection&,
                                              const platform::net::AuthenticationChallenge& challenge) {
    if (challenge.previousFailureCount < 3) {
        const auto& answer = challenge.isProxy && proxyCredential_ ? proxyCredential_ : credential_;
        if (answer)
            return {platform::net::ChallengeAnswer::UseCredential, *answer};
    }
    QVariantMap info;
    info.insert(QLatin1String(kNetHTTPFetcherErrorChallengeKey), describeChallenge(challenge));
    failConnection(platform::Error(QString::fromLatin1(kNetHTTPFetcherErrorDomain),
                                   kNetHTTPFetcherErrorAuthenticationChallengeFailed, info));
    return {platform::net::ChallengeAnswer::Cancel, {}};
}

void NetHTTPFetcher::connectionDidReceiveResponse(platform::net::UrlConnection&,
                                                  const UrlResponse& response) {
    // Only the body of the last reply of a redirect chain is kept.
    if (downloadFileHandle_) {
        ::ftruncate(downloadFileHandle_->get(), 0);
        ::lseek(downloadFileHandle_->get(), 0, SEEK_SET);
    } else {
        downloadedData_ = QByteArray("");
    }
    downloadedLength_ = 0;
    response_ = response;
    takeCookiesFromResponse(response);
}

void NetHTTPFetcher::connectionDidReceiveData(platform::net::UrlConnection&, const QByteArray& data) {
    const std::shared_ptr<NetHTTPFetcher> self = shared_from_this();
    if (downloadFileHandle_) {
        if (!writeAll(downloadFileHandle_->get(), data)) {
            QVariantMap info;
            info.insert(QLatin1String(platform::kLocalizedDescriptionKey),
                        QString::fromLocal8Bit(std::strerror(errno)));
            failConnection(platform::Error(QString::fromLatin1(kNetHTTPFetcherStatusDomain),
                                           kNetHTTPFetcherErrorFileHandleException, info));
            return;
        }
        downloadedLength_ = quint64(::lseek(downloadFileHandle_->get(), 0, SEEK_CUR));
    } else {
        downloadedData_.append(data);
        downloadedLength_ = quint64(downloadedData_.size());
    }
    const QByteArray soFar = downloadFileHandle_ ? QByteArray() : downloadedData_;
    if (ReceivedDataSelector selector = receivedDataSel_)
        selector(*this, soFar);
    if (ReceivedDataBlock block = receivedDataBlock_)
        block(soFar);
}

void NetHTTPFetcher::connectionDidSendBodyData(platform::net::UrlConnection&, qint64 written,
                                               qint64 totalWritten, qint64 totalExpected) {
    const std::shared_ptr<NetHTTPFetcher> self = shared_from_this();
    if (SentDataSelector selector = sentDataSelector())
        selector(*this, written, totalWritten, totalExpected);
    if (SentDataBlock block = sentDataBlock_)
        block(written, totalWritten, totalExpected);
}

qint64 NetHTTPFetcher::statusAfterHandlingNotModifiedError() {
    qint64 status = statusCode();
    if (status != kNetHTTPFetcherStatusNotModified || !fetchHistory_ ||
        !fetchHistory_->shouldCacheETaggedData())
        return status;
    const QByteArray cached = fetchHistory_->cachedDataForRequest(*request_);
    if (cached.isNull())
        return status;
    if (downloadFileHandle_) {
        const int fd = downloadFileHandle_->get();
        if (::lseek(fd, 0, SEEK_SET) != 0 || !writeAll(fd, cached) || ::ftruncate(fd, cached.size()) != 0)
            return kNetHTTPFetcherErrorFileHandleException;
        downloadedLength_ = quint64(cached.size());
    } else {
        downloadedData_ = cached;
        downloadedLength_ = quint64(cached.size());
    }
    return 200;
}

void NetHTTPFetcher::connectionDidFinishLoading(platform::net::UrlConnection&) {
    hasConnectionEnded_ = true;
    if (fetchHistory_ && response_) {
        if (downloadPath_.isEmpty())
            fetchHistory_->updateFetchHistoryWithRequest(*request_, *response_, downloadedData_);
        else
            fetchHistory_->removeCachedDataForRequest(*request_);
    }
    const std::shared_ptr<NetHTTPFetcher> self = shared_from_this();
    logFetchWithError(std::nullopt);
    const qint64 status = statusAfterHandlingNotModifiedError();
    sendStopNotificationIfNeeded();

    OptionalError error;
    if (status < 0 || status > 299) {
        if (shouldRetryNowForStatus(status, std::nullopt)) {
            beginRetryTimer();
            return;
        }
        error = platform::Error(QString::fromLatin1(kNetHTTPFetcherStatusDomain), status);
    } else if (!downloadPath_.isEmpty()) {
        const int closed = downloadFileHandle_ ? downloadFileHandle_->reset() : 0;
        downloadFileHandle_.reset();
        // rename() replaces the destination in one step: it is never missing or half written.
        if (closed != 0 || std::rename(QFile::encodeName(temporaryDownloadPath_).constData(),
                                       QFile::encodeName(downloadPath_).constData()) != 0)
            error = posixError(errno, QStringLiteral("Cannot move the download to %1").arg(downloadPath_));
        else
            temporaryDownloadPath_.clear();
    }
    invokeFinishedCallbacks(downloadPath_.isEmpty() ? downloadedData_ : QByteArray(), error);
    stopFetchReleasingCallbacks(shouldReleaseCallbacksUponCompletion());
}

void NetHTTPFetcher::failConnection(const platform::Error& error) {
    if (!connection_)
        return;
    if (!hasConnectionEnded_) {
        connection_->cancel();
        hasConnectionEnded_ = true;
    }
    connectionDidFailWithError(*connection_, error);
}

void NetHTTPFetcher::connectionDidFailWithError(platform::net::UrlConnection&, const platform::Error& error) {
    if (!connection_)
        return;
    hasConnectionEnded_ = true;
    // Part of a reply is no reply; one that was too large must not stay in memory.
    downloadedData_ = QByteArray();
    downloadedLength_ = 0;
    logFetchWithError(error);
    sendStopNotificationIfNeeded();
    const std::shared_ptr<NetHTTPFetcher> self = shared_from_this();
    if (shouldRetryNowForStatus(0, error)) {
        beginRetryTimer();
        return;
    }
    reportConnectionFailure(error);
}

void NetHTTPFetcher::reportConnectionFailure(const platform::Error& error) {
    invokeFinishedCallbacks(QByteArray(), error);
    stopFetchReleasingCallbacks(true);
}
