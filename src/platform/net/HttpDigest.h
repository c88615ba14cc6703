#pragma once

#include <QByteArray>
#include <QString>

namespace platform::net {

// The arithmetic of Digest access authentication: MD5, MD5-sess, SHA-256 and SHA-256-sess, with and
// without qop "auth". Pure functions, so the published examples can be checked against them.
struct HttpDigestInput {
    QByteArray algorithm; // as the challenge named it; empty means MD5
    QString username;
    QString password;
    QByteArray realm;
    QByteArray nonce;
    QByteArray method;
    QByteArray uri;
    QByteArray qop;        // "auth" or empty (the old form without qop)
    QByteArray nonceCount; // eight hexadecimal digits, "00000001"
    QByteArray clientNonce;
};

class HttpDigest {
public:
    // Whether the algorithm is one this client can answer.
    static bool supportsAlgorithm(const QByteArray& algorithm);
    // The "response" value: lower-case hexadecimal.
    static QByteArray response(const HttpDigestInput& input);
};

} // namespace platform::net
