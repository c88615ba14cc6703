#include "webservice/BaseClasses/DSServiceProvider.h"

// The entry points and the request headers of the authenticated service; the account login is in
// DSServiceProviderLogin.cpp.

DSServiceTicketRef DSServiceProvider::makeTicket() {
    return DSServiceTicket::ticketForService(shared_from_this());
}

DSServiceBase::Request DSServiceProvider::requestForURL(const QUrl& url, const QString& ETag,
                                                        const QString& httpMethod,
                                                        const DSServiceTicketRef& ticket) {
    Request request = DSServiceBase::requestForURL(url, ETag, httpMethod, ticket);
    if (shouldUseMethodOverrideHeader_ && !httpMethod.isEmpty() && httpMethod != QLatin1String("POST")) {
        request.setValue("X-HTTP-Method-Override", httpMethod.toUtf8());
        request.httpMethod = "POST";
    }
    const auto accountTicket = std::dynamic_pointer_cast<DSServiceTicket>(ticket);
    const QString token = ticket ? (accountTicket ? accountTicket->authToken() : QString()) : authToken_;
    if (!token.isEmpty())
        request.setValue("Authorization", "ProviderLogin auth=" + token.toUtf8());
    else if (!subAuthToken_.isEmpty())
        request.setValue("Authorization", "SubAuth token=" + subAuthToken_.toUtf8());
    return request;
}

void DSServiceProvider::addNamespacesIfNoneToObject(DSObject& object) const {
    if (!object.namespaces() || object.namespaces()->isEmpty())
        object.setNamespaces(standardServiceNamespaces());
}

DSServiceTicketRef DSServiceProvider::fetchAuthenticatedObjectWithURL(
    const QUrl& url, const DSClass* objectClass, const DSObjectRef& objectToPost, const QString& ETag,
    const QString& httpMethod, Delegate delegate, FinishedSelector finishedSelector,
    CompletionHandler handler) {
    const auto ticket = DSServiceTicket::ticketForService(shared_from_this());
    if (objectToPost)
        ticket->setPostedObject(objectToPost);
    auto invocation = std::make_shared<DSRetryInvocation>(DSRetryInvocation{
        .url = url,
        .objectClass = objectClass,
        .objectToPost = objectToPost,
        .ETag = ETag,
        .httpMethod = httpMethod,
        .delegate = std::move(delegate),
        .finishedSelector = std::move(finishedSelector),
        .completionHandler = std::move(handler),
        .ticket = ticket,
    });
    if (!username().isEmpty()) {
        if (ticket->authToken().isEmpty() && subAuthToken_.isEmpty())
            return deferUntilAuthenticationForInvocation(invocation);
        invocation->mayRetryAfterLogin = true;
    }
    return runInvocation(invocation);
}

DSServiceTicketRef DSServiceProvider::runInvocation(const std::shared_ptr<DSRetryInvocation>& invocation) {
    return fetchObjectWithURL(invocation->url, invocation->objectClass, invocation->objectToPost,
                              invocation->ETag, invocation->httpMethod, invocation->delegate,
                              invocation->finishedSelector, invocation->completionHandler,
                              invocation->mayRetryAfterLogin ? invocation : nullptr, invocation->ticket);
}

void DSServiceProvider::objectFetcherFinished(const std::shared_ptr<DSFetchContext>& context,
                                              NetHTTPFetcher& fetcher, const QByteArray& data,
                                              const platform::OptionalError& error) {
    const std::shared_ptr<DSRetryInvocation> invocation = context->retryInvocation;
    const bool expired = error && error->domain == QLatin1String(kNetHTTPFetcherStatusDomain) &&
                         (error->code == 401 || error->code == 403);
    if (expired && invocation && invocation->mayRetryAfterLogin) {
        // The login token has expired: once per request, log in again and run it anew.
        invocation->ticket->setAuthToken(QString());
        invocation->mayRetryAfterLogin = false;
        context->retryInvocation.reset();
        if (credentialDate_ == invocation->ticket->credentialDate()) {
            clearFetcherProperties(fetcher);
            deferUntilAuthenticationForInvocation(invocation);
            return;
        }
    }
    DSServiceBase::objectFetcherFinished(context, fetcher, data, error);
}

