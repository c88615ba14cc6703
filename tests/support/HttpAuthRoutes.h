#pragma once

// Loopback routes that ask for credentials, for the tests of HTTP authentication:
//
//   server.route("/basic", test_support::basicChallenge("user", "secret", "area", "welcome"));
//   server.route("/digest", test_support::digestChallenge("Mufasa", "Circle Of Life", "area", "welcome"));
//   test_support::NtlmScript ntlm("user", "DOMAIN", "secret", "welcome");
//   server.route("/ntlm", ntlm.handler());
//
// Each answers 401 with its challenge until a request carries the right "Authorization", then 200 with the
// body. The NTLM script plays the server's side of the exchange (negotiate, challenge, authenticate) and
// checks the client's NTLMv2 proof against the password; a wrong proof is refused with a bare "NTLM"
// challenge.

#include "support/LoopbackServer.h"

#include <atomic>
#include <memory>

namespace test_support {

RequestHandler basicChallenge(const QString& user, const QString& password, const QByteArray& realm,
                              const QByteArray& body);
RequestHandler digestChallenge(const QString& user, const QString& password, const QByteArray& realm,
                               const QByteArray& body);

class NtlmScript {
public:
    NtlmScript(QString user, QString domain, QString password, QByteArray body);
    RequestHandler handler();
    int authenticateMessages() const { return state->authenticates; }
    int refusals() const { return state->refusals; }

private:
    struct State {
        QString user, domain, password;
        QByteArray body;
        std::atomic<int> authenticates{0};
        std::atomic<int> refusals{0};
    };
    std::shared_ptr<State> state;
};

} // namespace test_support
