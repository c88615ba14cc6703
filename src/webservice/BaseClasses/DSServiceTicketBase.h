#pragma once

#include "webservice/BaseClasses/DSFeedBase.h"
#include "webservice/HTTPFetcher/NetHTTPFetcher.h"

#include <QMetaType>

#include <atomic>

class DSServiceBase;
class DSServiceTicketBase;
using DSServiceTicketRef = std::shared_ptr<DSServiceTicketBase>;

// The parse of one reply on a service's worker: cancelling it keeps its result from being built or delivered.
class DSParseOperation {
public:
    void cancel() { cancelled_ = true; }
    bool isCancelled() const { return cancelled_; }

private:
    std::atomic<bool> cancelled_ = false;
};

// One request of a service from its start to its one callback: the caller keeps it to cancel, pause or
// resume an upload, or to read the result; the service keeps the request's settings and state in it. A ticket
// keeps its service alive until it is cancelled.
class DSServiceTicketBase : public std::enable_shared_from_this<DSServiceTicketBase> {
public:
    // The callbacks of a request: the finished selector and the block get (ticket, object, error); progress
    // gets (ticket, delivered bytes, total bytes); the retry selector (ticket, will retry, error) answers
    // whether to retry.
    using Delegate = std::shared_ptr<void>;
    using FinishedSelector =
        std::function<void(const DSServiceTicketRef&, const DSObjectRef&, const platform::OptionalError&)>;
    using CompletionHandler = FinishedSelector;
    using ProgressSelector = std::function<void(const DSServiceTicketRef&, quint64 delivered, quint64 total)>;
    using ProgressHandler = ProgressSelector;
    using RetrySelector =
        std::function<bool(const DSServiceTicketRef&, bool willRetry, const platform::Error& error)>;

    static DSServiceTicketRef ticketForService(const std::shared_ptr<DSServiceBase>& service);
    DSServiceTicketBase() = default;
    virtual ~DSServiceTicketBase() = default;
    DSServiceTicketBase(const DSServiceTicketBase&) = delete;
    DSServiceTicketBase& operator=(const DSServiceTicketBase&) = delete;
    // Takes the service and the per-request settings from it.
    virtual void initWithService(const std::shared_ptr<DSServiceBase>& service);

    // The ticket a fetcher of the service works for (chunk fetchers of an upload included); none for others.
    static DSServiceTicketRef ticketForFetcher(const NetHTTPFetcher& fetcher);

    // Stops the fetch and the parse; no callback follows. Harmless to repeat, and from inside a callback.
    virtual void cancelTicket();
    // Resumable uploads only; nothing for a plain fetch.
    void pauseUpload();
    void resumeUpload();
    bool isUploadPaused() const;
    qint64 statusCode() const;

    // Progress set after the fetch began still arrives.
    void setUploadProgressSelector(ProgressSelector selector);
    void setUploadProgressHandler(ProgressHandler handler);
    const ProgressSelector& uploadProgressSelector() const { return uploadProgressSelector_; }
    const ProgressHandler& uploadProgressHandler() const { return uploadProgressHandler_; }

    // What a cancel clears (the caller's values, the service, the fetchers) is handed out as a copy, which
    // stays valid through a cancel.
    // The caller's values; a null value removes the key.
    void setProperty(const QString& key, const QVariant& value);
    QVariant propertyForKey(const QString& key) const { return ticketProperties_.value(key); }
    QVariantMap properties() const { return ticketProperties_; }
    void setProperties(const QVariantMap& properties) { ticketProperties_ = properties; }
    QVariant userData() const { return userData_; }
    void setUserData(const QVariant& data) { userData_ = data; }

    // The first feed becomes the accumulated one; the entries of later ones move into it, in order.
    void accumulateFeed(const std::shared_ptr<DSFeedBase>& feed);

