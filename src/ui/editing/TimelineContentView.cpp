#include "ui/editing/TimelineContentView.h"

#include "model/SlideshowProject.h"
#include "platform/image/PictureReading.h"
#include "platform/image/SlidePictures.h"
#include "render/DropShadow.h"
#include "ui/editing/ResourceImage.h"
#include "ui/editing/TimelineLayout.h"

#include <QApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmapCache>
#include <QResizeEvent>

#include <algorithm>

using timeline_layout::flipped;

namespace {

const QColor kVideoBadge = QColor::fromRgbF(0.2f, 0.9f, 0.2f);
const QColor kPhotoBadge = QColor::fromRgbF(0.9f, 0.9f, 1.0f);
const QColor kTextGradientStart = QColor::fromRgbF(0.9f, 0.92f, 0.85f);
const QColor kTextGradientEnd = QColor::fromRgbF(0.81f, 0.83f, 0.76f);
const QColor kSelectedOutline = QColor::fromRgbF(0.0f, 1.0f, 0.0f);
const QColor kTextOutline = QColor::fromRgbF(0.6f, 0.4f, 0.2f);
const QColor kAudioOutline = QColor::fromRgbF(0.5f, 0.0f, 0.5f);
const QColor kRulerGrey = QColor::fromRgbF(0.5f, 0.5f, 0.5f);

QColor deviceGrey(double level) {
    return QColor::fromRgbF(float(level), float(level), float(level));
}

QImage transitionIcon(const SlideItem& slide) {
    const QString name = slide.transitionInfo().value(QStringLiteral("image_name")).toString();
    QImage icon = name.isEmpty() ? QImage() : resourceImage(name);
    return icon.isNull() ? resourceImage(QStringLiteral("dice")) : icon;
}

// The thumbnail file as it is now: read again whenever the file changes.
QPixmap thumbnailAt(const QString& path) {
    if (path.isEmpty())
        return QPixmap();
    const QFileInfo file(path);
    if (!file.isFile())
        return QPixmap();
    const QString key = QStringLiteral("timeline-thumbnail:%1:%2:%3")
                            .arg(path)
                            .arg(file.lastModified().toMSecsSinceEpoch())
                            .arg(file.size());
    QPixmap thumbnail;
    if (QPixmapCache::find(key, &thumbnail))
        return thumbnail;
    thumbnail = QPixmap::fromImage(
        platform::image::readPicture(path, platform::image::PictureRequest::within(
                                               platform::image::slide_pictures::kThumbnailReadSide))
            .image);
    if (!thumbnail.isNull())
        QPixmapCache::insert(key, thumbnail);
    return thumbnail;
}

QFont badgeFont() {
    QFont font = QApplication::font();
    font.setPixelSize(11);
    return font;
}

QFont serifFont(double points) {
    QFont font(QStringLiteral("Times"));
    font.setStyleHint(QFont::Serif);
    font.setPointSizeF(points);
    return font;
}

QPainterPath closedPath(const std::vector<QPointF>& points, double height) {
    QPainterPath path;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const QPointF p = flipped(points[i], height);
        if (i == 0)
            path.moveTo(p);
        else
            path.lineTo(p);
    }
    path.closeSubpath();
    return path;
}

