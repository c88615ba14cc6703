#include "ui/main/StillPreview.h"

#include "model/SlideshowProject.h"
#include "platform/foundation/StandardPaths.h"
#include "render/NSGLView.h"
#include "render/SharedShaderPrograms.h"
#include "render/SlideTextures.h"
#include "render/SlideshowDirector.h"
#include "render/StillPictures.h"
#include "render/TextureObject.h"
#include "ui/UiNotifications.h"
#include "ui/main/PhotoResizeWorker.h"

namespace {

constexpr double kEngineFrame = 1.0 / 30.0;
constexpr double kReadinessPoll = 0.1;
constexpr int kSlideSteps = 20;

QSizeF sizeOf(const TextureObject& texture) {
    return QSizeF(texture.textWidth(), texture.textHeight());
}

void post(const QString& button) {
    platform::NotificationCenter::defaultCenter().post(kNotifyFullScreenOperBtnClicked, QVariant(),
                                                       {{QStringLiteral("button"), button}});
}

} // namespace

StillPreview::StillPreview(SlideshowMainObject& hub, platform::Scheduler& scheduler, ProjectSource project)
    : hub(hub), clock(scheduler), currentProject(std::move(project)) {}

// ---- drawing

// Width over height of the preview's picture, as the view was last laid out.
double StillPreview::previewAspect() const {
    const auto project = currentProject();
    if (!project || project->nHeightOpenGLView() <= 0)
        return 16.0 / 9.0;
    return double(project->nWidthOpenGLView()) / double(project->nHeightOpenGLView());
}

void StillPreview::drawStill(const std::function<void(const SharedShaderPrograms&, double)>& draw) {
    NSGLView* view = hub.opengGLView();
    if (!view)
        return;
    const double aspect = previewAspect();
    view->drawStill([&](const SharedShaderPrograms& programs) { draw(programs, aspect); });
}

void StillPreview::showImageInOpenGL(std::shared_ptr<TextureObject> texture) {
    if (!texture)
        return;
    drawStill([&](const SharedShaderPrograms& programs, double aspect) {
        still_pictures::draw(programs, *texture, still_pictures::fitted(sizeOf(*texture), aspect));
    });
    lastTexture = texture;
    shownTexture = std::move(texture);
}

void StillPreview::showStillOf(const SlideItem& slide) {
    showImageInOpenGL(loadPreparedOrThumbnail(slide));
}

void StillPreview::redrawStill() {
    if (hub.m_bPlaying() || !shownTexture || currentMotion != Motion::None)
        return;
    drawStill([&](const SharedShaderPrograms& programs, double aspect) {
        still_pictures::draw(programs, *shownTexture, still_pictures::fitted(sizeOf(*shownTexture), aspect));
    });
}

std::shared_ptr<TextureObject> StillPreview::loadSlideTexture(const SlideItem& slide) {
    NSGLView* view = hub.opengGLView();
    if (!view)
        return nullptr;
    const auto project = currentProject();
    const QVariantMap theme =
        project && project->themeManger() ? project->themeManger()->currentThemeDict() : QVariantMap();
    return view->loadTexture(SlideTextures::slidePicture(slide, theme));
}

// A slide without a picture of its own (a composition's) shows its thumbnail, as one whose picture is not
// ready yet does.
std::shared_ptr<TextureObject> StillPreview::loadPreparedOrThumbnail(const SlideItem& slide) {
    if (slide.iSItemReady())
        if (auto picture = loadSlideTexture(slide))
            return picture;
    NSGLView* view = hub.opengGLView();
    return view ? view->loadTexture(slide.strThumbFileName()) : nullptr;
}

void StillPreview::showWelcomeScreen() {
    NSGLView* view = hub.opengGLView();
    if (!view)
        return;
    const auto welcome =
        view->loadTexture(platform::paths::pathForResource(QStringLiteral("welcome"), QStringLiteral("png")));
    if (!welcome)
        return;
    drawStill([&](const SharedShaderPrograms& programs, double aspect) {
        still_pictures::draw(programs, *welcome, still_pictures::fitted(sizeOf(*welcome), aspect));
    });
    shownTexture = welcome;
}

// ---- showing a slide

