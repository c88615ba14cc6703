#include "webservice/HTTPFetcher/NetHTTPFetcherService.h"

#include "platform/foundation/LoopContext.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>

namespace {

QString hostOf(const NetHTTPFetcher& fetcher) {
    return fetcher.mutableRequest() ? fetcher.mutableRequest()->url.host() : QString();
}

bool holds(const NetHTTPFetcherService::FetcherList& list, const NetHTTPFetcher& fetcher) {
    return std::any_of(list.begin(), list.end(), [&](const auto& held) { return held.get() == &fetcher; });
}

void removeFrom(NetHTTPFetcherService::FetcherList& list, const NetHTTPFetcher& fetcher) {
    std::erase_if(list, [&](const auto& held) { return held.get() == &fetcher; });
}

quint64 countAll(const QHash<QString, NetHTTPFetcherService::FetcherList>& hosts) {
    quint64 count = 0;
    for (const auto& list : hosts)
        count += list.size();
    return count;
}

} // namespace

NetHTTPFetcherService::NetHTTPFetcherService() : fetchHistory_(std::make_shared<NetHTTPFetchHistory>()) {}

NetHTTPFetcherService::~NetHTTPFetcherService() {
    detachAuthorizer();
}

std::shared_ptr<NetHTTPFetcher>
NetHTTPFetcherService::fetcherWithRequest(const platform::net::UrlRequest& request,
                                          const FetcherClass& fetcherClass) {
    std::shared_ptr<NetHTTPFetcher> fetcher =
        fetcherClass ? fetcherClass(request) : NetHTTPFetcher::fetcherWithRequest(request);
    fetcher->setFetchHistory(fetchHistory_);
    fetcher->setRunLoopModes(runLoopModes_);
    fetcher->setCookieStorageMethod(cookieStorageMethod_);
    fetcher->setCredential(credential_);
    fetcher->setProxyCredential(proxyCredential_);
    fetcher->setShouldFetchInBackground(shouldFetchInBackground_);
    fetcher->setAuthorizer(authorizer_);
    fetcher->setService(shared_from_this());
    return fetcher;
}

std::shared_ptr<NetHTTPFetcher>
NetHTTPFetcherService::fetcherWithRequest(const platform::net::UrlRequest& request) {
    return fetcherWithRequest(request, nullptr);
}

std::shared_ptr<NetHTTPFetcher> NetHTTPFetcherService::fetcherWithURL(const QUrl& url) {
    return fetcherWithRequest(platform::net::UrlRequest(url));
}

std::shared_ptr<NetHTTPFetcher> NetHTTPFetcherService::fetcherWithURLString(const QString& text) {
    return fetcherWithURL(QUrl(text));
}

bool NetHTTPFetcherService::fetcherShouldBeginFetching(const std::shared_ptr<NetHTTPFetcher>& fetcher) {
    std::lock_guard lock(mutex);
    const QString host = hostOf(*fetcher);
    if (host.isEmpty())
        return true;
    FetcherList& running = runningHosts_[host];
    if (holds(running, *fetcher))
        return true;
    fetcher->setServiceHost(host);
    fetcher->setThread(platform::LoopContext::current());
    if (maxRunningFetchersPerHost_ != 0 && running.size() >= maxRunningFetchersPerHost_) {
        delayedHosts_[host].push_back(fetcher);
        return false;
    }
    running.push_back(fetcher);
    return true;
}

void NetHTTPFetcherService::startDelayedFetchers(const QString& host,
                                                 std::vector<std::shared_ptr<NetHTTPFetcher>>& toStart) {
    FetcherList& delayed = delayedHosts_[host];
    FetcherList& running = runningHosts_[host];
    while (!delayed.empty() && running.size() < maxRunningFetchersPerHost_) {
        // Lowest priority value first; among equals, the one queued first.
        const auto next = std::min_element(delayed.begin(), delayed.end(), [](const auto& a, const auto& b) {
            return a->servicePriority() < b->servicePriority();
        });
        running.push_back(*next);
        toStart.push_back(*next);
        delayed.erase(next);
    }
}

