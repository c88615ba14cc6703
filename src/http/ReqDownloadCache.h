#pragma once

#include "http/ReqCacheDelegate.h"

#include <QStringList>

#include <atomic>
#include <memory>
#include <mutex>

// Responses kept on disk, a headers file ("<key>.cachedheaders", a property list) and a data file per URL,
// in a session store (emptied whenever a process sets the path, and by the request class's clearSession)
// and a permanent store. Lookups prefer the session store. Folder problems raise ReqException named
// "FileExistsAtCachePath", "FailedToCreateCacheDirectory", "FailedToTraverseCacheDirectory" or
// "FailedToRemoveCacheFile". Safe to share between threads.
class ReqDownloadCache : public ReqCacheDelegate {
public:
    ReqDownloadCache() = default;
    // One cache for the process, under "<XDG cache folder>/ReqHTTPRequestCache" (0700).
    static std::shared_ptr<ReqDownloadCache> sharedCache();

    QString storagePath() const;
    void setStoragePath(const QString& path);
    void setDefaultCachePolicy(int policy); // 0 stands for the default, 4
    bool shouldRespectCacheControlHeaders() const { return respectsCacheControl; }
    void setShouldRespectCacheControlHeaders(bool respect) { respectsCacheControl = respect; }

    int defaultCachePolicy() const override;
    std::optional<QDateTime> expiryDateForRequest(ReqHTTPRequest& request, double maxAge) override;
    void updateExpiryForRequest(ReqHTTPRequest& request, double maxAge) override;
    bool canUseCachedDataForRequest(ReqHTTPRequest& request) override;
    void removeCachedDataForRequest(ReqHTTPRequest& request) override;
    bool isCachedDataCurrentForRequest(ReqHTTPRequest& request) override;
    void storeResponseForRequest(ReqHTTPRequest& request, double maxAge) override;
    void removeCachedDataForURL(const QUrl& url) override;
    std::optional<platform::net::HttpHeaders> cachedResponseHeadersForURL(const QUrl& url) override;
    std::optional<QByteArray> cachedResponseDataForURL(const QUrl& url) override;
    QString pathToCachedResponseDataForURL(const QUrl& url) override;
    QString pathToCachedResponseHeadersForURL(const QUrl& url) override;
    QString pathToStoreCachedResponseHeadersForRequest(ReqHTTPRequest& request) override;
    QString pathToStoreCachedResponseDataForRequest(ReqHTTPRequest& request) override;
    void clearCachedResponsesForStoragePolicy(int storagePolicy) override;

    // Whether the response's "Cache-Control" and "Pragma" let it be kept.
    static bool serverAllowsResponseCachingForRequest(ReqHTTPRequest& request);
    // 32 upper-case hexadecimal digits of the URL (one trailing "/" left out); empty for an empty URL.
    static QString keyForURL(const QUrl& url);
    static QStringList fileExtensionsToHandleAsHTML();

private:
    QString pathToFile(const QString& file) const;
    QString storeFolder(int storagePolicy) const;
    static QString dataFileName(const QUrl& url);
    QVariantMap cachedDictionaryForURL(const QUrl& url);

    mutable std::recursive_mutex accessLock;
    QString root;
    int policy = ReqAskServerIfModifiedWhenStaleCachePolicy;
    std::atomic<bool> respectsCacheControl{true};
};
