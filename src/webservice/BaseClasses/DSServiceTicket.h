#pragma once

#include "webservice/BaseClasses/DSServiceTicketBase.h"

#include <QDateTime>

class DSServiceProvider;
struct DSLoginFetch;

// The ticket of an authenticated service: it also knows the account login it waits for and the login token
// its requests carry.
class DSServiceTicket : public DSServiceTicketBase {
public:
    static std::shared_ptr<DSServiceTicket> ticketForService(const std::shared_ptr<DSServiceBase>& service);
    void initWithService(const std::shared_ptr<DSServiceBase>& service) override;
    // Leaves the login it waits for first.
    void cancelTicket() override;

    std::shared_ptr<NetHTTPFetcher> authFetcher() const;
    const std::shared_ptr<DSLoginFetch>& authLogin() const { return authLogin_; }
    void setAuthLogin(std::shared_ptr<DSLoginFetch> login) { authLogin_ = std::move(login); }
    QString authToken() const { return authToken_; }
    void setAuthToken(const QString& token) { authToken_ = token; }
    // When the service's credentials were last set, as seen when the ticket was made; null when never.
    QDateTime credentialDate() const { return credentialDate_; }
    void setCredentialDate(const QDateTime& date) { credentialDate_ = date; }

    QString description() const override;

private:
    std::shared_ptr<DSLoginFetch> authLogin_;
    QString authToken_;
    QDateTime credentialDate_;
};
