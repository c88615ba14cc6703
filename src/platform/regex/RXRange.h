#pragma once

#include <QtGlobal>

#include <limits>

// Compile options, handed to ICU unchanged, so the bits are ICU's own flags.
using RXRegexOptions = quint32;
enum : RXRegexOptions {
    RXNoOptions = 0,
    RXCaseless = 2,
    RXComments = 4,
    RXMultiline = 8,
    RXDotAll = 32,
    RXUnicodeWordBoundaries = 256,
};

// Options of the block enumerations; no other bits are accepted.
using RXRegexEnumerationOptions = quint32;
enum : RXRegexEnumerationOptions {
    RXRegexEnumerationNoOptions = 0,
    // The block gets the ranges only; its strings span is empty.
    RXRegexEnumerationCapturedStringsNotRequired = 0x200,
    // Replacing enumerations only. Strings are values here, so there is nothing to release; the bit is
    // still validated so that callers keep to the same contract.
    RXRegexEnumerationReleaseReturnedString = 0x400,
    // The captured strings are only promised for the duration of the block call.
    RXRegexEnumerationTransientCapturedStrings = 0x800,
};

// The largest signed 64-bit value marks "not found", as the platform's NSNotFound did.
inline constexpr qsizetype RXNotFound = std::numeric_limits<qint64>::max();

// A range of UTF-16 units: the same units QString indexes, so ranges can be used on QStrings directly.
struct RXRange {
    qsizetype location = 0;
    qsizetype length = 0;

    static constexpr RXRange notFound() { return {RXNotFound, 0}; }
    constexpr bool found() const { return location != RXNotFound; }
    constexpr qsizetype end() const { return location + length; }
    friend constexpr bool operator==(const RXRange&, const RXRange&) = default;
};

inline constexpr RXRange RXMakeRange(qsizetype location, qsizetype length) {
    return {location, length};
}
