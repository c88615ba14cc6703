#include "platform/regex/RXCachedRegex.h"

namespace {

const UChar* characters(const QString& string) {
    return reinterpret_cast<const UChar*>(string.constData());
}

} // namespace

bool RXCachedRegex::holds(const QString& pattern, RXRegexOptions patternOptions) const {
    return icu_regex && options == patternOptions && regexString == pattern;
}

bool RXCachedRegex::compile(const QString& pattern, size_t hash, RXRegexOptions patternOptions,
                            RXCompileFailure& failure) {
    clear();
    // A deep copy: a caller's raw-data string could change under a shallow one.
    regexString = QString(pattern.constData(), pattern.size());
    regexHash = hash;
    options = patternOptions;
    failure = RXCompileFailure{};
    // ICU refuses a zero length but compiles an empty NUL-terminated pattern, which matches everywhere.
    static const UChar emptyPattern[] = {0};
    const UChar* text = pattern.isEmpty() ? emptyPattern : characters(regexString);
    const int32_t length = pattern.isEmpty() ? -1 : int32_t(regexString.size());
    icu_regex.reset(uregex_open(text, length, options, &failure.parseError, &failure.status));
    if (U_SUCCESS(failure.status))
        captureCount = uregex_groupCount(icu_regex.get(), &failure.status);
    if (U_FAILURE(failure.status)) {
        clear();
        return false;
    }
    return true;
}

bool RXCachedRegex::cloneFrom(const RXCachedRegex& source, UErrorCode& status) {
    clear();
    icu_regex.reset(uregex_clone(source.icu_regex.get(), &status));
    if (U_FAILURE(status)) {
        clear();
        return false;
    }
    regexString = source.regexString;
    regexHash = source.regexHash;
    options = source.options;
    captureCount = source.captureCount;
    return true;
}

void RXCachedRegex::clear() {
    clearSubject();
    icu_regex.reset();
    regexString = QString();
    regexHash = 0;
    options = 0;
    captureCount = -1;
}

void RXCachedRegex::clearSubject() {
    if (icu_regex && setToUniChar) {
        // ICU must not keep a pointer into characters this entry no longer holds.
        UErrorCode status = U_ZERO_ERROR;
        static const UChar none[] = {0};
        uregex_setText(icu_regex.get(), none, 0, &status);
    }
    setToString = QString();
    setToHash = 0;
    setToLength = -1;
    setToUniChar = nullptr;
    setToRange = lastFindRange = lastMatchRange = RXRange::notFound();
    lastSearchWasFresh = false;
}

bool RXCachedRegex::isSetTo(const QString& subject, size_t subjectHash) const {
    return setToUniChar && setToString.constData() == subject.constData() && setToLength == subject.size() &&
           setToHash == subjectHash;
}

void RXCachedRegex::setToSubject(const QString& subject, size_t subjectHash, RXRange range,
                                 UErrorCode& status) {
    if (!isSetTo(subject, subjectHash)) {
        clearSubject();
        setToString = subject;
        setToHash = subjectHash;
        setToLength = subject.size();
        setToUniChar = characters(setToString);
    } else if (range == setToRange) {
        return;
    }
    static const UChar none[] = {0};
    const UChar* text = setToUniChar ? setToUniChar + range.location : none;
    uregex_setText(icu_regex.get(), text, int32_t(range.length), &status);
    setToRange = range;
    lastFindRange = lastMatchRange = RXRange::notFound();
    lastSearchWasFresh = false;
    if (U_FAILURE(status))
        clearSubject();
}

qsizetype RXCachedRegex::nextSearchLocation(RXRange match) const {
    // After an empty match the walk moves one unit on, or it would find the same empty match again.
    return match.end() + ((match.length == 0 && match.end() < setToRange.end()) ? 1 : 0);
}

RXRange RXCachedRegex::search(RXRange& searchRange, bool advance, Search kind, UErrorCode& status) {
    RXRange match;
    // Only a fresh search may be answered from memory, and only from a fresh search: a walk's continuation
    // after an empty match at the end of the range finds nothing, where a new search there finds that
    // empty match again.
    if (kind == Search::Fresh && lastSearchWasFresh && searchRange == lastFindRange) {
        match = lastMatchRange;
    } else {
        bool found;
        if (kind == Search::Continuing && lastMatchRange.found() &&
            searchRange.location == nextSearchLocation(lastMatchRange))
            found = uregex_findNext(icu_regex.get(), &status);
        else
            found =
                uregex_find(icu_regex.get(), int32_t(searchRange.location - setToRange.location), &status);
        match = RXRange::notFound();
        if (found && U_SUCCESS(status)) {
            const int32_t start = uregex_start(icu_regex.get(), 0, &status);
            const int32_t end = uregex_end(icu_regex.get(), 0, &status);
            if (U_SUCCESS(status))
                match = {setToRange.location + start, qsizetype(end) - start};
        }
        lastFindRange = searchRange;
        lastMatchRange = match;
        lastSearchWasFresh = kind == Search::Fresh && U_SUCCESS(status);
    }
    if (advance) {
        const qsizetype next = match.found() ? nextSearchLocation(match) : setToRange.end();
        searchRange = {next, setToRange.end() - next};
    }
    return match;
}

RXRange RXCachedRegex::captureRange(qsizetype group, UErrorCode& status) const {
    const int32_t start = uregex_start(icu_regex.get(), int32_t(group), &status);
    const int32_t end = uregex_end(icu_regex.get(), int32_t(group), &status);
    if (U_FAILURE(status) || start < 0)
        return RXRange::notFound();
    return {setToRange.location + start, qsizetype(end) - start};
}

void RXCachedRegex::appendCaptureRanges(std::vector<RXRange>& ranges, qsizetype firstGroup,
                                        UErrorCode& status) const {
    for (qsizetype group = firstGroup; group <= captureCount; ++group)
        ranges.push_back(captureRange(group, status));
}

std::vector<RXRange> RXCachedRegex::splitRanges(UErrorCode& status) {
    std::vector<RXRange> ranges;
    qsizetype previousEnd = setToRange.location;
    forEachMatch(status, [&](RXRange match) {
        // An empty match right at the previous end would only split off an empty piece.
        if (match.length == 0 && match.location == previousEnd)
            return true;
        ranges.push_back({previousEnd, match.location - previousEnd});
        appendCaptureRanges(ranges, 1, status);
        previousEnd = match.end();
        return true;
    });
    if (U_FAILURE(status))
        return {};
    if (previousEnd != setToRange.end()) {
        ranges.push_back({previousEnd, setToRange.end() - previousEnd});
        return ranges;
    }
    // The text ended with a separator: drop the empty pieces at the tail with the captures after them.
    const size_t stride = size_t(captureCount) + 1;
    while (!ranges.empty() && ranges[ranges.size() - stride].length == 0)
        ranges.resize(ranges.size() - stride);
    return ranges;
}
