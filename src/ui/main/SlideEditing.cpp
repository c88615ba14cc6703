#include "ui/main/SlideEditing.h"

#include "model/SlideshowProject.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/image/PictureReading.h"
#include "render/NSGLView.h"
#include "render/SlideTextures.h"
#include "render/SlideshowDirector.h"
#include "render/SlideshowImageObject.h"
#include "ui/editing/PhotoDurationViewController.h"
#include "ui/editing/SlideFontEditorObject.h"
#include "ui/editing/TimelineContentView.h"
#include "ui/editing/TransitionSelectViewController.h"
#include "ui/main/CallOuts.h"
#include "ui/main/SlideshowMainObject.h"
#include "ui/main/TimelineGeometry.h"

#include <QBuffer>
#include <QFontDatabase>

#include <algorithm>
#include <cmath>
#include <utility>

using platform::Notification;

namespace {

constexpr int kSampleJpegQuality = 90;

int indexIn(const Notification& notification) {
    bool ok = false;
    const int index = notification.object.toInt(&ok);
    return ok ? index : -1;
}

} // namespace

SlideEditing::SlideEditing(SlideshowMainObject& mainObject, ProjectSource projectSource)
    : hub(mainObject), project(std::move(projectSource)) {}

SlideItemRef SlideEditing::currentSlideItem() const {
    return slideOf(project, hub.nCurrentSlideshowItemIndex());
}

std::vector<SlideItemRef> SlideEditing::slides() const {
    return slidesOf(project);
}

void SlideEditing::markDirty() {
    if (const auto open = project())
        open->setBIsDirty(true);
}

void SlideEditing::updateStrip() {
    if (QWidget* strip = hub.outlets().scrollContentView)
        strip->update();
}

// The strip draws the current slide's marks itself; there is no cell view to clear.
void SlideEditing::clearTimelineSelection() {}

void SlideEditing::createTempSlideItem() {
    panZoomCopy.reset();
    panZoomTextures.reset();
    const SlideItemRef slide = currentSlideItem();
    if (!slide)
        return;
    panZoomCopy = slide->copy();
    if (SlideFontEditorObject* fontEditor = hub.fontEditorObj())
        fontEditor->setTextInfoDict(slide->textInfo());
}

// The playing slide becomes the current one, so that the strip marks it and a stop keeps it.
void SlideEditing::setCurrentSlideshowOnTimeline(qint64 index) {
    clearTimelineSelection();
    if (index < 0 || std::size_t(index) >= slides().size())
        return;
    hub.setNPlayingSlideIndex(index);
    hub.setNCurrentSlideshowItemIndex(int(index));
}

// ---- the cells' clicks

// The slide itself is shown rather than its fresh copy: they look alike, and only the slide is known to
// the resize worker, whose picture may still be on its way.
void SlideEditing::notifyTimelineCellClicked(const Notification& notification) {
    hub.stopVideoPreview();
    if (const auto director = hub.director(); director && director->directorStatus() == 1)
        hub.stop();
    makeClickedCellCurrent(notification);
}

// The clicked cell's slide current and shown; the next play starts there.
SlideItemRef SlideEditing::makeClickedCellCurrent(const Notification& notification) {
    hub.setNCurrentSlideshowItemIndex(indexIn(notification));
    const SlideItemRef slide = currentSlideItem();
    if (slide)
        hub.showCurrentItemPhoto(slide);
    return slide;
}

void SlideEditing::notifyTimelineCellTransitionClicked(const Notification& notification) {
    hub.stop();
    const SlideItemRef slide = makeClickedCellCurrent(notification);
    CallOuts& callOuts = hub.callOuts();
    if (callOuts.takeClosedByFocus(CallOutKind::Transition) || callOuts.transitionCallOut()) {
        callOuts.closeTransitionCallOut();
        return;
    }
    if (!slide)
        return;
    callOuts.closeDurationCallOut();
    if (const auto open = project())
        open->updateTimelineItemsPosition();
    auto* picker = new TransitionSelectViewController(project); // the call-out takes it
    callOuts.openTransitionCallOut(picker, slide->rect(SlideItem::kRectTransitionIcon));
}

