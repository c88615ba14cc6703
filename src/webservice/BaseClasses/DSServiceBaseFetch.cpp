#include "webservice/BaseClasses/DSServiceBase.h"

#include "webservice/HTTPFetcher/NetHTTPUploadFetcher.h"

// The central fetch: the request, the body, the fetcher, and its beginning.

struct DSServiceBase::Body {
    QByteArray data;
    std::shared_ptr<QIODevice> stream;
    quint64 length = 0;
    DSHTTPHeaders headers;
};

namespace {

constexpr quint64 kMinimumUploadChunkSize = 50000;

bool hasMedia(const DSObject& object) {
    return !object.uploadData().isEmpty() || object.uploadFileHandle();
}

platform::Error fetcherCouldNotBegin() {
    return platform::Error(QString::fromLatin1(kNetHTTPFetcherErrorDomain),
                           kNetHTTPFetcherErrorDownloadFailed);
}

} // namespace

DSServiceTicketRef DSServiceBase::fetchObjectWithURL(
    const QUrl& url, const DSClass* objectClass, const DSObjectRef& objectToPost, const QString& ETag,
    const QString& httpMethod, Delegate delegate, FinishedSelector finishedSelector,
    CompletionHandler completionHandler, const std::shared_ptr<DSRetryInvocation>& retryInvocation,
    DSServiceTicketRef ticket) {
    const QUrl location = objectToPost ? objectToPost->uploadLocationURL() : QUrl();
    if (url.isEmpty() && location.isEmpty())
        return nullptr;
    if (!ticket)
        ticket = makeTicket();
    auto context = std::make_shared<DSFetchContext>();
    context->ticket = ticket;
    context->objectClass = objectClass;
    context->delegate = std::move(delegate);
    context->finishedSelector = std::move(finishedSelector);
    context->completionHandler = std::move(completionHandler);
    context->retryInvocation = retryInvocation;
    std::optional<Request> request;
    if (!url.isEmpty())
        request = objectRequestForURL(url, objectToPost, ETag, httpMethod, ticket);

    std::optional<Body> body;
    bool isChunked = false;
    if (objectToPost) {
        ticket->setPostedObject(objectToPost);
        isChunked = hasMedia(*objectToPost) && uploadChunkSize_ != 0;
        platform::OptionalError unreadable;
        body = bodyForObject(objectToPost, isChunked, !location.isEmpty(), &unreadable);
        if (unreadable) {
            // Media that cannot be read ends the request: its XML alone would be taken for the upload.
            failBeforeFetch(context, *unreadable);
            return nullptr;
        }
        if (request) {
            for (auto it = body->headers.cbegin(); it != body->headers.cend(); ++it)
                request->setValue(it.key().toUtf8(), it.value().toUtf8());
            request->setValue("Content-Length", QByteArray::number(body->length));
        }
    }
    const std::shared_ptr<NetHTTPFetcher> fetcher =
        fetcherForBody(request, objectToPost, isChunked, location);
    if (!fetcher) {
        failBeforeFetch(context, fetcherCouldNotBegin());
        return nullptr;
    }
    prepareFetcher(context, *fetcher, body);
    return beginFetch(context, fetcher) ? ticket : nullptr;
}

std::optional<DSServiceBase::Body> DSServiceBase::bodyForObject(const DSObjectRef& object, bool isChunked,
                                                                bool hasLocation,
                                                                platform::OptionalError* error) {
    const auto entry = DSInstanceCast<DSEntryBase>(object);
    Body body;
    if (isChunked) {
        if ((*error = object->uploadMediaError()))
            return std::nullopt;
        if (hasLocation || object->shouldUploadDataOnly()) {
            if (entry)
                body.headers = entry->contentHeaders();
            return body;
        }
    } else {
        DSUploadBody upload = object->generateContentInputStream();
        if ((*error = upload.error))
            return std::nullopt;
        if (upload.hasBody() && upload.stream->open(QIODevice::ReadOnly)) {
            body.stream = std::shared_ptr<QIODevice>(std::move(upload.stream));
            body.length = upload.length;
            body.headers = upload.headers;
            return body;
        }
    }
    // The first request of a chunked upload, or an object without media: its XML document.
    const DSXMLDocumentRef document = object->XMLDocument();
    body.data = document ? document->XMLData() : QByteArray("");
    body.length = quint64(body.data.size());
    if (entry && !entry->uploadSlug().isEmpty())
        body.headers.insert(QStringLiteral("Slug"), entry->uploadSlug());
    return body;
}

