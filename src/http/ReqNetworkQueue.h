#pragma once

#include "http/ReqGuarded.h"
#include "http/ReqHTTPRequestDelegate.h"
#include "platform/foundation/OperationQueue.h"

#include <QVariantMap>

#include <atomic>
#include <memory>

class ReqHTTPRequest;
class ReqNetworkQueue;

// What a network queue tells its delegate. The queue's selectors point at these slots (or at the
// request-shaped slots of ReqHTTPRequestDelegate); an empty selector or slot sends nothing.
struct ReqNetworkQueueDelegate : ReqHTTPRequestDelegate {
    using QueueCallback = std::function<void(ReqNetworkQueue&)>;
    QueueCallback queueFinished;
};

// A queue of requests with one progress figure over all of them (HEAD requests first, when sizes are to
// be known before the downloads start), the requests' events passed to its delegate, one report when it
// runs empty, and the rest cancelled when one fails. It starts suspended (go() starts it), four requests at a
// time. Requests may be added from any thread; the reports arrive on the main thread.
class ReqNetworkQueue : public ReqRequestQueue, public std::enable_shared_from_this<ReqNetworkQueue> {
public:
    using RequestSelector = ReqHTTPRequestDelegate::RequestSelector;
    using HeadersSelector = ReqHTTPRequestDelegate::HeadersSelector;
    using URLSelector = ReqHTTPRequestDelegate::URLSelector;
    using QueueSelector = ReqNetworkQueueDelegate::QueueCallback ReqNetworkQueueDelegate::*;

    static std::shared_ptr<ReqNetworkQueue> queue();
    ~ReqNetworkQueue() override;
    // A new suspended queue with the same delegate, selectors, progress delegates and settings; no requests.
    std::shared_ptr<ReqNetworkQueue> copy() const;

    void go();
    void setSuspended(bool suspended);
    bool isSuspended() const;
    void reset();
    void cancelAllOperations();
    // Raises ReqException "AttemptToAddInvalidRequest" for anything that is not a request.
    void addOperation(const std::shared_ptr<platform::Operation>& operation);
    void addHEADOperation(const std::shared_ptr<platform::Operation>& operation);
    int operationCount() const { return operations.operationCount(); }
    int maxConcurrentOperationCount() const { return operations.maxConcurrentOperationCount(); }
    void setMaxConcurrentOperationCount(int count) { operations.setMaxConcurrentOperationCount(count); }

    std::shared_ptr<ReqNetworkQueueDelegate> delegate() const { return delegate_.get().lock(); }
    void setDelegate(const std::shared_ptr<ReqNetworkQueueDelegate>& value) { delegate_.set(value); }
    ReqGuarded<RequestSelector> requestDidStartSelector;
    ReqGuarded<HeadersSelector> requestDidReceiveResponseHeadersSelector;
    ReqGuarded<URLSelector> requestWillRedirectSelector;
    ReqGuarded<RequestSelector> requestDidFinishSelector;
    ReqGuarded<RequestSelector> requestDidFailSelector;
    ReqGuarded<QueueSelector> queueDidFinishSelector;

    std::shared_ptr<ReqProgressDelegate> uploadProgressDelegate() const {
        return uploadProgress.get().lock();
    }
    void setUploadProgressDelegate(const std::shared_ptr<ReqProgressDelegate>& value);
    std::shared_ptr<ReqProgressDelegate> downloadProgressDelegate() const {
        return downloadProgress.get().lock();
    }
    void setDownloadProgressDelegate(const std::shared_ptr<ReqProgressDelegate>& value);

    quint64 bytesUploadedSoFar() const { return bytesUploaded; }
    quint64 totalBytesToUpload() const { return totalUpload; }
    quint64 bytesDownloadedSoFar() const { return bytesDownloaded; }
    quint64 totalBytesToDownload() const { return totalDownload; }
    int requestsCount() const { return unfinished; }
    bool shouldCancelAllRequestsOnFailure() const { return cancelsAllOnFailure; }
    void setShouldCancelAllRequestsOnFailure(bool value) { cancelsAllOnFailure = value; }
    bool showAccurateProgress() const { return accurateProgress; }
    void setShowAccurateProgress(bool value) { accurateProgress = value; }
    QVariantMap userInfo() const { return userInfo_.get(); }
    void setUserInfo(QVariantMap value) { userInfo_.set(std::move(value)); }

    bool answersWillRedirect() const override;
    bool answersAuthenticationNeeded(bool proxy) const override;

private:
    ReqNetworkQueue();
    void listen();
    void resetProgressDelegate(const std::shared_ptr<ReqProgressDelegate>& delegate) const;
    void requestEnded(ReqHTTPRequest& request, RequestSelector selector, bool failed);
    static void showProgress(const std::shared_ptr<ReqProgressDelegate>& indicator, quint64 done,
                             quint64 total);

    platform::OperationQueue operations{4};
    ReqGuarded<std::weak_ptr<ReqNetworkQueueDelegate>> delegate_;
    ReqGuarded<std::weak_ptr<ReqProgressDelegate>> uploadProgress;
    ReqGuarded<std::weak_ptr<ReqProgressDelegate>> downloadProgress;
    // Requests add to these from any thread and report to them on the main thread.
    std::atomic<quint64> bytesUploaded{0};
    std::atomic<quint64> totalUpload{0};
    std::atomic<quint64> bytesDownloaded{0};
    std::atomic<quint64> totalDownload{0};
    std::atomic<int> unfinished{0};
    std::atomic<bool> cancelsAllOnFailure{true};
    std::atomic<bool> accurateProgress{false};
    ReqGuarded<QVariantMap> userInfo_;
};
