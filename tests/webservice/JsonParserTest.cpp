#include "webservice/JsonParser.h"

#include "JsonTestSupport.h"

#include <gtest/gtest.h>

using namespace json_test;

namespace {

struct ParseCase {
    const char* text;
    QVariant expected;
};

TEST(JsonParserTest, ParsesWhatJsonAllows) {
    const QString smiley = QString::fromUcs4(U"\U0001F600", 1);
    const QString pair = QString::fromUtf16(u"\xD800\xDFFF", 2);
    const ParseCase cases[] = {
        {"[1 2]", QVariantList{number("1"), number("2")}}, // a comma between elements is optional
        {" \t\n\v\f\r-0 ", number("-0")},
        {"0.5e-3", number("0.5e-3")},
        {"123456789012345678901234567890.5E+8", number("123456789012345678901234567890.5E+8")},
        {"[true,false,null]", QVariantList{true, false, null()}},
        {R"("\"\/\\\b\f\n\r\t")", QString("\"/\\\b\f\n\r\t")},
        {R"("\uD83D\uDE00")", smiley},
        {R"("\uD800\uDFFF")", pair},
        {R"("\u00e9\u00C9\u0000")", QString::fromUtf16(u"\u00e9\u00c9\0", 3)},
        {"\"h\xC3\xA9llo \xF0\x9F\x98\x80\"", QString::fromUtf8("h\xC3\xA9llo \xF0\x9F\x98\x80")},
        {R"({"a":1,"b":{},"a":[]})", QVariantMap{{"a", QVariantList()}, {"b", QVariantMap()}}},
    };
    for (const ParseCase& c : cases) {
        JsonParser parser;
        EXPECT_EQ(parser.fragmentWithString(QString::fromUtf8(c.text)), c.expected) << c.text;
        EXPECT_TRUE(parser.errorTrace().isEmpty()) << c.text;
    }
}

struct FailCase {
    const char* text;
    std::vector<Failure> trace;
};

TEST(JsonParserTest, FailsWithTheChainOfErrorsInnermostFirst) {
    const FailCase cases[] = {
        {"[1,]", {{9, "Trailing comma disallowed in array"}}},
        {R"({"a":1 , })", {{9, "Trailing comma disallowed in object"}}},
        {"[,1]", {{3, "Unrecognised leading character"}, {3, "Expected value while parsing array"}}},
        {"01", {{2, "Leading 0 disallowed in number"}}},
        {"+1", {{2, "Leading + disallowed in number"}}},
        {"-", {{2, "No digits after initial minus"}}},
        {"1.", {{2, "No digits after decimal point"}}},
        {"1e+", {{2, "No digits after exponent"}}},
        {"truex", {{10, "Garbage after JSON"}}},
        {"tru", {{3, "Expected 'true'"}}},
        {"nul", {{3, "Expected 'null'"}}},
        {"", {{11, "Unexpected end of string"}}},
        {"[", {{11, "End of input while parsing array"}}},
        {R"({"a")", {{11, "End of input while parsing object"}}},
        {R"({"a" 1})", {{3, "Expected ':' separating key and value"}}},
        {"{1:2}", {{3, "Object key string expected"}}},
        {R"({"a":})", {{3, "Unrecognised leading character"}, {3, "Object value expected for key: a"}}},
        {"\"abc", {{5, "Unescaped control character '0x0'"}}},
        {"\"a\x1f\"", {{5, "Unescaped control character '0x1f'"}}},
        {R"("a\n)", {{11, "Unexpected EOF while parsing string"}}},
        {R"("\x")", {{8, "Illegal escape sequence '0x78'"}}},
        {R"(["\u12x"])",
         {{6, "Missing hex digit in quad"},
          {6, "Missing hex quad"},
          {6, "Broken unicode character"},
          {3, "Expected value while parsing array"}}},
        {R"("\uDC00")", {{6, "Invalid high character in surrogate pair"}, {6, "Broken unicode character"}}},
        {R"("\uD83Dx")", {{6, "Missing low character in surrogate pair"}, {6, "Broken unicode character"}}},
        {R"("\uD83D\u0041")", {{6, "Invalid low surrogate char"}, {6, "Broken unicode character"}}},
    };
    for (const FailCase& c : cases) {
        JsonParser parser;
        EXPECT_FALSE(parser.fragmentWithString(QString::fromUtf8(c.text)).isValid()) << c.text;
        EXPECT_EQ(failures(parser), c.trace) << c.text;
        const QList<JsonError>& trace = parser.errorTrace();
        for (qsizetype i = 1; i < trace.size(); ++i)
            EXPECT_EQ(trace[i].underlyingError->localizedDescription, trace[i - 1].localizedDescription);
    }
}

