#pragma once

#include <QString>
#include <stdexcept>

// A caller's programming error (a missing argument, inconsistent data): raised in every build, never turned
// into a status the caller could overlook.
inline void wfRequire(bool condition, const QString& message) {
    if (!condition)
        throw std::logic_error(message.toStdString());
}
