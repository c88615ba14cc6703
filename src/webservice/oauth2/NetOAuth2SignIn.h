#pragma once

#include "platform/foundation/Error.h"
#include "platform/foundation/Scheduler.h"
#include "platform/net/UrlRequest.h"
#include "webservice/oauth2/NetOAuth2Authentication.h"

#include <QUrl>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>

class NetCookieStorageProtocol;
class NetHTTPFetcher;
class NetOAuth2Reachability;

// The provider's name in the token state of an account signed in through the video service's provider.
inline constexpr char kNetOAuth2ServiceProvider[] = "Provider";

// The OAuth 2 sign-in of an installed application, without a window of its own: it builds the provider's
// authorization request and asks its delegate to show it, takes the authorization code (or the refusal)
// from the pages shown, exchanges the code for tokens, fetches the account's e-mail address, and ends once.
// While the user is away on the provider's pages it watches whether the provider can be reached.
//
// Own it through a std::shared_ptr (see create()). Main thread only: the window, the fetches and the
// network watch all call back there. After the end (or a cancel) the delegate and its callbacks are let go,
// so later sightings and ends reach nobody.
class NetOAuth2SignIn : public std::enable_shared_from_this<NetOAuth2SignIn> {
public:
    using Request = platform::net::UrlRequest;
    using OptionalError = platform::OptionalError;
    // Shows the request, or (nullopt) takes the window down.
    using DisplaySelector = std::function<void(NetOAuth2SignIn&, const std::optional<Request>& request)>;
    using FinishedSelector = std::function<void(
        NetOAuth2SignIn&, const std::shared_ptr<NetOAuth2Authentication>&, const OptionalError&)>;

    static std::shared_ptr<NetOAuth2SignIn> create(std::shared_ptr<NetOAuth2Authentication> authentication,
                                                   const QUrl& authorizationURL,
                                                   std::shared_ptr<void> delegate,
                                                   DisplaySelector webRequestSelector,
                                                   FinishedSelector finishedSelector);
    // Use create(): a sign-in must be owned by a std::shared_ptr.
    NetOAuth2SignIn(std::shared_ptr<NetOAuth2Authentication> authentication, const QUrl& authorizationURL,
                    std::shared_ptr<void> delegate, DisplaySelector webRequestSelector,
                    FinishedSelector finishedSelector);
    ~NetOAuth2SignIn();
    NetOAuth2SignIn(const NetOAuth2SignIn&) = delete;
    NetOAuth2SignIn& operator=(const NetOAuth2SignIn&) = delete;

    // The provider's endpoints, on the hosts of the service addresses.
    static QUrl providerAuthorizationURL();
    static QUrl providerTokenURL();
    static QUrl providerRevocationURL();
    static QUrl providerUserInfoURL();
    static QString providerUserEmailScope();
    static QString providerUserProfileScope();
    // The code is shown on the provider's page instead of being sent to an address of ours.
    static QString nativeClientRedirectURI();
    static std::shared_ptr<NetOAuth2Authentication>
    standardProviderAuthenticationForScope(const QString& scope, const QString& clientID,
                                           const QString& clientSecret);
    static Request mutableURLRequestWithURL(const QUrl& url, const QString& paramString);
    // Asks the provider to forget the token (not waiting for its answer) and signs the authentication out.
    static void revokeTokenForProviderAuthentication(NetOAuth2Authentication& authentication);

    bool startSigningIn();
    // Stops everything and lets the delegate go without telling it.
    void cancelSigningIn();
    // The user closed the window before the end.
    void windowWasClosed();
    // What the window reports of the pages it shows; each answers whether the sighting carried the result.
    bool requestRedirectedToRequest(const Request& request);
    bool titleChanged(const QString& title);
    bool cookiesChanged(NetCookieStorageProtocol& cookieStorage);
    bool loadFailedWithError(const platform::Error& error);
    // The network watch's report: reachable (2) without a connection required (4) counts as reachable.
    void reachabilityTargetChangedFlags(unsigned flags);

    // The fields of the authorization request; nullopt without a client identifier or redirect address.
    std::optional<NetOAuth2Authentication::Form> parametersForWebRequest() const;

