#pragma once

#include "http/ReqCacheDelegate.h"
#include "http/ReqConnectionRecord.h"
#include "http/ReqSessionCredentials.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/net/Cookie.h"

#include <QList>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

// The state of the request class, made once on first use: its locks, the pool of kept connections, the
// session stores, the shared queue (four requests at a time).
struct ReqClassState {
    std::recursive_mutex poolLock;
    std::recursive_mutex progressUpdateLock;
    std::recursive_mutex cookieStoreLock;
    std::recursive_mutex credentialStoreLock;
    std::recursive_mutex credentialPromptLock;
    // In place of synchronizing on the class: the User-Agent, the default cache, the network thread.
    std::mutex classLock;

    std::vector<std::shared_ptr<ReqConnectionRecord>> connectionPool;
    int nextConnectionNumber = 0;
    unsigned nextRequestNumber = 0;
    unsigned activeStreamCount = 0;
    bool shouldUpdateNetworkActivityIndicator = true;

    std::atomic<double> defaultTimeOutSeconds{120.0};
    std::optional<QList<ReqSessionCredentials>> sessionCredentials;
    std::optional<QList<ReqSessionCredentials>> sessionProxyCredentials;
    std::optional<QList<platform::net::Cookie>> sessionCookies;
    std::optional<QString> defaultUserAgent;
    std::shared_ptr<ReqCacheDelegate> defaultCache;

    platform::OperationQueue sharedQueue{4};

    static ReqClassState& shared();
    // Monotonic seconds, the clock of activity times and connection expiry.
    static double now();
    // For tests: a clock of their own (nullptr: the system's again), so that a time-out comes when they say.
    static void setClockForTesting(std::shared_ptr<platform::Clock> clock);
};
