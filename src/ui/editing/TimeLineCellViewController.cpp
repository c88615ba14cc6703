#include "ui/editing/TimeLineCellViewController.h"

#include "platform/foundation/KeyedArchive.h"
#include "platform/foundation/NotificationCenter.h"
#include "ui/UiNotifications.h"
#include "ui/controls/ButtonTextColor.h"
#include "ui/editing/ResourceImage.h"
#include "ui/editing/TimelineLayout.h"
#include "ui/editing/TransitionImageView.h"

#include <QDragEnterEvent>
#include <QMouseEvent>
#include <QPainter>

namespace {

QPixmap namedPixmap(const QString& name) {
    return QPixmap::fromImage(resourceImage(name));
}

} // namespace

QImage imageFromViewSnapshot(QWidget* view) {
    if (!view || view->size().isEmpty())
        return QImage();
    QImage image(view->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    view->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

// ---- the pictures

PhotoIconView::PhotoIconView(QWidget* parent) : QLabel(parent) {
    setScaledContents(true);
}

TimeLineCellViewController* PhotoIconView::parentWnd() const {
    return qobject_cast<TimeLineCellViewController*>(owner.data());
}

void PhotoIconView::setParentWnd(TimeLineCellViewController* controller) {
    owner = controller;
}

void PhotoIconView::mousePressEvent(QMouseEvent* event) {
    QLabel::mousePressEvent(event);
    const TimeLineCellViewController* cell = parentWnd();
    platform::NotificationCenter::defaultCenter().post(kNotifyTimelineCellClicked,
                                                       cell ? cell->nIndexTag() : -1);
}

// ---- the cell's view

TimelineCellView::TimelineCellView(QWidget* parent) : QWidget(parent) {}

Qt::DropAction TimelineCellView::draggingEntered(QDragEnterEvent& event) {
    return destination ? destination->draggingEntered(*event.mimeData(), mapToGlobal(event.position()),
                                                      event.buttons())
                       : Qt::IgnoreAction;
}

Qt::DropAction TimelineCellView::draggingUpdated(QDragMoveEvent& event) {
    return destination ? destination->draggingUpdated(*event.mimeData(), mapToGlobal(event.position()),
                                                      event.buttons())
                       : Qt::IgnoreAction;
}

void TimelineCellView::draggingExited() {
    if (destination)
        destination->draggingExited();
}

bool TimelineCellView::performDragOperation(QDropEvent& event) {
    return destination && destination->performDragOperation(*event.mimeData(), mapToGlobal(event.position()));
}

void TimelineCellView::dragEnterEvent(QDragEnterEvent* event) {
    const Qt::DropAction action = draggingEntered(*event);
    event->setDropAction(action);
    event->setAccepted(action != Qt::IgnoreAction);
}

void TimelineCellView::dragMoveEvent(QDragMoveEvent* event) {
    const Qt::DropAction action = draggingUpdated(*event);
    event->setDropAction(action);
    event->setAccepted(action != Qt::IgnoreAction);
}

void TimelineCellView::dragLeaveEvent(QDragLeaveEvent*) {
    draggingExited();
}

void TimelineCellView::dropEvent(QDropEvent* event) {
    event->setAccepted(performDragOperation(*event));
}

// ---- the controller

TimeLineCellViewController::TimeLineCellViewController(ProjectSource project, QObject* parent)
    : QObject(parent), ownedView(std::make_unique<TimelineCellView>()), cellView(ownedView.get()) {
    cellView->setObjectName("TimeLineCellViewController");
    cellView->resize(kCellSize);
    photoBackground = picture(QRect(0, 0, 100, 100), QStringLiteral("photo_bk_normal.png"));
    thumbnail = picture(QRect(20, 20, 60, 60), QString());
    transitionBackground = picture(QRect(104, 20, 60, 60), QStringLiteral("transition_bk_normal.png"));
    transitionIcon = new TransitionImageView(std::move(project), cellView); // the cell's view owns its parts
    transitionIcon->setGeometry(114, 30, 40, 40);
    transitionIcon->setPixmap(namedPixmap(QStringLiteral("dice")));
    selectedFlag = new QLabel(cellView); // the cell's view owns its parts
    selectedFlag->setGeometry(4, 4, 16, 16);
    photoDuration = durationButton(QRect(0, 82, 100, 18), QStringLiteral("4.0s"));
    transitionDuration = durationButton(QRect(104, 82, 60, 18), QStringLiteral("2.0s"));
    awakeFromNib();
}

// A view put into a window belongs to it; one left out goes with its controller.
TimeLineCellViewController::~TimeLineCellViewController() {
    if (!cellView || cellView->parentWidget())
        static_cast<void>(ownedView.release());
}

PhotoIconView* TimeLineCellViewController::picture(const QRect& frame, const QString& imageName) {
    auto* view = new PhotoIconView(cellView); // the cell's view owns its parts
    view->setGeometry(frame);
    if (!imageName.isEmpty())
        view->setPixmap(namedPixmap(imageName));
    return view;
}

QPushButton* TimeLineCellViewController::durationButton(const QRect& frame, const QString& title) {
    auto* button = new QPushButton(title, cellView); // the cell's view owns its parts
    button->setGeometry(frame);
    button->setFlat(true);
    button->setFocusPolicy(Qt::NoFocus);
    connect(button, &QPushButton::clicked, this, &TimeLineCellViewController::SetDurationButtonClicked);
    return button;
}

void TimeLineCellViewController::awakeFromNib() {
    indexTag = -1;
    for (PhotoIconView* view :
         {thumbnail, static_cast<PhotoIconView*>(transitionIcon), photoBackground, transitionBackground})
        view->setParentWnd(this);
    for (QObject* child : cellView->children())
        if (auto* widget = qobject_cast<QWidget*>(child))
            widget->setAcceptDrops(false);
    cellView->setTimelineDraggingDest(destination);
    cellView->setAcceptDrops(false);
    updateSlideItemInfo();
}

void TimeLineCellViewController::setSItem(const SlideItemRef& value) {
    slide = value;
    updateSlideItemInfo();
}

void TimeLineCellViewController::updateSlideItemInfo() {
    if (const SlideItemRef shown = slide.lock()) {
        photoDuration->setText(timeline_layout::cellDurationTitle(shown->fSecShownDuration()));
        transitionDuration->setText(timeline_layout::cellDurationTitle(shown->fSecTransitionDuration()));
    }
    button_text_color::setTextColor(*photoDuration, Qt::white);
    button_text_color::setTextColor(*transitionDuration, Qt::white);
}

void TimeLineCellViewController::SetDurationButtonClicked() {
    QVariantMap info;
    if (const SlideItemRef shown = slide.lock())
        info.insert(QStringLiteral("ClickedSlideItem"), QVariant::fromValue(platform::ArchivableRef(shown)));
    platform::NotificationCenter::defaultCenter().post(kNotifySetDurationButtonClicked, QVariant(), info);
}
