#pragma once

#include "platform/foundation/Error.h"
#include "platform/foundation/UniqueFd.h"
#include "platform/net/UrlConnection.h"
#include "webservice/HTTPFetcher/NetFetcherErrors.h"
#include "webservice/HTTPFetcher/NetFetcherProtocols.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>

class NetCookieStorage;
class NetReadMonitorInputStream;
class QIODevice;
class QTimer;

namespace platform {
class LoopContext;
}

// Where a fetcher takes its cookies from.
enum NetHTTPFetcherCookieStorageMethod : qint64 {
    kNetHTTPFetcherCookieStorageMethodStatic = 0,        // the class-wide jar
    kNetHTTPFetcherCookieStorageMethodFetchHistory = 1,  // the fetch history's jar
    kNetHTTPFetcherCookieStorageMethodSystemDefault = 2, // the URL-loading layer's shared store
    kNetHTTPFetcherCookieStorageMethodNone = 3,
};

// One HTTP(S) request, reported once: to the finished selector and then the completion block, on the thread
// that began it. Around the bare connection it chooses GET or POST from the body, hands the request to an
// authorizer, adds the ETag and cookies, downloads into memory or a file, follows redirects, turns a status
// of 300 or more into an error, retries transient failures with back-off, and takes its turn in a fetcher
// service's per-host queue.
//
// Fetchers are shared objects (made by the factories) that keep themselves alive while a transfer, a retry
// timer or an authorization is pending: a caller may drop its reference right after beginning. A callback may
// stop or drop the fetcher. Selectors are the callbacks that also receive the fetcher; the delegate is the
// object they belong to, which the fetcher keeps alive until it releases its callbacks.
class NetHTTPFetcher : public std::enable_shared_from_this<NetHTTPFetcher>,
                       protected platform::net::UrlConnectionDelegate {
public:
    using Request = platform::net::UrlRequest;
    using OptionalError = platform::OptionalError;
    using Delegate = std::shared_ptr<void>;
    using FinishedSelector =
        std::function<void(NetHTTPFetcher&, const QByteArray& data, const OptionalError&)>;
    using SentDataSelector =
        std::function<void(NetHTTPFetcher&, qint64 bytesWritten, qint64 totalWritten, qint64 totalExpected)>;
    using ReceivedDataSelector = std::function<void(NetHTTPFetcher&, const QByteArray& dataSoFar)>;
    using RetrySelector =
        std::function<bool(NetHTTPFetcher&, bool suggestedWillRetry, const platform::Error&)>;
    using CompletionBlock = std::function<void(const QByteArray& data, const OptionalError&)>;
    using SentDataBlock = std::function<void(qint64 bytesWritten, qint64 totalWritten, qint64 totalExpected)>;
    using ReceivedDataBlock = std::function<void(const QByteArray& dataSoFar)>;
    using RetryBlock = std::function<bool(bool suggestedWillRetry, const platform::Error&)>;

    // The most decoded bytes of a reply the fetcher keeps in memory (the service's documents are small); a
    // larger reply fails as too large. Downloads into a file have no such limit.
    static constexpr qint64 kMaximumDownloadedDataLength = platform::net::kDefaultMaximumReplyLength;

    static std::shared_ptr<NetHTTPFetcher> fetcherWithRequest(const std::optional<Request>& request);
    static std::shared_ptr<NetHTTPFetcher> fetcherWithURL(const QUrl& url);
    static std::shared_ptr<NetHTTPFetcher> fetcherWithURLString(const QString& text);

    // Use the factories: a fetcher must be owned by a std::shared_ptr.
    explicit NetHTTPFetcher(const std::optional<Request>& request);
    ~NetHTTPFetcher() override;
    NetHTTPFetcher(const NetHTTPFetcher&) = delete;
    NetHTTPFetcher& operator=(const NetHTTPFetcher&) = delete;

    // Answers true when the fetch started, waits for the service or waits for the authorizer; false when it
    // could not begin, after calling the callbacks with the error. A fetcher that is already fetching reports
    // the error to the callbacks of this call only and goes on with its fetch.
    virtual bool beginFetchWithDelegate(Delegate delegate, FinishedSelector finishedSelector);
    virtual bool beginFetchWithCompletionHandler(CompletionBlock handler);
    // Stops and releases every callback; none is called.
    virtual void stopFetching();
    bool isFetching() const;
    // Runs this thread's event loop until the fetch has ended and its callbacks are released; false when
    // `seconds` passed first.
    bool waitForCompletionWithTimeout(double seconds);

    virtual qint64 statusCode() const;
    virtual std::optional<platform::net::HttpHeaders> responseHeaders() const;
    const std::optional<platform::net::UrlResponse>& response() const { return response_; }
    const QByteArray& downloadedData() const { return downloadedData_; }
    quint64 downloadedLength() const { return downloadedLength_; }

    const std::shared_ptr<Request>& mutableRequest() const { return request_; }
    void setMutableRequest(std::shared_ptr<Request> request) { request_ = std::move(request); }
    const std::optional<platform::net::Credential>& credential() const { return credential_; }
    void setCredential(std::optional<platform::net::Credential> value) { credential_ = std::move(value); }
    const std::optional<platform::net::Credential>& proxyCredential() const { return proxyCredential_; }
    void setProxyCredential(std::optional<platform::net::Credential> value) {
        proxyCredential_ = std::move(value);
    }
    const QByteArray& postData() const { return postData_; }
    void setPostData(const QByteArray& data) { postData_ = data; }
    const std::shared_ptr<QIODevice>& postStream() const { return postStream_; }
    void setPostStream(std::shared_ptr<QIODevice> stream) { postStream_ = std::move(stream); }
    const Delegate& delegate() const { return delegate_; }
    void setDelegate(Delegate value) { delegate_ = std::move(value); }
    const std::shared_ptr<NetFetcherAuthorizationProtocol>& authorizer() const { return authorizer_; }
    void setAuthorizer(std::shared_ptr<NetFetcherAuthorizationProtocol> value) {
        authorizer_ = std::move(value);
    }

    std::shared_ptr<NetHTTPFetcherServiceProtocol> service() const { return service_.lock(); }
    void setService(const std::shared_ptr<NetHTTPFetcherServiceProtocol>& value) { service_ = value; }
    const QString& serviceHost() const { return serviceHost_; }
    void setServiceHost(const QString& value) { serviceHost_ = value; }
    qint64 servicePriority() const { return servicePriority_; }
    void setServicePriority(qint64 value) { servicePriority_ = value; }
    const std::shared_ptr<platform::LoopContext>& thread() const { return thread_; }
    void setThread(std::shared_ptr<platform::LoopContext> value) { thread_ = std::move(value); }

    virtual SentDataSelector sentDataSelector() const { return sentDataSel_; }
    virtual void setSentDataSelector(SentDataSelector selector) { sentDataSel_ = std::move(selector); }
    const ReceivedDataSelector& receivedDataSelector() const { return receivedDataSel_; }
    void setReceivedDataSelector(ReceivedDataSelector selector) { receivedDataSel_ = std::move(selector); }
    const RetrySelector& retrySelector() const { return retrySel_; }
    void setRetrySelector(RetrySelector selector) { retrySel_ = std::move(selector); }
    const CompletionBlock& completionBlock() const { return completionBlock_; }
    void setCompletionBlock(CompletionBlock block) { completionBlock_ = std::move(block); }
    const SentDataBlock& sentDataBlock() const { return sentDataBlock_; }
    void setSentDataBlock(SentDataBlock block) { sentDataBlock_ = std::move(block); }
    const ReceivedDataBlock& receivedDataBlock() const { return receivedDataBlock_; }
    void setReceivedDataBlock(ReceivedDataBlock block) { receivedDataBlock_ = std::move(block); }
    const RetryBlock& retryBlock() const { return retryBlock_; }
    void setRetryBlock(RetryBlock block) { retryBlock_ = std::move(block); }

    // A download into a file: written to a private temporary file beside it, moved into place on success.
    const QString& downloadPath() const { return downloadPath_; }
    void setDownloadPath(const QString& path) { downloadPath_ = path; }
    const QString& temporaryDownloadPath() const { return temporaryDownloadPath_; }
    const std::shared_ptr<platform::UniqueFd>& downloadFileHandle() const { return downloadFileHandle_; }

    const QStringList& runLoopModes() const { return runLoopModes_; } // carried along only: Qt has one loop
    void setRunLoopModes(const QStringList& modes) { runLoopModes_ = modes; }
    const std::shared_ptr<NetHTTPFetchHistoryProtocol>& fetchHistory() const { return fetchHistory_; }
    void setFetchHistory(std::shared_ptr<NetHTTPFetchHistoryProtocol> history);
    qint64 cookieStorageMethod() const { return cookieStorageMethod_; }
    void setCookieStorageMethod(qint64 method);
    const std::shared_ptr<NetCookieStorageProtocol>& cookieStorage() const { return cookieStorage_; }
    void setCookieStorage(std::shared_ptr<NetCookieStorageProtocol> storage) {
        cookieStorage_ = std::move(storage);
    }

    const QVariant& userData() const { return userData_; }
    void setUserData(const QVariant& value) { userData_ = value; }
    const QVariantMap& properties() const { return properties_; }
    void setProperties(const QVariantMap& values) { properties_ = values; }
    // A null value removes the key.
    void setProperty(const QString& key, const QVariant& value);
    QVariant propertyForKey(const QString& key) const { return properties_.value(key); }
    void addPropertiesFromDictionary(const QVariantMap& values);
    const QString& comment() const { return comment_; }
    void setComment(const QString& text) { comment_ = text; }
    const QString& log() const { return log_; }
    void setLog(const QString& text) { log_ = text; }
    bool shouldFetchInBackground() const { return shouldFetchInBackground_; }
    void setShouldFetchInBackground(bool value) { shouldFetchInBackground_ = value; }

    // Retry with back-off.
    bool isRetryEnabled() const { return isRetryEnabled_; }
    void setRetryEnabled(bool enabled);
    double maxRetryInterval() const { return maxRetryInterval_; }
    void setMaxRetryInterval(double seconds);
    double minRetryInterval() const { return minRetryInterval_; }
    void setMinRetryInterval(double seconds);
    double retryFactor() const { return retryFactor_; }
    void setRetryFactor(double factor) { retryFactor_ = factor; }
    quint64 retryCount() const { return retryCount_; }
    double nextRetryInterval() const;
    bool isRetryError(const platform::Error& error) const;

    // The object the fetcher's notifications carry.
    QVariant notificationObject() const {
        return QVariant::fromValue(static_cast<void*>(const_cast<NetHTTPFetcher*>(this)));
    }
    QString description() const;

    static std::shared_ptr<NetCookieStorage> staticCookieStorage();
    static platform::net::UrlConnection::Factory connectionClass();
    // Replaces the transport of every fetcher made afterwards; an empty factory restores the layer's own.
    static void setConnectionClass(platform::net::UrlConnection::Factory factory);
    static bool doesSupportSentDataCallback() { return true; }

    // The debug log, off unless switched on (nothing in the program switches it on). When on, every redirect
    // and every end of a fetch gets a number and a text record (the request with its headers and body, the
    // reply's status, headers and body, the error) that becomes the fetcher's log(); with logging to files
    // on as well, the records go into a folder of this run under the log folder (see NetFetchLogFolder).
    // Every value named for a credential is replaced by "_snip_" before anything is written (see
    // NetFetchLogText), and the log is bounded (see kMaximumLoggedBodyLength and NetFetchLogFolder).
    static void setLoggingEnabled(bool enabled);
    static bool isLoggingEnabled();
    static void setLoggingToFileEnabled(bool enabled);
    static bool isLoggingToFileEnabled();
    // The folder the runs' folders go in: "NetHTTPDebugLogs" in the user's cache folder unless set (an empty
    // path puts the default back). Made private to the user when it is made.
    static void setLoggingDirectory(const QString& path);
    static QString loggingDirectory();
    // The first part of the run folder's name: the application's name unless set.
    static void setLoggingProcessName(const QString& name);
    static QString loggingProcessName();
    // The second part: the time of the first use, "M-dd_hh-mm-ssAP", unless set.
    static void setLoggingDateStamp(const QString& stamp);
    static QString loggingDateStamp();
    // The most bytes of a body, sent or received, kept for the log; the record tells how many more there
    // were.
    static constexpr qint64 kMaximumLoggedBodyLength = 1024 * 1024;
    // What the log kept of the streamed body sent last (logging on only).
    const QByteArray& loggedStreamData() const { return loggedStreamData_; }

    // Begins with or without the service's scheduling and the authorizer (the service starts delayed fetchers
    // with delaying off).
    bool beginFetchMayDelay(bool mayDelay, bool mayAuthorize);

protected:
    virtual bool shouldReleaseCallbacksUponCompletion() const { return true; }
    virtual void retryFetch();
    void stopFetchReleasingCallbacks(bool shouldReleaseCallbacks);
    void releaseCallbacks();
    void invokeFinishedCallbacks(const QByteArray& data, const OptionalError& error);
    void failToBeginFetchWithError(const OptionalError& error);
    virtual void reportFailureToBegin(const platform::Error& error);
    qint64 statusAfterHandlingNotModifiedError();
    bool shouldRetryNowForStatus(qint64 status, const OptionalError& error);
    void beginRetryTimer();
    void primeRetryTimerWithNewTimeInterval(double seconds);
    void destroyRetryTimer();
    void postNotification(const char* name);
    void sendStopNotificationIfNeeded();

    // The connection's reports.
    std::optional<Request>
    connectionWillSendRequest(platform::net::UrlConnection&, const Request& proposed,
                              const platform::net::UrlResponse& redirectResponse) override;
    platform::net::ChallengeAnswer
    connectionDidReceiveChallenge(platform::net::UrlConnection&,
                                  const platform::net::AuthenticationChallenge&) override;
    void connectionDidReceiveResponse(platform::net::UrlConnection&,
                                      const platform::net::UrlResponse&) override;
    void connectionDidReceiveData(platform::net::UrlConnection&, const QByteArray& data) override;
    void connectionDidSendBodyData(platform::net::UrlConnection&, qint64 written, qint64 totalWritten,
                                   qint64 totalExpected) override;
    void connectionDidFinishLoading(platform::net::UrlConnection&) override;
    void connectionDidFailWithError(platform::net::UrlConnection&, const platform::Error& error) override;
    // A connection failure that is not retried: tells the callbacks and stops.
    virtual void reportConnectionFailure(const platform::Error& error);
    void failConnection(const platform::Error& error);

    std::shared_ptr<Request> request_;
    std::unique_ptr<platform::net::UrlConnection> connection_;
    QByteArray downloadedData_;
    QString downloadPath_;
    QString temporaryDownloadPath_;
    std::shared_ptr<platform::UniqueFd> downloadFileHandle_;
    quint64 downloadedLength_ = 0;
    std::optional<platform::net::Credential> credential_;
    std::optional<platform::net::Credential> proxyCredential_;
    QByteArray postData_;
    std::shared_ptr<QIODevice> postStream_;
    std::optional<platform::net::UrlResponse> response_;
    Delegate delegate_;
    FinishedSelector finishedSel_;
    SentDataSelector sentDataSel_;
    ReceivedDataSelector receivedDataSel_;
    RetrySelector retrySel_;
    CompletionBlock completionBlock_;
    ReceivedDataBlock receivedDataBlock_;
    SentDataBlock sentDataBlock_;
    RetryBlock retryBlock_;
    bool hasConnectionEnded_ = false;
    bool isStopNotificationNeeded_ = false;
    bool shouldFetchInBackground_ = false;
    QVariant userData_;
    QVariantMap properties_;
    QStringList runLoopModes_;
    std::shared_ptr<NetHTTPFetchHistoryProtocol> fetchHistory_;
    qint64 cookieStorageMethod_ = kNetHTTPFetcherCookieStorageMethodStatic;
    std::shared_ptr<NetCookieStorageProtocol> cookieStorage_;
    std::shared_ptr<NetFetcherAuthorizationProtocol> authorizer_;
    std::weak_ptr<NetHTTPFetcherServiceProtocol> service_;
    QString serviceHost_;
    qint64 servicePriority_ = 0;
    std::shared_ptr<platform::LoopContext> thread_;

    bool isRetryEnabled_ = false;
    std::unique_ptr<QTimer> retryTimer_;
    quint64 retryCount_ = 0;
    double maxRetryInterval_ = 0.0;
    double minRetryInterval_ = 0.0;
    double retryFactor_ = 0.0;
    double lastRetryInterval_ = 0.0;
    bool hasAttemptedAuthRefresh_ = false;

    QString comment_;
    QString log_;

    // The debug log's hooks: the body stream read through a monitor that keeps a copy, and a record of the
    // fetch at a redirect (to the request that follows) and at the end.
    void setupStreamLogging();
    void logFetchWithError(const OptionalError& error);
    void logRedirectToRequest(const Request& next);
    QByteArray loggedStreamData_;
    qint64 loggedStreamLength_ = 0;
    std::shared_ptr<NetReadMonitorInputStream> loggingStream_;

    bool isBusy() const;
    void reportBusy(const FinishedSelector& selector, const CompletionBlock& block);

private:
    bool isHTTPGetAfterBody();
    void addCookiesToRequest(Request& request, bool replace);
    void takeCookiesFromResponse(const platform::net::UrlResponse& response);
    bool openTemporaryDownloadFile();
    void removeTemporaryDownloadFile();
    void authorizerFinished(const std::shared_ptr<Request>& request, const OptionalError& error);
    QString loggedRequestBody() const;
    void writeDebugLog(const OptionalError& error, const Request* redirect);

    // Held while a transfer or a retry timer is pending, so that callers may let go of the fetcher.
    std::shared_ptr<NetHTTPFetcher> selfHold_;
};
