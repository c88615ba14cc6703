// Answering servers (401) and proxies (407) that ask for credentials: what goes before any challenge, where
// credentials come from, the session store and the keychain, the retry limits, and the questions put to
// the delegate. The server and the proxy side run the same steps, each on its own fields.

#include "http/ReqHTTPRequest.h"

#include "http/ReqClassState.h"
#include "http/ReqHTTPRequestBlocks.h"
#include "http/ReqHTTPRequestErrors.h"
#include "platform/foundation/MainThread.h"
#include "platform/net/HttpAuthentication.h"
#include "platform/net/HttpReadStream.h"
#include "platform/net/HttpStreamError.h"
#include "platform/net/UrlRequest.h"

using platform::net::HttpAuthentication;

namespace {

ReqCredentials makeCredentials(const QString& user, const QString& password, const QString& domain,
                               bool withDomain) {
    QVariantMap map{{QLatin1String(kReqAuthenticationUsername), user},
                    {QLatin1String(kReqAuthenticationPassword), password}};
    if (withDomain)
        map.insert(QLatin1String(kReqAuthenticationAccountDomain), domain);
    return std::make_shared<const QVariantMap>(std::move(map));
}

platform::net::HttpCredentials httpCredentials(const ReqCredentials& credentials) {
    if (!credentials)
        return {};
    return {credentials->value(QLatin1String(kReqAuthenticationUsername)).toString(),
            credentials->value(QLatin1String(kReqAuthenticationPassword)).toString(),
            credentials->value(QLatin1String(kReqAuthenticationAccountDomain)).toString()};
}

bool bothSet(const QString& user, const QString& password) {
    return !user.isEmpty() && !password.isNull();
}

// "DOMAIN\\user" names a user of a domain only with exactly one backslash.
std::optional<std::pair<QString, QString>> splitDomainUser(const QString& user) {
    if (user.count(u'\\') != 1)
        return std::nullopt;
    const qsizetype at = user.indexOf(u'\\');
    return std::make_pair(user.left(at), user.mid(at + 1));
}

int portOf(const QUrl& url) {
    return url.port() < 0 ? 0 : url.port();
}

const char* applyFailureText(bool proxy) {
    return proxy ? "Failed to apply proxy credentials to request" : "Failed to apply credentials to request";
}

} // namespace

// --- Before a challenge -----------------------------------------------------------------------------------

void ReqHTTPRequest::addBasicAuthenticationHeader(const QString& user, const QString& secret) {
    addRequestHeader("Authorization", "Basic " + base64forData((user + u':' + secret).toUtf8()).toLatin1());
    setAuthenticationScheme(QStringLiteral("Basic"));
}

void ReqHTTPRequest::applyAuthorizationHeader() {
    if (!shouldPresentCredentialsBeforeChallenge())
        return;
    // After a redirect to another server, its own challenge decides what it gets.
    const QUrl first = originalURL();
    const bool firstOrigin =
        redirectCount() == 0 || first.isEmpty() || platform::net::isSameOrigin(url(), first);
    if (!requestHeaders().contains("Authorization")) {
        if (firstOrigin && bothSet(username(), password()) &&
            authenticationScheme() == QLatin1String("Basic")) {
            addBasicAuthenticationHeader(username(), password());
        } else if (useSessionPersistence()) {
            if (const auto record = findSessionAuthenticationCredentials()) {
                if (!record->authentication) {
                    const platform::net::HttpCredentials given = httpCredentials(record->credentials);
                    addBasicAuthenticationHeader(given.user, given.password);
                } else if (record->authentication->apply(*requestMessage,
                                                         httpCredentials(record->credentials))) {
                    setAuthenticationScheme(record->authenticationScheme);
                } else {
                    removeAuthenticationCredentialsFromSessionStore(record->credentials);
                }
            }
        }
    }
    if (useSessionPersistence())
        if (const auto record = findSessionProxyAuthenticationCredentials())
            if (!record->authentication ||
                !record->authentication->apply(*requestMessage, httpCredentials(record->credentials)))
                removeProxyAuthenticationCredentialsFromSessionStore(record->credentials);
}

