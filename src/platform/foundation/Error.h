#pragma once

#include <QString>
#include <QVariantMap>

#include <optional>

namespace platform {

inline constexpr char kLocalizedDescriptionKey[] = "NSLocalizedDescription";
inline constexpr char kLocalizedFailureReasonKey[] = "NSLocalizedFailureReason";
inline constexpr char kUnderlyingErrorKey[] = "NSUnderlyingError";
// System calls that fail report their errno in this domain.
inline constexpr char kPosixErrorDomain[] = "org.vistrelle.posix";

// An error as asynchronous work reports it: a domain, a small integer code and optional details. Callers
// branch on domain and code; the user info is for people and for layers that add detail on the way up.
struct Error {
    QString domain;
    qint64 code = 0;
    QVariantMap userInfo;

    Error() = default;
    Error(QString domain, qint64 code, QVariantMap userInfo = {})
        : domain(std::move(domain)), code(code), userInfo(std::move(userInfo)) {}

    bool is(const QString& otherDomain, qint64 otherCode) const {
        return code == otherCode && domain == otherDomain;
    }
    QString localizedDescription() const {
        const QString text = userInfo.value(QLatin1String(kLocalizedDescriptionKey)).toString();
        return text.isEmpty() ? QStringLiteral("%1 error %2").arg(domain).arg(code) : text;
    }
    friend bool operator==(const Error& a, const Error& b) {
        return a.domain == b.domain && a.code == b.code && a.userInfo == b.userInfo;
    }
};

// "No error" is an empty optional.
using OptionalError = std::optional<Error>;

} // namespace platform