void StillPreview::showCurrentItemPhoto(const SlideItemRef& slide) {
    if (!slide)
        return;
    readinessWait.cancel(); // the slide asked for last is the one shown
    if (slide->iSItemReady()) {
        if (slide->itemType() == SlideItem::kItemTypeVideo)
            hub.showVideoPlaybackView(slide);
        else
            showSlideItemImage(slide);
        return;
    }
    showImageByUsingBlock(slide->strThumbFileName());
    moveItemToThreadArrayHead(slide);
    waitUntilReady(slide);
}

void StillPreview::showSlideItemImage(const SlideItemRef& slide) {
    hub.stop();
    if (slide)
        showImageInOpenGL(loadPreparedOrThumbnail(*slide));
}

void StillPreview::showImageByUsingBlock(const QString& path) {
    hub.stop();
    NSGLView* view = hub.opengGLView();
    if (!view)
        return;
    const auto picture = view->loadTexture(path);
    if (!picture)
        return;
    drawStill([&](const SharedShaderPrograms& programs, double aspect) {
        still_pictures::draw(programs, *picture, still_pictures::fitted(sizeOf(*picture), aspect));
    });
    shownTexture = picture;
}

void StillPreview::moveItemToThreadArrayHead(const SlideItemRef& slide) {
    if (slide)
        hub.resizeWorker().moveItemToThreadArrayHead(slide.get());
}

// One wait, for the slide asked for last; it ends when the slide is ready (and is shown), or has left the
// project (its photo failed, or it was removed).
void StillPreview::waitUntilReady(const SlideItemRef& slide) {
    const std::weak_ptr<SlideItem> awaited = slide;
    readinessWait = clock.scheduleRepeating(kReadinessPoll, [this, awaited] {
        const SlideItemRef slide = awaited.lock();
        const auto project = currentProject();
        if (!slide || !project || !project->containsSlideItem(slide.get())) {
            readinessWait.cancel();
            return;
        }
        if (!slide->iSItemReady())
            return;
        readinessWait.cancel();
        showSlideItemImage(slide);
    });
}

void StillPreview::showFirstImageInOpenGLView() {
    const std::vector<SlideItemRef> slides = hub.slideshowArray();
    if (hub.nCurrentSlideshowItemIndex() != -1 || slides.empty())
        return;
    showCurrentItemPhoto(slides.front());
    hub.setNCurrentSlideshowItemIndex(0);
}

// ---- animations

void StillPreview::runPreviewSteps(Motion kind, std::vector<std::function<void()>> steps,
                                   std::function<void()> then) {
    animation.cancel();
    currentMotion = kind;
    animationSteps = std::move(steps);
    animationNext = 0;
    animation = clock.scheduleRepeating(kEngineFrame, [this, then = std::move(then)] {
        if (animationNext < animationSteps.size()) {
            animationSteps[animationNext++]();
            if (animationNext < animationSteps.size())
                return;
        }
        animation.cancel();
        currentMotion = Motion::None;
        animationSteps.clear();
        if (then)
            then();
    });
}

int StillPreview::motionStepsLeft() const {
    return currentMotion == Motion::None ? 0 : int(animationSteps.size() - animationNext);
}

void StillPreview::cancelMotion() {
    animation.cancel();
    currentMotion = Motion::None;
    readinessWait.cancel();
}

void StillPreview::cancelTimers() {
    animation.cancel();
    readinessWait.cancel();
}

void StillPreview::showCurrentItemPhotoWithMove_direction(const SlideItemRef& slide, bool direction) {
    if (!slide)
        return;
    const bool ready = slide->iSItemReady();
    const auto next = loadPreparedOrThumbnail(*slide);
    const auto previous = lastTexture;
    std::vector<std::function<void()>> steps;
    for (int i = 1; i <= kSlideSteps; ++i) {
        const double step = double(i) / kSlideSteps;
        steps.push_back([this, next, previous, direction, step] {
            drawStill([&](const SharedShaderPrograms& programs, double aspect) {
                if (previous)
                    still_pictures::draw(
                        programs, *previous,
                        still_pictures::slidingOut(sizeOf(*previous), aspect, direction, step));
                if (next)
                    still_pictures::draw(programs, *next,
                                         still_pictures::slidingIn(sizeOf(*next), aspect, direction, step));
            });
        });
    }
    runPreviewSteps(direction ? Motion::SlideForward : Motion::SlideBackward, std::move(steps),
                    [this, next, ready, slide] {
                        if (next) {
                            lastTexture = next;
                            shownTexture = next;
                        }
                        if (!ready)
                            showCurrentItemPhoto(slide);
                    });
}

