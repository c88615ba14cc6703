#pragma once

// The one table of limits that the archiver and the unarchiver share, and the measure both take of an
// object graph while they walk it, so that whatever the one accepts the other accepts too: an archive
// that can be opened can be saved again, and nothing is saved that could not be opened.

#include "platform/foundation/PropertyList.h"

#include <QtGlobal>

#include <vector>

namespace platform::keyed {

struct Limits {
    // Values nested inside one another, every reference counting as a level.
    int maxDepth = 512;
    // Objects of our own classes: a real project holds hundreds of slides, not hundreds of thousands.
    qint64 maxObjects = 20000;
    // Values reached through references, counted again at every reference, so that a part shared by
    // many references weighs what the copies a writer would make of it weigh.
    qint64 maxValues = qint64(1) << 20;
    // The property list underneath: its references and objects, and its bytes.
    qint64 maxReferences = qint64(1) << 22;
    qint64 maxBytes = qint64(256) << 20;
};

inline constexpr Limits kLimits{};

// The checks of the property list underneath, with the shared table's figures.
PropertyListLimits propertyListLimits();

enum class Side { Reading, Writing };

// The depth, weight and object count of a graph, kept while it is walked depth first. A failure throws
// ArchiveError with what was too large.
class GraphMeasure {
public:
    struct Extent {
        qint64 values = 0;
        int height = 0;
    };

    // A value being walked; leaving its scope without done() forgets it (the walk failed there).
    class Node {
    public:
        explicit Node(GraphMeasure& measure);
        ~Node();
        Node(const Node&) = delete;
        Node& operator=(const Node&) = delete;
        // The value has been walked: its extent, which now counts for the value that holds it.
        Extent done();

    private:
        GraphMeasure& measure;
        bool finished = false;
    };

    explicit GraphMeasure(Side side, const Limits& limits = kLimits);

    // A value walked before, met again through another reference.
    void revisit(const Extent& extent);
    // A value without references of its own, met here.
    void leaf() { revisit({1, 1}); }
    // One more object of our classes.
    void countObject();

private:
    struct Frame {
        qint64 values = 0;
        int height = 0;
    };

    void add(const Extent& extent);
    [[noreturn]] void tooLarge(const char* reading, const char* writing, qint64 limit) const;

    Side side;
    Limits limits;
    std::vector<Frame> frames{Frame{}}; // the outermost holds the whole graph
    qint64 objects = 0;
};

} // namespace platform::keyed
