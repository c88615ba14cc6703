#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>

namespace platform::net {

// One challenge of a "WWW-Authenticate" or "Proxy-Authenticate" field: the scheme, and either a token
// ("NTLM TlRMTVNTUAACAAAA...") or named parameters ("Digest realm=\"x\", nonce=\"y\"").
struct HttpChallenge {
    QByteArray scheme;
    QByteArray token;
    QMap<QByteArray, QByteArray> parameters; // names in lower case, quoted values unquoted

    bool isScheme(const char* name) const { return scheme.compare(name, Qt::CaseInsensitive) == 0; }
    QByteArray parameter(const QByteArray& name) const { return parameters.value(name.toLower()); }
};

// Every challenge of the given field values, in order. A field may hold several challenges separated by
// commas, and a server may send several fields. The values come from the network: whatever does not parse
// is skipped, never trusted.
QList<HttpChallenge> parseChallenges(const QList<QByteArray>& fieldValues);

} // namespace platform::net
