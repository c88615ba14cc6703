#include "support/DSTestClasses.h"
#include "webservice/DSClasses.h"
#include "webservice/DSRating.h"

#include <gtest/gtest.h>

#include <QLocale>

#include <clocale>
#include <thread>

using namespace ds_test;

namespace {

const DSClass* classFor(const QString& xml, const DSClass& receiver = DSObject::staticClass()) {
    registerKinds();
    return DSObject::objectClassForXMLElement(receiver, DSXMLElement::elementWithXMLString(xml));
}

} // namespace

TEST(DSKinds, LookupTriesTheTermAloneThenSchemeAndTermThenTheWholeScheme) {
    DSKindMap map;
    EXPECT_TRUE(
        DSObject::registerClass(Entry::staticClass(), map, DSCategoryKindScheme(), QStringLiteral("k1")));
    EXPECT_TRUE(
        DSObject::registerClass(Feed::staticClass(), map, QStringLiteral("urn:s"), QStringLiteral("t2")));
    EXPECT_TRUE(DSObject::registerClass(OtherEntry::staticClass(), map, QStringLiteral("urn:s"), QString()));
    const struct {
        QString scheme;
        const char* term;
        const DSClass* expected;
    } cases[] = {
        {DSCategoryKindScheme(), "k1", &Entry::staticClass()},
        {QStringLiteral("urn:other"), "k1", &Entry::staticClass()},
        {QString(), "k1", &Entry::staticClass()},
        {QStringLiteral("urn:s"), "t2", &Feed::staticClass()},
        {QStringLiteral("urn:s"), "unregistered", &OtherEntry::staticClass()},
        {QString(), "unregistered", nullptr},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DSObject::classForCategory(c.scheme, QString::fromUtf8(c.term), map), c.expected)
            << c.scheme.toStdString() << " " << c.term;
    EXPECT_FALSE(
        DSObject::registerClass(Feed::staticClass(), map, DSCategoryKindScheme(), QStringLiteral("k1")));
    EXPECT_FALSE(
        DSObject::registerClass(Feed::staticClass(), map, QStringLiteral("urn:s"), QStringLiteral("t3")));
    EXPECT_EQ(DSObject::classForCategory(DSCategoryKindScheme(), QStringLiteral("k1"), map),
              &Entry::staticClass());
}

TEST(DSKinds, RootElementsFindTheirClassByKindAttributeThenCategory) {
    const QString head = QStringLiteral("<entry xmlns='http://www.w3.org/2005/Atom' "
                                        "xmlns:ds='http://schemas.vistrelle.invalid/ds/2005'");
    const QString category =
        QStringLiteral("<category scheme='%1' term='test-entry-b'/>").arg(DSCategoryKindScheme());
    EXPECT_EQ(
        classFor(head + QStringLiteral(" ds:kind='test-entry-a'>") + category + QStringLiteral("</entry>")),
        &Entry::staticClass());
    EXPECT_EQ(classFor(head + QStringLiteral(">") + category + QStringLiteral("</entry>")),
              &OtherEntry::staticClass());
    EXPECT_EQ(
        classFor(QStringLiteral("<entry><category scheme='urn:elsewhere' term='test-entry-a'/></entry>")),
        &Entry::staticClass());
    EXPECT_EQ(classFor(QStringLiteral("<entry/>")), &DSEntryBase::staticClass());
    EXPECT_EQ(classFor(QStringLiteral("<entry/>"), Feed::staticClass()), &OtherEntry::staticClass());
    EXPECT_EQ(classFor(QStringLiteral("<feed/>")), &DSFeedBase::staticClass());
    EXPECT_EQ(classFor(QStringLiteral("<feed><category scheme='%1' term='test-feed'/></feed>")
                           .arg(DSCategoryKindScheme())),
              &Feed::staticClass());
    EXPECT_EQ(classFor(QStringLiteral("<service/>")), nullptr);
    EXPECT_EQ(classFor(QStringLiteral("<other/>")), nullptr);
}

TEST(DSKinds, DocumentsParseIntoTheirKindsFromAnyThread) {
    registerKinds();
    const QByteArray document =
        QByteArrayLiteral("<entry xmlns='http://www.w3.org/2005/Atom'><category "
                          "scheme='http://schemas.vistrelle.invalid/ds/2005#kind' "
                          "term='test-entry-a'/><t:value xmlns:t='urn:test:values'>7</t:value></entry>");
    std::shared_ptr<Entry> parsed[2];
    std::thread workers[2];
    for (int i = 0; i < 2; ++i)
        workers[i] = std::thread([&, i] {
            registerDsClasses();
            parsed[i] = DSInstanceCast<Entry>(DSObject::objectWithXMLData(document));
        });
    for (std::thread& worker : workers)
        worker.join();
    for (const auto& entry : parsed) {
        ASSERT_TRUE(entry);
        EXPECT_EQ(entry->objectFor<Value>()->intValue(), 7);
    }
    EXPECT_EQ(DSClass::classNamed(QStringLiteral("DSRating")), &DSRating::staticClass());
    EXPECT_TRUE(DSClass::classNamed(QStringLiteral("DSEntryContent")));
    EXPECT_FALSE(DSObject::objectWithXMLData("<not-xml"));
}

