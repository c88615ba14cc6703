#include "platform/regex/RXBlockEnumerationHelper.h"

#include "platform/regex/RXRegexOp.h"

RXBlockEnumerationHelper::RXBlockEnumerationHelper(const RXCachedRegex& source, const QString& subject,
                                                   RXRange range,
                                                   RXRegexEnumerationOptions enumerationOptions,
                                                   UErrorCode& status)
    : buffer(subject.constData(), subject.size()), options(enumerationOptions) {
    if (cachedRegex.cloneFrom(source, status))
        cachedRegex.setToSubject(buffer, 0, range, status);
}

void RXBlockEnumerationHelper::makeStrings() {
    strings.clear();
    if (options & RXRegexEnumerationCapturedStringsNotRequired)
        return;
    // Owned substrings even for RXRegexEnumerationTransientCapturedStrings: strings pointing into the
    // private buffer would dangle in any copy the block keeps.
    for (const RXRange& range : ranges)
        strings.push_back(rx::substring(buffer, range));
}

void RXBlockEnumerationHelper::collectMatchRanges(RXRange match, UErrorCode& status) {
    ranges.clear();
    ranges.push_back(match);
    cachedRegex.appendCaptureRanges(ranges, 1, status);
    makeStrings();
}

void RXBlockEnumerationHelper::enumerateMatches(const RXEnumerationBlock& block, UErrorCode& status) {
    cachedRegex.forEachMatch(status, [&](RXRange match) {
        collectMatchRanges(match, status);
        if (U_FAILURE(status))
            return false;
        bool stop = false;
        block(qsizetype(ranges.size()), strings, ranges, stop);
        return !stop;
    });
}

void RXBlockEnumerationHelper::enumerateSeparated(const RXEnumerationBlock& block, UErrorCode& status) {
    const std::vector<RXRange> split = cachedRegex.splitRanges(status);
    const size_t stride = size_t(cachedRegex.captureCount) + 1;
    for (size_t first = 0; U_SUCCESS(status) && first < split.size(); first += stride) {
        const size_t taken = std::min(stride, split.size() - first);
        ranges.assign(split.begin() + qsizetype(first), split.begin() + qsizetype(first + taken));
        // The last piece has no match after it, hence no captures.
        ranges.resize(stride, RXRange::notFound());
        makeStrings();
        bool stop = false;
        block(qsizetype(ranges.size()), strings, ranges, stop);
        if (stop)
            return;
    }
}

QString RXBlockEnumerationHelper::replaceMatches(const RXReplacementBlock& block, qsizetype& count,
                                                 UErrorCode& status) {
    const RXRange range = cachedRegex.setToRange;
    QString result = buffer.left(range.location);
    qsizetype copiedTo = range.location;
    count = 0;
    cachedRegex.forEachMatch(status, [&](RXRange match) {
        collectMatchRanges(match, status);
        if (U_FAILURE(status))
            return false;
        bool stop = false;
        const QString replacement = block(qsizetype(ranges.size()), strings, ranges, stop);
        result += QStringView(buffer).sliced(copiedTo, match.location - copiedTo);
        result += replacement;
        copiedTo = match.end();
        ++count;
        return !stop;
    });
    if (count == 0)
        return buffer;
    result += QStringView(buffer).sliced(copiedTo);
    return result;
}
