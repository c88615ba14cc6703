#include "webservice/HTTPFetcher/NetURLCache.h"

#include <algorithm>
#include <vector>

NetCachedURLResponse::NetCachedURLResponse(const platform::net::UrlResponse& response, const QByteArray& data)
    : response_(response), data_(data), useDate_(QDateTime::currentDateTimeUtc()) {}

QString NetCachedURLResponse::description() const {
    const QString reserved =
        reservationDate_.isValid()
            ? QStringLiteral(" resDate:%1").arg(reservationDate_.toString(Qt::ISODateWithMs))
            : QString();
    return QStringLiteral("NetCachedURLResponse %1: {bytes:%2 useDate:%3%4}")
        .arg(QString::number(reinterpret_cast<quintptr>(this), 16))
        .arg(data_.size())
        .arg(useDate_.toString(Qt::ISODateWithMs), reserved);
}

void NetURLCache::storeCachedResponse(const std::shared_ptr<NetCachedURLResponse>& response,
                                      const platform::net::UrlRequest& request) {
    std::lock_guard lock(mutex);
    removeCachedResponseForRequest(request);
    const quint64 length = quint64(response->data().size());
    if (length >= memoryCapacity_)
        return;
    responses_.insert(request.url, response);
    totalDataSize_ += length;
    pruneCacheResponses();
}

std::shared_ptr<NetCachedURLResponse>
NetURLCache::cachedResponseForRequest(const platform::net::UrlRequest& request) {
    std::lock_guard lock(mutex);
    auto found = responses_.value(request.url);
    if (found)
        found->setUseDate(QDateTime::currentDateTimeUtc());
    return found;
}

void NetURLCache::removeCachedResponseForRequest(const platform::net::UrlRequest& request) {
    std::lock_guard lock(mutex);
    if (auto found = responses_.take(request.url))
        totalDataSize_ -= quint64(found->data().size());
}

void NetURLCache::removeAllCachedResponses() {
    std::lock_guard lock(mutex);
    responses_.clear();
    totalDataSize_ = 0;
}

quint64 NetURLCache::memoryCapacity() const {
    std::lock_guard lock(mutex);
    return memoryCapacity_;
}

void NetURLCache::setMemoryCapacity(quint64 capacity) {
    std::lock_guard lock(mutex);
    const bool shrinks = capacity < memoryCapacity_;
    memoryCapacity_ = capacity;
    if (shrinks)
        pruneCacheResponses();
}

void NetURLCache::setReservationInterval(double seconds) {
    std::lock_guard lock(mutex);
    reservationInterval_ = seconds;
}

QHash<QUrl, std::shared_ptr<NetCachedURLResponse>> NetURLCache::responses() const {
    std::lock_guard lock(mutex);
    return responses_;
}

quint64 NetURLCache::totalDataSize() const {
    std::lock_guard lock(mutex);
    return totalDataSize_;
}

QString NetURLCache::description() const {
    std::lock_guard lock(mutex);
    QStringList entries;
    for (auto it = responses_.begin(); it != responses_.end(); ++it)
        entries << it.key().toString() + QStringLiteral(" = ") + it.value()->description();
    return QStringLiteral("NetURLCache %1: {responses:%2}")
        .arg(QString::number(reinterpret_cast<quintptr>(this), 16), entries.join(QStringLiteral(", ")));
}

void NetURLCache::pruneCacheResponses() {
    if (totalDataSize_ <= memoryCapacity_)
        return;
    std::vector<std::pair<QUrl, std::shared_ptr<NetCachedURLResponse>>> byUse;
    for (auto it = responses_.begin(); it != responses_.end(); ++it)
        byUse.emplace_back(it.key(), it.value());
    std::stable_sort(byUse.begin(), byUse.end(),
                     [](const auto& a, const auto& b) { return a.second->compareUseDate(*b.second); });
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (const auto& [url, entry] : byUse) {
        const QDateTime& reserved = entry->reservationDate();
        if (reserved.isValid() && reserved.msecsTo(now) < qint64(reservationInterval_ * 1000.0))
            continue;
        responses_.remove(url);
        totalDataSize_ -= quint64(entry->data().size());
        if (totalDataSize_ <= memoryCapacity_)
            break;
    }
}
