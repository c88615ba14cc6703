// A request's settings: its defaults, the accessors that need more than storage, its blocks, and the copies
// made of it (a copy to send again, a HEAD request that learns the size first).

#include "http/ReqHTTPRequest.h"

#include "http/ReqHTTPRequestBlocks.h"
#include "http/ReqTextEncoding.h"
#include "platform/foundation/MainThread.h"
#include "platform/net/HttpReadStream.h"

#include <QFile>

ReqHTTPRequest::Ptr ReqHTTPRequest::requestWithURL(const QUrl& url) {
    return Ptr(new ReqHTTPRequest(url));
}

ReqHTTPRequest::Ptr ReqHTTPRequest::requestWithURL(const QUrl& url,
                                                   const std::shared_ptr<ReqCacheDelegate>& cache,
                                                   int cachePolicy) {
    Ptr request = requestWithURL(url);
    request->setDownloadCache(cache);
    request->setCachePolicy(cachePolicy);
    return request;
}

ReqHTTPRequest::ReqHTTPRequest(const QUrl& url) : blocks(std::make_unique<Blocks>()) {
    initDefaults(url);
}

void ReqHTTPRequest::initDefaults(const QUrl& url) {
    requestMethod_ = "GET";
    runLoopMode_.set(QString::fromLatin1(kReqDefaultRunLoopMode));
    shouldAttemptPersistentConnection_ = true;
    persistentConnectionTimeoutSeconds_ = 120.0;
    shouldPresentCredentialsBeforeChallenge_ = true;
    shouldRedirect_ = true;
    showAccurateProgress_ = true;
    shouldResetDownloadProgress_ = true;
    shouldResetUploadProgress_ = true;
    allowCompressedResponse_ = true;
    shouldWaitToInflateCompressedResponses_ = true;
    defaultResponseEncoding_.set(QByteArray(ReqTextEncoding::kLatin1));
    shouldPresentProxyAuthenticationDialog_ = true;
    timeOutSeconds_ = defaultTimeOutSeconds();
    useSessionPersistence_ = true;
    useCookiePersistence_ = true;
    validatesSecureCertificate_ = true;
    requestCookies_.set({});
    didStartSelector_.set(&ReqHTTPRequestDelegate::requestStarted);
    didReceiveResponseHeadersSelector_.set(&ReqHTTPRequestDelegate::didReceiveResponseHeaders);
    willRedirectSelector_.set(&ReqHTTPRequestDelegate::willRedirectToURL);
    didFinishSelector_.set(&ReqHTTPRequestDelegate::requestFinished);
    didFailSelector_.set(&ReqHTTPRequestDelegate::requestFailed);
    didReceiveDataSelector_.set(&ReqHTTPRequestDelegate::didReceiveData);
    setURL(url);
    downloadCache_.set(defaultCache());
}

ReqHTTPRequest::~ReqHTTPRequest() {
    destroying = true; // what goes wrong while tidying up is reported to nobody
    authenticationNeeded_ = 0;
    requestAuthentication.reset();
    proxyAuthentication.reset();
    cancelLoad();
    statusTimer.reset();
    releaseBlocksOnMainThread();
}

// --- Accessors under the request's lock
// --------------------------------------------------------------------------

QUrl ReqHTTPRequest::url() const {
    std::lock_guard lock(cancelledLock_);
    return url_;
}

void ReqHTTPRequest::setURL(const QUrl& newURL) {
    std::lock_guard lock(cancelledLock_);
    if (newURL == url_ && !url_.isEmpty())
        return;
    url_ = newURL;
    requestAuthentication.reset();
    proxyAuthentication.reset();
    redirectURL_.set(QUrl());
}

QByteArray ReqHTTPRequest::requestMethod() const {
    std::lock_guard lock(cancelledLock_);
    return requestMethod_;
}

void ReqHTTPRequest::setRequestMethod(const QByteArray& method) {
    std::lock_guard lock(cancelledLock_);
    requestMethod_ = method;
    // A request that sends a body never goes over a kept connection.
    if (method == "POST" || method == "PUT" || !postBody_.get().isEmpty() ||
        !postBodyFilePath_.get().isEmpty())
        shouldAttemptPersistentConnection_ = false;
}

std::shared_ptr<ReqHTTPRequestDelegate> ReqHTTPRequest::delegate() const {
    std::lock_guard lock(cancelledLock_);
    return delegate_.lock();
}

void ReqHTTPRequest::setDelegate(const std::shared_ptr<ReqHTTPRequestDelegate>& value) {
    std::lock_guard lock(cancelledLock_);
    delegate_ = value;
}

std::shared_ptr<ReqRequestQueue> ReqHTTPRequest::queue() const {
    std::lock_guard lock(cancelledLock_);
    return queue_;
}

