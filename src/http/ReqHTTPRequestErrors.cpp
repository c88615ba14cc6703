#include "http/ReqHTTPRequestErrors.h"

#include <QVariant>

platform::Error reqError(qint64 code, const QString& description,
                         const std::optional<platform::Error>& underlying) {
    QVariantMap info{{QLatin1String(platform::kLocalizedDescriptionKey), description}};
    if (underlying)
        info.insert(QLatin1String(platform::kUnderlyingErrorKey), QVariant::fromValue(*underlying));
    return platform::Error(QString::fromLatin1(kReqHTTPRequestErrorDomain), code, info);
}

platform::Error reqResponseTooLargeError(const QString& reason) {
    return reqError(ReqResponseTooLargeErrorType, QStringLiteral("The reply is too large: ") + reason);
}

std::optional<platform::Error> reqUnderlyingError(const platform::Error& error) {
    const QVariant value = error.userInfo.value(QLatin1String(platform::kUnderlyingErrorKey));
    if (!value.canConvert<platform::Error>())
        return std::nullopt;
    return value.value<platform::Error>();
}

const platform::Error& reqRequestTimedOutError() {
    static const platform::Error error =
        reqError(ReqRequestTimedOutErrorType, QStringLiteral("The request timed out"));
    return error;
}

const platform::Error& reqAuthenticationError() {
    static const platform::Error error =
        reqError(ReqAuthenticationErrorType, QStringLiteral("Authentication needed"));
    return error;
}

const platform::Error& reqRequestCancelledError() {
    static const platform::Error error =
        reqError(ReqRequestCancelledErrorType, QStringLiteral("The request was cancelled"));
    return error;
}

const platform::Error& reqUnableToCreateRequestError() {
    static const platform::Error error =
        reqError(ReqUnableToCreateRequestErrorType, QStringLiteral("Unable to create request (bad url?)"));
    return error;
}

const platform::Error& reqTooMuchRedirectionError() {
    static const platform::Error error =
        reqError(ReqTooMuchRedirectionErrorType,
                 QStringLiteral("The request failed because it redirected too many times"));
    return error;
}
