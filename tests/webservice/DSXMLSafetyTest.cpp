#include "support/DSServiceDocuments.h"
#include "support/LocalListener.h"
#include "support/TempDir.h"
#include "support/TestEnvironment.h"
#include "webservice/BaseClasses/DSNamespaces.h"
#include "webservice/BaseClasses/DSServerErrorGroup.h"
#include "webservice/DSXMLDocument.h"

#include <gtest/gtest.h>

namespace {

QString rootText(const QString& document) {
    const DSXMLDocumentRef parsed = DSXMLDocument::documentWithXMLString(document);
    return parsed ? parsed->rootElement()->stringValue() + QString::fromUtf8(parsed->XMLData()) : QString();
}

QString detail(const DSXMLError& error) {
    return error.userInfo.value(QLatin1String(kDSXMLErrorDetailKey)).toString();
}

// An error reply whose reason names one large entity many times: a few hundred kilobytes that read as
// gigabytes.
QByteArray entityBombErrorReply(int entityBytes, int uses) {
    return "<?xml version='1.0'?><!DOCTYPE errors [<!ENTITY x '" + QByteArray(entityBytes, 'x') +
           "'>]><errors xmlns='" + DSNamespaceDS().toUtf8() +
           "'><error><domain>d</domain><code>c</code><internalReason>" + QByteArray("&x;").repeated(uses) +
           "</internalReason></error></errors>";
}

} // namespace

TEST(DSXMLSafety, DocumentsWithoutADocumentTypeKeepTheirReferencesAndSayWhyTheyAreMalformed) {
    const DSXMLDocumentRef parsed = DSXMLDocument::documentWithXMLString(
        QStringLiteral("<?xml version='1.0'?><r a='&amp;&#65;'>&lt;&#x42;<![CDATA[c]]></r>"));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->rootElement()->stringValue(), "<Bc");
    EXPECT_EQ(parsed->rootElement()->attributeForName(QStringLiteral("a"))->stringValue(), "&A");
    // A name used as an entity with no declaration anywhere is malformed, as ever.
    for (const char* malformed : {"<r><unclosed></r>", "<r>&undeclared;</r>"}) {
        DSXMLError error;
        EXPECT_FALSE(DSXMLDocument::documentWithData(malformed, &error)) << malformed;
        EXPECT_TRUE(detail(error).startsWith(QStringLiteral("The XML document is not well formed (line 1)")))
            << detail(error).toStdString();
    }
}

