#pragma once

#include "model/MusicItem.h"
#include "model/SlideItem.h"
#include "ui/editing/ProjectSource.h"
#include "ui/editing/TimelineDragModel.h"
#include "ui/editing/TimelineLayout.h"

#include <QColor>
#include <QImage>
#include <QRectF>
#include <QWidget>

#include <functional>

class QPainter;

// The timeline strip's document view: as wide as the slides (and songs) need, 205 high. It draws the whole
// strip from the open project in one pass (the slide cells with thumbnails, transition icons and duration
// badges, the insert marker, the text and audio layer items, the drop cursors) and renders single items as
// drag pictures. The layer items and the drop cursors are drawn by a transparent child kept above the song
// panels that lie in the strip. It takes no input: the scroll view decides every click and drag and sets the
// drag state.
//
// Its model is in timeline coordinates, whose y axis points up; pictures and text are drawn upright into
// rectangles flipped once (toWidget), never through a flipped painter.
class TimelineContentView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 205;

    explicit TimelineContentView(ProjectSource project, QWidget* parent = nullptr);

    // Layer items lie above anything placed in the strip, such as the song panels: a child placed here
    // goes under them.
    void stackUnderLayerItems(QWidget* child);

    void setBackgroundColor(const QColor& colour);
    QColor backgroundColor() const { return background; }
    // Sets the frame (0, 0, width, 205).
    void setContentWidth(int width);

    // A rectangle of timeline coordinates in the widget's, and back.
    static QRectF toWidget(const QRectF& timelineRect);
    static QRectF fromWidget(const QRectF& widgetRect) { return toWidget(widgetRect); }

    // ---- drag state, set by the scroll view
    TimelineDrawState& drawState() { return state; }
    int nArrowSize() const { return arrowSize; }
    int nTimelineViewState() const { return state.nTimelineViewState; }
    void setNTimelineViewState(int value) { state.nTimelineViewState = value; }
    float fDraggingPosition() const { return state.fDraggingPosition; }
    void setFDraggingPosition(float value) { state.fDraggingPosition = value; }
    float fDraggingStartPositionDelta() const { return state.fDraggingStartPositionDelta; }
    void setFDraggingStartPositionDelta(float value) { state.fDraggingStartPositionDelta = value; }
    quint64 nInsertPositionIndex() const { return state.nInsertPositionIndex; }
    void setNInsertPositionIndex(quint64 value) { state.nInsertPositionIndex = value; }
    SlideItemRef itemBeingDragging() const { return state.itemBeingDragging; }
    void setItemBeingDragging(SlideItemRef item) { state.itemBeingDragging = std::move(item); }
    MusicItemRef musicItemBeingDragging() const { return state.musicItemBeingDragging; }
    void setMusicItemBeingDragging(MusicItemRef item) { state.musicItemBeingDragging = std::move(item); }

    // ---- drag pictures: transparent where the item does not paint
    QImage dragImageForItem(const SlideItem& slide);
    QImage dragImageForTextLayerItem(const SlideItem& item);
    QImage dragImageForAudioLayerItem(MusicItem& item);

    // ---- drawing, into a painter whose y-up space is `height` high (the strip's 205, or a drag picture's)
    void drawSlideItem(QPainter& painter, double height, const SlideItem& slide, const QRectF& rect,
                       bool selected, bool afterInsert, bool lastItem);
    void drawSlideItem_RulerMode(QPainter& painter, double height, const SlideItem& slide, const QRectF& rect,
                                 bool selected);
    void DrawTextLayerItem(QPainter& painter, double height, const SlideItem& item, const QRectF& rect);
    void DrawAudioLayerItem(QPainter& painter, double height, MusicItem& item, const QRectF& rect);
    void showTextLayerCursor(QPainter& painter);
    void showAudioLayerCursor(QPainter& painter);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    class LayerItemsView;
    // What the layer items' view draws over the strip's children: the items, the badges their arrows would
    // hide, and a dragged item's cursor.
    void paintLayers(QPainter& painter, const QRectF& dirty);
    // The open project with its rectangles laid out for a drawing, the painter made ready for it.
    SlideshowProjectRef laidOutProject(QPainter& painter) const;
    // Where each slide is drawn in the current drag state.
    timeline_layout::StripPlacement placeSlides(const std::vector<SlideItemRef>& slides) const;
    void drawSlides(QPainter& painter, const QRectF& dirty, const std::vector<SlideItemRef>& slides,
                    const timeline_layout::StripPlacement& placement);
    void drawLayerItems(QPainter& painter, const QRectF& dirty);
    void drawBadgesOverLayers(QPainter& painter, const QRectF& dirty, const std::vector<SlideItemRef>& slides,
                              const timeline_layout::StripPlacement& placement);
    void drawSlideBadges(QPainter& painter, double height, const SlideItem& slide, const QRectF& rect,
                         bool lastItem);
    void drawDurationBadge(QPainter& painter, double height, const QRectF& rect, const QColor& fill,
                           const QString& text);
    void drawDropCursor(QPainter& painter, const QRectF& itemRect, bool textLayer);
    static QImage dragImage(QSize size, const std::function<void(QPainter&, double)>& draw);

    ProjectSource projectSource;

    QColor background;
    int arrowSize = 8;
    TimelineDrawState state;
    QWidget* layerItems; // a child of ours
};
