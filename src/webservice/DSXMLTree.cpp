#include "webservice/DSXMLTree.h"

#include <libxml/parser.h>

#include <mutex>

namespace {

// NOBLANKS | NOCDATA | NONET; errors are answered, never printed.
constexpr int kParseOptions =
    XML_PARSE_NOBLANKS | XML_PARSE_NOCDATA | XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

} // namespace

void DSXMLTree::ensureParserReady() {
    static std::once_flag once;
    std::call_once(once, [] { xmlInitParser(); });
}

xmlDocPtr DSXMLTree::parse(const QByteArray& bytes) {
    ensureParserReady();
    if (bytes.isEmpty())
        return nullptr;
    return xmlReadMemory(bytes.constData(), int(bytes.size()), nullptr, nullptr, kParseOptions);
}

std::shared_ptr<DSXMLTree> DSXMLTree::owningDocument(xmlDocPtr doc) {
    std::shared_ptr<DSXMLTree> tree(new DSXMLTree);
    tree->doc_ = doc;
    return tree;
}

std::shared_ptr<DSXMLTree> DSXMLTree::owningNode(xmlNodePtr node) {
    std::shared_ptr<DSXMLTree> tree(new DSXMLTree);
    tree->root_ = node;
    return tree;
}

std::shared_ptr<DSXMLTree> DSXMLTree::owningNamespace(xmlNsPtr ns) {
    std::shared_ptr<DSXMLTree> tree(new DSXMLTree);
    tree->ns_ = ns;
    return tree;
}

void DSXMLTree::retireNode(xmlNodePtr unlinked) {
    if (unlinked)
        retiredNodes_.push_back(unlinked);
}

void DSXMLTree::retireNamespaces(xmlNsPtr list) {
    if (list)
        retiredNamespaces_.push_back(list);
}

DSXMLTree::~DSXMLTree() {
    // Retired nodes still name the document (libxml2 frees their names through its dictionary): they go
    // first.
    for (xmlNodePtr node : retiredNodes_)
        xmlFreeNode(node);
    for (xmlNsPtr list : retiredNamespaces_)
        xmlFreeNsList(list);
    if (root_)
        xmlFreeNode(root_);
    if (ns_)
        xmlFreeNs(ns_);
    if (doc_)
        xmlFreeDoc(doc_);
}
