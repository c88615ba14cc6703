#include "webservice/DSXMLNode.h"

#include "webservice/DSXMLElement.h"

#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

QString DSXMLString(const xmlChar* text) {
    return text ? QString::fromUtf8(reinterpret_cast<const char*>(text)) : QString();
}

QByteArray DSXMLUtf8(const QString& text) {
    return text.toUtf8();
}

namespace {

// Only elements and attributes carry a namespace; other node structures hold something else at that place.
xmlNsPtr namespaceOf(xmlNodePtr node) {
    if (node && (node->type == XML_ELEMENT_NODE || node->type == XML_ATTRIBUTE_NODE))
        return node->ns;
    return nullptr;
}

bool hasChildList(xmlNodePtr node) {
    switch (node->type) {
    case XML_ELEMENT_NODE:
    case XML_ATTRIBUTE_NODE:
    case XML_DOCUMENT_NODE:
    case XML_DOCUMENT_FRAG_NODE:
    case XML_HTML_DOCUMENT_NODE:
        return true;
    default: // an entity reference's children are the entity's own; a DTD's are declarations
        return false;
    }
}

QString takeXMLString(xmlChar* text) {
    QString answer = DSXMLString(text);
    if (text)
        xmlFree(text);
    return answer;
}

void silentXPathError(void*, xmlErrorPtr) {}

void fail(DSXMLError* error, long code, const QString& detail) {
    if (!error)
        return;
    error->domain = QString::fromLatin1(kDSXMLErrorDomain);
    error->code = code;
    error->userInfo.clear();
    if (!detail.isNull())
        error->userInfo.insert(QString::fromLatin1(kDSXMLErrorDetailKey), detail);
}

// A node that belongs to no document is queried inside a temporary one, then put back as it was.
class TemporaryDocument {
public:
    explicit TemporaryDocument(xmlNodePtr node) {
        xmlNodePtr top = node;
        while (top->parent)
            top = top->parent;
        if (top->type != XML_ELEMENT_NODE)
            return;
        doc_ = xmlNewDoc(reinterpret_cast<const xmlChar*>("1.0"));
        if (doc_) {
            top_ = top;
            xmlDocSetRootElement(doc_, top_);
        }
    }
    ~TemporaryDocument() {
        if (!doc_)
            return;
        xmlUnlinkNode(top_);
        xmlSetTreeDoc(top_, nullptr);
        xmlFreeDoc(doc_);
    }
    TemporaryDocument(const TemporaryDocument&) = delete;
    TemporaryDocument& operator=(const TemporaryDocument&) = delete;
    xmlDocPtr doc() const { return doc_; }

private:
    xmlDocPtr doc_ = nullptr;
    xmlNodePtr top_ = nullptr;
};

void registerNamespaces(xmlXPathContextPtr context, xmlDocPtr doc, xmlNodePtr node,
                        const QMap<QString, QString>* namespaces) {
    if (namespaces) {
        for (auto it = namespaces->cbegin(); it != namespaces->cend(); ++it)
            xmlXPathRegisterNs(context, DSXMLChars(DSXMLUtf8(it.key())), DSXMLChars(DSXMLUtf8(it.value())));
        return;
    }
    xmlNodePtr scope = node->type == XML_DOCUMENT_NODE ? xmlDocGetRootElement(doc) : node;
    if (!scope || scope->type != XML_ELEMENT_NODE)
        return;
    xmlNsPtr* list = xmlGetNsList(doc, scope);
    if (!list)
        return;
    for (xmlNsPtr* ns = list; *ns; ++ns) {
        const xmlChar* prefix = (*ns)->prefix ? (*ns)->prefix : reinterpret_cast<const xmlChar*>("_def_ns");
        xmlXPathRegisterNs(context, prefix, (*ns)->href);
    }
    xmlFree(list);
}

} // namespace