// Fills the path with `brush` on a layer of its own and draws the layer with its shadow under it.
void fillWithShadow(QPainter& painter, const QPainterPath& path, const QBrush& under, const QBrush& brush,
                    const DropShadow& shadow) {
    const QRect box = path.boundingRect().toAlignedRect().adjusted(-1, -1, 1, 1);
    if (box.isEmpty())
        return;
    QImage layer(box.size(), QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    {
        QPainter layerPainter(&layer);
        layerPainter.setRenderHint(QPainter::Antialiasing);
        layerPainter.translate(-box.topLeft());
        layerPainter.fillPath(path, under);
        layerPainter.setClipPath(path);
        layerPainter.fillRect(path.boundingRect(), brush);
    }
    shadow.drawLayer(painter, layer, box.topLeft());
}

void strokeOutline(QPainter& painter, const QPainterPath& path, bool selected, const QColor& normal) {
    QPen pen(selected ? kSelectedOutline : normal, selected ? 3.0 : 2.0);
    pen.setJoinStyle(Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
}

// Qt's dash lengths count pen widths and need an even count: the three-part patterns twice, halved for
// the 2-point pens.
QPen dashedPen(const QColor& colour, const QList<qreal>& pattern) {
    QPen pen(colour, 2.0);
    QList<qreal> dashes;
    for (int round = 0; round < 2; ++round)
        for (qreal length : pattern)
            dashes << length / 2.0;
    pen.setDashPattern(dashes);
    pen.setDashOffset(0);
    pen.setCapStyle(Qt::RoundCap);
    return pen;
}

} // namespace

// Transparent and as large as the strip; it paints what its owner gives it to paint.
class TimelineContentView::LayerItemsView : public QWidget {
public:
    explicit LayerItemsView(TimelineContentView& owner) : QWidget(&owner), owner(owner) {
        setObjectName("timelineLayerItems");
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(this);
        owner.paintLayers(painter, event->rect());
    }

private:
    TimelineContentView& owner;
};

TimelineContentView::TimelineContentView(ProjectSource project, QWidget* parent)
    : QWidget(parent), projectSource(std::move(project)), background(deviceGrey(0.21176470588235294)),
      layerItems(new LayerItemsView(*this)) {
    setObjectName("scrollContentView");
    setFixedHeight(kHeight);
    // Every click and drag is the scroll view's, which sees them through its viewport.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    layerItems->setGeometry(rect());
}

void TimelineContentView::stackUnderLayerItems(QWidget* child) {
    if (child && child != layerItems && child->parentWidget() == this)
        child->stackUnder(layerItems);
}

void TimelineContentView::resizeEvent(QResizeEvent*) {
    layerItems->setGeometry(rect());
}

void TimelineContentView::setBackgroundColor(const QColor& colour) {
    background = colour;
    update();
}

void TimelineContentView::setContentWidth(int width) {
    setFixedSize(std::max(width, 1), kHeight);
    update();
}

QRectF TimelineContentView::toWidget(const QRectF& r) {
    return flipped(r, kHeight);
}

// ---- the strip

void TimelineContentView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    arrowSize = timeline_layout::kArrowSize;
    const QRectF dirty = event->rect();
    painter.fillRect(dirty, background);
    const auto project = laidOutProject(painter);
    if (!project)
        return;
    const std::vector<SlideItemRef> slides = project->slideshowArray();
    drawSlides(painter, dirty, slides, placeSlides(slides));
}

SlideshowProjectRef TimelineContentView::laidOutProject(QPainter& painter) const {
    const auto project = projectSource();
    if (!project)
        return nullptr;
    project->updateTimelineItemsPosition();
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    return project;
}

void TimelineContentView::paintLayers(QPainter& painter, const QRectF& dirty) {
    const auto project = laidOutProject(painter);
    if (!project)
        return;
    const std::vector<SlideItemRef> slides = project->slideshowArray();
    drawLayerItems(painter, dirty);
    drawBadgesOverLayers(painter, dirty, slides, placeSlides(slides));
    if (state.nTimelineViewState == timeline_layout::kStateTextDrag)
        showTextLayerCursor(painter);
    else if (state.nTimelineViewState == timeline_layout::kStateAudioDrag)
        showAudioLayerCursor(painter);
}

timeline_layout::StripPlacement
TimelineContentView::placeSlides(const std::vector<SlideItemRef>& slides) const {
    std::vector<QRectF> rects;
    rects.reserve(slides.size());
    for (const auto& slide : slides)
        rects.push_back(slide->timelineRect());
    return timeline_layout::placeCells(rects, state.nTimelineViewState, state.nInsertPositionIndex);
}

void TimelineContentView::drawSlides(QPainter& painter, const QRectF& dirty,
                                     const std::vector<SlideItemRef>& slides,
                                     const timeline_layout::StripPlacement& placement) {
    const quint64 current = projectSource()->nCurrentSlideItem();
    for (std::size_t i = 0; i < slides.size(); ++i) {
        const timeline_layout::CellPlacement& cell = placement.cells[i];
        if (toWidget(cell.rect).intersects(dirty))
            drawSlideItem(painter, kHeight, *slides[i], cell.rect, i == current, cell.afterInsert,
                          i + 1 == slides.size());
    }
    if (placement.marker)
        painter.drawImage(toWidget(*placement.marker), resourceImage(QStringLiteral("drag3.png")));
}

// The layer items' arrows and shadows reach into the cells: the duration badges are drawn again on top, so
// that no layer ever hides them.
void TimelineContentView::drawBadgesOverLayers(QPainter& painter, const QRectF& dirty,
                                               const std::vector<SlideItemRef>& slides,
                                               const timeline_layout::StripPlacement& placement) {
    const auto project = projectSource();
    if (project->nTimelineStyle() == 1 ||
        (project->textLayerArray().empty() && project->audioLayerArray().empty()))
        return;
    for (std::size_t i = 0; i < slides.size(); ++i)
        if (toWidget(placement.cells[i].rect).intersects(dirty))
            drawSlideBadges(painter, kHeight, *slides[i], placement.cells[i].rect, i + 1 == slides.size());
}

void TimelineContentView::drawLayerItems(QPainter& painter, const QRectF& dirty) {
    const auto project = projectSource();
    for (const auto& item : project->textLayerArray())
        if (toWidget(item->timelineRect()).intersects(dirty))
            DrawTextLayerItem(painter, kHeight, *item, item->timelineRect());
    for (const auto& item : project->audioLayerArray())
        if (toWidget(item->timelineRect()).intersects(dirty))
            DrawAudioLayerItem(painter, kHeight, *item, item->timelineRect());
}

