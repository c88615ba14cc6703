#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QString>

// A number as JSON text gave it: the exact decimal text, converted on demand and never through the locale,
// so that no digit is lost before a caller decides what the number is. A QVariant holding one converts
// to QString, double and qlonglong.
class JsonNumber {
public:
    JsonNumber() = default;
    explicit JsonNumber(QByteArray text) : text_(std::move(text)) {}

    const QByteArray& text() const { return text_; }
    QString toString() const { return QString::fromLatin1(text_); }
    // The nearest double; 0 with *ok false when the value lies beyond the range of a double.
    double toDouble(bool* ok = nullptr) const;
    // Only for texts without fraction and exponent; *ok is false for others and for overflow.
    qlonglong toLongLong(bool* ok = nullptr) const;

    friend bool operator==(const JsonNumber&, const JsonNumber&) = default;

    // Makes the QVariant conversions known; parser and writer call it, others need not.
    static void registerConversions();

private:
    QByteArray text_;
};

Q_DECLARE_METATYPE(JsonNumber)
