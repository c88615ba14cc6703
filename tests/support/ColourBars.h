#pragma once

#include <QColor>
#include <QImage>

// Test pictures: eight vertical bars of saturated colours that move one place along with every frame, so
// that each frame of a clip can be told from its neighbours.
namespace ColourBars {

constexpr int kBars = 8;

QImage frame(QSize size, int frameIndex);
// The colour of bar `bar` in frame `frameIndex`.
QColor barColour(int frameIndex, int bar);
// The centre of a bar, where compression leaves the colour least disturbed.
QPoint barCentre(QSize size, int bar);

} // namespace ColourBars
