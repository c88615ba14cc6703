#include "platform/regex/RXRegexCache.h"

#include "platform/regex/NSException.h"

#include <QHash>

#include <climits>

RXRegexCache& RXRegexCache::shared() {
    static RXRegexCache cache;
    return cache;
}

int RXRegexCache::setForRegex(const QString& pattern, RXRegexOptions options) {
    return int((size_t(options) ^ qHash(pattern)) % Sets);
}

int RXRegexCache::lookasideSlot(const QString& pattern, RXRegexOptions options) {
    const auto address = quintptr(pattern.constData());
    return int(((address >> 4) + options + (options >> 4)) % LookasideSlots);
}

RXCachedRegex* RXRegexCache::getCachedRegex(const QString& pattern, RXRegexOptions options,
                                            RXCompileFailure& failure) {
    if (lastEntry && lastEntry->holds(pattern, options))
        return lastEntry;
    const int slot = lookasideSlot(pattern, options);
    if (entries[lookaside[slot]].holds(pattern, options))
        return use(lookaside[slot], slot);

    const size_t hash = qHash(pattern);
    const int set = int((size_t(options) ^ hash) % Sets);
    for (int way = 0; way < Ways; ++way) {
        const RXCachedRegex& entry = entries[set * Ways + way];
        if (entry.regexHash == hash && entry.holds(pattern, options))
            return use(set * Ways + way, slot);
    }

    if (pattern.size() >= INT_MAX)
        throw NSRangeException(QStringLiteral("Regex string length exceeds INT_MAX"));
    const int entryIndex = set * Ways + leastRecentlyUsedWay(set);
    RXCachedRegex& entry = entries[entryIndex];
    if (lastEntry == &entry)
        lastEntry = nullptr;
    ++compiles;
    if (!entry.compile(pattern, hash, options, failure))
        return nullptr;
    return use(entryIndex, slot);
}

RXCachedRegex* RXRegexCache::use(int entryIndex, int slot) {
    RXCachedRegex* entry = &entries[entryIndex];
    lastEntry = entry;
    lookaside[slot] = quint8(entryIndex);
    // A 4 x 4 bit matrix: the used way's row is set, its column cleared; the row left all zero is the
    // least recently used way.
    const int set = entryIndex / Ways;
    const int way = entryIndex % Ways;
    quint16 age = ageWords[set];
    age |= quint16(0xF << (4 * way));
    age &= quint16(~(0x1111 << (3 - way)));
    ageWords[set] = age;
    return entry;
}

int RXRegexCache::leastRecentlyUsedWay(int set) const {
    for (int way = Ways - 1; way >= 0; --way) {
        if (((ageWords[set] >> (4 * way)) & 0xF) == 0)
            return way;
    }
    return Ways - 1; // unreachable: some row of the matrix is always zero
}

void RXRegexCache::flushSubject(const QString& subject) {
    const qsizetype length = subject.size();
    const size_t hash = qHash(subject);
    std::lock_guard guard(mutex);
    for (RXCachedRegex& entry : entries) {
        if (!entry.setToUniChar)
            continue;
        const bool same = entry.setToString.constData() == subject.constData();
        if (same || (entry.setToLength == length && entry.setToHash == hash))
            entry.clearSubject();
    }
}

void RXRegexCache::clearAll() {
    std::lock_guard guard(mutex);
    lastEntry = nullptr;
    for (RXCachedRegex& entry : entries)
        entry.clear();
    ageWords.fill(0);
    lookaside.fill(0);
}

bool RXRegexCache::isCached(const QString& pattern, RXRegexOptions options) {
    std::lock_guard guard(mutex);
    const int set = setForRegex(pattern, options);
    for (int way = 0; way < Ways; ++way) {
        if (entries[set * Ways + way].holds(pattern, options))
            return true;
    }
    return false;
}

quint64 RXRegexCache::compileCount() {
    std::lock_guard guard(mutex);
    return compiles;
}

int RXRegexCache::entriesSetTo(const QString& subject) {
    std::lock_guard guard(mutex);
    int count = 0;
    for (const RXCachedRegex& entry : entries)
        count += entry.setToUniChar && entry.setToString.constData() == subject.constData() ? 1 : 0;
    return count;
}
