#include "model/TimelineAxis.h"

#include "model/SlideItem.h"

#include <algorithm>
#include <cmath>

namespace timeline_axis {

namespace {

constexpr double kCellWidth = 170.0;
constexpr double kPhotoWidth = 100.0;

// One straight piece of the axis: from (x, seconds) on, `pointsPerSecond` points a second.
struct Piece {
    double x = 0.0, seconds = 0.0, pointsPerSecond = 0.0;
};

// The pieces in order: each slide's photo, then its transition; after the last photo, its pace on.
std::vector<Piece> cellPieces(const std::vector<std::shared_ptr<SlideItem>>& slides, int pixelsPerSecond) {
    std::vector<Piece> pieces;
    const double fallback = pixelsPerSecond > 0 ? double(pixelsPerSecond) : 1.0;
    double start = 0.0;
    for (std::size_t i = 0; i < slides.size(); ++i) {
        const double photo = double(slides[i]->fSecPhotoDuration());
        const double transition = double(slides[i]->fSecTransitionDuration());
        const double x = kCellWidth * double(i);
        const double photoPace = photo > 0.0 ? kPhotoWidth / photo : fallback;
        pieces.push_back({x, start, photoPace});
        if (i + 1 == slides.size())
            break; // the last transition is not drawn: the photo's pace runs on
        const double transitionPace = transition > 0.0 ? (kCellWidth - kPhotoWidth) / transition : 0.0;
        pieces.push_back({x + kPhotoWidth, start + photo, transitionPace});
        start += photo + transition;
    }
    if (pieces.empty())
        pieces.push_back({0.0, 0.0, fallback});
    return pieces;
}

} // namespace

double xForSeconds(const std::vector<std::shared_ptr<SlideItem>>& slides, int timelineStyle,
                   int pixelsPerSecond, double seconds) {
    if (timelineStyle != 0)
        return double(pixelsPerSecond) * seconds;
    const std::vector<Piece> pieces = cellPieces(slides, pixelsPerSecond);
    // The last piece that starts at or before the time; a transition of no length is passed over.
    const Piece* piece = &pieces.front();
    for (const Piece& candidate : pieces)
        if (candidate.seconds <= seconds && candidate.pointsPerSecond > 0.0)
            piece = &candidate;
    return piece->x + (seconds - piece->seconds) * piece->pointsPerSecond;
}

double secondsForX(const std::vector<std::shared_ptr<SlideItem>>& slides, int timelineStyle,
                   int pixelsPerSecond, double x) {
    double seconds = 0.0;
    if (timelineStyle != 0) {
        seconds = pixelsPerSecond > 0 ? x / double(pixelsPerSecond) : 0.0;
    } else {
        const std::vector<Piece> pieces = cellPieces(slides, pixelsPerSecond);
        const Piece* piece = &pieces.front();
        for (const Piece& candidate : pieces)
            if (candidate.x <= x)
                piece = &candidate;
        seconds =
            piece->seconds + (piece->pointsPerSecond > 0.0 ? (x - piece->x) / piece->pointsPerSecond : 0.0);
    }
    return std::isfinite(seconds) ? std::max(seconds, 0.0) : 0.0;
}

} // namespace timeline_axis
