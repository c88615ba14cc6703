#pragma once

#include "platform/foundation/NotificationCenter.h"
#include "support/LoopbackServer.h"
#include "support/NetTestEnvironment.h"
#include "support/TestEnvironment.h"
#include "webservice/HTTPFetcher/NetCookieStorage.h"
#include "webservice/HTTPFetcher/NetHTTPFetcher.h"

#include <gtest/gtest.h>

#include <atomic>

namespace fetcher_test {

using test_support::LoopbackServer;
using test_support::ServerRequest;
using test_support::ServerResponse;

// What a fetch reported: how often, with which data and error.
struct Outcome {
    int calls = 0;
    QByteArray data;
    platform::OptionalError error;
    qint64 errorCode() const { return error ? error->code : 0; }
};

inline NetHTTPFetcher::FinishedSelector recordInto(Outcome& outcome) {
    return [&outcome](NetHTTPFetcher&, const QByteArray& data, const platform::OptionalError& error) {
        ++outcome.calls;
        outcome.data = data;
        outcome.error = error;
    };
}

// Begins the fetcher and runs the loop until it reports; the outcome of that one report. `deadlineMs` only
// bounds a fetch that would never end: a fetch whose work is large gives a bound far past it. One that did
// not end by then is stopped, so that it reports into nothing that is gone and no later fetch shares the
// network with it.
inline Outcome fetch(const std::shared_ptr<NetHTTPFetcher>& fetcher, int deadlineMs = 10000) {
    Outcome outcome;
    fetcher->beginFetchWithDelegate(nullptr, recordInto(outcome));
    const bool reported = test_support::spinUntil([&] { return outcome.calls > 0; }, deadlineMs);
    EXPECT_TRUE(reported) << "the fetch never reported";
    if (!reported)
        fetcher->stopFetching();
    return outcome;
}

inline platform::net::Cookie makeCookie(const QString& name, const QString& value, const QString& domain,
                                        const QString& path = QStringLiteral("/")) {
    platform::net::Cookie cookie;
    cookie.name = name;
    cookie.value = value;
    cookie.domain = domain;
    cookie.path = path;
    return cookie;
}

// Answers requests to a path from a script, one reply per request in order; the last one repeats.
inline void serveInTurn(LoopbackServer& server, const QString& path, std::vector<ServerResponse> replies) {
    auto next = std::make_shared<std::atomic<size_t>>(0);
    server.route(path, [replies = std::move(replies), next](const ServerRequest&) {
        const size_t index = (*next)++;
        return replies[std::min(index, replies.size() - 1)];
    });
}

// Counts the notifications of one name while it lives.
class NotificationCount {
public:
    explicit NotificationCount(const char* name)
        : handle(platform::NotificationCenter::defaultCenter(),
                 platform::NotificationCenter::defaultCenter().addObserver(
                     QString::fromLatin1(name), [this](const platform::Notification&) { ++count; })) {}
    int count = 0;

private:
    platform::ObserverHandle handle;
};

// A loopback server the fetchers trust, with no proxy in the way, and the class-wide cookie jar empty: a
// cookie stored by an earlier test would go out in place of a request's own Cookie header.
class FetcherTest : public ::testing::Test {
protected:
    FetcherTest() { NetHTTPFetcher::staticCookieStorage()->removeAllCookies(); }
    ~FetcherTest() override { NetHTTPFetcher::staticCookieStorage()->removeAllCookies(); }

    test_support::NetTestEnvironment environment;
    LoopbackServer server;

    void serve(const QString& path, int status, const QByteArray& body,
               const QByteArray& contentType = "text/plain") {
        server.route(path,
                     [=](const ServerRequest&) { return ServerResponse::text(status, body, contentType); });
    }
};

} // namespace fetcher_test
