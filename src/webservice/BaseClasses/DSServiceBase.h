#pragma once

#include "webservice/BaseClasses/DSQuery.h"
#include "webservice/BaseClasses/DSServiceTicketBase.h"
#include "webservice/HTTPFetcher/NetHTTPFetcherService.h"

class DSParseQueue;
class NetHTTPUploadFetcher;
struct DSFetchContext;
// A request that may be run again (after an account login); its type is the authenticated service's.
struct DSRetryInvocation;

// The service layer's error domain: -100 when a non-empty reply gave no object and no parse error, -1 when
// an account login has no credentials.
inline constexpr char kDSServiceErrorDomain[] = "org.vistrelle.DSServiceDomain";
enum : qint64 {
    kDSServiceErrorEmptyCredentials = -1,
    kDSServiceErrorNoObject = -100,
};
// Keys of an error's user info: the parsed error document and the server's text.
inline constexpr char kDSServiceErrorServerErrorsKey[] = "serverErrors";
inline constexpr char kDSServiceErrorTextKey[] = "error";

inline constexpr char kDSServiceTicketParsingStartedNotification[] =
    "kDSServiceTicketParsingStartedNotification";
inline constexpr char kDSServiceTicketParsingStoppedNotification[] =
    "kDSServiceTicketParsingStoppedNotification";

// Turns a request to fetch or post a DS object into an HTTP request, runs it on a fetcher of its own fetcher
// service (a resumable upload fetcher for media), parses the XML reply on its worker thread and calls back
// on the thread that began the fetch, once, with the object or an error. Each fetch answers a ticket through
// which it can be cancelled. Own a service through a std::shared_ptr (see create()).
class DSServiceBase : public std::enable_shared_from_this<DSServiceBase> {
public:
    using Delegate = DSServiceTicketBase::Delegate;
    using FinishedSelector = DSServiceTicketBase::FinishedSelector;
    using CompletionHandler = DSServiceTicketBase::CompletionHandler;
    using ProgressSelector = DSServiceTicketBase::ProgressSelector;
    using ProgressHandler = DSServiceTicketBase::ProgressHandler;
    using RetrySelector = DSServiceTicketBase::RetrySelector;
    using Request = platform::net::UrlRequest;

    // The chunk size that stands for the standard one.
    static constexpr quint64 kStandardUploadChunkSize = ~quint64(0);

    template <class Service = DSServiceBase> static std::shared_ptr<Service> create() {
        auto service = std::make_shared<Service>();
        service->init();
        return service;
    }
    DSServiceBase();
    virtual ~DSServiceBase();
    DSServiceBase(const DSServiceBase&) = delete;
    DSServiceBase& operator=(const DSServiceBase&) = delete;
    // Takes the class's standard chunk size.
    virtual void init();

    // ---- class-side values, overridden by the services of a family
    virtual DSServiceTicketRef makeTicket();
    virtual QString defaultServiceVersion() const { return QString(); }
    virtual quint64 defaultServiceUploadChunkSize() const { return 0; }

    // ---- requests
    virtual Request requestForURL(const QUrl& url, const QString& ETag, const QString& httpMethod,
                                  const DSServiceTicketRef& ticket);
    Request requestForURL(const QUrl& url, const QString& ETag, const QString& httpMethod) {
        return requestForURL(url, ETag, httpMethod, nullptr);
    }
    Request objectRequestForURL(const QUrl& url, const DSObjectRef& object, QString ETag,
                                const QString& httpMethod, const DSServiceTicketRef& ticket);
    QString requestUserAgent() const;
    // "Linux/x.y.z" of the running kernel.
    static QString systemVersionString();
    // The application's identifier and version, as a user agent takes them; made once per process.
    static QString defaultApplicationIdentifier();

    // ---- fetches: each answers the ticket, or none when the fetch could not begin
    DSServiceTicketRef
    fetchObjectWithURL(const QUrl& url, const DSClass* objectClass, const DSObjectRef& objectToPost,
                       const QString& ETag, const QString& httpMethod, Delegate delegate,
                       FinishedSelector finishedSelector, CompletionHandler completionHandler,
                       const std::shared_ptr<DSRetryInvocation>& retryInvocation, DSServiceTicketRef ticket);
    DSServiceTicketRef fetchPublicFeedWithURL(const QUrl& url, const DSClass* feedClass, Delegate delegate,
                                              FinishedSelector finishedSelector);
    DSServiceTicketRef fetchPublicFeedWithURL(const QUrl& url, const DSClass* feedClass,
                                              CompletionHandler handler);
    DSServiceTicketRef fetchPublicEntryWithURL(const QUrl& url, const DSClass* entryClass, Delegate delegate,
                                               FinishedSelector finishedSelector);
    DSServiceTicketRef fetchPublicEntryWithURL(const QUrl& url, const DSClass* entryClass,
                                               CompletionHandler handler);
    DSServiceTicketRef fetchPublicFeedWithQuery(const DSQuery& query, const DSClass* feedClass,
                                                Delegate delegate, FinishedSelector finishedSelector);
    DSServiceTicketRef fetchPublicFeedWithQuery(const DSQuery& query, const DSClass* feedClass,
                                                CompletionHandler handler);
    DSServiceTicketRef fetchPublicFeedWithBatchFeed(const std::shared_ptr<DSFeedBase>& batchFeed,
                                                    const QUrl& feedURL, Delegate delegate,
                                                    FinishedSelector finishedSelector,
                                                    CompletionHandler handler);
    // Runs this thread's event loop until the ticket has called back or `seconds` passed; true when an
    // object was fetched.
    bool waitForTicket(const DSServiceTicketRef& ticket, double seconds, DSObjectRef* fetchedObject,
                       platform::OptionalError* error);

