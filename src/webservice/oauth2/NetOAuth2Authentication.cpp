#include "webservice/oauth2/NetOAuth2Authentication.h"

#include "platform/foundation/LoopContext.h"
#include "webservice/HTTPFetcher/NetHTTPFetcher.h"

#include <algorithm>

std::shared_ptr<NetOAuth2AuthorizationArgs> NetOAuth2AuthorizationArgs::argsWithRequest(
    std::shared_ptr<platform::net::UrlRequest> request, std::shared_ptr<void> delegate,
    NetFetcherAuthorizationProtocol::FinishedSelector selector, CompletionHandler handler,
    std::shared_ptr<platform::LoopContext> thread) {
    auto args = std::make_shared<NetOAuth2AuthorizationArgs>();
    args->request = std::move(request);
    args->delegate = std::move(delegate);
    args->selector = std::move(selector);
    args->completionHandler = std::move(handler);
    args->thread = std::move(thread);
    return args;
}

std::shared_ptr<NetOAuth2Authentication> NetOAuth2Authentication::create() {
    return std::make_shared<NetOAuth2Authentication>();
}

std::shared_ptr<NetOAuth2Authentication> NetOAuth2Authentication::authenticationWithServiceProvider(
    const QString& serviceProvider, const QUrl& tokenURL, const QString& redirectURI, const QString& clientID,
    const QString& clientSecret) {
    auto auth = create();
    auth->setServiceProvider(serviceProvider);
    auth->setTokenURL(tokenURL);
    auth->setRedirectURI(redirectURI);
    auth->setClientID(clientID);
    auth->setClientSecret(clientSecret);
    return auth;
}

NetOAuth2Authentication::NetOAuth2Authentication() = default;
NetOAuth2Authentication::~NetOAuth2Authentication() = default;

// Token state.

QString NetOAuth2Authentication::parameter(const QString& key) const {
    std::lock_guard lock(stateMutex_);
    return parameters_.value(key);
}

void NetOAuth2Authentication::setParameter(const QString& key, const QString& value) {
    std::lock_guard lock(stateMutex_);
    if (value.isNull())
        parameters_.remove(key);
    else
        parameters_.insert(key, value);
    if (key == QLatin1String("expires_in"))
        recomputeExpirationDateLocked();
}

NetOAuth2Authentication::Form NetOAuth2Authentication::parameters() const {
    std::lock_guard lock(stateMutex_);
    return parameters_;
}

QString NetOAuth2Authentication::userEmail() const {
    return parameter(QStringLiteral("email"));
}

std::optional<qint64> NetOAuth2Authentication::expiresIn() const {
    const QString text = parameter(QStringLiteral("expires_in"));
    if (text.isNull())
        return std::nullopt;
    // Whole seconds, whether the provider wrote "3600" or "3600.0".
    bool ok = false;
    const qint64 whole = text.toLongLong(&ok);
    if (ok)
        return whole;
    const double seconds = text.toDouble(&ok);
    return ok && seconds > -9.0e18 && seconds < 9.0e18 ? qint64(seconds) : 0;
}

void NetOAuth2Authentication::setExpiresIn(std::optional<qint64> seconds) {
    setParameter(QStringLiteral("expires_in"), seconds ? QString::number(*seconds) : QString());
}

void NetOAuth2Authentication::recomputeExpirationDateLocked() {
    const QString text = parameters_.value(QStringLiteral("expires_in"));
    bool ok = false;
    qint64 seconds = text.toLongLong(&ok);
    if (!ok)
        seconds = qint64(std::clamp(text.toDouble(), -1.0e12, 1.0e12));
    expirationDate_ = seconds > 0 ? clock_->now().addSecs(seconds) : QDateTime();
}

QDateTime NetOAuth2Authentication::expirationDate() const {
    std::lock_guard lock(stateMutex_);
    return expirationDate_;
}

void NetOAuth2Authentication::setExpirationDate(const QDateTime& date) {
    std::lock_guard lock(stateMutex_);
    expirationDate_ = date;
}