std::shared_ptr<NetHTTPFetcher> DSServiceBase::fetcherForBody(const std::optional<Request>& request,
                                                              const DSObjectRef& object, bool isChunked,
                                                              const QUrl& location) {
    if (!isChunked)
        return request ? fetcherService_->fetcherWithRequest(*request) : nullptr;
    const quint64 chunkSize = qMax(uploadChunkSize_, kMinimumUploadChunkSize);
    const QString type = object->uploadMIMEType();
    const QByteArray data = object->uploadData();
    if (!data.isEmpty())
        return request ? NetHTTPUploadFetcher::uploadFetcherWithRequest(*request, data, type, chunkSize,
                                                                        fetcherService_)
                       : nullptr;
    if (!location.isEmpty())
        return NetHTTPUploadFetcher::uploadFetcherWithLocation(location, object->uploadFileHandle(), type,
                                                               chunkSize, fetcherService_);
    return request ? NetHTTPUploadFetcher::uploadFetcherWithRequest(*request, object->uploadFileHandle(),
                                                                    type, chunkSize, fetcherService_)
                   : nullptr;
}

void DSServiceBase::prepareFetcher(const std::shared_ptr<DSFetchContext>& context, NetHTTPFetcher& fetcher,
                                   const std::optional<Body>& body) {
    const DSServiceTicketRef& ticket = context->ticket;
    if (cookieStorageMethod_ >= 0)
        fetcher.setCookieStorageMethod(cookieStorageMethod_);
    fetcher.setRetryEnabled(ticket->isRetryEnabled());
    fetcher.setMaxRetryInterval(ticket->maxRetryInterval());
    if (ticket->retrySelector()) {
        const std::weak_ptr<DSFetchContext> weakContext = context;
        fetcher.setRetrySelector(
            [weakContext](NetHTTPFetcher&, bool willRetry, const platform::Error& error) {
                const auto held = weakContext.lock();
                return held ? invokeRetrySelector(held->ticket, willRetry, error) : willRetry;
            });
    }
    ticket->setObjectFetcher(fetcher.shared_from_this());
    ticket->setCurrentFetcher(fetcher.shared_from_this());
    fetcher.setProperty(QLatin1String(kDSFetcherTicketProperty), QVariant::fromValue(DSTicketHandle(ticket)));
    if (body) {
        if (body->stream)
            fetcher.setPostStream(body->stream);
        else if (!body->data.isNull())
            fetcher.setPostData(body->data);
    }
    if (ticket->uploadProgressSelector() || ticket->uploadProgressHandler())
        fetcher.setSentDataSelector(objectFetcherSentDataSelector());
    fetcher.setAuthorizer(ticket->authorizer());
    addAuthenticationToFetcher(fetcher);
}

bool DSServiceBase::beginFetch(const std::shared_ptr<DSFetchContext>& context,
                               const std::shared_ptr<NetHTTPFetcher>& fetcher) {
    const bool began = fetcher->beginFetchWithDelegate(
        context->delegate,
        [context](NetHTTPFetcher& reporter, const QByteArray& data, const platform::OptionalError& error) {
            // A cancelled ticket has let go of its service: nothing is reported for it.
            if (const std::shared_ptr<DSServiceBase> service = context->ticket->service())
                service->objectFetcherFinished(context, reporter, data, error);
        });
    if (began && !context->ticket->hasCalledCallback())
        return true;
    clearFetcherProperties(*fetcher);
    context->ticket->setCurrentFetcher(nullptr);
    return false;
}

