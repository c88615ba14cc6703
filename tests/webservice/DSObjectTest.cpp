#include "support/DSTestClasses.h"

#include <gtest/gtest.h>

using namespace ds_test;

namespace {

std::shared_ptr<Entry> parseEntry(const QByteArray& document = entryDocument(), bool ignoreUnknowns = false) {
    const DSXMLDocumentRef xml = DSXMLDocument::documentWithData(document);
    EXPECT_TRUE(xml);
    return DSInstanceCast<Entry>(DSObject::objectWithXMLElement(xml->rootElement(), &Entry::staticClass(),
                                                                QString(), std::nullopt, ignoreUnknowns));
}

QStringList childNames(const DSXMLElementRef& element) {
    QStringList names;
    for (const DSXMLNodeRef& child : element->children())
        names.append(child->kind() == DSXMLNode::ElementKind ? child->name()
                                                             : QString::number(child->kind()));
    return names;
}

} // namespace

TEST(DSObject, ParsesDeclaredChildrenAttributesAndWholeNamespaces) {
    const auto entry = parseEntry();
    EXPECT_EQ(entry->objectFor<Value>()->stringValue(), QStringLiteral("1"));
    const auto links = entry->objectsFor<Link>();
    ASSERT_EQ(links.size(), 2);
    EXPECT_EQ(links[1]->stringValueForAttribute(QStringLiteral("href")), QStringLiteral("b"));
    EXPECT_EQ(entry->objectFor<Link>(), links[0]);
    EXPECT_EQ(links[0]->parent(), entry);
    EXPECT_EQ(entry->objectsForExtensionClass(Value::staticClass()).size(), 1);
    const auto others = entry->objectsFor<AnyOther>();
    ASSERT_EQ(others.size(), 2);
    EXPECT_EQ(others[1]->elementName(), QStringLiteral("o:two"));
    EXPECT_EQ(entry->attributeValueForExtensionClass(ETag::staticClass()), QStringLiteral("W/1"));
    EXPECT_EQ(entry->unknownChildren().size(), 3);
    ASSERT_EQ(entry->unknownAttributes().size(), 1);
    EXPECT_EQ(entry->unknownAttributes().first()->name(), QStringLiteral("extra"));
}

TEST(DSObject, WritesUnknownNodesBackAfterTheKnownOnesUnlessIgnored) {
    const DSXMLElementRef written = parseEntry()->XMLElement();
    EXPECT_EQ(childNames(written),
              (QStringList{QStringLiteral("t:value"), QStringLiteral("link"), QStringLiteral("link"),
                           QStringLiteral("o:one"), QStringLiteral("o:two"), QStringLiteral("unknown"),
                           QString::number(DSXMLNode::CommentKind), QString::number(DSXMLNode::TextKind)}));
    EXPECT_EQ(written->attributes().last()->name(), QStringLiteral("extra"));
    EXPECT_EQ(written->attributeForLocalNameURI(QStringLiteral("etag"), DSNamespaceDS())->stringValue(),
              QStringLiteral("W/1"));

    const DSXMLElementRef bare = parseEntry(entryDocument(), true)->XMLElement();
    EXPECT_EQ(bare->childCount(), 5);
    EXPECT_FALSE(bare->attributeForName(QStringLiteral("extra")));
}

