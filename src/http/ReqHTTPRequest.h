#pragma once

#include "http/ReqCacheDelegate.h"
#include "http/ReqGuarded.h"
#include "http/ReqHTTPRequestDelegate.h"
#include "http/ReqSessionCredentials.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/net/Cookie.h"
#include "platform/net/HttpHeaders.h"
#include "platform/net/RunLoop.h"
#include "platform/net/StreamSettings.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QUrl>
#include <QVariantMap>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>

class QFile;
class QIODevice;
class ReqDataDecompressor;
struct ReqInflationLimits;
struct ReqPACAnswer;
struct ReqConnectionRecord;

namespace platform::net {
class HttpMessage;
class HttpReadStream;
} // namespace platform::net

// A failure raised while a request is prepared (a form that cannot be built, say): the request fails with
// code 10, the name as description and the reason as failure reason.
class ReqException : public std::runtime_error {
public:
    ReqException(QString name, QString reason, QVariantMap userInfo = {})
        : std::runtime_error(reason.toStdString()), name(std::move(name)), reason(std::move(reason)),
          userInfo(std::move(userInfo)) {}
    QString name;
    QString reason;
    QVariantMap userInfo;
};

inline constexpr char kReqProxyTypeHTTP[] = "HTTP";
inline constexpr char kReqProxyTypeHTTPS[] = "HTTPS";
inline constexpr char kReqProxyTypeSOCKS[] = "SOCKS";
inline constexpr char kReqDefaultRunLoopMode[] = "kCFRunLoopDefaultMode";
inline constexpr char kReqHTTPRequestRunLoopMode[] = "ReqHTTPRequestRunLoopMode";

// One HTTP request of the second HTTP library, run as an operation: on the library's one network thread
// (startAsynchronous, through the shared queue) or on the caller's own thread (startSynchronous), over our
// HTTP/1.1 client. Its events reach the delegate, the blocks and the queue on the main thread.
//
// Settings marked atomic in the library's table may be read and changed from any thread; the rest belong to
// the thread the request runs on. Text encodings are IANA charset names ("ISO-8859-1").
class ReqHTTPRequest : public platform::Operation {
public:
    using Ptr = std::shared_ptr<ReqHTTPRequest>;
    struct Blocks; // the request's blocks (ReqHTTPRequestBlocks.h)

    static Ptr requestWithURL(const QUrl& url);
    static Ptr requestWithURL(const QUrl& url, const std::shared_ptr<ReqCacheDelegate>& cache,
                              int cachePolicy = ReqUseDefaultCachePolicy);
    ~ReqHTTPRequest() override;

    Ptr shared() { return std::static_pointer_cast<ReqHTTPRequest>(shared_from_this()); }

    // --- Starting and stopping (lifecycle) -----------------------------------------------------------------
    void startAsynchronous();
    void startSynchronous();
    void start() override;
    void cancel() override;
    void clearDelegatesAndCancel();
    bool isConcurrent() const { return true; }
    bool isExecuting() const override { return inProgress_; }
    bool isFinished() const override { return finished_; }
    bool isCancelled() const override { return cancelled_; }
    Ptr HEADRequest();
    // A new, unstarted request of the same kind with the same settings.
    virtual Ptr copy() const;

    // --- Answers a listener gives from any thread
    // ---------------------------------------------------------------
    // Goes on with a redirect the delegate (or queue) was asked to confirm, to `url` (the same or another).
    void redirectToURL(const QUrl& url);
    // Tries again with the credentials the delegate has just set on the request (or its proxy ones).
    void retryUsingSuppliedCredentials();
    // Gives up a challenge: the request fails with code 3.
    void cancelAuthentication();

    // --- Body and header fields
    // ------------------------------------------------------------------------------
    void appendPostData(const QByteArray& data);
    void appendPostDataFromFile(const QString& path);
    void setupPostBody();
    virtual void buildPostBody();
    void addRequestHeader(const QByteArray& name, const QByteArray& value);
    void buildRequestHeaders();
    void applyCookieHeader();
    void addBasicAuthenticationHeader(const QString& username, const QString& password);

    // --- Response
    // -------------------------------------------------------------------------------------------
    QByteArray responseData();
    QString responseString();
    bool isResponseCompressed() const;

    // --- Settings (the library's settings table) --------------------------------------------------------
    QUrl url() const;
    void setURL(const QUrl& url);
    QByteArray requestMethod() const;
    void setRequestMethod(const QByteArray& method);
    std::shared_ptr<ReqHTTPRequestDelegate> delegate() const;
    void setDelegate(const std::shared_ptr<ReqHTTPRequestDelegate>& delegate);
    std::shared_ptr<ReqRequestQueue> queue() const;
    void setQueue(const std::shared_ptr<ReqRequestQueue>& queue);
    std::shared_ptr<ReqProgressDelegate> uploadProgressDelegate() const;
    void setUploadProgressDelegate(const std::shared_ptr<ReqProgressDelegate>& delegate);
    std::shared_ptr<ReqProgressDelegate> downloadProgressDelegate() const;
    void setDownloadProgressDelegate(const std::shared_ptr<ReqProgressDelegate>& delegate);

