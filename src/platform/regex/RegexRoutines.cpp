#include "platform/regex/RegexRoutines.h"

#include "platform/regex/RXRegexOp.h"

using rx::OpRequest;
using rx::performRegexOp;
using rx::wholeRange;

namespace {

qsizetype captureCountOf(const RXCall& call, const QString& regex, RXRegexOptions options, RXError* error) {
    rx::checkRegex(call, regex);
    RXCompileFailure failure;
    qsizetype count = -1;
    {
        RXRegexCache& cache = RXRegexCache::shared();
        std::lock_guard guard(cache.lock());
        if (const RXCachedRegex* entry = cache.getCachedRegex(regex, options, failure))
            count = entry->captureCount;
    }
    if (count < 0)
        rx::reportCompileFailure(regex, options, failure, error);
    return count;
}

QStringList split(const OpRequest& request) {
    const auto ranges = performRegexOp(
        request, [](RXCachedRegex& entry, UErrorCode& status) { return entry.splitRanges(status); });
    return ranges ? rx::strings(request.subject, *ranges) : QStringList();
}

// The range of `capture` in the first match of the request's range.
RXRange firstMatch(const OpRequest& request, qsizetype capture) {
    const auto range = performRegexOp(request, [&](RXCachedRegex& entry, UErrorCode& status) {
        rx::checkCapture(request.call, entry, capture);
        RXRange searchRange = entry.setToRange;
        const RXRange match = entry.search(searchRange, false, RXCachedRegex::Search::Fresh, status);
        if (!match.found() || capture == 0)
            return match;
        return entry.captureRange(capture, status);
    });
    return range.value_or(RXRange::notFound());
}

QString matchedString(const OpRequest& request, qsizetype capture) {
    const RXRange range = firstMatch(request, capture);
    return range.found() ? rx::substring(request.subject, range) : QString();
}

QStringList matchedComponents(const OpRequest& request, qsizetype capture) {
    const auto ranges = performRegexOp(request, [&](RXCachedRegex& entry, UErrorCode& status) {
        rx::checkCapture(request.call, entry, capture);
        std::vector<RXRange> found;
        entry.forEachMatch(status, [&](RXRange match) {
            found.push_back(capture == 0 ? match : entry.captureRange(capture, status));
            return true;
        });
        return found;
    });
    return ranges ? rx::strings(request.subject, *ranges) : QStringList();
}

QStringList firstCaptureComponents(const OpRequest& request) {
    const auto ranges = performRegexOp(request, [](RXCachedRegex& entry, UErrorCode& status) {
        std::vector<RXRange> found;
        RXRange searchRange = entry.setToRange;
        if (entry.search(searchRange, false, RXCachedRegex::Search::Fresh, status).found())
            entry.appendCaptureRanges(found, 0, status);
        return found;
    });
    return ranges ? rx::strings(request.subject, *ranges) : QStringList();
}

// Capture ranges of every match, captureCount + 1 per match.
std::optional<std::pair<std::vector<RXRange>, size_t>> allCaptureRanges(const OpRequest& request) {
    return performRegexOp(request, [](RXCachedRegex& entry, UErrorCode& status) {
        std::vector<RXRange> found;
        entry.forEachMatch(status, [&](RXRange) {
            entry.appendCaptureRanges(found, 0, status);
            return true;
        });
        return std::make_pair(std::move(found), size_t(entry.captureCount) + 1);
    });
}

QList<QStringList> allCaptureComponents(const OpRequest& request) {
    QList<QStringList> matches;
    if (const auto found = allCaptureRanges(request)) {
        const auto& [ranges, stride] = *found;
        for (size_t first = 0; first < ranges.size(); first += stride)
            matches.append(rx::strings(request.subject, std::span(ranges).subspan(first, stride)));
    }
    return matches;
}

} // namespace

qsizetype captureCountForRegex(const QString& regex) {
    return captureCountOf({'+', "QString", "captureCountForRegex:"}, regex, 0, nullptr);
}

