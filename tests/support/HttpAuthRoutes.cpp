#include "support/HttpAuthRoutes.h"

#include "platform/net/HttpChallenge.h"
#include "platform/net/HttpDigest.h"
#include "platform/net/Ntlm.h"

#include <QCryptographicHash>
#include <QMessageAuthenticationCode>
#include <QtEndian>

namespace test_support {

namespace {

ServerResponse challenge(const QByteArray& value) {
    return ServerResponse::text(401, "who are you?").withHeader("WWW-Authenticate", value);
}

// The security buffer of an NTLM message at `offset`, or nothing when it points outside the message.
QByteArray securityBuffer(const QByteArray& message, int offset) {
    if (message.size() < offset + 8)
        return {};
    const quint16 length = qFromLittleEndian<quint16>(message.constData() + offset);
    const quint32 at = qFromLittleEndian<quint32>(message.constData() + offset + 4);
    return quint64(at) + length <= quint64(message.size()) ? message.mid(at, length) : QByteArray();
}

QString fromUtf16le(const QByteArray& bytes) {
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2);
}

} // namespace

RequestHandler basicChallenge(const QString& user, const QString& password, const QByteArray& realm,
                              const QByteArray& body) {
    const QByteArray expected = "Basic " + (user + u':' + password).toUtf8().toBase64();
    return [=](const ServerRequest& request) {
        if (request.header("Authorization") == expected)
            return ServerResponse::text(200, body);
        return challenge("Basic realm=\"" + realm + '"');
    };
}

RequestHandler digestChallenge(const QString& user, const QString& password, const QByteArray& realm,
                               const QByteArray& body) {
    const QByteArray nonce = "dcd98b7102dd2f0e8b11d0f600bfb0c093";
    return [=](const ServerRequest& request) {
        const QList<platform::net::HttpChallenge> given =
            platform::net::parseChallenges({request.header("Authorization")});
        if (!given.isEmpty() && given.first().isScheme("Digest")) {
            const platform::net::HttpChallenge& answer = given.first();
            platform::net::HttpDigestInput input;
            input.username = QString::fromUtf8(answer.parameter("username"));
            input.password = password;
            input.realm = realm;
            input.nonce = nonce;
            input.method = request.method;
            input.uri = answer.parameter("uri");
            input.qop = answer.parameter("qop");
            input.nonceCount = answer.parameter("nc");
            input.clientNonce = answer.parameter("cnonce");
            if (input.username == user && answer.parameter("nonce") == nonce && input.uri == request.target &&
                answer.parameter("response") == platform::net::HttpDigest::response(input))
                return ServerResponse::text(200, body);
        }
        return challenge("Digest realm=\"" + realm + "\", qop=\"auth\", nonce=\"" + nonce +
                         "\", opaque=\"5ccc069c403ebaf9f0171e9517f40e41\"");
    };
}

NtlmScript::NtlmScript(QString user, QString domain, QString password, QByteArray body)
    : state(std::make_shared<State>()) {
    state->user = std::move(user);
    state->domain = std::move(domain);
    state->password = std::move(password);
    state->body = std::move(body);
}

RequestHandler NtlmScript::handler() {
    return [state = state](const ServerRequest& request) {
        const QByteArray field = request.header("Authorization");
        if (!field.startsWith("NTLM "))
            return challenge("NTLM");
        const QByteArray message = QByteArray::fromBase64(field.mid(5));
        const QByteArray serverChallenge("\x01\x23\x45\x67\x89\xab\xcd\xef", 8);
        const quint32 type = message.size() >= 12 ? qFromLittleEndian<quint32>(message.constData() + 8) : 0;
        if (type == 1) {
            const QByteArray targetInfo("\x02\x00\x0c\x00"
                                        "D\0o\0m\0a\0i\0n\0"
                                        "\x00\x00\x00\x00",
                                        20);
            QByteArray reply("NTLMSSP\0\x02\0\0\0", 12);
            reply += QByteArray(8, '\0');                               // target name
            reply += QByteArray("\x05\x02\x89\x00", 4);                 // flags: Unicode, NTLM, ...
            reply += serverChallenge + QByteArray(8, '\0');             // challenge, reserved
            reply += QByteArray("\x14\x00\x14\x00\x30\x00\x00\x00", 8); // target info at 48
            return challenge("NTLM " + (reply + targetInfo).toBase64());
        }
        ++state->authenticates;
        const QByteArray nt = securityBuffer(message, 20);
        const QString domain = fromUtf16le(securityBuffer(message, 28));
        const QString user = fromUtf16le(securityBuffer(message, 36));
        const QByteArray v2Hash = platform::net::Ntlm::ntlmv2Hash(user, domain, state->password);
        const bool proven = nt.size() > 16 && user == state->user && domain == state->domain &&
                            QMessageAuthenticationCode::hash(serverChallenge + nt.mid(16), v2Hash,
                                                             QCryptographicHash::Md5) == nt.left(16);
        if (proven)
            return ServerResponse::text(200, state->body);
        ++state->refusals;
        return challenge("NTLM");
    };
}

} // namespace test_support