QString NetOAuth2Authentication::clientID() const {
    std::lock_guard lock(stateMutex_);
    return clientID_;
}
void NetOAuth2Authentication::setClientID(const QString& value) {
    std::lock_guard lock(stateMutex_);
    clientID_ = value;
}
QString NetOAuth2Authentication::clientSecret() const {
    std::lock_guard lock(stateMutex_);
    return clientSecret_;
}
void NetOAuth2Authentication::setClientSecret(const QString& value) {
    std::lock_guard lock(stateMutex_);
    clientSecret_ = value;
}
QString NetOAuth2Authentication::redirectURI() const {
    std::lock_guard lock(stateMutex_);
    return redirectURI_;
}
void NetOAuth2Authentication::setRedirectURI(const QString& value) {
    std::lock_guard lock(stateMutex_);
    redirectURI_ = value;
}
QUrl NetOAuth2Authentication::tokenURL() const {
    std::lock_guard lock(stateMutex_);
    return tokenURL_;
}
void NetOAuth2Authentication::setTokenURL(const QUrl& value) {
    std::lock_guard lock(stateMutex_);
    tokenURL_ = value;
}
NetOAuth2Authentication::Form NetOAuth2Authentication::additionalTokenRequestParameters() const {
    std::lock_guard lock(stateMutex_);
    return additionalTokenRequestParameters_;
}
void NetOAuth2Authentication::setAdditionalTokenRequestParameters(const Form& value) {
    std::lock_guard lock(stateMutex_);
    additionalTokenRequestParameters_ = value;
}
NetHTTPFetcherServiceProtocol* NetOAuth2Authentication::fetcherService() const {
    std::lock_guard lock(stateMutex_);
    return fetcherService_;
}
void NetOAuth2Authentication::setFetcherService(NetHTTPFetcherServiceProtocol* service) {
    std::lock_guard lock(stateMutex_);
    fetcherService_ = service;
}

void NetOAuth2Authentication::setProperty(const QString& key, const QVariant& value) {
    if (value.isValid())
        properties_.insert(key, value);
    else
        properties_.remove(key);
}

QVariant NetOAuth2Authentication::notificationObject() const {
    return QVariant::fromValue(static_cast<void*>(const_cast<NetOAuth2Authentication*>(this)));
}

QString NetOAuth2Authentication::description() const {
    QStringList entries;
    const auto add = [&](const char* name, const QString& value) {
        if (!value.isEmpty())
            entries << QStringLiteral("%1=\"%2\"").arg(QLatin1String(name), value);
    };
    add("accessToken", accessToken());
    add("refreshToken", refreshToken());
    add("code", code());
    add("expirationDate", expirationDate().toString(Qt::ISODate));
    add("errorString", errorString());
    return QStringLiteral("NetOAuth2Authentication %1: {%2}")
        .arg(QStringLiteral("0x%1").arg(quintptr(this), 0, 16), entries.join(QStringLiteral(", ")));
}

// State tests.

bool NetOAuth2Authentication::canAuthorize() const {
    const QString refresh = refreshToken();
    return !(refresh.isEmpty() ? accessToken() : refresh).isEmpty();
}

bool NetOAuth2Authentication::shouldRefreshAccessToken() const {
    if (refreshToken().isEmpty())
        return false;
    if (accessToken().isEmpty())
        return true;
    const QDateTime expiry = expirationDate();
    if (!expiry.isValid())
        return true;
    return clock_->now().msecsTo(expiry) < 60'000;
}

bool NetOAuth2Authentication::primeForRefresh() {
    if (refreshToken().isEmpty())
        return false;
    std::lock_guard lock(stateMutex_);
    parameters_.remove(QStringLiteral("access_token"));
    parameters_.remove(QStringLiteral("expires_in"));
    parameters_.remove(QStringLiteral("error"));
    expirationDate_ = QDateTime();
    return true;
}

void NetOAuth2Authentication::reset() {
    std::lock_guard lock(stateMutex_);
    for (const char* key :
         {"code", "access_token", "refresh_token", "expires_in", "error", "email", "isVerified"})
        parameters_.remove(QLatin1String(key));
    expirationDate_ = QDateTime();
}

bool NetOAuth2Authentication::isAuthorizedRequest(const Request& request) const {
    return !request.value("Authorization").isEmpty();
}

// Authorizing.

void NetOAuth2Authentication::authorizeRequest(const std::shared_ptr<Request>& request,
                                               std::shared_ptr<void> delegate, FinishedSelector finished) {
    authorizeRequestArgs(NetOAuth2AuthorizationArgs::argsWithRequest(
        request, std::move(delegate), std::move(finished), nullptr, platform::LoopContext::current()));
}

void NetOAuth2Authentication::authorizeRequest(const std::shared_ptr<Request>& request,
                                               CompletionHandler handler) {
    authorizeRequestArgs(NetOAuth2AuthorizationArgs::argsWithRequest(
        request, nullptr, nullptr, std::move(handler), platform::LoopContext::current()));
}

