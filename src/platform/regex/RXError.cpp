#include "platform/regex/RXError.h"

#include <unicode/utypes.h>

namespace {

QString key(const char* name) {
    return QString::fromLatin1(name);
}

QString failureReason(const QString& errorName, const RXErrorPosition& position) {
    if (position.line < 0 || position.offset < 0)
        return QStringLiteral("The error %1 occurred.").arg(errorName);
    return QStringLiteral("The error %1 occurred at line %2, column %3: %4<<HERE>>%5")
        .arg(errorName, QString::number(position.line), QString::number(position.offset), position.preContext,
             position.postContext);
}

} // namespace

QString RXICUErrorName(int icuStatus) {
    return QString::fromLatin1(u_errorName(UErrorCode(icuStatus)));
}

QVariant RXRangeVariant(RXRange range) {
    return QVariantList{range.location, range.length};
}

QVariantMap RXErrorUserInfo(const RXErrorDetails& details, const QString& description) {
    const QString errorName = RXICUErrorName(details.icuStatus);
    QVariantMap info = details.extra;
    info.insert(key(RXICURegexRegexKey),
                details.regex.isNull() ? QStringLiteral("<NULL regex>") : details.regex);
    info.insert(key(RXICURegexRegexOptionsKey), details.options);
    info.insert(key(RXICURegexErrorCodeKey), details.icuStatus);
    info.insert(key(RXICURegexErrorNameKey), errorName);
    if (details.position.line >= 0 && details.position.offset >= 0) {
        info.insert(key(RXICURegexLineKey), details.position.line);
        info.insert(key(RXICURegexOffsetKey), details.position.offset);
        info.insert(key(RXICURegexPreContextKey), details.position.preContext);
        info.insert(key(RXICURegexPostContextKey), details.position.postContext);
    }
    if (!details.subject.isNull()) {
        info.insert(key(RXICURegexSubjectStringKey), details.subject);
        info.insert(key(RXICURegexSubjectRangeKey), RXRangeVariant(details.subjectRange));
    }
    info.insert(key(NSLocalizedDescriptionKey), description);
    info.insert(key(NSLocalizedFailureReasonKey), failureReason(errorName, details.position));
    return info;
}

RXError RXMakeError(const RXErrorDetails& details, const QString& description) {
    return RXError{key(RXICURegexErrorDomain), details.icuStatus, RXErrorUserInfo(details, description)};
}