void DSServiceBase::failBeforeFetch(const std::shared_ptr<DSFetchContext>& context,
                                    const platform::Error& error) {
    invokeCallbacks(*context, nullptr, error);
    context->ticket->setFetchError(error);
    context->ticket->setHasCalledCallback(true);
    context->ticket->setCurrentFetcher(nullptr);
}

void DSServiceBase::addAuthenticationToFetcher(NetHTTPFetcher& fetcher) const {
    const QString user = username();
    const QString secret = password();
    if (!user.isEmpty() && !secret.isEmpty())
        fetcher.setCredential(platform::net::Credential{user, secret});
}

void DSServiceBase::clearFetcherProperties(NetHTTPFetcher& fetcher) {
    fetcher.setProperties({});
}

// ---- the public fetches

DSServiceTicketRef DSServiceBase::fetchPublicFeedWithURL(const QUrl& url, const DSClass* feedClass,
                                                         Delegate delegate,
                                                         FinishedSelector finishedSelector) {
    return fetchObjectWithURL(url, feedClass, nullptr, QString(), QString(), std::move(delegate),
                              std::move(finishedSelector), nullptr, nullptr, nullptr);
}

DSServiceTicketRef DSServiceBase::fetchPublicFeedWithURL(const QUrl& url, const DSClass* feedClass,
                                                         CompletionHandler handler) {
    return fetchObjectWithURL(url, feedClass, nullptr, QString(), QString(), nullptr, nullptr,
                              std::move(handler), nullptr, nullptr);
}

DSServiceTicketRef DSServiceBase::fetchPublicEntryWithURL(const QUrl& url, const DSClass* entryClass,
                                                          Delegate delegate,
                                                          FinishedSelector finishedSelector) {
    return fetchPublicFeedWithURL(url, entryClass, std::move(delegate), std::move(finishedSelector));
}

DSServiceTicketRef DSServiceBase::fetchPublicEntryWithURL(const QUrl& url, const DSClass* entryClass,
                                                          CompletionHandler handler) {
    return fetchPublicFeedWithURL(url, entryClass, std::move(handler));
}

DSServiceTicketRef DSServiceBase::fetchPublicFeedWithQuery(const DSQuery& query, const DSClass* feedClass,
                                                           Delegate delegate,
                                                           FinishedSelector finishedSelector) {
    return fetchPublicFeedWithURL(query.URL(), feedClass, std::move(delegate), std::move(finishedSelector));
}

DSServiceTicketRef DSServiceBase::fetchPublicFeedWithQuery(const DSQuery& query, const DSClass* feedClass,
                                                           CompletionHandler handler) {
    return fetchPublicFeedWithURL(query.URL(), feedClass, std::move(handler));
}

DSServiceTicketRef DSServiceBase::fetchPublicFeedWithBatchFeed(const std::shared_ptr<DSFeedBase>& batchFeed,
                                                               const QUrl& feedURL, Delegate delegate,
                                                               FinishedSelector finishedSelector,
                                                               CompletionHandler handler) {
    addBatchNamespacesIfNone(*batchFeed);
    DSServiceTicketRef ticket = fetchObjectWithURL(
        feedURL, &batchFeed->dsClass(), batchFeed, QString(), QString(), std::move(delegate),
        std::move(finishedSelector), std::move(handler), nullptr, nullptr);
    if (ticket)
        ticket->setShouldFeedsIgnoreUnknowns(false);
    return ticket;
}

void DSServiceBase::addBatchNamespacesIfNone(DSObject& feed) {
    const std::optional<DSStringMap> namespaces = feed.namespaces();
    if (!namespaces || !namespaces->contains(QLatin1String(kDSNamespaceDSPrefix)))
        feed.addNamespaces(DSEntryBase::baseDSNamespaces());
    if (!namespaces || !namespaces->contains(QLatin1String(kDSNamespaceBatchPrefix)))
        feed.addNamespaces(DSEntryBase::batchNamespaces());
}
