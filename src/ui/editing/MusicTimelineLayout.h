#pragma once

#include "model/MusicItem.h"

#include <QRectF>
#include <QVariantList>

#include <vector>

// The music strip's arithmetic without widgets: one drawing record per song, the bands they cover and where
// the play indicator stands.
namespace music_timeline_layout {

// {"factor": the song's share of the show's length, "desc": "<title> - (<length>)"} per song; none when
// the show has no slides or lasts 0.1 s or less.
QVariantList songDrawInfo(const std::vector<MusicItemRef>& songs, bool hasSlides, double showSeconds);
// "<title> - (01:15)", "<title> - (1:02:05)".
QString songDescription(const QString& title, double seconds);

// The band of each record drawn, in order, across bounds: each as wide as its share, until the shares
// reach the whole width; the band that crosses the end is whole.
std::vector<QRectF> songBands(const QVariantList& records, const QRectF& bounds);

// One move of the play indicator: where its left edge goes in its host's parent and where the host
// scrolls to.
struct IndicatorStep {
    double markerX = 0.0;
    double scrollX = 0.0;
};
// For frame `current` of `total` on a strip `stripWidth` wide seen `visibleWidth` wide from `visibleX`:
// the marker follows the start, stands in the middle while the strip scrolls under it, then follows the
// end, which stays in sight.
IndicatorStep indicatorStep(quint64 current, quint64 total, double stripWidth, double visibleX,
                            double visibleWidth, double markerWidth);

} // namespace music_timeline_layout