void SlideEditing::notifyTimelineCellDurationClicked(const Notification& notification) {
    if (const auto director = hub.director(); director && director->directorStatus() == 1)
        hub.stop();
    openDurationCallOut(makeClickedCellCurrent(notification));
}

void SlideEditing::notifySetDurationButtonClicked(const Notification& notification) {
    if (QWidget* window = hub.outlets().mainWindow) {
        window->raise();
        window->activateWindow();
    }
    const auto clicked = std::dynamic_pointer_cast<SlideItem>(
        notification.userInfo.value(QStringLiteral("ClickedSlideItem")).value<platform::ArchivableRef>());
    const std::vector<SlideItemRef> all = slides();
    const auto found = std::find(all.begin(), all.end(), clicked);
    if (!clicked || found == all.end())
        return;
    hub.setNCurrentSlideshowItemIndex(int(found - all.begin()));
    openDurationCallOut(clicked);
}

void SlideEditing::openDurationCallOut(const SlideItemRef& slide) {
    CallOuts& callOuts = hub.callOuts();
    if (callOuts.takeClosedByFocus(CallOutKind::Duration) || callOuts.durationCallOut()) {
        callOuts.closeDurationCallOut();
        return;
    }
    if (!slide)
        return;
    QWidget* view = slide->itemType() == SlideItem::kItemTypeVideo
                        ? hub.makeVideoItemPropertyView(slide)
                        : new PhotoDurationViewController(slide, project); // the call-out takes it
    if (!view)
        return;
    callOuts.closeTransitionCallOut();
    if (const auto open = project())
        open->updateTimelineItemsPosition();
    // The photo part's column, the whole strip high.
    const QRectF cell = slide->timelineRect();
    const QWidget* strip = hub.outlets().scrollContentView;
    const double height = strip ? std::trunc(strip->height()) : double(TimelineContentView::kHeight);
    callOuts.openDurationCallOut(
        view, QRectF(cell.x(), 0.0, std::min(cell.width(), double(timeline_geometry::kPhotoWidth)), height));
}

// ---- what the pop-overs report

void SlideEditing::TransitionEffectSelected(const Notification& notification) {
    hub.callOuts().closeTransitionCallOut();
    if (QWidget* window = hub.outlets().mainWindow) {
        window->raise();
        window->activateWindow();
    }
    const auto open = project();
    const SlideItemRef slide = currentSlideItem();
    if (!open || !slide)
        return;
    const QVariantMap choice = notification.object.toMap();
    if (open->bApplyTransitionToAll()) {
        for (const SlideItemRef& each : open->slideshowArray())
            each->setTransitionInfo(choice);
    } else {
        slide->setTransitionInfo(choice);
    }
    open->setBIsDirty(true);
    updateStrip();
}

void SlideEditing::notifyUpdateSlideItemDuration() {
    hub.layoutMusicSubViews();
    hub.layoutScrollImages();
    hub.updateProjectInfo();
    UpdateCurrentSlideItemDurationInfo();
}

void SlideEditing::durationPanelClosed() {
    hub.callOuts().closeDurationCallOut();
    hub.layoutMusicSubViews();
    UpdateCurrentSlideItemDurationInfo();
}

void SlideEditing::UpdateCurrentSlideItemDurationInfo() {
    updateStrip();
}

// ---- pan and zoom

// The names are tested one after another, so a change carries out every one it names.
void SlideEditing::PanZoomValueChanged(const Notification& notification) {
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
    if (name == QLatin1String("CLOSE"))
        if (const SlideItemRef slide = currentSlideItem())
            hub.showCurrentItemPhoto(slide); // what the panel showed was never the slide's
}

