#include "webservice/BaseClasses/DSScanner.h"

#include <QLocale>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace {

bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

template <class Int> Int clampedInteger(QStringView digits) {
    const QByteArray ascii = digits.toLatin1();
    const char* begin = ascii.constData();
    const char* end = begin + ascii.size();
    if (*begin == '+')
        ++begin;
    Int value = 0;
    const auto [ptr, error] = std::from_chars(begin, end, value);
    if (error == std::errc::result_out_of_range)
        return *begin == '-' ? std::numeric_limits<Int>::min() : std::numeric_limits<Int>::max();
    return value;
}

double realValue(QStringView digits) {
    const QByteArray ascii = digits.toLatin1();
    const char* begin = ascii.constData();
    const char* end = begin + ascii.size();
    if (*begin == '+')
        ++begin;
    double value = 0;
    const auto [ptr, error] = std::from_chars(begin, end, value);
    if (error == std::errc::result_out_of_range) {
        const bool tiny = ascii.contains("e-") || ascii.contains("E-");
        const double magnitude = tiny ? 0.0 : HUGE_VAL;
        return ascii.startsWith('-') ? -magnitude : magnitude;
    }
    return value;
}

} // namespace

DSScanner::DSScanner(QStringView text) : text_(text), skipped_(isWhitespaceOrNewline) {}

bool DSScanner::isWhitespaceOrNewline(QChar c) {
    return c.isSpace() || c == QChar(0x85);
}

bool DSScanner::skip() {
    const qsizetype start = pos_;
    if (skipped_)
        while (pos_ < text_.size() && skipped_(text_[pos_]))
            ++pos_;
    return pos_ > start;
}

bool DSScanner::isAtEnd() {
    const qsizetype start = pos_;
    skip();
    const bool atEnd = pos_ >= text_.size();
    pos_ = start;
    return atEnd;
}

qsizetype DSScanner::numberLength(bool real) const {
    qsizetype i = pos_;
    const qsizetype size = text_.size();
    if (i < size && (text_[i] == QLatin1Char('+') || text_[i] == QLatin1Char('-')))
        ++i;
    const qsizetype digitsStart = i;
    while (i < size && isDigit(text_[i]))
        ++i;
    qsizetype mantissaDigits = i - digitsStart;
    if (real && i < size && text_[i] == QLatin1Char('.')) {
        qsizetype j = i + 1;
        while (j < size && isDigit(text_[j]))
            ++j;
        mantissaDigits += j - i - 1;
        if (j - i - 1 > 0 || mantissaDigits > 0)
            i = j;
    }
    if (mantissaDigits == 0)
        return 0;
    if (real && i < size && (text_[i] == QLatin1Char('e') || text_[i] == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        if (j < size && (text_[j] == QLatin1Char('+') || text_[j] == QLatin1Char('-')))
            ++j;
        const qsizetype exponentStart = j;
        while (j < size && isDigit(text_[j]))
            ++j;
        if (j > exponentStart)
            i = j;
    }
    return i - pos_;
}

bool DSScanner::scanInt(int* value) {
    qint64 wide = 0;
    if (!scanLongLong(&wide))
        return false;
    if (value)
        *value =
            int(std::clamp<qint64>(wide, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    return true;
}

bool DSScanner::scanNumberText(bool real, QStringView* number) {
    const qsizetype start = pos_;
    skip();
    const qsizetype length = numberLength(real);
    if (length == 0) {
        pos_ = start;
        return false;
    }
    *number = text_.mid(pos_, length);
    pos_ += length;
    return true;
}

bool DSScanner::scanLongLong(qint64* value) {
    QStringView number;
    if (!scanNumberText(false, &number))
        return false;
    if (value)
        *value = clampedInteger<qint64>(number);
    return true;
}

bool DSScanner::scanDouble(double* value) {
    QStringView number;
    if (!scanNumberText(true, &number))
        return false;
    if (value)
        *value = realValue(number);
    return true;
}

bool DSScanner::scanFloat(float* value) {
    double wide = 0;
    if (!scanDouble(&wide))
        return false;
    if (value)
        *value = float(wide);
    return true;
}

bool DSScanner::scanString(QStringView string) {
    const qsizetype start = pos_;
    skip();
    if (!string.isEmpty() && text_.mid(pos_).startsWith(string)) {
        pos_ += string.size();
        return true;
    }
    pos_ = start;
    return false;
}

bool DSScanner::scanSpan(QString* scanned, const std::function<qsizetype(qsizetype)>& endFrom) {
    const qsizetype start = pos_;
    skip();
    const qsizetype from = pos_;
    pos_ = endFrom(from);
    if (pos_ == from) {
        pos_ = start;
        return false;
    }
    if (scanned)
        *scanned = text_.mid(from, pos_ - from).toString();
    return true;
}

bool DSScanner::scanCharactersFromSet(QStringView set, QString* scanned) {
    return scanSpan(scanned, [&](qsizetype i) {
        while (i < text_.size() && set.contains(text_[i]))
            ++i;
        return i;
    });
}

bool DSScanner::scanUpToString(QStringView string, QString* scanned) {
    return scanSpan(scanned, [&](qsizetype from) {
        const qsizetype found = string.isEmpty() ? -1 : text_.indexOf(string, from);
        return found < 0 ? text_.size() : found;
    });
}

bool DSScanner::scanUpToCharactersFromSet(QStringView set, QString* scanned) {
    return scanSpan(scanned, [&](qsizetype i) {
        while (i < text_.size() && !set.contains(text_[i]))
            ++i;
        return i;
    });
}

int DSLeadingInt(QStringView text) {
    int value = 0;
    DSScanner(text).scanInt(&value);
    return value;
}

qint64 DSLeadingLongLong(QStringView text) {
    qint64 value = 0;
    DSScanner(text).scanLongLong(&value);
    return value;
}

std::optional<double> DSLeadingDouble(QStringView text) {
    double value = 0;
    if (!DSScanner(text).scanDouble(&value))
        return std::nullopt;
    return value;
}

QString DSDoubleString(double value) {
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

QString DSDecimalString(double value) {
    return QString::number(value, 'f', QLocale::FloatingPointShortest);
}
