#pragma once

#include <QByteArray>
#include <QString>

// What an XML text may hold before libxml2 is let near it. libxml2 checks each start tag's attributes and
// namespace declarations against each other, and looks every prefix up through the declarations in scope,
// both in time that grows with the square of their number: one error reply of 2.3 MB with 200,000
// attributes kept a core busy for two minutes. The service's documents stay far inside these bounds.
//
// The check reads the bytes once, as UTF-8 (the parser is made to read them the same way, whatever the
// document declares), and follows only the markup: tags, comments, CDATA sections and processing
// instructions. It refuses a document past a bound, a document type declaration, and markup it cannot follow
// (which libxml2 would not accept either, but might go on reading after reporting).
class DSXMLBounds {
public:
    static constexpr qsizetype kMaximumDocumentBytes = 8 * 1024 * 1024;
    // Attributes and namespace declarations of one element together.
    static constexpr int kMaximumAttributesPerElement = 64;
    static constexpr int kMaximumNamespacesInScope = 128;
    static constexpr int kMaximumDepth = 256;
    // Every node and attribute costs the object model a wrapper and each distinct name a string kept for
    // the document's life, and libxml2 files the names in a table that grows no further past a few thousand
    // buckets, so that names take time that grows with the square of how many are distinct: 1.2 million
    // distinct empty elements fit in 8 MB and took 40 s and 672 MB to walk, a million distinct attribute
    // names 46 s and 688 MB, a million processing instructions of distinct names 36 s and 461 MB, and 1.2
    // million comments, which have no names, 491 MB. A page of 500 entries of the service's feed holds
    // about 20,000 elements and 28,000 attributes; 200,000 distinct attribute names are parsed in under a
    // second.
    // Elements, processing instructions and comments of the whole document together.
    static constexpr int kMaximumElements = 100000;
    // Attributes and namespace declarations of the whole document.
    static constexpr int kMaximumAttributes = 200000;

    // Null when the document is inside the bounds, else why it is refused.
    static QString problemWithDocument(const QByteArray& bytes);

    static QString documentTypeRefusal();
};
