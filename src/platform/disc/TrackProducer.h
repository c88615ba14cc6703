#pragma once

#include <cstddef>
#include <cstdint>

namespace platform::disc {

// The data of one track, produced while the track is being recorded.
//
// A burn asks its producer for exactly the declared number of 2048-byte blocks, never more. Calls come
// in this order, each from a thread of the burn, never two at once:
//   prepare() once before the first block; then produce() until the declared size is reached or the
//   producer ends; then cleanup() once after the recording ended (also after a failed prepare()).
// cancel() may come from another thread at any time after prepare(), also while produce() runs, and
// more than once.
class TrackProducer {
public:
    virtual ~TrackProducer() = default;

    // Gets the data ready (e.g. starts the program that writes it). False fails the burn before any
    // block is recorded.
    virtual bool prepare() { return true; }

    // Fills up to `size` bytes at `buffer` (size is a multiple of 2048) and returns how many it filled;
    // fewer is fine, the rest is asked for again. 0 means the data has ended: before the declared size,
    // that fails the burn, and the remainder of the track is recorded as zeros, never as stale bytes.
    virtual std::size_t produce(std::uint8_t* buffer, std::size_t size) = 0;

    // The burn is being abandoned: a produce() that is waiting for data should return soon (0 is fine).
    virtual void cancel() {}

    // The recording has ended, well or not: release what prepare() took.
    virtual void cleanup() {}
};

} // namespace platform::disc
