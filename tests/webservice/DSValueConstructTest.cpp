#include "support/DSTestClasses.h"
#include "webservice/DSEntryContent.h"
#include "webservice/DSRating.h"

#include <gtest/gtest.h>

using namespace ds_test;

namespace {

std::shared_ptr<DSEntryContent> parseContent(const QString& xml) {
    return DSInstanceCast<DSEntryContent>(DSObject::objectWithXMLElement(
        DSXMLElement::elementWithXMLString(xml), &DSEntryContent::staticClass()));
}

} // namespace

TEST(DSValueConstruct, TypedAccessorsReadTheLeadingValue) {
    const struct {
        const char* text;
        int intValue;
        bool boolValue;
        double doubleValue;
    } cases[] = {{"12abc", 12, false, 12.0}, {"abc", 0, false, 0.0},
                 {"TRUE", 0, true, 0.0},     {"yes", 0, false, 0.0},
                 {"-3.5", -3, false, -3.5},  {"99999999999", 2147483647, false, 99999999999.0}};
    for (const auto& c : cases) {
        const auto value = Value::valueWithString(QString::fromLatin1(c.text));
        EXPECT_EQ(value->intValue(), c.intValue) << c.text;
        EXPECT_EQ(value->boolValue(), c.boolValue) << c.text;
        EXPECT_EQ(value->doubleValue(), c.doubleValue) << c.text;
    }
    EXPECT_FALSE(Value::valueWithString(QString()));
    EXPECT_FALSE(Value::valueWithDateTime(std::nullopt));
    EXPECT_EQ(Value::valueWithDouble(0.1)->stringValue(), QStringLiteral("0.1"));
    EXPECT_EQ(Value::valueWithLongLong(-9000000000)->longLongValue(), -9000000000);
    EXPECT_EQ(Value::valueWithString(QString(""))->dateTimeValue(), std::nullopt);
}

TEST(DSValueConstruct, AttributeAndContentFormsWrite) {
    EXPECT_EQ(DSBoolValueConstruct::boolValueWithBool(true)->XMLElement()->XMLString(),
              QStringLiteral("<DSBoolValueConstruct value=\"true\"/>"));
    EXPECT_EQ(Value::valueWithInt(5)->XMLElement()->XMLString(), QStringLiteral("<t:value>5</t:value>"));
    const auto named = DSNameValueConstruct::valueWithName(QStringLiteral("n"), QStringLiteral("v"));
    EXPECT_EQ(named->name(), QStringLiteral("n"));
    EXPECT_FALSE(DSNameValueConstruct::valueWithName(QString(), QString()));
    EXPECT_TRUE(DSImplicitValueConstruct::implicitValue()->stringValue().isNull());
}

TEST(DSEntryContent, TheTypeDecidesWhatTheContentHolds) {
    const QString atom = QStringLiteral("xmlns='http://www.w3.org/2005/Atom'");
    const auto html =
        parseContent(QStringLiteral("<content %1 type='html' xml:lang='fr'>&lt;b&gt;hi</content>").arg(atom));
    EXPECT_EQ(html->stringValue(), QStringLiteral("<b>hi"));
    EXPECT_EQ(html->lang(), QStringLiteral("fr"));
    EXPECT_TRUE(html->XMLElement()->XMLString().contains(QStringLiteral(" xml:lang=\"fr\">&lt;b&gt;hi<")));

    const auto embedded = parseContent(
        QStringLiteral(
            "<content %1 type='application/atom+xml;type=entry'><entry><id>x</id></entry></content>")
            .arg(atom));
    ASSERT_TRUE(embedded->childObject());
    EXPECT_EQ(&embedded->childObject()->dsClass(), &DSEntryBase::staticClass());
    EXPECT_TRUE(embedded->stringValue().isNull());
    EXPECT_EQ(embedded->XMLElement()->XMLString(),
              QStringLiteral(
                  "<content xmlns=\"http://www.w3.org/2005/Atom\" type=\"application/atom+xml;type=entry\">"
                  "<entry><id>x</id></entry></content>"));
    EXPECT_TRUE(embedded->copy()->isEqual(embedded.get()));

    const auto image = parseContent(
        QStringLiteral("<content %1 type='image/png' src='http://h/p.png'>x</content>").arg(atom));
    EXPECT_TRUE(image->stringValue().isNull());
    EXPECT_EQ(image->sourceURL(), QUrl(QStringLiteral("http://h/p.png")));
    EXPECT_EQ(image->unknownChildren().size(), 1);

    const auto kml = parseContent(
        QStringLiteral("<content %1 type='application/vnd.geo.kml+xml'><kml><p/></kml></content>").arg(atom));
    EXPECT_EQ(kml->XMLValues().size(), 1);
}

TEST(DSEntryContent, TextTypesCompareEqual) {
    const auto plain = DSEntryContent::contentWithString(QStringLiteral("same"));
    const auto text = DSEntryContent::contentWithString(QStringLiteral("same"));
    text->setType(QStringLiteral("text"));
    EXPECT_TRUE(plain->isEqual(text.get()));
    EXPECT_TRUE(text->isEqual(plain.get()));
    text->setType(QStringLiteral("image/png"));
    EXPECT_FALSE(plain->isEqual(text.get()));
}

TEST(DSRating, ReadsItsNumbers) {
    const auto rating = DSInstanceCast<DSRating>(
        DSObject::objectWithXMLElement(DSXMLElement::elementWithXMLString(QStringLiteral(
                                           "<ds:rating xmlns:ds='http://schemas.vistrelle.invalid/ds/2005' "
                                           "numRaters='7' value='4' average='4.25'/>")),
                                       &DSRating::staticClass()));
    EXPECT_EQ(rating->numberOfRaters(), 7);
    EXPECT_EQ(rating->average(), 4.25);
    rating->setAverage(std::nullopt);
    EXPECT_FALSE(rating->average());
    EXPECT_EQ(DSRating::ratingWithValue(3, 5, 1)->XMLElement()->XMLString(),
              QStringLiteral("<ds:rating max=\"5\" min=\"1\" value=\"3\"/>"));
}
