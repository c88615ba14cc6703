// Replacement by template: ICU appends each match's replacement and the tail into one buffer.

#include "platform/regex/RegexRoutines.h"

#include "platform/regex/RXRegexOp.h"

#include <climits>

using rx::OpRequest;
using rx::wholeRange;

namespace {

struct Replaced {
    QString text; // the set range after replacement
    qsizetype count = 0;
};

// One pass over the set range into a buffer of `capacity` units; answers the length ICU needed.
qint64 replacePass(RXCachedRegex& entry, const QString& replacement, QString& buffer, qint64 capacity,
                   qsizetype& count, UErrorCode& status) {
    buffer.resize(qsizetype(capacity));
    UChar* destination = reinterpret_cast<UChar*>(buffer.data());
    int32_t destinationCapacity = int32_t(capacity);
    const UChar* replacementText = reinterpret_cast<const UChar*>(replacement.constData());
    URegularExpression* regex = entry.icu_regex.get();
    qint64 needed = 0;
    count = 0;
    uregex_reset(regex, 0, &status);
    // Matching keeps its own status, so that an overflowing buffer only turns the appends into counting.
    UErrorCode findStatus = status;
    while (U_SUCCESS(findStatus) && uregex_findNext(regex, &findStatus)) {
        needed += uregex_appendReplacement(regex, replacementText, int32_t(replacement.size()), &destination,
                                           &destinationCapacity, &status);
        ++count;
    }
    needed += uregex_appendTail(regex, &destination, &destinationCapacity, &status);
    if (U_FAILURE(findStatus))
        status = findStatus;
    return needed;
}

Replaced replaceAll(const RXCall& call, RXCachedRegex& entry, const QString& replacement,
                    UErrorCode& status) {
    const qint64 searchLength = entry.setToRange.length;
    const qint64 templateLength = replacement.size();
    if (templateLength >= INT_MAX - 1 || searchLength / 2 + 2 * templateLength >= INT_MAX)
        throw NSRangeException(
            RXExceptionReason(call, QStringLiteral("Replacement string length exceeds INT_MAX.")));
    qint64 capacity = std::min<qint64>(searchLength + searchLength / 2 + 2 * templateLength + 16, INT_MAX);
    Replaced replaced;
    QString buffer;
    for (;;) {
        const qint64 needed = replacePass(entry, replacement, buffer, capacity, replaced.count, status);
        if (status != U_BUFFER_OVERFLOW_ERROR) {
            if (U_SUCCESS(status))
                buffer.resize(qsizetype(needed));
            break;
        }
        if (needed + 8 >= INT_MAX) {
            entry.forgetLastSearch();
            throw NSInternalInconsistencyException(
                RXExceptionReason(call, QStringLiteral("Replaced string length exceeds INT_MAX.")));
        }
        capacity = needed + 8;
        status = U_ZERO_ERROR;
    }
    // ICU's matcher has moved on: the entry's remembered search no longer describes it.
    entry.forgetLastSearch();
    replaced.text = buffer;
    return replaced;
}

std::optional<Replaced> replace(const OpRequest& request, const QString& replacement) {
    rx::checkRegex(request.call, request.regex);
    if (replacement.isNull())
        rx::raiseInvalidArgument(request.call, QStringLiteral("The replacement string argument is NULL."));
    OpRequest withReplacement = request;
    withReplacement.failureInfo.insert(QLatin1String(RXICURegexReplacementStringKey), replacement);
    return rx::performRegexOp(withReplacement, [&](RXCachedRegex& entry, UErrorCode& status) {
        return replaceAll(request.call, entry, replacement, status);
    });
}

QString replacedString(const OpRequest& request, const QString& replacement) {
    const auto replaced = replace(request, replacement);
    if (!replaced)
        return QString();
    if (replaced->count == 0)
        return request.subject;
    const QString& subject = request.subject;
    return subject.left(request.range.location) + replaced->text + subject.mid(request.range.end());
}

qsizetype replaceInPlace(QString& receiver, const OpRequest& request, const QString& replacement) {
    const auto replaced = replace(request, replacement);
    if (!replaced)
        return -1;
    if (replaced->count > 0)
        receiver.replace(request.range.location, request.range.length, replaced->text);
    return replaced->count;
}

} // namespace

QString stringByReplacingOccurrencesOfRegex(const QString& subject, const QString& regex,
                                            const QString& replacement) {
    return replacedString({{'-', "QString", "stringByReplacingOccurrencesOfRegex:withString:"},
                           subject,
                           regex,
                           0,
                           wholeRange(subject),
                           nullptr},
                          replacement);
}

QString stringByReplacingOccurrencesOfRegex(const QString& subject, const QString& regex,
                                            const QString& replacement, RXRange range) {
    return replacedString({{'-', "QString", "stringByReplacingOccurrencesOfRegex:withString:range:"},
                           subject,
                           regex,
                           0,
                           range,
                           nullptr},
                          replacement);
}

QString stringByReplacingOccurrencesOfRegex(const QString& subject, const QString& regex,
                                            const QString& replacement, RXRegexOptions options, RXRange range,
                                            RXError* error) {
    return replacedString(
        {{'-', "QString", "stringByReplacingOccurrencesOfRegex:withString:options:range:error:"},
         subject,
         regex,
         options,
         range,
         error},
        replacement);
}

qsizetype replaceOccurrencesOfRegex(QString& receiver, const QString& regex, const QString& replacement) {
    const QString subject = receiver;
    return replaceInPlace(receiver,
                          {{'-', "QString", "replaceOccurrencesOfRegex:withString:"},
                           subject,
                           regex,
                           0,
                           wholeRange(subject),
                           nullptr},
                          replacement);
}

qsizetype replaceOccurrencesOfRegex(QString& receiver, const QString& regex, const QString& replacement,
                                    RXRange range) {
    const QString subject = receiver;
    return replaceInPlace(
        receiver,
        {{'-', "QString", "replaceOccurrencesOfRegex:withString:range:"}, subject, regex, 0, range, nullptr},
        replacement);
}

qsizetype replaceOccurrencesOfRegex(QString& receiver, const QString& regex, const QString& replacement,
                                    RXRegexOptions options, RXRange range, RXError* error) {
    const QString subject = receiver;
    return replaceInPlace(receiver,
                          {{'-', "QString", "replaceOccurrencesOfRegex:withString:options:range:error:"},
                           subject,
                           regex,
                           options,
                           range,
                           error},
                          replacement);
}
