#pragma once

#include "support/FakeVideoService.h"
#include "support/NetTestEnvironment.h"
#include "support/TestEnvironment.h"
#include "webservice/BaseClasses/DSServiceProvider.h"

#include <gtest/gtest.h>

#include <QThread>

namespace service_test {

using test_support::LoopbackServer;
using test_support::ServerRequest;
using test_support::ServerResponse;

// Signs every request as an OAuth 2 authorizer with the token "A1" would.
class BearerAuthorizer : public NetFetcherAuthorizationProtocol {
public:
    void authorizeRequest(const std::shared_ptr<platform::net::UrlRequest>& request, std::shared_ptr<void>,
                          FinishedSelector finished) override {
        request->setValue("Authorization", "Bearer A1");
        finished(*this, request, std::nullopt);
    }
    void stopAuthorization() override {}
    bool isAuthorizingRequest(const platform::net::UrlRequest&) const override { return false; }
    bool isAuthorizedRequest(const platform::net::UrlRequest& request) const override {
        return request.value("Authorization") == "Bearer A1";
    }
    QString userEmail() const override { return QStringLiteral("tester@example.invalid"); }
};

// What a service reported to a callback: how often, with what, and on which thread.
struct Delivery {
    int calls = 0;
    DSServiceTicketRef ticket;
    DSObjectRef object;
    platform::OptionalError error;
    QThread* thread = nullptr;

    QString errorText() const {
        return error ? error->userInfo.value(QLatin1String(kDSServiceErrorTextKey)).toString() : QString();
    }
};

inline DSServiceBase::CompletionHandler recordInto(Delivery& delivery) {
    return [&delivery](const DSServiceTicketRef& ticket, const DSObjectRef& object,
                       const platform::OptionalError& error) {
        ++delivery.calls;
        delivery.ticket = ticket;
        delivery.object = object;
        delivery.error = error;
        delivery.thread = QThread::currentThread();
    };
}

// Runs the loop until the service delivers. `deadlineMs` bounds only a delivery that would never come: one
// whose work is large gives a bound far past what a loaded machine takes.
inline bool waitFor(const Delivery& delivery, int deadlineMs = 10000) {
    return test_support::spinUntil([&] { return delivery.calls > 0; }, deadlineMs);
}

// A fake video service the services trust, with no proxy in the way.
class ServiceTest : public ::testing::Test {
protected:
    test_support::NetTestEnvironment environment;
    LoopbackServer server;
    test_support::FakeVideoService fake{server};
};

} // namespace service_test
