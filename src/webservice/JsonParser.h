#pragma once

#include "webservice/JsonBase.h"

#include <QByteArray>
#include <QString>
#include <QVariant>

// Reads JSON text into QVariantMap (objects), QVariantList (arrays), QString, JsonNumber (numbers, exact),
// bool and QVariant::fromValue(nullptr) (null). Every call answers an invalid QVariant on failure and
// leaves the chain of errors, innermost first, in errorTrace(). Reading stops at the end of the input,
// whatever the input holds; with the default nesting limit, any input is safe to hand it.
class JsonParser : public JsonBase {
public:
    JsonParser();

    // Any value at the top; a null QString fails with code 12.
    QVariant fragmentWithString(const QString& text);
    // Only an object or an array at the top (else code 4).
    QVariant objectWithString(const QString& text);
    // The same for bytes as a server sent them; bytes that are not UTF-8 inside a string fail (code 6).
    QVariant fragmentWithUtf8(const QByteArray& bytes);
    QVariant objectWithUtf8(const QByteArray& bytes);

private:
    QVariant parse(const QByteArray& bytes, bool isNull);
    QVariant requireObject(QVariant value);
    void skipWhitespace();
    bool skipSeparator(char closer, const char* failure);
    bool scanValue(QVariant& value);
    bool scanLiteral(const char* rest, const QVariant& literal, const char* failure, QVariant& value);
    bool scanNumber(QVariant& value);
    bool scanRestOfArray(QVariant& value);
    bool scanRestOfDictionary(QVariant& value);
    bool scanRestOfString(QString& string);
    bool scanPlainRun(QString& string);
    bool scanEscape(QString& string);
    bool scanUnicodeEscape(QString& string);
    bool scanHexQuad(char16_t& unit);

    const char* c_ = nullptr; // the read position
    const char* end_ = nullptr;
};