    // ---- settings (each new ticket takes a copy of the per-request ones)
    QString serviceVersion() const;
    void setServiceVersion(const QString& version) { serviceVersion_ = version; }
    QString userAgent() const { return userAgent_; }
    // Cleaned for a User-Agent header; setExactUserAgent keeps it as given.
    void setUserAgent(const QString& userAgent);
    void setExactUserAgent(const QString& userAgent) { userAgent_ = userAgent; }
    const std::shared_ptr<NetHTTPFetcherService>& fetcherService() const { return fetcherService_; }
    void setFetcherService(std::shared_ptr<NetHTTPFetcherService> service) {
        fetcherService_ = std::move(service);
    }
    // None parses replies at once on the thread that began the fetch.
    const std::shared_ptr<DSParseQueue>& operationQueue() const { return operationQueue_; }
    void setOperationQueue(std::shared_ptr<DSParseQueue> queue) { operationQueue_ = std::move(queue); }
    QStringList runLoopModes() const { return fetcherService_->runLoopModes(); }
    void setRunLoopModes(const QStringList& modes) { fetcherService_->setRunLoopModes(modes); }
    bool shouldFetchInBackground() const { return fetcherService_->shouldFetchInBackground(); }
    void setShouldFetchInBackground(bool value) { fetcherService_->setShouldFetchInBackground(value); }
    std::shared_ptr<NetFetcherAuthorizationProtocol> authorizer() const {
        return fetcherService_->authorizer();
    }
    virtual void setAuthorizer(const std::shared_ptr<NetFetcherAuthorizationProtocol>& authorizer);
    bool shouldCacheResponseData() const { return fetcherService_->shouldCacheETaggedData(); }
    void setShouldCacheResponseData(bool cache) { fetcherService_->setShouldCacheETaggedData(cache); }
    void clearResponseDataCache() { fetcherService_->clearETaggedDataCache(); }
    quint64 responseDataCacheCapacity() const { return fetcherService_->ETaggedDataCacheCapacity(); }
    void setResponseDataCacheCapacity(quint64 bytes) { fetcherService_->setETaggedDataCacheCapacity(bytes); }
    const QVariant& serviceUserData() const { return serviceUserData_; }
    void setServiceUserData(const QVariant& data) { serviceUserData_ = data; }
    const QVariantMap& serviceProperties() const { return serviceProperties_; }
    void setServiceProperties(const QVariantMap& properties) { serviceProperties_ = properties; }
    void setServiceProperty(const QString& key, const QVariant& value);
    QVariant servicePropertyForKey(const QString& key) const { return serviceProperties_.value(key); }
    const std::optional<DSSurrogates>& serviceSurrogates() const { return serviceSurrogates_; }
    void setServiceSurrogates(const std::optional<DSSurrogates>& surrogates) {
        serviceSurrogates_ = surrogates;
    }
    bool shouldServiceFeedsIgnoreUnknowns() const { return shouldServiceFeedsIgnoreUnknowns_; }
    void setShouldServiceFeedsIgnoreUnknowns(bool ignore) { shouldServiceFeedsIgnoreUnknowns_ = ignore; }
    const ProgressSelector& serviceUploadProgressSelector() const { return serviceUploadProgressSelector_; }
    void setServiceUploadProgressSelector(ProgressSelector selector) {
        serviceUploadProgressSelector_ = std::move(selector);
    }
    const ProgressHandler& serviceUploadProgressHandler() const { return serviceUploadProgressHandler_; }
    void setServiceUploadProgressHandler(ProgressHandler handler) {
        serviceUploadProgressHandler_ = std::move(handler);
    }
    quint64 serviceUploadChunkSize() const { return uploadChunkSize_; }
    // The standard size (all ones) reads as 25 MiB; 0 sends media in one plain request.
    void setServiceUploadChunkSize(quint64 bytes);
    bool isServiceRetryEnabled() const { return isServiceRetryEnabled_; }
    void setIsServiceRetryEnabled(bool enabled) { isServiceRetryEnabled_ = enabled; }
    const RetrySelector& serviceRetrySelector() const { return serviceRetrySelector_; }
    void setServiceRetrySelector(RetrySelector selector) { serviceRetrySelector_ = std::move(selector); }
    double serviceMaxRetryInterval() const { return serviceMaxRetryInterval_; }
    void setServiceMaxRetryInterval(double seconds) { serviceMaxRetryInterval_ = seconds; }
    // -1 leaves each fetcher's own choice.
    qint64 cookieStorageMethod() const { return cookieStorageMethod_; }
    void setCookieStorageMethod(qint64 method) { cookieStorageMethod_ = method; }
    bool serviceShouldFollowNextLinks() const { return serviceShouldFollowNextLinks_; }
    void setServiceShouldFollowNextLinks(bool follow) { serviceShouldFollowNextLinks_ = follow; }

