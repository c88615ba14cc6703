#include "webservice/DSXMLElement.h"

#include <map>

namespace {

bool isProvisional(const QByteArray& prefix) {
    return prefix.size() >= 3 && prefix.startsWith('{') && prefix.endsWith('}');
}

bool sameHref(const xmlNs* a, const xmlNs* b) {
    return xmlStrEqual(a->href, b->href);
}

// A declaration of the URI in scope at the node. Attributes need a prefixed one: an unprefixed attribute is
// in no namespace at all.
xmlNsPtr namespaceForHref(xmlNodePtr node, const xmlChar* href, bool needsPrefix) {
    xmlNsPtr ns = xmlSearchNsByHref(node->doc, node, href);
    if (!ns || ns->prefix || !needsPrefix)
        return ns;
    xmlNsPtr found = nullptr;
    if (xmlNsPtr* list = xmlGetNsList(node->doc, node)) {
        for (xmlNsPtr* it = list; *it && !found; ++it)
            if ((*it)->prefix && xmlStrEqual((*it)->href, href))
                found = *it;
        xmlFree(list);
    }
    return found;
}

void fixQualifiedName(xmlNodePtr node, xmlNodePtr treeNode) {
    if (node->ns)
        return;
    const QByteArray name(reinterpret_cast<const char*>(node->name));
    const qsizetype colon = name.lastIndexOf(':');
    if (colon == name.size() - 1)
        return;
    const bool isAttribute = node->type == XML_ATTRIBUTE_NODE;
    if (colon < 0 && isAttribute) // an unprefixed attribute never takes the default namespace
        return;
    const QByteArray prefix = colon < 0 ? QByteArray() : name.left(colon);
    const QByteArray local = name.mid(colon + 1);
    xmlNsPtr ns = nullptr;
    if (isProvisional(prefix))
        ns = namespaceForHref(treeNode, DSXMLChars(prefix.mid(1, prefix.size() - 2)), isAttribute);
    else
        ns = xmlSearchNs(treeNode->doc, treeNode, prefix.isNull() ? nullptr : DSXMLChars(prefix));
    if (!ns || (isAttribute && !ns->prefix))
        return;
    xmlSetNs(node, ns);
    if (colon >= 0)
        xmlNodeSetName(node, DSXMLChars(local));
}

using Substitutions = std::map<xmlNsPtr, xmlNsPtr>;

void fixDuplicateNamespaces(xmlNodePtr node, xmlNodePtr treeNode, Substitutions& substitutions,
                            DSXMLTree& tree) {
    if (node->type == XML_ELEMENT_NODE) {
        xmlNsPtr previous = nullptr;
        for (xmlNsPtr ns = node->nsDef; ns;) {
            xmlNsPtr next = ns->next;
            xmlNsPtr existing = xmlSearchNs(treeNode->doc, treeNode, ns->prefix);
            if (existing && existing != ns && sameHref(existing, ns)) {
                substitutions[ns] = existing;
                (previous ? previous->next : node->nsDef) = next;
                ns->next = nullptr;
                tree.retireNamespaces(ns);
            } else {
                previous = ns;
            }
            ns = next;
        }
    }
    if (auto it = substitutions.find(node->ns); node->ns && it != substitutions.end())
        node->ns = it->second;
}

void fixUpSubtree(xmlNodePtr node, xmlNodePtr treeNode, Substitutions& substitutions, DSXMLTree& tree) {
    if (node->type != XML_ELEMENT_NODE && node->type != XML_ATTRIBUTE_NODE)
        return;
    fixQualifiedName(node, treeNode);
    fixDuplicateNamespaces(node, treeNode, substitutions, tree);
    if (node->type != XML_ELEMENT_NODE)
        return;
    for (xmlNodePtr child = node->children; child; child = child->next)
        fixUpSubtree(child, treeNode, substitutions, tree);
    for (xmlAttrPtr attribute = node->properties; attribute; attribute = attribute->next)
        fixUpSubtree(reinterpret_cast<xmlNodePtr>(attribute), treeNode, substitutions, tree);
}

// Nodes that used declarations just taken off `element` move to what is now in scope, or to a fresh copy.
void repointRetired(xmlNodePtr node, xmlNodePtr element, Substitutions& replaced) {
    if (node->type != XML_ELEMENT_NODE && node->type != XML_ATTRIBUTE_NODE)
        return;
    if (auto it = replaced.find(node->ns); node->ns && it != replaced.end()) {
        if (!it->second) {
            xmlNsPtr old = it->first;
            xmlNsPtr scope = xmlSearchNs(element->doc, element, old->prefix);
            it->second = scope && sameHref(scope, old) ? scope : xmlNewNs(element, old->href, old->prefix);
        }
        if (it->second)
            node->ns = it->second;
    }
    if (node->type != XML_ELEMENT_NODE)
        return;
    for (xmlNodePtr child = node->children; child; child = child->next)
        repointRetired(child, element, replaced);
    for (xmlAttrPtr attribute = node->properties; attribute; attribute = attribute->next)
        repointRetired(reinterpret_cast<xmlNodePtr>(attribute), element, replaced);
}

bool attributeMatches(xmlAttrPtr attribute, const xmlChar* name, const xmlNs* ns) {
    if (!xmlStrEqual(attribute->name, name))
        return false;
    if (!attribute->ns || !ns)
        return !attribute->ns && !ns;
    return sameHref(attribute->ns, ns);
}

} // namespace

