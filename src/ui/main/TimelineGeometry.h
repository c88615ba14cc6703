#pragma once

#include "render/SlideshowDirector.h"

#include <QRectF>
#include <QString>

#include <optional>

// The timeline's arithmetic that the main window controller uses: the content view's width, where the play
// head stands and the time texts. Timeline coordinates have the y axis up.
namespace timeline_geometry {

constexpr int kCellWidth = 170;
constexpr int kPhotoWidth = 100;
constexpr int kTransitionWidth = 70;

// Style 0 (a cell per slide): the larger of (slides + 1) cells and the end of the music; any other style
// (a time scale): the show's seconds at `pixelsPerSecond`.
int contentWidth(int timelineStyle, std::size_t slideCount, int cellWidth, float musicEndX,
                 quint64 totalFrames, unsigned long frameRate, int pixelsPerSecond);

// The play head over a cell: through the photo's 100 points, then the transition's 70; none for a frame
// outside the slides (the fades, past the end).
std::optional<float> playHeadX(const SlideFramePosition& position);
// The play head on a time scale.
float rulerPlayHeadX(quint64 frame, unsigned long frameRate, int pixelsPerSecond);
// The play head's frame: 8 wide and 205 high at y 10.
QRectF playHeadRect(float x);

// "mm:ss" of the frame's whole seconds, "mmm:ss" from 6060 seconds on.
QString timelineTimeText(quint64 frame, unsigned long frameRate);
// "mm:ss" of whole seconds.
QString elapsedTimeText(double seconds);

} // namespace timeline_geometry