void NetHTTPFetcherService::fetcherDidStop(NetHTTPFetcher& fetcher) {
    std::vector<std::shared_ptr<NetHTTPFetcher>> toStart;
    {
        std::lock_guard lock(mutex);
        const QString host = fetcher.serviceHost();
        if (host.isEmpty())
            return;
        removeFrom(runningHosts_[host], fetcher);
        removeFrom(delayedHosts_[host], fetcher);
        startDelayedFetchers(host, toStart);
        if (runningHosts_[host].empty())
            runningHosts_.remove(host);
        if (delayedHosts_[host].empty())
            delayedHosts_.remove(host);
        fetcher.setServiceHost(QString());
        fetcher.setThread(nullptr);
    }
    // Started outside the lock: a start may fail at once and come back here.
    for (const auto& next : toStart)
        startFetcher(next);
}

bool NetHTTPFetcherService::isDelayingFetcher(const NetHTTPFetcher& fetcher) const {
    std::lock_guard lock(mutex);
    const auto found = delayedHosts_.constFind(hostOf(fetcher));
    return found != delayedHosts_.constEnd() && holds(*found, fetcher);
}

void NetHTTPFetcherService::startFetcher(const std::shared_ptr<NetHTTPFetcher>& fetcher) {
    const std::shared_ptr<platform::LoopContext> thread = fetcher->thread();
    auto start = [fetcher] { fetcher->beginFetchMayDelay(false, true); };
    if (!thread || thread->isCurrent())
        start();
    else
        thread->post(start);
}

void NetHTTPFetcherService::stopFetcher(const std::shared_ptr<NetHTTPFetcher>& fetcher) {
    const std::shared_ptr<platform::LoopContext> thread = fetcher->thread();
    auto stop = [fetcher] { fetcher->stopFetching(); };
    if (!thread || thread->isCurrent())
        stop();
    else
        thread->post(stop);
}

void NetHTTPFetcherService::stopAllFetchers() {
    QHash<QString, FetcherList> delayed, running;
    {
        std::lock_guard lock(mutex);
        delayed = std::exchange(delayedHosts_, {});
        running = std::exchange(runningHosts_, {});
    }
    for (const auto& list : delayed)
        for (const auto& fetcher : list)
            stopFetcher(fetcher);
    for (const auto& list : running)
        for (const auto& fetcher : list)
            stopFetcher(fetcher);
}

quint64 NetHTTPFetcherService::numberOfRunningFetchers() const {
    std::lock_guard lock(mutex);
    return countAll(runningHosts_);
}

quint64 NetHTTPFetcherService::numberOfDelayedFetchers() const {
    std::lock_guard lock(mutex);
    return countAll(delayedHosts_);
}

bool NetHTTPFetcherService::waitForCompletionOfAllFetchersWithTimeout(double seconds) {
    const QDeadlineTimer deadline(qint64(seconds * 1000.0));
    QEventLoop loop;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (numberOfFetchers() == 0 || deadline.hasExpired())
            loop.quit();
    });
    tick.start(5);
    if (numberOfFetchers() > 0)
        loop.exec();
    return numberOfFetchers() == 0;
}

QHash<QString, NetHTTPFetcherService::FetcherList> NetHTTPFetcherService::runningHosts() const {
    std::lock_guard lock(mutex);
    return runningHosts_;
}

void NetHTTPFetcherService::setRunningHosts(const QHash<QString, FetcherList>& hosts) {
    std::lock_guard lock(mutex);
    runningHosts_ = hosts;
}

QHash<QString, NetHTTPFetcherService::FetcherList> NetHTTPFetcherService::delayedHosts() const {
    std::lock_guard lock(mutex);
    return delayedHosts_;
}

void NetHTTPFetcherService::setDelayedHosts(const QHash<QString, FetcherList>& hosts) {
    std::lock_guard lock(mutex);
    delayedHosts_ = hosts;
}

void NetHTTPFetcherService::detachAuthorizer() {
    if (authorizer_ && authorizer_->fetcherService() == this)
        authorizer_->setFetcherService(nullptr);
}

void NetHTTPFetcherService::setAuthorizer(std::shared_ptr<NetFetcherAuthorizationProtocol> authorizer) {
    if (authorizer == authorizer_)
        return;
    detachAuthorizer();
    authorizer_ = std::move(authorizer);
    if (authorizer_)
        authorizer_->setFetcherService(this);
}
