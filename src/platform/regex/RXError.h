#pragma once

#include "platform/regex/RXRange.h"

#include <QString>
#include <QVariantMap>

// The error domain and user-info keys of the regular-expression routines.
inline constexpr char RXICURegexErrorDomain[] = "RXICURegexErrorDomain";
inline constexpr char RXICURegexRegexKey[] = "RXICURegexRegex";
inline constexpr char RXICURegexRegexOptionsKey[] = "RXICURegexRegexOptions";
inline constexpr char RXICURegexErrorCodeKey[] = "RXICURegexErrorCode";
inline constexpr char RXICURegexErrorNameKey[] = "RXICURegexErrorName";
inline constexpr char RXICURegexLineKey[] = "RXICURegexLine";
inline constexpr char RXICURegexOffsetKey[] = "RXICURegexOffset";
inline constexpr char RXICURegexPreContextKey[] = "RXICURegexPreContext";
inline constexpr char RXICURegexPostContextKey[] = "RXICURegexPostContext";
inline constexpr char RXICURegexSubjectStringKey[] = "RXICURegexSubjectString";
inline constexpr char RXICURegexSubjectRangeKey[] = "RXICURegexSubjectRange";
inline constexpr char RXICURegexReplacementStringKey[] = "RXICURegexReplacementString";
inline constexpr char RXICURegexReplacedStringKey[] = "RXICURegexReplacedString";
inline constexpr char RXICURegexReplacedCountKey[] = "RXICURegexReplacedCount";
inline constexpr char RXICURegexEnumerationOptionsKey[] = "RXICURegexEnumerationOptions";
inline constexpr char NSLocalizedDescriptionKey[] = "NSLocalizedDescription";
inline constexpr char NSLocalizedFailureReasonKey[] = "NSLocalizedFailureReason";

// The error object a caller receives through an error out-parameter: the domain, ICU's error code and the
// user info above. Ranges in the user info are QVariantLists of (location, length).
struct RXError {
    QString domain;
    qint64 code = 0;
    QVariantMap userInfo;

    QString localizedDescription() const {
        return userInfo.value(QLatin1String(NSLocalizedDescriptionKey)).toString();
    }
    QString localizedFailureReason() const {
        return userInfo.value(QLatin1String(NSLocalizedFailureReasonKey)).toString();
    }
};

// Where ICU located a pattern error; line and offset are -1 when it did not say.
struct RXErrorPosition {
    int line = -1;
    int offset = -1;
    QString preContext;
    QString postContext;
};

// What went wrong, as the builder needs it. Empty subject and replacement strings are left out.
struct RXErrorDetails {
    QString regex; // null stands for "<NULL regex>"
    RXRegexOptions options = 0;
    int icuStatus = 0; // a UErrorCode
    RXErrorPosition position;
    QString subject;
    RXRange subjectRange = RXRange::notFound();
    QVariantMap extra; // further keys of the particular failure
};

QVariantMap RXErrorUserInfo(const RXErrorDetails& details, const QString& description);
RXError RXMakeError(const RXErrorDetails& details, const QString& description);
QVariant RXRangeVariant(RXRange range);
QString RXICUErrorName(int icuStatus);
