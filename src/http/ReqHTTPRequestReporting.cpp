// What a request tells its listeners, on the main thread: the delegate first, then the block, then the queue.
// Listeners are read when the call runs, so one cleared in between hears nothing; every call keeps the
// request alive until it has run.

#include "http/ReqHTTPRequest.h"

#include "http/ReqClassState.h"
#include "http/ReqHTTPRequestBlocks.h"
#include "platform/foundation/MainThread.h"

#include <algorithm>

using platform::net::HttpHeaders;
using Set = ReqHTTPRequest::Blocks::Set;

namespace {

template <typename Callback, typename... Args>
void callSlot(ReqHTTPRequestDelegate* listener, Callback ReqHTTPRequestDelegate::*slot, Args&&... args) {
    if (!listener || !slot)
        return;
    const Callback callback = listener->*slot; // the listener may change itself while it runs
    if (callback)
        callback(std::forward<Args>(args)...);
}

} // namespace

void ReqHTTPRequest::onMainThread(std::function<void()> work) {
    platform::runOnMainThread(std::move(work));
}

void ReqHTTPRequest::requestStarted() {
    if (error() || mainRequest())
        return;
    onMainThread([self = shared()] {
        callSlot(self->delegate().get(), self->didStartSelector(), *self);
        if (const auto block = self->blocks->get(&Set::startedBlock))
            block();
        callSlot(self->queue().get(), &ReqHTTPRequestDelegate::requestStarted, *self);
    });
}

void ReqHTTPRequest::requestReceivedResponseHeaders(const HttpHeaders& headers) {
    if (error() || mainRequest())
        return;
    onMainThread([self = shared(), headers] {
        callSlot(self->delegate().get(), self->didReceiveResponseHeadersSelector(), *self, headers);
        if (const auto block = self->blocks->get(&Set::headersReceivedBlock))
            block(headers);
        callSlot(self->queue().get(), &ReqHTTPRequestDelegate::didReceiveResponseHeaders, *self, headers);
    });
}

void ReqHTTPRequest::requestWillRedirectToURL(const QUrl& newURL) {
    if (error() || mainRequest())
        return;
    onMainThread([self = shared(), newURL] {
        callSlot(self->delegate().get(), self->willRedirectSelector(), *self, newURL);
        callSlot(self->queue().get(), &ReqHTTPRequestDelegate::willRedirectToURL, *self, newURL);
    });
}

void ReqHTTPRequest::requestRedirected() {
    if (error() || mainRequest())
        return;
    onMainThread([self = shared()] {
        callSlot(self->delegate().get(), &ReqHTTPRequestDelegate::requestRedirected, *self);
        if (const auto block = self->blocks->get(&Set::requestRedirectedBlock))
            block();
    });
}

void ReqHTTPRequest::reportFinished() {
    if (isPACFileRequest()) {
        if (const auto finished = pacFileFinished.get())
            finished(*this);
        return;
    }
    onMainThread([self = shared()] {
        callSlot(self->delegate().get(), self->didFinishSelector(), *self);
        if (const auto block = self->blocks->get(&Set::completionBlock))
            block();
        callSlot(self->queue().get(), &ReqHTTPRequestDelegate::requestFinished, *self);
    });
}

void ReqHTTPRequest::reportFailure() {
    if (isPACFileRequest()) {
        if (const auto finished = pacFileFinished.get())
            finished(*this);
        return;
    }
    onMainThread([self = shared()] {
        callSlot(self->delegate().get(), self->didFailSelector(), *self);
        if (const auto block = self->blocks->get(&Set::failureBlock))
            block();
        callSlot(self->queue().get(), &ReqHTTPRequestDelegate::requestFailed, *self);
    });
}

void ReqHTTPRequest::passOnReceivedData(const QByteArray& data) {
    onMainThread([self = shared(), data] {
        callSlot(self->delegate().get(), self->didReceiveDataSelector(), *self, data);
        if (const auto block = self->blocks->get(&Set::dataReceivedBlock))
            block(data);
    });
}

bool ReqHTTPRequest::delegateWantsData() const {
    const auto listener = delegate();
    const auto slot = didReceiveDataSelector();
    return (listener && slot && listener.get()->*slot) || blocks->has(&Set::dataReceivedBlock);
}

// --- Progress -------------------------------------------------------------------------------------------

void ReqHTTPRequest::sendProgress(ProgressKind kind,
                                  ReqProgressDelegate::AmountCallback ReqProgressDelegate::*selector,
                                  qint64 amount) {
    onMainThread([self = shared(), kind, selector, amount] {
        if (const auto queue = self->queue()) {
            const auto callback = static_cast<ReqProgressDelegate&>(*queue).*selector;
            if (callback)
                callback(*self, amount);
        }
        const auto indicator =
            kind == ProgressKind::Upload ? self->uploadProgressDelegate() : self->downloadProgressDelegate();
        if (indicator) {
            const auto callback = indicator.get()->*selector;
            if (callback)
                callback(*self, amount);
        }
    });
}

