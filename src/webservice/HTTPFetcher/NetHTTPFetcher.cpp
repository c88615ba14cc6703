#include "webservice/HTTPFetcher/NetHTTPFetcher.h"

#include "platform/foundation/LoopContext.h"
#include "platform/foundation/NotificationCenter.h"
#include "webservice/HTTPFetcher/NetCookieStorage.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <cstdlib>
#include <mutex>
#include <set>
#include <utility>
#include <vector>

namespace {

std::mutex connectionClassMutex;
platform::net::UrlConnection::Factory& installedConnectionClass() {
    static platform::net::UrlConnection::Factory factory;
    return factory;
}

// A running fetcher holds itself until its connection ends on the main loop. When the application ends,
// that loop has stopped for good: what still runs is stopped then, or it would hold itself (and its
// connection) forever.
struct RunningFetchers {
    std::mutex mutex;
    std::set<std::weak_ptr<NetHTTPFetcher>, std::owner_less<>> fetchers;
};

RunningFetchers& runningFetchers() {
    static RunningFetchers running;
    return running;
}

void stopRunningFetchers() {
    std::vector<std::shared_ptr<NetHTTPFetcher>> running;
    {
        std::lock_guard lock(runningFetchers().mutex);
        for (const auto& weak : std::exchange(runningFetchers().fetchers, {}))
            if (auto fetcher = weak.lock())
                running.push_back(std::move(fetcher));
    }
    for (const auto& fetcher : running)
        if (fetcher->isFetching())
            fetcher->stopFetching();
}

void stopAtApplicationEnd(const std::shared_ptr<NetHTTPFetcher>& fetcher) {
    static std::once_flag routineAdded;
    std::call_once(routineAdded, [] { qAddPostRoutine(stopRunningFetchers); });
    RunningFetchers& running = runningFetchers();
    std::lock_guard lock(running.mutex);
    std::erase_if(running.fetchers, [](const auto& weak) { return weak.expired(); });
    running.fetchers.insert(fetcher);
}

} // namespace

std::shared_ptr<NetHTTPFetcher> NetHTTPFetcher::fetcherWithRequest(const std::optional<Request>& request) {
    return std::make_shared<NetHTTPFetcher>(request);
}

std::shared_ptr<NetHTTPFetcher> NetHTTPFetcher::fetcherWithURL(const QUrl& url) {
    return fetcherWithRequest(Request(url));
}

std::shared_ptr<NetHTTPFetcher> NetHTTPFetcher::fetcherWithURLString(const QString& text) {
    return fetcherWithURL(QUrl(text));
}

NetHTTPFetcher::NetHTTPFetcher(const std::optional<Request>& request)
    : request_(request ? std::make_shared<Request>(*request) : nullptr) {
    setCookieStorageMethod(kNetHTTPFetcherCookieStorageMethodStatic);
}

NetHTTPFetcher::~NetHTTPFetcher() {
    removeTemporaryDownloadFile();
}

std::shared_ptr<NetCookieStorage> NetHTTPFetcher::staticCookieStorage() {
    static const auto jar = std::make_shared<NetCookieStorage>();
    return jar;
}

platform::net::UrlConnection::Factory NetHTTPFetcher::connectionClass() {
    std::lock_guard lock(connectionClassMutex);
    if (installedConnectionClass())
        return installedConnectionClass();
    return &platform::net::UrlConnection::create;
}

void NetHTTPFetcher::setConnectionClass(platform::net::UrlConnection::Factory factory) {
    std::lock_guard lock(connectionClassMutex);
    installedConnectionClass() = std::move(factory);
}

QString NetHTTPFetcher::description() const {
    return QStringLiteral("NetHTTPFetcher %1 (%2)")
        .arg(QString::number(reinterpret_cast<quintptr>(this), 16),
             request_ ? request_->url.toString() : QStringLiteral("(null)"));
}

bool NetHTTPFetcher::isBusy() const {
    return connection_ || retryTimer_;
}

void NetHTTPFetcher::reportBusy(const FinishedSelector& selector, const CompletionBlock& block) {
    // Only the callbacks of the refused begin hear of it: the running fetch keeps its own callbacks, its
    // place in the service and its download file.
    const platform::Error busy(QString::fromLatin1(kNetHTTPFetcherErrorDomain),
                               kNetHTTPFetcherErrorDownloadFailed);
    if (selector)
        selector(*this, QByteArray(), busy);
    if (block)
        block(QByteArray(), busy);
}

