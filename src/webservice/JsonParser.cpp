#include "webservice/JsonParser.h"

#include "webservice/JsonNumber.h"

#include <array>
#include <cstring>

namespace {

using namespace json_error;

// The bytes that end a plain run inside a string. Byte 0 is among them: the input is bounded, not
// terminated, so a NUL is an unescaped control character like any other.
constexpr std::array<bool, 256> runEnders = [] {
    std::array<bool, 256> table{};
    for (int byte = 0; byte < 32; ++byte)
        table[byte] = true;
    table['"'] = true;
    table['\\'] = true;
    return table;
}();

bool isDigit(char byte) {
    return byte >= '0' && byte <= '9';
}

bool isWhitespace(char byte) {
    return byte == ' ' || byte == '\t' || byte == '\n' || byte == '\v' || byte == '\f' || byte == '\r';
}

int hexValue(char byte) {
    if (isDigit(byte))
        return byte - '0';
    if (byte >= 'a' && byte <= 'f')
        return byte - 'a' + 10;
    if (byte >= 'A' && byte <= 'F')
        return byte - 'A' + 10;
    return -1;
}

bool inRange(unsigned char byte, unsigned char low, unsigned char high) {
    return byte >= low && byte <= high;
}

// Strict UTF-8 (no overlong forms, no encoded surrogates, nothing past U+10FFFF).
bool isValidUtf8(const char* from, const char* to) {
    const auto* p = reinterpret_cast<const unsigned char*>(from);
    const auto* end = reinterpret_cast<const unsigned char*>(to);
    while (p < end) {
        const unsigned char lead = *p;
        int continuation = 0;
        unsigned char low = 0x80, high = 0xBF; // the range of the first continuation byte
        if (lead < 0x80) {
            ++p;
            continue;
        } else if (inRange(lead, 0xC2, 0xDF)) {
            continuation = 1;
        } else if (inRange(lead, 0xE0, 0xEF)) {
            continuation = 2;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (inRange(lead, 0xF0, 0xF4)) {
            continuation = 3;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (end - p <= continuation || !inRange(p[1], low, high))
            return false;
        for (int i = 2; i <= continuation; ++i)
            if (!inRange(p[i], 0x80, 0xBF))
                return false;
        p += continuation + 1;
    }
    return true;
}

QString hexByte(unsigned char byte) {
    return QString::number(byte, 16);
}

} // namespace

JsonParser::JsonParser() {
    JsonNumber::registerConversions();
}

QVariant JsonParser::fragmentWithString(const QString& text) {
    return parse(text.toUtf8(), text.isNull());
}

QVariant JsonParser::objectWithString(const QString& text) {
    return requireObject(fragmentWithString(text));
}

QVariant JsonParser::fragmentWithUtf8(const QByteArray& bytes) {
    return parse(bytes, bytes.isNull());
}

QVariant JsonParser::objectWithUtf8(const QByteArray& bytes) {
    return requireObject(fragmentWithUtf8(bytes));
}

QVariant JsonParser::requireObject(QVariant value) {
    if (!value.isValid())
        return {};
    const int type = value.typeId();
    if (type == QMetaType::QVariantMap || type == QMetaType::QVariantList)
        return value;
    addErrorWithCode(notAnObject, QStringLiteral("Valid fragment, but not JSON"));
    return {};
}

QVariant JsonParser::parse(const QByteArray& bytes, bool isNull) {
    clearErrorTrace();
    if (isNull) {
        addErrorWithCode(noInput, QStringLiteral("Input was 'nil'"));
        return {};
    }
    depth_ = 0;
    c_ = bytes.constData();
    end_ = c_ + bytes.size();
    QVariant value;
    bool ok = scanValue(value);
    if (ok) {
        skipWhitespace();
        if (c_ != end_) {
            addErrorWithCode(trailingGarbage, QStringLiteral("Garbage after JSON"));
            ok = false;
        }
    }
    c_ = end_ = nullptr; // the bytes go with this call
    return ok ? value : QVariant();
}

void JsonParser::skipWhitespace() {
    while (c_ != end_ && isWhitespace(*c_))
        ++c_;
}

bool JsonParser::skipSeparator(char closer, const char* failure) {
    // The comma is optional: elements apart by white space alone are accepted too.
    skipWhitespace();
    if (c_ == end_ || *c_ != ',')
        return true;
    ++c_;
    skipWhitespace();
    if (c_ != end_ && *c_ == closer) {
        addErrorWithCode(trailingComma, QString::fromLatin1(failure));
        return false;
    }
    return true;
}

bool JsonParser::scanValue(QVariant& value) {
    skipWhitespace();
    if (c_ == end_) {
        addErrorWithCode(endOfInput, QStringLiteral("Unexpected end of string"));
        return false;
    }
    switch (*c_) {
    case '"': {
        ++c_;
        QString string;
        if (!scanRestOfString(string))
            return false;
        value = string;
        return true;
    }
    case '[':
        ++c_;
        return scanRestOfArray(value);
    case '{':
        ++c_;
        return scanRestOfDictionary(value);
    case 't':
        return scanLiteral("rue", true, "Expected 'true'", value);
    case 'f':
        return scanLiteral("alse", false, "Expected 'false'", value);
    case 'n':
        return scanLiteral("ull", QVariant::fromValue(nullptr), "Expected 'null'", value);
    case '+':
        addErrorWithCode(badNumber, QStringLiteral("Leading + disallowed in number"));
        return false;
    default:
        if (*c_ == '-' || isDigit(*c_))
            return scanNumber(value);
        addErrorWithCode(badToken, QStringLiteral("Unrecognised leading character"));
        return false;
    }
}

bool JsonParser::scanLiteral(const char* rest, const QVariant& literal, const char* failure,
                             QVariant& value) {
    ++c_;
    const size_t length = std::strlen(rest);
    if (size_t(end_ - c_) < length || std::memcmp(c_, rest, length) != 0) {
        addErrorWithCode(badToken, QString::fromLatin1(failure));
        return false;
    }
    c_ += length;
    value = literal;
    return true;
}

bool JsonParser::scanNumber(QVariant& value) {
    const char* start = c_;
    const auto digitFollows = [this] { return c_ != end_ && isDigit(*c_); };
    const auto skipDigits = [this] {
        while (c_ != end_ && isDigit(*c_))
            ++c_;
    };
    if (*c_ == '-') {
        ++c_;
        if (!digitFollows()) {
            addErrorWithCode(badNumber, QStringLiteral("No digits after initial minus"));
            return false;
        }
    }
    if (*c_ == '0') {
        ++c_;
        if (digitFollows()) {
            addErrorWithCode(badNumber, QStringLiteral("Leading 0 disallowed in number"));
            return false;
        }
    } else {
        skipDigits();
    }
    if (c_ != end_ && *c_ == '.') {
        ++c_;
        if (!digitFollows()) {
            addErrorWithCode(badNumber, QStringLiteral("No digits after decimal point"));
            return false;
        }
        skipDigits();
    }
    if (c_ != end_ && (*c_ == 'e' || *c_ == 'E')) {
        ++c_;
        if (c_ != end_ && (*c_ == '-' || *c_ == '+'))
            ++c_;
        if (!digitFollows()) {
            addErrorWithCode(badNumber, QStringLiteral("No digits after exponent"));
            return false;
        }
        skipDigits();
    }
    value = QVariant::fromValue(JsonNumber(QByteArray(start, c_ - start)));
    return true;
}

bool JsonParser::scanRestOfArray(QVariant& value) {
    if (!enterNesting())
        return false;
    QVariantList array;
    for (;;) {
        skipWhitespace();
        if (c_ == end_)
            break;
        if (*c_ == ']') {
            ++c_;
            leaveNesting();
            value = std::move(array);
            return true;
        }
        QVariant element;
        if (!scanValue(element)) {
            addErrorWithCode(badToken, QStringLiteral("Expected value while parsing array"));
            return false;
        }
        array.append(std::move(element));
        if (!skipSeparator(']', "Trailing comma disallowed in array"))
            return false;
    }
    addErrorWithCode(endOfInput, QStringLiteral("End of input while parsing array"));
    return false;
}

bool JsonParser::scanRestOfDictionary(QVariant& value) {
    if (!enterNesting())
        return false;
    QVariantMap dictionary;
    for (;;) {
        skipWhitespace();
        if (c_ == end_)
            break;
        if (*c_ == '}') {
            ++c_;
            leaveNesting();
            value = std::move(dictionary);
            return true;
        }
        QString key;
        const bool keyStarts = *c_ == '"';
        if (keyStarts)
            ++c_;
        if (!keyStarts || !scanRestOfString(key)) {
            addErrorWithCode(badToken, QStringLiteral("Object key string expected"));
            return false;
        }
        skipWhitespace();
        if (c_ == end_)
            break;
        if (*c_ != ':') {
            addErrorWithCode(badToken, QStringLiteral("Expected ':' separating key and value"));
            return false;
        }
        ++c_;
        QVariant element;
        if (!scanValue(element)) {
            addErrorWithCode(badToken, QStringLiteral("Object value expected for key: %1").arg(key));
            return false;
        }
        dictionary.insert(key, std::move(element));
        if (!skipSeparator('}', "Trailing comma disallowed in object"))
            return false;
    }
    addErrorWithCode(endOfInput, QStringLiteral("End of input while parsing object"));
    return false;
}

bool JsonParser::scanRestOfString(QString& string) {
    for (;;) {
        if (!scanPlainRun(string))
            return false;
        // The end of the input counts as byte 0: an unterminated string is an unescaped control character.
        const unsigned char byte = c_ == end_ ? 0 : static_cast<unsigned char>(*c_);
        if (byte == '"') {
            ++c_;
            return true;
        }
        if (byte != '\\') {
            addErrorWithCode(controlCharacter,
                             QStringLiteral("Unescaped control character '0x%1'").arg(hexByte(byte)));
            return false;
        }
        ++c_;
        if (!scanEscape(string))
            return false;
        if (c_ == end_) {
            addErrorWithCode(endOfInput, QStringLiteral("Unexpected EOF while parsing string"));
            return false;
        }
    }
}

bool JsonParser::scanPlainRun(QString& string) {
    const char* run = c_;
    while (c_ != end_ && !runEnders[static_cast<unsigned char>(*c_)])
        ++c_;
    if (c_ == run)
        return true;
    if (!isValidUtf8(run, c_)) {
        addErrorWithCode(badUnicode, QStringLiteral("Invalid UTF-8 in string"));
        return false;
    }
    string += QString::fromUtf8(run, c_ - run);
    return true;
}

bool JsonParser::scanEscape(QString& string) {
    const unsigned char byte = c_ == end_ ? 0 : static_cast<unsigned char>(*c_);
    switch (byte) {
    case '"':
    case '/':
    case '\\':
        string += QChar(byte);
        break;
    case 'b':
        string += QChar(0x08);
        break;
    case 'f':
        string += QChar(0x0C);
        break;
    case 'n':
        string += QChar(0x0A);
        break;
    case 'r':
        string += QChar(0x0D);
        break;
    case 't':
        string += QChar(0x09);
        break;
    case 'u':
        ++c_;
        if (scanUnicodeEscape(string))
            return true;
        addErrorWithCode(badUnicode, QStringLiteral("Broken unicode character"));
        return false;
    default:
        addErrorWithCode(badEscape, QStringLiteral("Illegal escape sequence '0x%1'").arg(hexByte(byte)));
        return false;
    }
    ++c_;
    return true;
}

bool JsonParser::scanUnicodeEscape(QString& string) {
    char16_t high = 0;
    if (!scanHexQuad(high))
        return false;
    if (QChar::isLowSurrogate(high)) {
        addErrorWithCode(badUnicode, QStringLiteral("Invalid high character in surrogate pair"));
        return false;
    }
    if (!QChar::isHighSurrogate(high)) {
        string += QChar(high);
        return true;
    }
    if (end_ - c_ < 2 || c_[0] != '\\' || c_[1] != 'u') {
        addErrorWithCode(badUnicode, QStringLiteral("Missing low character in surrogate pair"));
        return false;
    }
    c_ += 2;
    char16_t low = 0;
    if (!scanHexQuad(low))
        return false;
    if (!QChar::isLowSurrogate(low)) {
        addErrorWithCode(badUnicode, QStringLiteral("Invalid low surrogate char"));
        return false;
    }
    string += QChar(high);
    string += QChar(low);
    return true;
}

bool JsonParser::scanHexQuad(char16_t& unit) {
    unit = 0;
    for (int i = 0; i < 4; ++i) {
        const int digit = c_ == end_ ? -1 : hexValue(*c_);
        if (digit < 0) {
            addErrorWithCode(badUnicode, QStringLiteral("Missing hex digit in quad"));
            addErrorWithCode(badUnicode, QStringLiteral("Missing hex quad"));
            return false;
        }
        unit = char16_t(unit * 16 + digit);
        ++c_;
    }
    return true;
}
