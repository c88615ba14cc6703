#pragma once

// What picture decodes hold at once, across the process. A decode reserves what it will hold (known from the
// picture's header) before it allocates it, and waits while others hold too much: so an export that looks at
// every picture on every core beside its own play holds a bounded amount, however many cores and photos.
// Waiters are let in in the order they asked, so a large decode is not kept out by a stream of smaller ones;
// one larger than the whole budget goes alone once nothing else is held.
//
// Lock order: a reservation is waited for only with no GL lock held (a thread waiting for the budget while
// holding the driver lock would hang a decoder that needs that lock to end): one asked for under the driver
// lock or the main context is taken at once. A decode holds its reservation only while it decodes, never
// across a call into the driver.

#include <QtGlobal>

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <mutex>
#include <optional>

namespace platform::image {

class DecodeBudget {
public:
    // What the process's decodes may hold together: with the rest of an export, the process stays well under
    // 1.2 GB.
    static constexpr qint64 kProcessBytes = qint64(640) << 20;
    // A decode holding less neither asks nor waits: thumbnails and slide-sized pictures go ahead at once.
    static constexpr qint64 kSmallBytes = qint64(4) << 20;

    explicit DecodeBudget(qint64 total);
    DecodeBudget(const DecodeBudget&) = delete;
    DecodeBudget& operator=(const DecodeBudget&) = delete;

    // The one every decode of the program reserves from.
    static DecodeBudget& process();

    // What one decode holds of the budget, given back when it goes (on every path out of a decode, errors
    // included) or when released.
    class Reservation {
    public:
        Reservation() = default;
        ~Reservation() { release(); }
        Reservation(Reservation&& other) noexcept;
        Reservation& operator=(Reservation&& other) noexcept;
        Reservation(const Reservation&) = delete;
        Reservation& operator=(const Reservation&) = delete;

        qint64 bytes() const { return held; }
        void release();

    private:
        friend class DecodeBudget;
        Reservation(DecodeBudget* budget, qint64 bytes) : budget(budget), held(bytes) {}

        DecodeBudget* budget = nullptr;
        qint64 held = 0;
    };

    // Reserves `bytes`, waiting while the others hold too much of it (but on a thread holding the driver lock
    // or the main GL context, which takes it at once). Nothing when `cancelled` said so before it was taken
    // (asked now and then while it waits).
    std::optional<Reservation> reserve(qint64 bytes, const std::function<bool()>& cancelled = {});

    // A smaller (or larger) budget, so a test can fill it with small pictures; 0: its own again.
    void setTotalForTesting(qint64 bytes);

    // What is held now, and the most held at once since the last reset: real readings of the reservations.
    qint64 held() const;
    qint64 mostHeld() const;
    void resetMostHeld();
    // How many reservations are waiting now; and a wait until at least `count` are (for a test that must see
    // a decode held up before it lets the budget go).
    std::size_t waiting() const;
    void waitUntilWaiting(std::size_t count) const;

private:
    void give(qint64 bytes);

    const qint64 ownTotal;
    qint64 total;
    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    qint64 heldNow = 0;
    qint64 most = 0;
    std::list<std::uint64_t> queue; // the waiting reservations' tickets, in the order they asked
    std::uint64_t nextTicket = 0;
};

// While it lives, the waits of this thread's decodes for the process's budget end when `stopped` says so,
// and such a decode answers PictureFault::Stopped: for a caller that may be stopped while it decodes.
class DecodeStopping {
public:
    explicit DecodeStopping(std::function<bool()> stopped);
    ~DecodeStopping();
    DecodeStopping(const DecodeStopping&) = delete;
    DecodeStopping& operator=(const DecodeStopping&) = delete;

private:
    std::function<bool()> stopped;
    const std::function<bool()>* outer;
};

// A reservation of the process's budget for one decode on this thread, cancelled by its DecodeStopping.
std::optional<DecodeBudget::Reservation> reserveDecode(qint64 bytes);

} // namespace platform::image