    bool complete() const { return complete_; }
    void setComplete(bool value) { complete_ = value; }
    QList<platform::net::Cookie> responseCookies() const { return responseCookies_.get(); }
    void setResponseCookies(QList<platform::net::Cookie> value) { responseCookies_.set(std::move(value)); }
    int responseStatusCode() const { return responseStatusCode_; }
    void setResponseStatusCode(int value) { responseStatusCode_ = value; }
    QString responseStatusMessage() const { return responseStatusMessage_.get(); }
    void setResponseStatusMessage(QString value) { responseStatusMessage_.set(std::move(value)); }
    // Seconds on the monotonic clock; nothing while no activity counts (waiting for credentials).
    std::optional<double> lastActivityTime() const { return lastActivityTime_.get(); }
    void setLastActivityTime(std::optional<double> value) { lastActivityTime_.set(value); }
    quint64 partialDownloadSize() const { return partialDownloadSize_; }
    void setPartialDownloadSize(quint64 value) { partialDownloadSize_ = value; }
    quint64 uploadBufferSize() const { return uploadBufferSize_; }
    void setUploadBufferSize(quint64 value) { uploadBufferSize_ = value; }
    quint64 lastBytesRead() const { return lastBytesRead_; }
    void setLastBytesRead(quint64 value) { lastBytesRead_ = value; }
    quint64 lastBytesSent() const { return lastBytesSent_; }
    void setLastBytesSent(quint64 value) { lastBytesSent_ = value; }
    std::recursive_mutex& cancelledLock() const { return cancelledLock_; }
    int authenticationRetryCount() const { return authenticationRetryCount_; }
    void setAuthenticationRetryCount(int value) { authenticationRetryCount_ = value; }
    int proxyAuthenticationRetryCount() const { return proxyAuthenticationRetryCount_; }
    void setProxyAuthenticationRetryCount(int value) { proxyAuthenticationRetryCount_ = value; }
    bool updatedProgress() const { return updatedProgress_; }
    void setUpdatedProgress(bool value) { updatedProgress_ = value; }
    bool needsRedirect() const { return needsRedirect_; }
    void setNeedsRedirect(bool value) { needsRedirect_ = value; }
    int redirectCount() const { return redirectCount_; }
    void setRedirectCount(int value) { redirectCount_ = value; }
    QByteArray compressedPostBody() const { return compressedPostBody_.get(); }
    void setCompressedPostBody(QByteArray value) { compressedPostBody_.set(std::move(value)); }
    QString compressedPostBodyFilePath() const { return compressedPostBodyFilePath_.get(); }
    void setCompressedPostBodyFilePath(QString value) { compressedPostBodyFilePath_.set(std::move(value)); }
    QString authenticationRealm() const { return authenticationRealm_.get(); }
    void setAuthenticationRealm(QString value) { authenticationRealm_.set(std::move(value)); }
    QString proxyAuthenticationRealm() const { return proxyAuthenticationRealm_.get(); }
    void setProxyAuthenticationRealm(QString value) { proxyAuthenticationRealm_.set(std::move(value)); }
    bool inProgress() const { return inProgress_; }
    void setInProgress(bool value) { inProgress_ = value; }
    int retryCount() const { return retryCount_; }
    void setRetryCount(int value) { retryCount_ = value; }
    bool willRetryRequest() const { return willRetryRequest_; }
    void setWillRetryRequest(bool value) { willRetryRequest_ = value; }
    bool connectionCanBeReused() const { return connectionCanBeReused_; }
    void setConnectionCanBeReused(bool value) { connectionCanBeReused_ = value; }
    std::shared_ptr<ReqConnectionRecord> connectionInfo() const { return connectionInfo_.get(); }
    void setConnectionInfo(std::shared_ptr<ReqConnectionRecord> value) {
        connectionInfo_.set(std::move(value));
    }
    std::shared_ptr<platform::net::HttpReadStream> readStream() const { return readStream_.get(); }
    int authenticationNeeded() const { return authenticationNeeded_; }
    void setAuthenticationNeeded(int value) { authenticationNeeded_ = value; }
    bool readStreamIsScheduled() const { return readStreamIsScheduled_; }
    bool downloadComplete() const { return downloadComplete_; }
    void setDownloadComplete(bool value) { downloadComplete_ = value; }
    std::optional<unsigned> requestID() const { return requestID_.get(); }
    void setRequestID(std::optional<unsigned> value) { requestID_.set(value); }
    QString runLoopMode() const { return runLoopMode_.get(); }
    void setRunLoopMode(QString value) { runLoopMode_.set(std::move(value)); }
    bool hasStatusTimer() const;
    bool didUseCachedResponse() const { return didUseCachedResponse_; }
    void setDidUseCachedResponse(bool value) { didUseCachedResponse_ = value; }
    QUrl redirectURL() const { return redirectURL_.get(); }
    void setRedirectURL(QUrl value) { redirectURL_.set(std::move(value)); }
    bool isPACFileRequest() const { return isPACFileRequest_; }
    void setIsPACFileRequest(bool value) { isPACFileRequest_ = value; }
    Ptr PACFileRequest() const { return PACFileRequest_.get(); }
    void setPACFileRequest(Ptr value) { PACFileRequest_.set(std::move(value)); }
    QByteArray PACFileData() const { return PACFileData_.get(); }
    void setPACFileData(QByteArray value) { PACFileData_.set(std::move(value)); }
    bool isSynchronous() const { return isSynchronous_; }
    void setSynchronous(bool value) { isSynchronous_ = value; }
    QString username() const { return username_.get(); }
    void setUsername(QString value) { username_.set(std::move(value)); }
    QString password() const { return password_.get(); }
    void setPassword(QString value) { password_.set(std::move(value)); }
    QString userAgent() const { return userAgent_.get(); }
    void setUserAgent(QString value) { userAgent_.set(std::move(value)); }
    QString domain() const { return domain_.get(); }
    void setDomain(QString value) { domain_.set(std::move(value)); }
    QString proxyUsername() const { return proxyUsername_.get(); }
    void setProxyUsername(QString value) { proxyUsername_.set(std::move(value)); }
    QString proxyPassword() const { return proxyPassword_.get(); }
    void setProxyPassword(QString value) { proxyPassword_.set(std::move(value)); }
    QString proxyDomain() const { return proxyDomain_.get(); }
    void setProxyDomain(QString value) { proxyDomain_.set(std::move(value)); }
    QString proxyHost() const { return proxyHost_.get(); }
    void setProxyHost(QString value) { proxyHost_.set(std::move(value)); }
    int proxyPort() const { return proxyPort_; }
    void setProxyPort(int value) { proxyPort_ = value; }
    QString proxyType() const { return proxyType_.get(); }
    void setProxyType(QString value) { proxyType_.set(std::move(value)); }
    QUrl originalURL() const { return originalURL_.get(); }
    void setOriginalURL(QUrl value) { originalURL_.set(std::move(value)); }
    bool useKeychainPersistence() const { return useKeychainPersistence_; }
    void setUseKeychainPersistence(bool value) { useKeychainPersistence_ = value; }
    bool useSessionPersistence() const { return useSessionPersistence_; }
    void setUseSessionPersistence(bool value) { useSessionPersistence_ = value; }
    QString downloadDestinationPath() const { return downloadDestinationPath_.get(); }
    void setDownloadDestinationPath(QString value) { downloadDestinationPath_.set(std::move(value)); }
    QString temporaryFileDownloadPath() const { return temporaryFileDownloadPath_.get(); }
    void setTemporaryFileDownloadPath(QString value) { temporaryFileDownloadPath_.set(std::move(value)); }
    QString temporaryUncompressedDataDownloadPath() const {
        return temporaryUncompressedDataDownloadPath_.get();
    }
    void setTemporaryUncompressedDataDownloadPath(QString value) {
        temporaryUncompressedDataDownloadPath_.set(std::move(value));
    }
    using RequestSelector = ReqHTTPRequestDelegate::RequestSelector;
    RequestSelector didStartSelector() const { return didStartSelector_.get(); }
    void setDidStartSelector(RequestSelector value) { didStartSelector_.set(value); }
    ReqHTTPRequestDelegate::HeadersSelector didReceiveResponseHeadersSelector() const {
        return didReceiveResponseHeadersSelector_.get();
    }
    void setDidReceiveResponseHeadersSelector(ReqHTTPRequestDelegate::HeadersSelector value) {
        didReceiveResponseHeadersSelector_.set(value);
    }
    ReqHTTPRequestDelegate::URLSelector willRedirectSelector() const { return willRedirectSelector_.get(); }
    void setWillRedirectSelector(ReqHTTPRequestDelegate::URLSelector value) {
        willRedirectSelector_.set(value);
    }
    RequestSelector didFinishSelector() const { return didFinishSelector_.get(); }
    void setDidFinishSelector(RequestSelector value) { didFinishSelector_.set(value); }
    RequestSelector didFailSelector() const { return didFailSelector_.get(); }
    void setDidFailSelector(RequestSelector value) { didFailSelector_.set(value); }
    ReqHTTPRequestDelegate::DataSelector didReceiveDataSelector() const {
        return didReceiveDataSelector_.get();
    }
    void setDidReceiveDataSelector(ReqHTTPRequestDelegate::DataSelector value) {
        didReceiveDataSelector_.set(value);
    }
    std::optional<platform::Error> error() const { return error_.get(); }
    void setError(std::optional<platform::Error> value) { error_.set(std::move(value)); }
    std::optional<platform::net::HttpHeaders> responseHeaders() const { return responseHeaders_.get(); }
    void setResponseHeaders(std::optional<platform::net::HttpHeaders> value) {
        responseHeaders_.set(std::move(value));
    }
    platform::net::HttpHeaders requestHeaders() const { return requestHeaders_.get(); }
    void setRequestHeaders(platform::net::HttpHeaders value) { requestHeaders_.set(std::move(value)); }
    QList<platform::net::Cookie> requestCookies() const { return requestCookies_.get(); }
    void setRequestCookies(QList<platform::net::Cookie> value) { requestCookies_.set(std::move(value)); }
    bool useCookiePersistence() const { return useCookiePersistence_; }
    void setUseCookiePersistence(bool value) { useCookiePersistence_ = value; }
    ReqCredentials requestCredentials() const { return requestCredentials_.get(); }
    void setRequestCredentials(ReqCredentials value) { requestCredentials_.set(std::move(value)); }
    ReqCredentials proxyCredentials() const { return proxyCredentials_.get(); }
    void setProxyCredentials(ReqCredentials value) { proxyCredentials_.set(std::move(value)); }
    QByteArray rawResponseData() const { return rawResponseData_.get(); }
    void setRawResponseData(QByteArray value) { rawResponseData_.set(std::move(value)); }
    double timeOutSeconds() const { return timeOutSeconds_; }
    void setTimeOutSeconds(double value) { timeOutSeconds_ = value; }
    QByteArray postBody() const { return postBody_.get(); }
    void setPostBody(QByteArray value) { postBody_.set(std::move(value)); }
    quint64 contentLength() const { return contentLength_; }
    void setContentLength(quint64 value) { contentLength_ = value; }
    quint64 postLength() const { return postLength_; }
    void setPostLength(quint64 value) { postLength_ = value; }
    bool shouldResetDownloadProgress() const { return shouldResetDownloadProgress_; }
    void setShouldResetDownloadProgress(bool value) { shouldResetDownloadProgress_ = value; }
    bool shouldResetUploadProgress() const { return shouldResetUploadProgress_; }
    void setShouldResetUploadProgress(bool value) { shouldResetUploadProgress_ = value; }
    Ptr mainRequest() const { return mainRequest_.get().lock(); }
    void setMainRequest(const Ptr& value) { mainRequest_.set(value); }
    bool showAccurateProgress() const { return showAccurateProgress_; }
    void setShowAccurateProgress(bool value) { showAccurateProgress_ = value; }
    quint64 totalBytesRead() const { return totalBytesRead_; }
    void setTotalBytesRead(quint64 value) { totalBytesRead_ = value; }
    quint64 totalBytesSent() const { return totalBytesSent_; }
    void setTotalBytesSent(quint64 value) { totalBytesSent_ = value; }
    QByteArray defaultResponseEncoding() const { return defaultResponseEncoding_.get(); }
    void setDefaultResponseEncoding(QByteArray value) { defaultResponseEncoding_.set(std::move(value)); }
    QByteArray responseEncoding() const { return responseEncoding_.get(); }
    void setResponseEncoding(QByteArray value) { responseEncoding_.set(std::move(value)); }
    bool allowCompressedResponse() const { return allowCompressedResponse_; }
    void setAllowCompressedResponse(bool value) { allowCompressedResponse_ = value; }
    bool allowResumeForFileDownloads() const { return allowResumeForFileDownloads_; }
    void setAllowResumeForFileDownloads(bool value) { allowResumeForFileDownloads_ = value; }
    QVariantMap userInfo() const { return userInfo_.get(); }
    void setUserInfo(QVariantMap value) { userInfo_.set(std::move(value)); }
    qint64 tag() const { return tag_; }
    void setTag(qint64 value) { tag_ = value; }
    QString postBodyFilePath() const { return postBodyFilePath_.get(); }
    void setPostBodyFilePath(QString value) { postBodyFilePath_.set(std::move(value)); }
    bool shouldStreamPostDataFromDisk() const { return shouldStreamPostDataFromDisk_; }
    void setShouldStreamPostDataFromDisk(bool value) { shouldStreamPostDataFromDisk_ = value; }
    bool didCreateTemporaryPostDataFile() const { return didCreateTemporaryPostDataFile_; }
    void setDidCreateTemporaryPostDataFile(bool value) { didCreateTemporaryPostDataFile_ = value; }
    bool useHTTPVersionOne() const { return useHTTPVersionOne_; }
    void setUseHTTPVersionOne(bool value) { useHTTPVersionOne_ = value; }
    bool shouldRedirect() const { return shouldRedirect_; }
    void setShouldRedirect(bool value) { shouldRedirect_ = value; }
    bool validatesSecureCertificate() const { return validatesSecureCertificate_; }
    void setValidatesSecureCertificate(bool value) { validatesSecureCertificate_ = value; }
    bool shouldCompressRequestBody() const { return shouldCompressRequestBody_; }
    void setShouldCompressRequestBody(bool value) { shouldCompressRequestBody_ = value; }
    QUrl PACurl() const { return PACurl_.get(); }
    void setPACurl(QUrl value) { PACurl_.set(std::move(value)); }
    QString authenticationScheme() const { return authenticationScheme_.get(); }
    void setAuthenticationScheme(QString value) { authenticationScheme_.set(std::move(value)); }
    QString proxyAuthenticationScheme() const { return proxyAuthenticationScheme_.get(); }
    void setProxyAuthenticationScheme(QString value) { proxyAuthenticationScheme_.set(std::move(value)); }
    bool shouldPresentAuthenticationDialog() const { return shouldPresentAuthenticationDialog_; }
    void setShouldPresentAuthenticationDialog(bool value) { shouldPresentAuthenticationDialog_ = value; }
    bool shouldPresentProxyAuthenticationDialog() const { return shouldPresentProxyAuthenticationDialog_; }
    void setShouldPresentProxyAuthenticationDialog(bool value) {
        shouldPresentProxyAuthenticationDialog_ = value;
    }
    bool shouldPresentCredentialsBeforeChallenge() const { return shouldPresentCredentialsBeforeChallenge_; }
    void setShouldPresentCredentialsBeforeChallenge(bool value) {
        shouldPresentCredentialsBeforeChallenge_ = value;
    }
    bool haveBuiltRequestHeaders() const { return haveBuiltRequestHeaders_; }
    void setHaveBuiltRequestHeaders(bool value) { haveBuiltRequestHeaders_ = value; }
    bool haveBuiltPostBody() const { return haveBuiltPostBody_; }
    void setHaveBuiltPostBody(bool value) { haveBuiltPostBody_ = value; }
    int numberOfTimesToRetryOnTimeout() const { return numberOfTimesToRetryOnTimeout_; }
    void setNumberOfTimesToRetryOnTimeout(int value) { numberOfTimesToRetryOnTimeout_ = value; }
    bool shouldAttemptPersistentConnection() const { return shouldAttemptPersistentConnection_; }
    void setShouldAttemptPersistentConnection(bool value) { shouldAttemptPersistentConnection_ = value; }
    double persistentConnectionTimeoutSeconds() const { return persistentConnectionTimeoutSeconds_; }
    void setPersistentConnectionTimeoutSeconds(double value) { persistentConnectionTimeoutSeconds_ = value; }
    bool shouldUseRFC2616RedirectBehaviour() const { return shouldUseRFC2616RedirectBehaviour_; }
    void setShouldUseRFC2616RedirectBehaviour(bool value) { shouldUseRFC2616RedirectBehaviour_ = value; }
    std::shared_ptr<ReqCacheDelegate> downloadCache() const { return downloadCache_.get().lock(); }
    void setDownloadCache(const std::shared_ptr<ReqCacheDelegate>& value) { downloadCache_.set(value); }
    int cachePolicy() const { return cachePolicy_; }
    void setCachePolicy(int value) { cachePolicy_ = value; }
    int cacheStoragePolicy() const { return cacheStoragePolicy_; }
    void setCacheStoragePolicy(int value) { cacheStoragePolicy_ = value; }
    double secondsToCache() const { return secondsToCache_; }
    void setSecondsToCache(double value) { secondsToCache_ = value; }
    QList<QByteArray> clientCertificates() const { return clientCertificates_.get(); }
    void setClientCertificates(QList<QByteArray> value) { clientCertificates_.set(std::move(value)); }
    platform::net::ClientIdentity clientCertificateIdentity() const {
        return clientCertificateIdentity_.get();
    }
    void setClientCertificateIdentity(platform::net::ClientIdentity value) {
        clientCertificateIdentity_.set(std::move(value));
    }
    std::shared_ptr<ReqDataDecompressor> dataDecompressor() const { return dataDecompressor_.get(); }
    void setDataDecompressor(std::shared_ptr<ReqDataDecompressor> value) {
        dataDecompressor_.set(std::move(value));
    }
    bool shouldWaitToInflateCompressedResponses() const { return shouldWaitToInflateCompressedResponses_; }
    void setShouldWaitToInflateCompressedResponses(bool value) {
        shouldWaitToInflateCompressedResponses_ = value;
    }
    // A reply is untrusted: the body kept in memory holds at most this many bytes (decoded ones once
    // inflated), and a compressed body, kept or written to a file, decodes to at most this many times its
    // size (0: no bound). Past either the request fails with code 12 and lets go of what it held.
    static constexpr quint64 kDefaultMaxResponseBytesInMemory = 32 * 1024 * 1024;
    static constexpr quint64 kDefaultMaxInflationRatio = 100;
    quint64 maxResponseBytesInMemory() const { return maxResponseBytesInMemory_; }
    void setMaxResponseBytesInMemory(quint64 value) { maxResponseBytesInMemory_ = value; }
    quint64 maxInflationRatio() const { return maxInflationRatio_; }
    void setMaxInflationRatio(quint64 value) { maxInflationRatio_ = value; }

