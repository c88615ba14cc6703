#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace platform::net {

// What a server's challenge (type 2) message says.
struct NtlmChallenge {
    quint32 flags = 0;
    QByteArray serverChallenge; // 8 bytes
    QByteArray targetInfo;      // the AV pairs, as sent
};

// NTLMv2 messages and hashes on Qt's MD4, MD5 and HMAC-MD5: the negotiate (type 1) message, the reading of
// the server's challenge (type 2) and the authenticate (type 3) message. No signing or sealing: the
// exchange only proves the password over HTTP.
class Ntlm {
public:
    static QByteArray negotiateMessage();
    // The challenge message, or nothing when it is not one or any field points outside it.
    static std::optional<NtlmChallenge> parseChallengeMessage(const QByteArray& message);

    // NTOWFv1: MD4 of the password in UTF-16LE.
    static QByteArray ntHash(const QString& password);
    // NTOWFv2: HMAC-MD5 under the NT hash of the upper-case user name and the domain, in UTF-16LE.
    static QByteArray ntlmv2Hash(const QString& user, const QString& domain, const QString& password);
    // The NTLMv2 response: the proof over the server challenge and the blob, followed by the blob.
    static QByteArray ntlmv2Response(const QByteArray& v2Hash, const QByteArray& serverChallenge,
                                     const QByteArray& clientChallenge, quint64 timestamp,
                                     const QByteArray& targetInfo);
    static QByteArray lmv2Response(const QByteArray& v2Hash, const QByteArray& serverChallenge,
                                   const QByteArray& clientChallenge);
    // The authenticate message for the challenge; `clientChallenge` is 8 random bytes and `timestamp` the
    // time in tenths of a microsecond since 1601 (the server's own when its target information has one).
    static QByteArray authenticateMessage(const NtlmChallenge& challenge, const QString& user,
                                          const QString& domain, const QString& password,
                                          const QByteArray& clientChallenge, quint64 timestamp);
    // Now, as NTLM counts time.
    static quint64 currentTimestamp();
};

} // namespace platform::net