TEST(DSObject, WrittenDocumentReadsBackEqual) {
    const auto entry = parseEntry();
    const QByteArray data = entry->XMLDocument()->XMLData();
    EXPECT_TRUE(data.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
    const auto again = parseEntry(data);
    EXPECT_TRUE(again->isEqual(entry.get()));
    EXPECT_EQ(again->unknownChildren().size(), 3);
    EXPECT_EQ(again->XMLDocument()->XMLData(), data);
}

TEST(DSObject, CopiesEqualTheirSourceAndBelongToNoParent) {
    const auto entry = parseEntry();
    const auto copy = std::static_pointer_cast<Entry>(entry->copy());
    EXPECT_TRUE(copy->isEqual(entry.get()));
    EXPECT_TRUE(entry->isEqual(copy.get()));
    EXPECT_FALSE(copy->parent());
    EXPECT_FALSE(copy->objectFor<Link>()->parent());
    EXPECT_NE(copy->objectFor<Link>(), entry->objectFor<Link>());
    EXPECT_EQ(copy->unknownChildren().size(), 3);
    EXPECT_TRUE(parseEntry(entryDocument(), true)->copy()->unknownChildren().isEmpty());
}

TEST(DSObject, EqualityIgnoresUnknownsButTellsEmptyFromAbsentAttributes) {
    QByteArray other = entryDocument();
    other.replace("<unknown>u</unknown>", "<different/>");
    EXPECT_TRUE(parseEntry(other)->isEqual(parseEntry().get()));
    other.replace("href='b'", "href='c'");
    EXPECT_FALSE(parseEntry(other)->isEqual(parseEntry().get()));

    const auto withEmpty = Link::object();
    withEmpty->setAttributes(DSStringMap());
    EXPECT_FALSE(withEmpty->isEqual(Link::object().get()));
    EXPECT_TRUE(Link::object()->isEqual(Link::object().get()));
}

TEST(DSObject, AddingObjectsOneByOneMakesANamedList) {
    const auto entry = Entry::object();
    for (int i = 0; i < 3; ++i)
        entry->addObject(Value::valueWithInt(i), Value::staticClass());
    const auto values = entry->objectsFor<Value>();
    ASSERT_EQ(values.size(), 3);
    for (const auto& value : values)
        EXPECT_EQ(value->elementName(), QStringLiteral("t:value"));
    entry->removeObject(values[1], Value::staticClass());
    EXPECT_EQ(entry->objectsFor<Value>().size(), 2);
    entry->setObject(nullptr, Value::staticClass());
    EXPECT_FALSE(entry->objectFor<Value>());
}

TEST(DSObject, AttributesAreMatchedByTheirNameAsWritten) {
    QByteArray document = entryDocument();
    document.replace("xmlns:ds=", "xmlns:dz=").replace("ds:etag=", "dz:etag=");
    const auto entry = parseEntry(document);
    EXPECT_TRUE(entry->attributeValueForExtensionClass(ETag::staticClass()).isNull());
    EXPECT_EQ(entry->unknownAttributes().size(), 2);
    EXPECT_TRUE(entry->XMLElement()->XMLString().contains(QStringLiteral("dz:etag=\"W/1\"")));
}

TEST(DSObject, UnregisteredAtomEntriesBecomeTheEntryBase) {
    const DSXMLElementRef holder = DSXMLElement::elementWithXMLString(
        QStringLiteral("<h xmlns='http://www.w3.org/2005/Atom'><entry/><entry/></h>"));
    auto object = DSObject::object();
    const auto made = object->objectOrArrayForChildrenOfElement(holder, QStringLiteral("entry"),
                                                                QLatin1String(kDSNamespaceAtom), nullptr);
    ASSERT_EQ(made.size(), 2);
    EXPECT_EQ(&made[0]->dsClass(), &DSEntryBase::staticClass());
    // Two children where one is expected give none, and stay unknown.
    EXPECT_FALSE(
        object->childWithQualifiedName(QStringLiteral("entry"), QLatin1String(kDSNamespaceAtom), holder));
}

TEST(DSObject, KeptChildXMLIsWrittenAsOftenAsAsked) {
    const DSXMLElementRef element =
        DSXMLElement::elementWithXMLString(QStringLiteral("<keeper><a x='1'><b>t</b></a><c/></keeper>"));
    const DSObjectRef keeper = DSObject::objectWithXMLElement(element, &Keeper::staticClass());
    EXPECT_TRUE(keeper->unknownChildren().isEmpty());
    const QString first = keeper->XMLElement()->XMLString();
    EXPECT_EQ(first, QStringLiteral("<keeper><a x=\"1\"><b>t</b></a><c/></keeper>"));
    EXPECT_EQ(keeper->XMLElement()->XMLString(), first);
}

TEST(DSObject, NamespacesCombineDownTheTreeAndInheritedOnesArePruned) {
    const auto entry = parseEntry();
    const auto link = entry->objectFor<Link>();
    EXPECT_FALSE(link->namespaces());
    EXPECT_EQ(link->completeNamespaces()->value(QStringLiteral("t")), QLatin1String(kValueNamespace));
    link->setNamespaces(DSStringMap{{QStringLiteral("t"), QLatin1String(kValueNamespace)},
                                    {QStringLiteral("x"), QStringLiteral("urn:x")}});
    link->pruneInheritedNamespaces();
    EXPECT_EQ(link->namespaces()->keys(), QStringList{QStringLiteral("x")});
}

TEST(DSObject, WrittenValuesLoseControlCharacters) {
    const auto value = Value::valueWithString(QStringLiteral("a\u0001b\u200Dc\td"));
    EXPECT_EQ(value->XMLElement()->XMLString(), QStringLiteral("<t:value>abc\td</t:value>"));
}
