#include "support/TestEnvironment.h"
#include "webservice/DSXMLDocument.h"

#include <gtest/gtest.h>

namespace {

const QString kUri = QStringLiteral("urn:test:ds");

DSXMLElementRef parseElement(const char* text) {
    DSXMLElementRef element = DSXMLElement::elementWithXMLString(QString::fromUtf8(text));
    EXPECT_TRUE(element) << text;
    return element;
}

DSXMLElementRef elementAt(const DSXMLElementRef& parent, int index) {
    return std::static_pointer_cast<DSXMLElement>(parent->childAtIndex(index));
}

} // namespace

TEST(DSXMLTree, ElementNamedByURITakesThePrefixDeclaredByItsNewParent) {
    DSXMLElementRef root = DSXMLNode::elementWithName(QStringLiteral("root"));
    root->addNamespace(DSXMLNode::namespaceWithName(QStringLiteral("ds"), kUri));
    root->addChild(DSXMLNode::elementWithNameURI(QStringLiteral("whatever:thing"), kUri));
    const DSXMLNodeRef added = root->childAtIndex(0);
    EXPECT_EQ(added->prefix(), QStringLiteral("ds"));
    EXPECT_EQ(added->localName(), QStringLiteral("thing"));
    EXPECT_EQ(added->URI(), kUri);
    EXPECT_EQ(root->XMLString(), QStringLiteral("<root xmlns:ds=\"urn:test:ds\"><ds:thing/></root>"));
}

TEST(DSXMLTree, CopyAddedUnderAParentDeclaringTheSameNamespaceDropsItsOwnDeclaration) {
    DSXMLElementRef root = parseElement("<root xmlns:ds='urn:test:ds'/>");
    root->addChild(parseElement("<ds:child xmlns:ds='urn:test:ds' ds:a='1'><ds:inner/></ds:child>"));
    const DSXMLElementRef child = elementAt(root, 0);
    EXPECT_TRUE(child->namespaces().isEmpty());
    EXPECT_EQ(child->URI(), kUri);
    EXPECT_EQ(
        root->XMLString(),
        QStringLiteral("<root xmlns:ds=\"urn:test:ds\"><ds:child ds:a=\"1\"><ds:inner/></ds:child></root>"));
}

TEST(DSXMLTree, XPathReachesTheDefaultNamespaceThroughItsPrefix) {
    const DSXMLDocumentRef document = DSXMLDocument::documentWithXMLString(
        QStringLiteral("<feed xmlns='urn:atom'><entry><title>one</title></entry><entry/></feed>"));
    const DSXMLElementRef root = document->rootElement();
    const auto entries = root->nodesForXPath(QStringLiteral("_def_ns:entry"));
    ASSERT_TRUE(entries);
    EXPECT_EQ(entries->size(), 2);
    const auto titles = entries->first()->nodesForXPath(QStringLiteral("_def_ns:title"));
    ASSERT_TRUE(titles && titles->size() == 1);
    EXPECT_EQ(titles->first()->stringValue(), QStringLiteral("one"));
    const auto mapped = document->nodesForXPath(QStringLiteral("//a:title"),
                                                {{QStringLiteral("a"), QStringLiteral("urn:atom")}});
    EXPECT_TRUE(mapped && mapped->size() == 1);
}

TEST(DSXMLTree, XPathOnADetachedElementLeavesItDetached) {
    const DSXMLElementRef element = parseElement("<a><b/><b/><c/></a>");
    for (int round = 0; round < 2; ++round) {
        const auto found = element->nodesForXPath(QStringLiteral("b"));
        ASSERT_TRUE(found);
        EXPECT_EQ(found->size(), 2);
        EXPECT_EQ(element->XMLNode()->doc, nullptr);
        EXPECT_EQ(element->XMLNode()->parent, nullptr);
    }
}

TEST(DSXMLTree, XPathAnswersNoMatchWithAnEmptyListAndABadQueryWithAnError) {
    const DSXMLElementRef element = parseElement("<a><b/></a>");
    DSXMLError error;
    const auto none = element->nodesForXPath(QStringLiteral("zzz"), &error);
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->isEmpty());
    const auto bad = element->nodesForXPath(QStringLiteral("b[["), &error);
    EXPECT_FALSE(bad);
    EXPECT_EQ(error.domain, QLatin1String(kDSXMLErrorDomain));
    EXPECT_NE(error.code, 0);
    EXPECT_TRUE(error.userInfo.contains(QLatin1String(kDSXMLErrorDetailKey)));
}

TEST(DSXMLTree, ElementsCompareLooselyByKindNameAndChildCount) {
    const DSXMLElementRef a = parseElement("<x><p/><q/></x>");
    EXPECT_TRUE(a->isEqual(*parseElement("<x><r/>text</x>")));
    EXPECT_FALSE(a->isEqual(*parseElement("<x><p/></x>")));
    EXPECT_FALSE(a->isEqual(*parseElement("<y><p/><q/></y>")));
}

