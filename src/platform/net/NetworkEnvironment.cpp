#include "platform/net/NetworkEnvironment.h"

#include <QHostAddress>
#include <QRegularExpression>

#include <mutex>

namespace platform::net {

namespace {

std::mutex currentMutex;
std::optional<NetworkEnvironment> replacement;
std::optional<NetworkEnvironment> replacementSlot(bool read, std::optional<NetworkEnvironment> value = {}) {
    std::lock_guard lock(currentMutex);
    if (!read)
        replacement = std::move(value);
    return replacement;
}

QUrl proxyUrl(const QByteArray& text) {
    QString value = QString::fromLocal8Bit(text).trimmed();
    if (value.isEmpty())
        return QUrl();
    if (!value.contains(QLatin1String("://")))
        value.prepend(QLatin1String("http://"));
    QUrl url(value);
    if (!url.isValid() || url.host().isEmpty())
        return QUrl();
    if (url.port() < 0)
        url.setPort(1080);
    return url;
}

QByteArray firstSet(const NetworkEnvironment::Getenv& getenv, std::initializer_list<const char*> names) {
    for (const char* name : names) {
        const QByteArray value = getenv(name);
        if (!value.trimmed().isEmpty())
            return value;
    }
    return QByteArray();
}

// One "no_proxy" entry against a host (lower case, IPv6 without brackets) and port.
bool entryMatches(QString entry, const QString& host, int port) {
    if (entry == u'*')
        return true;
    int entryPort = -1;
    if (entry.startsWith(u'[')) {
        const qsizetype close = entry.indexOf(u']');
        if (close < 0)
            return false;
        if (entry.mid(close + 1).startsWith(u':'))
            entryPort = entry.mid(close + 2).toInt();
        entry = entry.mid(1, close - 1);
    } else if (entry.count(u':') == 1) {
        entryPort = entry.section(u':', 1).toInt();
        entry = entry.section(u':', 0, 0);
    }
    if (entryPort > 0 && entryPort != port)
        return false;

    const QHostAddress hostAddress(host);
    if (entry.contains(u'/')) {
        const auto subnet = QHostAddress::parseSubnet(entry);
        return !hostAddress.isNull() && subnet.second >= 0 && hostAddress.isInSubnet(subnet);
    }
    if (const QHostAddress entryAddress(entry); !entryAddress.isNull())
        return entryAddress.isEqual(hostAddress);
    while (entry.startsWith(QLatin1String("*.")))
        entry.remove(0, 2);
    while (entry.startsWith(u'.'))
        entry.remove(0, 1);
    if (entry.isEmpty())
        return false;
    return host == entry || host.endsWith(u'.' + entry);
}

} // namespace

NetworkEnvironment NetworkEnvironment::fromEnvironment(const Getenv& getenv) {
    const Getenv read = getenv ? getenv : [](const char* name) { return qgetenv(name); };
    NetworkEnvironment environment;
    environment.httpProxy = proxyUrl(firstSet(read, {"http_proxy"}));
    environment.httpsProxy = proxyUrl(firstSet(read, {"https_proxy", "HTTPS_PROXY"}));
    environment.allProxy = proxyUrl(firstSet(read, {"all_proxy", "ALL_PROXY"}));
    environment.noProxy = QString::fromLocal8Bit(firstSet(read, {"no_proxy", "NO_PROXY"})).trimmed();
    environment.caFile = QString::fromLocal8Bit(read("SSL_CERT_FILE")).trimmed();
    environment.caDirectory = QString::fromLocal8Bit(read("SSL_CERT_DIR")).trimmed();
    return environment;
}

NetworkEnvironment NetworkEnvironment::current() {
    if (auto replaced = replacementSlot(true))
        return *replaced;
    return fromEnvironment();
}

void NetworkEnvironment::setCurrent(std::optional<NetworkEnvironment> environment) {
    replacementSlot(false, std::move(environment));
}

bool NetworkEnvironment::bypassesProxy(const QUrl& url) const {
    const QString host = url.host().toLower();
    if (host.isEmpty() || noProxy.isEmpty())
        return false;
    const int port =
        url.port(url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 ? 443 : 80);
    const QStringList entries =
        noProxy.toLower().split(QRegularExpression(QStringLiteral("[,\\s]+")), Qt::SkipEmptyParts);
    for (const QString& entry : entries)
        if (entryMatches(entry, host, port))
            return true;
    return false;
}

QUrl NetworkEnvironment::proxyForUrl(const QUrl& url) const {
    if (url.host().isEmpty() || bypassesProxy(url))
        return QUrl();
    const QString scheme = url.scheme().toLower();
    if (scheme == u"https" && !httpsProxy.isEmpty())
        return httpsProxy;
    if (scheme == u"http" && !httpProxy.isEmpty())
        return httpProxy;
    return allProxy;
}

ScopedNetworkEnvironment::ScopedNetworkEnvironment(const NetworkEnvironment& environment)
    : previous(replacementSlot(true)) {
    NetworkEnvironment::setCurrent(environment);
}

ScopedNetworkEnvironment::~ScopedNetworkEnvironment() {
    NetworkEnvironment::setCurrent(previous);
}

} // namespace platform::net