TEST(JsonParserTest, TheTopMustBeAnObjectOrAnArrayUnlessAFragmentIsAsked) {
    JsonParser parser;
    EXPECT_EQ(parser.fragmentWithString("42"), number("42"));
    EXPECT_FALSE(parser.objectWithString("42").isValid());
    EXPECT_EQ(failures(parser), (std::vector<Failure>{{4, "Valid fragment, but not JSON"}}));
    EXPECT_FALSE(parser.objectWithString(QString()).isValid());
    EXPECT_EQ(failures(parser), (std::vector<Failure>{{12, "Input was 'nil'"}}));
    // A failure is forgotten by the next call.
    EXPECT_EQ(parser.objectWithString("[]"), QVariantList());
    EXPECT_TRUE(parser.errorTrace().isEmpty());
}

QString nested(int levels, const char* open, const char* close) {
    return QString(open).repeated(levels) + QString(close).repeated(levels);
}

TEST(JsonParserTest, NestingIsLimitedTo512LevelsUnlessTheLimitIsLifted) {
    JsonParser parser;
    for (const auto& [open, close] : {std::pair{"[", "]"}, std::pair{"{\"k\":[", "]}"}}) {
        const int levelsPerUnit = QString(open).count(u'[') + QString(open).count(u'{');
        EXPECT_TRUE(parser.objectWithString(nested(512 / levelsPerUnit, open, close)).isValid()) << open;
        EXPECT_FALSE(parser.objectWithString(nested(512 / levelsPerUnit + 1, open, close)).isValid()) << open;
        ASSERT_FALSE(parser.errorTrace().isEmpty());
        EXPECT_EQ(failures(parser).front(), (Failure{7, "Nested too deep"}));
    }
    parser.setMaxDepth(0);
    EXPECT_TRUE(parser.objectWithString(nested(3000, "[", "]")).isValid());
}

TEST(JsonParserTest, BytesThatAreNotUtf8AreRefusedInsideStrings) {
    const char* texts[] = {
        "\"\xC0\xAF\"",         // overlong '/'
        "\"\xED\xA0\x80\"",     // an encoded surrogate
        "\"\xF4\x90\x80\x80\"", // past U+10FFFF
        "\"\xE2\x82\"",         // cut short before the closing quotation mark
        "\"\xFF\"",
    };
    for (const char* text : texts) {
        JsonParser parser;
        EXPECT_FALSE(parser.fragmentWithUtf8(text).isValid()) << text;
        EXPECT_EQ(failures(parser), (std::vector<Failure>{{6, "Invalid UTF-8 in string"}})) << text;
    }
}

TEST(JsonParserTest, NumbersKeepTheirTextAndConvertOnDemand) {
    JsonParser parser;
    const QVariantList numbers =
        parser.objectWithString("[3600, -12.5e1, 1e999999, 9223372036854775808, 0.1]").toList();
    ASSERT_EQ(numbers.size(), 5);
    EXPECT_EQ(numbers[0].toString(), "3600");
    EXPECT_EQ(numbers[0].toLongLong(), 3600);
    EXPECT_DOUBLE_EQ(numbers[1].toDouble(), -125.0);
    bool ok = true;
    EXPECT_EQ(numbers[2].value<JsonNumber>().text(), "1e999999");
    numbers[2].value<JsonNumber>().toDouble(&ok);
    EXPECT_FALSE(ok);
    numbers[3].value<JsonNumber>().toLongLong(&ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(numbers[3].toString(), "9223372036854775808");
    numbers[1].value<JsonNumber>().toLongLong(&ok);
    EXPECT_FALSE(ok) << "a fraction or an exponent is no integer";
    EXPECT_EQ(numbers[4].toDouble(), 0.1);
}

// What a server might send when it is broken or hostile: every cut and many flipped bytes of a valid
// reply. Each answer is a value or a failure with its reason; none reads past the input or crashes.
TEST(JsonParserTest, CutOrCorruptedRepliesFailCleanly) {
    const QByteArray reply = R"({"access_token":"ya29.A\u00e9\uD83D\uDE00","expires_in":3600,)"
                             R"("list":[1,-2.5e3,true,false,null,{"x":"\"\\\/\b\f\n\r\t"}],"e":)"
                             "\"\xC3\xA9\"}";
    JsonParser parser;
    ASSERT_TRUE(parser.objectWithUtf8(reply).isValid());
    const auto check = [&](const QByteArray& bytes) {
        // A copy on the heap of exactly the input's size, so that a read past it is caught by sanitizers.
        const std::vector<char> exact(bytes.begin(), bytes.end());
        const bool parsed =
            parser.fragmentWithUtf8(QByteArray::fromRawData(exact.data(), bytes.size())).isValid();
        EXPECT_NE(parsed, !parser.errorTrace().isEmpty()) << bytes.toStdString();
    };
    for (qsizetype length = 0; length < reply.size(); ++length)
        check(reply.left(length));
    for (qsizetype at = 0; at < reply.size(); ++at)
        for (const char flip : {'\x01', '\x20', '\x5c', '\x80', '\xff'}) {
            QByteArray bytes = reply;
            bytes[at] = char(bytes[at] ^ flip);
            check(bytes);
        }
}

} // namespace
