#pragma once

#include <QByteArray>
#include <QString>
#include <QVariantMap>

#include <exception>

// A programming error, raised with the platform's exception name, a reason and optional user info.
// The subclasses carry the names callers catch by.
class NSException : public std::exception {
public:
    NSException(const QString& name, const QString& reason, const QVariantMap& userInfo = {});

    const QString& name() const { return exceptionName; }
    const QString& reason() const { return exceptionReason; }
    const QVariantMap& userInfo() const { return exceptionUserInfo; }
    const char* what() const noexcept override { return whatText.constData(); }

private:
    QString exceptionName;
    QString exceptionReason;
    QVariantMap exceptionUserInfo;
    QByteArray whatText;
};

class NSInvalidArgumentException : public NSException {
public:
    explicit NSInvalidArgumentException(const QString& reason, const QVariantMap& userInfo = {})
        : NSException(QStringLiteral("NSInvalidArgumentException"), reason, userInfo) {}
};

class NSRangeException : public NSException {
public:
    explicit NSRangeException(const QString& reason, const QVariantMap& userInfo = {})
        : NSException(QStringLiteral("NSRangeException"), reason, userInfo) {}
};

class NSInternalInconsistencyException : public NSException {
public:
    explicit NSInternalInconsistencyException(const QString& reason, const QVariantMap& userInfo = {})
        : NSException(QStringLiteral("NSInternalInconsistencyException"), reason, userInfo) {}
};

// An ICU failure met after the pattern compiled (a bad replacement template, a match that ran out of
// backtracking stack, ...).
class RXICURegexException : public NSException {
public:
    explicit RXICURegexException(const QString& reason, const QVariantMap& userInfo = {})
        : NSException(QStringLiteral("RXICURegexException"), reason, userInfo) {}
};

// Who raised: '+' for a class method, '-' for an instance method, the receiver's class and the selector.
struct RXCall {
    char kind = '-';
    const char* className = "QString";
    const char* selector = nullptr;
};

// "*** -[QString componentsSeparatedByRegex:options:range:error:]: Range or index out of bounds."
QString RXExceptionReason(const RXCall& call, const QString& message);
