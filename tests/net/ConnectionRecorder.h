#pragma once

#include "platform/net/UrlConnection.h"
#include "support/TestEnvironment.h"

#include <QStringList>

namespace net_test {

// Records what a connection reports, in order, and can be told how to answer redirects and challenges.
class ConnectionRecorder : public platform::net::UrlConnectionDelegate {
public:
    std::optional<platform::net::UrlRequest>
    connectionWillSendRequest(platform::net::UrlConnection&, const platform::net::UrlRequest& proposed,
                              const platform::net::UrlResponse& response) override {
        events << QStringLiteral("redirect %1").arg(response.statusCode);
        proposals.push_back(proposed);
        if (!followRedirects)
            return std::nullopt;
        return proposed;
    }
    platform::net::ChallengeAnswer
    connectionDidReceiveChallenge(platform::net::UrlConnection&,
                                  const platform::net::AuthenticationChallenge& c) override {
        events << QStringLiteral("challenge %1 %2").arg(c.scheme).arg(c.previousFailureCount);
        return challengeAnswer;
    }
    void connectionDidReceiveResponse(platform::net::UrlConnection&,
                                      const platform::net::UrlResponse& r) override {
        events << QStringLiteral("response %1").arg(r.statusCode);
        response = r;
    }
    void connectionDidReceiveData(platform::net::UrlConnection&, const QByteArray& data) override {
        body += data;
    }
    void connectionDidSendBodyData(platform::net::UrlConnection&, qint64, qint64 total,
                                   qint64 expected) override {
        sent = total;
        expectedToSend = expected;
    }
    void connectionDidFinishLoading(platform::net::UrlConnection&) override {
        events << QStringLiteral("finished");
        ended = true;
    }
    void connectionDidFailWithError(platform::net::UrlConnection&, const platform::Error& e) override {
        events << QStringLiteral("failed %1").arg(e.code);
        error = e;
        ended = true;
    }

    // Runs a request to its end; false when it never ended. `deadlineMs` bounds only a request that would
    // never end: one whose work is large gives a bound far past what a loaded machine takes.
    bool run(const platform::net::UrlRequest& request, int deadlineMs = 10000) {
        connection = platform::net::UrlConnection::create(request, *this);
        connection->start();
        return test_support::spinUntil([&] { return ended; }, deadlineMs);
    }

    bool followRedirects = true;
    platform::net::ChallengeAnswer challengeAnswer;
    std::unique_ptr<platform::net::UrlConnection> connection;
    QStringList events;
    std::vector<platform::net::UrlRequest> proposals;
    platform::net::UrlResponse response;
    QByteArray body;
    qint64 sent = 0;
    qint64 expectedToSend = 0;
    platform::OptionalError error;
    bool ended = false;
};

} // namespace net_test
