// Where a request's stream goes: through which proxy, and over which kept connection.

#include "http/ReqHTTPRequest.h"

#include "http/ReqClassState.h"
#include "platform/net/HttpReadStream.h"
#include "platform/net/NetworkEnvironment.h"

using platform::net::HttpReadStream;
using platform::net::ProxySettings;

bool ReqHTTPRequest::configureProxies() {
    if (isPACFileRequest() || !proxyHost().isEmpty() || proxyPort() != 0)
        return true;
    if (!PACurl().isEmpty()) {
        fetchPACFile();
        return false;
    }
    const QUrl proxy = platform::net::NetworkEnvironment::current().proxyForUrl(url());
    if (proxy.isEmpty())
        return true;
    setProxyHost(proxy.host());
    setProxyPort(proxy.port());
    setProxyType(QString::fromLatin1(proxy.scheme().startsWith(QLatin1String("socks")) ? kReqProxyTypeSOCKS
                                                                                       : kReqProxyTypeHTTP));
    if (proxyUsername().isEmpty() && !proxy.userName().isEmpty()) {
        setProxyUsername(proxy.userName());
        setProxyPassword(proxy.password());
    }
    return true;
}

ProxySettings ReqHTTPRequest::streamProxy() const {
    ProxySettings settings;
    if (proxyHost().isEmpty() || proxyPort() == 0)
        return settings;
    settings.type = proxyType() == QLatin1String(kReqProxyTypeSOCKS) ? ProxySettings::Type::Socks
                                                                     : ProxySettings::Type::Http;
    settings.host = proxyHost();
    settings.port = proxyPort();
    return settings;
}

void ReqHTTPRequest::expirePersistentConnections() {
    ReqClassState& state = ReqClassState::shared();
    std::lock_guard poolLock(state.poolLock);
    const double now = ReqClassState::now();
    std::erase_if(state.connectionPool, [now](const std::shared_ptr<ReqConnectionRecord>& record) {
        if (record->request || !record->expires || *record->expires > now)
            return false;
        if (record->stream)
            record->stream->close();
        return true;
    });
}

int ReqHTTPRequest::persistentConnectionCount() {
    ReqClassState& state = ReqClassState::shared();
    std::lock_guard poolLock(state.poolLock);
    return int(state.connectionPool.size());
}

std::optional<int> ReqHTTPRequest::connectionID() const {
    const auto record = connectionInfo();
    return record ? std::optional<int>(record->id) : std::nullopt;
}

bool ReqHTTPRequest::chooseConnection(const std::shared_ptr<HttpReadStream>& stream,
                                      std::shared_ptr<HttpReadStream>& oldStream) {
    expirePersistentConnections();
    ReqClassState& state = ReqClassState::shared();
    std::lock_guard poolLock(state.poolLock);
    const QUrl target = url();
    const int port = target.port() < 0 ? 0 : target.port();
    if (target.host().isEmpty() || target.scheme().isEmpty()) {
        setConnectionInfo(nullptr);
        setShouldAttemptPersistentConnection(false);
    }
    if (!shouldAttemptPersistentConnection()) {
        stream->setAttemptPersistentConnection(false);
        return false;
    }
    const auto sameServer = [&](const ReqConnectionRecord& record) {
        return record.host == target.host() && record.scheme == target.scheme() && record.port == port;
    };
    std::shared_ptr<ReqConnectionRecord> record = connectionInfo();
    if (record && !sameServer(*record)) {
        record.reset();
    } else if (record && record->expires && *record->expires <= ReqClassState::now()) {
        std::erase(state.connectionPool, record);
        record.reset();
    } else if (record && record->request) {
        record.reset();
    }
    if (!record)
        for (const auto& candidate : state.connectionPool)
            if (!candidate->request && sameServer(*candidate))
                record = candidate; // the last idle one wins
    if (record) {
        oldStream = record->stream;
    } else {
        record = std::make_shared<ReqConnectionRecord>();
        record->id = ++state.nextConnectionNumber;
        record->host = target.host();
        record->port = port;
        record->scheme = target.scheme();
        state.connectionPool.push_back(record);
    }
    if (!requestID())
        setRequestID(++state.nextRequestNumber);
    record->request = requestID();
    record->stream = stream;
    setConnectionInfo(record);
    stream->setAttemptPersistentConnection(true);
    return true;
}
