#include "webservice/BaseClasses/DSServiceProvider.h"

#include "platform/net/ServiceAddresses.h"
#include "webservice/BaseClasses/DSUtilities.h"

// The account login: a form post of user name and password that yields a token, shared by every request
// that waits for it.

namespace {

QString escapedFormValue(const QString& value) {
    return QString::fromLatin1(QUrl::toPercentEncoding(value));
}

// "host[:port]" of an address.
QString hostAndPort(const QUrl& url) {
    return url.port() < 0 ? url.host() : QStringLiteral("%1:%2").arg(url.host()).arg(url.port());
}

} // namespace

std::shared_ptr<NetHTTPFetcher> DSAuthenticationFetcher::authTokenFetcherWithUsername(
    const QString& username, const QString& password, const QString& service, const QString& source,
    const QString& signInDomain, const QString& accountType,
    const QMap<QString, QString>& additionalParameters, const DSHTTPHeaders& customHeaders) {
    if (username.isEmpty() || password.isEmpty())
        return nullptr;
    const QString host = signInDomain.isEmpty()
                             ? hostAndPort(platform::net::ServiceAddresses::url(
                                   platform::net::ServiceAddress::ProviderAuthorizationServer))
                             : signInDomain;
    // Only a test server on this machine is spoken to in clear.
    const QString scheme =
        host.startsWith(QLatin1String("localhost:")) ? QStringLiteral("http") : QStringLiteral("https");
    platform::net::UrlRequest request(
        QUrl(QStringLiteral("%1://%2/accounts/AccountLogin").arg(scheme, host)));
    request.cachePolicy = platform::net::CachePolicy::ReloadIgnoringLocalCacheData;
    request.timeoutInterval = 60.0;
    for (auto it = customHeaders.cbegin(); it != customHeaders.cend(); ++it)
        request.setValue(it.key().toUtf8(), it.value().toUtf8());

    QString body = QStringLiteral("Email=%1&Passwd=%2&source=%3&service=%4&accountType=%5")
                       .arg(escapedFormValue(username), escapedFormValue(password), escapedFormValue(source),
                            escapedFormValue(service),
                            escapedFormValue(accountType.isEmpty() ? QStringLiteral("HOSTED_OR_PROVIDER")
                                                                   : accountType));
    for (auto it = additionalParameters.cbegin(); it != additionalParameters.cend(); ++it)
        body += QStringLiteral("&%1=%2").arg(it.key(), escapedFormValue(it.value()));

    auto fetcher = NetHTTPFetcher::fetcherWithRequest(request);
    fetcher->setPostData(body.toUtf8());
    fetcher->setCredential(platform::net::Credential{username, password});
    fetcher->setRetryEnabled(true);
    return fetcher;
}

// ---- credentials and login values

void DSServiceProvider::setUserCredentialsWithUsername(const QString& username, const QString& password) {
    if (username != this->username() || password != this->password()) {
        authToken_.clear();
        subAuthToken_.clear();
        clearResponseDataCache();
        pendingLogin_.reset();
        credentialDate_ = QDateTime::currentDateTimeUtc();
        if (!username.isEmpty())
            DSServiceBase::setAuthorizer(nullptr);
    }
    DSServiceBase::setUserCredentialsWithUsername(username, password);
}

void DSServiceProvider::setCaptchaToken(const QString& token, const QString& answer) {
    captchaToken_ = token;
    captchaAnswer_ = answer;
}

QString DSServiceProvider::serviceID() const {
    if (!serviceID_.isEmpty())
        return serviceID_;
    const QString fromClass = classServiceID();
    if (fromClass.isEmpty())
        DSProgrammingError(QStringLiteral("DSServiceProvider should have a serviceID"));
    return fromClass;
}

QString DSServiceProvider::accountType() const {
    return accountType_.isEmpty() ? QStringLiteral("HOSTED_OR_PROVIDER") : accountType_;
}

QString DSServiceProvider::signInDomain() const {
    if (!signInDomain_.isEmpty())
        return signInDomain_;
    return hostAndPort(
        platform::net::ServiceAddresses::url(platform::net::ServiceAddress::ProviderAuthorizationServer));
}

std::shared_ptr<NetHTTPFetcher> DSServiceProvider::authenticationFetcher() const {
    const QString source = userAgent().isEmpty() ? defaultApplicationIdentifier() : userAgent();
    QMap<QString, QString> parameters;
    if (!captchaToken_.isEmpty() && !captchaAnswer_.isEmpty()) {
        parameters.insert(QStringLiteral("logintoken"), captchaToken_);
        parameters.insert(QStringLiteral("logincaptcha"), captchaAnswer_);
    }
    auto fetcher = DSAuthenticationFetcher::authTokenFetcherWithUsername(
        username(), password(), serviceID(), source, signInDomain(), accountType(), parameters,
        customAuthenticationRequestHeaders());
    if (fetcher)
        prepareLoginFetcher(*fetcher);
    return fetcher;
}