qsizetype captureCountForRegex(const QString& regex, RXRegexOptions options, RXError* error) {
    return captureCountOf({'+', "QString", "captureCountForRegex:options:error:"}, regex, options, error);
}

qsizetype captureCount(const QString& receiverRegex) {
    return captureCountOf({'-', "QString", "captureCount"}, receiverRegex, 0, nullptr);
}

qsizetype captureCountWithOptions(const QString& receiverRegex, RXRegexOptions options, RXError* error) {
    return captureCountOf({'-', "QString", "captureCountWithOptions:error:"}, receiverRegex, options, error);
}

bool isRegexValid(const QString& receiverRegex) {
    return captureCountOf({'-', "QString", "isRegexValid"}, receiverRegex, 0, nullptr) >= 0;
}

bool isRegexValidWithOptions(const QString& receiverRegex, RXRegexOptions options, RXError* error) {
    return captureCountOf({'-', "QString", "isRegexValidWithOptions:error:"}, receiverRegex, options,
                          error) >= 0;
}

QStringList componentsSeparatedByRegex(const QString& subject, const QString& regex) {
    return split(
        {{'-', "QString", "componentsSeparatedByRegex:"}, subject, regex, 0, wholeRange(subject), nullptr});
}

QStringList componentsSeparatedByRegex(const QString& subject, const QString& regex, RXRange range) {
    return split({{'-', "QString", "componentsSeparatedByRegex:range:"}, subject, regex, 0, range, nullptr});
}

QStringList componentsSeparatedByRegex(const QString& subject, const QString& regex, RXRegexOptions options,
                                       RXRange range, RXError* error) {
    return split({{'-', "QString", "componentsSeparatedByRegex:options:range:error:"},
                  subject,
                  regex,
                  options,
                  range,
                  error});
}

bool isMatchedByRegex(const QString& subject, const QString& regex) {
    return firstMatch(
               {{'-', "QString", "isMatchedByRegex:"}, subject, regex, 0, wholeRange(subject), nullptr}, 0)
        .found();
}

bool isMatchedByRegex(const QString& subject, const QString& regex, RXRange range) {
    return firstMatch({{'-', "QString", "isMatchedByRegex:inRange:"}, subject, regex, 0, range, nullptr}, 0)
        .found();
}

bool isMatchedByRegex(const QString& subject, const QString& regex, RXRegexOptions options, RXRange range,
                      RXError* error) {
    return firstMatch({{'-', "QString", "isMatchedByRegex:options:inRange:error:"},
                       subject,
                       regex,
                       options,
                       range,
                       error},
                      0)
        .found();
}

RXRange rangeOfRegex(const QString& subject, const QString& regex) {
    return firstMatch({{'-', "QString", "rangeOfRegex:"}, subject, regex, 0, wholeRange(subject), nullptr},
                      0);
}

RXRange rangeOfRegex(const QString& subject, const QString& regex, qsizetype capture) {
    return firstMatch(
        {{'-', "QString", "rangeOfRegex:capture:"}, subject, regex, 0, wholeRange(subject), nullptr},
        capture);
}

RXRange rangeOfRegex(const QString& subject, const QString& regex, RXRange range) {
    return firstMatch({{'-', "QString", "rangeOfRegex:inRange:"}, subject, regex, 0, range, nullptr}, 0);
}

RXRange rangeOfRegex(const QString& subject, const QString& regex, RXRegexOptions options, RXRange range,
                     qsizetype capture, RXError* error) {
    return firstMatch({{'-', "QString", "rangeOfRegex:options:inRange:capture:error:"},
                       subject,
                       regex,
                       options,
                       range,
                       error},
                      capture);
}

QString stringByMatching(const QString& subject, const QString& regex) {
    return matchedString(
        {{'-', "QString", "stringByMatching:"}, subject, regex, 0, wholeRange(subject), nullptr}, 0);
}

QString stringByMatching(const QString& subject, const QString& regex, qsizetype capture) {
    return matchedString(
        {{'-', "QString", "stringByMatching:capture:"}, subject, regex, 0, wholeRange(subject), nullptr},
        capture);
}

