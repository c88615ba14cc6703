#pragma once

#include "platform/regex/RXCachedRegex.h"

#include <QString>

#include <array>
#include <mutex>

// The process-wide cache of compiled expressions: 13 sets of 4 ways, least recently used way replaced,
// with a last-entry check and a 64-slot lookaside table in front. One lock guards all of it; callers
// hold `lock()` while they use an entry. Exceptions unwind through std::lock_guard, so none ever
// reaches a handler while the lock is held.
class RXRegexCache {
public:
    static constexpr int Sets = 13;
    static constexpr int Ways = 4;
    static constexpr int Entries = Sets * Ways;
    static constexpr int LookasideSlots = 64;

    static RXRegexCache& shared();

    std::mutex& lock() { return mutex; }

    // Under the lock: the compiled entry for (pattern, options), compiling into the set's least recently
    // used way on a miss; nullptr with `failure` filled when the pattern does not compile.
    RXCachedRegex* getCachedRegex(const QString& pattern, RXRegexOptions options, RXCompileFailure& failure);

    // Forgets the subject state of every entry set to `subject` or to a string of its length and hash.
    void flushSubject(const QString& subject);
    // Empties every entry.
    void clearAll();

    // Inspection for tests; each takes the lock.
    static int setForRegex(const QString& pattern, RXRegexOptions options);
    bool isCached(const QString& pattern, RXRegexOptions options);
    quint64 compileCount();
    int entriesSetTo(const QString& subject);

private:
    std::array<RXCachedRegex, Entries> entries;
    std::array<quint16, Sets> ageWords{};
    std::array<quint8, LookasideSlots> lookaside{};
    RXCachedRegex* lastEntry = nullptr;
    quint64 compiles = 0;
    std::mutex mutex;

    static int lookasideSlot(const QString& pattern, RXRegexOptions options);
    RXCachedRegex* use(int entryIndex, int slot);
    int leastRecentlyUsedWay(int set) const;
};
