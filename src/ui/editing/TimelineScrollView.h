#pragma once

#include <QColor>
#include <QPointer>
#include <QScrollArea>
#include <QStringList>

class SlideshowMainObject;
class TimelineContentView;

// Who takes the files dropped on the timeline strip.
class TimelineScrollViewDelegate {
public:
    virtual ~TimelineScrollViewDelegate() = default;
    // Files dropped on the strip, to go at slot `index` (50000: after the last slide).
    virtual void AcceptFileDropped(const QStringList& paths, int index) = 0;
};

// The timeline strip: a horizontal scroller round the content view. It accepts the drags of the types
// registered with it and hands dropped local files to its delegate.
class TimelineScrollView : public QScrollArea {
    Q_OBJECT
public:
    static constexpr int kInsertAfterLast = 50000;
    // The MIME type that carries file names.
    static QString fileNamesType() { return QStringLiteral("text/uri-list"); }

    explicit TimelineScrollView(QWidget* parent = nullptr);

    TimelineContentView* contentView() const { return content; }
    void registerForDraggedTypes(const QStringList& types) { draggedTypes = types; }
    QStringList registeredDraggedTypes() const { return draggedTypes; }
    void setDelegate(TimelineScrollViewDelegate* dropDelegate) { delegate = dropDelegate; }
    TimelineScrollViewDelegate* dropDelegate() const { return delegate; }
    void setMainObject(SlideshowMainObject* object) { mainObject = object; }
    SlideshowMainObject* slideshowMainObject() const { return mainObject; }
    // The picture shown where dragged slides would go (hidden until a drag needs it).
    void setBlankImageView(QWidget* view);
    QWidget* blankImageView() const { return blankView; }
    void setBackgroundColor(const QColor& colour);
    int nTimelineCellWidth() const { return cellWidth; }
    void setNTimelineCellWidth(int width) { cellWidth = width; }

    // The part of the content view in sight, in its coordinates (x and width are what the callers use).
    QRectF visibleRect() const;
    void scrollToX(double x);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    // The slot a drop at `position` (in the content view) goes to; the strip's editing computes it.
    virtual int insertIndexForDrop(const QPointF& position) const;

private:
    bool accepts(const class QMimeData* data) const;

    TimelineContentView* content;
    QStringList draggedTypes;
    TimelineScrollViewDelegate* delegate = nullptr;
    SlideshowMainObject* mainObject = nullptr;
    QPointer<QWidget> blankView;
    int cellWidth = 170;
};
