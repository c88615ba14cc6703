#include "platform/foundation/ErrorText.h"

#include "platform/foundation/StringTable.h"

#include <QRegularExpression>

#include <cstring>

namespace platform {

namespace {

// Errors wrap others only a few deep; a loop of wrapped errors must not hang an alert.
constexpr int kDeepestUnderlyingError = 8;

QString ownDescription(const Error& error) {
    return error.userInfo.value(QLatin1String(kLocalizedDescriptionKey)).toString().trimmed();
}

// What Error::localizedDescription makes of an error nobody described: "org.example error 7".
bool isBareDomainAndNumber(const QString& text) {
    static const QRegularExpression bare(
        QStringLiteral(R"(^(?:[A-Za-z][\w-]*(?:\.[\w-]+)+|\w*Domain)\s+error\s+-?\d+\.?$)"));
    return bare.match(text).hasMatch();
}

} // namespace

QString errorDescription(const Error& error) {
    const Error* current = &error;
    Error underlying;
    for (int depth = 0; depth < kDeepestUnderlyingError; ++depth) {
        if (const QString own = ownDescription(*current); !own.isEmpty() && !isBareDomainAndNumber(own))
            return own;
        const QVariant wrapped = current->userInfo.value(QLatin1String(kUnderlyingErrorKey));
        if (!wrapped.canConvert<Error>())
            break;
        underlying = wrapped.value<Error>();
        current = &underlying;
    }
    if (error.domain == QLatin1String(kPosixErrorDomain) && error.code > 0)
        return QString::fromLocal8Bit(std::strerror(int(error.code)));
    return QString();
}

QString errorSentence(const Error& error, const QString& fallback) {
    if (const QString described = errorDescription(error); !described.isEmpty())
        return described;
    if (!fallback.isEmpty())
        return fallback;
    return tr_("The operation could not be completed (%1, code %2).").arg(error.domain).arg(error.code);
}

QString errorSentence(const QString& reported, const QString& fallback) {
    const QString text = reported.trimmed();
    return text.isEmpty() || isBareDomainAndNumber(text) ? fallback : reported;
}

} // namespace platform
