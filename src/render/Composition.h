#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

// A picture that changes over time, drawn with GL: what a composition slide shows. A composition is read
// from a file by the reader of its file type (CompositionRegistry), publishes the input keys it takes
// ("MoviePath", "Looping", "percentDone", ...) and draws itself at a time into the bound frame buffer.
class Composition {
public:
    virtual ~Composition() = default;

    virtual QStringList inputKeys() const = 0;
    bool publishesInput(const QString& key) const { return inputKeys().contains(key); }
    // False, with nothing set, for a key the composition does not publish.
    virtual bool setValueForInputKey(const QString& key, const QVariant& value) = 0;
    virtual QVariant valueForInputKey(const QString& key) const = 0;
    // Draws the picture at `seconds` into the bound frame buffer, with the context current and the viewport
    // set to all of it. False when it cannot draw.
    virtual bool renderAtTime(double seconds) = 0;
};
