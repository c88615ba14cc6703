#include "webservice/oauth2/NetOAuth2SignIn.h"

#include "platform/foundation/LoopContext.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/net/ServiceAddresses.h"
#include "platform/net/UrlError.h"
#include "webservice/HTTPFetcher/NetHTTPFetcher.h"
#include "webservice/oauth2/NetOAuth2Reachability.h"

using platform::net::ServiceAddress;
using platform::net::ServiceAddresses;

namespace {

// `path` on a host of the service addresses (below any path the setting gives).
QUrl providerURL(ServiceAddress address, const QString& path) {
    QUrl url = ServiceAddresses::url(address);
    QString base = url.path();
    while (base.endsWith(u'/'))
        base.chop(1);
    url.setPath(base + path);
    url.setQuery(QString());
    url.setFragment(QString());
    return url;
}

bool sameHostAndPath(const QUrl& a, const QUrl& b) {
    return a.host().compare(b.host(), Qt::CaseInsensitive) == 0 && a.path() == b.path();
}

} // namespace

std::shared_ptr<NetOAuth2SignIn>
NetOAuth2SignIn::create(std::shared_ptr<NetOAuth2Authentication> authentication, const QUrl& authorizationURL,
                        std::shared_ptr<void> delegate, DisplaySelector webRequestSelector,
                        FinishedSelector finishedSelector) {
    return std::make_shared<NetOAuth2SignIn>(std::move(authentication), authorizationURL, std::move(delegate),
                                             std::move(webRequestSelector), std::move(finishedSelector));
}

NetOAuth2SignIn::NetOAuth2SignIn(std::shared_ptr<NetOAuth2Authentication> authentication,
                                 const QUrl& authorizationURL, std::shared_ptr<void> delegate,
                                 DisplaySelector webRequestSelector, FinishedSelector finishedSelector)
    : auth_(std::move(authentication)), authorizationURL_(authorizationURL), delegate_(std::move(delegate)),
      webRequestSelector_(std::move(webRequestSelector)), finishedSelector_(std::move(finishedSelector)),
      shouldFetchProviderUserEmail_(
          authorizationURL.host().compare(providerAuthorizationURL().host(), Qt::CaseInsensitive) == 0),
      scheduler_(platform::Scheduler::mainThreadScheduler()) {}

NetOAuth2SignIn::~NetOAuth2SignIn() {
    stopReachabilityCheck();
}

QVariant NetOAuth2SignIn::notificationObject() const {
    return QVariant::fromValue(static_cast<void*>(const_cast<NetOAuth2SignIn*>(this)));
}

// The provider.

QUrl NetOAuth2SignIn::providerAuthorizationURL() {
    return providerURL(ServiceAddress::ProviderAuthorizationServer, QStringLiteral("/o/oauth2/auth"));
}
QUrl NetOAuth2SignIn::providerTokenURL() {
    return providerURL(ServiceAddress::ProviderAuthorizationServer, QStringLiteral("/o/oauth2/token"));
}
QUrl NetOAuth2SignIn::providerRevocationURL() {
    return providerURL(ServiceAddress::ProviderAuthorizationServer, QStringLiteral("/o/oauth2/revoke"));
}
QUrl NetOAuth2SignIn::providerUserInfoURL() {
    return providerURL(ServiceAddress::ProviderAPIHost, QStringLiteral("/oauth2/v1/userinfo"));
}
QString NetOAuth2SignIn::providerUserEmailScope() {
    return providerURL(ServiceAddress::ProviderAPIHost, QStringLiteral("/auth/userinfo.email")).toString();
}
QString NetOAuth2SignIn::providerUserProfileScope() {
    return providerURL(ServiceAddress::ProviderAPIHost, QStringLiteral("/auth/userinfo.profile")).toString();
}
QString NetOAuth2SignIn::nativeClientRedirectURI() {
    return QStringLiteral("urn:ietf:wg:oauth:2.0:oob");
}

std::shared_ptr<NetOAuth2Authentication>
NetOAuth2SignIn::standardProviderAuthenticationForScope(const QString& scope, const QString& clientID,
                                                        const QString& clientSecret) {
    auto auth = NetOAuth2Authentication::authenticationWithServiceProvider(
        QString::fromLatin1(kNetOAuth2ServiceProvider), providerTokenURL(), nativeClientRedirectURI(),
        clientID, clientSecret);
    auth->setScope(scope);
    return auth;
}

