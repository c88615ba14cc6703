#pragma once

#include <QString>
#include <QStringView>

#include <functional>
#include <optional>

// Reads items off a text one after the other, skipping (by default) white space and line ends before each.
// Every step checks the end of the text; a failed step leaves the position where it was. Numbers are read in
// the one form the documents use ("-12", "3.5e2"), whatever the process locale.
class DSScanner {
public:
    explicit DSScanner(QStringView text);

    // Characters passed over before each item; null for none.
    void setCharactersToBeSkipped(std::function<bool(QChar)> skipped) { skipped_ = std::move(skipped); }
    qsizetype location() const { return pos_; }
    void setLocation(qsizetype location) { pos_ = qBound<qsizetype>(0, location, text_.size()); }
    // Whether nothing but skipped characters is left.
    bool isAtEnd();
    // Skips the characters to be skipped; whether it passed over any.
    bool skip();

    // Whole numbers beyond their type's range give its largest or smallest value, as the reading still
    // succeeds.
    bool scanInt(int* value);
    bool scanLongLong(qint64* value);
    bool scanDouble(double* value);
    bool scanFloat(float* value);
    bool scanString(QStringView string);
    // At least one character of the set, as many as follow.
    bool scanCharactersFromSet(QStringView set, QString* scanned = nullptr);
    // Everything up to the string (or the end); fails when that is nothing.
    bool scanUpToString(QStringView string, QString* scanned = nullptr);
    bool scanUpToCharactersFromSet(QStringView set, QString* scanned = nullptr);

    static bool isWhitespaceOrNewline(QChar c);

private:
    // The length of the number's text at the position: sign, digits and, for a real number, fraction and
    // exponent.
    qsizetype numberLength(bool real) const;
    bool scanNumberText(bool real, QStringView* number);
    // Scans from the position (after skipping) to where `endFrom` says the item ends; fails on an empty item.
    bool scanSpan(QString* scanned, const std::function<qsizetype(qsizetype)>& endFrom);

    QStringView text_;
    qsizetype pos_ = 0;
    std::function<bool(QChar)> skipped_;
};

// The leading number of a text, as the documents' readers take it: leading white space skipped, 0 (or none)
// when the text does not begin with a number.
int DSLeadingInt(QStringView text);
qint64 DSLeadingLongLong(QStringView text);
std::optional<double> DSLeadingDouble(QStringView text);

// Number texts written into documents: the shortest text that reads back the same value ("0.1", "1e+21",
// "inf").
QString DSDoubleString(double value);
// The same in plain decimal notation, never with an exponent ("1000000000000000000000").
QString DSDecimalString(double value);
