#pragma once

#include "webservice/HTTPFetcher/NetCookieStorage.h"
#include "webservice/HTTPFetcher/NetFetcherProtocols.h"
#include "webservice/HTTPFetcher/NetURLCache.h"

#include <memory>

// What fetchers of one service remember between fetches: ETags (and, when asked, the bodies that came with
// them) so that a GET goes out with "If-None-Match" and a 304 can be answered from memory, and a cookie jar.
class NetHTTPFetchHistory : public NetHTTPFetchHistoryProtocol {
public:
    NetHTTPFetchHistory();
    // `shouldCacheETaggedData` turns on both ETag memory and body caching.
    NetHTTPFetchHistory(quint64 memoryCapacity, bool shouldCacheETaggedData);

    void updateRequest(platform::net::UrlRequest& request, bool isHTTPGet) override;
    bool shouldCacheETaggedData() const override { return shouldCacheETaggedData_; }
    QByteArray cachedDataForRequest(const platform::net::UrlRequest& request) override;
    std::shared_ptr<NetCookieStorageProtocol> cookieStorage() const override { return cookieStorage_; }
    void updateFetchHistoryWithRequest(const platform::net::UrlRequest& request,
                                       const platform::net::UrlResponse& response,
                                       const QByteArray& downloadedData) override;
    void removeCachedDataForRequest(const platform::net::UrlRequest& request) override;

    // The ETag remembered for the request; reserves its entry against pruning while it is out.
    QString cachedETagForRequest(const platform::net::UrlRequest& request);
    void clearETaggedDataCache();
    void clearHistory();
    void removeAllCookies();
    bool shouldRememberETags() const { return shouldRememberETags_; }
    // Turning ETag memory off empties the cache.
    void setShouldRememberETags(bool remember);
    // Turning body caching on turns ETag memory on; turning it off empties the cache.
    void setShouldCacheETaggedData(bool cache);
    quint64 memoryCapacity() const { return etaggedDataCache_.memoryCapacity(); }
    void setMemoryCapacity(quint64 capacity) { etaggedDataCache_.setMemoryCapacity(capacity); }
    const std::shared_ptr<NetCookieStorage>& jar() const { return cookieStorage_; }
    void setCookieStorage(std::shared_ptr<NetCookieStorage> storage) { cookieStorage_ = std::move(storage); }
    NetURLCache& etaggedDataCache() { return etaggedDataCache_; }

private:
    NetURLCache etaggedDataCache_;
    bool shouldRememberETags_ = false;
    bool shouldCacheETaggedData_ = false;
    std::shared_ptr<NetCookieStorage> cookieStorage_;
};