DSXMLNodeRef DSXMLNode::nodeBorrowingXMLNode(xmlNodePtr node, const DSXMLTreeRef& tree) {
    if (!node)
        return nullptr;
    if (node->type == XML_ELEMENT_NODE)
        return DSXMLElementRef(new DSXMLElement(node, tree));
    return DSXMLNodeRef(new DSXMLNode(node, tree));
}

DSXMLNodeRef DSXMLNode::nodeConsumingXMLNode(xmlNodePtr node) {
    if (!node)
        return nullptr;
    if (node->type == XML_NAMESPACE_DECL)
        return nodeBorrowingXMLNode(node, DSXMLTree::owningNamespace(reinterpret_cast<xmlNsPtr>(node)));
    return nodeBorrowingXMLNode(node, DSXMLTree::owningNode(node));
}

DSXMLElementRef DSXMLNode::elementWithName(const QString& name) {
    DSXMLTree::ensureParserReady();
    return std::static_pointer_cast<DSXMLElement>(
        nodeConsumingXMLNode(xmlNewNode(nullptr, DSXMLChars(DSXMLUtf8(name)))));
}

DSXMLElementRef DSXMLNode::elementWithNameStringValue(const QString& name, const QString& value) {
    DSXMLElementRef element = elementWithName(name);
    if (!element)
        return nullptr;
    xmlNodePtr text = xmlNewText(DSXMLChars(DSXMLUtf8(value)));
    if (!text || !xmlAddChild(element->XMLNode(), text)) {
        xmlFreeNode(text);
        return nullptr;
    }
    return element;
}

DSXMLElementRef DSXMLNode::elementWithNameURI(const QString& name, const QString& uri) {
    return elementWithName(QStringLiteral("{%1}:%2").arg(uri, localNameForName(name)));
}

DSXMLNodeRef DSXMLNode::attributeWithName(const QString& name, const QString& value) {
    DSXMLTree::ensureParserReady();
    xmlAttrPtr attribute = xmlNewProp(nullptr, DSXMLChars(DSXMLUtf8(name)), DSXMLChars(DSXMLUtf8(value)));
    return nodeConsumingXMLNode(reinterpret_cast<xmlNodePtr>(attribute));
}

DSXMLNodeRef DSXMLNode::attributeWithNameURI(const QString& name, const QString& uri, const QString& value) {
    return attributeWithName(QStringLiteral("{%1}:%2").arg(uri, localNameForName(name)), value);
}

DSXMLNodeRef DSXMLNode::textWithStringValue(const QString& value) {
    DSXMLTree::ensureParserReady();
    return nodeConsumingXMLNode(xmlNewText(DSXMLChars(DSXMLUtf8(value))));
}

DSXMLNodeRef DSXMLNode::namespaceWithName(const QString& prefix, const QString& uri) {
    DSXMLTree::ensureParserReady();
    const QByteArray prefixBytes = DSXMLUtf8(prefix);
    xmlNsPtr ns =
        xmlNewNs(nullptr, DSXMLChars(DSXMLUtf8(uri)), prefix.isEmpty() ? nullptr : DSXMLChars(prefixBytes));
    return nodeConsumingXMLNode(reinterpret_cast<xmlNodePtr>(ns));
}

QString DSXMLNode::localNameForName(const QString& name) {
    if (name.isNull())
        return QString();
    const qsizetype colon = name.indexOf(QLatin1Char(':'));
    if (colon < 0 || colon == name.size() - 1)
        return name;
    return name.mid(colon + 1);
}

QString DSXMLNode::prefixForName(const QString& name) {
    const qsizetype colon = name.indexOf(QLatin1Char(':'));
    return colon < 0 ? QString() : name.left(colon);
}

QString DSXMLNode::stringFromXMLString(const xmlChar* text) const {
    if (DSXMLStringCache* strings = DSXMLTree::stringCacheOf(xmlNode_))
        return strings->stringFromXMLString(text);
    return DSXMLString(text);
}

void DSXMLNode::dropCachesIfStale() const {
    const quint64 now = tree_->generation();
    if (cachedGeneration_ == now)
        return;
    cachedName_.reset();
    cachedChildren_.reset();
    cachedAttributes_.reset();
    cachedGeneration_ = now;
}

