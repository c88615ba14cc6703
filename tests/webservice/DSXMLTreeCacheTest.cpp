#include "support/DSServiceDocuments.h"
#include "support/TestEnvironment.h"
#include "webservice/DSXMLDocument.h"
#include "webservice/DSXMLTree.h"

#include <gtest/gtest.h>

#include <QSet>

namespace {

const QString kBase = QStringLiteral("https://127.0.0.1:4443");

// Everything a reader can ask of a node and of its subtree, one line a question. With `forget` the wrapper
// forgets what it read before every question, so each answer is read from the node itself.
class Reader {
public:
    explicit Reader(bool forget) : forget_(forget) {}

    QStringList read(const DSXMLNodeRef& node) {
        lines_.clear();
        node_(node, 0);
        return lines_;
    }

private:
    template <class Question> auto ask(const DSXMLNodeRef& node, Question question) {
        if (forget_)
            node->releaseCachedValues();
        return question();
    }

    void say(int depth, const QString& line) { lines_.append(QString(depth * 2, QLatin1Char(' ')) + line); }

    void node_(const DSXMLNodeRef& node, int depth) {
        say(depth,
            QStringLiteral("%1 kind %2 name '%3' local '%4' prefix '%5' uri '%6' children %7")
                .arg(node->description().section(QLatin1Char(' '), 0, 0))
                .arg(ask(node, [&] { return int(node->kind()); }))
                .arg(ask(node, [&] { return node->name(); }), ask(node, [&] { return node->localName(); }),
                     ask(node, [&] { return node->prefix(); }), ask(node, [&] { return node->URI(); }))
                .arg(ask(node, [&] { return node->childCount(); })));
        say(depth, QStringLiteral("value '%1'").arg(ask(node, [&] { return node->stringValue(); })));
        if (node->kind() == DSXMLNode::ElementKind)
            element(std::static_pointer_cast<DSXMLElement>(node), depth);
        const auto children = ask(node, [&] { return node->children(); });
        for (int i = 0; i < children.size(); ++i) {
            const DSXMLNodeRef byIndex = ask(node, [&] { return node->childAtIndex(i); });
            say(depth, QStringLiteral("child %1 is '%2'").arg(i).arg(byIndex->name()));
            node_(children.at(i), depth + 1);
        }
    }

    void element(const DSXMLElementRef& element, int depth) {
        for (const DSXMLNodeRef& ns : ask(element, [&] { return element->namespaces(); }))
            say(depth, QStringLiteral("declares '%1' = '%2'").arg(ns->name(), ns->stringValue()));
        for (const DSXMLNodeRef& attribute : ask(element, [&] { return element->attributes(); })) {
            const QString name = attribute->name();
            const DSXMLNodeRef byName = ask(element, [&] { return element->attributeForName(name); });
            const DSXMLNodeRef byURI = ask(element, [&] {
                return element->attributeForLocalNameURI(attribute->localName(), attribute->URI());
            });
            const DSXMLNodeRef byNode = ask(element, [&] {
                return element->attributeForXMLNode(reinterpret_cast<xmlAttrPtr>(attribute->XMLNode()));
            });
            say(depth, QStringLiteral("@%1 local '%2' uri '%3' = '%4' by name %5 by uri %6 by node %7")
                           .arg(name, attribute->localName(), attribute->URI(), attribute->stringValue())
                           .arg(byName && byName->isEqual(*attribute))
                           .arg(byURI && byURI->isEqual(*attribute))
                           .arg(byNode && byNode->XMLNode() == attribute->XMLNode()));
        }
        for (const DSXMLNodeRef& child : element->children()) {
            if (child->kind() != DSXMLNode::ElementKind)
                continue;
            const auto byName = ask(element, [&] { return element->elementsForName(child->name()); });
            const auto byURI = ask(
                element, [&] { return element->elementsForLocalNameURI(child->localName(), child->URI()); });
            say(depth,
                QStringLiteral("'%1': %2 by name, %3 by local name and URI, prefix of its URI '%4'")
                    .arg(child->name())
                    .arg(byName.size())
                    .arg(byURI.size())
                    .arg(ask(element, [&] { return element->resolvePrefixForNamespaceURI(child->URI()); })));
        }
        const auto matches = ask(element, [&] { return element->nodesForXPath(QStringLiteral("*|@*")); });
        say(depth, QStringLiteral("xpath %1").arg(matches ? matches->size() : -1));
        say(depth, element->XMLString());
    }

