#pragma once

#include <QColor>

#include <cstdlib>

namespace test_support {

// Whether no channel of `a` differs from `b`'s by more than `tolerance`.
inline bool coloursNear(const QColor& a, const QColor& b, int tolerance) {
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

} // namespace test_support
