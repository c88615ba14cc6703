#pragma once

#include <mutex>
#include <utility>

namespace platform {

// A value that several threads read and write, with the one mutex that guards it. get() answers a copy,
// set() replaces it, with() runs a function on it under the lock (for reads and writes that must see or
// change several parts at once). A class whose fields threads share keeps them in one struct inside one
// Guarded, and reads or writes a single field with get(&Fields::field) / set(&Fields::field, value).
// Functions given to with() must not call back into the same Guarded. A value replaced by set() is destroyed
// once the lock is let go: its destructor may take locks of its own.
template <class T> class Guarded {
public:
    Guarded() = default;
    explicit Guarded(T initial) : value(std::move(initial)) {}
    Guarded(const Guarded&) = delete;
    Guarded& operator=(const Guarded&) = delete;

    T get() const {
        const std::lock_guard lock(mutex);
        return value;
    }
    void set(T replacement) {
        {
            const std::lock_guard lock(mutex);
            std::swap(value, replacement);
        }
    }

    template <class M> M get(M T::*field) const {
        const std::lock_guard lock(mutex);
        return value.*field;
    }
    template <class M, class V> void set(M T::*field, V&& replacement) {
        M given(std::forward<V>(replacement));
        {
            const std::lock_guard lock(mutex);
            std::swap(value.*field, given);
        }
    }

    template <class F> decltype(auto) with(F&& function) {
        const std::lock_guard lock(mutex);
        return std::forward<F>(function)(value);
    }
    template <class F> decltype(auto) with(F&& function) const {
        const std::lock_guard lock(mutex);
        return std::forward<F>(function)(value);
    }

private:
    mutable std::mutex mutex;
    T value{};
};

} // namespace platform