void ReqHTTPRequest::updateProgressIndicator(ProgressKind kind, double progress, double total) {
    const float fraction = total > 0.0 ? float(progress / total) : 0.0f;
    std::lock_guard lock(ReqClassState::shared().progressUpdateLock);
    onMainThread([self = shared(), kind, fraction] {
        const auto indicator =
            kind == ProgressKind::Upload ? self->uploadProgressDelegate() : self->downloadProgressDelegate();
        if (indicator && indicator->setProgress) {
            const auto setProgress = indicator->setProgress;
            setProgress(fraction);
        }
    });
}

void ReqHTTPRequest::resetIndicator(ProgressKind kind) {
    std::lock_guard lock(ReqClassState::shared().progressUpdateLock);
    onMainThread([weak = std::weak_ptr<ReqHTTPRequest>(shared()), kind] {
        const Ptr self = weak.lock();
        if (!self)
            return;
        const auto indicator =
            kind == ProgressKind::Upload ? self->uploadProgressDelegate() : self->downloadProgressDelegate();
        if (indicator && indicator->setMaxValue) {
            const auto setMaxValue = indicator->setMaxValue;
            setMaxValue(1.0);
        }
    });
}

void ReqHTTPRequest::updateProgressIndicators() {
    if (mainRequest())
        return;
    if (!showAccurateProgress() && (!complete() || updatedProgress()))
        return;
    updateUploadProgress();
    updateDownloadProgress();
}

void ReqHTTPRequest::updateUploadProgress() {
    if (isCancelled() || totalBytesSent() == 0)
        return;
    if (uploadBufferSize() == 0 && totalBytesSent() < postLength()) {
        // What the connection took at once is its send buffer, not progress.
        setUploadBufferSize(totalBytesSent());
        incrementUploadSizeBy(-qint64(uploadBufferSize()));
    }
    qint64 amount = 1;
    if (showAccurateProgress()) {
        // The buffer stays out of the total for every attempt, so every attempt leaves it out of its
        // progress, whatever its first status check saw.
        const quint64 buffer = uploadBufferSize();
        amount = qint64(std::max(totalBytesSent(), buffer)) - qint64(std::max(lastBytesSent(), buffer));
        if (amount <= 0)
            return;
    } else {
        setUpdatedProgress(true);
    }
    uploadProgressReported_ += amount;
    sendProgress(ProgressKind::Upload, &ReqProgressDelegate::didSendBytes, amount);
    updateProgressIndicator(ProgressKind::Upload, double(totalBytesSent() - uploadBufferSize()),
                            double(postLength() - uploadBufferSize()));
    onMainThread([self = shared(), amount, total = postLength()] {
        if (const auto block = self->blocks->get(&Set::bytesSentBlock))
            block(amount, total);
    });
}

void ReqHTTPRequest::updateDownloadProgress() {
    if (!responseHeaders() || needsRedirect() || (contentLength() == 0 && !complete()))
        return;
    const quint64 soFar = totalBytesRead() + partialDownloadSize();
    qint64 amount = 1;
    if (showAccurateProgress() && contentLength() > 0) {
        amount = qint64(soFar) - qint64(lastBytesRead());
        if (amount == 0)
            return;
    } else {
        setUpdatedProgress(true);
    }
    const quint64 total = contentLength() + partialDownloadSize();
    sendProgress(ProgressKind::Download, &ReqProgressDelegate::didReceiveBytes, amount);
    updateProgressIndicator(ProgressKind::Download, double(soFar), double(total));
    onMainThread([self = shared(), amount, total] {
        if (const auto block = self->blocks->get(&Set::bytesReceivedBlock))
            block(amount, total);
    });
    setLastBytesRead(soFar);
}

void ReqHTTPRequest::incrementUploadSizeBy(qint64 amount) {
    sendProgress(ProgressKind::Upload, &ReqProgressDelegate::incrementUploadSizeBy, amount);
    onMainThread([self = shared(), amount] {
        if (const auto block = self->blocks->get(&Set::uploadSizeIncrementedBlock))
            block(amount);
    });
}

void ReqHTTPRequest::incrementDownloadSizeBy(qint64 amount) {
    sendProgress(ProgressKind::Download, &ReqProgressDelegate::incrementDownloadSizeBy, amount);
    onMainThread([self = shared(), amount] {
        if (const auto block = self->blocks->get(&Set::downloadSizeIncrementedBlock))
            block(amount);
    });
}

// Bytes sent are not bytes reported (the first buffer, or one unit with simple progress): taking back more
// than was reported would leave a queue's sum below zero.
void ReqHTTPRequest::removeUploadProgressSoFar() {
    const qint64 reported = uploadProgressReported_.exchange(0);
    sendProgress(ProgressKind::Upload, &ReqProgressDelegate::didSendBytes, -reported);
    updateProgressIndicator(ProgressKind::Upload, 0, double(postLength()));
    onMainThread([self = shared(), reported, total = postLength()] {
        if (const auto block = self->blocks->get(&Set::bytesSentBlock))
            block(-reported, total);
    });
}
