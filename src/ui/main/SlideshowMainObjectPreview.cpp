// The still preview: the current slide (its thumbnail until its picture is ready), the welcome picture,
// and the step-by-step browsing with its slide animation and end bounce, one engine frame per step.
#include "ui/main/SlideshowMainObject.h"

#include "model/SlideshowProject.h"
#include "platform/foundation/NotificationCenter.h"
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

// Width over height of the preview's picture, as the view was last laid out.
double previewAspect() {
    const auto project = SlideshowProject::currentMainProject();
    if (!project || project->nHeightOpenGLView() <= 0)
        return 16.0 / 9.0;
    return double(project->nWidthOpenGLView()) / double(project->nHeightOpenGLView());
}

void post(const QString& button) {
    platform::NotificationCenter::defaultCenter().post(kNotifyFullScreenOperBtnClicked, QVariant(),
                                                       {{QStringLiteral("button"), button}});
}

} // namespace

// ---- drawing

void SlideshowMainObject::drawStill(const std::function<void(const SharedShaderPrograms&, double)>& draw) {
    if (!glView)
        return;
    const double aspect = previewAspect();
    glView->drawStill([&](const SharedShaderPrograms& programs) { draw(programs, aspect); });
}

void SlideshowMainObject::showImageInOpenGL(std::shared_ptr<TextureObject> texture) {
    if (!texture)
        return;
    drawStill([&](const SharedShaderPrograms& programs, double aspect) {
        still_pictures::draw(programs, *texture, still_pictures::fitted(sizeOf(*texture), aspect));
    });
    previousTexture = texture;
    shownTexture = std::move(texture);
}

void SlideshowMainObject::redrawStill() {
    if (playing || !shownTexture || motion != PreviewMotion::None)
        return;
    drawStill([&](const SharedShaderPrograms& programs, double aspect) {
        still_pictures::draw(programs, *shownTexture, still_pictures::fitted(sizeOf(*shownTexture), aspect));
    });
}

std::shared_ptr<TextureObject> SlideshowMainObject::loadSlideTexture(const SlideItem& slide) {
    if (!glView)
        return nullptr;
    const auto project = SlideshowProject::currentMainProject();
    const QVariantMap theme =
        project && project->themeManger() ? project->themeManger()->currentThemeDict() : QVariantMap();
    return glView->loadTexture(SlideTextures::slidePicture(slide, theme));
}

std::shared_ptr<TextureObject> SlideshowMainObject::loadPreparedOrThumbnail(const SlideItem& slide) {
    if (slide.iSItemReady())
        return loadSlideTexture(slide);
    return glView ? glView->loadTexture(slide.strThumbFileName()) : nullptr;
}

void SlideshowMainObject::showWelcomeScreen() {
    if (!glView)
        return;
    const auto welcome = glView->loadTexture(
        platform::paths::pathForResource(QStringLiteral("welcome"), QStringLiteral("png")));
    if (!welcome)
        return;
    drawStill([&](const SharedShaderPrograms& programs, double aspect) {
        still_pictures::draw(programs, *welcome, still_pictures::fitted(sizeOf(*welcome), aspect));
    });
    shownTexture = welcome;
}

// ---- showing a slide

void SlideshowMainObject::showCurrentItemPhoto(const SlideItemRef& slide) {
    if (!slide)
        return;
    if (slide->iSItemReady()) {
        if (slide->itemType() == SlideItem::kItemTypeVideo)
            showVideoPlaybackView(slide);
        else
            showSlideItemImage(slide);
        return;
    }
    showImageByUsingBlock(slide->strThumbFileName());
    moveItemToThreadArrayHead(slide);
    waitUntilReady(slide);
}

void SlideshowMainObject::showSlideItemImage(const SlideItemRef& slide) {
    stop();
    if (slide)
        showImageInOpenGL(loadSlideTexture(*slide));
}

void SlideshowMainObject::showImageByUsingBlock(const QString& path) {
    stop();
    if (!glView)
        return;
    const auto picture = glView->loadTexture(path);
    if (!picture)
        return;
    drawStill([&](const SharedShaderPrograms& programs, double aspect) {
        still_pictures::draw(programs, *picture, still_pictures::fitted(sizeOf(*picture), aspect));
    });
    shownTexture = picture;
}

void SlideshowMainObject::moveItemToThreadArrayHead(const SlideItemRef& slide) {
    if (slide)
        resizeWorker().moveItemToThreadArrayHead(slide.get());
}