void DSXMLElement::fixUpNamespacesForNode(xmlNodePtr node, xmlNodePtr treeNode, DSXMLTree& tree) {
    Substitutions substitutions;
    fixUpSubtree(node, treeNode, substitutions, tree);
}

DSXMLElementRef DSXMLElement::elementWithXMLString(const QString& text, DSXMLError* error) {
    QString problem;
    xmlDocPtr doc = DSXMLTree::parse(DSXMLUtf8(text), &problem);
    xmlNodePtr root = doc ? xmlDocGetRootElement(doc) : nullptr;
    xmlNodePtr copy = root ? xmlCopyNode(root, 1) : nullptr;
    if (doc)
        xmlFreeDoc(doc);
    if (!copy) {
        if (error)
            *error = DSXMLError{QString::fromLatin1(kDSXMLErrorDomain),
                                -1,
                                {{QString::fromLatin1(kDSXMLErrorDetailKey), problem}}};
        return nullptr;
    }
    return std::static_pointer_cast<DSXMLElement>(nodeConsumingXMLNode(copy));
}

xmlNsPtr DSXMLElement::searchNamespace(const QString& prefix) const {
    const QByteArray bytes = DSXMLUtf8(prefix);
    return xmlSearchNs(xmlNode_->doc, xmlNode_, prefix.isEmpty() ? nullptr : DSXMLChars(bytes));
}

QList<DSXMLNodeRef> DSXMLElement::namespaces() const {
    QList<DSXMLNodeRef> answer;
    for (xmlNsPtr ns = xmlNode_ ? xmlNode_->nsDef : nullptr; ns; ns = ns->next)
        if (!ns->prefix || !xmlStrEqual(ns->prefix, reinterpret_cast<const xmlChar*>("xml")))
            answer.append(nodeBorrowingXMLNode(reinterpret_cast<xmlNodePtr>(ns), tree_));
    return answer;
}

void DSXMLElement::setNamespaces(const QList<DSXMLNodeRef>& namespaces) {
    if (!xmlNode_)
        return;
    willChange();
    Substitutions replaced;
    if (xmlNsPtr old = xmlNode_->nsDef) {
        for (xmlNsPtr ns = old; ns; ns = ns->next)
            replaced[ns] = nullptr;
        xmlNode_->nsDef = nullptr;
        tree_->retireNamespaces(old);
    }
    for (const DSXMLNodeRef& ns : namespaces)
        if (ns && ns->kind() == NamespaceKind) {
            const xmlNsPtr given = reinterpret_cast<xmlNsPtr>(ns->XMLNode());
            xmlNewNs(xmlNode_, given->href, given->prefix);
        }
    if (!replaced.empty())
        repointRetired(xmlNode_, xmlNode_, replaced);
    fixUpNamespacesForNode(xmlNode_, xmlNode_, *tree_);
}

