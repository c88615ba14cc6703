#pragma once

#include "webservice/HTTPFetcher/NetHTTPFetcher.h"

#include <QUrl>

class NetHTTPFetcherService;

// A large body (a movie) sent by the resumable upload protocol: a first request carries the metadata and
// announces the body's length and type, the reply names an upload location, and the body goes there in "PUT"
// chunks answered 308 until the last one completes the upload. Where the position is in doubt (after a pause,
// a retried chunk or a restart from a saved location) an empty "PUT" asks the server how much it holds. To
// its caller it is one fetcher with one outcome, progress over the whole upload, pause, resume and stop.
class NetHTTPUploadFetcher : public NetHTTPFetcher {
public:
    using LocationChangeBlock = std::function<void(const QUrl& location)>;
    using FileHandle = std::shared_ptr<platform::UniqueFd>;
    // Whether the upload's file is still the one to send: empty when it is, else why not.
    using FileCheck = std::function<QString()>;

    static constexpr quint64 kQueryOffset = ~quint64(0);

    static std::shared_ptr<NetHTTPUploadFetcher>
    uploadFetcherWithRequest(const Request& request, const QByteArray& uploadData,
                             const QString& uploadMIMEType, quint64 chunkSize,
                             const std::shared_ptr<NetHTTPFetcherService>& fetcherService);
    static std::shared_ptr<NetHTTPUploadFetcher>
    uploadFetcherWithRequest(const Request& request, const FileHandle& uploadFileHandle,
                             const QString& uploadMIMEType, quint64 chunkSize,
                             const std::shared_ptr<NetHTTPFetcherService>& fetcherService);
    // Goes on with an earlier upload of a file at its saved location: there is no first request.
    static std::shared_ptr<NetHTTPUploadFetcher>
    uploadFetcherWithLocation(const QUrl& location, const FileHandle& uploadFileHandle,
                              const QString& uploadMIMEType, quint64 chunkSize,
                              const std::shared_ptr<NetHTTPFetcherService>& fetcherService);
    // Made by the service (with its history, cookies, credentials and authorizer) when there is one.
    static std::shared_ptr<NetHTTPUploadFetcher>
    uploadFetcherWithRequest(const std::optional<Request>& request,
                             const std::shared_ptr<NetHTTPFetcherService>& fetcherService);

    explicit NetHTTPUploadFetcher(const std::optional<Request>& request) : NetHTTPFetcher(request) {}
    ~NetHTTPUploadFetcher() override;

    void setLocationURL(const QUrl& location, const QByteArray& uploadData,
                        const FileHandle& uploadFileHandle, const QString& uploadMIMEType, quint64 chunkSize);

    bool beginFetchWithDelegate(Delegate delegate, FinishedSelector finishedSelector) override;
    bool beginFetchWithCompletionHandler(CompletionBlock handler) override;
    void pauseFetching();
    void resumeFetching();
    bool isPaused() const { return isPaused_; }
    void stopFetching() override;

    qint64 statusCode() const override;
    std::optional<platform::net::HttpHeaders> responseHeaders() const override;
    NetHTTPFetcher& activeFetcher() { return chunkFetcher_ ? *chunkFetcher_ : *this; }
    const QUrl& locationURL() const { return locationURL_; }
    const QByteArray& uploadData() const { return uploadData_; }
    const FileHandle& uploadFileHandle() const { return uploadFileHandle_; }
    const QString& uploadMIMEType() const { return uploadMIMEType_; }
    quint64 chunkSize() const { return chunkSize_; }
    quint64 currentOffset() const { return currentOffset_; }
    const std::shared_ptr<NetHTTPFetcher>& chunkFetcher() const { return chunkFetcher_; }
    const LocationChangeBlock& locationChangeBlock() const { return locationChangeBlock_; }
    void setLocationChangeBlock(LocationChangeBlock block) { locationChangeBlock_ = std::move(block); }
    // Asked before each step of the body (a chunk, or a query on a resume) and once the last step has been
    // answered: an answer that is not empty ends the upload as failed, with that description and the code
    // kNetHTTPFetcherErrorUploadFileChanged, whatever the server said.
    void setUploadFileCheck(FileCheck check) { uploadFileCheck_ = std::move(check); }
    // How much of the `rest` of a body one "PUT" carries: all of it when it is less than 2500 bytes over a
    // chunk, else one chunk. Exact for any sizes: nothing overflows. A chunk size of 0 (which would send
    // empty chunks forever) sends the rest whole.
    static quint64 chunkLengthForRest(quint64 rest, quint64 chunkSize) {
        return (chunkSize == 0 || rest <= 2500 || rest - 2500 < chunkSize) ? rest : chunkSize;
    }
    // The body's length: of the data, or of the file (measured once); -1 when the file cannot be measured.
    qint64 fullUploadLength();