// One wait, for the slide asked for last; it ends when the slide is ready (and is shown), or has left the
// project (its photo failed, or it was removed).
void SlideshowMainObject::waitUntilReady(const SlideItemRef& slide) {
    const std::weak_ptr<SlideItem> awaited = slide;
    readinessWait = clock->scheduleRepeating(kReadinessPoll, [this, awaited] {
        const SlideItemRef slide = awaited.lock();
        const auto project = SlideshowProject::currentMainProject();
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

void SlideshowMainObject::showFirstImageInOpenGLView() {
    const std::vector<SlideItemRef> slides = slideshowArray();
    if (currentSlideIndex != -1 || slides.empty())
        return;
    showCurrentItemPhoto(slides.front());
    setNCurrentSlideshowItemIndex(0);
}

// ---- animations

void SlideshowMainObject::runPreviewSteps(PreviewMotion kind, std::vector<std::function<void()>> steps,
                                          std::function<void()> then) {
    animation.cancel();
    motion = kind;
    animationSteps = std::move(steps);
    animationNext = 0;
    animation = clock->scheduleRepeating(kEngineFrame, [this, then = std::move(then)] {
        if (animationNext < animationSteps.size()) {
            animationSteps[animationNext++]();
            if (animationNext < animationSteps.size())
                return;
        }
        animation.cancel();
        motion = PreviewMotion::None;
        animationSteps.clear();
        if (then)
            then();
    });
}

int SlideshowMainObject::previewMotionStepsLeft() const {
    return motion == PreviewMotion::None ? 0 : int(animationSteps.size() - animationNext);
}

void SlideshowMainObject::showCurrentItemPhotoWithMove_direction(const SlideItemRef& slide, bool direction) {
    if (!slide)
        return;
    const bool ready = slide->iSItemReady();
    const auto next = loadPreparedOrThumbnail(*slide);
    const auto previous = previousTexture;
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
    runPreviewSteps(direction ? PreviewMotion::SlideForward : PreviewMotion::SlideBackward, std::move(steps),
                    [this, next, ready, slide] {
                        if (next) {
                            previousTexture = next;
                            shownTexture = next;
                        }
                        if (!ready)
                            showCurrentItemPhoto(slide);
                    });
}

std::vector<double> SlideshowMainObject::bounceShifts() {
    std::vector<double> shifts;
    for (int i = 1; i <= 10; ++i)
        shifts.push_back(i / 20.0);
    for (int i = 10; i >= 0; --i)
        shifts.push_back(i / 20.0);
    return shifts;
}

void SlideshowMainObject::showItemPhotoWithMove_direction(const SlideItemRef& slide, bool direction) {
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
    runPreviewSteps(direction ? PreviewMotion::BounceRight : PreviewMotion::BounceLeft, std::move(steps),
                    [this, slide] { showCurrentItemPhoto(slide); });
}

// ---- stepping

void SlideshowMainObject::handleShowPhotoStepByStep(bool backward) {
    const std::vector<SlideItemRef> slides = slideshowArray();
    if (slides.empty() || (slideshowDirector && slideshowDirector->directorStatus() != 0))
        return;
    const int count = int(slides.size());
    const int index = std::min(currentSlideIndex, count - 1);
    const auto goTo = [&](int target, bool direction) {
        setNCurrentSlideshowItemIndex(target);
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

void SlideshowMainObject::notifyFullScreenOperBtnClicked(const platform::Notification& notification) {
    stop();
    const QString button = notification.userInfo.value(QStringLiteral("button")).toString();
    const std::vector<SlideItemRef> slides = slideshowArray();
    const int last = int(slides.size()) - 1;
    if (button == QLatin1String("play")) {
        if (slideshowDirector && slideshowDirector->directorStatus() != 0)
            stopSlideshowWith(0);
        return;
    }
    if (button == QLatin1String("first") && !slides.empty()) {
        stopSlideshowWith(0);
        if (currentSlideIndex != 0) {
            setNCurrentSlideshowItemIndex(0);
            showCurrentItemPhotoWithMove_direction(slides.front(), false);
        } else {
            handleShowPhotoStepByStep(true);
        }
    } else if (button == QLatin1String("last") && !slides.empty()) {
        stopSlideshowWith(0);
        if (currentSlideIndex != last) {
            setNCurrentSlideshowItemIndex(last);
            showCurrentItemPhotoWithMove_direction(slides.back(), true);
        } else {
            handleShowPhotoStepByStep(false);
        }
    } else if (button == QLatin1String("previous") || button == QLatin1String("next")) {
        stopSlideshowWith(0);
        handleShowPhotoStepByStep(button == QLatin1String("previous"));
    } else {
        return;
    }
    ensureCurrentSlideThumbnailVisible();
}

void SlideshowMainObject::showNextImage() {
    post(QStringLiteral("next"));
}

void SlideshowMainObject::showPreviousImage() {
    post(QStringLiteral("previous"));
}

void SlideshowMainObject::showFirsttImage() {
    post(QStringLiteral("first"));
}

void SlideshowMainObject::showLastImage() {
    post(QStringLiteral("last"));
}

void SlideshowMainObject::stopSlideshowWith(int) {
    stop();
}