    bool forget_;
    QStringList lines_;
};

} // namespace

TEST(DSXMLTreeCache, ReadsOfServiceDocumentsAnswerTheSameWithAndWithoutTheCaches) {
    const struct {
        const char* name;
        QByteArray bytes;
    } documents[] = {
        {"a feed page", ds_documents::videoFeedPage(kBase, 1, 2, 3)},
        {"the upload reply", ds_documents::videoEntry(kBase, QStringLiteral("v1"), QStringLiteral("Trip"))},
        {"an error document", ds_documents::errorDocument()},
        {"a batch reply", ds_documents::batchReplyFeed(kBase)}};
    for (const auto& document : documents) {
        SCOPED_TRACE(document.name);
        // Without: a tree with no strings cache, read afresh for every question.
        const DSXMLElementRef bare = DSXMLElement::elementWithXMLString(QString::fromUtf8(document.bytes));
        ASSERT_TRUE(bare);
        const QStringList without = Reader(true).read(bare);

        // With: a document's tree, read twice through the same wrappers, the second time from what they
        // remembered.
        const DSXMLDocumentRef parsed = DSXMLDocument::documentWithData(document.bytes);
        ASSERT_TRUE(parsed);
        const DSXMLElementRef root = parsed->rootElement();
        Reader cached(false);
        const QStringList first = cached.read(root);
        const QStringList again = cached.read(root);

        ASSERT_GT(without.size(), 40);
        EXPECT_EQ(first, without);
        EXPECT_EQ(again, without);
    }
}

TEST(DSXMLTreeCache, AChangeThroughOneWrapperIsSeenThroughEveryOther) {
    const DSXMLDocumentRef document = DSXMLDocument::documentWithData(
        ds_documents::videoEntry(kBase, QStringLiteral("v1"), QStringLiteral("Trip")));
    ASSERT_TRUE(document);
    const DSXMLElementRef remembering = document->rootElement();
    const DSXMLElementRef title = remembering->elementsForName(QStringLiteral("title")).value(0);
    ASSERT_TRUE(title);
    const int childCount = remembering->childCount();
    const QList<DSXMLNodeRef> children = remembering->children();
    ASSERT_EQ(children.size(), childCount);
    const int attributeCount = int(title->attributes().size());
    ASSERT_EQ(title->children().size(), 1);

    // Another wrapper of the same element changes it.
    const DSXMLElementRef other = document->rootElement();
    ASSERT_NE(other.get(), remembering.get());
    other->addChild(DSXMLNode::elementWithNameStringValue(QStringLiteral("extra"), QStringLiteral("x")));
    EXPECT_EQ(remembering->childCount(), childCount + 1);
    EXPECT_EQ(remembering->children().last()->name(), QStringLiteral("extra"));
    EXPECT_EQ(remembering->elementsForName(QStringLiteral("extra")).size(), 1);
    const DSXMLNodeRef added = remembering->childAtIndex(childCount);
    ASSERT_TRUE(added);
    EXPECT_EQ(added->stringValue(), QStringLiteral("x"));

    other->removeChild(other->elementsForName(QStringLiteral("extra")).value(0));
    EXPECT_EQ(remembering->childCount(), childCount);
    EXPECT_TRUE(remembering->elementsForName(QStringLiteral("extra")).isEmpty());

    const DSXMLElementRef otherTitle = other->elementsForName(QStringLiteral("title")).value(0);
    otherTitle->addAttribute(DSXMLNode::attributeWithName(QStringLiteral("type"), QStringLiteral("text")));
    EXPECT_EQ(title->attributes().size(), attributeCount + 1);
    const DSXMLNodeRef type = title->attributeForName(QStringLiteral("type"));
    ASSERT_TRUE(type);
    EXPECT_EQ(type->stringValue(), QStringLiteral("text"));
    otherTitle->setStringValue(QStringLiteral("Holiday"));
    ASSERT_EQ(title->children().size(), 1);
    EXPECT_EQ(title->childAtIndex(0)->stringValue(), QStringLiteral("Holiday"));
}

