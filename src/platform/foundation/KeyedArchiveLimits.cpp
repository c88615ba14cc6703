#include "platform/foundation/KeyedArchiveLimits.h"

#include "platform/foundation/KeyedArchive.h"

#include <algorithm>

namespace platform::keyed {

PropertyListLimits propertyListLimits() {
    PropertyListLimits limits;
    limits.maxNodes = kLimits.maxReferences;
    limits.maxBytes = kLimits.maxBytes;
    return limits;
}

GraphMeasure::GraphMeasure(Side side, const Limits& limits) : side(side), limits(limits) {}

GraphMeasure::Node::Node(GraphMeasure& owner) : measure(owner) {
    if (int(measure.frames.size()) > measure.limits.maxDepth)
        measure.tooLarge("the archive is nested more than %1 levels deep",
                         "the object graph is nested more than %1 levels deep", measure.limits.maxDepth);
    measure.frames.push_back({1, 1});
}

GraphMeasure::Node::~Node() {
    if (!finished)
        measure.frames.pop_back();
}

GraphMeasure::Extent GraphMeasure::Node::done() {
    finished = true;
    const Frame frame = measure.frames.back();
    measure.frames.pop_back();
    const Extent extent{frame.values, frame.height};
    measure.add({extent.values, extent.height + 1});
    return extent;
}

void GraphMeasure::revisit(const Extent& extent) {
    // Met here, the value reaches as deep as it did where it was first walked, and maybe deeper.
    if (qint64(frames.size()) - 1 + extent.height > limits.maxDepth)
        tooLarge("the archive is nested more than %1 levels deep",
                 "the object graph is nested more than %1 levels deep", limits.maxDepth);
    add({extent.values, extent.height + 1});
}

// Counts a value (with its own height plus one) towards the value being walked.
void GraphMeasure::add(const Extent& extent) {
    Frame& parent = frames.back();
    parent.values = std::min(parent.values + extent.values, limits.maxValues + 1);
    parent.height = std::max(parent.height, extent.height);
    if (parent.values > limits.maxValues)
        tooLarge("the archive expands to more than %1 values", "the object graph holds more than %1 values",
                 limits.maxValues);
}

void GraphMeasure::countObject() {
    if (++objects > limits.maxObjects)
        tooLarge("the archive holds more than %1 objects", "the object graph holds more than %1 objects",
                 limits.maxObjects);
}

void GraphMeasure::tooLarge(const char* reading, const char* writing, qint64 limit) const {
    throw ArchiveError(
        QString::fromLatin1(side == Side::Reading ? reading : writing).arg(limit).toStdString());
}

} // namespace platform::keyed
