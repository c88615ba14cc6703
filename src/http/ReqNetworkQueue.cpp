#include "http/ReqNetworkQueue.h"

#include "http/ReqHTTPRequest.h"
#include "platform/foundation/MainThread.h"

std::shared_ptr<ReqNetworkQueue> ReqNetworkQueue::queue() {
    std::shared_ptr<ReqNetworkQueue> made(new ReqNetworkQueue());
    made->listen();
    return made;
}

ReqNetworkQueue::ReqNetworkQueue() {
    operations.setSuspended(true);
}

ReqNetworkQueue::~ReqNetworkQueue() {
    for (const auto& operation : operations.operations())
        if (const auto request = std::dynamic_pointer_cast<ReqHTTPRequest>(operation))
            request->setQueue(nullptr);
}

std::shared_ptr<ReqNetworkQueue> ReqNetworkQueue::copy() const {
    const auto made = queue();
    made->setDelegate(delegate());
    made->requestDidStartSelector.set(requestDidStartSelector.get());
    made->requestDidReceiveResponseHeadersSelector.set(requestDidReceiveResponseHeadersSelector.get());
    made->requestWillRedirectSelector.set(requestWillRedirectSelector.get());
    made->requestDidFinishSelector.set(requestDidFinishSelector.get());
    made->requestDidFailSelector.set(requestDidFailSelector.get());
    made->queueDidFinishSelector.set(queueDidFinishSelector.get());
    made->uploadProgress.set(uploadProgress.get());
    made->downloadProgress.set(downloadProgress.get());
    made->setShouldCancelAllRequestsOnFailure(shouldCancelAllRequestsOnFailure());
    made->setShowAccurateProgress(showAccurateProgress());
    made->setUserInfo(userInfo());
    return made;
}

// The queue's own slots: what its requests tell it, on the main thread.
void ReqNetworkQueue::listen() {
    const auto forward = [this](auto selector, ReqHTTPRequest& request, const auto&... more) {
        const auto listener = delegate();
        if (listener && selector && listener.get()->*selector)
            (listener.get()->*selector)(request, more...);
    };
    requestStarted = [=, this](ReqHTTPRequest& request) { forward(requestDidStartSelector.get(), request); };
    didReceiveResponseHeaders = [=, this](ReqHTTPRequest& request,
                                          const platform::net::HttpHeaders& headers) {
        forward(requestDidReceiveResponseHeadersSelector.get(), request, headers);
    };
    willRedirectToURL = [=, this](ReqHTTPRequest& request, const QUrl& url) {
        forward(requestWillRedirectSelector.get(), request, url);
    };
    requestFinished = [this](ReqHTTPRequest& request) {
        requestEnded(request, requestDidFinishSelector.get(), false);
    };
    requestFailed = [this](ReqHTTPRequest& request) {
        requestEnded(request, requestDidFailSelector.get(), true);
    };
    authenticationNeeded = [=](ReqHTTPRequest& request) {
        forward(&ReqHTTPRequestDelegate::authenticationNeeded, request);
    };
    proxyAuthenticationNeeded = [=](ReqHTTPRequest& request) {
        forward(&ReqHTTPRequestDelegate::proxyAuthenticationNeeded, request);
    };
    didReceiveBytes = [this](ReqHTTPRequest&, qint64 amount) {
        showProgress(downloadProgressDelegate(), bytesDownloaded += quint64(amount), totalDownload);
    };
    didSendBytes = [this](ReqHTTPRequest&, qint64 amount) {
        showProgress(uploadProgressDelegate(), bytesUploaded += quint64(amount), totalUpload);
    };
    incrementDownloadSizeBy = [this](ReqHTTPRequest&, qint64 amount) { totalDownload += quint64(amount); };
    incrementUploadSizeBy = [this](ReqHTTPRequest&, qint64 amount) { totalUpload += quint64(amount); };
}

void ReqNetworkQueue::requestEnded(ReqHTTPRequest& request, RequestSelector selector, bool failed) {
    const int left = --unfinished;
    const auto listener = delegate();
    if (listener && selector && listener.get()->*selector)
        (listener.get()->*selector)(request);
    const QueueSelector finished = queueDidFinishSelector.get();
    if (left == 0 && listener && finished && listener.get()->*finished)
        (listener.get()->*finished)(*this);
    if (failed && shouldCancelAllRequestsOnFailure() && left > 0)
        cancelAllOperations();
    // An ended request tells the queue nothing more; keeping the queue would make a cycle with the queue's
    // hold on the request, which a suspended queue never lets go.
    request.setQueue(nullptr);
}