void ReqHTTPRequest::recordBasicCredentialsThatWorked() {
    if (requestAuthentication || authenticationScheme() != QLatin1String("Basic") ||
        !bothSet(username(), password()) || !useSessionPersistence())
        return;
    // Only what this server was actually sent: after a redirect to another server nothing was.
    const QByteArray sent = "Basic " + base64forData((username() + u':' + password()).toUtf8()).toLatin1();
    if (requestHeaders().value("Authorization") != sent)
        return;
    const platform::net::HttpCredentials known = httpCredentials(basicSessionCredentials);
    if (!basicSessionCredentials || known.user != username() || known.password != password())
        basicSessionCredentials = makeCredentials(username(), password(), QString(), false);
    ReqSessionCredentials record;
    record.credentials = basicSessionCredentials;
    record.url = url();
    record.authenticationScheme = QStringLiteral("Basic");
    storeAuthenticationCredentialsInSessionStore(record);
}

// --- Answering a challenge --------------------------------------------------------------------------------

void ReqHTTPRequest::attemptToApplyCredentialsAndResume() {
    std::unique_lock lock(cancelledLock_);
    if (error() || isCancelled())
        return;
    attemptToApplyCredentials(authenticationNeeded() == 2);
}

void ReqHTTPRequest::attemptToApplyCredentials(bool proxy) {
    auto& object = authentication(proxy);
    const auto stream = readStream();
    const std::optional<platform::net::HttpMessage> response = stream ? stream->response() : std::nullopt;
    auto& readFrom = challengeReadFrom[proxy ? 1 : 0];
    if (!object) {
        if (response)
            object = HttpAuthentication::create(*response);
        if (!object) {
            cancelLoad();
            failWithError(
                reqError(ReqInternalErrorWhileApplyingCredentialsType,
                         QStringLiteral("Failed to get authentication object from response headers")));
            return;
        }
        (proxy ? proxyAuthenticationScheme_ : authenticationScheme_).set(object->method());
        // Each exchange counts its own attempts, so that credentials given after a refusal are still sent.
        (proxy ? proxyAuthenticationRetryCount_ : authenticationRetryCount_) = 0;
    } else if (response && readFrom.lock() != stream) {
        object->update(*response);
    }
    readFrom = stream;
    auto& realm = proxy ? proxyAuthenticationRealm_ : authenticationRealm_;
    realm.set(object->requiresAccountDomain() ? QString() : object->realm());
    std::optional<platform::Error> reason;
    if (object->isValid(&reason))
        applyValidCredentials(proxy);
    else
        answerRefusedCredentials(proxy, reason);
}

void ReqHTTPRequest::applyValidCredentials(bool proxy) {
    const auto object = authentication(proxy);
    cancelLoad();
    const ReqCredentials applied = proxy ? proxyCredentials() : requestCredentials();
    if (applied) {
        const bool ntlm = object->method() == QLatin1String("NTLM");
        const int attempts = proxy ? proxyAuthenticationRetryCount() : authenticationRetryCount();
        if (!ntlm || attempts <= 1) {
            if (applyCredentials(proxy, applied)) {
                startRequest();
                return;
            }
        }
        if (ntlm && (proxy ? proxyAuthenticationRetryCount() : authenticationRetryCount()) == 2)
            failWithError(reqAuthenticationError());
        else
            failWithError(reqError(ReqInternalErrorWhileApplyingCredentialsType,
                                   QString::fromLatin1(applyFailureText(proxy))));
        return;
    }
    if (!object->requiresUserNameAndPassword())
        return;
    std::unique_lock prompt(ReqClassState::shared().credentialPromptLock);
    if (error() || isCancelled())
        return;
    // Another request may have stored what works while this one waited for the lock.
    if (useSessionPersistence()) {
        const auto record =
            proxy ? findSessionProxyAuthenticationCredentials() : findSessionAuthenticationCredentials();
        if (record && applyCredentials(proxy, record->credentials)) {
            prompt.unlock();
            startRequest();
            return;
        }
    }
    if (const ReqCredentials found = findCredentials(proxy)) {
        prompt.unlock();
        if (applyCredentials(proxy, found))
            startRequest();
        else
            failWithError(reqError(ReqInternalErrorWhileApplyingCredentialsType,
                                   QString::fromLatin1(applyFailureText(proxy))));
        return;
    }
    if (willAskDelegateForCredentials(proxy))
        return;
    prompt.unlock();
    failWithError(reqAuthenticationError());
}