    // --- Callback blocks (copied when set, released on the main thread)
    // -------------------------------------
    void setStartedBlock(ReqBasicBlock block);
    void setHeadersReceivedBlock(ReqHeadersBlock block);
    void setCompletionBlock(ReqBasicBlock block);
    void setFailedBlock(ReqBasicBlock block);
    void setBytesReceivedBlock(ReqProgressBlock block);
    void setBytesSentBlock(ReqProgressBlock block);
    void setDownloadSizeIncrementedBlock(ReqSizeBlock block);
    void setUploadSizeIncrementedBlock(ReqSizeBlock block);
    void setDataReceivedBlock(ReqDataBlock block);
    void setAuthenticationNeededBlock(ReqBasicBlock block);
    void setProxyAuthenticationNeededBlock(ReqBasicBlock block);
    void setRequestRedirectedBlock(ReqBasicBlock block);

    // --- Class-level services
    // -------------------------------------------------------------------------------
    static double defaultTimeOutSeconds();
    static void setDefaultTimeOutSeconds(double seconds);
    static platform::OperationQueue& sharedQueue();
    // Stops the network thread and waits for it (the application does so as it ends); a later asynchronous
    // request starts a new one.
    static void stopNetworkThread();
    static bool isNetworkThreadRunning();

    static QList<ReqSessionCredentials> sessionCredentialsStore();
    static QList<ReqSessionCredentials> sessionProxyCredentialsStore();
    static void storeAuthenticationCredentialsInSessionStore(const ReqSessionCredentials& entry);
    static void storeProxyAuthenticationCredentialsInSessionStore(const ReqSessionCredentials& entry);
    static void removeAuthenticationCredentialsFromSessionStore(const ReqCredentials& credentials);
    static void removeProxyAuthenticationCredentialsFromSessionStore(const ReqCredentials& credentials);
    std::optional<ReqSessionCredentials> findSessionAuthenticationCredentials() const;
    std::optional<ReqSessionCredentials> findSessionProxyAuthenticationCredentials() const;
    static void clearSession();

