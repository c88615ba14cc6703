#include "support/LoopbackSocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <openssl/ssl.h>

#include <poll.h>

#include <cerrno>

namespace test_support {

namespace {

sockaddr_in loopbackAddress(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

constexpr qsizetype kMaximumHead = 64 * 1024;

} // namespace

ListeningSocket::ListeningSocket() : socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    const int yes = 1;
    ::setsockopt(socket.get(), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address = loopbackAddress(0);
    if (::bind(socket.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(socket.get(), 64) != 0) {
        socket.reset();
        return;
    }
    socklen_t length = sizeof address;
    ::getsockname(socket.get(), reinterpret_cast<sockaddr*>(&address), &length);
    boundPort = ntohs(address.sin_port);
}

platform::UniqueFd ListeningSocket::accept() {
    while (true) {
        const int fd = ::accept4(socket.get(), nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0) {
            const int yes = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
            return platform::UniqueFd(fd);
        }
        if (errno != EINTR)
            return platform::UniqueFd();
    }
}

void ListeningSocket::shutdown() {
    ::shutdown(socket.get(), SHUT_RDWR);
}

Connection::Connection(platform::UniqueFd fd) : socket(std::move(fd)) {}

Connection::~Connection() {
    if (ssl)
        SSL_free(ssl);
}

bool Connection::acceptTls(SSL_CTX* context) {
    ssl = SSL_new(context);
    SSL_set_fd(ssl, socket.get());
    return SSL_accept(ssl) == 1;
}

qint64 Connection::read(char* buffer, qint64 max) {
    if (ssl) {
        const int n = SSL_read(ssl, buffer, int(std::min<qint64>(max, 1 << 20)));
        return n > 0 ? n : 0;
    }
    while (true) {
        const ssize_t n = ::recv(socket.get(), buffer, size_t(max), 0);
        if (n >= 0)
            return n;
        if (errno != EINTR)
            return 0;
    }
}

bool Connection::writeAll(const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        if (ssl) {
            const int n = SSL_write(ssl, bytes.constData() + done, int(bytes.size() - done));
            if (n <= 0)
                return false;
            done += n;
            continue;
        }
        const ssize_t n =
            ::send(socket.get(), bytes.constData() + done, size_t(bytes.size() - done), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

void Connection::shutdown() {
    ::shutdown(socket.get(), SHUT_RDWR);
}

AcceptLoop::AcceptLoop(std::function<void(std::shared_ptr<Connection>)> serve)
    : serve(std::move(serve)), listener(std::make_unique<ListeningSocket>()) {
    threads.emplace_back([this] { run(); });
}

AcceptLoop::~AcceptLoop() {
    {
        std::lock_guard lock(mutex);
        stopping = true;
    }
    listener->shutdown();
    threads[0].join();
    std::vector<std::thread> rest;
    {
        std::lock_guard lock(mutex);
        for (const auto& weak : open)
            if (auto connection = weak.lock())
                connection->shutdown();
        rest.assign(std::make_move_iterator(threads.begin() + 1), std::make_move_iterator(threads.end()));
    }
    for (std::thread& thread : rest)
        thread.join();
}

int AcceptLoop::port() const {
    return listener->port();
}

int AcceptLoop::acceptedCount() const {
    std::lock_guard lock(mutex);
    return accepted;
}

void AcceptLoop::track(const std::shared_ptr<Connection>& connection) {
    std::lock_guard lock(mutex);
    open.push_back(connection);
}

void AcceptLoop::run() {
    while (true) {
        platform::UniqueFd fd = listener->accept();
        std::lock_guard lock(mutex);
        if (!fd.isValid() || stopping)
            return;
        ++accepted;
        auto connection = std::make_shared<Connection>(std::move(fd));
        open.push_back(connection);
        threads.emplace_back([this, connection] { serve(connection); });
    }
}

platform::UniqueFd connectToLoopback(int port) {
    platform::UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address = loopbackAddress(port);
    if (::connect(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return platform::UniqueFd();
    return fd;
}

void pump(Connection& client, Connection& server, QByteArray pending) {
    if (!pending.isEmpty() && !server.writeAll(pending))
        return;
    char buffer[16384];
    pollfd fds[2] = {{client.fd(), POLLIN, 0}, {server.fd(), POLLIN, 0}};
    while (::poll(fds, 2, -1) > 0) {
        for (int i = 0; i < 2; ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            Connection& from = i == 0 ? client : server;
            Connection& to = i == 0 ? server : client;
            const qint64 n = from.read(buffer, sizeof buffer);
            if (n <= 0 || !to.writeAll(QByteArray(buffer, n)))
                return;
        }
    }
}

bool MessageReader::fill() {
    char chunk[16384];
    const qint64 n = connection.read(chunk, sizeof chunk);
    if (n <= 0)
        return false;
    buffer.append(chunk, n);
    return true;
}

std::optional<QByteArray> MessageReader::readHead() {
    while (true) {
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end >= 0) {
            const QByteArray head = buffer.left(end + 4);
            buffer.remove(0, end + 4);
            return head;
        }
        if (buffer.size() > kMaximumHead || !fill())
            return std::nullopt;
    }
}

std::optional<QByteArray> MessageReader::readBody(qint64 length) {
    while (buffer.size() < length)
        if (!fill())
            return std::nullopt;
    const QByteArray body = buffer.left(length);
    buffer.remove(0, length);
    return body;
}

std::optional<QByteArray> MessageReader::readLine() {
    while (true) {
        const qsizetype end = buffer.indexOf("\r\n");
        if (end >= 0) {
            const QByteArray line = buffer.left(end);
            buffer.remove(0, end + 2);
            return line;
        }
        if (buffer.size() > kMaximumHead || !fill())
            return std::nullopt;
    }
}

std::optional<QByteArray> MessageReader::readChunkedBody() {
    QByteArray body;
    while (true) {
        const std::optional<QByteArray> sizeLine = readLine();
        if (!sizeLine)
            return std::nullopt;
        bool ok = false;
        const qint64 size = sizeLine->split(';').first().trimmed().toLongLong(&ok, 16);
        if (!ok || size < 0)
            return std::nullopt;
        if (size == 0) {
            // Trailer fields, then the empty line.
            while (true) {
                const std::optional<QByteArray> line = readLine();
                if (!line)
                    return std::nullopt;
                if (line->isEmpty())
                    return body;
            }
        }
        const std::optional<QByteArray> chunk = readBody(size + 2);
        if (!chunk)
            return std::nullopt;
        body += chunk->left(size);
    }
}

} // namespace test_support
