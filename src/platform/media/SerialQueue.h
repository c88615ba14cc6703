#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <thread>

namespace platform::media {

// A worker thread that runs the jobs posted to it one after another, in the order they were posted.
// post() may be called from any thread, also from a job.
class SerialQueue {
public:
    explicit SerialQueue(QString name);
    // Runs the jobs already posted, then ends the thread.
    ~SerialQueue();
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    QString name() const;
    void post(std::function<void()> job);
    // Blocks until every job posted before the call has run. Called from a job of this queue it returns
    // at once, as waiting there would never end.
    void waitUntilIdle();
    bool isCurrentThread() const;

private:
    struct State;
    std::shared_ptr<State> state; // shared with the worker, which may outlive a queue let go by its own job
    std::thread worker;
};

} // namespace platform::media