    static QList<platform::net::Cookie> sessionCookies();
    static void setSessionCookies(const QList<platform::net::Cookie>& cookies);
    static void addSessionCookie(const platform::net::Cookie& cookie);

    static QString defaultUserAgentString();
    static void setDefaultUserAgentString(const QString& agent);

    static QString mimeTypeForFileAtPath(const QString& path);
    static QString base64forData(const QByteArray& data);
    static std::optional<QDateTime> expiryDateForRequest(const ReqHTTPRequest& request, double maxAge);
    static std::optional<QDateTime> dateFromRFC1123String(const QString& text);
    static void parseMimeType(QString* mimeType, QByteArray* encoding, const QString& contentType);

    // Credentials kept for the user across runs, by protection space, in the keychain.
    static void saveCredentials(const ReqURLCredential& credential, const QString& host, int port,
                                const QString& protocol, const QString& realm);
    static void saveCredentialsForProxy(const ReqURLCredential& credential, const QString& host, int port,
                                        const QString& realm);
    static std::optional<ReqURLCredential>
    savedCredentialsForHost(const QString& host, int port, const QString& protocol, const QString& realm);
    static std::optional<ReqURLCredential>
    savedCredentialsForProxy(const QString& host, int port, const QString& protocol, const QString& realm);
    static void removeCredentialsForHost(const QString& host, int port, const QString& protocol,
                                         const QString& realm);
    static void removeCredentialsForProxy(const QString& host, int port, const QString& realm);

