// The dictionary forms of the regular-expression routines: keys mapped to the captures of a match.

#include "platform/regex/RegexRoutines.h"

#include "platform/regex/RXRegexOp.h"

using rx::OpRequest;
using rx::wholeRange;

namespace {

struct KeyCaptureList {
    const QString* keys;
    const qsizetype* captures;
    qsizetype count;
};

void checkKeysAndCaptures(const RXCall& call, const KeyCaptureList& list) {
    if (!list.keys)
        rx::raiseInvalidArgument(call, QStringLiteral("The keys argument is NULL."));
    if (!list.captures)
        rx::raiseInvalidArgument(call, QStringLiteral("The captures argument is NULL."));
}

// Every key must be given and name a capture of the pattern.
void checkCaptureKeys(const RXCall& call, const RXCachedRegex& entry, const KeyCaptureList& list) {
    for (qsizetype index = 0; index < list.count; ++index) {
        const QString position = QStringLiteral("%1 of %2").arg(index + 1).arg(list.count);
        if (list.keys[index].isNull())
            rx::raiseInvalidArgument(call, QStringLiteral("The capture key (key %1) is NULL.").arg(position));
        const qsizetype capture = list.captures[index];
        if (capture < 0 || capture > entry.captureCount) {
            rx::raiseInvalidArgument(
                call, QStringLiteral("The capture argument %1 (capture %2) for key '%3' is not valid.")
                          .arg(QString::number(capture), position, list.keys[index]));
        }
    }
}

void appendKeyRanges(const RXCachedRegex& entry, const KeyCaptureList& list, std::vector<RXRange>& ranges,
                     UErrorCode& status) {
    for (qsizetype index = 0; index < list.count; ++index)
        ranges.push_back(entry.captureRange(list.captures[index], status));
}

RXCaptureDictionary dictionary(const QString& subject, const KeyCaptureList& list,
                               std::span<const RXRange> ranges) {
    RXCaptureDictionary result;
    for (qsizetype index = 0; index < list.count; ++index)
        result.insert(list.keys[index], rx::substring(subject, ranges[size_t(index)]));
    return result;
}

enum class Matches { First, All };

// The pair-list forms always pass arrays (empty ones may have no storage); only the array forms can
// pass null pointers.
enum class Arrays { Given, MayBeNull };

QList<RXCaptureDictionary> dictionaries(const OpRequest& request, const KeyCaptureList& list, Matches matches,
                                        Arrays arrays = Arrays::Given) {
    rx::checkRegex(request.call, request.regex);
    if (arrays == Arrays::MayBeNull)
        checkKeysAndCaptures(request.call, list);
    const auto found = rx::performRegexOp(request, [&](RXCachedRegex& entry, UErrorCode& status) {
        checkCaptureKeys(request.call, entry, list);
        std::vector<RXRange> ranges;
        size_t matchCount = 0;
        entry.forEachMatch(status, [&](RXRange) {
            appendKeyRanges(entry, list, ranges, status);
            ++matchCount;
            return matches == Matches::All;
        });
        return std::make_pair(std::move(ranges), matchCount);
    });
    QList<RXCaptureDictionary> result;
    if (!found)
        return result;
    const auto& [ranges, matchCount] = *found;
    const size_t stride = size_t(list.count);
    for (size_t match = 0; match < matchCount; ++match)
        result.append(dictionary(request.subject, list, std::span(ranges).subspan(match * stride, stride)));
    return result;
}

// Separate key and capture arrays from the pair list; they must outlive the call that uses them.
struct SplitPairs {
    QStringList keys;
    QList<qsizetype> captures;

    explicit SplitPairs(const RXKeysAndCaptures& pairs) {
        for (const auto& [key, capture] : pairs) {
            keys.append(key);
            captures.append(capture);
        }
    }
    KeyCaptureList list() const { return {keys.constData(), captures.constData(), keys.size()}; }
};

RXCaptureDictionary first(const QList<RXCaptureDictionary>& list) {
    return list.isEmpty() ? RXCaptureDictionary() : list.first();
}

} // namespace

