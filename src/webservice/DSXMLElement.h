#pragma once

#include "webservice/DSXMLNode.h"

// An element node: its namespaces, children and attributes, looked up by name or by local name and URI.
class DSXMLElement : public DSXMLNode {
public:
    // Parses the text and keeps a copy of its root element; null (and code -1) when it does not parse.
    static DSXMLElementRef elementWithXMLString(const QString& text, DSXMLError* error = nullptr);

    // The namespaces declared on this element itself, the "xml" one left out.
    QList<DSXMLNodeRef> namespaces() const;
    void setNamespaces(const QList<DSXMLNodeRef>& namespaces);
    void addNamespace(const DSXMLNodeRef& ns);

    // Appends a copy of the child (an attribute goes to addAttribute), its names resolved against this
    // element.
    void addChild(const DSXMLNodeRef& child);
    // Takes the child out of this element; the child's wrapper stays usable.
    void removeChild(const DSXMLNodeRef& child);

    QList<DSXMLElementRef> elementsForName(const QString& name) const;
    QList<DSXMLElementRef> elementsForLocalNameURI(const QString& localName, const QString& uri) const;

    QList<DSXMLNodeRef> attributes() const;
    // Does nothing when an attribute of that name (in that namespace) is there already.
    void addAttribute(const DSXMLNodeRef& attribute);
    DSXMLNodeRef attributeForXMLNode(xmlAttrPtr node) const;
    DSXMLNodeRef attributeForName(const QString& name) const;
    DSXMLNodeRef attributeForLocalNameURI(const QString& localName, const QString& uri) const;
    // The prefix bound to the URI here: "" for the default namespace, null when unbound.
    QString resolvePrefixForNamespaceURI(const QString& uri) const;

    // Resolves provisional and prefixed names in the grafted subtree against the tree node, and drops
    // namespace declarations the tree node already has in scope.
    static void fixUpNamespacesForNode(xmlNodePtr node, xmlNodePtr treeNode, DSXMLTree& tree);

private:
    friend class DSXMLNode;
    using DSXMLNode::DSXMLNode;

    xmlNsPtr searchNamespace(const QString& prefix) const;
};