    std::shared_ptr<DSServiceBase> service() const { return service_; }
    const std::optional<DSSurrogates>& surrogates() const { return surrogates_; }
    void setSurrogates(const std::optional<DSSurrogates>& surrogates) { surrogates_ = surrogates; }
    bool shouldFollowNextLinks() const { return shouldFollowNextLinks_; }
    void setShouldFollowNextLinks(bool follow) { shouldFollowNextLinks_ = follow; }
    bool shouldFeedsIgnoreUnknowns() const { return shouldFeedsIgnoreUnknowns_; }
    void setShouldFeedsIgnoreUnknowns(bool ignore) { shouldFeedsIgnoreUnknowns_ = ignore; }
    bool isRetryEnabled() const { return isRetryEnabled_; }
    void setIsRetryEnabled(bool enabled) { isRetryEnabled_ = enabled; }
    const RetrySelector& retrySelector() const { return retrySelector_; }
    void setRetrySelector(RetrySelector selector) { retrySelector_ = std::move(selector); }
    double maxRetryInterval() const { return maxRetryInterval_; }
    void setMaxRetryInterval(double seconds) { maxRetryInterval_ = seconds; }
    std::shared_ptr<NetHTTPFetcher> currentFetcher() const { return currentFetcher_; }
    void setCurrentFetcher(std::shared_ptr<NetHTTPFetcher> fetcher) { currentFetcher_ = std::move(fetcher); }
    std::shared_ptr<NetHTTPFetcher> objectFetcher() const { return objectFetcher_; }
    void setObjectFetcher(std::shared_ptr<NetHTTPFetcher> fetcher) { objectFetcher_ = std::move(fetcher); }
    bool hasCalledCallback() const { return hasCalledCallback_; }
    void setHasCalledCallback(bool called) { hasCalledCallback_ = called; }
    const DSObjectRef& postedObject() const { return postedObject_; }
    void setPostedObject(const DSObjectRef& object) { postedObject_ = object; }
    const DSObjectRef& fetchedObject() const { return fetchedObject_; }
    void setFetchedObject(const DSObjectRef& object) { fetchedObject_ = object; }
    const std::shared_ptr<DSFeedBase>& accumulatedFeed() const { return accumulatedFeed_; }
    void setAccumulatedFeed(const std::shared_ptr<DSFeedBase>& feed) { accumulatedFeed_ = feed; }
    const platform::OptionalError& fetchError() const { return fetchError_; }
    void setFetchError(const platform::OptionalError& error) { fetchError_ = error; }
    quint64 nextLinksFollowedCounter() const { return nextLinksFollowedCounter_; }
    void setNextLinksFollowedCounter(quint64 count) { nextLinksFollowedCounter_ = count; }
    const std::shared_ptr<DSParseOperation>& parseOperation() const { return parseOperation_; }
    void setParseOperation(std::shared_ptr<DSParseOperation> operation) {
        parseOperation_ = std::move(operation);
    }
    const std::shared_ptr<NetFetcherAuthorizationProtocol>& authorizer() const { return authorizer_; }
    void setAuthorizer(std::shared_ptr<NetFetcherAuthorizationProtocol> authorizer) {
        authorizer_ = std::move(authorizer);
    }

    virtual QString description() const;

protected:
    QString address() const;

private:
    std::shared_ptr<DSServiceBase> service_;
    QVariant userData_;
    QVariantMap ticketProperties_;
    std::optional<DSSurrogates> surrogates_;
    std::shared_ptr<NetHTTPFetcher> currentFetcher_;
    std::shared_ptr<NetHTTPFetcher> objectFetcher_;
    ProgressSelector uploadProgressSelector_;
    bool shouldFollowNextLinks_ = false;
    bool shouldFeedsIgnoreUnknowns_ = false;
    bool isRetryEnabled_ = false;
    RetrySelector retrySelector_;
    double maxRetryInterval_ = 0.0;
    ProgressHandler uploadProgressHandler_;
    DSObjectRef postedObject_;
    DSObjectRef fetchedObject_;
    std::shared_ptr<DSFeedBase> accumulatedFeed_;
    platform::OptionalError fetchError_;
    bool hasCalledCallback_ = false;
    quint64 nextLinksFollowedCounter_ = 0;
    std::shared_ptr<DSParseOperation> parseOperation_;
    std::shared_ptr<NetFetcherAuthorizationProtocol> authorizer_;
};

// How a fetcher names the ticket it works for, among its properties.
using DSTicketHandle = std::weak_ptr<DSServiceTicketBase>;
Q_DECLARE_METATYPE(DSTicketHandle)
inline constexpr char kDSFetcherTicketProperty[] = "_ticket";