void DSXMLElement::addNamespace(const DSXMLNodeRef& ns) {
    if (!xmlNode_ || !ns || ns->kind() != NamespaceKind)
        return;
    willChange();
    const xmlNsPtr given = reinterpret_cast<xmlNsPtr>(ns->XMLNode());
    xmlNewNs(xmlNode_, given->href, given->prefix);
    fixUpNamespacesForNode(xmlNode_, xmlNode_, *tree_);
}

void DSXMLElement::addChild(const DSXMLNodeRef& child) {
    if (!xmlNode_ || !child)
        return;
    switch (child->kind()) {
    case AttributeKind:
        addAttribute(child);
        return;
    case NamespaceKind:
        addNamespace(child);
        return;
    case DocumentKind:
    case InvalidKind:
        return;
    default:
        break;
    }
    xmlNodePtr copy = child->XMLNodeCopy();
    if (!copy)
        return;
    willChange();
    xmlNodePtr added = xmlAddChild(xmlNode_, copy);
    if (!added) {
        xmlFreeNode(copy);
        return;
    }
    fixUpNamespacesForNode(added, xmlNode_, *tree_);
}

void DSXMLElement::removeChild(const DSXMLNodeRef& child) {
    if (!xmlNode_ || !child || !child->XMLNode() || child->kind() == NamespaceKind)
        return;
    xmlNodePtr node = child->XMLNode();
    if (node->parent != xmlNode_)
        return;
    willChange();
    xmlUnlinkNode(node);
    tree_->retireNode(node);
}

QList<DSXMLElementRef> DSXMLElement::elementsForName(const QString& name) const {
    QList<DSXMLElementRef> answer;
    if (!xmlNode_)
        return answer;
    const QString prefix = prefixForName(name);
    if (!prefix.isNull())
        if (xmlNsPtr ns = searchNamespace(prefix))
            return elementsForLocalNameURI(localNameForName(name), DSXMLString(ns->href));
    for (const DSXMLNodeRef& child : children())
        if (child->XMLNode()->type == XML_ELEMENT_NODE && child->name() == name)
            answer.append(std::static_pointer_cast<DSXMLElement>(child));
    return answer;
}

QList<DSXMLElementRef> DSXMLElement::elementsForLocalNameURI(const QString& localName,
                                                             const QString& uri) const {
    QList<DSXMLElementRef> answer;
    if (!xmlNode_)
        return answer;
    const QByteArray local = DSXMLUtf8(localName);
    const QByteArray href = DSXMLUtf8(uri);
    const QByteArray provisional = DSXMLUtf8(QStringLiteral("{%1}:%2").arg(uri, localName));
    for (const DSXMLNodeRef& wrapper : children()) {
        const xmlNodePtr child = wrapper->XMLNode();
        if (child->type != XML_ELEMENT_NODE)
            continue;
        const bool inNamespace = child->ns && xmlStrEqual(child->ns->href, DSXMLChars(href)) &&
                                 xmlStrEqual(child->name, DSXMLChars(local));
        const bool provisionallyNamed = !child->ns && xmlStrEqual(child->name, DSXMLChars(provisional));
        if (inNamespace || provisionallyNamed)
            answer.append(std::static_pointer_cast<DSXMLElement>(wrapper));
    }
    return answer;
}

QList<DSXMLNodeRef> DSXMLElement::attributes() const {
    return cached(cachedAttributes_, [this] {
        QList<DSXMLNodeRef> answer;
        for (xmlAttrPtr attribute = xmlNode_ ? xmlNode_->properties : nullptr; attribute;
             attribute = attribute->next)
            answer.append(nodeBorrowingXMLNode(reinterpret_cast<xmlNodePtr>(attribute), tree_));
        return answer;
    });
}