std::vector<double> StillPreview::bounceShifts() {
    std::vector<double> shifts;
    for (int i = 1; i <= 10; ++i)
        shifts.push_back(i / 20.0);
    for (int i = 10; i >= 0; --i)
        shifts.push_back(i / 20.0);
    return shifts;
}

void StillPreview::showItemPhotoWithMove_direction(const SlideItemRef& slide, bool direction) {
    if (!slide)
        return;
    const auto picture = loadPreparedOrThumbnail(*slide);
    std::vector<std::function<void()>> steps;
    for (const double shift : bounceShifts())
        steps.push_back([this, picture, shift = direction ? shift : -shift] {
            if (!picture)
                return;
            drawStill([&](const SharedShaderPrograms& programs, double aspect) {
                still_pictures::draw(programs, *picture,
                                     still_pictures::fitted(sizeOf(*picture), aspect, shift));
            });
        });
    runPreviewSteps(direction ? Motion::BounceRight : Motion::BounceLeft, std::move(steps),
                    [this, slide] { showCurrentItemPhoto(slide); });
}

// ---- stepping

void StillPreview::handleShowPhotoStepByStep(bool backward) {
    const std::vector<SlideItemRef> slides = hub.slideshowArray();
    const auto director = hub.director();
    if (slides.empty() || (director && director->directorStatus() != 0))
        return;
    const int count = int(slides.size());
    const int index = std::min(hub.nCurrentSlideshowItemIndex(), count - 1);
    const auto goTo = [&](int target, bool direction) {
        hub.setNCurrentSlideshowItemIndex(target);
        showCurrentItemPhotoWithMove_direction(slides[std::size_t(target)], direction);
    };
    if (backward) {
        if (index > 0)
            goTo(index - 1, false);
        else if (index == 0)
            showItemPhotoWithMove_direction(slides.front(), true);
    } else {
        if (index < count - 1)
            goTo(index + 1, true);
        else
            showItemPhotoWithMove_direction(slides.back(), false);
    }
}

void StillPreview::notifyFullScreenOperBtnClicked(const platform::Notification& notification) {
    hub.stop();
    const QString button = notification.userInfo.value(QStringLiteral("button")).toString();
    const std::vector<SlideItemRef> slides = hub.slideshowArray();
    const int last = int(slides.size()) - 1;
    if (button == QLatin1String("play")) {
        if (const auto director = hub.director(); director && director->directorStatus() != 0)
            hub.stopSlideshowWith(0);
        return;
    }
    if (button == QLatin1String("first") && !slides.empty()) {
        hub.stopSlideshowWith(0);
        if (hub.nCurrentSlideshowItemIndex() != 0) {
            hub.setNCurrentSlideshowItemIndex(0);
            showCurrentItemPhotoWithMove_direction(slides.front(), false);
        } else {
            handleShowPhotoStepByStep(true);
        }
    } else if (button == QLatin1String("last") && !slides.empty()) {
        hub.stopSlideshowWith(0);
        if (hub.nCurrentSlideshowItemIndex() != last) {
            hub.setNCurrentSlideshowItemIndex(last);
            showCurrentItemPhotoWithMove_direction(slides.back(), true);
        } else {
            handleShowPhotoStepByStep(false);
        }
    } else if (button == QLatin1String("previous") || button == QLatin1String("next")) {
        hub.stopSlideshowWith(0);
        handleShowPhotoStepByStep(button == QLatin1String("previous"));
    } else {
        return;
    }
    hub.ensureCurrentSlideThumbnailVisible();
}

void StillPreview::showNextImage() {
    post(QStringLiteral("next"));
}

void StillPreview::showPreviousImage() {
    post(QStringLiteral("previous"));
}

void StillPreview::showFirsttImage() {
    post(QStringLiteral("first"));
}

void StillPreview::showLastImage() {
    post(QStringLiteral("last"));
}