void DSXMLNode::releaseCachedValues() {
    if (!tree_)
        return;
    std::lock_guard lock(tree_->cacheMutex());
    cachedName_.reset();
    cachedChildren_.reset();
    cachedAttributes_.reset();
}

std::optional<int> DSXMLNode::cachedChildCount() const {
    if (!tree_)
        return std::nullopt;
    std::lock_guard lock(tree_->cacheMutex());
    dropCachesIfStale();
    return cachedChildren_ ? std::optional<int>(int(cachedChildren_->size())) : std::nullopt;
}

void DSXMLNode::willChange() const {
    if (tree_)
        tree_->noteChange();
}

QString DSXMLNode::stringValue() const {
    if (!xmlNode_)
        return QString();
    if (isNamespace())
        return DSXMLString(namespacePtr()->href);
    xmlChar* content = xmlNodeGetContent(xmlNode_);
    // An element's text is all of its descendants' text: shared strings of those would hold the document
    // many times over.
    if (xmlNode_->type == XML_ELEMENT_NODE)
        return takeXMLString(content);
    QString answer = stringFromXMLString(content);
    if (content)
        xmlFree(content);
    return answer;
}

void DSXMLNode::setStringValue(const QString& value) {
    if (!xmlNode_ || value.isNull())
        return;
    willChange();
    const QByteArray utf8 = DSXMLUtf8(value);
    if (isNamespace()) {
        xmlFree(const_cast<xmlChar*>(namespacePtr()->href));
        namespacePtr()->href = xmlStrdup(DSXMLChars(utf8));
        return;
    }
    if (xmlNode_->type != XML_ELEMENT_NODE && xmlNode_->type != XML_ATTRIBUTE_NODE) {
        xmlNodeSetContentLen(xmlNode_, DSXMLChars(utf8), int(utf8.size()));
        return;
    }
    // The old children may still have wrappers: they leave the tree but live as long as it does.
    while (xmlNodePtr child = xmlNode_->children) {
        xmlUnlinkNode(child);
        tree_->retireNode(child);
    }
    if (xmlNodePtr text = xmlNewDocTextLen(xmlNode_->doc, DSXMLChars(utf8), int(utf8.size())))
        if (!xmlAddChild(xmlNode_, text))
            xmlFreeNode(text);
}

QString DSXMLNode::XMLString() const {
    if (!xmlNode_)
        return QString();
    xmlBufferPtr buffer = xmlBufferCreate();
    if (!buffer)
        return QString();
    const xmlDocPtr doc = isNamespace() ? nullptr : xmlNode_->doc;
    xmlNodeDump(buffer, doc, xmlNode_, 0, 0);
    QString answer =
        QString::fromUtf8(reinterpret_cast<const char*>(xmlBufferContent(buffer)), xmlBufferLength(buffer));
    xmlBufferFree(buffer);
    return answer.trimmed();
}

QString DSXMLNode::localName() const {
    if (!xmlNode_)
        return QString();
    if (isNamespace())
        return localNameForName(qualifiedName());
    return localNameForName(stringFromXMLString(xmlNode_->name));
}

QString DSXMLNode::prefix() const {
    if (!xmlNode_)
        return QString();
    const xmlNsPtr ns = namespaceOf(xmlNode_);
    return ns && ns->prefix ? stringFromXMLString(ns->prefix) : QStringLiteral("");
}

QString DSXMLNode::URI() const {
    const xmlNsPtr ns = namespaceOf(xmlNode_);
    return ns ? stringFromXMLString(ns->href) : QString();
}

QString DSXMLNode::qualifiedName() const {
    if (!xmlNode_)
        return QString();
    if (isNamespace())
        return namespacePtr()->prefix ? DSXMLString(namespacePtr()->prefix) : QStringLiteral("");
    const xmlNsPtr ns = namespaceOf(xmlNode_);
    if (!ns || !ns->prefix)
        return stringFromXMLString(xmlNode_->name);
    const QByteArray joined = QByteArray(reinterpret_cast<const char*>(ns->prefix)) + ':' +
                              reinterpret_cast<const char*>(xmlNode_->name);
    return stringFromXMLString(DSXMLChars(joined));
}

