#include "platform/net/HttpAuthentication.h"

#include "platform/net/HttpDigest.h"
#include "platform/net/HttpStreamError.h"
#include "platform/net/Ntlm.h"

#include <QRandomGenerator>

namespace platform::net {

namespace {

QByteArray randomBytes(int count) {
    QByteArray bytes(count, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(bytes.data()), count / 4);
    return bytes;
}

QByteArray challengeField(HttpAuthentication::Target target) {
    return target == HttpAuthentication::Target::Proxy ? "Proxy-Authenticate" : "WWW-Authenticate";
}

std::optional<HttpChallenge> findChallenge(const HttpMessage& response, HttpAuthentication::Target target,
                                           const char* scheme) {
    for (const HttpChallenge& challenge : parseChallenges(response.headers().values(challengeField(target))))
        if (challenge.isScheme(scheme))
            return challenge;
    return std::nullopt;
}

class BasicAuthentication : public HttpAuthentication {
public:
    BasicAuthentication(Target side, const HttpChallenge& first) : HttpAuthentication(side, first) {}
    QString method() const override { return QStringLiteral("Basic"); }

protected:
    QByteArray answer(const HttpMessage&, const HttpCredentials& credentials) override {
        return "Basic " + (credentials.user + u':' + credentials.password).toUtf8().toBase64();
    }
    void readChallenge(const std::optional<HttpChallenge>&) override {
        if (used)
            spend(HttpStreamAuthenticationBadPassword);
    }
};

class DigestAuthentication : public HttpAuthentication {
public:
    DigestAuthentication(Target side, const HttpChallenge& first) : HttpAuthentication(side, first) {}
    QString method() const override { return QStringLiteral("Digest"); }

    static bool canAnswer(const HttpChallenge& challenge) {
        const QByteArray qop = challenge.parameter("qop");
        return !challenge.parameter("nonce").isEmpty() &&
               HttpDigest::supportsAlgorithm(challenge.parameter("algorithm")) &&
               (qop.isEmpty() || offersAuth(qop));
    }

protected:
    QByteArray answer(const HttpMessage& request, const HttpCredentials& credentials) override {
        HttpDigestInput input;
        input.algorithm = challenge.parameter("algorithm");
        input.username = credentials.user;
        input.password = credentials.password;
        input.realm = challenge.parameter("realm");
        input.nonce = challenge.parameter("nonce");
        input.method = request.method();
        input.uri =
            request.url().toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment);
        if (input.uri.isEmpty())
            input.uri = "/";
        if (offersAuth(challenge.parameter("qop"))) {
            input.qop = "auth";
            input.nonceCount = QByteArray::number(++nonceCount, 16).rightJustified(8, '0');
            input.clientNonce = randomBytes(8).toHex();
        }
        QByteArray field = "Digest username=\"" + quoted(credentials.user.toUtf8()) + "\", realm=\"" +
                           quoted(input.realm) + "\", nonce=\"" + quoted(input.nonce) + "\", uri=\"" +
                           quoted(input.uri) + "\", response=\"" + HttpDigest::response(input) + '"';
        if (!input.algorithm.isEmpty())
            field += ", algorithm=" + input.algorithm;
        if (!input.qop.isEmpty())
            field += ", qop=auth, nc=" + input.nonceCount + ", cnonce=\"" + input.clientNonce + '"';
        if (const QByteArray opaque = challenge.parameter("opaque"); !opaque.isNull())
            field += ", opaque=\"" + quoted(opaque) + '"';
        return field;
    }
    void readChallenge(const std::optional<HttpChallenge>& next) override {
        // A stale nonce is no refusal of the credentials: the same ones go again with the new nonce.
        if (next && next->parameter("stale").toLower() == "true" && canAnswer(*next) &&
            next->parameter("nonce") != challenge.parameter("nonce")) {
            challenge = *next;
            nonceCount = 0;
            return;
        }
        if (used)
            spend(HttpStreamAuthenticationBadPassword);
    }

private:
    static bool offersAuth(const QByteArray& qop) {
        for (const QByteArray& option : qop.split(','))
            if (option.trimmed().toLower() == "auth")
                return true;
        return false;
    }
    static QByteArray quoted(QByteArray text) { return text.replace('\\', "\\\\").replace('"', "\\\""); }

