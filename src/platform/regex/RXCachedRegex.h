#pragma once

#include "platform/regex/RXRange.h"

#include <QString>

#include <unicode/uregex.h>

#include <memory>
#include <vector>

struct RXIcuRegexCloser {
    void operator()(URegularExpression* regex) const { uregex_close(regex); }
};
using RXIcuRegexPointer = std::unique_ptr<URegularExpression, RXIcuRegexCloser>;

// Why a pattern did not compile.
struct RXCompileFailure {
    UErrorCode status = U_ZERO_ERROR;
    // -1: ICU did not locate the error (it leaves the position alone for errors such as a bad flag).
    UParseError parseError{-1, -1, {}, {}};
};

// One compiled expression and the subject it is currently set to. ICU's positions are relative to the
// set range; every range this class answers is already shifted back into subject coordinates.
// Not thread-safe: the cache's lock or the sole ownership of an enumeration guards it.
class RXCachedRegex {
public:
    QString regexString;
    size_t regexHash = 0;
    RXRegexOptions options = 0;
    RXIcuRegexPointer icu_regex;
    qsizetype captureCount = -1;

    // A copy keeps the subject's characters alive and, being implicitly shared, unchanged for ICU.
    QString setToString;
    size_t setToHash = 0;
    qsizetype setToLength = -1;
    const UChar* setToUniChar = nullptr;
    RXRange setToRange = RXRange::notFound();
    RXRange lastFindRange = RXRange::notFound();
    RXRange lastMatchRange = RXRange::notFound();
    // Whether the last search started afresh: only then does the same range give the same answer again.
    bool lastSearchWasFresh = false;

    RXCachedRegex() = default;
    RXCachedRegex(const RXCachedRegex&) = delete;
    RXCachedRegex& operator=(const RXCachedRegex&) = delete;

    bool isCompiled() const { return icu_regex != nullptr; }
    bool holds(const QString& pattern, RXRegexOptions patternOptions) const;

    // Compiles `pattern`; on failure the entry is left cleared and `failure` says why.
    bool compile(const QString& pattern, size_t hash, RXRegexOptions patternOptions,
                 RXCompileFailure& failure);
    // A private copy of `source`'s compiled expression, with no subject.
    bool cloneFrom(const RXCachedRegex& source, UErrorCode& status);
    void clear();
    void clearSubject();

    // Hands ICU the characters of `range`; keeps the current state when subject and range are unchanged.
    void setToSubject(const QString& subject, size_t subjectHash, RXRange range, UErrorCode& status);
    bool isSetTo(const QString& subject, size_t subjectHash) const;
    // After ICU's matcher was moved by other means (a replacement), nothing is known about it.
    void forgetLastSearch() {
        lastFindRange = lastMatchRange = RXRange::notFound();
        lastSearchWasFresh = false;
    }

    enum class Search { Fresh, Continuing };
    // One search from `searchRange.location` to the end of the set range. A fresh search answers the first
    // match from there; a continuing one, the next match of a left-to-right walk. With `advance`,
    // `searchRange` then begins where the walk's next search must begin.
    RXRange search(RXRange& searchRange, bool advance, Search kind, UErrorCode& status);
    // The range of `group` in the current match; not found when the group did not take part.
    RXRange captureRange(qsizetype group, UErrorCode& status) const;
    // Whole match followed by every capture group of the current match.
    void appendCaptureRanges(std::vector<RXRange>& ranges, qsizetype firstGroup, UErrorCode& status) const;

    // Walks the matches of the set range left to right; `visit(match)` answers false to stop.
    template <class Visit> void forEachMatch(UErrorCode& status, Visit&& visit) {
        RXRange searchRange = setToRange;
        Search kind = Search::Fresh;
        while (U_SUCCESS(status)) {
            const RXRange match = search(searchRange, true, kind, status);
            if (!match.found() || U_FAILURE(status) || !visit(match))
                return;
            kind = Search::Continuing;
        }
    }

    // The split of the set range: for each match, the piece before it followed by its capture groups
    // 1..captureCount; then the rest as one last piece, or, when the text ended with a separator, no rest
    // and no empty pieces at the tail.
    std::vector<RXRange> splitRanges(UErrorCode& status);

private:
    qsizetype nextSearchLocation(RXRange match) const;
};