QString DSXMLNode::name() const {
    return cached(cachedName_, [this] { return qualifiedName(); });
}

int DSXMLNode::childCount() const {
    if (!xmlNode_ || isNamespace() || !hasChildList(xmlNode_))
        return 0;
    if (const std::optional<int> count = cachedChildCount())
        return *count;
    int count = 0;
    for (xmlNodePtr child = xmlNode_->children; child; child = child->next)
        ++count;
    return count;
}

QList<DSXMLNodeRef> DSXMLNode::readChildren() const {
    QList<DSXMLNodeRef> answer;
    if (!xmlNode_ || isNamespace() || !hasChildList(xmlNode_))
        return answer;
    for (xmlNodePtr child = xmlNode_->children; child; child = child->next)
        answer.append(nodeBorrowingXMLNode(child, tree_));
    return answer;
}

QList<DSXMLNodeRef> DSXMLNode::children() const {
    return cached(cachedChildren_, [this] { return readChildren(); });
}

DSXMLNodeRef DSXMLNode::childAtIndex(int index) const {
    if (!xmlNode_ || isNamespace() || !hasChildList(xmlNode_) || index < 0)
        return nullptr;
    return children().value(index);
}

DSXMLNode::Kind DSXMLNode::kind() const {
    if (!xmlNode_)
        return InvalidKind;
    switch (xmlNode_->type) {
    case XML_DOCUMENT_NODE:
    case XML_DOCUMENT_TYPE_NODE:
    case XML_DOCUMENT_FRAG_NODE:
    case XML_HTML_DOCUMENT_NODE:
#ifdef LIBXML_DOCB_ENABLED
    case XML_DOCB_DOCUMENT_NODE:
#endif
        return DocumentKind;
    case XML_ELEMENT_NODE:
        return ElementKind;
    case XML_ATTRIBUTE_NODE:
        return AttributeKind;
    case XML_NAMESPACE_DECL:
        return NamespaceKind;
    case XML_PI_NODE:
    case XML_XINCLUDE_START:
    case XML_XINCLUDE_END:
        return ProcessingInstructionKind;
    case XML_COMMENT_NODE:
        return CommentKind;
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
        return TextKind;
    case XML_DTD_NODE:
        return DTDKind;
    case XML_ENTITY_REF_NODE:
    case XML_ENTITY_NODE:
    case XML_ENTITY_DECL:
        return EntityDeclarationKind;
    case XML_ATTRIBUTE_DECL:
        return AttributeDeclarationKind;
    case XML_ELEMENT_DECL:
        return ElementDeclarationKind;
    case XML_NOTATION_NODE:
        return NotationDeclarationKind;
    default:
        return InvalidKind;
    }
}

std::optional<QList<DSXMLNodeRef>> DSXMLNode::nodesForXPath(const QString& query, DSXMLError* error) const {
    return evaluateXPath(query, nullptr, error);
}

std::optional<QList<DSXMLNodeRef>> DSXMLNode::nodesForXPath(const QString& query,
                                                            const QMap<QString, QString>& namespaces,
                                                            DSXMLError* error) const {
    return evaluateXPath(query, &namespaces, error);
}

