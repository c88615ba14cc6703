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

// Names whose value is a credential: tokens of every kind, secrets, passwords and codes.
bool isSecretName(QString name) {
    name = name.toLower();
    return name.endsWith(QLatin1String("token")) || name.endsWith(QLatin1String("secret")) ||
           name.endsWith(QLatin1String("password")) || name.endsWith(QLatin1String("passwd")) ||
           name.endsWith(QLatin1String("code"));
}

QVariant redactedJSON(const QVariant& value) {
    if (value.typeId() == QMetaType::QVariantMap) {
        QVariantMap map = value.toMap();
        for (auto it = map.begin(); it != map.end(); ++it) {
            const bool container = it.value().typeId() == QMetaType::QVariantMap ||
                                   it.value().typeId() == QMetaType::QVariantList;
            it.value() = isSecretName(it.key()) && !container ? QVariant(snip()) : redactedJSON(it.value());
        }
        return map;
    }
    if (value.typeId() == QMetaType::QVariantList) {
        QVariantList list = value.toList();
        for (QVariant& item : list)
            item = redactedJSON(item);
        return list;
    }
    return value;
}

bool isSecretXMLName(const xmlChar* name) {
    return name && QString::fromUtf8(reinterpret_cast<const char*>(name)).toLower().endsWith(u"token");
}

void redactXML(xmlNodePtr node) {
    for (; node; node = node->next) {
        if (node->type != XML_ELEMENT_NODE)
            continue;
        for (xmlAttrPtr attribute = node->properties; attribute; attribute = attribute->next)
            if (isSecretXMLName(attribute->name))
                xmlNodeSetContent(reinterpret_cast<xmlNodePtr>(attribute),
                                  reinterpret_cast<const xmlChar*>(NetFetchLogText::kSnip));
        if (isSecretXMLName(node->name))
            xmlNodeSetContent(node, reinterpret_cast<const xmlChar*>(NetFetchLogText::kSnip));
        else
            redactXML(node->children);
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

struct Rule {
    QRegularExpression pattern;
    QString replacement;
};

const std::vector<Rule>& rules() {
    constexpr auto options = QRegularExpression::CaseInsensitiveOption | QRegularExpression::MultilineOption;
    const QString secret = QStringLiteral("[\\w.-]*(?:token|secret|password|passwd|code)");
    static const std::vector<Rule> all = {
        // "name": "value" in JSON.
        {QRegularExpression(QStringLiteral("(\"%1\"\\s*:\\s*)\"(?:[^\"\\\\]|\\\\.)*\"").arg(secret), options),
         QStringLiteral("\\1\"_snip_\"")},
        // name=value in forms, addresses, key-value lines and header parameters.
        {QRegularExpression(
             QStringLiteral("(^|[?&;,\\s])(%1|auth|sid|lsid|key|logincaptcha)=(\"[^\"]*\"|[^&\\s;,]*)")
                 .arg(secret),
             options),
         QStringLiteral("\\1\\2=_snip_")},
        // <...token>value< in XML that could not be read as a document.
        {QRegularExpression(QStringLiteral("(<(?:[\\w.-]+:)?[\\w.-]*token(?:\\s[^>]*)?>)[^<]*"), options),
         QStringLiteral("\\1_snip_")},
        // ...token="value" and ...token='value' as XML attributes.
        {QRegularExpression(QStringLiteral("(\\s[\\w.:-]*token\\s*=\\s*)\"[^\"]*\""), options),
         QStringLiteral("\\1\"_snip_\"")},
        {QRegularExpression(QStringLiteral("(\\s[\\w.:-]*token\\s*=\\s*)'[^']*'"), options),
         QStringLiteral("\\1'_snip_'")},
        // A bearer token quoted anywhere.
        {QRegularExpression(QStringLiteral("\\b(Bearer\\s+)[^\\s\"',]+"), options),
         QStringLiteral("\\1_snip_")},
    };
    return all;
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

QString NetFetchLogText::redacted(QString text) {
    for (const Rule& rule : rules())
        text.replace(rule.pattern, rule.replacement);
    return text;
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
    if (isSecretName(lower) || lower.contains(u"key") || lower.contains(u"token"))
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
    const QString text = writer.stringWithObject(redactedJSON(value));
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
    if (!ok)
        text = QString::fromUtf8(bytes);
    return redacted(text);
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
