#include "webservice/DSXMLDocument.h"

namespace {

void replaceText(const xmlChar*& field, const QString& text) {
    if (field)
        xmlFree(const_cast<xmlChar*>(field));
    field = text.isNull() ? nullptr : xmlStrdup(DSXMLChars(DSXMLUtf8(text)));
}

} // namespace

DSXMLDocumentRef DSXMLDocument::documentWithData(const QByteArray& data, DSXMLError* error) {
    QString problem;
    xmlDocPtr doc = DSXMLTree::parse(data, &problem);
    if (!doc) {
        if (error)
            *error = DSXMLError{QString::fromLatin1(kDSXMLErrorDomain),
                                -1,
                                {{QString::fromLatin1(kDSXMLErrorDetailKey), problem}}};
        return nullptr;
    }
    if (error)
        *error = DSXMLError{};
    return DSXMLDocumentRef(new DSXMLDocument(DSXMLTree::owningDocument(doc)));
}

DSXMLDocumentRef DSXMLDocument::documentWithXMLString(const QString& text, DSXMLError* error) {
    return documentWithData(DSXMLUtf8(text), error);
}

DSXMLDocument::DSXMLDocument(DSXMLTreeRef tree) : tree_(std::move(tree)) {
    tree_->attachStringCache();
}

DSXMLDocumentRef DSXMLDocument::documentWithRootElement(const DSXMLElementRef& root) {
    DSXMLTree::ensureParserReady();
    xmlDocPtr doc = xmlNewDoc(nullptr);
    if (!doc)
        return nullptr;
    DSXMLDocumentRef document(new DSXMLDocument(DSXMLTree::owningDocument(doc)));
    if (xmlNodePtr copy = root ? root->XMLNodeCopy() : nullptr)
        xmlDocSetRootElement(doc, copy);
    return document;
}

DSXMLElementRef DSXMLDocument::rootElement() const {
    return std::static_pointer_cast<DSXMLElement>(
        DSXMLNode::nodeBorrowingXMLNode(xmlDocGetRootElement(tree_->document()), tree_));
}

QByteArray DSXMLDocument::XMLData() const {
    xmlChar* bytes = nullptr;
    int size = 0;
    xmlDocDumpMemory(tree_->document(), &bytes, &size);
    if (!bytes)
        return QByteArray();
    QByteArray answer(reinterpret_cast<const char*>(bytes), size);
    xmlFree(bytes);
    return answer;
}

void DSXMLDocument::setVersion(const QString& version) {
    replaceText(tree_->document()->version, version);
}

void DSXMLDocument::setCharacterEncoding(const QString& encoding) {
    replaceText(tree_->document()->encoding, encoding);
}

DSXMLNodeRef DSXMLDocument::documentNode() const {
    return DSXMLNode::nodeBorrowingXMLNode(reinterpret_cast<xmlNodePtr>(tree_->document()), tree_);
}

std::optional<QList<DSXMLNodeRef>> DSXMLDocument::nodesForXPath(const QString& query,
                                                                DSXMLError* error) const {
    return documentNode()->nodesForXPath(query, error);
}

std::optional<QList<DSXMLNodeRef>> DSXMLDocument::nodesForXPath(const QString& query,
                                                                const QMap<QString, QString>& namespaces,
                                                                DSXMLError* error) const {
    return documentNode()->nodesForXPath(query, namespaces, error);
}

QString DSXMLDocument::description() const {
    return QStringLiteral("DSXMLDocument %1").arg(QString::asprintf("%p", static_cast<const void*>(this)));
}
