#include "webservice/JsonCoder.h"

#include "JsonTestSupport.h"

#include <QByteArray>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace json_test;

namespace {

struct WriteCase {
    QVariant value;
    const char* json;
};

TEST(JsonWriterTest, WritesValuesCompactly) {
    const WriteCase cases[] = {
        {QString("a\tb\x0b"
                 "c/d\"e\\f\x1f"),
         R"("a\tb\u000bc/d\"e\\f\u001f")"},
        {QString::fromUtf8("\xC3\xA9\xF0\x9F\x98\x80\r\n\b\f"), "\"\xC3\xA9\xF0\x9F\x98\x80\\r\\n\\b\\f\""},
        {QVariantList{true, false, null(), 42, -7LL, 18446744073709551615ULL},
         "[true,false,null,42,-7,18446744073709551615]"},
        {QVariantList{0.1, 1e300, -0.5, 2.0, 0.1f}, "[0.1,1e+300,-0.5,2,0.1]"},
        {number("-12.50e+3"), "-12.50e+3"},
        {QVariantMap{{"b", QStringList{"x"}}, {"a", QVariantMap()}}, R"({"a":{},"b":["x"]})"},
    };
    for (const WriteCase& c : cases) {
        JsonWriter writer;
        EXPECT_EQ(writer.stringWithFragment(c.value).toUtf8(), QByteArray(c.json));
        EXPECT_TRUE(writer.errorTrace().isEmpty()) << c.json;
    }
}

TEST(JsonWriterTest, HumanReadableTextPutsEachMemberOnItsOwnIndentedLine) {
    JsonWriter writer;
    writer.setHumanReadable(true);
    writer.setSortKeys(true);
    const QVariantHash object{{"b", QVariantList()}, {"a", QVariantList{1, 2}}, {"c", QVariantMap()}};
    EXPECT_EQ(writer.stringWithObject(object),
              "{\n  \"a\" : [\n    1,\n    2\n  ],\n  \"b\" : [],\n  \"c\" : {}\n}");
    EXPECT_EQ(writer.stringWithObject(QVariantList()), "[]");
    // Without a nesting limit the levels are still counted, so the indentation stays right.
    writer.setMaxDepth(0);
    EXPECT_EQ(writer.stringWithObject(QVariantList{QVariantList{1}}), "[\n  [\n    1\n  ]\n]");
}

class Wrapped : public JsonProxy {
public:
    explicit Wrapped(QVariant value) : value(std::move(value)) {}
    QVariant proxyForJson() const override { return value; }
    QVariant value;
};

QVariant proxy(const QVariant& value) {
    return QVariant::fromValue(JsonProxyPointer(std::make_shared<Wrapped>(value)));
}

TEST(JsonWriterTest, AProxyIsWrittenAsTheValueItStandsFor) {
    JsonWriter writer;
    EXPECT_EQ(writer.stringWithObject(proxy(proxy(QVariantMap{{"k", proxy(5)}}))), R"({"k":5})");
    // A proxy that stands for itself ends in a failure, not in an endless loop.
    auto loop = std::make_shared<Wrapped>(QVariant());
    loop->value = QVariant::fromValue(JsonProxyPointer(loop));
    EXPECT_TRUE(writer.stringWithFragment(loop->value).isNull());
    EXPECT_EQ(failures(writer).back().code, 1);
    loop->value = QVariant(); // breaks the cycle of ownership
}

struct WriteFailure {
    QVariant value;
    bool asObject;
    std::vector<Failure> trace;
};

TEST(JsonWriterTest, ValuesWithoutAJsonFormFailWithTheirReason) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    QVariant deep = QVariantList(); // 512 levels
    for (int level = 1; level < 512; ++level)
        deep = QVariantList{deep};
    const WriteFailure cases[] = {
        {42, true, {{4, "Not valid type for JSON"}}},
        {QVariantMap{{"k", QByteArray("x")}},
         true,
         {{1, "JSON serialisation not supported for QByteArray"},
          {1, "Unsupported value for key k in object"}}},
        {QVariantList{nan}, true, {{1, "JSON serialisation not supported for double"}}},
        {QVariant(), false, {{1, "JSON serialisation not supported for an invalid value"}}},
        {QVariantList{deep}, true, {{7, "Nested too deep"}}},
    };
    for (const WriteFailure& c : cases) {
        JsonWriter writer;
        const QString json =
            c.asObject ? writer.stringWithObject(c.value) : writer.stringWithFragment(c.value);
        EXPECT_TRUE(json.isNull()) << json.toStdString();
        ASSERT_FALSE(writer.errorTrace().isEmpty());
        EXPECT_EQ(failures(writer).front(), c.trace.front());
        EXPECT_EQ(failures(writer).back(), c.trace.back());
    }
    JsonWriter writer;
    EXPECT_FALSE(writer.stringWithObject(deep).isNull()) << "512 levels are allowed";
}

TEST(JsonWriterTest, WhatIsWrittenReadsBackTheSame) {
    const QVariantMap document{{"s", QString::fromUtf8("\"\\/\x01\xC3\xA9\xF0\x9F\x98\x80")},
                               {"n", number("-0.5e-7")},
                               {"l", QVariantList{true, null(), QVariantMap{{"", QVariantList()}}}}};
    EXPECT_EQ(JSONValue(JSONRepresentation(document)), document);
}

} // namespace
