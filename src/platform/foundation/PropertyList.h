#pragma once

// Reading property lists through libplist without trusting them.
//
// libplist 2.2 recurses once per nesting level (a few hundred kilobytes of nested arrays overflow the
// stack) and copies a binary object each time it is referenced (thirty levels of arrays that each refer
// twice to the next one take gigabytes). So the structure is walked here first, iteratively and within
// limits, and only data that passes is handed to libplist.

#include <QByteArray>
#include <QString>

#include <plist/plist.h>

#include <memory>

namespace platform {

struct PropertyListLimits {
    // Keyed archives nest four levels deep; anything far beyond is hostile.
    int maxDepth = 128;
    // Objects, references, and the nodes libplist would build once every reference is expanded.
    qint64 maxNodes = qint64(1) << 22;
    qint64 maxBytes = qint64(256) << 20;
};

struct PlistDeleter {
    void operator()(plist_t node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

// An empty string when the data is a binary ("bplist00") property list that libplist can parse safely,
// else what is wrong with it.
QString checkBinaryPropertyList(const QByteArray& data, const PropertyListLimits& limits = {});
// The same for XML property lists: well-formed, no internal DTD subset, nesting within the limit.
QString checkXmlPropertyList(const QByteArray& data, const PropertyListLimits& limits = {});

// Parses a binary or XML property list after the checks above; null with a message in *error otherwise.
PlistPtr parsePropertyList(const QByteArray& data, QString* error, const PropertyListLimits& limits = {});

} // namespace platform
