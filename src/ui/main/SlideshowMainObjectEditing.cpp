// Timeline editing commands: the current slide, the cells' clicks and their transition and duration
// call-outs, and what the editing panels report about the current slide (transition, pan and zoom, text,
// rotation, colour).
#include "ui/main/SlideshowMainObject.h"

#include "model/SlideshowProject.h"
#include "render/NSGLView.h"
#include "render/SlideTextures.h"
#include "render/SlideshowDirector.h"
#include "render/SlideshowImageObject.h"
#include "ui/editing/PhotoDurationViewController.h"
#include "ui/editing/PopOverAppliesAtClose.h"
#include "ui/editing/SlideFontEditorObject.h"
#include "ui/editing/TimelineContentView.h"
#include "ui/editing/TransitionSelectViewController.h"
#include "ui/main/TimelineGeometry.h"

#include <QBuffer>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <cmath>
#include <utility>

using platform::Notification;

namespace {

// The arrow points this far below the top of the anchor rectangle.
constexpr double kArrowDrop = 18.0;
// How soon after a call-out lost the focus a click on its control still counts as the second click.
constexpr double kSecondClickSeconds = 0.5;
constexpr int kSampleJpegQuality = 90;

int indexIn(const Notification& notification) {
    bool ok = false;
    const int index = notification.object.toInt(&ok);
    return ok ? index : -1;
}

void markDirty() {
    if (const auto project = SlideshowProject::currentMainProject())
        project->setBIsDirty(true);
}

} // namespace

SlideItemRef SlideshowMainObject::currentSlideItem() const {
    const auto project = SlideshowProject::currentMainProject();
    if (!project || currentSlideIndex < 0)
        return nullptr;
    return project->slideItemAtIndex(std::size_t(currentSlideIndex));
}

// The strip draws the current slide's marks itself; there is no cell view to clear.
void SlideshowMainObject::clearTimelineSelection() {}

void SlideshowMainObject::createTempSlideItem() {
    panZoomCopy.reset();
    panZoomTextures.reset();
    const SlideItemRef slide = currentSlideItem();
    if (!slide)
        return;
    panZoomCopy = slide->copy();
    if (fontEditor)
        fontEditor->setTextInfoDict(slide->textInfo());
}

// The playing slide becomes the current one, so that the strip marks it and a stop keeps it.
void SlideshowMainObject::setCurrentSlideshowOnTimeline(qint64 index) {
    clearTimelineSelection();
    if (index < 0 || std::size_t(index) >= slideshowArray().size())
        return;
    setNPlayingSlideIndex(index);
    setNCurrentSlideshowItemIndex(int(index));
}

// ---- the cells' clicks

// The slide itself is shown rather than its fresh copy: they look alike, and only the slide is known to
// the resize worker, whose picture may still be on its way.
void SlideshowMainObject::notifyTimelineCellClicked(const Notification& notification) {
    stopVideoPreview();
    if (slideshowDirector && slideshowDirector->directorStatus() == 1)
        stop();
    setNCurrentSlideshowItemIndex(indexIn(notification));
    if (const SlideItemRef slide = currentSlideItem())
        showCurrentItemPhoto(slide);
}

void SlideshowMainObject::notifyTimelineCellTransitionClicked(const Notification& notification) {
    stop();
    setNCurrentSlideshowItemIndex(indexIn(notification));
    const SlideItemRef slide = currentSlideItem();
    if (slide)
        showCurrentItemPhoto(slide);
    if (takeClosedByFocus(CallOutKind::Transition) || transitionCallOut) {
        closeTransitionCallOut();
        return;
    }
    if (!slide)
        return;
    closeDurationCallOut();
    if (const auto project = SlideshowProject::currentMainProject())
        project->updateTimelineItemsPosition();
    auto* picker = new TransitionSelectViewController; // the call-out takes it
    transitionCallOut =
        openCellCallOut(CallOutKind::Transition, picker, slide->rect(SlideItem::kRectTransitionIcon));
}

void SlideshowMainObject::notifyTimelineCellDurationClicked(const Notification& notification) {
    if (slideshowDirector && slideshowDirector->directorStatus() == 1)
        stop();
    setNCurrentSlideshowItemIndex(indexIn(notification));
    const SlideItemRef slide = currentSlideItem();
    if (slide)
        showCurrentItemPhoto(slide);
    openDurationCallOut(slide);
}

