#pragma once

#include <mutex>

// A value that threads read and write whole, each access under its own small lock (the storage of a
// request's atomic properties).
template <typename T> class ReqGuarded {
public:
    ReqGuarded() = default;
    explicit ReqGuarded(T initial) : value(std::move(initial)) {}
    T get() const {
        std::lock_guard lock(mutex);
        return value;
    }
    void set(T newValue) {
        std::lock_guard lock(mutex);
        value = std::move(newValue);
    }
    // Runs `change` on the value under the lock.
    template <typename F> auto update(F&& change) {
        std::lock_guard lock(mutex);
        return change(value);
    }

private:
    mutable std::mutex mutex;
    T value{};
};