QString stringByMatching(const QString& subject, const QString& regex, RXRange range) {
    return matchedString({{'-', "QString", "stringByMatching:inRange:"}, subject, regex, 0, range, nullptr},
                         0);
}

QString stringByMatching(const QString& subject, const QString& regex, RXRegexOptions options, RXRange range,
                         qsizetype capture, RXError* error) {
    return matchedString({{'-', "QString", "stringByMatching:options:inRange:capture:error:"},
                          subject,
                          regex,
                          options,
                          range,
                          error},
                         capture);
}

QStringList componentsMatchedByRegex(const QString& subject, const QString& regex) {
    return matchedComponents(
        {{'-', "QString", "componentsMatchedByRegex:"}, subject, regex, 0, wholeRange(subject), nullptr}, 0);
}

QStringList componentsMatchedByRegex(const QString& subject, const QString& regex, qsizetype capture) {
    return matchedComponents({{'-', "QString", "componentsMatchedByRegex:capture:"},
                              subject,
                              regex,
                              0,
                              wholeRange(subject),
                              nullptr},
                             capture);
}

QStringList componentsMatchedByRegex(const QString& subject, const QString& regex, RXRange range) {
    return matchedComponents(
        {{'-', "QString", "componentsMatchedByRegex:range:"}, subject, regex, 0, range, nullptr}, 0);
}

QStringList componentsMatchedByRegex(const QString& subject, const QString& regex, RXRegexOptions options,
                                     RXRange range, qsizetype capture, RXError* error) {
    return matchedComponents({{'-', "QString", "componentsMatchedByRegex:options:range:capture:error:"},
                              subject,
                              regex,
                              options,
                              range,
                              error},
                             capture);
}

QStringList captureComponentsMatchedByRegex(const QString& subject, const QString& regex) {
    return firstCaptureComponents({{'-', "QString", "captureComponentsMatchedByRegex:"},
                                   subject,
                                   regex,
                                   0,
                                   wholeRange(subject),
                                   nullptr});
}

QStringList captureComponentsMatchedByRegex(const QString& subject, const QString& regex, RXRange range) {
    return firstCaptureComponents(
        {{'-', "QString", "captureComponentsMatchedByRegex:range:"}, subject, regex, 0, range, nullptr});
}

QStringList captureComponentsMatchedByRegex(const QString& subject, const QString& regex,
                                            RXRegexOptions options, RXRange range, RXError* error) {
    return firstCaptureComponents({{'-', "QString", "captureComponentsMatchedByRegex:options:range:error:"},
                                   subject,
                                   regex,
                                   options,
                                   range,
                                   error});
}

QList<QStringList> arrayOfCaptureComponentsMatchedByRegex(const QString& subject, const QString& regex) {
    return allCaptureComponents({{'-', "QString", "arrayOfCaptureComponentsMatchedByRegex:"},
                                 subject,
                                 regex,
                                 0,
                                 wholeRange(subject),
                                 nullptr});
}

QList<QStringList> arrayOfCaptureComponentsMatchedByRegex(const QString& subject, const QString& regex,
                                                          RXRange range) {
    return allCaptureComponents({{'-', "QString", "arrayOfCaptureComponentsMatchedByRegex:range:"},
                                 subject,
                                 regex,
                                 0,
                                 range,
                                 nullptr});
}

QList<QStringList> arrayOfCaptureComponentsMatchedByRegex(const QString& subject, const QString& regex,
                                                          RXRegexOptions options, RXRange range,
                                                          RXError* error) {
    return allCaptureComponents(
        {{'-', "QString", "arrayOfCaptureComponentsMatchedByRegex:options:range:error:"},
         subject,
         regex,
         options,
         range,
         error});
}

void flushCachedRegexData(const QString& subject) {
    RXRegexCache::shared().flushSubject(subject);
}

void clearStringCache() {
    RXRegexCache::shared().clearAll();
}
