#include "webservice/DSXMLTree.h"

#include "webservice/DSXMLBounds.h"

#include <libxml/parser.h>

#include <QHashFunctions>

#include <algorithm>
#include <mutex>

namespace {

// NOBLANKS | NOCDATA | NONET; errors are answered, never printed. The bytes are read as UTF-8 whatever the
// document declares, as the bounds check read them.
constexpr int kParseOptions = XML_PARSE_NOBLANKS | XML_PARSE_NOCDATA | XML_PARSE_NONET | XML_PARSE_NOERROR |
                              XML_PARSE_NOWARNING | XML_PARSE_IGNORE_ENC;

struct ParserContextFree {
    void operator()(xmlParserCtxtPtr context) const { xmlFreeParserCtxt(context); }
};

// Whether the parse running on this thread met a document type declaration.
thread_local bool sawDocumentType = false;

// Called by libxml2 for every <!DOCTYPE ...>, before its internal subset is read.
void refuseDocumentType(void* context, const xmlChar*, const xmlChar*, const xmlChar*) {
    sawDocumentType = true;
    xmlStopParser(static_cast<xmlParserCtxtPtr>(context));
}

} // namespace

void DSXMLTree::ensureParserReady() {
    static std::once_flag once;
    std::call_once(once, [] { xmlInitParser(); });
}

xmlDocPtr DSXMLTree::parse(const QByteArray& bytes, QString* problem) {
    ensureParserReady();
    if (bytes.isEmpty()) {
        if (problem)
            *problem = QStringLiteral("The XML document is empty");
        return nullptr;
    }
    if (const QString bound = DSXMLBounds::problemWithDocument(bytes); !bound.isNull()) {
        if (problem)
            *problem = bound;
        return nullptr;
    }
    const std::unique_ptr<xmlParserCtxt, ParserContextFree> context(xmlNewParserCtxt());
    if (!context)
        return nullptr;
    context->sax->internalSubset = refuseDocumentType;
    sawDocumentType = false;
    xmlDocPtr doc = xmlCtxtReadMemory(context.get(), bytes.constData(), int(bytes.size()), nullptr, "UTF-8",
                                      kParseOptions);
    const bool refused = sawDocumentType;
    if (refused) {
        xmlFreeDoc(doc);
        doc = nullptr;
    }
    if (!doc && problem) {
        const xmlError* error = xmlCtxtGetLastError(context.get());
        *problem = refused ? DSXMLBounds::documentTypeRefusal()
                   : error && error->message
                       ? QStringLiteral("The XML document is not well formed (line %1): %2")
                             .arg(error->line)
                             .arg(QString::fromUtf8(error->message).trimmed())
                       : QStringLiteral("The XML document is not well formed");
    }
    return doc;
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

size_t DSXMLStringCache::Hash::operator()(const QByteArray& bytes) const {
    return qHash(bytes, QHashSeed::globalSeed());
}

QString DSXMLStringCache::stringFromXMLString(const xmlChar* text) {
    if (!text)
        return QString();
    const QByteArray key(reinterpret_cast<const char*>(text));
    std::lock_guard lock(mutex_);
    auto found = strings_.find(key);
    if (found == strings_.end())
        found = strings_.emplace(key, QString::fromUtf8(key)).first;
    return found->second;
}

qsizetype DSXMLStringCache::count() const {
    std::lock_guard lock(mutex_);
    return qsizetype(strings_.size());
}

qsizetype DSXMLStringCache::largestBucketSize() const {
    std::lock_guard lock(mutex_);
    std::size_t largest = 0;
    for (std::size_t bucket = 0; bucket < strings_.bucket_count(); ++bucket)
        largest = std::max(largest, strings_.bucket_size(bucket));
    return qsizetype(largest);
}

void DSXMLTree::attachStringCache() {
    if (!doc_ || strings_)
        return;
    strings_ = std::make_unique<DSXMLStringCache>();
    doc_->_private = strings_.get();
}

DSXMLStringCache* DSXMLTree::stringCacheOf(xmlNodePtr node) {
    if (!node)
        return nullptr;
    switch (node->type) {
    case XML_ELEMENT_NODE:
    case XML_ATTRIBUTE_NODE:
    case XML_TEXT_NODE:
        return node->doc ? static_cast<DSXMLStringCache*>(node->doc->_private) : nullptr;
    default:
        return nullptr;
    }
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
    if (doc_) {
        doc_->_private = nullptr;
        strings_.reset();
        xmlFreeDoc(doc_);
    }
}
