#pragma once

#include "platform/regex/RegexRoutines.h"

#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

#include <functional>
#include <iostream>

inline std::ostream& operator<<(std::ostream& out, const QString& string) {
    return out << string.toStdString();
}

inline std::ostream& operator<<(std::ostream& out, const QStringList& list) {
    out << '[';
    for (qsizetype index = 0; index < list.size(); ++index)
        out << (index ? ", " : "") << '"' << list[index].toStdString() << '"';
    return out << ']';
}

inline std::ostream& operator<<(std::ostream& out, const RXRange& range) {
    if (!range.found())
        return out << "{not found}";
    return out << '{' << range.location << ", " << range.length << '}';
}

// Runs `call`, expecting exception type E with exactly `reason`; answers the caught exception's name.
template <class E> QString expectRaises(const std::function<void()>& call, const QString& reason) {
    try {
        call();
    } catch (const E& exception) {
        EXPECT_EQ(exception.reason(), reason);
        return exception.name();
    } catch (const std::exception& other) {
        ADD_FAILURE() << "unexpected exception " << other.what();
        return QString();
    }
    ADD_FAILURE() << "nothing was raised; expected " << reason;
    return QString();
}

inline QString reasonFor(const char* selector, const char* message, char kind = '-') {
    return QStringLiteral("*** %1[QString %2]: %3")
        .arg(QChar::fromLatin1(kind))
        .arg(QLatin1String(selector), QLatin1String(message));
}