void DSXMLElement::addAttribute(const DSXMLNodeRef& attribute) {
    if (!xmlNode_ || !attribute || attribute->kind() != AttributeKind)
        return;
    const xmlAttrPtr given = reinterpret_cast<xmlAttrPtr>(attribute->XMLNode());
    for (xmlAttrPtr existing = xmlNode_->properties; existing; existing = existing->next)
        if (attributeMatches(existing, given->name, given->ns))
            return;
    willChange();
    xmlNsPtr ns = nullptr;
    if (given->ns) {
        ns = namespaceForHref(xmlNode_, given->ns->href, true);
        if (!ns && given->ns->prefix)
            ns = xmlNewNs(xmlNode_, given->ns->href, given->ns->prefix);
    }
    xmlChar* value = xmlNodeGetContent(reinterpret_cast<xmlNodePtr>(given));
    xmlAttrPtr added = xmlNewNsProp(xmlNode_, ns, given->name, value);
    if (value)
        xmlFree(value);
    if (added)
        fixUpNamespacesForNode(reinterpret_cast<xmlNodePtr>(added), xmlNode_, *tree_);
}

DSXMLNodeRef DSXMLElement::attributeForXMLNode(xmlAttrPtr node) const {
    if (!node)
        return nullptr;
    for (const DSXMLNodeRef& attribute : attributes())
        if (attribute->XMLNode() == reinterpret_cast<xmlNodePtr>(node))
            return attribute;
    return nullptr;
}

DSXMLNodeRef DSXMLElement::attributeForName(const QString& name) const {
    if (!xmlNode_)
        return nullptr;
    for (const DSXMLNodeRef& attribute : attributes())
        if (attribute->name() == name)
            return attribute;
    const QString prefix = prefixForName(name);
    if (!prefix.isNull())
        if (xmlNsPtr ns = searchNamespace(prefix))
            if (DSXMLNodeRef found = attributeForLocalNameURI(localNameForName(name), DSXMLString(ns->href)))
                return found;
    const QByteArray bytes = DSXMLUtf8(name);
    for (xmlAttrPtr attribute = xmlNode_->properties; attribute; attribute = attribute->next)
        if (!attribute->ns && xmlStrEqual(attribute->name, DSXMLChars(bytes)))
            return attributeForXMLNode(attribute);
    return nullptr;
}

DSXMLNodeRef DSXMLElement::attributeForLocalNameURI(const QString& localName, const QString& uri) const {
    if (!xmlNode_)
        return nullptr;
    const QByteArray local = DSXMLUtf8(localName);
    const QByteArray href = DSXMLUtf8(uri);
    const QByteArray provisional = DSXMLUtf8(QStringLiteral("{%1}:%2").arg(uri, localName));
    xmlAttrPtr fallback = nullptr;
    for (xmlAttrPtr attribute = xmlNode_->properties; attribute; attribute = attribute->next) {
        if (attribute->ns && xmlStrEqual(attribute->ns->href, DSXMLChars(href)) &&
            xmlStrEqual(attribute->name, DSXMLChars(local)))
            return attributeForXMLNode(attribute);
        if (!fallback && !attribute->ns && xmlStrEqual(attribute->name, DSXMLChars(provisional)))
            fallback = attribute;
    }
    return attributeForXMLNode(fallback);
}

QString DSXMLElement::resolvePrefixForNamespaceURI(const QString& uri) const {
    if (!xmlNode_)
        return QString();
    const xmlNsPtr ns = xmlSearchNsByHref(xmlNode_->doc, xmlNode_, DSXMLChars(DSXMLUtf8(uri)));
    if (!ns)
        return QString();
    return ns->prefix ? DSXMLString(ns->prefix) : QStringLiteral("");
}