    static std::shared_ptr<ReqCacheDelegate> defaultCache();
    static void setDefaultCache(const std::shared_ptr<ReqCacheDelegate>& cache);

    static bool isNetworkInUse();
    static void setShouldUpdateNetworkActivityIndicator(bool update);
    static void showNetworkActivityIndicator() {}
    static void hideNetworkActivityIndicator() {}
    static void hideNetworkActivityIndicatorAfterDelay();
    static void hideNetworkActivityIndicatorIfNeeeded();

    // Bandwidth: one budget per second shared by every request (0: no limit).
    static bool isBandwidthThrottled();
    static unsigned long maxBandwidthPerSecond();
    static void setMaxBandwidthPerSecond(unsigned long bytes);
    static void incrementBandwidthUsedInLastSecond(unsigned long bytes);
    static unsigned long averageBandwidthUsedPerSecond();
    static unsigned long maxUploadReadLength();
    void performThrottling();

    // Connections kept for reuse, and when idle ones go.
    static void expirePersistentConnections();
    static int persistentConnectionCount();
    std::optional<int> connectionID() const;

protected:
    explicit ReqHTTPRequest(const QUrl& url);
    virtual Ptr newRequestOfSameKind(const QUrl& url) const { return requestWithURL(url); }
    // The network steps a subclass or a later layer builds on.
    virtual void main();
    void startRequest();
    void failWithError(const platform::Error& error);
    void requestFinished();
    void markAsFinished();
    void cancelLoad();

private:
    void initDefaults(const QUrl& url);
    void readResponseHeaders();
    void applyKeepAliveRule(const platform::net::HttpMessage& response);
    void updatePartialDownloadSize();
    // Authentication (server and proxy sides share one implementation, chosen by `proxy`).
    void applyAuthorizationHeader();
    void recordBasicCredentialsThatWorked();
    void attemptToApplyCredentialsAndResume();
    void attemptToApplyCredentials(bool proxy);
    void applyValidCredentials(bool proxy);
    void answerRefusedCredentials(bool proxy, const std::optional<platform::Error>& reason);
    bool applyCredentials(bool proxy, const ReqCredentials& credentials);
    ReqCredentials findCredentials(bool proxy) const;
    void saveCredentialsToKeychain(bool proxy, const ReqCredentials& credentials) const;
    bool willAskDelegateForCredentials(bool proxy);
    void askDelegateForCredentials(bool proxy);
    std::shared_ptr<platform::net::HttpAuthentication>& authentication(bool proxy) {
        return proxy ? proxyAuthentication : requestAuthentication;
    }
    // Redirects and time-outs.
    bool willRedirect();
    void performRedirect();
    bool willAskDelegateToConfirmRedirect();
    bool shouldTimeOut() const;
    void retryAfterTimeOut();
    void checkRequestStatus();
    void cancelOnRequestThread();
    bool configureProxies();
    void fetchPACFile();
    // Runs the script off the request's thread, then starts the request (direct when it gave nothing).
    void runPACScript(const QString& script);
    void finishedRunningPACScript(const ReqPACAnswer& answer);
    void finishedDownloadingPACFile(ReqHTTPRequest& scriptRequest);
    void lowerSharedQueueWidth();
    // Gives up the script's download and stops a script that runs.
    void stopPACWork();
    platform::net::ProxySettings streamProxy() const;
    bool chooseConnection(const std::shared_ptr<platform::net::HttpReadStream>& stream,
                          std::shared_ptr<platform::net::HttpReadStream>& oldStream);
    void handleNetworkEvent(int event);
    void handleBytesAvailable();
    void handleStreamComplete();
    void finishDownloadFile(std::optional<platform::Error>& fileError);
    void handleStreamError();
    // What the decompressor of this reply may produce: the memory bound only for a body kept in memory.
    ReqInflationLimits inflationLimits(bool keptInMemory) const;
    // The reply outgrew a bound: the rest is not read, and what was kept goes.
    void failAsTooLarge(const platform::Error& error);
    bool retryUsingNewConnection();
    // The connection record leaves the pool: its connection serves nobody again.
    void leaveConnection();
    void scheduleReadStream();
    void unscheduleReadStream();
    void destroyReadStream();
    void writeDownloadChunk(const QByteArray& raw, const QByteArray& inflated, bool inflating);
    bool openDownloadFile(std::unique_ptr<QFile>& file, QString path, bool isInflated);
    void useDataFromCache();
    void startStatusTimer();