void DSServiceProvider::prepareLoginFetcher(NetHTTPFetcher& fetcher) const {
    fetcher.setRunLoopModes(runLoopModes());
    fetcher.setFetchHistory(fetcherService()->fetchHistory());
    fetcher.setRetryEnabled(isServiceRetryEnabled());
    fetcher.setMaxRetryInterval(serviceMaxRetryInterval());
}

platform::Error DSServiceProvider::emptyCredentialsError() {
    return platform::Error(
        QString::fromLatin1(kDSServiceErrorDomain), kDSServiceErrorEmptyCredentials,
        {{QLatin1String(kDSServiceErrorTextKey), QStringLiteral("empty username/password")}});
}

// ---- requests waiting for the login

DSServiceTicketRef DSServiceProvider::deferUntilAuthenticationForInvocation(
    const std::shared_ptr<DSRetryInvocation>& invocation) {
    if (!pendingLogin_)
        return authenticateThenInvoke(invocation);
    pendingLogin_->invocations.append(invocation);
    invocation->ticket->setAuthLogin(pendingLogin_);
    invocation->ticket->setCurrentFetcher(pendingLogin_->fetcher);
    return invocation->ticket;
}

DSServiceTicketRef
DSServiceProvider::authenticateThenInvoke(const std::shared_ptr<DSRetryInvocation>& invocation) {
    const std::shared_ptr<DSServiceTicket> ticket = invocation->ticket;
    const std::shared_ptr<NetHTTPFetcher> fetcher = authenticationFetcher();
    if (!fetcher) {
        const platform::Error error = emptyCredentialsError();
        if (const FinishedSelector selector = invocation->finishedSelector)
            selector(ticket, nullptr, error);
        if (const CompletionHandler handler = invocation->completionHandler)
            handler(ticket, nullptr, error);
        return nullptr;
    }
    auto login = std::make_shared<DSLoginFetch>(DSLoginFetch{fetcher, {invocation}});
    const std::weak_ptr<DSServiceBase> weak = weak_from_this();
    if (ticket->retrySelector())
        fetcher->setRetrySelector(
            [weak, login](NetHTTPFetcher&, bool willRetry, const platform::Error& error) {
                const auto service = std::static_pointer_cast<DSServiceProvider>(weak.lock());
                return service ? service->authFetcherWillRetry(login, willRetry, error) : willRetry;
            });
    ticket->setAuthLogin(login);
    ticket->setCurrentFetcher(fetcher);
    pendingLogin_ = login;
    fetcher->setComment(QStringLiteral("API authentication"));
    fetcher->beginFetchWithDelegate(nullptr, [weak, login](NetHTTPFetcher&, const QByteArray& data,
                                                           const platform::OptionalError& error) {
        if (const auto service = std::static_pointer_cast<DSServiceProvider>(weak.lock()))
            service->authFetcherFinished(login, data, error);
    });
    return ticket;
}

void DSServiceProvider::authFetcherFinished(const std::shared_ptr<DSLoginFetch>& login,
                                            const QByteArray& data, const platform::OptionalError& error) {
    const std::shared_ptr<DSServiceBase> self = shared_from_this();
    if (error) {
        authFetcherFailed(login, *error, data);
        return;
    }
    const QString token = DSUtilities::dictionaryWithResponseData(data)
                              .value_or(QMap<QString, QString>())
                              .value(QStringLiteral("Auth"));
    if (pendingLogin_ == login) {
        authToken_ = token;
        pendingLogin_.reset();
    }
    if (token.isEmpty()) {
        authFetcherFailed(login,
                          platform::Error(QString::fromLatin1(kNetHTTPFetcherStatusDomain), 403,
                                          {{QStringLiteral("data"), data}}),
                          data);
        return;
    }
    const QList<std::shared_ptr<DSRetryInvocation>> waiting = std::exchange(login->invocations, {});
    for (const auto& invocation : waiting) {
        invocation->ticket->setCurrentFetcher(nullptr);
        invocation->ticket->setAuthLogin(nullptr);
        invocation->ticket->setAuthToken(token);
        runInvocation(invocation);
    }
}

void DSServiceProvider::authFetcherFailed(const std::shared_ptr<DSLoginFetch>& login, platform::Error error,
                                          const QByteArray& data) {
    if (pendingLogin_ == login) {
        authToken_.clear();
        pendingLogin_.reset();
    }
    if (error.domain == QLatin1String(kNetHTTPFetcherStatusDomain))
        error = errorForAuthFetcherStatus(error.code, data);
    const QList<std::shared_ptr<DSRetryInvocation>> waiting = std::exchange(login->invocations, {});
    for (const auto& invocation : waiting) {
        const DSServiceTicketRef ticket = invocation->ticket;
        if (const FinishedSelector selector = invocation->finishedSelector)
            selector(ticket, nullptr, error);
        if (const CompletionHandler handler = invocation->completionHandler)
            handler(ticket, nullptr, error);
        invocation->ticket->setFetchError(error);
        invocation->ticket->setHasCalledCallback(true);
        invocation->ticket->setCurrentFetcher(nullptr);
        invocation->ticket->setAuthLogin(nullptr);
    }
}