    SentDataSelector sentDataSelector() const override;
    void setSentDataSelector(SentDataSelector selector) override {
        delegateSentDataSEL_ = std::move(selector);
    }

protected:
    bool shouldReleaseCallbacksUponCompletion() const override { return false; }
    void retryFetch() override;
    void reportFailureToBegin(const platform::Error& error) override;
    void connectionDidSendBodyData(platform::net::UrlConnection&, qint64 written, qint64 totalWritten,
                                   qint64 totalExpected) override;
    void connectionDidFinishLoading(platform::net::UrlConnection&) override;
    void reportConnectionFailure(const platform::Error& error) override;

private:
    std::shared_ptr<NetHTTPUploadFetcher> self();
    void changeLocation(const QUrl& location);
    bool acceptsLocation(const QUrl& location, const QUrl& answering) const;
    void uploadNextChunkWithOffset(quint64 offset);
    void uploadNextChunkWithOffset(quint64 offset, const QVariantMap& fetcherProperties);
    std::optional<QByteArray> readChunk(quint64 offset, quint64 length);
    void chunkFetcherFinished(NetHTTPFetcher& chunkFetcher, const QByteArray& data,
                              const OptionalError& error);
    bool chunkFetcherWillRetry(NetHTTPFetcher& chunkFetcher, bool suggestedWillRetry,
                               const platform::Error& error);
    void resumeIncompleteUpload(NetHTTPFetcher& chunkFetcher);
    void uploadFetcherDidSendBytes(NetHTTPFetcher& reporter, qint64 bytesSent, qint64 totalBytesSent);
    void reportProgressManually();
    // Ends the upload when the file check says its file is not the one to send; whether it did.
    bool failsFileCheck();
    void invokeFinalCallbacksWithData(const QByteArray& data, const OptionalError& error,
                                      bool shouldInvalidateLocation);
    void destroyChunkFetcher();
    platform::Error statusError(qint64 code, const QString& description = QString()) const;

    std::shared_ptr<NetHTTPFetcher> chunkFetcher_;
    SentDataSelector delegateSentDataSEL_;
    FinishedSelector delegateFinishedSEL_;
    bool needsManualProgress_ = false;
    quint64 initialBodyLength_ = 0;
    quint64 initialBodySent_ = 0;
    QUrl locationURL_;
    LocationChangeBlock locationChangeBlock_;
    FileCheck uploadFileCheck_;
    QByteArray uploadData_;
    FileHandle uploadFileHandle_;
    qint64 uploadFileHandleLength_ = -1;
    QString uploadMIMEType_;
    quint64 chunkSize_ = 0;
    bool isPaused_ = false;
    bool isRestartedUpload_ = false;
    quint64 currentOffset_ = 0;
    std::optional<platform::net::HttpHeaders> responseHeaders_;
    qint64 statusCode_ = -1;
    bool isBeginningChunk_ = false; // a chunk fetcher that cannot begin is reported once, as -3
    bool isQueryingAtEnd_ = false;  // the server held the whole body but had not completed the upload
};