RXCaptureDictionary dictionaryByMatchingRegex(const QString& subject, const QString& regex,
                                              const RXKeysAndCaptures& keysAndCaptures) {
    const SplitPairs pairs(keysAndCaptures);
    return first(dictionaries({{'-', "QString", "dictionaryByMatchingRegex:withKeysAndCaptures:"},
                               subject,
                               regex,
                               0,
                               wholeRange(subject),
                               nullptr},
                              pairs.list(), Matches::First));
}

RXCaptureDictionary dictionaryByMatchingRegex(const QString& subject, const QString& regex, RXRange range,
                                              const RXKeysAndCaptures& keysAndCaptures) {
    const SplitPairs pairs(keysAndCaptures);
    return first(dictionaries({{'-', "QString", "dictionaryByMatchingRegex:range:withKeysAndCaptures:"},
                               subject,
                               regex,
                               0,
                               range,
                               nullptr},
                              pairs.list(), Matches::First));
}

RXCaptureDictionary dictionaryByMatchingRegex(const QString& subject, const QString& regex,
                                              RXRegexOptions options, RXRange range, RXError* error,
                                              const RXKeysAndCaptures& keysAndCaptures) {
    const SplitPairs pairs(keysAndCaptures);
    return first(
        dictionaries({{'-', "QString", "dictionaryByMatchingRegex:options:range:error:withKeysAndCaptures:"},
                      subject,
                      regex,
                      options,
                      range,
                      error},
                     pairs.list(), Matches::First));
}

RXCaptureDictionary dictionaryByMatchingRegex(const QString& subject, const QString& regex,
                                              RXRegexOptions options, RXRange range, RXError* error,
                                              const QString* keys, const qsizetype* captures,
                                              qsizetype count) {
    return first(dictionaries(
        {{'-', "QString", "dictionaryByMatchingRegex:options:range:error:withKeys:forCaptures:count:"},
         subject,
         regex,
         options,
         range,
         error},
        {keys, captures, count}, Matches::First, Arrays::MayBeNull));
}

QList<RXCaptureDictionary> arrayOfDictionariesByMatchingRegex(const QString& subject, const QString& regex,
                                                              const RXKeysAndCaptures& keysAndCaptures) {
    const SplitPairs pairs(keysAndCaptures);
    return dictionaries({{'-', "QString", "arrayOfDictionariesByMatchingRegex:withKeysAndCaptures:"},
                         subject,
                         regex,
                         0,
                         wholeRange(subject),
                         nullptr},
                        pairs.list(), Matches::All);
}

QList<RXCaptureDictionary> arrayOfDictionariesByMatchingRegex(const QString& subject, const QString& regex,
                                                              RXRange range,
                                                              const RXKeysAndCaptures& keysAndCaptures) {
    const SplitPairs pairs(keysAndCaptures);
    return dictionaries({{'-', "QString", "arrayOfDictionariesByMatchingRegex:range:withKeysAndCaptures:"},
                         subject,
                         regex,
                         0,
                         range,
                         nullptr},
                        pairs.list(), Matches::All);
}

QList<RXCaptureDictionary> arrayOfDictionariesByMatchingRegex(const QString& subject, const QString& regex,
                                                              RXRegexOptions options, RXRange range,
                                                              RXError* error,
                                                              const RXKeysAndCaptures& keysAndCaptures) {
    const SplitPairs pairs(keysAndCaptures);
    return dictionaries(
        {{'-', "QString", "arrayOfDictionariesByMatchingRegex:options:range:error:withKeysAndCaptures:"},
         subject,
         regex,
         options,
         range,
         error},
        pairs.list(), Matches::All);
}

QList<RXCaptureDictionary> arrayOfDictionariesByMatchingRegex(const QString& subject, const QString& regex,
                                                              RXRegexOptions options, RXRange range,
                                                              RXError* error, const QString* keys,
                                                              const qsizetype* captures, qsizetype count) {
    return dictionaries(
        {{'-', "QString",
          "arrayOfDictionariesByMatchingRegex:options:range:error:withKeys:forCaptures:count:"},
         subject,
         regex,
         options,
         range,
         error},
        {keys, captures, count}, Matches::All, Arrays::MayBeNull);
}
