#pragma once

#include "platform/net/UrlRequest.h"
#include "platform/net/UrlResponse.h"

#include <QDateTime>
#include <QHash>
#include <QUrl>

#include <memory>
#include <mutex>

// One remembered reply: its head (which holds the ETag) and, when bodies are cached, its body.
class NetCachedURLResponse {
public:
    NetCachedURLResponse(const platform::net::UrlResponse& response, const QByteArray& data);

    const platform::net::UrlResponse& response() const { return response_; }
    const QByteArray& data() const { return data_; }
    const QDateTime& useDate() const { return useDate_; }
    void setUseDate(const QDateTime& date) { useDate_ = date; }
    // Set while the entry's ETag is out on a request; such an entry is spared by pruning for a while.
    const QDateTime& reservationDate() const { return reservationDate_; }
    void setReservationDate(const QDateTime& date) { reservationDate_ = date; }
    // Oldest use first.
    bool compareUseDate(const NetCachedURLResponse& other) const { return useDate_ < other.useDate_; }
    QString description() const;

private:
    platform::net::UrlResponse response_;
    QByteArray data_;
    QDateTime useDate_;
    QDateTime reservationDate_;
};

// Replies by request URL, bounded by the sum of their body lengths; the least recently used go first.
class NetURLCache {
public:
    static constexpr quint64 kDefaultMemoryCapacity = 0xF00000;

    explicit NetURLCache(quint64 memoryCapacity = kDefaultMemoryCapacity) : memoryCapacity_(memoryCapacity) {}

    // A body as long as the capacity or longer is not stored (nor is its entry).
    void storeCachedResponse(const std::shared_ptr<NetCachedURLResponse>& response,
                             const platform::net::UrlRequest& request);
    std::shared_ptr<NetCachedURLResponse> cachedResponseForRequest(const platform::net::UrlRequest& request);
    void removeCachedResponseForRequest(const platform::net::UrlRequest& request);
    void removeAllCachedResponses();
    quint64 memoryCapacity() const;
    void setMemoryCapacity(quint64 capacity);
    void setReservationInterval(double seconds);
    QHash<QUrl, std::shared_ptr<NetCachedURLResponse>> responses() const;
    quint64 totalDataSize() const;
    QString description() const;

private:
    void pruneCacheResponses();

    mutable std::recursive_mutex mutex;
    QHash<QUrl, std::shared_ptr<NetCachedURLResponse>> responses_;
    quint64 memoryCapacity_;
    quint64 totalDataSize_ = 0;
    double reservationInterval_ = 60.0;
};
