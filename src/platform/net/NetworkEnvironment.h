#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <optional>

namespace platform::net {

// Where requests go and whom they trust, as the standard environment of a Linux session says: proxies from
// "https_proxy", "http_proxy", "all_proxy" and "no_proxy" (each also in upper case, except "HTTP_PROXY",
// which any web server's CGI environment can set), and certificate authorities beyond the system store from
// "SSL_CERT_FILE" and "SSL_CERT_DIR". Both HTTP stacks take their decisions from here; a request's own
// proxy settings, where a stack offers them, come first.
class NetworkEnvironment {
public:
    using Getenv = std::function<QByteArray(const char* name)>;

    // Reads the variables through `getenv` (the process environment when not given).
    static NetworkEnvironment fromEnvironment(const Getenv& getenv = {});
    // No proxy and the system store alone.
    static NetworkEnvironment direct() { return NetworkEnvironment(); }

    // The set-up in force: the process environment, read at each call, unless replaced (tests replace it so
    // that the machine's own proxy settings never reach them).
    static NetworkEnvironment current();
    static void setCurrent(std::optional<NetworkEnvironment> environment);

    // The proxy to reach `url` through; an empty URL means a direct connection. A proxy named without a
    // scheme is an HTTP proxy; without a port it listens on 1080.
    QUrl proxyForUrl(const QUrl& url) const;
    // Whether "no_proxy" exempts this URL: "*", a host name (which also covers its subdomains, with or
    // without a leading "." or "*."), an IP address or an address range such as "10.0.0.0/8", each optionally
    // with
    // ":port"; entries are separated by commas or spaces and compared without regard to case.
    bool bypassesProxy(const QUrl& url) const;

    QUrl httpProxy;
    QUrl httpsProxy;
    QUrl allProxy;
    QString noProxy;
    QString caFile;      // a PEM bundle trusted beside the system store
    QString caDirectory; // a hashed folder of certificates trusted beside the system store

    friend bool operator==(const NetworkEnvironment&, const NetworkEnvironment&) = default;
};

// Replaces the current set-up for one scope and puts the previous one back.
class ScopedNetworkEnvironment {
public:
    explicit ScopedNetworkEnvironment(const NetworkEnvironment& environment);
    ~ScopedNetworkEnvironment();
    ScopedNetworkEnvironment(const ScopedNetworkEnvironment&) = delete;
    ScopedNetworkEnvironment& operator=(const ScopedNetworkEnvironment&) = delete;

private:
    std::optional<NetworkEnvironment> previous;
};

} // namespace platform::net
