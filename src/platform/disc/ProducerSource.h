#pragma once

#include "platform/disc/TrackProducer.h"

#include <QByteArray>
#include <QCryptographicHash>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

namespace burn {
struct burn_source;
}

namespace platform::disc {

// Turns a TrackProducer into the recording library's data source for a track of a declared size.
//
// The library reads the track through read(), from its writer or buffer thread. The producer is asked
// for exactly the declared bytes; once it ends early, or once the burn is cancelled, it is not asked
// again and every remaining byte of the track is delivered as zero, so the medium never receives stale
// memory. The bytes delivered are hashed as they go, for verification after the burn.
class ProducerSource : public std::enable_shared_from_this<ProducerSource> {
public:
    static constexpr std::int64_t blockSize = 2048;

    ProducerSource(std::shared_ptr<TrackProducer> producer, std::int64_t blocks);

    // A new library source that reads through this object and keeps it alive; the caller holds the one
    // reference it starts with (release it with burn_source_free).
    burn::burn_source* makeLibrarySource();

    // The library's read: fills `size` bytes (fewer only for the last piece of the track), 0 at the end.
    int read(unsigned char* buffer, int size);

    // Stops asking the producer and tells it to give up; safe from any thread.
    void cancel();

    // Stops asking the producer and waits until no call into it is running any more.
    void detach();

    std::int64_t totalBytes() const { return declaredBytes; }
    std::int64_t deliveredBytes() const { return delivered.load(); }
    std::int64_t producedBytes() const { return produced.load(); } // real data, without the zero fill
    bool endedEarly() const { return early.load(); }
    QByteArray checksum(); // of all bytes delivered so far

private:
    std::size_t fillFromProducer(unsigned char* buffer, std::size_t wanted);

    std::shared_ptr<TrackProducer> producer;
    const std::int64_t declaredBytes;
    std::atomic<std::int64_t> delivered{0};
    std::atomic<std::int64_t> produced{0};
    std::atomic<bool> early{false};
    std::atomic<bool> cancelled{false};
    std::mutex readMutex; // one read at a time; guards hash and producerEnded
    QCryptographicHash hash{QCryptographicHash::Sha256};
    bool producerEnded = false;
};

} // namespace platform::disc
