#pragma once

#include "model/SlideItem.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Scheduler.h"
#include "ui/editing/ProjectSource.h"
#include "ui/main/SlideshowMainObject.h"

#include <QString>

#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

class SharedShaderPrograms;
class SlideshowProject;
class TextureObject;

// The document window's still preview: the current slide (its thumbnail until its picture is ready), the
// welcome picture, and the step-by-step browsing with its slide animation and end bounce, one engine frame
// per step. It draws into the hub's view and works on the hub's selection; everything runs on the main
// thread.
class StillPreview {
public:
    using Motion = SlideshowMainObject::PreviewMotion;

    StillPreview(SlideshowMainObject& hub, platform::Scheduler& scheduler, ProjectSource project);

    // ---- showing a slide
    void showCurrentItemPhoto(const SlideItemRef& slide);
    void showSlideItemImage(const SlideItemRef& slide);
    void showImageByUsingBlock(const QString& path);
    void showImageInOpenGL(std::shared_ptr<TextureObject> texture);
    // The slide's picture (its thumbnail until the picture is ready), drawn without stopping anything: what
    // stands in the preview once a clip's player has given way to it.
    void showStillOf(const SlideItem& slide);
    void showWelcomeScreen();
    void moveItemToThreadArrayHead(const SlideItemRef& slide);
    void showFirstImageInOpenGLView();
    // The picture shown last, drawn again after the view changed size; not while playing or moving.
    void redrawStill();

    // ---- browsing
    void showCurrentItemPhotoWithMove_direction(const SlideItemRef& slide, bool direction);
    void showItemPhotoWithMove_direction(const SlideItemRef& slide, bool direction);
    void handleShowPhotoStepByStep(bool backward);
    void notifyFullScreenOperBtnClicked(const platform::Notification& notification);
    void showNextImage();
    void showPreviousImage();
    void showFirsttImage();
    void showLastImage();

    // ---- the player takes the picture
    // The animation and the wait for a slide's picture stop; no motion is under way afterwards.
    void cancelMotion();
    // The animation and the wait stop; the motion that was under way keeps its kind.
    void cancelTimers();

    Motion motion() const { return currentMotion; }
    int motionStepsLeft() const;
    static std::vector<double> bounceShifts();
    std::shared_ptr<TextureObject> previousTexture() const { return lastTexture; }
    void setPreviousTexture(std::shared_ptr<TextureObject> texture) { lastTexture = std::move(texture); }

private:
    // Draws with the view's programs and the preview's aspect ratio; nothing without a view.
    void drawStill(const std::function<void(const SharedShaderPrograms&, double)>& draw);
    double previewAspect() const;
    std::shared_ptr<TextureObject> loadSlideTexture(const SlideItem& slide);
    std::shared_ptr<TextureObject> loadPreparedOrThumbnail(const SlideItem& slide);
    void waitUntilReady(const SlideItemRef& slide);
    void runPreviewSteps(Motion kind, std::vector<std::function<void()>> steps, std::function<void()> then);

    SlideshowMainObject& hub;
    platform::Scheduler& clock;
    ProjectSource currentProject;

    std::shared_ptr<TextureObject> lastTexture;
    std::shared_ptr<TextureObject> shownTexture; // drawn again when the view changes size
    platform::Scheduler::Handle readinessWait;
    platform::Scheduler::Handle animation;
    Motion currentMotion = Motion::None;
    std::vector<std::function<void()>> animationSteps;
    std::size_t animationNext = 0;
};
