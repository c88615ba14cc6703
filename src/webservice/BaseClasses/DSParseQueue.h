#pragma once

#include <functional>
#include <memory>
#include <thread>

// The worker thread on which a service parses its replies, one operation at a time in the order added. The
// thread starts with the first operation; operations not yet run when the queue goes are dropped.
class DSParseQueue {
public:
    DSParseQueue();
    // Waits for the running operation, unless the queue goes from inside one.
    ~DSParseQueue();
    DSParseQueue(const DSParseQueue&) = delete;
    DSParseQueue& operator=(const DSParseQueue&) = delete;

    void addOperation(std::function<void()> operation);

private:
    struct State;
    static void run(const std::shared_ptr<State>& state);

    std::shared_ptr<State> state;
    std::thread worker;
};
