#include "webservice/BaseClasses/DSServiceBase.h"

#include "platform/foundation/LoopContext.h"
#include "platform/foundation/NotificationCenter.h"
#include "webservice/BaseClasses/DSParseQueue.h"
#include "webservice/BaseClasses/DSServerErrorGroup.h"
#include "webservice/DSClasses.h"

// A reply's road: failure, or parse (on the worker) and delivery on the thread that began the fetch.

// What the worker needs, taken on the callback thread so that the worker reads nothing the caller may change.
struct DSServiceBase::ParseJob {
    std::shared_ptr<DSServiceBase> service;
    std::shared_ptr<DSFetchContext> context;
    std::shared_ptr<NetHTTPFetcher> fetcher;
    std::shared_ptr<DSParseOperation> operation;
    QByteArray data;
    QString serviceVersion;
    std::optional<DSSurrogates> surrogates;
    bool shouldFeedsIgnoreUnknowns = false;
};

namespace {

QVariant notificationObject(const DSServiceTicketRef& ticket) {
    return QVariant::fromValue(static_cast<void*>(ticket.get()));
}

bool isCancelled(const std::shared_ptr<DSParseOperation>& operation) {
    return operation && operation->isCancelled();
}

} // namespace

void DSServiceBase::objectFetcherFinished(const std::shared_ptr<DSFetchContext>& context,
                                          NetHTTPFetcher& fetcher, const QByteArray& data,
                                          const platform::OptionalError& error) {
    if (error) {
        objectFetcherFailed(context, fetcher, data, *error);
        return;
    }
    const DSServiceTicketRef ticket = context->ticket;
    context->callbackThread = platform::LoopContext::current();
    platform::NotificationCenter::defaultCenter().post(
        QString::fromLatin1(kDSServiceTicketParsingStartedNotification), notificationObject(ticket));

    const std::optional<platform::net::HttpHeaders> headers = fetcher.responseHeaders();
    auto job = std::make_shared<ParseJob>(ParseJob{
        .service = shared_from_this(),
        .context = context,
        .fetcher = fetcher.shared_from_this(),
        .operation = nullptr,
        .data = data,
        .serviceVersion = headers ? headers->text("DS-Version") : QString(),
        .surrogates = ticket->surrogates(),
        .shouldFeedsIgnoreUnknowns = ticket->shouldFeedsIgnoreUnknowns(),
    });
    if (!operationQueue_) {
        parseObjectFromDataOfFetcher(*job);
        handleParsedObjectForFetcher(context, job->fetcher, data);
        return;
    }
    job->operation = std::make_shared<DSParseOperation>();
    ticket->setParseOperation(job->operation);
    operationQueue_->addOperation([job]() mutable {
        if (!isCancelled(job->operation))
            parseObjectFromDataOfFetcher(*job);
        // Everything the job holds goes back to the callback thread, where it was made, also when cancelled.
        const std::shared_ptr<platform::LoopContext> thread = job->context->callbackThread;
        thread->post([job = std::move(job)] {
            if (!isCancelled(job->operation))
                job->service->handleParsedObjectForFetcher(job->context, job->fetcher, job->data);
        });
    });
}

void DSServiceBase::parseObjectFromDataOfFetcher(ParseJob& job) {
    DSFetchContext& context = *job.context;
    DSXMLError xmlError;
    const DSXMLDocumentRef document = DSXMLDocument::documentWithData(job.data, &xmlError);
    if (isCancelled(job.operation))
        return;
    if (!document) {
        context.parseError = platform::Error(xmlError.domain, xmlError.code, xmlError.userInfo);
        return;
    }
    registerDsClasses();
    const DSXMLElementRef root = document->rootElement();
    const DSClass* cls = context.objectClass
                             ? context.objectClass
                             : DSObject::objectClassForXMLElement(DSObject::staticClass(), root);
    if (cls && job.surrogates && job.surrogates->contains(cls))
        cls = job.surrogates->value(cls);
    const DSObjectRef object = cls ? DSInstanceCast<DSObject>(cls->make()) : nullptr;
    if (!object)
        return;
    const bool ignoreUnknowns = job.shouldFeedsIgnoreUnknowns && cls->isSubclassOf(DSFeedBase::staticClass());
    object->initWithXMLElement(root, nullptr, job.serviceVersion, job.surrogates, ignoreUnknowns);
    object->clearExtensionDeclarationsCache();
    context.parsedObject = object;
}

