#include "platform/regex/NSException.h"

NSException::NSException(const QString& name, const QString& reason, const QVariantMap& userInfo)
    : exceptionName(name), exceptionReason(reason), exceptionUserInfo(userInfo),
      whatText((name + QStringLiteral(": ") + reason).toUtf8()) {}

QString RXExceptionReason(const RXCall& call, const QString& message) {
    const QString className = call.className ? QString::fromLatin1(call.className) : QStringLiteral("<NULL>");
    const QString selector = call.selector ? QString::fromLatin1(call.selector) : QStringLiteral(":NULL:");
    return QStringLiteral("*** %1[%2 %3]: %4")
        .arg(QString(QChar::fromLatin1(call.kind)), className, selector, message);
}