TEST(DSXMLSafety, NetworkEntitiesAndDocumentTypesAreNeverFetched) {
    test_support::LocalListener listener;
    ASSERT_GT(listener.port(), 0);
    const QString url = listener.url("x");
    const QString documents[] = {
        QStringLiteral("<!DOCTYPE r [<!ENTITY e SYSTEM '%1'>]><r>&e;</r>").arg(url),
        QStringLiteral("<!DOCTYPE r SYSTEM '%1'><r>&e;</r>").arg(url),
        QStringLiteral("<!DOCTYPE r [<!ENTITY % p SYSTEM '%1'> %p;]><r/>").arg(url),
        QStringLiteral("<r xmlns:xi='http://www.w3.org/2001/XInclude'><xi:include href='%1'/></r>").arg(url),
    };
    for (const QString& document : documents)
        rootText(document);
    test_support::spinFor(200);
    EXPECT_EQ(listener.connections(), 0);

    // The listener does notice a connection.
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(quint16(listener.port()));
    ASSERT_EQ(::connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_TRUE(test_support::spinUntil([&] { return listener.connections() > 0; }));
    ::close(probe);
}

TEST(DSXMLSafety, LocalFilesNamedByEntitiesAreNotRead) {
    TempDir dir;
    ASSERT_TRUE(test_support::writeBytes(dir.file("secret.txt"), "do-not-read-me"));
    const QString document =
        QStringLiteral("<!DOCTYPE r [<!ENTITY e SYSTEM 'file://%1'>]><r>&e;</r>").arg(dir.file("secret.txt"));
    EXPECT_FALSE(rootText(document).contains(QStringLiteral("do-not-read-me")));
}

TEST(DSXMLSafety, AnEntityBombIsAnError) {
    QString entities = QStringLiteral("<!ENTITY a0 'aaaaaaaaaaaaaaaa'>");
    for (int i = 1; i < 12; ++i)
        entities +=
            QStringLiteral("<!ENTITY a%1 '%2'>").arg(i).arg(QStringLiteral("&a%1;").arg(i - 1).repeated(10));
    DSXMLError error;
    const DSXMLDocumentRef parsed = DSXMLDocument::documentWithXMLString(
        QStringLiteral("<!DOCTYPE r [%1]><r>&a11;</r>").arg(entities), &error);
    EXPECT_FALSE(parsed);
    EXPECT_EQ(error.code, -1);
    EXPECT_FALSE(DSXMLElement::elementWithXMLString(QStringLiteral("<r><unclosed></r>")));
}

namespace {

// `count` attributes named `name` and their number, numbered from `first`.
QByteArray attributes(int count, const char* name = "a", int first = 0) {
    QByteArray text;
    for (int i = first; i < first + count; ++i)
        text += ' ' + QByteArray(name) + QByteArray::number(i) + "='v'";
    return text;
}

// `levels` nested elements, each declaring `declarations` namespaces.
QByteArray nested(int levels, int declarations = 0) {
    QByteArray open;
    for (int level = 0; level < levels; ++level) {
        QByteArray tag = "<e";
        for (int i = 0; i < declarations; ++i)
            tag += " xmlns:n" + QByteArray::number(level) + '_' + QByteArray::number(i) + "='urn:n" +
                   QByteArray::number(i) + "'";
        open += tag + '>';
    }
    return open + QByteArray("</e>").repeated(levels);
}

// A root holding `count` empty elements, each of a name of its own.
QByteArray distinctElements(int count) {
    QByteArray children;
    for (int i = 0; i < count; ++i)
        children += "<e" + QByteArray::number(i) + "/>";
    return "<r>" + children + "</r>";
}

// A root holding `count` attributes of names of their own, `perElement` on each of its children, one child a
// line from the second.
QByteArray distinctAttributes(int count, int perElement) {
    QByteArray children;
    for (int first = 0; first < count; first += perElement)
        children += "<e" + attributes(std::min(perElement, count - first), "a", first) + "/>\n";
    return "<r>\n" + children + "</r>";
}

// `count` nodes, one a line, of the kinds `shape` spells over and over: 'e' an empty element, 'p' a
// processing instruction, 'c' a comment; each element and instruction of a name of its own. They stand inside
// a root that opens on line 1, or after an empty root on line 1.
QByteArray nodesOnLines(int count, const QByteArray& shape, bool insideRoot = true) {
    QByteArray lines;
    for (int i = 0; i < count; ++i) {
        const QByteArray number = QByteArray::number(i);
        const char kind = shape[i % shape.size()];
        lines += (kind == 'e'   ? "<e" + number + "/>"
                  : kind == 'p' ? "<?p" + number + "?>"
                                : "<!--" + number + "-->") +
                 '\n';
    }
    return insideRoot ? "<r>\n" + lines + "</r>" : "<r/>\n" + lines;
}

int depthOf(DSXMLElementRef element) {
    int depth = 1;
    while (element->childCount() > 0) {
        element = std::static_pointer_cast<DSXMLElement>(element->childAtIndex(0));
        ++depth;
    }
    return depth;
}

} // namespace

// Document type declarations, which could multiply a document, and documents past the bounds are refused
// before the parser reads them.
TEST(DSXMLSafety, DocumentsPastTheBoundsAreRefusedBeforeTheParserReadsThem) {
    const QByteArray hiddenTag = "<e" + attributes(500) + "/>";
    const char* const declaration = "document type declaration";
    const char* const kNodesPastTheBound =
        "more than 100000 elements, processing instructions and comments (line 100001)";
    const struct {
        const char* name;
        QByteArray document;
        const char* why;
    } cases[] = {
        {"one entity used 50,000 times", entityBombErrorReply(100000, 50000), declaration},
        {"a namespace default on 50,000 elements",
         "<!DOCTYPE r [<!ATTLIST e xmlns:p CDATA '" + QByteArray(100000, 'n') + "'>]><r>" +
             QByteArray("<e/>").repeated(50000) + "</r>",
         declaration},
        {"a parameter entity", "<!DOCTYPE r [<!ENTITY % p '<!ENTITY e \"x\">'> %p;]><r>&e;</r>", declaration},
        {"an external subset", "<!DOCTYPE r SYSTEM 'r.dtd'><r>&e;</r>", declaration},
        {"a bare name", "<!DOCTYPE r><r/>", declaration},
        {"an error reply with 200,000 attributes on one element",
         ds_documents::errorDocumentWithAttributes(200000), "more than 64 attributes"},
        {"65 attributes", "<r" + attributes(65) + "/>", "more than 64 attributes"},
        {"60 attributes and 5 namespace declarations",
         "<r" + attributes(60) + attributes(5, "xmlns:p") + "/>", "more than 64 attributes"},
        {"129 namespaces in scope", nested(3, 43), "more than 128 namespaces in scope"},
        {"257 levels", nested(257), "more than 256 deep"},
        {"100,001 elements of distinct names", distinctElements(100000), "more than 100000 elements"},
        // The 200,001st is on the 4,001st child, on line 4,002.
        {"200,001 attributes of distinct names", distinctAttributes(200001, 50),
         "more than 200000 attributes and namespace declarations (line 4002)"},
        // With the root, the 100,001st node, on line 100,001.
        {"100,001 processing instructions of distinct names", nodesOnLines(100000, "p"), kNodesPastTheBound},
        {"100,001 comments", nodesOnLines(100000, "c"), kNodesPastTheBound},
        {"elements, instructions and comments, 100,001 together", nodesOnLines(100000, "epcc"),
         kNodesPastTheBound},
        {"instructions and comments after the root", nodesOnLines(100000, "pc", false), kNodesPastTheBound},
        {"a byte past 8 MB", "<r>" + QByteArray(8 * 1024 * 1024 - 6, 'x') + "</r>", "bytes long"},
        // Markup the parser would give up on and read on from inside, where a tag could hide.
        {"an instruction without a target", "<r><? " + hiddenTag + " ?></r>", "not well formed"},
        {"a '<' in an attribute value", "<r><e a='" + hiddenTag + "'/></r>", "not well formed"},
        {"an end tag that runs into a tag", "<r><x></x " + hiddenTag + "</r>", "not well formed"},
        {"a control character in a comment", "<r><!-- \x01 " + hiddenTag + " --></r>", "not well formed"},
        {"a document in UTF-16", QByteArray("\xFF\xFE<\0r\0/\0>\0", 10), "not well formed"},
        {"a declaration of another encoding over bytes that are not UTF-8",
         "<?xml version='1.0' encoding='ISO-8859-1'?><r>\xE9" + hiddenTag + "</r>", "not well formed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DSXMLError error;
        EXPECT_FALSE(DSXMLDocument::documentWithData(c.document, &error));
        EXPECT_EQ(error.code, -1);
        EXPECT_TRUE(detail(error).contains(QLatin1String(c.why))) << detail(error).toStdString();
        DSXMLError elementError;
        const QString text = QString::fromUtf8(c.document);
        EXPECT_FALSE(DSXMLElement::elementWithXMLString(text, &elementError));
        if (text.toUtf8() == c.document) { // the same text, the same reason
            EXPECT_EQ(detail(elementError), detail(error));
        }
    }
    // Error replies that would have needed gigabytes, or thousands of attributes, give no server errors.
    EXPECT_FALSE(DSServerErrorGroup::groupWithData(entityBombErrorReply(100000, 50000)));
    EXPECT_FALSE(DSServerErrorGroup::groupWithData(ds_documents::errorDocumentWithAttributes(200000)));
}

TEST(DSXMLSafety, DocumentsAtTheBoundsAreReadWhole) {
    const DSXMLDocumentRef many =
        DSXMLDocument::documentWithData("<r" + attributes(60) + attributes(4, "xmlns:p") + "/>");
    ASSERT_TRUE(many);
    EXPECT_EQ(many->rootElement()->attributes().size(), 60);
    EXPECT_EQ(many->rootElement()->namespaces().size(), 4);

    const DSXMLDocumentRef deep = DSXMLDocument::documentWithData(nested(256));
    ASSERT_TRUE(deep);
    EXPECT_EQ(depthOf(deep->rootElement()), 256);
    EXPECT_TRUE(DSXMLDocument::documentWithData(nested(4, 32)));
    const DSXMLDocumentRef wide = DSXMLDocument::documentWithData(distinctElements(99999));
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->rootElement()->childCount(), 99999);
    const DSXMLDocumentRef named = DSXMLDocument::documentWithData(distinctAttributes(200000, 50));
    ASSERT_TRUE(named);
    ASSERT_EQ(named->rootElement()->childCount(), 4000);
    const auto last = std::static_pointer_cast<DSXMLElement>(named->rootElement()->childAtIndex(3999));
    EXPECT_EQ(last->attributeForName(QStringLiteral("a199999"))->stringValue(), "v");

    // The XML declaration is no node.
    DSXMLError error;
    const DSXMLDocumentRef inside =
        DSXMLDocument::documentWithData("<?xml version='1.0'?>" + nodesOnLines(99999, "epcc"), &error);
    ASSERT_TRUE(inside) << detail(error).toStdString();
    ASSERT_EQ(inside->rootElement()->childCount(), 99999);
    EXPECT_EQ(inside->rootElement()->childAtIndex(99998)->kind(), DSXMLNode::CommentKind);
    const DSXMLDocumentRef after =
        DSXMLDocument::documentWithData("<?xml version='1.0'?>" + nodesOnLines(99999, "pcc", false), &error);
    ASSERT_TRUE(after) << detail(error).toStdString();
    int nodesAfterRoot = 0;
    for (xmlNodePtr node = after->rootElement()->XMLNode()->next; node; node = node->next)
        ++nodesAfterRoot;
    EXPECT_EQ(nodesAfterRoot, 99999);

    const QByteArray large = "<r>" + QByteArray(8 * 1024 * 1024 - 7, 'x') + "</r>";
    const DSXMLDocumentRef full = DSXMLDocument::documentWithData(large);
    ASSERT_TRUE(full);
    EXPECT_EQ(full->rootElement()->stringValue().size(), large.size() - 7);

    // Markup whose inside looks like tags, quotes and brackets is followed as the parser follows it.
    const DSXMLDocumentRef tricky = DSXMLDocument::documentWithData(
        "\xEF\xBB\xBF<?xml version='1.0' encoding='ISO-8859-1'?><?app <e x='1'?>"
        "<r a='>\"' b=\"'>\"><!-- <e " +
        attributes(100) + "/> '\" --><![CDATA[<e" + attributes(100) + "/>]]><s\n t = 'é' /></r >");
    ASSERT_TRUE(tricky);
    const DSXMLElementRef root = tricky->rootElement();
    EXPECT_EQ(root->attributeForName(QStringLiteral("a"))->stringValue(), ">\"");
    EXPECT_EQ(root->attributeForName(QStringLiteral("b"))->stringValue(), "'>");
    EXPECT_EQ(root->stringValue(), QStringLiteral("<e") + QString::fromUtf8(attributes(100)) + "/>");
    EXPECT_EQ(root->elementsForName(QStringLiteral("s"))
                  .value(0)
                  ->attributeForName(QStringLiteral("t"))
                  ->stringValue(),
              QStringLiteral("é"));
}