    // Account login: the password is kept masked, never in clear between calls.
    virtual void setUserCredentialsWithUsername(const QString& username, const QString& password);
    QString username() const { return username_; }
    QString password() const;

    // What a ticket gives its object fetcher when progress is asked for after the fetch began.
    NetHTTPFetcher::SentDataSelector objectFetcherSentDataSelector();
    void invokeProgressCallbackForTicket(const DSServiceTicketRef& ticket, quint64 delivered, quint64 total);

protected:
    // ---- the fetcher's reports; the authenticated service looks at finished replies first
    virtual void objectFetcherFinished(const std::shared_ptr<DSFetchContext>& context,
                                       NetHTTPFetcher& fetcher, const QByteArray& data,
                                       const platform::OptionalError& error);
    void objectFetcherFailed(const std::shared_ptr<DSFetchContext>& context, NetHTTPFetcher& fetcher,
                             const QByteArray& data, const platform::Error& error);
    static bool invokeRetrySelector(const DSServiceTicketRef& ticket, bool willRetry,
                                    const platform::Error& error);
    void addAuthenticationToFetcher(NetHTTPFetcher& fetcher) const;
    QVariantMap userInfoForErrorResponseData(const QByteArray& data, const QString& contentType,
                                             const QVariantMap& previousUserInfo) const;
    static void clearFetcherProperties(NetHTTPFetcher& fetcher);
    // Adds the DS and batch namespaces a batch feed does not declare.
    static void addBatchNamespacesIfNone(DSObject& feed);
    // Calls back once: the selector, then the block.
    static void invokeCallbacks(const DSFetchContext& context, const DSObjectRef& object,
                                const platform::OptionalError& error);

private:
    struct Body;
    std::optional<Body> bodyForObject(const DSObjectRef& object, bool isChunked, bool hasLocation,
                                      platform::OptionalError* error);
    std::shared_ptr<NetHTTPFetcher> fetcherForBody(const std::optional<Request>& request,
                                                   const DSObjectRef& object, bool isChunked,
                                                   const QUrl& location);
    void prepareFetcher(const std::shared_ptr<DSFetchContext>& context, NetHTTPFetcher& fetcher,
                        const std::optional<Body>& body);
    bool beginFetch(const std::shared_ptr<DSFetchContext>& context,
                    const std::shared_ptr<NetHTTPFetcher>& fetcher);
    void failBeforeFetch(const std::shared_ptr<DSFetchContext>& context, const platform::Error& error);
    struct ParseJob;
    static void parseObjectFromDataOfFetcher(ParseJob& job);
    void handleParsedObjectForFetcher(const std::shared_ptr<DSFetchContext>& context,
                                      const std::shared_ptr<NetHTTPFetcher>& fetcher, const QByteArray& data);
    bool fetchNextFeedWithURL(const QUrl& url, const DSFetchContext& context);
    static void finishTicket(const DSFetchContext& context, NetHTTPFetcher& fetcher);

    std::shared_ptr<DSParseQueue> operationQueue_;
    QString serviceVersion_;
    QString userAgent_;
    std::shared_ptr<NetHTTPFetcherService> fetcherService_;
    QString username_;
    QByteArray password_;
    QVariant serviceUserData_;
    QVariantMap serviceProperties_;
    std::optional<DSSurrogates> serviceSurrogates_;
    bool shouldServiceFeedsIgnoreUnknowns_ = false;
    ProgressSelector serviceUploadProgressSelector_;
    ProgressHandler serviceUploadProgressHandler_;
    quint64 uploadChunkSize_ = 0;
    bool isServiceRetryEnabled_ = false;
    RetrySelector serviceRetrySelector_;
    double serviceMaxRetryInterval_ = 0.0;
    qint64 cookieStorageMethod_ = -1;
    bool serviceShouldFollowNextLinks_ = false;
};

// One request's state between the fetcher's steps, held by the fetcher's callbacks until they have run.
struct DSFetchContext {
    DSServiceTicketRef ticket;
    const DSClass* objectClass = nullptr;
    DSServiceBase::Delegate delegate;
    DSServiceBase::FinishedSelector finishedSelector;
    DSServiceBase::CompletionHandler completionHandler;
    std::shared_ptr<DSRetryInvocation> retryInvocation;
    std::shared_ptr<platform::LoopContext> callbackThread;
    DSObjectRef parsedObject;
    platform::OptionalError parseError;
};
