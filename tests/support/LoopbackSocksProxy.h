#pragma once

// A SOCKS5 proxy on 127.0.0.1 for network tests: it accepts clients that ask for no authentication, logs
// each "CONNECT host:port" asked for, and tunnels to 127.0.0.1 at the port asked for, or at one fixed port
// for every target (so that names such as "example.test" reach a loopback server).

#include <QString>
#include <QStringList>
#include <QUrl>

#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace test_support {

class Connection;
class ListeningSocket;

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
    void acceptLoop();
    void serve(std::shared_ptr<Connection> client);

    int fixedPort;
    std::unique_ptr<ListeningSocket> listener;
    mutable std::mutex mutex;
    QStringList entries;
    int accepted = 0;
    std::vector<std::weak_ptr<Connection>> open;
    bool stopping = false;
    std::vector<std::thread> threads;
};

} // namespace test_support