TEST(DSXMLTreeCache, ADocumentMakesEachOfItsNamesAndTextsOnce) {
    const DSXMLDocumentRef document =
        DSXMLDocument::documentWithData(ds_documents::videoFeedPage(kBase, 1, 1, 3));
    ASSERT_TRUE(document);
    const QList<DSXMLElementRef> entries = document->rootElement()->elementsForName(QStringLiteral("entry"));
    ASSERT_EQ(entries.size(), 3);
    const auto typeOfFirstLink = [](const DSXMLElementRef& entry) {
        return entry->elementsForName(QStringLiteral("link"))
            .value(0)
            ->attributeForName(QStringLiteral("type"));
    };
    const QString first = entries.at(0)->elementsForName(QStringLiteral("media:group")).value(0)->name();
    const QString third = entries.at(2)->elementsForName(QStringLiteral("media:group")).value(0)->name();
    EXPECT_EQ(first, QStringLiteral("media:group"));
    EXPECT_EQ(first.constData(), third.constData());
    const QString type = typeOfFirstLink(entries.at(0))->stringValue();
    EXPECT_EQ(type, QStringLiteral("text/html"));
    EXPECT_EQ(type.constData(), typeOfFirstLink(entries.at(1))->stringValue().constData());

    // A tree outside any document makes its strings anew.
    const DSXMLElementRef bare =
        DSXMLElement::elementWithXMLString(QString::fromUtf8(ds_documents::videoFeedPage(kBase, 1, 1, 3)));
    const QList<DSXMLElementRef> bareEntries = bare->elementsForName(QStringLiteral("entry"));
    EXPECT_EQ(typeOfFirstLink(bareEntries.at(0))->stringValue(), type);
    EXPECT_NE(typeOfFirstLink(bareEntries.at(0))->stringValue().constData(),
              typeOfFirstLink(bareEntries.at(1))->stringValue().constData());
}

// Names that a fixed string hash sends to one value ("Ez" and "FY" weigh the same under h * 33 + c, in any
// order) are what a hostile reply would be made of: the strings cache still spreads them, so that a lookup
// compares a few strings rather than every one made so far.
TEST(DSXMLTreeCache, NamesMadeToCollideAreSpreadOverTheStringsCache) {
    constexpr int kPairs = 12;
    QByteArray text = "<r>";
    for (int i = 0; i < (1 << kPairs); ++i) {
        QByteArray name;
        for (int pair = 0; pair < kPairs; ++pair)
            name += (i >> pair) & 1 ? "Ez" : "FY";
        text += '<' + name + "/>";
    }
    text += "</r>";
    const DSXMLDocumentRef document = DSXMLDocument::documentWithData(text);
    ASSERT_TRUE(document);
    const DSXMLElementRef root = document->rootElement();
    QSet<QString> names;
    for (const DSXMLNodeRef& child : root->children())
        names.insert(child->name());
    EXPECT_EQ(names.size(), 1 << kPairs);
    DSXMLStringCache* strings = DSXMLTree::stringCacheOf(root->XMLNode());
    ASSERT_TRUE(strings);
    EXPECT_EQ(strings->count(), 1 << kPairs);
    EXPECT_LE(strings->largestBucketSize(), 16);
}