void ReqHTTPRequest::setQueue(const std::shared_ptr<ReqRequestQueue>& value) {
    std::lock_guard lock(cancelledLock_);
    queue_ = value;
}

std::shared_ptr<ReqProgressDelegate> ReqHTTPRequest::uploadProgressDelegate() const {
    std::lock_guard lock(cancelledLock_);
    return uploadProgressDelegate_.lock();
}

void ReqHTTPRequest::setUploadProgressDelegate(const std::shared_ptr<ReqProgressDelegate>& value) {
    {
        std::lock_guard lock(cancelledLock_);
        uploadProgressDelegate_ = value;
    }
    resetIndicator(ProgressKind::Upload);
}

std::shared_ptr<ReqProgressDelegate> ReqHTTPRequest::downloadProgressDelegate() const {
    std::lock_guard lock(cancelledLock_);
    return downloadProgressDelegate_.lock();
}

void ReqHTTPRequest::setDownloadProgressDelegate(const std::shared_ptr<ReqProgressDelegate>& value) {
    {
        std::lock_guard lock(cancelledLock_);
        downloadProgressDelegate_ = value;
    }
    resetIndicator(ProgressKind::Download);
}

bool ReqHTTPRequest::hasStatusTimer() const {
    return statusTimer != nullptr;
}

// --- Blocks
// ---------------------------------------------------------------------------------------------------

void ReqHTTPRequest::setStartedBlock(ReqBasicBlock block) {
    blocks->set(&Blocks::Set::startedBlock, std::move(block));
}

void ReqHTTPRequest::setHeadersReceivedBlock(ReqHeadersBlock block) {
    blocks->set(&Blocks::Set::headersReceivedBlock, std::move(block));
}

void ReqHTTPRequest::setCompletionBlock(ReqBasicBlock block) {
    blocks->set(&Blocks::Set::completionBlock, std::move(block));
}

void ReqHTTPRequest::setFailedBlock(ReqBasicBlock block) {
    blocks->set(&Blocks::Set::failureBlock, std::move(block));
}

void ReqHTTPRequest::setBytesReceivedBlock(ReqProgressBlock block) {
    blocks->set(&Blocks::Set::bytesReceivedBlock, std::move(block));
}

void ReqHTTPRequest::setBytesSentBlock(ReqProgressBlock block) {
    blocks->set(&Blocks::Set::bytesSentBlock, std::move(block));
}

void ReqHTTPRequest::setDownloadSizeIncrementedBlock(ReqSizeBlock block) {
    blocks->set(&Blocks::Set::downloadSizeIncrementedBlock, std::move(block));
}

void ReqHTTPRequest::setUploadSizeIncrementedBlock(ReqSizeBlock block) {
    blocks->set(&Blocks::Set::uploadSizeIncrementedBlock, std::move(block));
}

void ReqHTTPRequest::setDataReceivedBlock(ReqDataBlock block) {
    blocks->set(&Blocks::Set::dataReceivedBlock, std::move(block));
}

void ReqHTTPRequest::setAuthenticationNeededBlock(ReqBasicBlock block) {
    blocks->set(&Blocks::Set::authenticationNeededBlock, std::move(block));
}

void ReqHTTPRequest::setProxyAuthenticationNeededBlock(ReqBasicBlock block) {
    blocks->set(&Blocks::Set::proxyAuthenticationNeededBlock, std::move(block));
}

void ReqHTTPRequest::setRequestRedirectedBlock(ReqBasicBlock block) {
    blocks->set(&Blocks::Set::requestRedirectedBlock, std::move(block));
}

void ReqHTTPRequest::releaseBlocksOnMainThread() {
    auto released = std::make_shared<Blocks::Set>(blocks->takeAll());
    // The blocks, and whatever they captured, end on the main thread.
    platform::runOnMainThread([released] { *released = Blocks::Set(); });
}

// --- Copies
// ---------------------------------------------------------------------------------------------------