std::optional<QList<DSXMLNodeRef>> DSXMLNode::evaluateXPath(const QString& query,
                                                            const QMap<QString, QString>* namespaces,
                                                            DSXMLError* error) const {
    if (!xmlNode_ || isNamespace()) {
        fail(error, -1, QStringLiteral("invalid node"));
        return std::nullopt;
    }
    DSXMLTree::ensureParserReady();
    const bool isDocument = xmlNode_->type == XML_DOCUMENT_NODE;
    xmlDocPtr doc = isDocument ? reinterpret_cast<xmlDocPtr>(xmlNode_) : xmlNode_->doc;
    std::optional<TemporaryDocument> temporary;
    if (!doc) {
        temporary.emplace(xmlNode_);
        doc = temporary->doc();
    }
    if (!doc) {
        fail(error, -1, QStringLiteral("invalid node"));
        return std::nullopt;
    }
    xmlXPathContextPtr context = xmlXPathNewContext(doc);
    if (!context) {
        fail(error, -1, QString());
        return std::nullopt;
    }
    context->node = xmlNode_;
    context->error = silentXPathError;
    registerNamespaces(context, doc, xmlNode_, namespaces);

    std::optional<QList<DSXMLNodeRef>> answer;
    xmlXPathObjectPtr result = xmlXPathEval(DSXMLChars(DSXMLUtf8(query)), context);
    if (result) {
        answer.emplace();
        const xmlNodeSetPtr nodes = result->nodesetval;
        for (int i = 0; nodes && i < nodes->nodeNr; ++i) {
            xmlNodePtr node = nodes->nodeTab[i];
            if (node->type == XML_NAMESPACE_DECL) // the result's own copies, freed with it
                answer->append(nodeConsumingXMLNode(
                    reinterpret_cast<xmlNodePtr>(xmlCopyNamespace(reinterpret_cast<xmlNsPtr>(node)))));
            else if (!temporary || node != reinterpret_cast<xmlNodePtr>(doc))
                answer->append(nodeBorrowingXMLNode(node, tree_));
        }
        xmlXPathFreeObject(result);
    } else {
        fail(error, context->lastError.code,
             DSXMLString(reinterpret_cast<const xmlChar*>(context->lastError.str1)));
    }
    xmlXPathFreeContext(context);
    return answer;
}

QString DSXMLNode::description() const {
    const char* className = xmlNode_ && xmlNode_->type == XML_ELEMENT_NODE ? "DSXMLElement" : "DSXMLNode";
    return QStringLiteral("%1 %2: {type:%3 name:%4 xml:\"%5\"}")
        .arg(QLatin1String(className), QString::asprintf("%p", static_cast<const void*>(this)),
             QString::number(xmlNode_ ? int(xmlNode_->type) : -1), name(), XMLString());
}

xmlNodePtr DSXMLNode::XMLNodeCopy() const {
    if (!xmlNode_)
        return nullptr;
    switch (xmlNode_->type) {
    case XML_NAMESPACE_DECL:
        return reinterpret_cast<xmlNodePtr>(xmlCopyNamespace(namespacePtr()));
    case XML_ATTRIBUTE_NODE:
        return reinterpret_cast<xmlNodePtr>(xmlCopyProp(nullptr, reinterpret_cast<xmlAttrPtr>(xmlNode_)));
    case XML_DOCUMENT_NODE:
    case XML_HTML_DOCUMENT_NODE:
        return nullptr;
    default:
        return xmlCopyNode(xmlNode_, 1);
    }
}

DSXMLNodeRef DSXMLNode::copy() const {
    xmlNodePtr copied = XMLNodeCopy();
    if (!copied)
        return nullptr;
    DSXMLNodeRef answer = nodeConsumingXMLNode(copied);
    // A lone attribute copy loses its namespace; it keeps one of its own so that it lands in the same one.
    if (const xmlNsPtr ns = namespaceOf(xmlNode_); ns && xmlNode_->type == XML_ATTRIBUTE_NODE) {
        xmlNsPtr own = xmlCopyNamespace(ns);
        copied->ns = own;
        answer->tree_->retireNamespaces(own);
    }
    return answer;
}

bool DSXMLNode::isEqual(const DSXMLNode& other) const {
    if (this == &other || (xmlNode_ && xmlNode_ == other.xmlNode_))
        return true;
    const QString mine = name();
    const QString theirs = other.name();
    return kind() == other.kind() && mine.isNull() == theirs.isNull() && mine == theirs &&
           childCount() == other.childCount();
}

bool DSXMLNode::ownsXMLNode() const {
    return tree_ && tree_->isRoot(xmlNode_);
}
