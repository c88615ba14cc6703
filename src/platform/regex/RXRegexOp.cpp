#include "platform/regex/RXRegexOp.h"

#include <climits>

namespace rx {

void raiseInvalidArgument(const RXCall& call, const QString& message) {
    throw NSInvalidArgumentException(RXExceptionReason(call, message));
}

void checkRegex(const RXCall& call, const QString& regex) {
    if (regex.isNull())
        raiseInvalidArgument(call, QStringLiteral("The regular expression argument is NULL."));
}

void checkSubjectAndRange(const RXCall& call, const QString& subject, RXRange range) {
    const qsizetype length = subject.size();
    if (length >= INT_MAX)
        throw NSRangeException(RXExceptionReason(call, QStringLiteral("String length exceeds INT_MAX.")));
    if (range.location < 0 || range.length < 0 || range.location > length ||
        range.length > length - range.location)
        throw NSRangeException(RXExceptionReason(call, QStringLiteral("Range or index out of bounds.")));
}

void checkCapture(const RXCall& call, const RXCachedRegex& entry, qsizetype capture) {
    if (capture < 0 || capture > entry.captureCount)
        raiseInvalidArgument(call, QStringLiteral("The capture argument is not valid."));
}

QString substring(const QString& subject, RXRange range) {
    if (!range.found() || range.length == 0)
        return QStringLiteral("");
    return subject.mid(range.location, range.length);
}

QStringList strings(const QString& subject, std::span<const RXRange> ranges) {
    QStringList list;
    list.reserve(qsizetype(ranges.size()));
    for (const RXRange& range : ranges)
        list.append(substring(subject, range));
    return list;
}

RXErrorDetails failureDetails(const OpRequest& request, int icuStatus) {
    RXErrorDetails details;
    details.regex = request.regex;
    details.options = request.options;
    details.icuStatus = icuStatus;
    details.subject = request.subject.isNull() ? QStringLiteral("") : request.subject;
    details.subjectRange = request.range;
    details.extra = request.failureInfo;
    return details;
}

void reportCompileFailure(const QString& regex, RXRegexOptions options, const RXCompileFailure& failure,
                          RXError* error) {
    if (!error)
        return;
    RXErrorDetails details;
    details.regex = regex;
    details.options = options;
    details.icuStatus = failure.status;
    const UParseError& parse = failure.parseError;
    if (parse.line >= 0 && parse.offset >= 0) {
        details.position.line = parse.line;
        details.position.offset = parse.offset;
        details.position.preContext = QString::fromUtf16(parse.preContext);
        details.position.postContext = QString::fromUtf16(parse.postContext);
    }
    *error = RXMakeError(details, QStringLiteral("There was an error compiling the regular expression."));
}

void raiseICUError(const OpRequest& request, int icuStatus) {
    const QString message = QStringLiteral("ICU regular expression error #%1, %2.")
                                .arg(QString::number(icuStatus), RXICUErrorName(icuStatus));
    const QVariantMap userInfo = RXErrorUserInfo(failureDetails(request, icuStatus), message);
    throw RXICURegexException(RXExceptionReason(request.call, message), userInfo);
}

} // namespace rx