ReqHTTPRequest::Ptr ReqHTTPRequest::HEADRequest() {
    Ptr head = requestWithURL(url());
    head->setRequestMethod("HEAD");
    head->setMainRequest(shared());
    head->setRequestHeaders(requestHeaders());
    head->setRequestCookies(requestCookies());
    head->setUseCookiePersistence(useCookiePersistence());
    head->setUseKeychainPersistence(useKeychainPersistence());
    head->setUseSessionPersistence(useSessionPersistence());
    head->setAllowCompressedResponse(allowCompressedResponse());
    head->setUsername(username());
    head->setPassword(password());
    head->setDomain(domain());
    head->setProxyUsername(proxyUsername());
    head->setProxyPassword(proxyPassword());
    head->setProxyDomain(proxyDomain());
    head->setProxyHost(proxyHost());
    head->setProxyPort(proxyPort());
    head->setProxyType(proxyType());
    head->setShouldPresentAuthenticationDialog(shouldPresentAuthenticationDialog());
    head->setShouldPresentProxyAuthenticationDialog(shouldPresentProxyAuthenticationDialog());
    head->setTimeOutSeconds(timeOutSeconds());
    head->setUseHTTPVersionOne(useHTTPVersionOne());
    head->setValidatesSecureCertificate(validatesSecureCertificate());
    head->setClientCertificateIdentity(clientCertificateIdentity());
    head->setClientCertificates(clientCertificates());
    head->setPACurl(PACurl());
    head->setShouldPresentCredentialsBeforeChallenge(shouldPresentCredentialsBeforeChallenge());
    head->setNumberOfTimesToRetryOnTimeout(numberOfTimesToRetryOnTimeout());
    head->setShouldUseRFC2616RedirectBehaviour(shouldUseRFC2616RedirectBehaviour());
    head->setShouldAttemptPersistentConnection(shouldAttemptPersistentConnection());
    head->setPersistentConnectionTimeoutSeconds(persistentConnectionTimeoutSeconds());
    return head;
}

ReqHTTPRequest::Ptr ReqHTTPRequest::copy() const {
    Ptr made = newRequestOfSameKind(url());
    made->setDelegate(delegate());
    made->setRequestMethod(requestMethod());
    made->setPostBody(postBody());
    made->setShouldStreamPostDataFromDisk(shouldStreamPostDataFromDisk());
    made->setPostBodyFilePath(postBodyFilePath());
    made->setRequestHeaders(requestHeaders());
    made->setRequestCookies(requestCookies());
    made->setUseCookiePersistence(useCookiePersistence());
    made->setUseKeychainPersistence(useKeychainPersistence());
    made->setUseSessionPersistence(useSessionPersistence());
    made->setAllowCompressedResponse(allowCompressedResponse());
    made->setDownloadDestinationPath(downloadDestinationPath());
    made->setTemporaryFileDownloadPath(temporaryFileDownloadPath());
    made->setUsername(username());
    made->setPassword(password());
    made->setDomain(domain());
    made->setProxyUsername(proxyUsername());
    made->setProxyPassword(proxyPassword());
    made->setProxyDomain(proxyDomain());
    made->setProxyHost(proxyHost());
    made->setProxyPort(proxyPort());
    made->setProxyType(proxyType());
    made->setUploadProgressDelegate(uploadProgressDelegate());
    made->setDownloadProgressDelegate(downloadProgressDelegate());
    made->setShouldPresentAuthenticationDialog(shouldPresentAuthenticationDialog());
    made->setShouldPresentProxyAuthenticationDialog(shouldPresentProxyAuthenticationDialog());
    made->setPostLength(postLength());
    made->setHaveBuiltPostBody(haveBuiltPostBody());
    made->setDidStartSelector(didStartSelector());
    made->setDidFinishSelector(didFinishSelector());
    made->setDidFailSelector(didFailSelector());
    made->setTimeOutSeconds(timeOutSeconds());
    made->setShouldResetDownloadProgress(shouldResetDownloadProgress());
    made->setShouldResetUploadProgress(shouldResetUploadProgress());
    made->setShowAccurateProgress(showAccurateProgress());
    made->setDefaultResponseEncoding(defaultResponseEncoding());
    made->setAllowResumeForFileDownloads(allowResumeForFileDownloads());
    made->setMaxResponseBytesInMemory(maxResponseBytesInMemory());
    made->setMaxInflationRatio(maxInflationRatio());
    made->setUserInfo(userInfo());
    made->setTag(tag());
    made->setUseHTTPVersionOne(useHTTPVersionOne());
    made->setShouldRedirect(shouldRedirect());
    made->setValidatesSecureCertificate(validatesSecureCertificate());
    made->setClientCertificateIdentity(clientCertificateIdentity());
    made->setClientCertificates(clientCertificates());
    made->setPACurl(PACurl());
    made->setShouldPresentCredentialsBeforeChallenge(shouldPresentCredentialsBeforeChallenge());
    made->setNumberOfTimesToRetryOnTimeout(numberOfTimesToRetryOnTimeout());
    made->setShouldUseRFC2616RedirectBehaviour(shouldUseRFC2616RedirectBehaviour());
    made->setShouldAttemptPersistentConnection(shouldAttemptPersistentConnection());
    made->setPersistentConnectionTimeoutSeconds(persistentConnectionTimeoutSeconds());
    made->setAuthenticationScheme(authenticationScheme());
    return made;
}
