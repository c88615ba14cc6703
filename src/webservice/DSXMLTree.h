#pragma once

#include <libxml/tree.h>

#include <QByteArray>
#include <QString>

#include <atomic>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

// The strings of one document's names and texts, each made once: equal libxml2 strings come back as one
// shared string. Safe from any thread.
class DSXMLStringCache {
public:
    QString stringFromXMLString(const xmlChar* text);
    qsizetype count() const;
    // The most strings that share one bucket: how many a lookup may have to compare.
    qsizetype largestBucketSize() const;

private:
    // Seeded afresh in every process: names and texts come from the network, and under a fixed hash a reply
    // can be made of strings that all land in one bucket, which makes reading it quadratic.
    struct Hash {
        size_t operator()(const QByteArray& bytes) const;
    };
    mutable std::mutex mutex_;
    std::unordered_map<QByteArray, QString, Hash> strings_;
};

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

    // Counts the changes made through the wrappers of this tree: what a wrapper remembered of the tree at an
    // earlier count may be stale.
    quint64 generation() const { return generation_.load(std::memory_order_acquire); }
    void noteChange() { generation_.fetch_add(1, std::memory_order_acq_rel); }
    // Guards what the wrappers of this tree remember of it.
    std::mutex& cacheMutex() const { return cacheMutex_; }

    // Gives the document a strings cache, kept in its private pointer.
    void attachStringCache();
    // The strings cache of the document `node` belongs to, when it has one.
    static DSXMLStringCache* stringCacheOf(xmlNodePtr node);

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
    std::atomic<quint64> generation_{0};
    mutable std::mutex cacheMutex_;
    std::unique_ptr<DSXMLStringCache> strings_;
};

using DSXMLTreeRef = std::shared_ptr<DSXMLTree>;
