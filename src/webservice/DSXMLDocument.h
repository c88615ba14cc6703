#pragma once

#include "webservice/DSXMLElement.h"

#include <QByteArray>

class DSXMLDocument;
using DSXMLDocumentRef = std::shared_ptr<DSXMLDocument>;

// A whole XML document. Its root element's wrapper shares the document and may outlive this object. The
// strings of its names and texts are made once and shared (see DSXMLNode).
class DSXMLDocument {
public:
    // Parses the bytes with the safe options; null (and code -1) when they do not parse.
    static DSXMLDocumentRef documentWithData(const QByteArray& data, DSXMLError* error = nullptr);
    static DSXMLDocumentRef documentWithXMLString(const QString& text, DSXMLError* error = nullptr);
    // A new document whose root is a copy of the element.
    static DSXMLDocumentRef documentWithRootElement(const DSXMLElementRef& root);

    DSXMLElementRef rootElement() const;
    // The serialized document, or null bytes when that fails.
    QByteArray XMLData() const;
    // Null clears them.
    void setVersion(const QString& version);
    void setCharacterEncoding(const QString& encoding);

    std::optional<QList<DSXMLNodeRef>> nodesForXPath(const QString& query, DSXMLError* error = nullptr) const;
    std::optional<QList<DSXMLNodeRef>> nodesForXPath(const QString& query,
                                                     const QMap<QString, QString>& namespaces,
                                                     DSXMLError* error = nullptr) const;
    QString description() const;

    xmlDocPtr XMLDocument() const { return tree_->document(); }

private:
    // Gives the document its strings cache.
    explicit DSXMLDocument(DSXMLTreeRef tree);
    DSXMLNodeRef documentNode() const;

    DSXMLTreeRef tree_;
};
