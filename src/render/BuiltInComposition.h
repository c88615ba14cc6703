#pragma once

#include "render/Composition.h"

#include <QRectF>
#include <QVariantMap>

#include <array>
#include <memory>
#include <vector>

// Our own composition format: a property list (XML or binary, file type "vcomp") that stacks flat layers.
//
//     Format   "VistrelleComposition"
//     Version  1
//     Inputs   the keys it publishes, e.g. ("percentDone", "MoviePath", "Looping")
//     Layers   drawn in order, each a dictionary with a "Type":
//              "Fill"      the whole frame, running through "Colors" (r, g, b from 0 to 1) once per
//                          "Period" seconds, blending from each colour to the next
//              "Rect"      "Rect" (x, y, width, height as parts of the frame, y from the top) in "Color"
//              "Progress"  a bar in "Rect" whose width follows the number of the input "Input" (0 to 1,
//                          "percentDone" when not given) in "Color"
//
// Input values are kept and handed to the layers that read them; the format draws no movie.
class BuiltInComposition : public Composition {
public:
    static const QString kFileType;
    static const QString kFormatName;

    // Null with *error for a file that cannot be read or does not describe a composition of this format.
    static std::unique_ptr<BuiltInComposition> read(const QString& path, QString* error = nullptr);
    static std::unique_ptr<BuiltInComposition> fromDescription(const QVariantMap& description,
                                                               QString* error = nullptr);

    QStringList inputKeys() const override { return inputs; }
    bool setValueForInputKey(const QString& key, const QVariant& value) override;
    QVariant valueForInputKey(const QString& key) const override { return values.value(key); }
    bool renderAtTime(double seconds) override;

private:
    using Colour = std::array<float, 3>;
    struct Layer {
        enum class Kind { Fill, Rect, Progress } kind = Kind::Fill;
        QRectF rect{0, 0, 1, 1};
        std::vector<Colour> colours;
        double period = 1.0;
        QString input;
    };

    static bool readLayer(const QVariantMap& description, Layer& layer, QString* error);
    Colour fillColour(const Layer& layer, double seconds) const;
    // Clears the part of the viewport (x, y, width, height) to the colour.
    void fill(const QRectF& part, const Colour& colour, const int viewport[4]) const;

    QStringList inputs;
    QVariantMap values;
    std::vector<Layer> layers;
};
