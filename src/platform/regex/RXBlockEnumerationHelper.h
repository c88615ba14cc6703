#pragma once

#include "platform/regex/RXCachedRegex.h"
#include "platform/regex/RegexRoutines.h"

// The private state of one block enumeration: its own clone of the compiled expression and its own copy
// of the subject, made under the cache lock, so that the matching and the block calls run without it
// (and the block may use the regular-expression routines itself).
class RXBlockEnumerationHelper {
public:
    // Call with the cache lock held; `status` tells whether the clone or ICU's set-up failed.
    RXBlockEnumerationHelper(const RXCachedRegex& source, const QString& subject, RXRange range,
                             RXRegexEnumerationOptions enumerationOptions, UErrorCode& status);

    void enumerateMatches(const RXEnumerationBlock& block, UErrorCode& status);
    void enumerateSeparated(const RXEnumerationBlock& block, UErrorCode& status);
    // The whole subject with each match of the range replaced by the block's answer, or the subject
    // itself when nothing was replaced.
    QString replaceMatches(const RXReplacementBlock& block, qsizetype& count, UErrorCode& status);

private:
    RXCachedRegex cachedRegex;
    QString buffer;
    RXRegexEnumerationOptions options;
    std::vector<RXRange> ranges;
    std::vector<QString> strings;

    // Fills `strings` from `ranges` unless the caller asked for ranges only.
    void makeStrings();
    void collectMatchRanges(RXRange match, UErrorCode& status);
};
