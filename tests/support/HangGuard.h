#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

// Stops the test's process, saying what hung, when the work done while it lives outlasts a bound far beyond
// that work's length: a deadlock then fails its test instead of holding up the whole suite. The bound is not
// a measure of speed; nothing waits for it unless the work hangs.
class HangGuard {
public:
    explicit HangGuard(std::string what, std::chrono::seconds bound = std::chrono::seconds(300))
        : work(std::move(what)) {
        watcher = std::thread([this, bound] {
            std::unique_lock lock(mutex);
            if (!ended.wait_for(lock, bound, [this] { return done; })) {
                std::fprintf(stderr, "Hung: %s did not end within %lld s\n", work.c_str(),
                             static_cast<long long>(bound.count()));
                std::fflush(stderr);
                std::abort();
            }
        });
    }
    ~HangGuard() {
        {
            const std::lock_guard lock(mutex);
            done = true;
        }
        ended.notify_all();
        watcher.join();
    }
    HangGuard(const HangGuard&) = delete;
    HangGuard& operator=(const HangGuard&) = delete;

private:
    std::string work;
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    std::thread watcher;
};