// ---- entry points

DSServiceTicketRef DSServiceProvider::fetchFeedWithURL(const QUrl& url, const DSClass* feedClass,
                                                       const QString& ETag, Delegate delegate,
                                                       FinishedSelector finishedSelector) {
    return fetchAuthenticatedObjectWithURL(url, feedClass, nullptr, ETag, QString(), std::move(delegate),
                                           std::move(finishedSelector), nullptr);
}

DSServiceTicketRef DSServiceProvider::fetchFeedWithURL(const QUrl& url, CompletionHandler handler) {
    return fetchAuthenticatedObjectWithURL(url, nullptr, nullptr, QString(), QString(), nullptr, nullptr,
                                           std::move(handler));
}

DSServiceTicketRef DSServiceProvider::fetchEntryWithURL(const QUrl& url, const DSClass* entryClass,
                                                        const QString& ETag, Delegate delegate,
                                                        FinishedSelector finishedSelector) {
    return fetchFeedWithURL(url, entryClass, ETag, std::move(delegate), std::move(finishedSelector));
}

DSServiceTicketRef DSServiceProvider::fetchEntryWithURL(const QUrl& url, CompletionHandler handler) {
    return fetchFeedWithURL(url, std::move(handler));
}

DSServiceTicketRef DSServiceProvider::fetchFeedWithQuery(const DSQuery& query, const DSClass* feedClass,
                                                         Delegate delegate,
                                                         FinishedSelector finishedSelector) {
    return fetchFeedWithURL(query.URL(), feedClass, QString(), std::move(delegate),
                            std::move(finishedSelector));
}

DSServiceTicketRef DSServiceProvider::fetchFeedWithQuery(const DSQuery& query, CompletionHandler handler) {
    return fetchFeedWithURL(query.URL(), std::move(handler));
}

DSServiceTicketRef DSServiceProvider::fetchEntryByInsertingEntry(const std::shared_ptr<DSEntryBase>& entry,
                                                                 const QUrl& feedURL, Delegate delegate,
                                                                 FinishedSelector finishedSelector) {
    addNamespacesIfNoneToObject(*entry);
    return fetchAuthenticatedObjectWithURL(feedURL, &entry->dsClass(), entry, entry->ETag(),
                                           QStringLiteral("POST"), std::move(delegate),
                                           std::move(finishedSelector), nullptr);
}

DSServiceTicketRef DSServiceProvider::fetchEntryByInsertingEntry(const std::shared_ptr<DSEntryBase>& entry,
                                                                 const QUrl& feedURL,
                                                                 CompletionHandler handler) {
    addNamespacesIfNoneToObject(*entry);
    return fetchAuthenticatedObjectWithURL(feedURL, &entry->dsClass(), entry, entry->ETag(),
                                           QStringLiteral("POST"), nullptr, nullptr, std::move(handler));
}

namespace {

QUrl editURL(const DSEntryBase& entry) {
    const auto link = entry.editLink();
    return link ? link->URL() : QUrl();
}

} // namespace

DSServiceTicketRef DSServiceProvider::fetchEntryByUpdatingEntry(const std::shared_ptr<DSEntryBase>& entry,
                                                                Delegate delegate,
                                                                FinishedSelector finishedSelector) {
    return fetchEntryByUpdatingEntry(entry, editURL(*entry), std::move(delegate),
                                     std::move(finishedSelector));
}

DSServiceTicketRef DSServiceProvider::fetchEntryByUpdatingEntry(const std::shared_ptr<DSEntryBase>& entry,
                                                                CompletionHandler handler) {
    return fetchEntryByUpdatingEntry(entry, editURL(*entry), std::move(handler));
}

DSServiceTicketRef DSServiceProvider::fetchEntryByUpdatingEntry(const std::shared_ptr<DSEntryBase>& entry,
                                                                const QUrl& entryURL, Delegate delegate,
                                                                FinishedSelector finishedSelector) {
    return updateEntry(entry, entryURL, std::move(delegate), std::move(finishedSelector), nullptr);
}

