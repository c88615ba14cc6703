#pragma once

#include <csignal>
#include <sys/resource.h>

namespace test_support {

// Caps the size of files this process may write, for one scope, so that writes fail part-way with EFBIG as
// on a full disk, even for root (whom permission bits do not stop).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        // Going past the limit also raises SIGXFSZ, which would end the test program.
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigaction(SIGXFSZ, &ignore, &oldAction);
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit limited = old;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old);
        sigaction(SIGXFSZ, &oldAction, nullptr);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit old{};
    struct sigaction oldAction {};
};

} // namespace test_support
