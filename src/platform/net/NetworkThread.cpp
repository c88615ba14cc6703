#include "platform/net/NetworkThread.h"

#include "platform/foundation/ChildProcess.h"
#include "platform/net/CurlTransfer.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>

namespace platform::net {

NetworkThread& NetworkThread::shared() {
    static NetworkThread networkThread;
    return networkThread;
}

NetworkThread::NetworkThread() {
    // With signals off for curl (its time-outs would need them), a TLS write to a peer that has gone raises
    // SIGPIPE instead of failing; the process ignores it.
    ignoreSigpipe();
    curl_global_init(CURL_GLOBAL_DEFAULT);
    multi = curl_multi_init();
    thread = std::thread([this] { run(); });
}

NetworkThread::~NetworkThread() {
    {
        std::lock_guard lock(mutex);
        quitting = true;
    }
    curl_multi_wakeup(multi);
    thread.join();
    for (auto& [id, transfer] : running)
        curl_multi_remove_handle(multi, transfer->handle());
    running.clear();
    curl_multi_cleanup(multi);
}

NetworkThread::TransferId NetworkThread::add(std::unique_ptr<CurlTransfer> transfer) {
    TransferId id = 0;
    {
        std::lock_guard lock(mutex);
        id = nextId++;
        toAdd.emplace_back(id, std::move(transfer));
    }
    curl_multi_wakeup(multi);
    return id;
}

void NetworkThread::remove(TransferId id) {
    {
        std::lock_guard lock(mutex);
        toRemove.push_back(id);
    }
    curl_multi_wakeup(multi);
}

void NetworkThread::resume(TransferId id) {
    {
        std::lock_guard lock(mutex);
        toResume.push_back(id);
    }
    curl_multi_wakeup(multi);
}

void NetworkThread::takeCommands() {
    std::vector<std::pair<TransferId, std::unique_ptr<CurlTransfer>>> adding;
    std::vector<TransferId> removing;
    std::vector<TransferId> resuming;
    {
        std::lock_guard lock(mutex);
        adding.swap(toAdd);
        removing.swap(toRemove);
        resuming.swap(toResume);
    }
    for (auto& [id, transfer] : adding) {
        if (!transfer->handle()) {
            transfer->completed(CURLE_FAILED_INIT);
            continue;
        }
        curl_multi_add_handle(multi, transfer->handle());
        running.emplace(id, std::move(transfer));
    }
    for (TransferId id : removing) {
        auto found = running.find(id);
        if (found == running.end())
            continue;
        curl_multi_remove_handle(multi, found->second->handle());
        running.erase(found);
    }
    for (TransferId id : resuming) {
        const auto found = running.find(id);
        if (found == running.end())
            continue;
        if (const int result = found->second->resume(); result != CURLE_OK) {
            curl_multi_remove_handle(multi, found->second->handle());
            found->second->completed(result);
            running.erase(found);
        }
    }
}

void NetworkThread::finishDone() {
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
        if (message->msg != CURLMSG_DONE)
            continue;
        auto found = std::find_if(running.begin(), running.end(), [&](const auto& entry) {
            return entry.second->handle() == message->easy_handle;
        });
        if (found == running.end())
            continue;
        const CURLcode result = message->data.result;
        curl_multi_remove_handle(multi, found->second->handle());
        found->second->completed(result);
        running.erase(found);
    }
}

void NetworkThread::endIdle() {
    const auto now = CurlTransfer::Clock::now();
    for (auto it = running.begin(); it != running.end();) {
        if (it->second->isPaused() || now < it->second->idleDeadline()) {
            ++it;
            continue;
        }
        curl_multi_remove_handle(multi, it->second->handle());
        it->second->failIdle();
        it = running.erase(it);
    }
}

int NetworkThread::pollTimeoutMs() const {
    long curlTimeout = -1;
    curl_multi_timeout(multi, &curlTimeout);
    long timeout = curlTimeout < 0 ? 1000 : std::min(curlTimeout, 1000L);
    const auto now = CurlTransfer::Clock::now();
    for (const auto& [id, transfer] : running) {
        if (transfer->isPaused())
            continue;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(transfer->idleDeadline() - now);
        timeout = std::min<long>(timeout, std::max<long>(1, long(left.count()) + 1));
    }
    return int(std::max(timeout, 0L));
}

void NetworkThread::run() {
    while (true) {
        {
            std::lock_guard lock(mutex);
            if (quitting)
                return;
        }
        takeCommands();
        int active = 0;
        curl_multi_perform(multi, &active);
        finishDone();
        endIdle();
        curl_multi_poll(multi, nullptr, 0, pollTimeoutMs(), nullptr);
    }
}

} // namespace platform::net