    bool removeTemporaryDownloadFile();
    bool removeTemporaryUncompressedDownloadFile();
    bool removeTemporaryUploadFile();
    bool removeTemporaryCompressedUploadFile();
    bool removeTemporaryFile(ReqGuarded<QString>& path);
    static bool removeFileAtPath(const QString& path, std::optional<platform::Error>* error);

    // Reports (on the main thread).
    void requestStarted();
    void requestReceivedResponseHeaders(const platform::net::HttpHeaders& headers);
    void requestWillRedirectToURL(const QUrl& url);
    void requestRedirected();
    void reportFinished();
    void reportFailure();
    void passOnReceivedData(const QByteArray& data);
    void updateProgressIndicators();
    void updateUploadProgress();
    void updateDownloadProgress();
    void incrementUploadSizeBy(qint64 amount);
    void incrementDownloadSizeBy(qint64 amount);
    void removeUploadProgressSoFar();
    void releaseBlocksOnMainThread();
    bool delegateWantsData() const;
    enum class ProgressKind { Upload, Download };
    void sendProgress(ProgressKind kind, ReqProgressDelegate::AmountCallback ReqProgressDelegate::*selector,
                      qint64 amount);
    void updateProgressIndicator(ProgressKind kind, double progress, double total);
    void resetIndicator(ProgressKind kind);
    static void onMainThread(std::function<void()> work);
    std::shared_ptr<platform::net::RunLoop> requestRunLoop() const;

