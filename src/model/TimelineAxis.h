#pragma once

#include <memory>
#include <vector>

class SlideItem;

// The timeline's time axis for items that span time (the text and audio layers): seconds to strip x and
// back, so that an item dragged along the strip starts where it was dropped and keeps its length.
// In the cells style slide i covers x 170 i to 170 (i + 1): its photo on the first 100 points, its
// transition on the next 70; past the last slide's photo the axis runs on at that photo's pace, so items
// that outlast the show are still drawn whole. Any other style is a plain scale of `pixelsPerSecond`.
namespace timeline_axis {

double xForSeconds(const std::vector<std::shared_ptr<SlideItem>>& slides, int timelineStyle,
                   int pixelsPerSecond, double seconds);
// The inverse of xForSeconds; never before the show's start.
double secondsForX(const std::vector<std::shared_ptr<SlideItem>>& slides, int timelineStyle,
                   int pixelsPerSecond, double x);

} // namespace timeline_axis
