#pragma once

#include <sys/syscall.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

// Where another thread of this process sleeps, as the kernel tells it: for a test that must know that a
// thread waits for a lock before it goes on, without waiting for a time.
namespace test_support {

// The calling thread's id in the kernel, by which other threads look at it.
inline pid_t kernelThreadId() {
    return pid_t(::syscall(SYS_gettid));
}

// Whether `thread` sleeps in a futex wait (for a lock held elsewhere, or on a condition), on the word at
// `word` when one is given: a mutex's word is its first.
inline bool sleepsOnFutex(pid_t thread, const void* word = nullptr) {
    std::ifstream syscall("/proc/self/task/" + std::to_string(thread) + "/syscall");
    long number = -1;
    std::string firstArgument;
    if (!(syscall >> number >> firstArgument) || number != SYS_futex)
        return false; // "running", or another call
    return !word ||
           std::strtoull(firstArgument.c_str(), nullptr, 16) == reinterpret_cast<std::uintptr_t>(word);
}

// Until `thread` sleeps so.
inline void waitUntilSleepsOnFutex(pid_t thread, const void* word = nullptr) {
    while (!sleepsOnFutex(thread, word))
        std::this_thread::yield();
}

} // namespace test_support