    // Guards cancel, the network events and the accessors of url, method, delegate and queue.
    mutable std::recursive_mutex cancelledLock_;

    std::atomic<bool> inProgress_{false};
    std::atomic<bool> finished_{false};
    std::atomic<bool> cancelled_{false};
    std::atomic<bool> complete_{false};

    QUrl url_;
    QByteArray requestMethod_{"GET"};
    std::weak_ptr<ReqHTTPRequestDelegate> delegate_;
    std::shared_ptr<ReqRequestQueue> queue_;
    std::weak_ptr<ReqProgressDelegate> uploadProgressDelegate_;
    std::weak_ptr<ReqProgressDelegate> downloadProgressDelegate_;

    ReqGuarded<QList<platform::net::Cookie>> responseCookies_;
    std::atomic<int> responseStatusCode_{0};
    ReqGuarded<QString> responseStatusMessage_;
    ReqGuarded<std::optional<double>> lastActivityTime_;
    std::atomic<quint64> partialDownloadSize_{0};
    std::atomic<quint64> uploadBufferSize_{0};
    std::atomic<quint64> lastBytesRead_{0};
    std::atomic<quint64> lastBytesSent_{0};
    // What this attempt has told its listeners it sent, so that a retry takes back that and no more.
    std::atomic<qint64> uploadProgressReported_{0};
    std::atomic<int> authenticationRetryCount_{0};
    std::atomic<int> proxyAuthenticationRetryCount_{0};
    std::atomic<bool> updatedProgress_{false};
    std::atomic<bool> needsRedirect_{false};
    std::atomic<int> redirectCount_{0};
    ReqGuarded<QByteArray> compressedPostBody_;
    ReqGuarded<QString> compressedPostBodyFilePath_;
    ReqGuarded<QString> authenticationRealm_;
    ReqGuarded<QString> proxyAuthenticationRealm_;
    std::atomic<int> retryCount_{0};
    std::atomic<bool> willRetryRequest_{false};
    std::atomic<bool> connectionCanBeReused_{false};
    ReqGuarded<std::shared_ptr<ReqConnectionRecord>> connectionInfo_;
    ReqGuarded<std::shared_ptr<platform::net::HttpReadStream>> readStream_;
    std::atomic<int> authenticationNeeded_{0};
    std::atomic<bool> readStreamIsScheduled_{false};
    std::atomic<bool> downloadComplete_{false};
    ReqGuarded<std::optional<unsigned>> requestID_;
    ReqGuarded<QString> runLoopMode_;
    std::atomic<bool> didUseCachedResponse_{false};
    ReqGuarded<QUrl> redirectURL_;
    std::atomic<bool> isPACFileRequest_{false};
    ReqGuarded<Ptr> PACFileRequest_;
    ReqGuarded<QByteArray> PACFileData_;
    std::atomic<bool> isSynchronous_{false};
    ReqGuarded<QString> username_;
    ReqGuarded<QString> password_;
    ReqGuarded<QString> userAgent_;
    ReqGuarded<QString> domain_;
    ReqGuarded<QString> proxyUsername_;
    ReqGuarded<QString> proxyPassword_;
    ReqGuarded<QString> proxyDomain_;
    ReqGuarded<QString> proxyHost_;
    std::atomic<int> proxyPort_{0};
    ReqGuarded<QString> proxyType_;
    ReqGuarded<QUrl> originalURL_;
    std::atomic<bool> useKeychainPersistence_{false};
    std::atomic<bool> useSessionPersistence_{true};
    ReqGuarded<QString> downloadDestinationPath_;
    ReqGuarded<QString> temporaryFileDownloadPath_;
    ReqGuarded<QString> temporaryUncompressedDataDownloadPath_;
    ReqGuarded<RequestSelector> didStartSelector_;
    ReqGuarded<ReqHTTPRequestDelegate::HeadersSelector> didReceiveResponseHeadersSelector_;
    ReqGuarded<ReqHTTPRequestDelegate::URLSelector> willRedirectSelector_;
    ReqGuarded<RequestSelector> didFinishSelector_;
    ReqGuarded<RequestSelector> didFailSelector_;
    ReqGuarded<ReqHTTPRequestDelegate::DataSelector> didReceiveDataSelector_;
    ReqGuarded<std::optional<platform::Error>> error_;
    ReqGuarded<std::optional<platform::net::HttpHeaders>> responseHeaders_;
    ReqGuarded<platform::net::HttpHeaders> requestHeaders_;
    ReqGuarded<QList<platform::net::Cookie>> requestCookies_;
    std::atomic<bool> useCookiePersistence_{true};
    ReqGuarded<ReqCredentials> requestCredentials_;
    ReqGuarded<ReqCredentials> proxyCredentials_;
    ReqGuarded<QByteArray> rawResponseData_;
    std::atomic<double> timeOutSeconds_{120.0};
    ReqGuarded<QByteArray> postBody_;
    std::atomic<quint64> contentLength_{0};
    std::atomic<quint64> postLength_{0};
    std::atomic<bool> shouldResetDownloadProgress_{true};
    std::atomic<bool> shouldResetUploadProgress_{true};
    ReqGuarded<std::weak_ptr<ReqHTTPRequest>> mainRequest_;
    std::atomic<bool> showAccurateProgress_{true};
    std::atomic<quint64> totalBytesRead_{0};
    std::atomic<quint64> totalBytesSent_{0};
    ReqGuarded<QByteArray> defaultResponseEncoding_;
    ReqGuarded<QByteArray> responseEncoding_;
    std::atomic<bool> allowCompressedResponse_{true};
    std::atomic<bool> allowResumeForFileDownloads_{false};
    ReqGuarded<QVariantMap> userInfo_;
    std::atomic<qint64> tag_{0};
    ReqGuarded<QString> postBodyFilePath_;
    std::atomic<bool> shouldStreamPostDataFromDisk_{false};
    std::atomic<bool> didCreateTemporaryPostDataFile_{false};
    std::atomic<bool> useHTTPVersionOne_{false};
    std::atomic<bool> shouldRedirect_{true};
    std::atomic<bool> validatesSecureCertificate_{true};
    std::atomic<bool> shouldCompressRequestBody_{false};
    ReqGuarded<QUrl> PACurl_;
    ReqGuarded<QString> authenticationScheme_;
    ReqGuarded<QString> proxyAuthenticationScheme_;
    std::atomic<bool> shouldPresentAuthenticationDialog_{false};
    std::atomic<bool> shouldPresentProxyAuthenticationDialog_{true};
    std::atomic<bool> shouldPresentCredentialsBeforeChallenge_{true};
    std::atomic<bool> haveBuiltRequestHeaders_{false};
    std::atomic<bool> haveBuiltPostBody_{false};
    std::atomic<int> numberOfTimesToRetryOnTimeout_{0};
    std::atomic<bool> shouldAttemptPersistentConnection_{true};
    std::atomic<double> persistentConnectionTimeoutSeconds_{120.0};
    std::atomic<bool> shouldUseRFC2616RedirectBehaviour_{false};
    ReqGuarded<std::weak_ptr<ReqCacheDelegate>> downloadCache_;
    std::atomic<int> cachePolicy_{0};
    std::atomic<int> cacheStoragePolicy_{0};
    std::atomic<double> secondsToCache_{0.0};
    ReqGuarded<QList<QByteArray>> clientCertificates_;
    ReqGuarded<platform::net::ClientIdentity> clientCertificateIdentity_;
    ReqGuarded<std::shared_ptr<ReqDataDecompressor>> dataDecompressor_;
    std::atomic<bool> shouldWaitToInflateCompressedResponses_{true};
    std::atomic<quint64> maxResponseBytesInMemory_{kDefaultMaxResponseBytesInMemory};
    std::atomic<quint64> maxInflationRatio_{kDefaultMaxInflationRatio};