platform::Error DSServiceProvider::errorForAuthFetcherStatus(qint64 status, const QByteArray& data) const {
    QVariantMap userInfo;
    if (!data.isEmpty()) {
        const QMap<QString, QString> reply =
            DSUtilities::dictionaryWithResponseData(data).value_or(QMap<QString, QString>());
        for (auto it = reply.cbegin(); it != reply.cend(); ++it)
            userInfo.insert(it.key(), it.value());
        QString captcha = reply.value(QStringLiteral("CaptchaUrl"));
        if (!captcha.isEmpty()) {
            if (!captcha.startsWith(QLatin1String("http:")) && !captcha.startsWith(QLatin1String("https:")))
                captcha = QStringLiteral("https://%1/accounts/%2").arg(signInDomain(), captcha);
            userInfo.insert(QLatin1String(DSServiceProviderAdditions::kCaptchaFullURLKey), captcha);
        }
        if (!userInfo.contains(QLatin1String(kDSServiceErrorTextKey)) &&
            reply.contains(QStringLiteral("Error")))
            userInfo.insert(QLatin1String(kDSServiceErrorTextKey), reply.value(QStringLiteral("Error")));
        if (reply.contains(QStringLiteral("Info")))
            userInfo.insert(QLatin1String(platform::kLocalizedFailureReasonKey),
                            reply.value(QStringLiteral("Info")));
    }
    return platform::Error(QString::fromLatin1(kDSServiceErrorDomain), status, userInfo);
}

bool DSServiceProvider::authFetcherWillRetry(const std::shared_ptr<DSLoginFetch>& login, bool willRetry,
                                             const platform::Error& error) {
    for (const auto& invocation : login->invocations)
        if (invocation->ticket->retrySelector())
            return invokeRetrySelector(invocation->ticket, willRetry, error);
    return willRetry;
}

void DSServiceProvider::stopAuthenticationForTicket(DSServiceTicket& ticket) {
    const std::shared_ptr<DSLoginFetch> login = ticket.authLogin();
    if (!login)
        return;
    login->invocations.removeIf([&](const auto& invocation) { return invocation->ticket.get() == &ticket; });
    if (login->invocations.isEmpty()) {
        login->fetcher->stopFetching();
        if (pendingLogin_ == login)
            pendingLogin_.reset();
    }
    ticket.setAuthLogin(nullptr);
}

// ---- a login on its own

DSServiceTicketRef DSServiceProvider::authenticateWithDelegate(Delegate delegate,
                                                               AuthenticationSelector selector) {
    const std::shared_ptr<NetHTTPFetcher> fetcher = authenticationFetcher();
    if (!fetcher) {
        if (selector)
            selector(nullptr, emptyCredentialsError());
        return nullptr;
    }
    const auto ticket = DSServiceTicket::ticketForService(shared_from_this());
    ticket->setAuthLogin(std::make_shared<DSLoginFetch>(DSLoginFetch{fetcher, {}}));
    fetcher->setComment(QStringLiteral("API authentication"));
    const std::weak_ptr<DSServiceBase> weak = weak_from_this();
    const bool began = fetcher->beginFetchWithDelegate(
        std::move(delegate), [weak, ticket, selector](NetHTTPFetcher&, const QByteArray& data,
                                                      const platform::OptionalError& error) {
            const auto service = std::static_pointer_cast<DSServiceProvider>(weak.lock());
            if (!service)
                return;
            platform::OptionalError reported = error;
            if (error && error->domain == QLatin1String(kNetHTTPFetcherStatusDomain))
                reported = service->errorForAuthFetcherStatus(error->code, data);
            if (!error) {
                const QString token = DSUtilities::dictionaryWithResponseData(data)
                                          .value_or(QMap<QString, QString>())
                                          .value(QStringLiteral("Auth"));
                service->authToken_ = token;
                ticket->setAuthToken(token);
                if (token.isEmpty())
                    reported = service->errorForAuthFetcherStatus(403, data);
            }
            if (selector)
                selector(ticket, reported);
            ticket->setAuthLogin(nullptr);
        });
    return began ? DSServiceTicketRef(ticket) : nullptr;
}

// ---- the login error's details

QString DSServiceProviderAdditions::authenticationError(const QVariantMap& userInfo) {
    return userInfo.value(QStringLiteral("Error")).toString();
}

QString DSServiceProviderAdditions::authenticationInfo(const QVariantMap& userInfo) {
    return userInfo.value(QStringLiteral("Info")).toString();
}

QString DSServiceProviderAdditions::captchaToken(const QVariantMap& userInfo) {
    return userInfo.value(QStringLiteral("CaptchaToken")).toString();
}

QUrl DSServiceProviderAdditions::captchaURL(const QVariantMap& userInfo) {
    const QString text = userInfo.value(QLatin1String(kCaptchaFullURLKey)).toString();
    return text.isEmpty() ? QUrl() : QUrl(text);
}
