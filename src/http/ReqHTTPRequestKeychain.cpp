// Credentials kept across runs: one keychain item per protection space (server: protocol, host, port and
// realm; proxy: host, port and realm), holding the user name and the password.

#include "http/ReqHTTPRequest.h"

#include "platform/keychain/Keychain.h"

namespace {

constexpr char kServerService[] = "Vistrelle HTTP credentials";
constexpr char kProxyService[] = "Vistrelle HTTP proxy credentials";

QString serverSpace(const QString& host, int port, const QString& protocol, const QString& realm) {
    return QStringLiteral("%1://%2:%3 %4").arg(protocol.toLower(), host.toLower()).arg(port).arg(realm);
}

QString proxySpace(const QString& host, int port, const QString& realm) {
    return QStringLiteral("%1:%2 %3").arg(host.toLower()).arg(port).arg(realm);
}

QByteArray encode(const ReqURLCredential& credential) {
    return credential.user.toUtf8().toPercentEncoding() + '&' +
           credential.password.toUtf8().toPercentEncoding();
}

std::optional<ReqURLCredential> decode(const QByteArray& stored) {
    const QList<QByteArray> parts = stored.split('&');
    if (parts.size() != 2)
        return std::nullopt;
    return ReqURLCredential{QString::fromUtf8(QByteArray::fromPercentEncoding(parts[0])),
                            QString::fromUtf8(QByteArray::fromPercentEncoding(parts[1]))};
}

void save(const char* service, const QString& space, const ReqURLCredential& credential) {
    if (const auto keychain = platform::keychain::Keychain::defaultKeychain())
        keychain->addGenericPassword(QString::fromLatin1(service), space, encode(credential));
}

std::optional<ReqURLCredential> find(const char* service, const QString& space) {
    const auto keychain = platform::keychain::Keychain::defaultKeychain();
    QByteArray stored;
    if (!keychain || keychain->findGenericPassword(QString::fromLatin1(service), space, &stored) !=
                         platform::keychain::Status::Success)
        return std::nullopt;
    return decode(stored);
}

void remove(const char* service, const QString& space) {
    if (const auto keychain = platform::keychain::Keychain::defaultKeychain())
        keychain->deleteGenericPassword(QString::fromLatin1(service), space);
}

} // namespace

void ReqHTTPRequest::saveCredentials(const ReqURLCredential& credential, const QString& host, int port,
                                     const QString& protocol, const QString& realm) {
    save(kServerService, serverSpace(host, port, protocol, realm), credential);
}

void ReqHTTPRequest::saveCredentialsForProxy(const ReqURLCredential& credential, const QString& host,
                                             int port, const QString& realm) {
    save(kProxyService, proxySpace(host, port, realm), credential);
}

std::optional<ReqURLCredential> ReqHTTPRequest::savedCredentialsForHost(const QString& host, int port,
                                                                        const QString& protocol,
                                                                        const QString& realm) {
    return find(kServerService, serverSpace(host, port, protocol, realm));
}

// The protocol plays no part for a proxy: its space is always the HTTP proxy's.
std::optional<ReqURLCredential> ReqHTTPRequest::savedCredentialsForProxy(const QString& host, int port,
                                                                         const QString&,
                                                                         const QString& realm) {
    return find(kProxyService, proxySpace(host, port, realm));
}

void ReqHTTPRequest::removeCredentialsForHost(const QString& host, int port, const QString& protocol,
                                              const QString& realm) {
    remove(kServerService, serverSpace(host, port, protocol, realm));
}

void ReqHTTPRequest::removeCredentialsForProxy(const QString& host, int port, const QString& realm) {
    remove(kProxyService, proxySpace(host, port, realm));
}