    // Network-thread state beside the table.
    std::unique_ptr<platform::net::HttpMessage> requestMessage;
    bool destroying = false;
    std::atomic<bool> hasRefusedHeader_{false};
    std::unique_ptr<QFile> postBodyWriteStream;
    std::shared_ptr<QIODevice> postBodyReadStream;
    std::unique_ptr<QFile> fileDownloadOutputStream;
    std::unique_ptr<QFile> inflatedFileDownloadOutputStream;
    ReqGuarded<std::shared_ptr<platform::net::RunLoop>> runLoop; // where the request runs, once started
    std::unique_ptr<platform::net::RunLoop::Timer> statusTimer;
    std::shared_ptr<platform::net::HttpAuthentication> requestAuthentication;
    std::shared_ptr<platform::net::HttpAuthentication> proxyAuthentication;
    // The stream whose challenge each side last read, so that a reply is read once.
    std::weak_ptr<platform::net::HttpReadStream> challengeReadFrom[2];
    ReqCredentials basicSessionCredentials; // one dictionary per request, so its session record is replaced
    // A proxy script request reports to the request that waits for it, on its own thread.
    ReqGuarded<std::function<void(ReqHTTPRequest&)>> pacFileFinished;
    std::atomic<bool> raisedSharedQueueWidth{false};
    std::shared_ptr<std::atomic<bool>> pacScriptStop; // set: the running proxy script stops
    // A listener was asked (credentials, a redirect) and has not answered: the request may still be
    // cancelled.
    std::atomic<bool> waitingForAnswer{false};
    QByteArray inflatedResponseData; // the inflated body, once checked at the end of a compressed response
    std::unique_ptr<Blocks> blocks;
};
