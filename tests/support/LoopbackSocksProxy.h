#pragma once

// A SOCKS5 proxy on 127.0.0.1 for network tests: it accepts clients that ask for no authentication, logs
// each "CONNECT host:port" asked for, and tunnels to 127.0.0.1 at the port asked for, or at one fixed port
// for every target (so that names such as "example.test" reach a loopback server).

#include <QString>
#include <QStringList>
#include <QUrl>

#include <memory>
#include <mutex>

namespace test_support {

class AcceptLoop;
class Connection;

class LoopbackSocksProxy {
public:
    explicit LoopbackSocksProxy(int everyTargetToPort = 0);
    ~LoopbackSocksProxy();
    LoopbackSocksProxy(const LoopbackSocksProxy&) = delete;
    LoopbackSocksProxy& operator=(const LoopbackSocksProxy&) = delete;

    int port() const;
    QUrl url() const; // socks5://127.0.0.1:<port>
    QStringList log() const;
    int connectionCount() const;

private:
    void serve(std::shared_ptr<Connection> client);

    int fixedPort;
    mutable std::mutex mutex;
    QStringList entries;
    std::unique_ptr<AcceptLoop> connections; // last: its threads use the members above
};

} // namespace test_support
