#include "platform/net/CurlConnection.h"

#include "platform/foundation/LoopContext.h"
#include "platform/net/SharedCookieStorage.h"
#include "platform/net/UrlError.h"

#include <QRegularExpression>

namespace platform::net {

namespace {

QString offeredScheme(const QByteArray& challenges) {
    return challenges.toLower().contains("digest") ? QStringLiteral("Digest") : QStringLiteral("Basic");
}

QString realmOf(const QByteArray& challenges) {
    static const QRegularExpression realm(QStringLiteral("realm=\"([^\"]*)\""),
                                          QRegularExpression::CaseInsensitiveOption);
    return realm.match(QString::fromLatin1(challenges)).captured(1);
}

bool isWebScheme(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return scheme == u"http" || scheme == u"https";
}

} // namespace

CurlConnection::CurlConnection(const UrlRequest& request, UrlConnectionDelegate& delegate)
    : request(request), delegate(delegate), context(LoopContext::current()), link(std::make_shared<Link>()) {
    link->connection = this;
}

CurlConnection::~CurlConnection() {
    cancel();
}

void CurlConnection::start() {
    if (!running && !link->cancelled)
        submit();
}

void CurlConnection::cancel() {
    if (link->cancelled)
        return;
    link->cancelled = true;
    if (running)
        NetworkThread::shared().remove(transferId);
    running = false;
}

void CurlConnection::submit() {
    TransferPlan plan;
    plan.request = request;
    plan.environment = NetworkEnvironment::current();
    plan.credential = credential;
    plan.authScheme = authScheme;
    plan.credentialForProxy = credentialForProxy;
    if (request.httpShouldHandleCookies) {
        const QByteArray cookies =
            Cookie::requestHeaderValue(SharedCookieStorage::shared().cookiesForUrl(request.url));
        if (cookies.isNull())
            plan.request.headers.remove("Cookie");
        else
            plan.request.headers.set("Cookie", cookies);
    }
    std::shared_ptr<Link> reportsTo = link;
    std::shared_ptr<LoopContext> loop = context;
    auto sink = [reportsTo, loop](TransferEvent&& event) {
        loop->post([reportsTo, event = std::move(event)] {
            if (!reportsTo->cancelled)
                reportsTo->connection->handle(event);
        });
    };
    running = true;
    transferId =
        NetworkThread::shared().add(std::make_unique<CurlTransfer>(std::move(plan), std::move(sink)));
}

void CurlConnection::handle(const TransferEvent& event) {
    switch (event.kind) {
    case TransferEvent::Response:
        takeCookies(event.response);
        delegate.connectionDidReceiveResponse(*this, event.response);
        break;
    case TransferEvent::Data:
        takeReceived(*event.queue);
        break;
    case TransferEvent::Sent:
        delegate.connectionDidSendBodyData(*this, event.bytesSent, event.totalSent, event.expectedToSend);
        break;
    case TransferEvent::Held:
        running = false;
        handleHeld(event.response, event.data);
        break;
    case TransferEvent::Finished:
        running = false;
        link->cancelled = true; // nothing may follow the end
        delegate.connectionDidFinishLoading(*this);
        break;
    case TransferEvent::Failed:
        running = false;
        handleFailure(event);
        break;
    }
}

void CurlConnection::takeReceived(ReceiveQueue& queue) {
    bool resume = false;
    const QByteArray data = queue.take(resume);
    const std::shared_ptr<Link> alive = link;
    if (!data.isEmpty())
        delegate.connectionDidReceiveData(*this, data);
    // Only once the delegate has dealt with the piece, so that it and a refilled queue are never held at
    // once.
    if (resume && !alive->cancelled && running)
        NetworkThread::shared().resume(transferId);
}

void CurlConnection::handleHeld(const UrlResponse& response, const QByteArray& body) {
    takeCookies(response);
    if (response.statusCode != 401 && response.statusCode != 407) {
        follow(response, body);
        return;
    }
    const bool proxy = response.statusCode == 407;
    const QByteArray offers =
        response.headers.combinedValue(proxy ? "Proxy-Authenticate" : "WWW-Authenticate");
    AuthenticationChallenge challenge;
    challenge.isProxy = proxy;
    challenge.scheme = offeredScheme(offers);
    challenge.realm = realmOf(offers);
    const QUrl space = proxy ? NetworkEnvironment::current().proxyForUrl(request.url) : request.url;
    challenge.host = space.host();
    challenge.port = space.port();
    challenge.previousFailureCount = failedCredentials;
    challenge.failureResponse = response;
    answerChallenge(challenge, response, body, nullptr);
}

void CurlConnection::handleFailure(const TransferEvent& event) {
    if (event.proxyConnectCode != 407) {
        fail(event.error);
        return;
    }
    // The proxy refused to open a tunnel without credentials.
    const QUrl proxy = NetworkEnvironment::current().proxyForUrl(request.url);
    AuthenticationChallenge challenge;
    challenge.isProxy = true;
    challenge.host = proxy.host();
    challenge.port = proxy.port();
    challenge.previousFailureCount = failedCredentials;
    challenge.failureResponse.url = request.url;
    challenge.failureResponse.statusCode = 407;
    answerChallenge(challenge, UrlResponse(), QByteArray(), &event.error);
}

void CurlConnection::answerChallenge(const AuthenticationChallenge& challenge, const UrlResponse& response,
                                     const QByteArray& body, const Error* failure) {
    const std::shared_ptr<Link> alive = link;
    const ChallengeAnswer answer = delegate.connectionDidReceiveChallenge(*this, challenge);
    if (alive->cancelled)
        return;
    switch (answer.kind) {
    case ChallengeAnswer::UseCredential:
        ++failedCredentials;
        credential = answer.credential;
        authScheme = challenge.scheme;
        credentialForProxy = challenge.isProxy;
        submit();
        break;
    case ChallengeAnswer::Cancel:
        link->cancelled = true;
        break;
    case ChallengeAnswer::PerformDefault:
        if (failure)
            fail(*failure);
        else
            deliverReply(response, body);
        break;
    }
}

UrlRequest CurlConnection::proposedRedirect(const UrlResponse& response) const {
    UrlRequest next = request;
    next.url = request.url.resolved(QUrl::fromEncoded(response.headers.value("Location").trimmed()));
    const QByteArray method = request.method();
    const int status = response.statusCode;
    if ((status == 303 && method != "HEAD") || ((status == 301 || status == 302) && method == "POST")) {
        next.httpMethod = "GET";
        next.httpBody = QByteArray();
        next.httpBodyStream.reset();
        next.headers.remove("Content-Type");
        next.headers.remove("Content-Length");
    }
    if (!isSameOrigin(request.url, next.url)) {
        next.headers.remove("Authorization");
        next.headers.remove("Proxy-Authorization");
        next.headers.remove("Cookie");
    }
    return next;
}

void CurlConnection::follow(const UrlResponse& response, const QByteArray& body) {
    const UrlRequest proposed = proposedRedirect(response);
    if (!isWebScheme(proposed.url)) {
        // A web server has no say over local files or other protocols.
        fail(
            makeUrlError(UrlErrorUnsupportedURL, proposed.url,
                         QStringLiteral("The server redirected to %1, which is not an http or https address.")
                             .arg(proposed.url.toDisplayString())));
        return;
    }
    const std::shared_ptr<Link> alive = link;
    const std::optional<UrlRequest> next = delegate.connectionWillSendRequest(*this, proposed, response);
    if (alive->cancelled)
        return;
    if (!next) {
        deliverReply(response, body);
        return;
    }
    if (++redirects > kMaximumRedirects) {
        fail(makeUrlError(UrlErrorHTTPTooManyRedirects, next->url, QStringLiteral("Too many redirects.")));
        return;
    }
    if (!isSameOrigin(request.url, next->url)) {
        credential.reset();
        failedCredentials = 0;
    }
    request = *next;
    submit();
}

void CurlConnection::deliverReply(const UrlResponse& response, const QByteArray& body) {
    const std::shared_ptr<Link> alive = link;
    delegate.connectionDidReceiveResponse(*this, response);
    if (alive->cancelled)
        return;
    if (!body.isEmpty()) {
        delegate.connectionDidReceiveData(*this, body);
        if (alive->cancelled)
            return;
    }
    link->cancelled = true;
    delegate.connectionDidFinishLoading(*this);
}

void CurlConnection::fail(const Error& error) {
    link->cancelled = true;
    delegate.connectionDidFailWithError(*this, error);
}

void CurlConnection::takeCookies(const UrlResponse& response) const {
    if (request.httpShouldHandleCookies)
        SharedCookieStorage::shared().setCookiesFromResponse(response.headers, response.url);
}

} // namespace platform::net