void ReqHTTPRequest::answerRefusedCredentials(bool proxy, const std::optional<platform::Error>& reason) {
    authentication(proxy).reset();
    const bool refused = reason && reason->domain == QLatin1String(platform::net::kHttpStreamErrorDomain) &&
                         (reason->code == platform::net::HttpStreamAuthenticationBadUserName ||
                          reason->code == platform::net::HttpStreamAuthenticationBadPassword);
    if (refused) {
        std::unique_lock prompt(ReqClassState::shared().credentialPromptLock);
        auto& applied = proxy ? proxyCredentials_ : requestCredentials_;
        if (proxy)
            removeProxyAuthenticationCredentialsFromSessionStore(applied.get());
        else
            removeAuthenticationCredentialsFromSessionStore(applied.get());
        applied.set(nullptr);
        if (error() || isCancelled())
            return;
        // The waiting request must not time out while somebody answers.
        setLastActivityTime(std::nullopt);
        if (willAskDelegateForCredentials(proxy))
            return;
    }
    cancelLoad();
    failWithError(reqAuthenticationError());
}

bool ReqHTTPRequest::applyCredentials(bool proxy, const ReqCredentials& credentials) {
    auto& attempts = proxy ? proxyAuthenticationRetryCount_ : authenticationRetryCount_;
    ++attempts;
    const auto object = authentication(proxy);
    if (!credentials || !object || !requestMessage)
        return false;
    if (!object->apply(*requestMessage, httpCredentials(credentials))) {
        if (proxy)
            removeProxyAuthenticationCredentialsFromSessionStore(credentials);
        else
            removeAuthenticationCredentialsFromSessionStore(credentials);
        return false;
    }
    if (useKeychainPersistence())
        saveCredentialsToKeychain(proxy, credentials);
    if (useSessionPersistence()) {
        ReqSessionCredentials record;
        record.authentication = object;
        record.credentials = credentials;
        record.authenticationScheme = object->method();
        if (proxy) {
            record.host = proxyHost();
            record.port = proxyPort();
            storeProxyAuthenticationCredentialsInSessionStore(record);
        } else {
            record.url = url();
            record.authenticationRealm = authenticationRealm();
            storeAuthenticationCredentialsInSessionStore(record);
        }
    }
    (proxy ? proxyCredentials_ : requestCredentials_).set(credentials);
    return true;
}

// --- Where credentials come from
// ----------------------------------------------------------------------------

