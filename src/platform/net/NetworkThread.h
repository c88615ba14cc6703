#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

typedef void CURLM;

namespace platform::net {

class CurlTransfer;

// The one thread on which every curl transfer of the process runs, on one curl multi handle. Transfers report
// through their own sinks; this thread only drives them, ends those that stay idle past their time-out, and
// drops those whose connection was cancelled.
class NetworkThread {
public:
    using TransferId = std::uint64_t;

    static NetworkThread& shared();

    TransferId add(std::unique_ptr<CurlTransfer> transfer);
    // Drops the transfer if it is still running; nothing more is reported for it.
    void remove(TransferId id);
    // Lets a transfer paused for its full receive queue go on.
    void resume(TransferId id);

    NetworkThread(const NetworkThread&) = delete;
    NetworkThread& operator=(const NetworkThread&) = delete;
    ~NetworkThread();

private:
    NetworkThread();
    void run();
    void takeCommands();
    void finishDone();
    void endIdle();
    int pollTimeoutMs() const;

    std::mutex mutex;
    std::vector<std::pair<TransferId, std::unique_ptr<CurlTransfer>>> toAdd;
    std::vector<TransferId> toRemove;
    std::vector<TransferId> toResume;
    bool quitting = false;
    TransferId nextId = 1;

    CURLM* multi = nullptr;
    std::map<TransferId, std::unique_ptr<CurlTransfer>> running; // network thread only
    std::thread thread;
};

} // namespace platform::net
