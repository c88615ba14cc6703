#pragma once

#include <QPointF>
#include <Qt>

class QMimeData;

// Something that takes drags: the timeline strip, which the cell views pass their drags on to. Points are
// global (screen) positions, so any view can pass on what it received.
class TimelineDraggingDestination {
public:
    virtual ~TimelineDraggingDestination() = default;
    virtual Qt::DropAction draggingEntered(const QMimeData& data, const QPointF& globalPoint,
                                           Qt::MouseButtons buttons) = 0;
    virtual Qt::DropAction draggingUpdated(const QMimeData& data, const QPointF& globalPoint,
                                           Qt::MouseButtons buttons) = 0;
    virtual void draggingExited() = 0;
    virtual bool performDragOperation(const QMimeData& data, const QPointF& globalPoint) = 0;
};