TEST(DSXMLTree, ARemovedChildStaysUsable) {
    const DSXMLElementRef root = parseElement("<r><c k='v'><g>deep</g></c><d/></r>");
    const DSXMLElementRef child = elementAt(root, 0);
    const DSXMLNodeRef grandchild = child->childAtIndex(0);
    root->removeChild(child);
    EXPECT_EQ(root->childCount(), 1);
    EXPECT_EQ(child->XMLString(), QStringLiteral("<c k=\"v\"><g>deep</g></c>"));
    EXPECT_EQ(grandchild->stringValue(), QStringLiteral("deep"));
    root->removeChild(child); // not a child any more: nothing happens
    EXPECT_EQ(root->childCount(), 1);
}

TEST(DSXMLTree, NodesOutliveTheirDocumentAndReplacedContent) {
    DSXMLElementRef root;
    DSXMLNodeRef text;
    {
        const DSXMLDocumentRef document =
            DSXMLDocument::documentWithXMLString(QStringLiteral("<r xmlns:p='urn:p'><p:c>old</p:c></r>"));
        root = document->rootElement();
        text = elementAt(root, 0)->childAtIndex(0);
    }
    EXPECT_EQ(root->XMLString(), QStringLiteral("<r xmlns:p=\"urn:p\"><p:c>old</p:c></r>"));
    elementAt(root, 0)->setStringValue(QStringLiteral("a < b"));
    EXPECT_EQ(text->stringValue(), QStringLiteral("old"));
    EXPECT_EQ(root->XMLString(), QStringLiteral("<r xmlns:p=\"urn:p\"><p:c>a &lt; b</p:c></r>"));
    root->setNamespaces({DSXMLNode::namespaceWithName(QStringLiteral("q"), QStringLiteral("urn:q"))});
    EXPECT_EQ(elementAt(root, 0)->URI(), QStringLiteral("urn:p"));
}

TEST(DSXMLTree, AttributesAreFoundByNameAsWrittenOrByNamespace) {
    const DSXMLElementRef element = parseElement("<e xmlns:d='urn:test:ds' d:etag='1' plain='old'/>");
    EXPECT_EQ(element->attributeForName(QStringLiteral("d:etag"))->stringValue(), QStringLiteral("1"));
    EXPECT_EQ(element->attributeForLocalNameURI(QStringLiteral("etag"), kUri)->stringValue(),
              QStringLiteral("1"));
    element->attributeForName(QStringLiteral("plain"))->setStringValue(QStringLiteral("2"));
    EXPECT_EQ(element->attributeForName(QStringLiteral("plain"))->stringValue(), QStringLiteral("2"));
    EXPECT_FALSE(element->attributeForName(QStringLiteral("etag")));
    EXPECT_EQ(element->resolvePrefixForNamespaceURI(kUri), QStringLiteral("d"));
    EXPECT_TRUE(element->resolvePrefixForNamespaceURI(QStringLiteral("urn:none")).isNull());

    // A copy of a namespaced attribute keeps its namespace and declares it where nothing does.
    const DSXMLElementRef target = DSXMLNode::elementWithName(QStringLiteral("t"));
    target->addChild(element->attributeForName(QStringLiteral("d:etag"))->copy());
    target->addAttribute(DSXMLNode::attributeWithName(QStringLiteral("plain"), QStringLiteral("x")));
    target->addAttribute(DSXMLNode::attributeWithName(QStringLiteral("plain"), QStringLiteral("ignored")));
    EXPECT_EQ(target->XMLString(), QStringLiteral("<t xmlns:d=\"urn:test:ds\" d:etag=\"1\" plain=\"x\"/>"));
}

TEST(DSXMLTree, NodeKindsAndNames) {
    const DSXMLElementRef element = parseElement("<p:e xmlns:p='urn:p' a='1'>t<!--c--><?pi x?></p:e>");
    EXPECT_EQ(element->kind(), DSXMLNode::ElementKind);
    EXPECT_EQ(element->name(), QStringLiteral("p:e"));
    EXPECT_EQ(element->attributes().first()->kind(), DSXMLNode::AttributeKind);
    EXPECT_EQ(element->namespaces().first()->kind(), DSXMLNode::NamespaceKind);
    EXPECT_EQ(element->namespaces().first()->name(), QStringLiteral("p"));
    EXPECT_EQ(element->namespaces().first()->XMLString(), QStringLiteral("xmlns:p=\"urn:p\""));
    EXPECT_EQ(element->childAtIndex(0)->kind(), DSXMLNode::TextKind);
    EXPECT_EQ(element->childAtIndex(1)->kind(), DSXMLNode::CommentKind);
    EXPECT_EQ(element->childAtIndex(2)->kind(), DSXMLNode::ProcessingInstructionKind);
    EXPECT_FALSE(element->childAtIndex(3));
    EXPECT_EQ(DSXMLNode::localNameForName(QStringLiteral("a:")), QStringLiteral("a:"));
    EXPECT_TRUE(DSXMLNode::prefixForName(QStringLiteral("plain")).isNull());
}
