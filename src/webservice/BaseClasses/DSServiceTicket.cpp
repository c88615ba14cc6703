#include "webservice/BaseClasses/DSServiceTicket.h"

#include "webservice/BaseClasses/DSServiceProvider.h"

std::shared_ptr<DSServiceTicket>
DSServiceTicket::ticketForService(const std::shared_ptr<DSServiceBase>& service) {
    auto ticket = std::make_shared<DSServiceTicket>();
    ticket->initWithService(service);
    return ticket;
}

void DSServiceTicket::initWithService(const std::shared_ptr<DSServiceBase>& service) {
    DSServiceTicketBase::initWithService(service);
    if (const auto provider = std::dynamic_pointer_cast<DSServiceProvider>(service)) {
        authToken_ = provider->authToken();
        credentialDate_ = provider->credentialDate();
    }
}

void DSServiceTicket::cancelTicket() {
    const auto self = std::static_pointer_cast<DSServiceTicket>(shared_from_this());
    if (const auto provider = std::dynamic_pointer_cast<DSServiceProvider>(service()))
        provider->stopAuthenticationForTicket(*this);
    DSServiceTicketBase::cancelTicket();
}

std::shared_ptr<NetHTTPFetcher> DSServiceTicket::authFetcher() const {
    return authLogin_ ? authLogin_->fetcher : nullptr;
}

QString DSServiceTicket::description() const {
    const auto name = [](const std::shared_ptr<NetHTTPFetcher>& fetcher) {
        return fetcher ? fetcher->description() : QStringLiteral("(null)");
    };
    const QString serviceText = service() ? QString::number(reinterpret_cast<quintptr>(service().get()), 16)
                                          : QStringLiteral("(null)");
    if (authorizer())
        return QStringLiteral("DSServiceTicket %1: {service:%2 objectFetcher:%3 authorizer:%4}")
            .arg(address(), serviceText, name(objectFetcher()),
                 QString::number(reinterpret_cast<quintptr>(authorizer().get()), 16));
    return QStringLiteral("DSServiceTicket %1: {service:%2 objectFetcher:%3 authFetcher:%4}")
        .arg(address(), serviceText, name(objectFetcher()), name(authFetcher()));
}
