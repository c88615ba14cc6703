#pragma once

#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

// One choice of a proxy auto-configuration script's answer ("PROXY host:port", "SOCKS host:port", "DIRECT").
struct ReqProxyChoice {
    enum class Type { Direct, Http, Socks };
    Type type = Type::Direct;
    QString host;
    int port = 0;
    friend bool operator==(const ReqProxyChoice&, const ReqProxyChoice&) = default;
};

// Runs proxy auto-configuration scripts. A script comes from the network, so it runs in a bare script
// engine (no file or network access beyond the helpers' name lookups, each bounded by the time left) and is
// interrupted after the time limit.
class ReqPACScript {
public:
    // The choices FindProxyForURL(url, host) names, in order; nothing when the script does not load, fails,
    // runs past `timeOutSeconds` or names no choice.
    static std::optional<QList<ReqProxyChoice>> proxiesForURL(const QString& script, const QUrl& url,
                                                              double timeOutSeconds);
    // "PROXY a:8080; SOCKS b:1080; DIRECT": entries that do not parse are left out.
    static QList<ReqProxyChoice> parseProxyList(const QString& answer);
};
