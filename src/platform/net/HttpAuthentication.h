#pragma once

#include "platform/foundation/Error.h"
#include "platform/net/HttpChallenge.h"
#include "platform/net/HttpMessage.h"

#include <QString>

#include <memory>
#include <mutex>
#include <optional>

namespace platform::net {

struct HttpCredentials {
    QString user;
    QString password;
    QString domain; // for NTLM
};

// The answer to a server's (401) or a proxy's (407) challenge in one scheme: NTLM, Digest or Basic, the
// strongest the reply offers. It sets "Authorization" or "Proxy-Authorization" on the requests that follow
// and reads the replies to them: Basic and Digest credentials are spent by a second challenge once sent (a
// Digest "stale=true" with a new nonce only renews the nonce); NTLM lives on while the server answers with
// its challenge message, and is spent by a challenge without one once its answer was sent. Objects may be
// shared by several requests (a session store keeps them), so they lock themselves.
class HttpAuthentication {
public:
    enum class Target { Server, Proxy };

    virtual ~HttpAuthentication() = default;

    // From a 401 or 407 reply; nothing when it offers no scheme this client answers.
    static std::shared_ptr<HttpAuthentication> create(const HttpMessage& response);

    Target target() const { return side; }
    virtual QString method() const = 0;
    QString realm() const;
    // NTLM logs on to a domain; the others need a user name and password only.
    virtual bool requiresAccountDomain() const { return false; }
    bool requiresUserNameAndPassword() const { return true; }

    // False once spent; `reason` then says why (kHttpStreamErrorDomain: -1002 for refused credentials).
    bool isValid(std::optional<Error>* reason = nullptr) const;
    // Reads a reply that came after this object's credentials were sent.
    void update(const HttpMessage& response);
    // Adds the field for `credentials` to the request; false when they lack a user name or the object is
    // spent.
    bool apply(HttpMessage& request, const HttpCredentials& credentials);

protected:
    HttpAuthentication(Target side, const HttpChallenge& challenge);
    // Under the object's lock.
    virtual QByteArray answer(const HttpMessage& request, const HttpCredentials& credentials) = 0;
    // Under the object's lock: the reply's challenge for this scheme (absent when it offers none).
    virtual void readChallenge(const std::optional<HttpChallenge>& challenge) = 0;
    void spend(qint64 code);

    HttpChallenge challenge;
    bool used = false;

private:
    QByteArray fieldName() const;

    mutable std::mutex mutex;
    Target side;
    std::optional<Error> invalidReason;
};

} // namespace platform::net