ReqCredentials ReqHTTPRequest::findCredentials(bool proxy) const {
    const Ptr main = mainRequest();
    const auto object = proxy ? proxyAuthentication : requestAuthentication;
    const QUrl target = url();
    QString user, secret;
    const auto take = [&](const QString& u, const QString& p) {
        if (user.isEmpty() && bothSet(u, p)) {
            user = u;
            secret = p;
        }
    };
    if (proxy) {
        if (main)
            take(main->proxyUsername(), main->proxyPassword());
        take(proxyUsername(), proxyPassword());
        if (object && object->method() == QLatin1String("NTLM"))
            take(username(), password()); // an NTLM proxy takes the user's own logon
        if (user.isEmpty())
            if (const auto kept = savedCredentialsForProxy(proxyHost(), proxyPort(), target.scheme(),
                                                           proxyAuthenticationRealm()))
                take(kept->user, kept->password);
    } else {
        if (target.userInfo().contains(u':'))
            take(target.userName(), target.password().isNull() ? QStringLiteral("") : target.password());
        if (main)
            take(main->username(), main->password());
        take(username(), password());
        if (user.isEmpty() && useKeychainPersistence())
            if (const auto kept = savedCredentialsForHost(target.host(), portOf(target), target.scheme(),
                                                          authenticationRealm()))
                take(kept->user, kept->password);
    }
    if (user.isEmpty() || secret.isNull())
        return nullptr;
    const bool withDomain = object && object->requiresAccountDomain();
    QString accountDomain = proxy ? proxyDomain() : domain();
    if (withDomain && accountDomain.isEmpty()) {
        if (const auto split = splitDomainUser(user)) {
            accountDomain = split->first;
            user = split->second;
        } else if (proxy) {
            accountDomain = domain();
        }
    }
    return makeCredentials(user, secret, accountDomain.isNull() ? QStringLiteral("") : accountDomain,
                           withDomain);
}

void ReqHTTPRequest::saveCredentialsToKeychain(bool proxy, const ReqCredentials& credentials) const {
    const platform::net::HttpCredentials given = httpCredentials(credentials);
    const ReqURLCredential credential{given.user, given.password};
    if (proxy)
        saveCredentialsForProxy(credential, proxyHost(), proxyPort(), proxyAuthenticationRealm());
    else
        saveCredentials(credential, url().host(), portOf(url()), url().scheme(), authenticationRealm());
}

// --- Asking the delegate --------------------------------------------------------------------------------

bool ReqHTTPRequest::willAskDelegateForCredentials(bool proxy) {
    if (isSynchronous())
        return false;
    const auto slot = proxy ? &ReqHTTPRequestDelegate::proxyAuthenticationNeeded
                            : &ReqHTTPRequestDelegate::authenticationNeeded;
    const auto listener = delegate();
    const auto listeningQueue = queue();
    const bool answers = listener ? bool(listener.get()->*slot)
                                  : listeningQueue && listeningQueue->answersAuthenticationNeeded(proxy);
    const bool hasBlock = blocks->has(proxy ? &Blocks::Set::proxyAuthenticationNeededBlock
                                            : &Blocks::Set::authenticationNeededBlock);
    if (!answers && !hasBlock)
        return false;
    waitingForAnswer = true;
    const Ptr self = shared();
    platform::runOnMainThread([self, proxy] { self->askDelegateForCredentials(proxy); });
    return true;
}

void ReqHTTPRequest::askDelegateForCredentials(bool proxy) {
    const auto slot = proxy ? &ReqHTTPRequestDelegate::proxyAuthenticationNeeded
                            : &ReqHTTPRequestDelegate::authenticationNeeded;
    const std::shared_ptr<ReqHTTPRequestDelegate> listener =
        delegate() ? delegate() : std::static_pointer_cast<ReqHTTPRequestDelegate>(queue());
    if (listener && listener.get()->*slot) {
        const auto callback = listener.get()->*slot;
        callback(*this);
        return;
    }
    if (const auto block = blocks->get(proxy ? &Blocks::Set::proxyAuthenticationNeededBlock
                                             : &Blocks::Set::authenticationNeededBlock))
        block();
}

void ReqHTTPRequest::retryUsingSuppliedCredentials() {
    const Ptr self = shared();
    requestRunLoop()->post([self] {
        std::lock_guard lock(self->cancelledLock_);
        if (!self->waitingForAnswer.exchange(false))
            return; // cancelled meanwhile
        if (self->requestMessage)
            self->attemptToApplyCredentialsAndResume();
        else
            self->main();
    });
}

void ReqHTTPRequest::cancelAuthentication() {
    const Ptr self = shared();
    requestRunLoop()->post([self] {
        std::lock_guard lock(self->cancelledLock_);
        if (!self->waitingForAnswer.exchange(false))
            return;
        self->failWithError(reqAuthenticationError());
    });
}