// The panel always edits the copy's start values; they become the slide's start or end. The project is
// marked changed, or the autosave would never keep it.
void SlideEditing::PanZomSetFrameNotify(int which) {
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
void SlideEditing::showCurrentItemEditingPanZoom(const SlideItemRef& slide) {
    NSGLView* glView = hub.opengGLView();
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

void SlideEditing::WindowSizeChanged() {
    // While a show runs, the display link draws its next frame at the new size.
    if (const auto director = hub.director(); director && director->directorStatus() != 0)
        return;
    if (const SlideItemRef slide = currentSlideItem())
        hub.showCurrentItemPhoto(slide);
    else
        hub.showWelcomeScreen();
}

// ---- text, rotation and colour

void SlideEditing::FontInfoChanged(const Notification& notification) {
    hub.stop();
    const SlideItemRef slide = currentSlideItem();
    if (!slide)
        return;
    const QVariantMap info = notification.object.toMap();
    slide->setTextInfo(info);
    hub.showCurrentItemPhoto(slide);
    if (panZoomCopy)
        panZoomCopy->setTextInfo(info);
    markDirty();
}

QVariantMap SlideEditing::editSlideItemTextSample() {
    return {{QStringLiteral("Text"), QStringLiteral("Hello\nThis is a sample of a slide's text.")},
            {QStringLiteral("FontSize"), 60},
            {QStringLiteral("FontName"), QFontDatabase::systemFont(QFontDatabase::GeneralFont).family()},
            {QStringLiteral("FontColor"), QColor(Qt::green)}};
}

void SlideEditing::EditSlideItemTextClicked() {
    editSlideItemText(currentSlideItem());
}

// Shows the sample text as a JPEG picture would show it; the slide is not used.
void SlideEditing::editSlideItemText(const SlideItemRef&) {
    NSGLView* glView = hub.opengGLView();
    if (!glView)
        return;
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    const QImage text = SlideItem::slideImageFromFontInfo(editSlideItemTextSample());
    if (text.isNull() ||
        !text.convertToFormat(QImage::Format_RGB32).save(&buffer, "JPEG", kSampleJpegQuality))
        return;
    hub.showImageInOpenGL(glView->loadTexture(
        platform::image::readPictureData(jpeg, platform::image::PictureRequest::asStored()).image));
}

void SlideEditing::notifyToolboxButtonClicked(const Notification& notification) {
    if (notification.object.toString() == QLatin1String("Rotate"))
        rotateImageButtonClicked();
}

// A quarter turn clockwise of the picture, its thumbnail and its background; the strip reads the thumbnail
// again since its file changed.
void SlideEditing::rotateImageButtonClicked() {
    const SlideItemRef slide = currentSlideItem();
    if (!slide)
        return;
    slide->rotateSlideItem(-90);
    hub.showCurrentItemPhoto(slide);
    updateStrip();
}

// "OK" writes the adjustment into the picture and shows the result; "Cancel" shows the slide as it is, as
// the still preview draws it (theme, frame and text); anything else only previews the adjustment on the bare
// picture. The written picture is not adjusted a second time for the preview.
void SlideEditing::notifyColorAdjustChanged(const Notification& notification) {
    hub.stop();
    const QVariantMap adjustment = notification.object.toMap();
    const QString action = notification.userInfo.value(QStringLiteral("Action")).toString();
    if (action == QLatin1String("OK")) {
        setColorToCurrentItem(adjustment);
        return;
    }
    const SlideItemRef slide = currentSlideItem();
    if (action == QLatin1String("Cancel")) {
        if (slide)
            hub.showCurrentItemPhoto(slide);
        return;
    }
    NSGLView* glView = hub.opengGLView();
    if (slide && glView)
        hub.showImageInOpenGL(glView->loadTexture(slide->adjustColor(adjustment)));
}

void SlideEditing::setColorToCurrentItem(const QVariantMap& adjustment) {
    const SlideItemRef slide = currentSlideItem();
    if (!slide)
        return;
    if (slide->ApplyAdjustColor(adjustment))
        markDirty();
    hub.showCurrentItemPhoto(slide);
    updateStrip(); // the thumbnail was adjusted too
}
