#include "webservice/HTTPFetcher/NetHTTPFetchHistory.h"

NetHTTPFetchHistory::NetHTTPFetchHistory()
    : NetHTTPFetchHistory(NetURLCache::kDefaultMemoryCapacity, false) {}

NetHTTPFetchHistory::NetHTTPFetchHistory(quint64 memoryCapacity, bool shouldCacheETaggedData)
    : etaggedDataCache_(memoryCapacity), shouldRememberETags_(shouldCacheETaggedData),
      shouldCacheETaggedData_(shouldCacheETaggedData), cookieStorage_(std::make_shared<NetCookieStorage>()) {}

void NetHTTPFetchHistory::updateRequest(platform::net::UrlRequest& request, bool isHTTPGet) {
    if (!shouldRememberETags_)
        return;
    request.cachePolicy = platform::net::CachePolicy::ReloadIgnoringLocalCacheData;
    if (!isHTTPGet)
        return;
    if (request.headers.contains("If-None-Match")) {
        // The caller brought its own validator; ours would only confuse the 304 that answers it.
        etaggedDataCache_.removeCachedResponseForRequest(request);
        return;
    }
    const QString etag = cachedETagForRequest(request);
    if (!etag.isEmpty())
        request.setValue("If-None-Match", etag.toLatin1());
}

QString NetHTTPFetchHistory::cachedETagForRequest(const platform::net::UrlRequest& request) {
    const auto entry = etaggedDataCache_.cachedResponseForRequest(request);
    if (!entry)
        return QString();
    const QString etag = entry->response().headers.text("ETag");
    if (!etag.isEmpty())
        entry->setReservationDate(QDateTime::currentDateTimeUtc());
    return etag;
}

QByteArray NetHTTPFetchHistory::cachedDataForRequest(const platform::net::UrlRequest& request) {
    const auto entry = etaggedDataCache_.cachedResponseForRequest(request);
    if (!entry)
        return QByteArray();
    entry->setReservationDate(QDateTime());
    return entry->data();
}

void NetHTTPFetchHistory::updateFetchHistoryWithRequest(const platform::net::UrlRequest& request,
                                                        const platform::net::UrlResponse& response,
                                                        const QByteArray& downloadedData) {
    if (!shouldRememberETags_ || !response.isHttp())
        return;
    const int status = response.statusCode;
    if (status == 304)
        return;
    if (status < 300 && response.headers.contains("ETag")) {
        const QByteArray body = shouldCacheETaggedData_ ? downloadedData : QByteArray();
        etaggedDataCache_.storeCachedResponse(std::make_shared<NetCachedURLResponse>(response, body),
                                              request);
        return;
    }
    etaggedDataCache_.removeCachedResponseForRequest(request);
}

void NetHTTPFetchHistory::removeCachedDataForRequest(const platform::net::UrlRequest& request) {
    etaggedDataCache_.removeCachedResponseForRequest(request);
}

void NetHTTPFetchHistory::clearETaggedDataCache() {
    etaggedDataCache_.removeAllCachedResponses();
}

void NetHTTPFetchHistory::clearHistory() {
    clearETaggedDataCache();
    removeAllCookies();
}

void NetHTTPFetchHistory::removeAllCookies() {
    if (cookieStorage_)
        cookieStorage_->removeAllCookies();
}

void NetHTTPFetchHistory::setShouldRememberETags(bool remember) {
    const bool wasRemembering = shouldRememberETags_;
    shouldRememberETags_ = remember;
    if (wasRemembering && !remember)
        clearETaggedDataCache();
}

void NetHTTPFetchHistory::setShouldCacheETaggedData(bool cache) {
    const bool wasCaching = shouldCacheETaggedData_;
    shouldCacheETaggedData_ = cache;
    if (cache)
        shouldRememberETags_ = true;
    if (wasCaching && !cache)
        clearETaggedDataCache();
}