bool NetHTTPFetcher::beginFetchWithDelegate(Delegate delegate, FinishedSelector finishedSelector) {
    if (isBusy()) {
        reportBusy(finishedSelector, nullptr);
        return false;
    }
    delegate_ = std::move(delegate);
    finishedSel_ = std::move(finishedSelector);
    return beginFetchMayDelay(true, true);
}

bool NetHTTPFetcher::beginFetchWithCompletionHandler(CompletionBlock handler) {
    if (isBusy()) {
        reportBusy(nullptr, handler);
        return false;
    }
    completionBlock_ = std::move(handler);
    return beginFetchWithDelegate(delegate_, nullptr);
}

bool NetHTTPFetcher::isHTTPGetAfterBody() {
    const QByteArray override = request_->value("X-HTTP-Method-Override");
    bool isGet = (override.isNull() ? request_->method() : override) == "GET";
    const bool hasBody = !postData_.isNull() || postStream_;
    if (hasBody) {
        if (isGet) {
            request_->httpMethod = "POST";
            isGet = false;
        }
        if (!postData_.isNull()) {
            request_->httpBody = postData_;
            request_->httpBodyStream.reset();
        } else {
            request_->httpBody = QByteArray();
            request_->httpBodyStream = postStream_;
        }
    }
    return isGet;
}

bool NetHTTPFetcher::beginFetchMayDelay(bool mayDelay, bool mayAuthorize) {
    if (connection_ || !request_) {
        failToBeginFetchWithError(std::nullopt);
        return false;
    }
    const std::shared_ptr<NetHTTPFetcher> self = shared_from_this();
    downloadedData_ = QByteArray();
    downloadedLength_ = 0;

    if (mayDelay) {
        if (const auto fetcherService = service();
            fetcherService && !fetcherService->fetcherShouldBeginFetching(self))
            return true;
    }
    const bool isGet = isHTTPGetAfterBody();
    setupStreamLogging();

    if (mayAuthorize && authorizer_ && !authorizer_->isAuthorizedRequest(*request_)) {
        std::weak_ptr<NetHTTPFetcher> weak = self;
        authorizer_->authorizeRequest(request_, self,
                                      [weak](NetFetcherAuthorizationProtocol&,
                                             const std::shared_ptr<Request>& request,
                                             const OptionalError& error) {
                                          if (auto fetcher = weak.lock())
                                              fetcher->authorizerFinished(request, error);
                                      });
        return true;
    }
    if (fetchHistory_)
        fetchHistory_->updateRequest(*request_, isGet);
    if (isRetryEnabled_ && maxRetryInterval_ <= -1.0)
        maxRetryInterval_ = (isGet || request_->method() == "HEAD") ? 60.0 : 600.0;
    addCookiesToRequest(*request_, false);

    if (!downloadPath_.isEmpty() && !openTemporaryDownloadFile())
        return false;

    // Bodies kept in memory are bounded; a body meant for a file streams into it.
    request_->maximumReplyLength = downloadPath_.isEmpty() ? kMaximumDownloadedDataLength : -1;
    connection_ = connectionClass()(*request_, *this);
    hasConnectionEnded_ = false;
    if (!connection_) {
        failToBeginFetchWithError(std::nullopt);
        return false;
    }
    if (downloadPath_.isEmpty())
        downloadedData_ = QByteArray("");
    selfHold_ = self;
    stopAtApplicationEnd(self);
    isStopNotificationNeeded_ = true;
    connection_->start();
    // Last: an observer may stop the fetcher.
    postNotification(kNetHTTPFetcherStartedNotification);
    return true;
}

void NetHTTPFetcher::authorizerFinished(const std::shared_ptr<Request>&, const OptionalError& error) {
    if (error)
        failToBeginFetchWithError(error);
    else
        beginFetchMayDelay(false, false);
}

void NetHTTPFetcher::failToBeginFetchWithError(const OptionalError& error) {
    const std::shared_ptr<NetHTTPFetcher> self = shared_from_this();
    const platform::Error reported = error ? *error
                                           : platform::Error(QString::fromLatin1(kNetHTTPFetcherErrorDomain),
                                                             kNetHTTPFetcherErrorDownloadFailed);
    reportFailureToBegin(reported);
    if (const auto fetcherService = service())
        fetcherService->fetcherDidStop(*this);
    authorizer_.reset();
    removeTemporaryDownloadFile();
}

void NetHTTPFetcher::reportFailureToBegin(const platform::Error& error) {
    invokeFinishedCallbacks(QByteArray(), error);
    releaseCallbacks();
}