TEST(DSTypedValues, GettersReadTheStoredTextsWithTheirDefaults) {
    auto link = Link::object();
    link->setStringValueForAttribute(QStringLiteral(""), QStringLiteral("rel"));
    EXPECT_FALSE(link->intNumberForAttribute(QStringLiteral("rel")));
    EXPECT_EQ(link->longLongNumberForAttribute(QStringLiteral("rel")), 0);
    EXPECT_FALSE(link->longLongNumberForAttribute(QStringLiteral("absent")));
    EXPECT_TRUE(link->boolValueForAttribute(QStringLiteral("absent"), true));
    const struct {
        const char* text;
        bool withDefaultYes;
        bool withDefaultNo;
    } bools[] = {{"yes", true, false}, {"FALSE", false, false}, {"True", true, true}};
    for (const auto& b : bools) {
        link->setStringValueForAttribute(QString::fromUtf8(b.text), QStringLiteral("href"));
        EXPECT_EQ(link->boolValueForAttribute(QStringLiteral("href"), true), b.withDefaultYes) << b.text;
        EXPECT_EQ(link->boolValueForAttribute(QStringLiteral("href"), false), b.withDefaultNo) << b.text;
    }
    link->setStringValueForAttribute(QStringLiteral("12abc"), QStringLiteral("href"));
    EXPECT_EQ(link->intNumberForAttribute(QStringLiteral("href")), 12);
    link->setStringValueForAttribute(QStringLiteral("-inf"), QStringLiteral("href"));
    EXPECT_EQ(link->doubleNumberForAttribute(QStringLiteral("href")),
              -std::numeric_limits<double>::infinity());
}

TEST(DSTypedValues, SettersWriteBoolsOnlyWhenTheyDifferFromTheDefault) {
    auto link = Link::object();
    link->setBoolValue(false, false, QStringLiteral("rel"));
    EXPECT_TRUE(link->stringValueForAttribute(QStringLiteral("rel")).isNull());
    link->setBoolValue(true, false, QStringLiteral("rel"));
    EXPECT_EQ(link->stringValueForAttribute(QStringLiteral("rel")), QStringLiteral("true"));
    link->setExplicitBoolValue(false, QStringLiteral("href"));
    EXPECT_EQ(link->stringValueForAttribute(QStringLiteral("href")), QStringLiteral("false"));
    link->setDateTimeValue(DSDateTime::dateTimeWithRFC3339String(QStringLiteral("2009-01-27")),
                           QStringLiteral("d"));
    EXPECT_EQ(link->dateTimeForAttribute(QStringLiteral("d"))->RFC3339String(), QStringLiteral("2009-01-27"));
}

TEST(DSTypedValues, DecimalsIgnoreADecimalCommaLocale) {
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const std::string previousC = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    auto link = Link::object();
    link->setDecimalNumberValue(1234.5, QStringLiteral("rel"));
    const QString stored = link->stringValueForAttribute(QStringLiteral("rel"));
    const auto readBack = link->decimalNumberForAttribute(QStringLiteral("rel"));
    link->setDecimalNumberValue(1e21, QStringLiteral("href"));
    std::setlocale(LC_ALL, previousC.c_str());
    QLocale::setDefault(previous);
    EXPECT_EQ(stored, QStringLiteral("1234.5"));
    EXPECT_EQ(readBack, 1234.5);
    EXPECT_EQ(link->stringValueForAttribute(QStringLiteral("href")),
              QStringLiteral("1000000000000000000000"));
}

TEST(DSTypedValues, LabelsCanBeLimitedToServiceVersions) {
    auto object = DSObject::object();
    object->setServiceVersion(QStringLiteral("1.0"));
    EXPECT_TRUE(object->labelAdjustedForVersion(QStringLiteral("version>=2.0:etag")).isNull());
    EXPECT_EQ(object->labelAdjustedForVersion(QStringLiteral("version<=1.0:old")), QStringLiteral("old"));
    EXPECT_EQ(object->labelAdjustedForVersion(QStringLiteral("version>=2.0")),
              QStringLiteral("version>=2.0"));
    object->setServiceVersion(QStringLiteral("2.0"));
    EXPECT_EQ(object->labelAdjustedForVersion(QStringLiteral("version>=2.0:etag")), QStringLiteral("etag"));
}

TEST(DSTypedValues, DescriptionsListWhatIsSetAndWhatWasNotUnderstood) {
    EXPECT_FALSE(DSObject::object()->description().contains(QLatin1Char(':')));
    const DSObjectRef object = DSObject::objectWithXMLElement(
        DSXMLElement::elementWithXMLString(QStringLiteral("<r z='1'><b/><a/><b/></r>")),
        &DSObject::staticClass());
    EXPECT_TRUE(object->description().endsWith(QStringLiteral(": {unparsed:<a>,<b> unparsedAttr:z}")))
        << qPrintable(object->description());

    QStringList items;
    object->addDescriptionRecords(
        {{QStringLiteral("none"), [](const DSObject&) { return QVariant(QStringList()); }, 3},
         {QStringLiteral("data"), [](const DSObject&) { return QVariant(QByteArray(12, 'x')); }, 7},
         {QStringLiteral("flag"), [](const DSObject&) { return QVariant(false); }, 5},
         {QStringLiteral("version>=3:later"), [](const DSObject&) { return QVariant(QStringLiteral("v")); },
          1}},
        items);
    EXPECT_EQ(items, (QStringList{QStringLiteral("data:#12"), QStringLiteral("flag:NO")}));
}
