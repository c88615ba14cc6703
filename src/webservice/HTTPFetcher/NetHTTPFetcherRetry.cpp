// Retry with back-off: which failures are transient, the one forced retry after a 401, and the timer.

#include "webservice/HTTPFetcher/NetHTTPFetcher.h"

#include "platform/foundation/Clock.h"
#include "platform/net/UrlError.h"

#include <QTimer>

#include <algorithm>

void NetHTTPFetcher::setRetryEnabled(bool enabled) {
    if (enabled && !isRetryEnabled_) {
        setMinRetryInterval(0.0);
        setMaxRetryInterval(-1.0);
        setRetryFactor(2.0);
        lastRetryInterval_ = 0.0;
    }
    isRetryEnabled_ = enabled;
}

void NetHTTPFetcher::setMaxRetryInterval(double seconds) {
    maxRetryInterval_ = seconds > 0 ? seconds : -1.0;
}

void NetHTTPFetcher::setMinRetryInterval(double seconds) {
    if (seconds > 0) {
        minRetryInterval_ = seconds;
        return;
    }
    // A first delay between 1 and 2 s, so that many clients failing together do not retry together.
    const std::uint32_t random = platform::RandomSource::shared().next(0xFFFFFFFFu);
    minRetryInterval_ = 1.0 + double(random & 0xFFFF) / 65535.0;
}

double NetHTTPFetcher::nextRetryInterval() const {
    return std::max(minRetryInterval_, std::min(lastRetryInterval_ * retryFactor_, maxRetryInterval_));
}

bool NetHTTPFetcher::isRetryError(const platform::Error& error) const {
    if (error.domain == QLatin1String(kNetHTTPFetcherStatusDomain))
        return error.code == 408 || error.code == 503 || error.code == 504;
    if (error.domain == QLatin1String(platform::net::kUrlErrorDomain))
        return error.code == platform::net::UrlErrorTimedOut ||
               error.code == platform::net::UrlErrorNetworkConnectionLost;
    return false;
}

bool NetHTTPFetcher::shouldRetryNowForStatus(qint64 status, const OptionalError& error) {
    bool forced = false;
    if (authorizer_ && status == 401 && !hasAttemptedAuthRefresh_ && authorizer_->primeForRefresh()) {
        hasAttemptedAuthRefresh_ = true;
        forced = true;
    }
    const bool mayRetry = isRetryEnabled_ && maxRetryInterval_ > nextRetryInterval();
    if (!forced && !mayRetry)
        return false;
    const platform::Error shown =
        error ? *error : platform::Error(QString::fromLatin1(kNetHTTPFetcherStatusDomain), status);
    bool willRetry = forced || isRetryError(shown);
    if (RetrySelector selector = retrySel_)
        willRetry = selector(*this, willRetry, shown);
    if (RetryBlock block = retryBlock_)
        willRetry = block(willRetry, shown);
    // The stale token must not go out again: without "Authorization" the authorizer is asked anew.
    if (forced && willRetry && request_)
        request_->headers.remove("Authorization");
    return willRetry;
}

void NetHTTPFetcher::beginRetryTimer() {
    primeRetryTimerWithNewTimeInterval(
        std::min(nextRetryInterval(), maxRetryInterval_ > 0 ? maxRetryInterval_ : 0.0));
}

void NetHTTPFetcher::primeRetryTimerWithNewTimeInterval(double seconds) {
    destroyRetryTimer();
    lastRetryInterval_ = seconds;
    // A timer of this thread's event loop: it fires in nested loops too, so a retry goes on under a modal
    // dialog.
    retryTimer_ = std::make_unique<QTimer>();
    retryTimer_->setSingleShot(true);
    std::weak_ptr<NetHTTPFetcher> weak = weak_from_this();
    QObject::connect(retryTimer_.get(), &QTimer::timeout, [weak] {
        if (auto fetcher = weak.lock()) {
            fetcher->destroyRetryTimer();
            ++fetcher->retryCount_;
            fetcher->retryFetch();
        }
    });
    retryTimer_->start(std::max(0, int(seconds * 1000.0)));
    selfHold_ = shared_from_this();
    postNotification(kNetHTTPFetcherRetryDelayStartedNotification);
}

void NetHTTPFetcher::destroyRetryTimer() {
    if (!retryTimer_)
        return;
    retryTimer_->stop();
    // The timer may be the one firing now; let the loop delete it once it has returned.
    retryTimer_.release()->deleteLater();
    postNotification(kNetHTTPFetcherRetryDelayStoppedNotification);
}

void NetHTTPFetcher::retryFetch() {
    stopFetchReleasingCallbacks(false);
    beginFetchWithDelegate(delegate_, finishedSel_);
}