// ---- one slide

void TimelineContentView::drawSlideItem(QPainter& painter, double height, const SlideItem& slide,
                                        const QRectF& rect, bool selected, bool /*afterInsert*/,
                                        bool lastItem) {
    const auto project = projectSource();
    if (project && project->nTimelineStyle() == 1) {
        drawSlideItem_RulerMode(painter, height, slide, rect, selected);
        return;
    }
    painter.save();
    const bool video = slide.itemType() == SlideItem::kItemTypeVideo;
    const QString backing =
        video ? (selected ? "video_bk" : "video_bk_normal") : (selected ? "photo_bk" : "photo_bk_normal");
    const timeline_layout::CellParts parts = timeline_layout::cellParts(rect);
    painter.fillRect(flipped(parts.body, height), background);
    painter.drawImage(flipped(parts.body, height), resourceImage(backing));
    const QPixmap thumbnail = thumbnailAt(slide.strThumbFileName());
    if (!thumbnail.isNull())
        painter.drawPixmap(flipped(parts.thumbnail, height), thumbnail, thumbnail.rect());
    if (!lastItem) {
        painter.drawImage(flipped(parts.iconBacking, height),
                          resourceImage(QStringLiteral("transition_bk_normal.png")));
        painter.drawImage(flipped(parts.icon, height), transitionIcon(slide));
    }
    QPen frame(background, 1.0);
    frame.setCapStyle(Qt::RoundCap);
    painter.setPen(frame);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(flipped(parts.thumbnail, height));
    drawSlideBadges(painter, height, slide, rect, lastItem);
    painter.restore();
}

// The badges stand where the project laid them out, moved with the cell: one cell on after the insert
// point, to the picture's origin in a drag picture.
void TimelineContentView::drawSlideBadges(QPainter& painter, double height, const SlideItem& slide,
                                          const QRectF& rect, bool lastItem) {
    const bool video = slide.itemType() == SlideItem::kItemTypeVideo;
    const QPointF shift = rect.topLeft() - slide.timelineRect().topLeft();
    drawDurationBadge(painter, height, slide.rect(SlideItem::kRectPhotoDuration).translated(shift),
                      video ? kVideoBadge : kPhotoBadge,
                      timeline_layout::photoDurationText(slide.fSecShownDuration()));
    if (!lastItem)
        drawDurationBadge(painter, height, slide.rect(SlideItem::kRectTransitionDuration).translated(shift),
                          kPhotoBadge,
                          timeline_layout::transitionDurationText(slide.fSecTransitionDuration()));
}

void TimelineContentView::drawDurationBadge(QPainter& painter, double height, const QRectF& rect,
                                            const QColor& fill, const QString& text) {
    const QRectF box = flipped(rect, height);
    painter.fillRect(box, fill);
    painter.setFont(badgeFont());
    painter.setPen(Qt::black);
    painter.drawText(box, Qt::AlignCenter, text);
}

void TimelineContentView::drawSlideItem_RulerMode(QPainter& painter, double height, const SlideItem& slide,
                                                  const QRectF& rect, bool selected) {
    painter.save();
    const QRectF inset = rect.adjusted(3, 3, -3, -3);
    painter.fillRect(flipped(inset, height), selected ? Qt::yellow : Qt::blue);
    const QPixmap thumbnail = thumbnailAt(slide.strThumbFileName());
    if (!thumbnail.isNull())
        for (const QRectF& tile : timeline_layout::rulerTiles(rect))
            painter.drawPixmap(flipped(tile, height), thumbnail, thumbnail.rect());
    QPen outline(selected ? QColor(Qt::yellow) : kRulerGrey, 1.0);
    outline.setCapStyle(Qt::RoundCap);
    painter.setPen(outline);
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(flipped(inset, height), 5, 5);
    painter.restore();
}

// ---- layer items

void TimelineContentView::DrawTextLayerItem(QPainter& painter, double height, const SlideItem& item,
                                            const QRectF& rect) {
    const QPainterPath path = closedPath(timeline_layout::textLayerOutline(rect, arrowSize), height);
    const QRectF bounds = path.boundingRect();
    QLinearGradient gradient(bounds.bottomLeft(), bounds.topLeft()); // 90 degrees: upwards
    gradient.setColorAt(0, kTextGradientStart);
    gradient.setColorAt(1, kTextGradientEnd);
    fillWithShadow(painter, path, background, gradient, DropShadow(QPoint(1, 1), 3.0, QColor(0, 0, 0, 128)));
    painter.save();
    painter.setFont(badgeFont());
    painter.setPen(Qt::black);
    painter.drawText(flipped(rect.adjusted(12, 2, -12, -2), height), Qt::AlignLeft | Qt::AlignTop,
                     QStringLiteral("Some Text Here"));
    strokeOutline(painter, path, item.bSelectedState(), kTextOutline);
    painter.restore();
}

