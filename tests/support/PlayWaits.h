#pragma once

#include "render/SlideshowDirector.h"

#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

// Tells a test which threads of a play wait, and when: the player asks its cancel test on entering every
// wait of a play and on every poll of it (the slide loader's for a slide not ready, a frame's for a slide
// not loaded), with the driver lock and the view's context let go. Installed as the player's cancel test,
// which never cancels.
class PlayWaits {
public:
    explicit PlayWaits(SlideshowDirector& player) : player(player) {
        player.setCancelCheck([this, aliveCount = alive] {
            thread_local ThreadMark mark;
            mark.countIn(aliveCount);
            {
                const std::lock_guard lock(mutex);
                ++asks[std::this_thread::get_id()];
            }
            changed.notify_all();
            return false;
        });
    }
    ~PlayWaits() { player.setCancelCheck({}); }
    PlayWaits(const PlayWaits&) = delete;
    PlayWaits& operator=(const PlayWaits&) = delete;

    // Until `count` threads have waited (a loader and a frame waiting for the same slide: two).
    void waitForThreads(std::size_t count) {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return asks.size() >= count; });
    }
    // How often `thread` has asked so far.
    int asksOf(std::thread::id thread) {
        const std::lock_guard lock(mutex);
        return asks[thread];
    }
    // Until `thread` asks again after `seen` asks: it still waits.
    void waitForAskAfter(std::thread::id thread, int seen) {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return asks[thread] > seen; });
    }
    // The threads that have asked and not ended yet: a thread has ended here before a join of it returns.
    int threadsAlive() const { return alive->load(); }

private:
    // Counts its thread among those alive from its first ask until its thread-local objects go, as it ends.
    struct ThreadMark {
        std::shared_ptr<std::atomic<int>> counter;
        void countIn(const std::shared_ptr<std::atomic<int>>& alive) {
            if (counter == alive)
                return;
            if (counter)
                --*counter;
            counter = alive;
            ++*counter;
        }
        ~ThreadMark() {
            if (counter)
                --*counter;
        }
    };

    SlideshowDirector& player;
    std::mutex mutex;
    std::condition_variable changed;
    std::map<std::thread::id, int> asks;
    std::shared_ptr<std::atomic<int>> alive = std::make_shared<std::atomic<int>>(0);
};
