#include "platform/net/Ntlm.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QMessageAuthenticationCode>
#include <QtEndian>

namespace platform::net {

namespace {

constexpr char kSignature[] = "NTLMSSP";
constexpr quint32 kNegotiateUnicode = 0x00000001;
constexpr quint32 kNegotiateOem = 0x00000002;
constexpr quint32 kRequestTarget = 0x00000004;
constexpr quint32 kNegotiateNtlm = 0x00000200;
constexpr quint32 kAlwaysSign = 0x00008000;
constexpr quint32 kExtendedSessionSecurity = 0x00080000;
constexpr quint32 kNegotiateTargetInfo = 0x00800000;
constexpr quint32 kNegotiate128 = 0x20000000;
constexpr quint32 kNegotiate56 = 0x80000000;
constexpr quint16 kAvEndOfList = 0;
constexpr quint16 kAvTimestamp = 7;
// Seconds from 1601-01-01 to 1970-01-01.
constexpr quint64 kEpochDifference = 11644473600ULL;

QByteArray le16(quint16 value) {
    QByteArray bytes(2, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

QByteArray le32(quint32 value) {
    QByteArray bytes(4, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

QByteArray le64(quint64 value) {
    QByteArray bytes(8, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

QByteArray utf16le(const QString& text) {
    QByteArray bytes;
    bytes.reserve(text.size() * 2);
    for (const QChar c : text)
        bytes += le16(c.unicode());
    return bytes;
}

QByteArray header(quint32 type) {
    return QByteArray(kSignature, sizeof kSignature) + le32(type);
}

QByteArray hmacMd5(const QByteArray& key, const QByteArray& data) {
    return QMessageAuthenticationCode::hash(data, key, QCryptographicHash::Md5);
}

// The server's timestamp among the AV pairs, when it sent one.
std::optional<quint64> serverTimestamp(const QByteArray& targetInfo) {
    qsizetype at = 0;
    while (at + 4 <= targetInfo.size()) {
        const quint16 id = qFromLittleEndian<quint16>(targetInfo.constData() + at);
        const quint16 length = qFromLittleEndian<quint16>(targetInfo.constData() + at + 2);
        if (id == kAvEndOfList || at + 4 + length > targetInfo.size())
            break;
        if (id == kAvTimestamp && length == 8)
            return qFromLittleEndian<quint64>(targetInfo.constData() + at + 4);
        at += 4 + length;
    }
    return std::nullopt;
}

} // namespace

QByteArray Ntlm::negotiateMessage() {
    const quint32 flags = kNegotiateUnicode | kNegotiateOem | kRequestTarget | kNegotiateNtlm | kAlwaysSign |
                          kExtendedSessionSecurity | kNegotiate128 | kNegotiate56;
    // No domain and no workstation: both fields empty, pointing at the end of the message.
    return header(1) + le32(flags) + le16(0) + le16(0) + le32(32) + le16(0) + le16(0) + le32(32);
}

std::optional<NtlmChallenge> Ntlm::parseChallengeMessage(const QByteArray& message) {
    if (message.size() < 32 || !message.startsWith(QByteArray(kSignature, sizeof kSignature)) ||
        qFromLittleEndian<quint32>(message.constData() + 8) != 2)
        return std::nullopt;
    NtlmChallenge challenge;
    challenge.flags = qFromLittleEndian<quint32>(message.constData() + 20);
    challenge.serverChallenge = message.mid(24, 8);
    if (message.size() >= 48) {
        const quint16 length = qFromLittleEndian<quint16>(message.constData() + 40);
        const quint32 offset = qFromLittleEndian<quint32>(message.constData() + 44);
        if (quint64(offset) + length > quint64(message.size()))
            return std::nullopt;
        challenge.targetInfo = message.mid(offset, length);
    }
    return challenge;
}

QByteArray Ntlm::ntHash(const QString& password) {
    return QCryptographicHash::hash(utf16le(password), QCryptographicHash::Md4);
}

QByteArray Ntlm::ntlmv2Hash(const QString& user, const QString& domain, const QString& password) {
    return hmacMd5(ntHash(password), utf16le(user.toUpper() + domain));
}

QByteArray Ntlm::ntlmv2Response(const QByteArray& v2Hash, const QByteArray& serverChallenge,
                                const QByteArray& clientChallenge, quint64 timestamp,
                                const QByteArray& targetInfo) {
    const QByteArray blob = QByteArray("\x01\x01\0\0\0\0\0\0", 8) + le64(timestamp) + clientChallenge +
                            QByteArray(4, '\0') + targetInfo + QByteArray(4, '\0');
    return hmacMd5(v2Hash, serverChallenge + blob) + blob;
}

QByteArray Ntlm::lmv2Response(const QByteArray& v2Hash, const QByteArray& serverChallenge,
                              const QByteArray& clientChallenge) {
    return hmacMd5(v2Hash, serverChallenge + clientChallenge) + clientChallenge;
}

QByteArray Ntlm::authenticateMessage(const NtlmChallenge& challenge, const QString& user,
                                     const QString& domain, const QString& password,
                                     const QByteArray& clientChallenge, quint64 timestamp) {
    const QByteArray v2Hash = ntlmv2Hash(user, domain, password);
    const std::optional<quint64> serverTime = serverTimestamp(challenge.targetInfo);
    const QByteArray nt = ntlmv2Response(v2Hash, challenge.serverChallenge, clientChallenge,
                                         serverTime.value_or(timestamp), challenge.targetInfo);
    // With the server's timestamp the LM response is left empty of meaning: zeros.
    const QByteArray lm =
        serverTime ? QByteArray(24, '\0') : lmv2Response(v2Hash, challenge.serverChallenge, clientChallenge);
    const bool unicode = challenge.flags & kNegotiateUnicode;
    const auto text = [unicode](const QString& s) { return unicode ? utf16le(s) : s.toLatin1(); };
    const QByteArray fields[] = {lm, nt, text(domain), text(user), QByteArray()};
    QByteArray head = header(3);
    QByteArray payload;
    const quint32 start = 64;
    for (const QByteArray& field : fields) {
        head += le16(quint16(field.size())) + le16(quint16(field.size())) + le32(start + payload.size());
        payload += field;
    }
    head += le16(0) + le16(0) + le32(start + payload.size()); // no session key
    const quint32 flags =
        (challenge.flags & (kNegotiateUnicode | kNegotiateOem | kNegotiateNtlm | kAlwaysSign |
                            kExtendedSessionSecurity | kNegotiateTargetInfo | kNegotiate128 | kNegotiate56));
    head += le32(flags);
    return head + payload;
}

quint64 Ntlm::currentTimestamp() {
    const quint64 ms = quint64(QDateTime::currentMSecsSinceEpoch());
    return (ms / 1000 + kEpochDifference) * 10000000ULL + (ms % 1000) * 10000ULL;
}

} // namespace platform::net