DSServiceTicketRef DSServiceProvider::fetchEntryByUpdatingEntry(const std::shared_ptr<DSEntryBase>& entry,
                                                                const QUrl& entryURL,
                                                                CompletionHandler handler) {
    return updateEntry(entry, entryURL, nullptr, nullptr, std::move(handler));
}

DSServiceTicketRef DSServiceProvider::updateEntry(const std::shared_ptr<DSEntryBase>& entry,
                                                  const QUrl& entryURL, Delegate delegate,
                                                  FinishedSelector finishedSelector,
                                                  CompletionHandler handler) {
    addNamespacesIfNoneToObject(*entry);
    const bool hasFields = !entry->fieldSelection().isEmpty();
    if (!hasFields && entry->shouldIgnoreUnknowns()) {
        // A full update of an entry that dropped what it did not know would delete that at the server.
        DSProgrammingError(QStringLiteral("unsafe update of %1").arg(entry->dsClass().name()));
        return nullptr;
    }
    return fetchAuthenticatedObjectWithURL(entryURL, &entry->dsClass(), entry, entry->ETag(),
                                           hasFields ? QStringLiteral("PATCH") : QStringLiteral("PUT"),
                                           std::move(delegate), std::move(finishedSelector),
                                           std::move(handler));
}

DSServiceTicketRef DSServiceProvider::deleteEntry(const std::shared_ptr<DSEntryBase>& entry,
                                                  Delegate delegate, FinishedSelector finishedSelector) {
    const QUrl url = editURL(*entry);
    if (url.isEmpty()) {
        DSProgrammingError(QStringLiteral("deleting uneditable entry: %1").arg(entry->description()));
        return nullptr;
    }
    DSServiceTicketRef ticket =
        deleteResourceURL(url, entry->ETag(), std::move(delegate), std::move(finishedSelector));
    if (ticket)
        ticket->setPostedObject(entry);
    return ticket;
}

DSServiceTicketRef DSServiceProvider::deleteEntry(const std::shared_ptr<DSEntryBase>& entry,
                                                  CompletionHandler handler) {
    return deleteResourceURL(editURL(*entry), entry->ETag(), std::move(handler));
}

DSServiceTicketRef DSServiceProvider::deleteResourceURL(const QUrl& url, const QString& ETag,
                                                        Delegate delegate,
                                                        FinishedSelector finishedSelector) {
    if (url.isEmpty()) {
        DSProgrammingError(QStringLiteral("deleting unspecified resource"));
        return nullptr;
    }
    return fetchAuthenticatedObjectWithURL(url, nullptr, nullptr, ETag, QStringLiteral("DELETE"),
                                           std::move(delegate), std::move(finishedSelector), nullptr);
}

DSServiceTicketRef DSServiceProvider::deleteResourceURL(const QUrl& url, const QString& ETag,
                                                        CompletionHandler handler) {
    if (url.isEmpty()) {
        DSProgrammingError(QStringLiteral("deleting unspecified resource"));
        return nullptr;
    }
    return fetchAuthenticatedObjectWithURL(url, nullptr, nullptr, ETag, QStringLiteral("DELETE"), nullptr,
                                           nullptr, std::move(handler));
}

DSServiceTicketRef DSServiceProvider::fetchFeedWithBatchFeed(const std::shared_ptr<DSFeedBase>& batchFeed,
                                                             const QUrl& batchFeedURL, Delegate delegate,
                                                             FinishedSelector finishedSelector,
                                                             CompletionHandler handler) {
    addBatchNamespacesIfNone(*batchFeed);
    DSServiceTicketRef ticket =
        fetchAuthenticatedObjectWithURL(batchFeedURL, &batchFeed->dsClass(), batchFeed, QString(), QString(),
                                        std::move(delegate), std::move(finishedSelector), std::move(handler));
    if (ticket)
        ticket->setShouldFeedsIgnoreUnknowns(false);
    return ticket;
}
