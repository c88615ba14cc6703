#pragma once

#include "platform/net/HttpHeaders.h"

#include <QDateTime>
#include <QString>
#include <QUrl>

#include <optional>

class ReqHTTPRequest;

// Cache policy bits of a request.
enum ReqCachePolicy : int {
    ReqUseDefaultCachePolicy = 0,
    ReqDoNotReadFromCacheCachePolicy = 1,
    ReqDoNotWriteToCacheCachePolicy = 2,
    ReqAskServerIfModifiedWhenStaleCachePolicy = 4,
    ReqAskServerIfModifiedCachePolicy = 8,
    ReqOnlyLoadIfNotCachedCachePolicy = 16,
    ReqDontLoadCachePolicy = 32,
    ReqFallbackToCacheIfLoadFailsCachePolicy = 64,
};

enum ReqCacheStoragePolicy : int {
    ReqCacheForSessionDurationCacheStoragePolicy = 0,
    ReqCachePermanentlyCacheStoragePolicy = 1,
};

// A store of responses that a request asks before going to the network and fills afterwards.
class ReqCacheDelegate {
public:
    virtual ~ReqCacheDelegate() = default;
    virtual int defaultCachePolicy() const = 0;
    virtual std::optional<QDateTime> expiryDateForRequest(ReqHTTPRequest& request, double maxAge) = 0;
    virtual void updateExpiryForRequest(ReqHTTPRequest& request, double maxAge) = 0;
    virtual bool canUseCachedDataForRequest(ReqHTTPRequest& request) = 0;
    virtual void removeCachedDataForRequest(ReqHTTPRequest& request) = 0;
    virtual bool isCachedDataCurrentForRequest(ReqHTTPRequest& request) = 0;
    virtual void storeResponseForRequest(ReqHTTPRequest& request, double maxAge) = 0;
    virtual void removeCachedDataForURL(const QUrl& url) = 0;
    virtual std::optional<platform::net::HttpHeaders> cachedResponseHeadersForURL(const QUrl& url) = 0;
    virtual std::optional<QByteArray> cachedResponseDataForURL(const QUrl& url) = 0;
    virtual QString pathToCachedResponseDataForURL(const QUrl& url) = 0;
    virtual QString pathToCachedResponseHeadersForURL(const QUrl& url) = 0;
    virtual QString pathToStoreCachedResponseHeadersForRequest(ReqHTTPRequest& request) = 0;
    virtual QString pathToStoreCachedResponseDataForRequest(ReqHTTPRequest& request) = 0;
    virtual void clearCachedResponsesForStoragePolicy(int storagePolicy) = 0;
};