NetOAuth2SignIn::Request NetOAuth2SignIn::mutableURLRequestWithURL(const QUrl& url,
                                                                   const QString& paramString) {
    const QString ownQuery = url.query(QUrl::FullyEncoded);
    const QString query = ownQuery.isEmpty() ? paramString : ownQuery + u'&' + paramString;
    const QString text =
        QStringLiteral("%1://%2%3%4%5%6")
            .arg(url.scheme(), url.host(QUrl::FullyEncoded),
                 url.port() >= 0 ? QStringLiteral(":%1").arg(url.port()) : QString(),
                 url.path(QUrl::FullyEncoded), query.isEmpty() ? QString() : QStringLiteral("?"), query);
    return Request(QUrl::fromEncoded(text.toUtf8()));
}

void NetOAuth2SignIn::revokeTokenForProviderAuthentication(NetOAuth2Authentication& authentication) {
    if (authentication.canAuthorize() &&
        authentication.serviceProvider() == QLatin1String(kNetOAuth2ServiceProvider)) {
        // The refresh token ends the whole grant; an account holding only an access token revokes that.
        QString token = authentication.refreshToken();
        if (token.isEmpty())
            token = authentication.accessToken();
        Request request(providerRevocationURL());
        request.setValue("Content-Type", "application/x-www-form-urlencoded");
        request.setValue("User-Agent", authentication.userAgent().toUtf8());
        std::shared_ptr<NetHTTPFetcher> fetcher;
        if (NetHTTPFetcherServiceProtocol* service = authentication.fetcherService()) {
            fetcher = service->fetcherWithRequest(request);
            fetcher->setAuthorizer(nullptr); // a revocation must not start a refresh
        } else {
            fetcher = NetHTTPFetcher::fetcherWithRequest(request);
        }
        fetcher->setPostData("token=" + NetOAuth2Authentication::encodedOAuthValueForString(token).toUtf8());
        fetcher->beginFetchWithCompletionHandler([](const QByteArray&, const OptionalError&) {});
    }
    authentication.reset();
}

// The authorization request.

void NetOAuth2SignIn::addScopeForFlag(bool flag, const QString& scopeURL) {
    const QString scope = auth_->scope();
    if (flag && !scope.isNull() && !scope.contains(scopeURL))
        auth_->setScope(NetOAuth2Authentication::scopeWithStrings({scope, scopeURL}));
}

bool NetOAuth2SignIn::startSigningIn() {
    addScopeForFlag(shouldFetchProviderUserEmail_, providerUserEmailScope());
    addScopeForFlag(shouldFetchProviderUserProfile_, providerUserProfileScope());
    startWebRequest();
    return true;
}

std::optional<NetOAuth2Authentication::Form> NetOAuth2SignIn::parametersForWebRequest() const {
    const QString clientID = auth_->clientID();
    const QString redirectURI = auth_->redirectURI();
    if (clientID.isEmpty() || redirectURI.isEmpty())
        return std::nullopt;
    NetOAuth2Authentication::Form fields{{QStringLiteral("response_type"), QStringLiteral("code")},
                                         {QStringLiteral("client_id"), clientID},
                                         {QStringLiteral("redirect_uri"), redirectURI}};
    if (const QString scope = auth_->scope(); !scope.isEmpty())
        fields.insert(QStringLiteral("scope"), scope);
    fields.insert(additionalAuthorizationParameters_);
    return fields;
}

void NetOAuth2SignIn::startWebRequest() {
    const std::shared_ptr<NetOAuth2SignIn> self = shared_from_this();
    const std::optional<NetOAuth2Authentication::Form> fields = parametersForWebRequest();
    const QString paramString =
        fields ? NetOAuth2Authentication::encodedQueryParametersForDictionary(*fields) : QString();
    const Request request = mutableURLRequestWithURL(authorizationURL_, paramString);
    if (DisplaySelector display = webRequestSelector_)
        display(*this, request);
    startReachabilityCheck();
}

// Recognising the result.

bool NetOAuth2SignIn::requestRedirectedToRequest(const Request& request) {
    const QString redirectURI = auth_->redirectURI();
    if (redirectURI.isEmpty() || redirectURI == nativeClientRedirectURI() || request.url.isEmpty())
        return false;
    const QUrl redirectURL(redirectURI);
    const QUrl& requestURL = request.url;
    const bool isCallback = !requestURL.host().isEmpty() && !requestURL.path().isEmpty()
                                ? sameHostAndPath(requestURL, redirectURL)
                                : requestURL == redirectURL;
    if (!isCallback)
        return false;
    if (!hasHandledCallback_) {
        auth_->setKeysForResponseString(requestURL.query(QUrl::FullyEncoded));
        handleCallbackReached();
    }
    return true;
}

