#pragma once

#include <libxml/tree.h>

#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

// The owner of one libxml2 tree: a document, or a subtree that belongs to no document. Every wrapper that
// points into the tree shares it, so no wrapper outlives the nodes it points at. Nodes and namespace
// declarations taken out of the tree while wrappers may still point at them are kept here until the tree
// itself goes.
class DSXMLTree {
public:
    static std::shared_ptr<DSXMLTree> owningDocument(xmlDocPtr doc);
    static std::shared_ptr<DSXMLTree> owningNode(xmlNodePtr node);
    static std::shared_ptr<DSXMLTree> owningNamespace(xmlNsPtr ns);
    ~DSXMLTree();
    DSXMLTree(const DSXMLTree&) = delete;
    DSXMLTree& operator=(const DSXMLTree&) = delete;

    xmlDocPtr document() const { return doc_; }
    // Whether `node` is the node this tree was made for (its document, subtree root or namespace
    // declaration).
    bool isRoot(const void* node) const { return node && (node == doc_ || node == root_ || node == ns_); }
    void retireNode(xmlNodePtr unlinked);
    // Also takes a declaration that no node of the tree declares but one of its nodes uses.
    void retireNamespaces(xmlNsPtr list);

    // The one way any XML text from outside is parsed: blank text dropped, CDATA merged into text, nothing
    // loaded from the network. A document type declaration is refused where it starts: its entities and
    // attribute defaults could make a read of the tree (or the tree itself) grow without bound, and no reply
    // of the service carries one. So no node's text is longer than the document. A document past the bounds
    // of DSXMLBounds is refused before libxml2 reads it. The caller owns the answer; null when the text is
    // refused or not well formed, with `problem` saying why.
    static xmlDocPtr parse(const QByteArray& bytes, QString* problem = nullptr);

    // libxml2 needs one initialisation before any thread uses it.
    static void ensureParserReady();

private:
    DSXMLTree() = default;

    xmlDocPtr doc_ = nullptr;
    xmlNodePtr root_ = nullptr;
    xmlNsPtr ns_ = nullptr;
    std::vector<xmlNodePtr> retiredNodes_;
    std::vector<xmlNsPtr> retiredNamespaces_;
};

using DSXMLTreeRef = std::shared_ptr<DSXMLTree>;