bool ReqNetworkQueue::answersWillRedirect() const {
    const auto listener = delegate();
    const URLSelector selector = requestWillRedirectSelector.get();
    return listener && selector && listener.get()->*selector;
}

bool ReqNetworkQueue::answersAuthenticationNeeded(bool proxy) const {
    const auto listener = delegate();
    return listener && (proxy ? listener->proxyAuthenticationNeeded : listener->authenticationNeeded);
}

// --- Running ----------------------------------------------------------------------------------------------

void ReqNetworkQueue::go() {
    operations.setSuspended(false);
}

void ReqNetworkQueue::setSuspended(bool suspended) {
    operations.setSuspended(suspended);
}

bool ReqNetworkQueue::isSuspended() const {
    return operations.isSuspended();
}

void ReqNetworkQueue::reset() {
    cancelAllOperations();
    setDelegate(nullptr);
    uploadProgress.set({});
    downloadProgress.set({});
    requestDidStartSelector.set(nullptr);
    requestDidReceiveResponseHeadersSelector.set(nullptr);
    requestDidFailSelector.set(nullptr);
    requestDidFinishSelector.set(nullptr);
    queueDidFinishSelector.set(nullptr);
    setSuspended(true);
}

void ReqNetworkQueue::cancelAllOperations() {
    bytesUploaded = 0;
    totalUpload = 0;
    bytesDownloaded = 0;
    totalDownload = 0;
    operations.cancelAllOperations();
}

void ReqNetworkQueue::addOperation(const std::shared_ptr<platform::Operation>& operation) {
    const auto request = std::dynamic_pointer_cast<ReqHTTPRequest>(operation);
    if (!request)
        throw ReqException(
            QStringLiteral("AttemptToAddInvalidRequest"),
            QStringLiteral(
                "Attempted to add an object that was not an ReqHTTPRequest to an ReqNetworkQueue"));
    ++unfinished;
    quint64 upload = 1;
    if (showAccurateProgress()) {
        request->buildPostBody();
        if (request->requestMethod() == "GET" && isSuspended()) {
            const auto head = request->HEADRequest();
            addHEADOperation(head);
            request->addDependency(head);
            if (request->shouldResetDownloadProgress()) {
                resetProgressDelegate(downloadProgressDelegate());
                request->setShouldResetDownloadProgress(false);
            }
        }
        request->buildPostBody();
        upload = request->postLength();
    } else {
        ++totalDownload;
    }
    totalUpload += upload;
    if (request->shouldResetUploadProgress()) {
        resetProgressDelegate(uploadProgressDelegate());
        request->setShouldResetUploadProgress(false);
    }
    request->setShowAccurateProgress(showAccurateProgress());
    request->setQueue(shared_from_this());
    operations.addOperation(request);
}

void ReqNetworkQueue::addHEADOperation(const std::shared_ptr<platform::Operation>& operation) {
    const auto request = std::dynamic_pointer_cast<ReqHTTPRequest>(operation);
    if (!request)
        return;
    request->setRequestMethod("HEAD");
    request->setQueuePriority(10);
    request->setShowAccurateProgress(true);
    request->setQueue(shared_from_this());
    operations.addOperation(request);
}

// --- Progress ----------------------------------------------------------------------------------------------

void ReqNetworkQueue::setUploadProgressDelegate(const std::shared_ptr<ReqProgressDelegate>& value) {
    uploadProgress.set(value);
    resetProgressDelegate(value);
}

void ReqNetworkQueue::setDownloadProgressDelegate(const std::shared_ptr<ReqProgressDelegate>& value) {
    downloadProgress.set(value);
    resetProgressDelegate(value);
}

void ReqNetworkQueue::resetProgressDelegate(const std::shared_ptr<ReqProgressDelegate>& indicator) const {
    if (!indicator || !indicator->setProgress)
        return;
    platform::runOnMainThread([weak = std::weak_ptr<ReqProgressDelegate>(indicator)] {
        if (const auto alive = weak.lock(); alive && alive->setProgress)
            alive->setProgress(0.0f);
    });
}

void ReqNetworkQueue::showProgress(const std::shared_ptr<ReqProgressDelegate>& indicator, quint64 done,
                                   quint64 total) {
    if (indicator && indicator->setProgress)
        indicator->setProgress(total > 0 ? float(double(done) / double(total)) : 0.0f);
}