bool NetOAuth2SignIn::titleChanged(const QString& title) {
    const qsizetype blank = title.lastIndexOf(u' ');
    if (blank < 0)
        return false;
    const std::optional<NetOAuth2Authentication::Form> reply =
        NetOAuth2Authentication::dictionaryWithResponseString(title.mid(blank + 1));
    if (!reply ||
        (reply->value(QStringLiteral("code")).isEmpty() && reply->value(QStringLiteral("error")).isEmpty()))
        return false;
    if (!hasHandledCallback_) {
        QVariantMap fields;
        for (auto it = reply->begin(); it != reply->end(); ++it)
            fields.insert(it.key(), it.value());
        auth_->setKeysForResponseDictionary(fields);
        handleCallbackReached();
    }
    return true;
}

bool NetOAuth2SignIn::cookiesChanged(NetCookieStorageProtocol&) {
    return false;
}

bool NetOAuth2SignIn::loadFailedWithError(const platform::Error& error) {
    QString failing = error.userInfo.value(QLatin1String(platform::net::kErrorFailingUrlKey)).toString();
    if (failing.isEmpty())
        failing = error.userInfo.value(QStringLiteral("NSErrorFailingURLKey")).toString();
    const QUrl failingURL(failing);
    if (failing.isEmpty() || !sameHostAndPath(failingURL, authorizationURL_))
        return false;
    const std::shared_ptr<NetOAuth2SignIn> self = shared_from_this();
    closeTheWindow();
    finishSignInWithError(error);
    return true;
}

void NetOAuth2SignIn::handleCallbackReached() {
    const std::shared_ptr<NetOAuth2SignIn> self = shared_from_this();
    hasHandledCallback_ = true;
    closeTheWindow();
    if (!auth_->code().isEmpty()) {
        pendingFetcher_ = auth_->beginTokenFetchWithDelegate(
            self, [self](NetOAuth2Authentication&, const std::shared_ptr<NetHTTPFetcher>&,
                         const OptionalError& error) { self->authFinishedWithFetcher(error); });
        platform::NotificationCenter::defaultCenter().post(QString::fromLatin1(kNetOAuth2UserSignedIn),
                                                           notificationObject());
        return;
    }
    QVariantMap info;
    if (const QString word = auth_->errorString(); !word.isEmpty())
        info.insert(QLatin1String(kNetOAuth2ErrorMessageKey), word);
    finishSignInWithError(platform::Error(QString::fromLatin1(kNetOAuth2ErrorDomain),
                                          kNetOAuth2ErrorAuthorizationFailed, info));
}

void NetOAuth2SignIn::closeTheWindow() {
    stopReachabilityCheck();
    if (DisplaySelector display = webRequestSelector_)
        display(*this, std::nullopt);
}

// Fetches after the result.

void NetOAuth2SignIn::authFinishedWithFetcher(const OptionalError& error) {
    pendingFetcher_.reset();
    if (error) {
        finishSignInWithError(error);
        return;
    }
    const bool wantsUserInfo = shouldFetchProviderUserEmail_ || shouldFetchProviderUserProfile_;
    if (wantsUserInfo && auth_->serviceProvider() == QLatin1String(kNetOAuth2ServiceProvider))
        fetchProviderUserInfo();
    else
        finishSignInWithError(std::nullopt);
}

void NetOAuth2SignIn::fetchProviderUserInfo() {
    Request request(providerUserInfoURL());
    request.setValue("User-Agent", auth_->userAgent().toUtf8());
    auth_->authorizeRequest(request);
    NetHTTPFetcherServiceProtocol* service = auth_->fetcherService();
    std::shared_ptr<NetHTTPFetcher> fetcher =
        service ? service->fetcherWithRequest(request) : NetHTTPFetcher::fetcherWithRequest(request);
    fetcher->setRetryEnabled(true);
    fetcher->setMaxRetryInterval(15.0);
    fetcher->setComment(QStringLiteral("user info"));
    const std::shared_ptr<NetOAuth2SignIn> self = shared_from_this();
    pendingFetcher_ = fetcher;
    const bool began = fetcher->beginFetchWithDelegate(
        self, [self](NetHTTPFetcher&, const QByteArray& data, const OptionalError& error) {
            self->infoFetcherFinished(data, error);
        });
    if (began)
        auth_->notifyFetchIsRunning(true, *fetcher, QLatin1String(kNetOAuth2FetchTypeUserInfo));
}

