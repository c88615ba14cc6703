#include "ui/editing/MusicTimelineLayout.h"

#include "model/SlideshowProject.h"

#include <algorithm>

namespace music_timeline_layout {

QString songDescription(const QString& title, double seconds) {
    return QStringLiteral("%1 - (%2)")
        .arg(title, SlideshowProject::timeToString(float(seconds), false, true));
}

QVariantList songDrawInfo(const std::vector<MusicItemRef>& songs, bool hasSlides, double showSeconds) {
    QVariantList records;
    if (!hasSlides || !(showSeconds > 0.1))
        return records;
    for (const auto& song : songs) {
        const double seconds = song->duration();
        records.append(QVariantMap{{QStringLiteral("factor"), seconds / showSeconds},
                                   {QStringLiteral("desc"), songDescription(song->strTitle(), seconds)}});
    }
    return records;
}

std::vector<QRectF> songBands(const QVariantList& records, const QRectF& bounds) {
    std::vector<QRectF> bands;
    double covered = 0.0;
    for (const QVariant& record : records) {
        const double factor = record.toMap().value(QStringLiteral("factor")).toDouble();
        bands.emplace_back(bounds.x() + covered * bounds.width(), bounds.y(), bounds.width() * factor,
                           bounds.height());
        covered += factor;
        if (covered >= 1.0)
            break;
    }
    return bands;
}

IndicatorStep indicatorStep(quint64 current, quint64 total, double stripWidth, double visibleX,
                            double visibleWidth, double markerWidth) {
    const float ratio = total ? float(current) / float(total) : 0.0f;
    const double position = double(ratio) * stripWidth;
    const double centre = visibleX + visibleWidth * 0.5 - markerWidth * 0.5;
    if (visibleWidth >= stripWidth || position < visibleWidth / 2)
        return {position, 0.0};
    if (position <= stripWidth - visibleWidth / 2)
        return {centre, position - visibleWidth / 2};
    // The last half-screen: the strip's end stays at the right edge of the view.
    return {position - stripWidth + visibleWidth, std::max(stripWidth - visibleWidth, 0.0)};
}

} // namespace music_timeline_layout