void TimelineContentView::DrawAudioLayerItem(QPainter& painter, double height, MusicItem& item,
                                             const QRectF& rect) {
    const QPainterPath path = closedPath(timeline_layout::audioLayerOutline(rect, arrowSize), height);
    const QRectF bounds = path.boundingRect();
    QLinearGradient gradient(bounds.topLeft(), bounds.bottomLeft()); // -90 degrees: downwards
    gradient.setStops({{0.12, deviceGrey(0.8)},
                       {0.5, deviceGrey(0.87)},
                       {0.5001, deviceGrey(0.8)},
                       {0.98, deviceGrey(0.42)},
                       {0.99, kAudioOutline},
                       {1.0, deviceGrey(1.0)}});
    fillWithShadow(painter, path, Qt::NoBrush, gradient, DropShadow(QPoint(2, 2), 3.0, QColor(0, 0, 0, 128)));
    painter.save();
    const QRectF inner = rect.adjusted(4, 4, -4, -4);
    const QImage wave = resourceImage(QStringLiteral("wavefrom-1-1.png"));
    if (!wave.isNull() && inner.width() > 0 && inner.height() > 0) {
        // Cut to the item's width, never squeezed along it.
        const double width = std::min(inner.width(), double(wave.width()));
        painter.drawImage(flipped(QRectF(inner.x(), inner.y(), width, inner.height()), height), wave,
                          QRectF(0, 0, width, wave.height()));
    }
    const QString title = item.strTitle();
    if (!title.isEmpty()) {
        painter.setFont(serifFont(12.0));
        painter.setPen(Qt::white);
        painter.drawText(flipped(inner.adjusted(5, 0, 0, 0), height),
                         Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip, title);
    }
    strokeOutline(painter, path, item.bSelectedState(), kAudioOutline);
    painter.restore();
}

void TimelineContentView::showTextLayerCursor(QPainter& painter) {
    const QRectF itemRect = state.itemBeingDragging ? state.itemBeingDragging->timelineRect() : QRectF();
    drawDropCursor(painter, itemRect, true);
}

void TimelineContentView::showAudioLayerCursor(QPainter& painter) {
    const QRectF itemRect =
        state.musicItemBeingDragging ? state.musicItemBeingDragging->timelineRect() : QRectF();
    drawDropCursor(painter, itemRect, false);
}

void TimelineContentView::drawDropCursor(QPainter& painter, const QRectF& itemRect, bool textLayer) {
    const QRectF cursor = timeline_layout::dropCursorRect(
        state.fDraggingPosition, state.fDraggingStartPositionDelta, itemRect.width(), textLayer);
    painter.save();
    painter.setPen(textLayer ? dashedPen(Qt::yellow, {9, 6, 3}) : dashedPen(kSelectedOutline, {3, 2, 3}));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(toWidget(cursor), 3, 3);
    painter.restore();
}

// ---- drag pictures

// A transparent picture of `size` with `draw` run on it, given the picture's height for its y-up space.
QImage TimelineContentView::dragImage(QSize size, const std::function<void(QPainter&, double)>& draw) {
    if (size.isEmpty())
        return QImage();
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    draw(painter, size.height());
    return image;
}

QImage TimelineContentView::dragImageForItem(const SlideItem& slide) {
    const QSize size = timeline_layout::dragImageSize(slide.timelineRect(), 0);
    return dragImage(size, [&](QPainter& painter, double height) {
        drawSlideItem(painter, height, slide, QRectF(QPointF(0, 0), QSizeF(size)), false, false, false);
    });
}

// Layer items' pictures are an arrow taller: the text item's arrow hangs below, the audio item's stands
// above.
QImage TimelineContentView::dragImageForTextLayerItem(const SlideItem& item) {
    arrowSize = timeline_layout::kArrowSize;
    const QSize size = timeline_layout::dragImageSize(item.timelineRect(), arrowSize);
    return dragImage(size, [&](QPainter& painter, double height) {
        DrawTextLayerItem(painter, height, item,
                          QRectF(0, arrowSize, size.width(), size.height() - arrowSize));
    });
}

QImage TimelineContentView::dragImageForAudioLayerItem(MusicItem& item) {
    arrowSize = timeline_layout::kArrowSize;
    const QSize size = timeline_layout::dragImageSize(item.timelineRect(), arrowSize);
    return dragImage(size, [&](QPainter& painter, double height) {
        DrawAudioLayerItem(painter, height, item, QRectF(0, 0, size.width(), size.height() - arrowSize));
    });
}