    quint32 nonceCount = 0;
};

class NtlmAuthentication : public HttpAuthentication {
public:
    NtlmAuthentication(Target side, const HttpChallenge& first) : HttpAuthentication(side, first) {
        readToken(first);
    }
    QString method() const override { return QStringLiteral("NTLM"); }
    bool requiresAccountDomain() const override { return true; }

protected:
    QByteArray answer(const HttpMessage&, const HttpCredentials& credentials) override {
        if (!serverChallenge)
            return "NTLM " + Ntlm::negotiateMessage().toBase64();
        const QByteArray message =
            Ntlm::authenticateMessage(*serverChallenge, credentials.user, credentials.domain,
                                      credentials.password, randomBytes(8), Ntlm::currentTimestamp());
        serverChallenge.reset(); // a later use starts a new exchange
        return "NTLM " + message.toBase64();
    }
    void readChallenge(const std::optional<HttpChallenge>& next) override {
        if (next && readToken(*next))
            return;
        if (used)
            spend(HttpStreamAuthenticationBadPassword);
    }

private:
    bool readToken(const HttpChallenge& from) {
        serverChallenge = Ntlm::parseChallengeMessage(QByteArray::fromBase64(from.token));
        return serverChallenge.has_value();
    }

    std::optional<NtlmChallenge> serverChallenge;
};

} // namespace

HttpAuthentication::HttpAuthentication(Target side, const HttpChallenge& challenge)
    : challenge(challenge), side(side) {}

std::shared_ptr<HttpAuthentication> HttpAuthentication::create(const HttpMessage& response) {
    const Target target = response.statusCode() == 407 ? Target::Proxy : Target::Server;
    if (const auto ntlm = findChallenge(response, target, "NTLM"))
        return std::make_shared<NtlmAuthentication>(target, *ntlm);
    for (const HttpChallenge& challenge : parseChallenges(response.headers().values(challengeField(target))))
        if (challenge.isScheme("Digest") && DigestAuthentication::canAnswer(challenge))
            return std::make_shared<DigestAuthentication>(target, challenge);
    if (const auto basic = findChallenge(response, target, "Basic"))
        return std::make_shared<BasicAuthentication>(target, *basic);
    return nullptr;
}

QString HttpAuthentication::realm() const {
    std::lock_guard lock(mutex);
    return QString::fromUtf8(challenge.parameter("realm"));
}

bool HttpAuthentication::isValid(std::optional<Error>* reason) const {
    std::lock_guard lock(mutex);
    if (reason)
        *reason = invalidReason;
    return !invalidReason;
}

void HttpAuthentication::update(const HttpMessage& response) {
    std::lock_guard lock(mutex);
    if (invalidReason)
        return;
    const int status = response.statusCode();
    if (status != (side == Target::Proxy ? 407 : 401))
        return;
    readChallenge(findChallenge(response, side, method().toLatin1().constData()));
}

bool HttpAuthentication::apply(HttpMessage& request, const HttpCredentials& credentials) {
    std::lock_guard lock(mutex);
    if (invalidReason || credentials.user.isEmpty())
        return false;
    if (!request.setValue(fieldName(), answer(request, credentials)))
        return false;
    used = true;
    return true;
}

void HttpAuthentication::spend(qint64 code) {
    invalidReason = makeStreamError(kHttpStreamErrorDomain, code,
                                    code == HttpStreamAuthenticationBadPassword
                                        ? QStringLiteral("The credentials were refused")
                                        : QStringLiteral("The authentication cannot go on"));
}

QByteArray HttpAuthentication::fieldName() const {
    return side == Target::Proxy ? "Proxy-Authorization" : "Authorization";
}

} // namespace platform::net
