#pragma once

#include "webservice/DSXMLTree.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QVariantMap>

#include <memory>
#include <optional>

class DSXMLNode;
class DSXMLElement;
using DSXMLNodeRef = std::shared_ptr<DSXMLNode>;
using DSXMLElementRef = std::shared_ptr<DSXMLElement>;

// The XML tree's errors: -1 for text that does not parse or a node that cannot be queried, else libxml2's
// XPath error code; the detail libxml2 gave, when it gave one, under "error".
inline constexpr char kDSXMLErrorDomain[] = "org.vistrelle.DSXMLErrorDomain";
inline constexpr char kDSXMLErrorDetailKey[] = "error";
struct DSXMLError {
    QString domain;
    long code = 0;
    QVariantMap userInfo;
};

// A node of an XML tree on libxml2. Wrappers are made on demand and are cheap; two wrappers of one libxml2
// node stand for the same node. A wrapper keeps the tree it points into alive.
//
// A wrapper remembers its name, its children's wrappers and its attributes' wrappers once read, so that
// reading an element's children over and over (as the object model does, once for each kind of child it
// knows) makes them once. Any change made through a wrapper of the same tree drops what every wrapper of
// the tree remembered; a document's names and texts are made once as strings and then shared.
class DSXMLNode {
public:
    enum Kind {
        InvalidKind = 0,
        DocumentKind,
        ElementKind,
        AttributeKind,
        NamespaceKind,
        ProcessingInstructionKind,
        CommentKind,
        TextKind,
        DTDKind,
        EntityDeclarationKind,
        AttributeDeclarationKind,
        ElementDeclarationKind,
        NotationDeclarationKind,
    };

    virtual ~DSXMLNode() = default;

    // Wrappers of one node: "consuming" makes the wrapper the node's sole owner, "borrowing" shares `tree`.
    static DSXMLNodeRef nodeConsumingXMLNode(xmlNodePtr node);
    static DSXMLNodeRef nodeBorrowingXMLNode(xmlNodePtr node, const DSXMLTreeRef& tree);

    // New nodes, owned by their wrappers; null when libxml2 fails. A name given with a URI takes the
    // provisional form "{URI}:local" until the node is added under an element that has the URI in scope.
    static DSXMLElementRef elementWithName(const QString& name);
    static DSXMLElementRef elementWithNameStringValue(const QString& name, const QString& value);
    static DSXMLElementRef elementWithNameURI(const QString& name, const QString& uri);
    static DSXMLNodeRef attributeWithName(const QString& name, const QString& value);
    static DSXMLNodeRef attributeWithNameURI(const QString& name, const QString& uri, const QString& value);
    static DSXMLNodeRef textWithStringValue(const QString& value);
    static DSXMLNodeRef namespaceWithName(const QString& prefix, const QString& uri);

    static QString localNameForName(const QString& name);
    static QString prefixForName(const QString& name);

    // Forgets the name, children and attributes read so far; they are read from the node again when asked.
    void releaseCachedValues();

    QString stringValue() const;
    void setStringValue(const QString& value);
    QString XMLString() const;
    QString localName() const;
    QString prefix() const;
    QString URI() const;
    QString qualifiedName() const;
    // The qualified name, remembered.
    QString name() const;

    int childCount() const;
    QList<DSXMLNodeRef> children() const;
    DSXMLNodeRef childAtIndex(int index) const;
    Kind kind() const;

    // Null on failure (and the error filled in when asked for), else the matching nodes, possibly none.
    // Without a map the namespaces in scope at the node are known, a default namespace under the prefix
    // "_def_ns".
    std::optional<QList<DSXMLNodeRef>> nodesForXPath(const QString& query, DSXMLError* error = nullptr) const;
    std::optional<QList<DSXMLNodeRef>> nodesForXPath(const QString& query,
                                                     const QMap<QString, QString>& namespaces,
                                                     DSXMLError* error = nullptr) const;

    QString description() const;
    DSXMLNodeRef copy() const;
    // Loose: the same node, or the same kind, name and number of children.
    bool isEqual(const DSXMLNode& other) const;

    xmlNodePtr XMLNode() const { return xmlNode_; }
    xmlNodePtr XMLNodeCopy() const;
    const DSXMLTreeRef& tree() const { return tree_; }
    // Whether this wrapper's node is the root of a tree of its own.
    bool ownsXMLNode() const;

protected:
    DSXMLNode(xmlNodePtr node, DSXMLTreeRef tree) : xmlNode_(node), tree_(std::move(tree)) {}

    // A libxml2 string of this node as a string: one shared string per distinct text in a document with a
    // strings cache, else a new one.
    QString stringFromXMLString(const xmlChar* text) const;
    // Reads `slot`, computing it first when this wrapper holds no value for the tree as it is now.
    template <class T, class Compute> T cached(std::optional<T>& slot, Compute compute) const;
    // The children's count when they are remembered.
    std::optional<int> cachedChildCount() const;
    // Every change through a wrapper goes through here first.
    void willChange() const;

    xmlNsPtr namespacePtr() const { return reinterpret_cast<xmlNsPtr>(xmlNode_); }
    bool isNamespace() const { return xmlNode_ && xmlNode_->type == XML_NAMESPACE_DECL; }
    std::optional<QList<DSXMLNodeRef>>
    evaluateXPath(const QString& query, const QMap<QString, QString>* namespaces, DSXMLError* error) const;

    xmlNodePtr xmlNode_;
    DSXMLTreeRef tree_;
    // What was read, valid while the tree's generation is `cachedGeneration_`; guarded by the tree's cache
    // mutex.
    mutable std::optional<QString> cachedName_;
    mutable std::optional<QList<DSXMLNodeRef>> cachedChildren_;
    mutable std::optional<QList<DSXMLNodeRef>> cachedAttributes_;
    mutable quint64 cachedGeneration_ = 0;

private:
    void dropCachesIfStale() const;
    QList<DSXMLNodeRef> readChildren() const;
};

template <class T, class Compute> T DSXMLNode::cached(std::optional<T>& slot, Compute compute) const {
    if (!tree_)
        return compute();
    std::lock_guard lock(tree_->cacheMutex());
    dropCachesIfStale();
    if (!slot)
        slot = compute();
    return *slot;
}

// libxml2 strings and ours: UTF-8 both ways; a null pointer stands for a null string.
QString DSXMLString(const xmlChar* text);
QByteArray DSXMLUtf8(const QString& text);
inline const xmlChar* DSXMLChars(const QByteArray& utf8) {
    return reinterpret_cast<const xmlChar*>(utf8.constData());
}
