// When a request stalls (time-outs and their retries) and where it goes next (redirects).

#include "http/ReqHTTPRequest.h"

#include "http/ReqClassState.h"
#include "http/ReqHTTPRequestErrors.h"
#include "platform/net/HttpReadStream.h"
#include "platform/net/SharedCookieStorage.h"
#include "platform/net/UrlRequest.h"

#include <QFile>

using platform::net::HttpHeaders;

namespace {

bool isWebURL(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return scheme == u"http" || scheme == u"https";
}

} // namespace

// --- Time-outs ------------------------------------------------------------------------------------------

bool ReqHTTPRequest::shouldTimeOut() const {
    const std::optional<double> last = lastActivityTime();
    if (!readStream() || !readStreamIsScheduled() || !last || timeOutSeconds() <= 0)
        return false;
    const double idle = ReqClassState::now() - *last;
    if (idle <= timeOutSeconds())
        return false;
    if (postLength() == 0 || (uploadBufferSize() > 0 && totalBytesSent() > uploadBufferSize()))
        return true;
    // While the body's first buffer is still going out the request gets half as long again.
    return idle > 1.5 * timeOutSeconds();
}

void ReqHTTPRequest::retryAfterTimeOut() {
    updatePartialDownloadSize();
    if (partialDownloadSize() > 0) {
        const QByteArray range = "bytes=" + QByteArray::number(partialDownloadSize()) + '-';
        addRequestHeader("Range", range);
        requestMessage->setValue("Range", range);
    }
    setRetryCount(retryCount() + 1);
    // The stalled connection serves nobody again: its record leaves the pool and its stream is closed.
    leaveConnection();
    connectionCanBeReused_ = false;
    destroyReadStream();
    fileDownloadOutputStream.reset();
    inflatedFileDownloadOutputStream.reset();
    setDataDecompressor(nullptr);
    startRequest();
}

// --- Redirects -------------------------------------------------------------------------------------------

bool ReqHTTPRequest::willRedirect() {
    const std::optional<HttpHeaders> headers = responseHeaders();
    if (!shouldRedirect() || !headers || !headers->contains("Location"))
        return false;
    const int status = responseStatusCode();
    if (status != 301 && status != 302 && status != 303 && status != 307)
        return false;
    requestRedirected();
    const QUrl target = url().resolved(QUrl::fromEncoded(headers->value("Location").trimmed()));
    const bool keepsMethod =
        status == 307 || ((status == 301 || status == 302) && shouldUseRFC2616RedirectBehaviour());
    if (!keepsMethod) {
        setRequestMethod("GET");
        setPostBody(QByteArray());
        setShouldStreamPostDataFromDisk(false); // a form's body file is no GET's body either
        setPostLength(0);
        requestHeaders_.update([](HttpHeaders& fields) {
            HttpHeaders kept;
            for (const HttpHeaders::Field& field : fields.all())
                if (field.first.compare("User-Agent", Qt::CaseInsensitive) == 0 ||
                    field.first.compare("Accept", Qt::CaseInsensitive) == 0)
                    kept.add(field.first, field.second);
            fields = kept;
        });
        setHaveBuiltRequestHeaders(false);
    }
    // Credentials given for one server never travel to another with the request.
    if (!platform::net::isSameOrigin(url(), target))
        requestHeaders_.update([](HttpHeaders& fields) { fields.remove("Authorization"); });
    setRedirectURL(isWebURL(target) ? target : QUrl());
    needsRedirect_ = true;
    setRequestCookies({});
    return true;
}

bool ReqHTTPRequest::willAskDelegateToConfirmRedirect() {
    bool asks = false;
    {
        std::lock_guard lock(cancelledLock_);
        const auto listener = delegate_.lock();
        const auto slot = willRedirectSelector();
        asks = (listener && slot && listener.get()->*slot) || (queue_ && queue_->answersWillRedirect());
    }
    if (!asks)
        return false;
    const QUrl target = redirectURL();
    setRedirectURL(QUrl());
    waitingForAnswer = true;
    requestWillRedirectToURL(target);
    return true;
}

void ReqHTTPRequest::redirectToURL(const QUrl& newURL) {
    const Ptr self = shared();
    requestRunLoop()->post([self, newURL] {
        std::lock_guard lock(self->cancelledLock_);
        if (!self->waitingForAnswer.exchange(false))
            return; // answered already, or cancelled meanwhile
        self->setRedirectURL(newURL);
        self->performRedirect();
    });
}

void ReqHTTPRequest::performRedirect() {
    std::unique_lock lock(cancelledLock_);
    if (isCancelled() || error())
        return;
    setURL(redirectURL());
    complete_ = true;
    needsRedirect_ = false;
    if (++redirectCount_ >= 6) {
        failWithError(reqTooMuchRedirectionError());
        complete_ = true;
        return;
    }
    if (haveBuiltRequestHeaders()) {
        // The fields stay, but the cookies are the new URL's own.
        requestHeaders_.update([](HttpHeaders& fields) { fields.remove("Cookie"); });
        applyCookieHeader();
    }
    main();
}