bool NetOAuth2Authentication::authorizeRequest(Request& request) {
    // The record borrows the caller's request; it never leaves this call.
    NetOAuth2AuthorizationArgs args;
    args.request = std::shared_ptr<Request>(std::shared_ptr<Request>(), &request);
    return authorizeRequestImmediateArgs(args);
}

bool NetOAuth2Authentication::authorizeRequestArgs(const std::shared_ptr<NetOAuth2AuthorizationArgs>& args) {
    const std::shared_ptr<NetOAuth2Authentication> self = shared_from_this();
    std::lock_guard lock(queueMutex_);
    if (shouldRefreshAccessToken()) {
        if (refreshFetcher_) {
            authorizationQueue_.push_back(args);
        } else {
            refreshFetcher_ = beginTokenFetchWithDelegate(
                nullptr, [](NetOAuth2Authentication& auth, const std::shared_ptr<NetHTTPFetcher>&,
                            const OptionalError& error) { auth.finishedRefresh(error); });
            if (refreshFetcher_)
                authorizationQueue_.push_back(args);
        }
        if (refreshFetcher_)
            return true;
    }
    return authorizeRequestImmediateArgs(*args);
}

bool NetOAuth2Authentication::authorizeRequestImmediateArgs(NetOAuth2AuthorizationArgs& args) {
    std::lock_guard lock(queueMutex_);
    const std::shared_ptr<Request>& request = args.request;
    const bool isHTTPS =
        !request || request->url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
    qint64 failure = 0;
    if (!shouldAuthorizeAllRequests_ && !isHTTPS) {
        failure = kNetOAuth2ErrorUnauthorizableRequest;
    } else {
        const QString token = accessToken();
        // A token that cannot stand in a header (a line break from a hostile reply) signs nothing.
        if (!token.isEmpty() && (!request || request->setValue("Authorization", "Bearer " + token.toUtf8())))
            args.error.reset();
        else
            failure = kNetOAuth2ErrorAuthorizationFailed;
    }
    if (failure != 0 && !args.error) {
        QVariantMap info;
        if (request)
            info.insert(QLatin1String(kNetOAuth2ErrorRequestKey), QVariant::fromValue(request));
        args.error = platform::Error(QString::fromLatin1(kNetOAuth2ErrorDomain), failure, info);
    }
    const bool succeeded = !args.error;
    if ((args.selector || args.completionHandler) && args.thread)
        deliverCallback(std::make_shared<NetOAuth2AuthorizationArgs>(args));
    return succeeded;
}

void NetOAuth2Authentication::deliverCallback(const std::shared_ptr<NetOAuth2AuthorizationArgs>& args) {
    const std::shared_ptr<NetOAuth2Authentication> self = shared_from_this();
    const auto deliver = [self, args] {
        if (args->selector)
            args->selector(*self, args->request, args->error);
        if (args->completionHandler)
            args->completionHandler(args->error);
    };
    if (args->thread->isCurrent())
        deliver();
    else
        args->thread->post(deliver);
}

void NetOAuth2Authentication::finishedRefresh(const OptionalError& error) {
    std::lock_guard lock(queueMutex_);
    refreshFetcher_.reset();
    const auto queue = std::exchange(authorizationQueue_, {});
    const bool hasToken = !accessToken().isEmpty();
    for (const std::shared_ptr<NetOAuth2AuthorizationArgs>& args : queue) {
        if (!hasToken && !args->error)
            args->error = error;
        authorizeRequestImmediateArgs(*args);
    }
}

void NetOAuth2Authentication::stopAuthorization() {
    std::shared_ptr<NetHTTPFetcher> fetcher;
    {
        std::lock_guard lock(queueMutex_);
        authorizationQueue_.clear();
        fetcher = std::move(refreshFetcher_);
    }
    if (fetcher)
        fetcher->stopFetching();
}

bool NetOAuth2Authentication::isAuthorizingRequest(const Request& request) const {
    std::lock_guard lock(queueMutex_);
    return std::any_of(authorizationQueue_.begin(), authorizationQueue_.end(),
                       [&](const auto& args) { return args->request.get() == &request; });
}

std::shared_ptr<NetHTTPFetcher> NetOAuth2Authentication::refreshFetcher() const {
    std::lock_guard lock(queueMutex_);
    return refreshFetcher_;
}

std::size_t NetOAuth2Authentication::pendingAuthorizationCount() const {
    std::lock_guard lock(queueMutex_);
    return authorizationQueue_.size();
}

bool NetOAuth2Authentication::waitForCompletionWithTimeout(double seconds) {
    const std::shared_ptr<NetHTTPFetcher> fetcher = refreshFetcher();
    return !fetcher || fetcher->waitForCompletionWithTimeout(seconds);
}