void NetOAuth2SignIn::infoFetcherFinished(const QByteArray& data, const OptionalError& error) {
    const std::shared_ptr<NetOAuth2SignIn> self = shared_from_this();
    if (pendingFetcher_)
        auth_->notifyFetchIsRunning(false, *pendingFetcher_, QString());
    pendingFetcher_.reset();
    if (!error && !data.isEmpty()) {
        if (const std::optional<QVariantMap> profile =
                NetOAuth2Authentication::dictionaryWithJSONData(data)) {
            userProfile_ = profile;
            const QVariant email = profile->value(QStringLiteral("email"));
            auth_->setUserEmail(email.typeId() == QMetaType::QString ? email.toString() : QString());
            const QVariant verified = profile->value(QStringLiteral("verified_email"));
            QString verifiedText;
            if (verified.typeId() == QMetaType::Bool)
                verifiedText = verified.toBool() ? QStringLiteral("1") : QStringLiteral("0");
            else if (verified.typeId() == QMetaType::QString)
                verifiedText = verified.toString().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0
                                   ? QStringLiteral("1")
                                   : QStringLiteral("0");
            auth_->setUserEmailIsVerified(verifiedText);
        }
    }
    finishSignInWithError(error);
}

// The end.

void NetOAuth2SignIn::finishSignInWithError(const OptionalError& error) {
    const std::shared_ptr<NetOAuth2SignIn> self = shared_from_this();
    FinishedSelector finished = std::move(finishedSelector_);
    finishedSelector_ = nullptr;
    if (finished)
        finished(*this, auth_, error);
    releaseDelegate();
}

void NetOAuth2SignIn::releaseDelegate() {
    webRequestSelector_ = nullptr;
    finishedSelector_ = nullptr;
    // The delegate may own this sign-in: it goes from the loop, never from inside one of our calls.
    if (std::shared_ptr<void> delegate = std::move(delegate_))
        platform::LoopContext::current()->post([delegate] {});
}

void NetOAuth2SignIn::cancelSigningIn() {
    const std::shared_ptr<NetOAuth2SignIn> self = shared_from_this();
    if (std::shared_ptr<NetHTTPFetcher> fetcher = std::move(pendingFetcher_))
        fetcher->stopFetching();
    auth_->stopAuthorization();
    closeTheWindow();
    releaseDelegate();
}

void NetOAuth2SignIn::windowWasClosed() {
    const std::shared_ptr<NetOAuth2SignIn> self = shared_from_this();
    stopReachabilityCheck();
    finishSignInWithError(
        platform::Error(QString::fromLatin1(kNetOAuth2ErrorDomain), kNetOAuth2ErrorWindowClosed));
}

// Watching the network.

void NetOAuth2SignIn::startReachabilityCheck() {
    if (networkLossTimeoutInterval_ <= 0.0 || reachabilityRef_)
        return;
    reachabilityRef_ = NetOAuth2Reachability::make();
    const std::weak_ptr<NetOAuth2SignIn> weak = weak_from_this();
    const bool watching =
        reachabilityRef_ && reachabilityRef_->startWatching(authorizationURL_.host(), [weak](unsigned flags) {
            if (const auto signIn = weak.lock())
                signIn->reachabilityTargetChangedFlags(flags);
        });
    if (!watching)
        reachabilityRef_.reset();
}

void NetOAuth2SignIn::stopReachabilityCheck() {
    networkLossTimer_.cancel();
    if (std::unique_ptr<NetOAuth2Reachability> watcher = std::move(reachabilityRef_))
        watcher->stopWatching();
}

void NetOAuth2SignIn::reachabilityTargetChangedFlags(unsigned flags) {
    const unsigned mask = NetOAuth2Reachability::kReachable | NetOAuth2Reachability::kConnectionRequired;
    if ((flags & mask) == NetOAuth2Reachability::kReachable) {
        networkLossTimer_.cancel();
        if (hasNotifiedNetworkLoss_) {
            hasNotifiedNetworkLoss_ = false;
            platform::NotificationCenter::defaultCenter().post(QString::fromLatin1(kNetOAuthNetworkFound),
                                                               notificationObject());
        }
        return;
    }
    if (!networkLossTimer_.isActive() && networkLossTimeoutInterval_ > 0.0 && !hasNotifiedNetworkLoss_)
        networkLossTimer_ =
            scheduler_->scheduleOnce(networkLossTimeoutInterval_, [this] { networkLossTimerFired(); });
}

void NetOAuth2SignIn::networkLossTimerFired() {
    if (!hasNotifiedNetworkLoss_) {
        hasNotifiedNetworkLoss_ = true;
        platform::NotificationCenter::defaultCenter().post(QString::fromLatin1(kNetOAuthNetworkLost),
                                                           notificationObject());
    }
}
