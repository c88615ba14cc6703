#pragma once

#include <QString>

#include <ostream>

// Readable failures for Qt strings in test assertions.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
