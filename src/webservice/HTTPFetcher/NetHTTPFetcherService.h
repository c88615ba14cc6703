#pragma once

#include "webservice/HTTPFetcher/NetHTTPFetchHistory.h"
#include "webservice/HTTPFetcher/NetHTTPFetcher.h"

#include <QHash>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

// Makes fetchers that share one set of settings and lets at most `maxRunningFetchersPerHost` of them run
// against one host; the others wait and start, lowest priority value first, as running ones stop. A delayed
// fetcher is started on the thread that began it. Own it through a std::shared_ptr (see create()).
class NetHTTPFetcherService : public NetHTTPFetcherServiceProtocol,
                              public std::enable_shared_from_this<NetHTTPFetcherService> {
public:
    using FetcherList = std::vector<std::shared_ptr<NetHTTPFetcher>>;
    using FetcherClass = std::function<std::shared_ptr<NetHTTPFetcher>(const platform::net::UrlRequest&)>;

    static std::shared_ptr<NetHTTPFetcherService> create() {
        return std::make_shared<NetHTTPFetcherService>();
    }
    NetHTTPFetcherService();
    ~NetHTTPFetcherService() override;

    // A fetcher of `fetcherClass` (a plain fetcher without one) with the service's settings, not begun.
    std::shared_ptr<NetHTTPFetcher> fetcherWithRequest(const platform::net::UrlRequest& request,
                                                       const FetcherClass& fetcherClass);
    std::shared_ptr<NetHTTPFetcher> fetcherWithRequest(const platform::net::UrlRequest& request) override;
    std::shared_ptr<NetHTTPFetcher> fetcherWithURL(const QUrl& url);
    std::shared_ptr<NetHTTPFetcher> fetcherWithURLString(const QString& text);

    bool fetcherShouldBeginFetching(const std::shared_ptr<NetHTTPFetcher>& fetcher) override;
    void fetcherDidStop(NetHTTPFetcher& fetcher) override;
    bool isDelayingFetcher(const NetHTTPFetcher& fetcher) const override;
    // Begins (or stops) the fetcher on the thread it was begun on, now when that is this thread.
    void startFetcher(const std::shared_ptr<NetHTTPFetcher>& fetcher);
    void stopFetcher(const std::shared_ptr<NetHTTPFetcher>& fetcher);
    void stopAllFetchers();

    quint64 numberOfFetchers() const { return numberOfRunningFetchers() + numberOfDelayedFetchers(); }
    quint64 numberOfRunningFetchers() const;
    quint64 numberOfDelayedFetchers() const;
    bool waitForCompletionOfAllFetchersWithTimeout(double seconds);
    QHash<QString, FetcherList> runningHosts() const;
    void setRunningHosts(const QHash<QString, FetcherList>& hosts);
    QHash<QString, FetcherList> delayedHosts() const;
    void setDelayedHosts(const QHash<QString, FetcherList>& hosts);
    quint64 maxRunningFetchersPerHost() const { return maxRunningFetchersPerHost_; }
    void setMaxRunningFetchersPerHost(quint64 limit) { maxRunningFetchersPerHost_ = limit; }

    // Forwarded to the fetch history.
    void setShouldCacheETaggedData(bool cache) { fetchHistory_->setShouldCacheETaggedData(cache); }
    bool shouldCacheETaggedData() const { return fetchHistory_->shouldCacheETaggedData(); }
    void setETaggedDataCacheCapacity(quint64 capacity) { fetchHistory_->setMemoryCapacity(capacity); }
    quint64 ETaggedDataCacheCapacity() const { return fetchHistory_->memoryCapacity(); }
    void setShouldRememberETags(bool remember) { fetchHistory_->setShouldRememberETags(remember); }
    bool shouldRememberETags() const { return fetchHistory_->shouldRememberETags(); }
    void clearETaggedDataCache() { fetchHistory_->clearETaggedDataCache(); }
    void clearHistory() { fetchHistory_->clearHistory(); }

    // Settings given to fetchers made afterwards.
    const QStringList& runLoopModes() const { return runLoopModes_; }
    void setRunLoopModes(const QStringList& modes) { runLoopModes_ = modes; }
    const std::optional<platform::net::Credential>& credential() const { return credential_; }
    void setCredential(std::optional<platform::net::Credential> value) { credential_ = std::move(value); }
    const std::optional<platform::net::Credential>& proxyCredential() const { return proxyCredential_; }
    void setProxyCredential(std::optional<platform::net::Credential> value) {
        proxyCredential_ = std::move(value);
    }
    qint64 cookieStorageMethod() const { return cookieStorageMethod_; }
    void setCookieStorageMethod(qint64 method) { cookieStorageMethod_ = method; }
    bool shouldFetchInBackground() const { return shouldFetchInBackground_; }
    void setShouldFetchInBackground(bool value) { shouldFetchInBackground_ = value; }
    const std::shared_ptr<NetHTTPFetchHistory>& fetchHistory() const { return fetchHistory_; }
    void setFetchHistory(std::shared_ptr<NetHTTPFetchHistory> history) { fetchHistory_ = std::move(history); }
    const std::shared_ptr<NetFetcherAuthorizationProtocol>& authorizer() const { return authorizer_; }
    // Detaches the authorizer it replaces (when that one still points here) and attaches the new one.
    void setAuthorizer(std::shared_ptr<NetFetcherAuthorizationProtocol> authorizer);

private:
    void detachAuthorizer();
    void startDelayedFetchers(const QString& host, std::vector<std::shared_ptr<NetHTTPFetcher>>& toStart);

    mutable std::recursive_mutex mutex;
    QHash<QString, FetcherList> delayedHosts_;
    QHash<QString, FetcherList> runningHosts_;
    quint64 maxRunningFetchersPerHost_ = 10;
    std::shared_ptr<NetHTTPFetchHistory> fetchHistory_;
    QStringList runLoopModes_;
    std::optional<platform::net::Credential> credential_;
    std::optional<platform::net::Credential> proxyCredential_;
    qint64 cookieStorageMethod_ = kNetHTTPFetcherCookieStorageMethodFetchHistory;
    bool shouldFetchInBackground_ = false;
    std::shared_ptr<NetFetcherAuthorizationProtocol> authorizer_;
};