void SlideshowMainObject::notifySetDurationButtonClicked(const Notification& notification) {
    if (ui.mainWindow) {
        ui.mainWindow->raise();
        ui.mainWindow->activateWindow();
    }
    const auto clicked = std::dynamic_pointer_cast<SlideItem>(
        notification.userInfo.value(QStringLiteral("ClickedSlideItem")).value<platform::ArchivableRef>());
    const std::vector<SlideItemRef> slides = slideshowArray();
    const auto found = std::find(slides.begin(), slides.end(), clicked);
    if (!clicked || found == slides.end())
        return;
    setNCurrentSlideshowItemIndex(int(found - slides.begin()));
    openDurationCallOut(clicked);
}

void SlideshowMainObject::openDurationCallOut(const SlideItemRef& slide) {
    if (takeClosedByFocus(CallOutKind::Duration) || durationCallOut) {
        closeDurationCallOut();
        return;
    }
    if (!slide)
        return;
    QWidget* view = slide->itemType() == SlideItem::kItemTypeVideo
                        ? makeVideoItemPropertyView(slide)
                        : new PhotoDurationViewController(slide); // the call-out takes it
    if (!view)
        return;
    closeTransitionCallOut();
    if (const auto project = SlideshowProject::currentMainProject())
        project->updateTimelineItemsPosition();
    // The photo part's column, the whole strip high.
    const QRectF cell = slide->timelineRect();
    const double height = ui.scrollContentView ? std::trunc(ui.scrollContentView->height())
                                               : double(TimelineContentView::kHeight);
    durationCallOut = openCellCallOut(
        CallOutKind::Duration, view,
        QRectF(cell.x(), 0.0, std::min(cell.width(), double(timeline_geometry::kPhotoWidth)), height));
}

// Above the point, centred, unless that leaves the window (or the screen) at one side: then it stands to the
// other side of the arrow (the cells at the strip's ends lie near the window's edges).
int SlideshowMainObject::sideAboveOnScreen(const QWidget& view, const QPointF& point) const {
    const QScreen* screen = ui.mainWindow ? ui.mainWindow->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return AWSideAbove;
    const QPointF global = ui.mainWindow ? QPointF(ui.mainWindow->mapToGlobal(point.toPoint())) : point;
    QRect area = screen->availableGeometry();
    if (ui.mainWindow)
        area &= QRect(ui.mainWindow->mapToGlobal(QPoint(0, 0)), ui.mainWindow->size());
    const QRectF visible = AWAttachedWindow::toScreenSpace(QRectF(area));
    for (const int side : {AWSideAbove, AWSideAboveRightward, AWSideAboveLeftward}) {
        const QRectF frame = aw_geometry::layout(QSizeF(view.size()), AWAttachedWindow::toScreenSpace(global),
                                                 side, 0.0f, AWAppearance(), 1.0f)
                                 .windowFrame;
        if (frame.left() >= visible.left() && frame.right() <= visible.right())
            return side;
    }
    return AWSideAbove;
}

// The call-out stands above the anchor rectangle's middle, its arrow 18 points below the rectangle's top.
AWAttachedWindow* SlideshowMainObject::openCellCallOut(CallOutKind kind, QWidget* view,
                                                       const QRectF& timelineRect) {
    const QRectF widgetRect = TimelineContentView::toWidget(timelineRect);
    QPointF point(widgetRect.center().x(), widgetRect.top() + kArrowDrop);
    if (ui.scrollContentView && ui.mainWindow)
        point = ui.scrollContentView->mapTo(ui.mainWindow, point.toPoint());
    callOutView = view;
    AWAttachedWindow* callOut =
        AWAttachedWindow::create(view, point, ui.mainWindow, sideAboveOnScreen(*view, point), 0.0f);
    connect(callOut, &AWAttachedWindow::didResignKey, this, [this, kind, opened = QPointer(callOut)] {
        // A call-out already closed (its hiding takes the focus away too) is no concern.
        if (!opened || opened != (kind == CallOutKind::Transition ? transitionCallOut : durationCallOut))
            return;
        noteClosedByFocus(kind);
        if (kind == CallOutKind::Transition)
            closeTransitionCallOut();
        else
            closeDurationCallOut();
    });
    connect(callOut, &AWAttachedWindow::escapePressed, this, [this, kind] {
        if (kind == CallOutKind::Transition)
            closeTransitionCallOut();
        else
            closeDurationCallOut();
    });
    callOut->show();
    callOut->raise();
    callOut->activateWindow();
    return callOut;
}

void SlideshowMainObject::noteClosedByFocus(CallOutKind kind) {
    lastFocusClose = FocusClose{kind, clock->now()};
}

bool SlideshowMainObject::takeClosedByFocus(CallOutKind kind) {
    const std::optional<FocusClose> last = std::exchange(lastFocusClose, std::nullopt);
    return last && last->kind == kind && clock->now() - last->at < kSecondClickSeconds;
}

