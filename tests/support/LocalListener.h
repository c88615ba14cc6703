#pragma once

// A TCP listener on 127.0.0.1 that accepts and counts connections on a thread of its own and closes
// each at once: a test of something that must never go on the network sees whether it tried.

#include <QString>

#include <atomic>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace test_support {

class LocalListener {
public:
    LocalListener() {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(fd, 16) != 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        boundPort = ntohs(address.sin_port);
        thread = std::thread([this] { run(); });
    }
    ~LocalListener() {
        stop = true;
        if (thread.joinable())
            thread.join();
        if (fd >= 0)
            ::close(fd);
    }
    LocalListener(const LocalListener&) = delete;
    LocalListener& operator=(const LocalListener&) = delete;

    int port() const { return boundPort; }
    // "http://127.0.0.1:<port>/<path>".
    QString url(const QString& path) const {
        return QString("http://127.0.0.1:%1/%2").arg(boundPort).arg(path);
    }
    int connections() const { return accepted.load(); }

private:
    void run() {
        while (!stop) {
            pollfd ready{fd, POLLIN, 0};
            if (::poll(&ready, 1, 20) <= 0)
                continue;
            const int client = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (client >= 0) {
                ++accepted;
                ::close(client);
            }
        }
    }

    int fd = -1;
    int boundPort = 0;
    std::atomic<int> accepted{0};
    std::atomic<bool> stop{false};
    std::thread thread;
};

} // namespace test_support