    const std::shared_ptr<NetOAuth2Authentication>& authentication() const { return auth_; }
    const QUrl& authorizationURL() const { return authorizationURL_; }
    const NetOAuth2Authentication::Form& additionalAuthorizationParameters() const {
        return additionalAuthorizationParameters_;
    }
    void setAdditionalAuthorizationParameters(const NetOAuth2Authentication::Form& value) {
        additionalAuthorizationParameters_ = value;
    }
    bool hasDelegate() const { return finishedSelector_ != nullptr; }
    bool hasHandledCallback() const { return hasHandledCallback_; }
    const std::shared_ptr<NetHTTPFetcher>& pendingFetcher() const { return pendingFetcher_; }
    bool shouldFetchProviderUserEmail() const { return shouldFetchProviderUserEmail_; }
    void setShouldFetchProviderUserEmail(bool value) { shouldFetchProviderUserEmail_ = value; }
    bool shouldFetchProviderUserProfile() const { return shouldFetchProviderUserProfile_; }
    void setShouldFetchProviderUserProfile(bool value) { shouldFetchProviderUserProfile_ = value; }
    const std::optional<QVariantMap>& userProfile() const { return userProfile_; }
    double networkLossTimeoutInterval() const { return networkLossTimeoutInterval_; }
    void setNetworkLossTimeoutInterval(double seconds) { networkLossTimeoutInterval_ = seconds; }
    bool hasNotifiedNetworkLoss() const { return hasNotifiedNetworkLoss_; }
    const QVariant& userData() const { return userData_; }
    void setUserData(const QVariant& value) { userData_ = value; }
    // The network-loss timer runs on this scheduler (tests drive a manual one).
    void setScheduler(std::shared_ptr<platform::Scheduler> scheduler) { scheduler_ = std::move(scheduler); }
    QVariant notificationObject() const;

private:
    void startWebRequest();
    void addScopeForFlag(bool flag, const QString& scopeURL);
    void handleCallbackReached();
    void closeTheWindow();
    void authFinishedWithFetcher(const OptionalError& error);
    void fetchProviderUserInfo();
    void infoFetcherFinished(const QByteArray& data, const OptionalError& error);
    void finishSignInWithError(const OptionalError& error);
    void releaseDelegate();
    void startReachabilityCheck();
    void stopReachabilityCheck();
    void networkLossTimerFired();

    std::shared_ptr<NetOAuth2Authentication> auth_;
    QUrl authorizationURL_;
    NetOAuth2Authentication::Form additionalAuthorizationParameters_;
    std::shared_ptr<void> delegate_;
    DisplaySelector webRequestSelector_;
    FinishedSelector finishedSelector_;
    bool hasHandledCallback_ = false;
    std::shared_ptr<NetHTTPFetcher> pendingFetcher_;
    bool shouldFetchProviderUserEmail_ = false;
    bool shouldFetchProviderUserProfile_ = false;
    std::optional<QVariantMap> userProfile_;
    std::unique_ptr<NetOAuth2Reachability> reachabilityRef_;
    platform::Scheduler::Handle networkLossTimer_;
    double networkLossTimeoutInterval_ = 30.0;
    bool hasNotifiedNetworkLoss_ = false;
    QVariant userData_;
    std::shared_ptr<platform::Scheduler> scheduler_;
};

// A sign-in class as a value: how to make its sign-ins and the class operations a sign-in window asks of it,
// so that a class derived from NetOAuth2SignIn (for another provider, say) can stand in for it. A derived
// class that gives its own provider addresses gives its own standard authentication too.
struct NetOAuth2SignInClass {
    std::function<std::shared_ptr<NetOAuth2SignIn>(
        std::shared_ptr<NetOAuth2Authentication> authentication, const QUrl& authorizationURL,
        std::shared_ptr<void> delegate, NetOAuth2SignIn::DisplaySelector webRequestSelector,
        NetOAuth2SignIn::FinishedSelector finishedSelector)>
        create;
    std::function<std::shared_ptr<NetOAuth2Authentication>(const QString& scope, const QString& clientID,
                                                           const QString& clientSecret)>
        standardProviderAuthenticationForScope;
    std::function<QUrl()> providerAuthorizationURL;
    std::function<QUrl()> providerTokenURL;
    std::function<QString()> nativeClientRedirectURI;
    std::function<void(NetOAuth2Authentication&)> revokeTokenForProviderAuthentication;

    // The operations of SignIn, which is NetOAuth2SignIn or derives from it.
    template <class SignIn> static NetOAuth2SignInClass of() {
        return {[](std::shared_ptr<NetOAuth2Authentication> authentication, const QUrl& authorizationURL,
                   std::shared_ptr<void> delegate, NetOAuth2SignIn::DisplaySelector webRequestSelector,
                   NetOAuth2SignIn::FinishedSelector finishedSelector) -> std::shared_ptr<NetOAuth2SignIn> {
                    return std::make_shared<SignIn>(std::move(authentication), authorizationURL,
                                                    std::move(delegate), std::move(webRequestSelector),
                                                    std::move(finishedSelector));
                },
                &SignIn::standardProviderAuthenticationForScope,
                &SignIn::providerAuthorizationURL,
                &SignIn::providerTokenURL,
                &SignIn::nativeClientRedirectURI,
                &SignIn::revokeTokenForProviderAuthentication};
    }
};
