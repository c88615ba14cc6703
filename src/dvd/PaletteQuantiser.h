#pragma once

#include "dvd/DVDStepError.h"

#include <QImage>
#include <QString>

// Reduces a picture to a few colours in this process (the subpicture's state pictures may hold four) and
// writes it as a palette PNG, where the menu otherwise runs the pngquant program. The picture is handed to
// the quantiser as 8-bit sRGB rows with straight (not premultiplied) colour and a gamma of 0.45455; the
// palette keeps each colour's opacity, so clear and half-clear pixels stay so.
namespace palette_quantiser {

constexpr int kSubpictureColours = 4;
constexpr double kGamma = 0.45455;

// The picture with at most `colours` (2 to 256) colours, as an indexed picture in sRGB; null when it
// could not be reduced, with the reason in *error.
QImage quantised(const QImage& image, int colours = kSubpictureColours, QString* error = nullptr);

// Writes the reduced picture as a PNG at `path`, replaced whole or not at all.
bool writeQuantisedPNG(const QImage& image, const QString& path, int colours = kSubpictureColours,
                       DVDStepError* error = nullptr);
// The same for the picture in the file at `source`, read as every picture file is.
bool writeQuantisedPNG(const QString& source, const QString& path, int colours = kSubpictureColours,
                       DVDStepError* error = nullptr);

} // namespace palette_quantiser