void SlideshowMainObject::closeTransitionCallOut() {
    const QPointer<AWAttachedWindow> callOut = std::exchange(transitionCallOut, nullptr);
    if (!callOut)
        return;
    if (callOutView == callOut->view())
        callOutView = nullptr;
    callOut->closeAndRelease();
}

void SlideshowMainObject::closeDurationCallOut() {
    const QPointer<AWAttachedWindow> callOut = std::exchange(durationCallOut, nullptr);
    if (!callOut)
        return;
    if (auto* applying = dynamic_cast<PopOverAppliesAtClose*>(callOut->view()))
        applying->applyAtClose();
    if (callOutView == callOut->view())
        callOutView = nullptr;
    if (callOut)
        callOut->closeAndRelease();
}

// ---- what the pop-overs report

void SlideshowMainObject::TransitionEffectSelected(const Notification& notification) {
    closeTransitionCallOut();
    if (ui.mainWindow) {
        ui.mainWindow->raise();
        ui.mainWindow->activateWindow();
    }
    const auto project = SlideshowProject::currentMainProject();
    const SlideItemRef slide = currentSlideItem();
    if (!project || !slide)
        return;
    const QVariantMap choice = notification.object.toMap();
    if (project->bApplyTransitionToAll()) {
        for (const SlideItemRef& each : project->slideshowArray())
            each->setTransitionInfo(choice);
    } else {
        slide->setTransitionInfo(choice);
    }
    project->setBIsDirty(true);
    if (ui.scrollContentView)
        ui.scrollContentView->update();
}

void SlideshowMainObject::notifyUpdateSlideItemDuration(const Notification&) {
    layoutMusicSubViews();
    layoutScrollImages();
    updateProjectInfo();
    UpdateCurrentSlideItemDurationInfo();
}

void SlideshowMainObject::notifyCloseSlideItemDurationPanel(const Notification&) {
    closeDurationCallOut();
    layoutMusicSubViews();
    UpdateCurrentSlideItemDurationInfo();
}

void SlideshowMainObject::notifyCloseVideoItemPropertyPanel(const Notification&) {
    closeDurationCallOut();
    layoutMusicSubViews();
    UpdateCurrentSlideItemDurationInfo();
}

void SlideshowMainObject::UpdateCurrentSlideItemDurationInfo() {
    if (ui.scrollContentView)
        ui.scrollContentView->update();
}

// ---- pan and zoom

// The names are tested one after another, so a change carries out every one it names.
void SlideshowMainObject::PanZoomValueChanged(const Notification& notification) {
    const QVariantMap change = notification.object.toMap();
    const QString name = change.value(QStringLiteral("NAME")).toString();
    const double value = change.value(QStringLiteral("VALUE")).toDouble();
    if (panZoomCopy && name == QLatin1String("SCALE")) {
        panZoomCopy->setZoomStart(value / 50.0);
        showCurrentItemEditingPanZoom(panZoomCopy);
    }
    if (panZoomCopy && name == QLatin1String("ROTATE")) {
        panZoomCopy->setRotateAngle(SlideItem::kRotateZStart, value);
        showCurrentItemEditingPanZoom(panZoomCopy);
    }
    if (panZoomCopy && name == QLatin1String("PAN")) {
        // A pan of 1 moves the picture half the stage's width (or height): the stage's units, halved.
        const QPointF start = panZoomCopy->panStartPoint();
        const double dx = change.value(QStringLiteral("deltaX")).toDouble();
        const double dy = change.value(QStringLiteral("deltaY")).toDouble();
        panZoomCopy->setPanStartPoint(QPointF(start.x() + 2.0 * dx / NSGLView::kStageSize.width(),
                                              start.y() - 2.0 * dy / NSGLView::kStageSize.height()));
        showCurrentItemEditingPanZoom(panZoomCopy);
    }
    if (name == QLatin1String("START"))
        PanZomSetFrameNotify(0);
    if (name == QLatin1String("END"))
        PanZomSetFrameNotify(1);
}

// The panel always edits the copy's start values; they become the slide's start or end. The project is
// marked changed, or the autosave would never keep it.
void SlideshowMainObject::PanZomSetFrameNotify(int which) {
    const SlideItemRef slide = currentSlideItem();
    if (!panZoomCopy || !slide || (which != 0 && which != 1))
        return;
    slide->setBPanZoomCustomized(true);
    const SlideItem& copy = *panZoomCopy;
    if (which == 0) {
        slide->setPanStartPoint(copy.panStartPoint());
        slide->setZoomStart(copy.zoomStart());
    } else {
        slide->setPanEndPoint(copy.panStartPoint());
        slide->setZoomEnd(copy.zoomStart());
    }
    using A = SlideItem::RotationAngle;
    const std::pair<A, A> angles[] = {{SlideItem::kRotateXStart, SlideItem::kRotateXEnd},
                                      {SlideItem::kRotateYStart, SlideItem::kRotateYEnd},
                                      {SlideItem::kRotateZStart, SlideItem::kRotateZEnd}};
    for (const auto& [start, end] : angles)
        slide->setRotateAngle(which == 0 ? start : end, copy.rotateAngle(start));
    markDirty();
}

