#pragma once

#include "model/SlideItem.h"
#include "ui/editing/ProjectSource.h"
#include "ui/editing/TimelineDraggingDestination.h"

#include <QImage>
#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QPushButton>
#include <QWidget>

#include <memory>

class TimeLineCellViewController;
class TransitionImageView;

// A view as a picture, transparent wherever the view does not paint; null for no view.
QImage imageFromViewSnapshot(QWidget* view);

// A clickable picture of a cell: a press posts "NOTIFY_TIMELINE_CELL_CLICKED" with its cell's index.
class PhotoIconView : public QLabel {
    Q_OBJECT
public:
    explicit PhotoIconView(QWidget* parent = nullptr);
    TimeLineCellViewController* parentWnd() const;
    void setParentWnd(TimeLineCellViewController* controller);

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    QPointer<QObject> owner;
};

// A cell's own view: draws nothing and passes the drags it receives on to the strip.
class TimelineCellView : public QWidget {
    Q_OBJECT
public:
    explicit TimelineCellView(QWidget* parent = nullptr);
    TimelineDraggingDestination* timelineDraggingDest() const { return destination; }
    void setTimelineDraggingDest(TimelineDraggingDestination* value) { destination = value; }

    // Each answers as the destination does; without one, no operation and NO.
    Qt::DropAction draggingEntered(QDragEnterEvent& event);
    Qt::DropAction draggingUpdated(QDragMoveEvent& event);
    void draggingExited();
    bool performDragOperation(QDropEvent& event);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    TimelineDraggingDestination* destination = nullptr;
};

// The timeline panel's background, drawn as a plain view.
class TimelinePanelView : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
};

// One slide cell built as views: the thumbnail and its backing, the transition icon and its backing, the
// selection mark and the two duration buttons. The main window keeps such cells only for the single-photo
// import; none is placed over the drawn strip, which would lose its clicks to it.
class TimeLineCellViewController : public QObject {
    Q_OBJECT
public:
    static constexpr QSize kCellSize{170, 100};

    // The transition picker of the cell edits the project.
    explicit TimeLineCellViewController(ProjectSource project, QObject* parent = nullptr);
    ~TimeLineCellViewController() override;

    TimelineCellView* view() const { return cellView; }
    // The wiring after the views are made: no index yet, the pictures know their cell, only the strip
    // takes drags.
    void awakeFromNib();
    // The slide shown; not owned: a slide that goes away leaves the cell without one.
    void setSItem(const SlideItemRef& slide);
    SlideItemRef sItem() const { return slide.lock(); }
    void updateSlideItemInfo();
    // The duration buttons' action: "NOTIFY_SET_DURATION_BUTTON_CLICKED" with the slide.
    void SetDurationButtonClicked();
    QImage getDragSourceImage() const { return imageFromViewSnapshot(cellView); }

    int nIndexTag() const { return indexTag; }
    void setNIndexTag(int value) { indexTag = value; }
    TimelineDraggingDestination* timelineDraggingDest() const { return destination; }
    void setTimelineDraggingDest(TimelineDraggingDestination* value) { destination = value; }
    // Opens the transition picker itself.
    TransitionImageView* transitionIconView() const { return transitionIcon; }
    PhotoIconView* photoThumbnailView() const { return thumbnail; }
    QLabel* selectedFlagView() const { return selectedFlag; }
    QPushButton* photoDurationButton() const { return photoDuration; }
    QPushButton* transitionDurationButton() const { return transitionDuration; }
    PhotoIconView* photoBackgroundImageView() const { return photoBackground; }
    PhotoIconView* TransitionBackgroundImageView() const { return transitionBackground; }

private:
    PhotoIconView* picture(const QRect& frame, const QString& imageName);
    QPushButton* durationButton(const QRect& frame, const QString& title);

    std::unique_ptr<TimelineCellView> ownedView;
    QPointer<TimelineCellView> cellView;
    TransitionImageView* transitionIcon = nullptr;
    PhotoIconView* thumbnail = nullptr;
    QLabel* selectedFlag = nullptr;
    QPushButton* photoDuration = nullptr;
    QPushButton* transitionDuration = nullptr;
    PhotoIconView* photoBackground = nullptr;
    PhotoIconView* transitionBackground = nullptr;
    std::weak_ptr<SlideItem> slide;
    int indexTag = -1;
    TimelineDraggingDestination* destination = nullptr;
};

// View controllers that add nothing to the platform's: kept for the interface's names.
class AudioLayerItemViewController : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
};

class TextLayerItemViewController : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
};
