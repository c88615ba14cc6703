#include "webservice/BaseClasses/DSServiceTicketBase.h"

#include "webservice/BaseClasses/DSServiceBase.h"
#include "webservice/HTTPFetcher/NetHTTPUploadFetcher.h"

DSServiceTicketRef DSServiceTicketBase::ticketForService(const std::shared_ptr<DSServiceBase>& service) {
    auto ticket = std::make_shared<DSServiceTicketBase>();
    ticket->initWithService(service);
    return ticket;
}

void DSServiceTicketBase::initWithService(const std::shared_ptr<DSServiceBase>& service) {
    service_ = service;
    if (!service)
        return;
    userData_ = service->serviceUserData();
    ticketProperties_ = service->serviceProperties();
    surrogates_ = service->serviceSurrogates();
    uploadProgressSelector_ = service->serviceUploadProgressSelector();
    isRetryEnabled_ = service->isServiceRetryEnabled();
    retrySelector_ = service->serviceRetrySelector();
    maxRetryInterval_ = service->serviceMaxRetryInterval();
    shouldFollowNextLinks_ = service->serviceShouldFollowNextLinks();
    shouldFeedsIgnoreUnknowns_ = service->shouldServiceFeedsIgnoreUnknowns();
    uploadProgressHandler_ = service->serviceUploadProgressHandler();
    authorizer_ = service->authorizer();
}

DSServiceTicketRef DSServiceTicketBase::ticketForFetcher(const NetHTTPFetcher& fetcher) {
    return fetcher.propertyForKey(QLatin1String(kDSFetcherTicketProperty)).value<DSTicketHandle>().lock();
}

void DSServiceTicketBase::cancelTicket() {
    // Whatever goes here may be what a running callback stands on: the locals keep it to the end.
    const DSServiceTicketRef self = shared_from_this();
    const std::shared_ptr<DSParseOperation> operation = std::move(parseOperation_);
    const std::shared_ptr<NetHTTPFetcher> fetcher = std::move(objectFetcher_);
    const std::shared_ptr<DSServiceBase> service = std::move(service_);
    if (operation)
        operation->cancel();
    if (fetcher) {
        fetcher->stopFetching();
        fetcher->setProperties({});
    }
    currentFetcher_.reset();
    userData_ = QVariant();
    ticketProperties_.clear();
    uploadProgressSelector_ = nullptr;
    uploadProgressHandler_ = nullptr;
}

void DSServiceTicketBase::pauseUpload() {
    if (auto upload = std::dynamic_pointer_cast<NetHTTPUploadFetcher>(objectFetcher_))
        upload->pauseFetching();
}

void DSServiceTicketBase::resumeUpload() {
    if (auto upload = std::dynamic_pointer_cast<NetHTTPUploadFetcher>(objectFetcher_))
        upload->resumeFetching();
}

bool DSServiceTicketBase::isUploadPaused() const {
    const auto upload = std::dynamic_pointer_cast<NetHTTPUploadFetcher>(objectFetcher_);
    return upload && upload->isPaused();
}

qint64 DSServiceTicketBase::statusCode() const {
    return objectFetcher_ ? objectFetcher_->statusCode() : 0;
}

void DSServiceTicketBase::setUploadProgressSelector(ProgressSelector selector) {
    uploadProgressSelector_ = std::move(selector);
    if (uploadProgressSelector_ && objectFetcher_ && service_)
        objectFetcher_->setSentDataSelector(service_->objectFetcherSentDataSelector());
}

void DSServiceTicketBase::setUploadProgressHandler(ProgressHandler handler) {
    uploadProgressHandler_ = std::move(handler);
    if (uploadProgressHandler_ && objectFetcher_ && service_)
        objectFetcher_->setSentDataSelector(service_->objectFetcherSentDataSelector());
}

void DSServiceTicketBase::setProperty(const QString& key, const QVariant& value) {
    if (value.isValid())
        ticketProperties_.insert(key, value);
    else
        ticketProperties_.remove(key);
}

void DSServiceTicketBase::accumulateFeed(const std::shared_ptr<DSFeedBase>& feed) {
    if (!feed)
        return;
    if (!accumulatedFeed_) {
        accumulatedFeed_ = feed;
        return;
    }
    for (const auto& entry : *feed) {
        entry->setParent(nullptr);
        accumulatedFeed_->addEntry(entry);
    }
}

QString DSServiceTicketBase::address() const {
    return QStringLiteral("0x") + QString::number(reinterpret_cast<quintptr>(this), 16);
}

QString DSServiceTicketBase::description() const {
    return QStringLiteral("DSServiceTicketBase %1: {service:%2 currentFetcher:%3 userData:%4}")
        .arg(address(),
             service_ ? QString::number(reinterpret_cast<quintptr>(service_.get()), 16)
                      : QStringLiteral("(null)"),
             currentFetcher_ ? currentFetcher_->description() : QStringLiteral("(null)"),
             userData_.isValid() ? userData_.toString() : QStringLiteral("(null)"));
}