// One still frame of the slide with its pan, zoom and rotation, drawn by the slide renderer.
void SlideshowMainObject::showCurrentItemEditingPanZoom(const SlideItemRef& slide) {
    if (!slide || !glView)
        return;
    if (!panZoomTextures || panZoomTextures->slide() != slide)
        panZoomTextures = SlideTextures::forSlide(slide);
    glView->drawStill([&](const SharedShaderPrograms&) {
        if (!panZoomTextures->textureObj())
            panZoomTextures->loadTextureobj();
        SlideshowImageObject renderer;
        renderer.setSlideItemData(slide, panZoomTextures);
        renderer.initSlideshowParam();
        renderer.playSlideshow(0, 3, true, false);
    });
}

void SlideshowMainObject::WindowSizeChanged(const Notification&) {
    // While a show runs, the display link draws its next frame at the new size.
    if (slideshowDirector && slideshowDirector->directorStatus() != 0)
        return;
    if (const SlideItemRef slide = currentSlideItem())
        showCurrentItemPhoto(slide);
    else
        showWelcomeScreen();
}

// ---- text, rotation and colour

void SlideshowMainObject::FontInfoChanged(const Notification& notification) {
    stop();
    const SlideItemRef slide = currentSlideItem();
    if (!slide)
        return;
    const QVariantMap info = notification.object.toMap();
    slide->setTextInfo(info);
    showCurrentItemPhoto(slide);
    if (panZoomCopy)
        panZoomCopy->setTextInfo(info);
    markDirty();
}

QVariantMap SlideshowMainObject::editSlideItemTextSample() {
    return {{QStringLiteral("Text"), QStringLiteral("Hello\nThis is a sample of a slide's text.")},
            {QStringLiteral("FontSize"), 60},
            {QStringLiteral("FontName"), QFontDatabase::systemFont(QFontDatabase::GeneralFont).family()},
            {QStringLiteral("FontColor"), QColor(Qt::green)}};
}

void SlideshowMainObject::EditSlideItemTextClicked() {
    editSlideItemText(currentSlideItem());
}

// Shows the sample text as a JPEG picture would show it; the slide is not used.
void SlideshowMainObject::editSlideItemText(const SlideItemRef&) {
    if (!glView)
        return;
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    const QImage text = SlideItem::slideImageFromFontInfo(editSlideItemTextSample());
    if (text.isNull() ||
        !text.convertToFormat(QImage::Format_RGB32).save(&buffer, "JPEG", kSampleJpegQuality))
        return;
    showImageInOpenGL(glView->loadTexture(QImage::fromData(jpeg, "JPEG")));
}

void SlideshowMainObject::notifyToolboxButtonClicked(const Notification& notification) {
    if (notification.object.toString() == QLatin1String("Rotate"))
        rotateImageButtonClicked();
}

// A quarter turn clockwise of the picture, its thumbnail and its background; the strip reads the thumbnail
// again since its file changed.
void SlideshowMainObject::rotateImageButtonClicked() {
    const SlideItemRef slide = currentSlideItem();
    if (!slide)
        return;
    slide->rotateSlideItem(-90);
    showCurrentItemPhoto(slide);
    if (ui.scrollContentView)
        ui.scrollContentView->update();
}

// "OK" writes the adjustment into the picture and shows the result; anything else only previews it. The
// written picture is not adjusted a second time for the preview.
void SlideshowMainObject::notifyColorAdjustChanged(const Notification& notification) {
    stop();
    const QVariantMap adjustment = notification.object.toMap();
    if (notification.userInfo.value(QStringLiteral("Action")).toString() == QLatin1String("OK")) {
        setColorToCurrentItem(adjustment);
        return;
    }
    const SlideItemRef slide = currentSlideItem();
    if (slide && glView)
        showImageInOpenGL(glView->loadTexture(slide->adjustColor(adjustment)));
}

void SlideshowMainObject::setColorToCurrentItem(const QVariantMap& adjustment) {
    const SlideItemRef slide = currentSlideItem();
    if (!slide)
        return;
    if (slide->ApplyAdjustColor(adjustment))
        markDirty();
    showCurrentItemPhoto(slide);
    if (ui.scrollContentView) // the thumbnail was adjusted too
        ui.scrollContentView->update();
}
