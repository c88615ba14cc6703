#pragma once

// The fixture of the request tests: a loopback server, the test network set-up (never the machine's proxies),
// and requests run to their end with what their listeners heard.

#include "http/ReqClassState.h"
#include "http/ReqHTTPRequest.h"
#include "http/ReqHTTPRequestErrors.h"
#include "support/LoopbackServer.h"
#include "support/NetTestEnvironment.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <atomic>

namespace req_test {

using test_support::LoopbackServer;
using test_support::ServerRequest;
using test_support::ServerResponse;

// A delegate that writes down what it hears, by name, in order.
struct Recorder {
    std::shared_ptr<ReqHTTPRequestDelegate> delegate = std::make_shared<ReqHTTPRequestDelegate>();
    QStringList events;
    QByteArray data;

    Recorder() {
        delegate->requestStarted = [this](ReqHTTPRequest&) { events << "started"; };
        delegate->didReceiveResponseHeaders = [this](ReqHTTPRequest&, const platform::net::HttpHeaders&) {
            events << "headers";
        };
        delegate->requestFinished = [this](ReqHTTPRequest&) { events << "finished"; };
        delegate->requestFailed = [this](ReqHTTPRequest&) { events << "failed"; };
    }
};

// The request class's time held still for as long as it lives: a request times out when the test moves the
// clock past its time-out, and never because the machine was slow to answer.
class HeldRequestTime {
public:
    class Clock : public platform::Clock {
    public:
        double secondsSinceStart() const override { return seconds; }
        QDateTime now() const override { return QDateTime::currentDateTimeUtc(); }
        void advance(double by) { seconds = seconds + by; }

    private:
        // Read on the network thread, moved on the test's; it goes on from the system's time, never back.
        std::atomic<double> seconds{platform::Clock::system()->secondsSinceStart()};
    };

    HeldRequestTime() { ReqClassState::setClockForTesting(clock); }
    ~HeldRequestTime() { ReqClassState::setClockForTesting(nullptr); }
    HeldRequestTime(const HeldRequestTime&) = delete;
    HeldRequestTime& operator=(const HeldRequestTime&) = delete;

    void advance(double seconds) { clock->advance(seconds); }
    // Past any time-out of `seconds`, the longer one of a body's first buffer included.
    void passTimeOut(double seconds) { clock->advance(2 * seconds); }

private:
    std::shared_ptr<Clock> clock = std::make_shared<Clock>();
};

// Empties every session store of the request class, the proxy credentials too: clearSession keeps those,
// so a test that made some must take them away itself.
inline void clearSessionStores() {
    ReqHTTPRequest::clearSession();
    for (const ReqSessionCredentials& entry : ReqHTTPRequest::sessionProxyCredentialsStore())
        ReqHTTPRequest::removeProxyAuthenticationCredentialsFromSessionStore(entry.credentials);
}

class ReqRequestTest : public ::testing::Test {
protected:
    // What one test's requests kept for the session never reaches the next.
    void TearDown() override { clearSessionStores(); }

    // Starts the request on the network thread and waits on the main loop until it has finished and its
    // reports have run. `deadlineMs` bounds only a request that would never finish: one whose work is large
    // gives a bound far past what a loaded machine takes.
    static bool runAsync(const ReqHTTPRequest::Ptr& request, int deadlineMs = 10000) {
        request->startAsynchronous();
        const bool done = test_support::spinUntil([&] { return request->isFinished(); }, deadlineMs);
        test_support::spinFor(20);
        return done;
    }
    static std::optional<qint64> errorCode(const ReqHTTPRequest::Ptr& request) {
        return request->error() ? std::optional<qint64>(request->error()->code) : std::nullopt;
    }

    test_support::NetTestEnvironment environment;
    LoopbackServer server;
};

} // namespace req_test
