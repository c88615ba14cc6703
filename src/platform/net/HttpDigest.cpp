#include "platform/net/HttpDigest.h"

#include <QCryptographicHash>

namespace platform::net {

namespace {

QCryptographicHash::Algorithm hashOf(const QByteArray& algorithm) {
    return algorithm.toUpper().startsWith("SHA-256") ? QCryptographicHash::Sha256 : QCryptographicHash::Md5;
}

bool isSession(const QByteArray& algorithm) {
    return algorithm.toUpper().endsWith("-SESS");
}

} // namespace

bool HttpDigest::supportsAlgorithm(const QByteArray& algorithm) {
    const QByteArray name = algorithm.toUpper();
    return name.isEmpty() || name == "MD5" || name == "MD5-SESS" || name == "SHA-256" ||
           name == "SHA-256-SESS";
}

QByteArray HttpDigest::response(const HttpDigestInput& in) {
    const QCryptographicHash::Algorithm hash = hashOf(in.algorithm);
    const auto h = [hash](const QByteArray& text) { return QCryptographicHash::hash(text, hash).toHex(); };
    QByteArray ha1 = h(in.username.toUtf8() + ':' + in.realm + ':' + in.password.toUtf8());
    if (isSession(in.algorithm))
        ha1 = h(ha1 + ':' + in.nonce + ':' + in.clientNonce);
    const QByteArray ha2 = h(in.method + ':' + in.uri);
    if (in.qop.isEmpty())
        return h(ha1 + ':' + in.nonce + ':' + ha2);
    return h(ha1 + ':' + in.nonce + ':' + in.nonceCount + ':' + in.clientNonce + ':' + in.qop + ':' + ha2);
}

} // namespace platform::net
