#pragma once

// What the HTTP fetcher asks of its collaborators: the authorizer that signs requests, the fetch history
// (ETags and cookies), the cookie jars and the fetcher service that limits fetches per host.

#include "platform/foundation/Error.h"
#include "platform/net/Cookie.h"
#include "platform/net/UrlRequest.h"
#include "platform/net/UrlResponse.h"

#include <QList>
#include <QString>

#include <functional>
#include <memory>

class NetHTTPFetcher;
class NetHTTPFetcherServiceProtocol;

class NetFetcherAuthorizationProtocol {
public:
    // Told when an authorization ends: the request (signed in place on success) and the error, if any.
    using FinishedSelector = std::function<void(NetFetcherAuthorizationProtocol& authorizer,
                                                const std::shared_ptr<platform::net::UrlRequest>& request,
                                                const platform::OptionalError& error)>;

    virtual ~NetFetcherAuthorizationProtocol() = default;
    // Signs `request` asynchronously (or at once) and calls `finished`, on the asking thread. The authorizer
    // keeps `delegate` alive until then.
    virtual void authorizeRequest(const std::shared_ptr<platform::net::UrlRequest>& request,
                                  std::shared_ptr<void> delegate, FinishedSelector finished) = 0;
    // Drops every pending authorization without calling back.
    virtual void stopAuthorization() = 0;
    virtual bool isAuthorizingRequest(const platform::net::UrlRequest& request) const = 0;
    virtual bool isAuthorizedRequest(const platform::net::UrlRequest& request) const = 0;
    virtual QString userEmail() const = 0;

    // Optional: after a 401, makes the next authorization refresh; true when it will. The default answers
    // false, as an authorizer without the method does.
    virtual bool primeForRefresh() { return false; }
    // Optional: the service this authorizer makes its own fetchers with (not owned).
    virtual NetHTTPFetcherServiceProtocol* fetcherService() const { return nullptr; }
    virtual void setFetcherService(NetHTTPFetcherServiceProtocol*) {}
};

class NetCookieStorageProtocol {
public:
    virtual ~NetCookieStorageProtocol() = default;
    // The cookies to send to `url`; empty when none match.
    virtual QList<platform::net::Cookie> cookiesForURL(const QUrl& url) = 0;
    virtual void setCookies(const QList<platform::net::Cookie>& cookies) = 0;
};

class NetHTTPFetchHistoryProtocol {
public:
    virtual ~NetHTTPFetchHistoryProtocol() = default;
    virtual void updateRequest(platform::net::UrlRequest& request, bool isHTTPGet) = 0;
    virtual bool shouldCacheETaggedData() const = 0;
    // The cached body for a 304 reply; null when there is none.
    virtual QByteArray cachedDataForRequest(const platform::net::UrlRequest& request) = 0;
    virtual std::shared_ptr<NetCookieStorageProtocol> cookieStorage() const = 0;
    virtual void updateFetchHistoryWithRequest(const platform::net::UrlRequest& request,
                                               const platform::net::UrlResponse& response,
                                               const QByteArray& downloadedData) = 0;
    virtual void removeCachedDataForRequest(const platform::net::UrlRequest& request) = 0;
};

class NetHTTPFetcherServiceProtocol {
public:
    virtual ~NetHTTPFetcherServiceProtocol() = default;
    // May the fetcher start now? When not, the service starts it later itself.
    virtual bool fetcherShouldBeginFetching(const std::shared_ptr<NetHTTPFetcher>& fetcher) = 0;
    virtual void fetcherDidStop(NetHTTPFetcher& fetcher) = 0;
    virtual std::shared_ptr<NetHTTPFetcher> fetcherWithRequest(const platform::net::UrlRequest& request) = 0;
    virtual bool isDelayingFetcher(const NetHTTPFetcher& fetcher) const = 0;
};
