#include "platform/disc/ProducerSource.h"

#include <libburn/libburn.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace platform::disc {

namespace {

// What the library's source keeps in its data pointer; deleted by freeSourceData().
struct SourceData {
    std::shared_ptr<ProducerSource> source;
};

ProducerSource& sourceOf(burn::burn_source* librarySource) {
    return *static_cast<SourceData*>(librarySource->data)->source;
}

int readSource(burn::burn_source* librarySource, unsigned char* buffer, int size) {
    return sourceOf(librarySource).read(buffer, size);
}

off_t sourceSize(burn::burn_source* librarySource) {
    return static_cast<off_t>(sourceOf(librarySource).totalBytes());
}

// The declared size is fixed; the library's own note of a size is not needed.
int setSourceSize(burn::burn_source*, off_t) {
    return 1;
}

int cancelSource(burn::burn_source* librarySource) {
    sourceOf(librarySource).cancel();
    return 1;
}

void freeSourceData(burn::burn_source* librarySource) {
    std::unique_ptr<SourceData> owned(static_cast<SourceData*>(librarySource->data));
    librarySource->data = nullptr;
}

} // namespace

ProducerSource::ProducerSource(std::shared_ptr<TrackProducer> producer, std::int64_t blocks)
    : producer(std::move(producer)), declaredBytes(blocks * blockSize) {}

burn::burn_source* ProducerSource::makeLibrarySource() {
    // The library releases the struct with free(), so it must come from calloc().
    auto* librarySource = static_cast<burn::burn_source*>(std::calloc(1, sizeof(burn::burn_source)));
    if (!librarySource)
        return nullptr;
    librarySource->refcount = 1;
    librarySource->read = nullptr; // version 1: read_xt and cancel are used
    librarySource->version = 1;
    librarySource->read_xt = readSource;
    librarySource->get_size = sourceSize;
    librarySource->set_size = setSourceSize;
    librarySource->free_data = freeSourceData;
    librarySource->cancel = cancelSource;
    librarySource->data = std::make_unique<SourceData>(SourceData{shared_from_this()}).release();
    return librarySource;
}

int ProducerSource::read(unsigned char* buffer, int size) {
    std::lock_guard<std::mutex> guard(readMutex);
    std::int64_t remaining = declaredBytes - delivered.load();
    if (remaining <= 0 || size <= 0)
        return 0;
    auto wanted = static_cast<std::size_t>(std::min<std::int64_t>(size, remaining));
    std::size_t filled = fillFromProducer(buffer, wanted);
    if (filled < wanted) {
        std::memset(buffer + filled, 0, wanted - filled);
        if (!cancelled.load())
            early.store(true);
    }
    hash.addData(QByteArrayView(reinterpret_cast<const char*>(buffer), static_cast<qsizetype>(wanted)));
    delivered.fetch_add(static_cast<std::int64_t>(wanted));
    return static_cast<int>(wanted);
}

std::size_t ProducerSource::fillFromProducer(unsigned char* buffer, std::size_t wanted) {
    std::size_t filled = 0;
    while (filled < wanted && !producerEnded && !cancelled.load()) {
        std::size_t got = producer->produce(buffer + filled, wanted - filled);
        if (got == 0) {
            producerEnded = true;
            break;
        }
        got = std::min(got, wanted - filled); // a producer that claims more than it was given
        filled += got;
        produced.fetch_add(static_cast<std::int64_t>(got));
    }
    return filled;
}

void ProducerSource::cancel() {
    if (cancelled.exchange(true))
        return;
    producer->cancel();
}

void ProducerSource::detach() {
    cancelled.store(true);
    std::lock_guard<std::mutex> guard(readMutex);
}

QByteArray ProducerSource::checksum() {
    std::lock_guard<std::mutex> guard(readMutex);
    return hash.result();
}

} // namespace platform::disc
