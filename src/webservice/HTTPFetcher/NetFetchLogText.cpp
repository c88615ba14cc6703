#include "webservice/HTTPFetcher/NetFetchLogText.h"

#include "webservice/DSXMLTree.h"
#include "webservice/JsonParser.h"
#include "webservice/JsonWriter.h"

#include <QRegularExpression>
#include <QStringDecoder>

#include <libxml/tree.h>

namespace {

QString snip() {
    return QString::fromLatin1(NetFetchLogText::kSnip);
}

QVariant redactedJSON(const QVariant& value, bool underSecretName) {
    if (value.typeId() == QMetaType::QVariantMap) {
        QVariantMap map = value.toMap();
        for (auto it = map.begin(); it != map.end(); ++it)
            it.value() = redactedJSON(it.value(), underSecretName || NetFetchLogText::isSecretName(it.key()));
        return map;
    }
    if (value.typeId() == QMetaType::QVariantList) {
        QVariantList list = value.toList();
        for (QVariant& item : list)
            item = redactedJSON(item, underSecretName);
        return list;
    }
    if (underSecretName && !value.isNull())
        return snip();
    // A string may carry credentials of its own: a form, a query or JSON written into it.
    if (value.typeId() == QMetaType::QString)
        return NetFetchLogText::redacted(value.toString());
    return value;
}

QString fromXML(const xmlChar* text) {
    return QString::fromUtf8(reinterpret_cast<const char*>(text));
}

// Redacts text in place, as text: libxml2 escapes what it writes out, so the result stays well formed.
void redactXMLText(xmlNodePtr node) {
    if (!node->content)
        return;
    const QString text = fromXML(node->content);
    const QString redacted = NetFetchLogText::redacted(text);
    if (redacted != text)
        xmlNodeSetContent(node, reinterpret_cast<const xmlChar*>(redacted.toUtf8().constData()));
}

void redactXMLAttributes(xmlNodePtr element) {
    for (xmlAttrPtr attribute = element->properties; attribute; attribute = attribute->next) {
        xmlChar* raw = xmlNodeListGetString(element->doc, attribute->children, 1);
        const QString value = raw ? fromXML(raw) : QString();
        xmlFree(raw);
        const QString shown = NetFetchLogText::isSecretName(fromXML(attribute->name))
                                  ? snip()
                                  : NetFetchLogText::redacted(value);
        // Set as text, not parsed for references; the attribute is changed where it is.
        if (shown != value)
            xmlSetNsProp(element, attribute->ns, attribute->name,
                         reinterpret_cast<const xmlChar*>(shown.toUtf8().constData()));
    }
}

void redactXML(xmlNodePtr node) {
    for (; node; node = node->next) {
        switch (node->type) {
        case XML_ELEMENT_NODE:
            redactXMLAttributes(node);
            if (NetFetchLogText::isSecretName(fromXML(node->name)))
                xmlNodeSetContent(node, reinterpret_cast<const xmlChar*>(NetFetchLogText::kSnip));
            else
                redactXML(node->children);
            break;
        case XML_TEXT_NODE:
        case XML_CDATA_SECTION_NODE:
        case XML_COMMENT_NODE:
            redactXMLText(node);
            break;
        default:
            break;
        }
    }
}

bool looksLike(const QByteArray& bytes, const QString& mimeType, const char* type,
               std::initializer_list<char> firsts) {
    if (mimeType.contains(QLatin1String(type)))
        return true;
    const QByteArray start = bytes.trimmed().left(1);
    for (const char first : firsts)
        if (start == QByteArray(1, first))
            return true;
    return false;
}

// A credential's name and what leads to its value (`head`, whose capture "name" is tested), then the value,
// matched where the head ends only when the name is a credential's: a value is read once, to be snipped, and
// not again for every name inside it. No two heads read the same text either (a bracket ends at a '[', a
// quote after a backslash opens no JSON name), so that redacting takes time that grows with the text's
// length alone: names read from every position on to a far end made 1 MB take over twenty minutes.
struct Rule {
    QRegularExpression head;
    QRegularExpression value;
    QString replacement;
};

// A name as forms, queries, key-value lines and XML write it, not the end of a longer one; a list's
// brackets may follow it (not nested: a '[' ends a bracket, so that no two names read the same text).
constexpr char kName[] = R"re((?<![\w%.\]-])(?<name>[\w%.-]++(?:\[[^\[\]\s=&]*+\])*+))re";

const std::vector<Rule>& rules() {
    constexpr auto options = QRegularExpression::CaseInsensitiveOption | QRegularExpression::MultilineOption;
    const auto rule = [&](const QString& head, const char* value, const char* replacement) {
        return Rule{QRegularExpression(head, options), QRegularExpression(QLatin1String(value), options),
                    QLatin1String(replacement)};
    };
    const auto named = [&](const char* head, const char* value, const char* replacement) {
        return rule(QString::fromLatin1(head).arg(QLatin1String(kName)), value, replacement);
    };
    static const std::vector<Rule> all = {
        // "name": value in JSON that could not be read whole; a list or an object of one level goes whole. A
        // quote after a backslash opens no name: it is inside a string.
        rule(QStringLiteral(R"re((?<!\\)"(?<name>(?:[^"\\]++|\\.)*+)"\s*+:\s*+)re"),
             R"re("(?:[^"\\]++|\\.)*+"|\[[^\[\]]*+\]|\{[^{}]*+\}|[-+\w.]++)re", "\"_snip_\""),
        // <name attributes>value< in XML that could not be read as a document.
        named(R"re(<(?:[\w.-]++:)?%1(?:\s[^<>]*+)?>)re", R"re([^<]++)re", "_snip_"),
        // name="value" and name='value': XML attributes and quoted header parameters.
        named(R"re(%1\s*+=\s*+")re", R"re([^"]*+(?="))re", "_snip_"),
        named(R"re(%1\s*+=\s*+')re", R"re([^']*+(?='))re", "_snip_"),
        // name=value in forms, addresses, header parameters and key-value text.
        named(R"re(%1[ \t]*+=[ \t]*+)re", R"re([^&\s;,<>"'\]]++)re", "_snip_"),
        // name: value on a line of its own.
        named(R"re(^[ \t]*+%1[ \t]*+:[ \t]*+)re", R"re([^\r\n]++)re", "_snip_"),
    };
    return all;
}

// A bearer token quoted anywhere, whatever names it.
const QRegularExpression& bearer() {
    static const QRegularExpression pattern(QStringLiteral(R"re(\b(Bearer\s+)[^\s"',]+)re"),
                                            QRegularExpression::CaseInsensitiveOption);
    return pattern;
}

// A name that is no credential's is passed by its name alone, so that a pair inside its value (a credential
// in an object or a header parameter) is still found. The text is valid UTF-16 (see redacted()), which
// spares every match a check of the whole text.
QString applied(const Rule& rule, const QString& text) {
    constexpr auto unchecked = QRegularExpression::DontCheckSubjectStringMatchOption;
    QString answer;
    qsizetype copied = 0;
    for (qsizetype from = 0;;) {
        const QRegularExpressionMatch head =
            rule.head.match(text, from, QRegularExpression::NormalMatch, unchecked);
        if (!head.hasMatch())
            break;
        from = head.capturedEnd(u"name");
        if (!NetFetchLogText::isSecretName(head.captured(u"name")))
            continue;
        const QRegularExpressionMatch value =
            rule.value.match(text, head.capturedEnd(), QRegularExpression::NormalMatch,
                             unchecked | QRegularExpression::AnchorAtOffsetMatchOption);
        if (!value.hasMatch())
            continue;
        answer += QStringView(text).mid(copied, value.capturedStart() - copied);
        answer += rule.replacement;
        copied = from = value.capturedEnd();
    }
    if (copied == 0)
        return text;
    answer += QStringView(text).mid(copied);
    return answer;
}

QString snippedPairs(const QString& text, const QString& separator, bool firstOnly) {
    QStringList pairs = text.split(separator);
    for (qsizetype i = 0; i < pairs.size() && (!firstOnly || i == 0); ++i) {
        const qsizetype equals = pairs[i].indexOf(QLatin1Char('='));
        pairs[i] = equals < 0 ? snip() : pairs[i].left(equals + 1) + snip();
    }
    return pairs.join(separator);
}

} // namespace

bool NetFetchLogText::isSecretName(const QString& name) {
    static const char* const words[] = {"key",      "token",     "secret",  "pass", "pwd", "code",
                                        "verifier", "assertion", "session", "sid",  "sig", "auth"};
    const QString decoded = QUrl::fromPercentEncoding(name.toUtf8());
    for (const char* word : words)
        if (decoded.contains(QLatin1String(word), Qt::CaseInsensitive))
            return true;
    return false;
}

QString NetFetchLogText::redacted(QString text) {
    // The matches skip their check of the text, which must therefore be valid.
    if (!text.isValidUtf16())
        text = QString::fromUtf8(text.toUtf8());
    for (const Rule& rule : rules())
        text = applied(rule, text);
    return text.replace(bearer(), QStringLiteral("\\1_snip_"));
}

QString NetFetchLogText::headerValue(const QByteArray& name, const QByteArray& value) {
    const QString lower = QString::fromLatin1(name).toLower();
    const QString text = QString::fromLatin1(value);
    if (lower == u"authorization" || lower == u"proxy-authorization") {
        const qsizetype space = text.indexOf(QLatin1Char(' '));
        return space > 0 ? text.left(space + 1) + snip() : snip();
    }
    if (lower == u"cookie")
        return snippedPairs(text, QStringLiteral("; "), false);
    if (lower == u"set-cookie")
        return snippedPairs(text, QStringLiteral("; "), true);
    if (isSecretName(lower))
        return snip();
    return redacted(text);
}

QString NetFetchLogText::address(const QUrl& url) {
    QUrl shown = url;
    if (!shown.password().isEmpty())
        shown.setPassword(snip());
    return redacted(shown.toString());
}

bool NetFetchLogText::isText(const QByteArray& bytes, const QString& mimeType) {
    for (const char* binary : {"image/", "video/", "audio/", "application/octet-stream"})
        if (mimeType.startsWith(QLatin1String(binary)))
            return false;
    if (bytes.contains('\0'))
        return false;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    (void)decoder.decode(bytes);
    return !decoder.hasError();
}

QString NetFetchLogText::prettyJSON(const QByteArray& bytes, bool* ok) {
    JsonParser parser;
    const QVariant value = parser.objectWithUtf8(bytes);
    *ok = false;
    if (!value.isValid())
        return QString();
    JsonWriter writer;
    writer.setHumanReadable(true);
    const QString text = writer.stringWithObject(redactedJSON(value, false));
    *ok = !text.isNull();
    return text;
}

QString NetFetchLogText::prettyXML(const QByteArray& bytes, bool* ok) {
    *ok = false;
    xmlDocPtr doc = DSXMLTree::parse(bytes);
    if (!doc)
        return QString();
    redactXML(xmlDocGetRootElement(doc));
    xmlChar* text = nullptr;
    int size = 0;
    xmlDocDumpFormatMemoryEnc(doc, &text, &size, "UTF-8", 1);
    xmlFreeDoc(doc);
    if (!text)
        return QString();
    const QString answer = QString::fromUtf8(reinterpret_cast<const char*>(text), size);
    xmlFree(text);
    *ok = true;
    return answer;
}

QString NetFetchLogText::body(const QByteArray& bytes, const QString& mimeType) {
    if (bytes.isEmpty())
        return QString();
    if (!isText(bytes, mimeType))
        return QStringLiteral("<<%1 bytes of %2>>")
            .arg(bytes.size())
            .arg(mimeType.isEmpty() ? QStringLiteral("data") : mimeType);
    bool ok = false;
    QString text;
    if (looksLike(bytes, mimeType, "json", {'{', '['}))
        text = prettyJSON(bytes, &ok);
    if (!ok && looksLike(bytes, mimeType, "xml", {'<'}))
        text = prettyXML(bytes, &ok);
    // A document read whole was redacted name by name, and is left as it was written.
    return ok ? text : redacted(QString::fromUtf8(bytes));
}

QString NetFetchLogText::fileExtension(const QByteArray& bytes, const QString& mimeType) {
    if (mimeType.contains(QLatin1String("xml")) && isText(bytes, mimeType))
        return QStringLiteral("xml");
    // An image is kept as it came only when its bytes are one.
    const struct {
        const char* type;
        QByteArray signature;
        const char* extension;
    } images[] = {{"image/jpeg", QByteArray("\xFF\xD8\xFF"), "jpg"},
                  {"image/gif", QByteArray("GIF8"), "gif"},
                  {"image/png", QByteArray("\x89PNG\r\n\x1A\n"), "png"}};
    for (const auto& image : images)
        if (mimeType == QLatin1String(image.type) && bytes.startsWith(image.signature))
            return QLatin1String(image.extension);
    return QString();
}
