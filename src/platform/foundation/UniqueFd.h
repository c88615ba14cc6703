#pragma once

#include <unistd.h>

#include <utility>

namespace platform {

// Sole owner of a POSIX file descriptor; closes it when it goes.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : m_fd(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return m_fd; }
    bool isValid() const { return m_fd >= 0; }
    explicit operator bool() const { return isValid(); }
    int release() { return std::exchange(m_fd, -1); }

    // Closes the descriptor held so far; the answer of close(), which matters after writes.
    int reset(int fd = -1) {
        const int old = std::exchange(m_fd, fd);
        return old >= 0 ? ::close(old) : 0;
    }

private:
    int m_fd = -1;
};

} // namespace platform