void DSServiceBase::handleParsedObjectForFetcher(const std::shared_ptr<DSFetchContext>& context,
                                                 const std::shared_ptr<NetHTTPFetcher>& fetcher,
                                                 const QByteArray& data) {
    // Held to the end: a callback may cancel the ticket or drop the caller's last references.
    const std::shared_ptr<DSServiceBase> self = shared_from_this();
    const DSServiceTicketRef ticket = context->ticket;
    ticket->setParseOperation(nullptr);
    platform::NotificationCenter::defaultCenter().post(
        QString::fromLatin1(kDSServiceTicketParsingStoppedNotification), notificationObject(ticket));

    if (!context->parsedObject && !data.isEmpty()) {
        const platform::Error error = context->parseError.value_or(
            platform::Error(QString::fromLatin1(kDSServiceErrorDomain), kDSServiceErrorNoObject));
        invokeCallbacks(*context, nullptr, error);
        ticket->setFetchError(error);
        finishTicket(*context, *fetcher);
        return;
    }
    DSObjectRef result = context->parsedObject;
    if (ticket->shouldFollowNextLinks()) {
        if (const auto feed = DSInstanceCast<DSFeedBase>(result)) {
            ticket->accumulateFeed(feed);
            const auto next = feed->nextLink();
            if (next && !next->URL().isEmpty() && fetchNextFeedWithURL(next->URL(), *context)) {
                clearFetcherProperties(*fetcher);
                return; // delivery goes on with the next page
            }
        }
        if (const auto accumulated = ticket->accumulatedFeed()) {
            if (const auto next = accumulated->nextLink())
                accumulated->removeLink(next);
            result = accumulated;
        }
    }
    invokeCallbacks(*context, result, std::nullopt);
    ticket->setFetchedObject(result);
    finishTicket(*context, *fetcher);
}

bool DSServiceBase::fetchNextFeedWithURL(const QUrl& url, const DSFetchContext& context) {
    const DSServiceTicketRef ticket = context.ticket;
    if (ticket->nextLinksFollowedCounter() > 25)
        return false;
    ticket->setNextLinksFollowedCounter(ticket->nextLinksFollowedCounter() + 1);
    const auto accumulated = ticket->accumulatedFeed();
    const DSServiceTicketRef next = fetchObjectWithURL(
        url, accumulated ? &accumulated->dsClass() : nullptr, nullptr, QString(), QString(), context.delegate,
        context.finishedSelector, context.completionHandler, nullptr, ticket);
    return next == ticket;
}

void DSServiceBase::finishTicket(const DSFetchContext& context, NetHTTPFetcher& fetcher) {
    clearFetcherProperties(fetcher);
    context.ticket->setHasCalledCallback(true);
    context.ticket->setCurrentFetcher(nullptr);
}

void DSServiceBase::invokeCallbacks(const DSFetchContext& context, const DSObjectRef& object,
                                    const platform::OptionalError& error) {
    const DSServiceTicketRef ticket = context.ticket;
    if (const FinishedSelector selector = context.finishedSelector)
        selector(ticket, object, error);
    if (const CompletionHandler handler = context.completionHandler)
        handler(ticket, object, error);
}

// ---- failures

void DSServiceBase::objectFetcherFailed(const std::shared_ptr<DSFetchContext>& context,
                                        NetHTTPFetcher& fetcher, const QByteArray& data,
                                        const platform::Error& error) {
    const std::shared_ptr<DSServiceBase> self = shared_from_this();
    const std::shared_ptr<NetHTTPFetcher> held = fetcher.shared_from_this();
    const std::optional<platform::net::HttpHeaders> headers = fetcher.responseHeaders();
    const QString contentType = headers ? headers->text("Content-Type") : QString();
    const platform::Error detailed(error.domain, error.code,
                                   userInfoForErrorResponseData(data, contentType, error.userInfo));
    invokeCallbacks(*context, nullptr, detailed);
    context->ticket->setFetchError(detailed);
    finishTicket(*context, fetcher);
}

QVariantMap DSServiceBase::userInfoForErrorResponseData(const QByteArray& data, const QString& contentType,
                                                        const QVariantMap& previousUserInfo) const {
    QVariantMap userInfo = previousUserInfo;
    if (data.isEmpty())
        return userInfo;
    QString text;
    if (contentType.toLower().startsWith(QLatin1String("application/vnd.ds.error+xml"))) {
        if (const std::optional<DSServerErrorGroup> group = DSServerErrorGroup::groupWithData(data)) {
            userInfo.insert(QLatin1String(kDSServiceErrorServerErrorsKey), QVariant::fromValue(*group));
            text = group->mainError().summary();
        }
    }
    if (userInfo.isEmpty())
        text = QString::fromUtf8(data);
    if (!text.isNull()) {
        // The server's words: shown as they are, never used as a format.
        userInfo.insert(QLatin1String(kDSServiceErrorTextKey), text);
        userInfo.insert(QLatin1String(platform::kLocalizedFailureReasonKey),
                        QLatin1Char('(') + text + QLatin1Char(')'));
    }
    return userInfo;
}

bool DSServiceBase::invokeRetrySelector(const DSServiceTicketRef& ticket, bool willRetry,
                                        const platform::Error& error) {
    const RetrySelector selector = ticket->retrySelector();
    return selector ? selector(ticket, willRetry, error) : willRetry;
}