void NetHTTPFetcher::invokeFinishedCallbacks(const QByteArray& data, const OptionalError& error) {
    const std::shared_ptr<NetHTTPFetcher> self = shared_from_this();
    if (FinishedSelector selector = finishedSel_)
        selector(*this, data, error);
    if (CompletionBlock block = completionBlock_)
        block(data, error);
}

void NetHTTPFetcher::releaseCallbacks() {
    delegate_.reset();
    finishedSel_ = nullptr;
    completionBlock_ = nullptr;
    sentDataBlock_ = nullptr;
    receivedDataBlock_ = nullptr;
    retryBlock_ = nullptr;
}

void NetHTTPFetcher::stopFetching() {
    stopFetchReleasingCallbacks(true);
}

void NetHTTPFetcher::stopFetchReleasingCallbacks(bool shouldReleaseCallbacks) {
    const std::shared_ptr<NetHTTPFetcher> self = shared_from_this();
    destroyRetryTimer();
    if (std::unique_ptr<platform::net::UrlConnection> connection = std::move(connection_)) {
        if (!hasConnectionEnded_)
            connection->cancel();
    }
    sendStopNotificationIfNeeded();
    if (authorizer_)
        authorizer_->stopAuthorization();
    if (shouldReleaseCallbacks) {
        releaseCallbacks();
        authorizer_.reset();
    }
    if (const auto fetcherService = service())
        fetcherService->fetcherDidStop(*this);
    removeTemporaryDownloadFile();
    downloadFileHandle_.reset();
    selfHold_.reset();
}

void NetHTTPFetcher::sendStopNotificationIfNeeded() {
    if (!isStopNotificationNeeded_)
        return;
    isStopNotificationNeeded_ = false;
    postNotification(kNetHTTPFetcherStoppedNotification);
}

void NetHTTPFetcher::postNotification(const char* name) {
    platform::NotificationCenter::defaultCenter().post(QString::fromLatin1(name), notificationObject());
}

bool NetHTTPFetcher::isFetching() const {
    if (connection_ || retryTimer_)
        return true;
    if (authorizer_ && request_ && authorizer_->isAuthorizingRequest(*request_))
        return true;
    const auto fetcherService = service();
    return fetcherService && fetcherService->isDelayingFetcher(*this);
}

bool NetHTTPFetcher::waitForCompletionWithTimeout(double seconds) {
    const QDeadlineTimer deadline(qint64(seconds * 1000.0));
    const auto done = [this] {
        return (!connection_ || hasConnectionEnded_) && !retryTimer_ && !completionBlock_ && !delegate_;
    };
    QEventLoop loop;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (done() || deadline.hasExpired())
            loop.quit();
    });
    tick.start(5);
    if (!done())
        loop.exec();
    return done();
}

qint64 NetHTTPFetcher::statusCode() const {
    return response_ ? response_->statusCode : 0;
}

std::optional<platform::net::HttpHeaders> NetHTTPFetcher::responseHeaders() const {
    if (!response_ || !response_->isHttp())
        return std::nullopt;
    return response_->headers;
}

void NetHTTPFetcher::setFetchHistory(std::shared_ptr<NetHTTPFetchHistoryProtocol> history) {
    fetchHistory_ = std::move(history);
    if (fetchHistory_)
        setCookieStorageMethod(kNetHTTPFetcherCookieStorageMethodFetchHistory);
    else if (cookieStorageMethod_ == kNetHTTPFetcherCookieStorageMethodFetchHistory)
        setCookieStorageMethod(kNetHTTPFetcherCookieStorageMethodStatic);
}

void NetHTTPFetcher::setCookieStorageMethod(qint64 method) {
    cookieStorageMethod_ = method;
    switch (method) {
    case kNetHTTPFetcherCookieStorageMethodStatic:
        cookieStorage_ = staticCookieStorage();
        break;
    case kNetHTTPFetcherCookieStorageMethodFetchHistory:
        cookieStorage_ = fetchHistory_ ? fetchHistory_->cookieStorage() : nullptr;
        break;
    default:
        cookieStorage_.reset();
        break;
    }
    if (request_)
        request_->httpShouldHandleCookies = method == kNetHTTPFetcherCookieStorageMethodSystemDefault;
}

void NetHTTPFetcher::setProperty(const QString& key, const QVariant& value) {
    if (value.isValid())
        properties_.insert(key, value);
    else
        properties_.remove(key);
}

void NetHTTPFetcher::addPropertiesFromDictionary(const QVariantMap& values) {
    for (auto it = values.begin(); it != values.end(); ++it)
        properties_.insert(it.key(), it.value());
}
