#include "render/SlideshowDirector.h"

#include "model/SlideItem.h"
#include "model/SlideshowProject.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/ThreadJoin.h"
#include "platform/gl/DriverLock.h"
#include "platform/gl/FrameBuffer.h"
#include "render/FrameConverterObject.h"
#include "render/RenderGlobals.h"
#include "render/RenderNotifications.h"
#include "render/SlideshowImageObject.h"
#include "render/StageBackground.h"
#include "render/transitions/SlideshowTransition.h"
#include "render/transitions/TransitionManager.h"

#include <algorithm>
#include <chrono>

using SlideList = std::vector<std::shared_ptr<SlideItem>>;

namespace {

std::optional<std::size_t> indexOf(const SlideList& slides, const SlideItem* slide) {
    for (std::size_t i = 0; i < slides.size(); ++i)
        if (slides[i].get() == slide)
            return i;
    return std::nullopt;
}

} // namespace

SlideshowDirector::SlideshowDirector()
    : renderer1(std::make_shared<SlideshowImageObject>()),
      renderer2(std::make_shared<SlideshowImageObject>()), transitions(std::make_shared<TransitionManager>()),
      background(std::make_shared<StageBackground>()), clock(platform::Clock::system()) {
    renderer1->setBackgrondRender(background);
    renderer2->setBackgrondRender(background);
    initDirector();
}

SlideshowDirector::~SlideshowDirector() {
    stopPreloader();
    background->stop();
}

std::shared_ptr<platform::gl::Context> SlideshowDirector::mainContext() const {
    return shared.get(&Shared::context);
}

void SlideshowDirector::setMainContext(std::shared_ptr<platform::gl::Context> main) {
    shared.set(&Shared::context, std::move(main));
}

std::shared_ptr<FrameConverterObject> SlideshowDirector::rgbConverterObject() const {
    return shared.get(&Shared::converter);
}

void SlideshowDirector::setRgbConverterObject(std::shared_ptr<FrameConverterObject> object) {
    shared.set(&Shared::converter, std::move(object));
}

std::shared_ptr<SlideshowTransition> SlideshowDirector::slideTransitionObj() const {
    return shared.get(&Shared::transitionObj);
}

platform::media::MediaTime SlideshowDirector::currentFrameTimeStamp() const {
    return shared.get(&Shared::timeStamp);
}

void SlideshowDirector::setCurrentFrameTimeStamp(const platform::media::MediaTime& time) {
    shared.set(&Shared::timeStamp, time);
}

SlideshowDirector::PlayLock SlideshowDirector::takePlay() {
    PlayLock play(mutex, std::try_to_lock); // at once when free, or held by this thread (the frame's rewind)
    if (play.owns_lock())
        return play;
    {
        const std::lock_guard lock(textCacheLock);
        ++playWanted;
    }
    cacheChanged.notify_all();
    play.lock();
    {
        const std::lock_guard lock(textCacheLock);
        --playWanted;
    }
    cacheChanged.notify_all(); // an export's frame that gave way draws again
    return play;
}

std::optional<SlideshowDirector::PlayLock> SlideshowDirector::takeWindowPlay() {
    if (exportOwnsPlay)
        return std::nullopt;
    PlayLock play = takePlay();
    if (exportOwnsPlay) // an export started meanwhile
        return std::nullopt;
    return play;
}

bool SlideshowDirector::playLoops(const SlideshowProject& project) const {
    return !exportOwnsPlay && project.bPlayLoop();
}

void SlideshowDirector::setNCurrentFrame(quint64 frame) {
    const auto play = takeWindowPlay();
    if (!play)
        return;
    currentFrame = frame;
    startNoticePosted = false;
}

void SlideshowDirector::setClock(std::shared_ptr<platform::Clock> source) {
    // The preview's own clock, which an export's play never reads: it may change meanwhile.
    const PlayLock play = takePlay();
    clock = std::move(source);
}

void SlideshowDirector::setDirectorStatus(int value) {
    if (!exportOwnsPlay) // an export's play runs until its end, whatever the window's play head says
        status = value;
}

void SlideshowDirector::setCancelCheck(std::function<bool()> check) {
    shared.set(&Shared::cancelCheck, std::move(check));
}

bool SlideshowDirector::cancelRequested() const {
    const std::function<bool()> check = shared.get(&Shared::cancelCheck);
    return check && check();
}

QString SlideshowDirector::lostSlideFileMessage() const {
    const std::lock_guard lock(textCacheLock);
    return lostFileMessage;
}

void SlideshowDirector::noteLostFile(std::size_t index, const SlideItem& slide) {
    noteLost(SlideshowProject::slideFileLostMessage(index, slide));
}

void SlideshowDirector::noteLost(const QString& message) {
    const std::lock_guard lock(textCacheLock);
    if (lostFileMessage.isEmpty())
        lostFileMessage = message;
}

std::size_t SlideshowDirector::cacheCount() const {
    const std::lock_guard lock(textCacheLock);
    return textCacheArray.size();
}

std::unique_ptr<platform::gl::Context> SlideshowDirector::CreateShareOpenGLContext() const {
    const auto main = mainContext();
    return main ? platform::gl::Context::createShared(*main) : nullptr;
}

// ---- where a frame lies

SlideFramePosition SlideshowDirector::CS_GetSlideIndexFromCurrentFrame(quint64 f, const SlideList& slides) {
    const auto project = SlideshowProject::currentMainProject();
    const quint64 fadeIn = project ? project->nFrameSlideshowFadeIn() : 0;
    const quint64 fadeOut = project ? project->nFrameSlideshowFadeOut() : 0;
    SlideFramePosition r;
    if (f < fadeIn) {
        r.inFadeIn = true;
        return r;
    }
    if (project && fadeOut > 0 && !slides.empty()) {
        const quint64 total = project->totalFrameCountFromArray(slides);
        if (f + fadeOut >= total) {
            r.slideIndex = slides.size() - 1;
            r.inFadeOut = true;
            return r;
        }
    }
    r.inPhoto = true;
    quint64 c = fadeIn;
    for (std::size_t i = 0; i < slides.size(); ++i) {
        const quint64 photo = slides[i]->nPhotoDuration();
        const quint64 transition = slides[i]->nTransitionDuration();
        const quint64 leadIn = i == 0 ? fadeIn : slides[i - 1]->nTransitionDuration();
        if (f - c < photo + transition) {
            r.slideIndex = i;
            r.frameInSlide = leadIn + (f - c);
            r.inPhoto = f - c < photo;
            r.photoFrames = photo;
            r.transitionFrames = transition;
            r.frameFromPhotoStart = f - c;
            if (!r.inPhoto) {
                r.frameInTransition = (f - c) - photo;
                r.framesLeftInTransition = transition - r.frameInTransition;
            }
            return r;
        }
        c += photo + transition;
    }
    return SlideFramePosition{0, 0, true, false, false, 0, 0, 0, 0, 0};
}

qint64 SlideshowDirector::slideIndexOfPlaying() const {
    const auto project = SlideshowProject::currentMainProject();
    if (!project)
        return 0;
    return qint64(CS_GetSlideIndexFromCurrentFrame(nCurrentFrame(), project->slideshowArray()).slideIndex);
}

// ---- starting and stopping

void SlideshowDirector::initDirector() {
    const auto play = takeWindowPlay();
    if (!play)
        return;
    initHeld();
}

void SlideshowDirector::initHeld() {
    const auto project = SlideshowProject::currentMainProject();
    showFrame = project ? project->nPhotoDurationFrameCount() : 0;
    transitionFrame = project ? project->nTransitionDurationFrameCount() : 0;
    currentFrame = 0;
    startNoticePosted = false;
    nPreviousSlide = kNoSlide;
    // Only chosen here: a start may run on any thread with anything bound, and the transition is prepared
    // again when its slide comes on.
    auto chosen = transitions->getRandomTransition(false);
    if (chosen)
        chosen->setNTotalTransitionFrame(transitionFrame / 2);
    shared.set(&Shared::transitionObj, std::move(chosen));
    status = 0;
    renderer1->initSlideshowParam();
    renderer2->initSlideshowParam();
    if (project)
        if (auto self = weak_from_this().lock())
            project->setDirector(self);
    summaryDiff = 0.0f;
    lastTimeStamp = -1.0;
}

void SlideshowDirector::setSlideshowArray(const SlideList& slides) {
    startPlay(slides, StartPoint{});
}

void SlideshowDirector::setSlideshowArrayFromFrame(const SlideList& slides, quint64 startFrom) {
    StartPoint start;
    start.frame = startFrom;
    start.fromProjectTotal = true;
    start.preloadFromFrame = true;
    startPlay(slides, start);
}

void SlideshowDirector::setSlideshowArrayFromIndex(const SlideList& slides, int startFrom) {
    if (startFrom <= 0) {
        setSlideshowArray(slides);
        return;
    }
    StartPoint start;
    start.fromIndex = startFrom;
    start.fromProjectTotal = true;
    startPlay(slides, start);
}

void SlideshowDirector::stopPreloader() {
    {
        const std::lock_guard lock(textCacheLock);
        bStopped = true;
    }
    cacheChanged.notify_all();
    // The loader drops its slides under the driver lock: let go before the handle's lock is taken, and
    // take it back after that lock is let go.
    const platform::gl::DriverLock::Released forTheLoader;
    const std::lock_guard lock(preloaderMutex);
    platform::joinUnlessSelf(preloader, "the slide loader");
}

void SlideshowDirector::startPlay(const SlideList& slides, StartPoint start) {
    const auto play = takeWindowPlay();
    if (play)
        startHeld(slides, start);
}

void SlideshowDirector::startHeld(const SlideList& slides, StartPoint start) {
    stopPreloader(); // the previous play's
    const auto project = SlideshowProject::currentMainProject();
    std::deque<CacheEntry> dropped; // destroyed with the cache's lock let go
    {
        const std::lock_guard cache(textCacheLock);
        dropped.swap(textCacheArray);
    }
    slideshowArray = slides;
    if (project)
        project->calcSlideItemsPhotoTransitionDuration(slideshowArray);
    initHeld();
    quint64 preloadIndex = 0;
    if (start.fromIndex > 0) {
        const std::size_t k = std::min(std::size_t(start.fromIndex), slideshowArray.size());
        start.frame = project ? project->nFrameSlideshowFadeIn() : 0;
        for (std::size_t i = 0; i < k; ++i)
            start.frame += slideshowArray[i]->nPhotoDuration() + slideshowArray[i]->nTransitionDuration();
        preloadIndex = quint64(start.fromIndex);
    } else if (start.preloadFromFrame) {
        preloadIndex = CS_GetSlideIndexFromCurrentFrame(start.frame, slideshowArray).slideIndex;
    }
    if (!slideshowArray.empty())
        preloadIndex = std::min<quint64>(preloadIndex, slideshowArray.size() - 1);
    const quint64 total = !project                 ? 0
                          : start.fromProjectTotal ? project->totalFrameCount()
                                                   : project->totalFrameCountFromArray(slideshowArray);
    currentFrame = start.frame;
    nFrameStartFrom = start.frame;
    if (start.fromIndex == 0) {
        const int rate = int(SlideshowProject::ulFrameRate());
        setCurrentFrameTimeStamp(platform::media::MediaTime(qint64(start.frame), rate > 0 ? rate : 30));
    }
    totalFrames = total;
    {
        const std::lock_guard cache(textCacheLock);
        bStopped = false;
        lostFileMessage.clear();
        orderOnScreen.reset();
    }
    const bool loop = project && playLoops(*project);
    background->setMainContext(mainContext());
    background->SetProjectSlideshowArray(slideshowArray, start.frame, loop);
    renderer1->setSlideItemData(nullptr);
    renderer2->setSlideItemData(nullptr);
    if (std::shared_ptr<platform::gl::Context> shared = CreateShareOpenGLContext()) {
        preloaderRunning = true;
        const std::lock_guard threadLock(preloaderMutex);
        preloader = std::thread(&SlideshowDirector::threadLoadTexture, this, std::move(shared),
                                slideshowArray, preloadIndex, loop);
    }
    status = 1;
}

void SlideshowDirector::stop() {
    {
        // The loader lets go of its slides at once, whatever the frame holding the play does meanwhile.
        const std::lock_guard lock(textCacheLock);
        if (exportOwnsPlay)
            return;
        bStopped = true;
    }
    cacheChanged.notify_all();
    quint64 stoodAt = 0;
    {
        const auto play = takeWindowPlay();
        if (!play)
            return;
        stoodAt = stopHeld();
    }
    platform::NotificationCenter::defaultCenter().post(
        kNotifyPlaySlideIndexChanged, QVariant(),
        QVariantMap{{QStringLiteral("playingItemIndex"), int(stoodAt)}});
}

quint64 SlideshowDirector::stopHeld() {
    {
        const std::lock_guard lock(textCacheLock);
        bStopped = true;
    }
    cacheChanged.notify_all();
    background->stop();
    // Where the play stood, by the frame layout itself (the default durations would guess wrong after
    // custom or music-fitted ones, and divide by zero when they are 0); a show that ended stood on its last
    // frame, as no slide's frames lie past it.
    quint64 stoodAt = 0;
    if (!slideshowArray.empty()) {
        const quint64 frame = totalFrames > 0 ? std::min<quint64>(currentFrame, totalFrames - 1) : 0;
        stoodAt = CS_GetSlideIndexFromCurrentFrame(frame, slideshowArray).slideIndex;
    }
    status = 0;
    currentFrame = 0;
    {
        // What the play loaded ahead goes with it (a clip opened ahead holds its file and its decoder), let
        // go of at the end of this block, outside the cache's and the renderers' locks.
        const std::shared_ptr<SlideTextures> shown[] = {renderer1->slideTextures(),
                                                        renderer2->slideTextures()};
        renderer1->setSlideItemData(nullptr);
        renderer2->setSlideItemData(nullptr);
        std::deque<CacheEntry> queued;
        const std::lock_guard cache(textCacheLock);
        queued.swap(textCacheArray);
    }
    // The play's loaders end with it, and let go of its slides before the caller goes on: the open project
    // may change hands next.
    stopPreloader();
    background->stopLoader();
    return stoodAt;
}

void SlideshowDirector::resetDirector() {
    const auto play = takeWindowPlay();
    if (!play)
        return;
    summaryDiff = 0.0f;
    lastTimeStamp = -1.0;
    currentFrame = 0;
    startNoticePosted = false;
    setCurrentFrameTimeStamp(platform::media::MediaTime(0, 600));
}

// ---- an export's play

bool SlideshowDirector::startExportPlay(const SlideList& slides,
                                        std::shared_ptr<FrameConverterObject> converter,
                                        std::function<bool()> cancelled) {
    const PlayLock play = takePlay();
    if (exportOwnsPlay)
        return false; // another export's
    {
        const std::lock_guard cache(textCacheLock);
        exportOwnsPlay = true;
    }
    setRgbConverterObject(std::move(converter));
    setCancelCheck(std::move(cancelled));
    startHeld(slides, StartPoint{});
    return true;
}

bool SlideshowDirector::playExportFrame() {
    for (;;) {
        {
            const std::lock_guard play(mutex);
            if (!exportOwnsPlay)
                return false;
            const bool more = playFrame();
            if (!more || drewFrame)
                return more;
        }
        // The frame gave way to a thread that wanted the play, which leaves an export's play alone: it is
        // drawn again once that thread has had it.
        CacheGuard lock(textCacheLock);
        const auto had = [&] { return playWanted == 0 || bStopped; };
        while (!had())
            platform::gl::waitOutsideGl(lock, [&](CacheGuard& held) { cacheChanged.wait(held, had); });
    }
}

void SlideshowDirector::endExportPlay() {
    const PlayLock play = takePlay();
    if (!exportOwnsPlay)
        return;
    stopHeld();
    setCancelCheck({});
    setRgbConverterObject(nullptr);
    const std::lock_guard cache(textCacheLock);
    exportOwnsPlay = false;
}

void SlideshowDirector::SlideshowThemeChanged(const platform::Notification& notification) {
    background->setTheme(notification.object.toMap());
}

void SlideshowDirector::initForNewProject() {
    background->initForNewProject();
}

void SlideshowDirector::willBacktoProjectManagerView() {
    const auto play = takeWindowPlay();
    if (!play)
        return;
    background->willBacktoProjectManagerView();
    slideshowArray.clear();
}

void SlideshowDirector::setAsTextLayer() {
    textLayerDirector = true;
    renderer1->setBTextLayer(true);
    renderer2->setBTextLayer(true);
}

// ---- one frame

bool SlideshowDirector::playOneFrame() {
    // Through takePlay: an export's frame waiting for a slide gives way, so this never waits behind it.
    const PlayLock play = takePlay();
    if (exportOwnsPlay) { // the preview draws nothing meanwhile
        drewFrame = false;
        return true;
    }
    return playFrame();
}

bool SlideshowDirector::playFrame() {
    drewFrame = false;
    const auto project = SlideshowProject::currentMainProject();
    if (!project) {
        status = 0;
        return false;
    }
    // The notice's observers and the sound's stop may wait for other threads: the preview's main context,
    // which the caller holds for the frame, is let go meanwhile.
    if (currentFrame == nFrameStartFrom && !startNoticePosted && !exportOwnsPlay) {
        startNoticePosted = true;
        const platform::gl::Context::LetGo forTheObservers;
        platform::NotificationCenter::defaultCenter().post(kNotifyStartMusic,
                                                           QVariant::fromValue<qulonglong>(nFrameStartFrom));
    }
    if (currentFrame >= totalFrames) {
        if (!playLoops(*project)) {
            if (const auto mixer = project->audioMixer()) {
                const platform::gl::Context::LetGo forTheSound;
                mixer->StopPlayingMixedAudio();
            }
            status = 0;
            return false;
        }
        dropCacheThroughEndMarker();
        {
            const platform::gl::Context::LetGo forTheRewind; // the sound's and the clips' rewinds
            project->resetPlayerToBegin();
        }
        if (project->director().get() != this)
            resetDirector();
        currentFrame = 0;
        startNoticePosted = true; // the rewind started the sound again
    }
    // The slides a new slide takes the place of go once the frame is drawn and the driver lock let go: a
    // clip's reader waits for its decoder's threads as it closes.
    std::shared_ptr<SlideTextures> leaving[2];
    // Taken for the drawing only: the notice's observers and the sound's stop above may wait for others.
    const platform::gl::DriverLock driver;
    // An export draws every frame at its output's shape, whatever the preview last set.
    if (const auto exporter = rgbConverterObject(); exporter && exporter->nHeight() > 0)
        gRenderAspectRatio = float(exporter->nWidth()) / float(exporter->nHeight());
    const SlideFramePosition r = CS_GetSlideIndexFromCurrentFrame(currentFrame, slideshowArray);
    const unsigned long rate = SlideshowProject::ulFrameRate();
    setCurrentFrameTimeStamp(
        platform::media::MediaTime(qint64(double(currentFrame) * 600.0 / double(rate ? rate : 30)), 600));
    if (r.slideIndex != nPreviousSlide) {
        leaving[0] = renderer1->slideTextures();
        leaving[1] = renderer2->slideTextures();
        if (!enterSlide(r)) {
            nPreviousSlide = kNoSlide; // the slide is entered again by the frame's next try
            endShowingOfLeaving(leaving);
            return true;
        }
    }
    // Once per output frame: a transition draws the backdrop more than once.
    background->setPlayedFrame(currentFrame);
    drawFrame(r);
    if (exportOwnsPlay)
        noteUnreadableDrawn(r);
    drewFrame = true;
    currentFrame += 1;
    startNoticePosted = false;
    endShowingOfLeaving(leaving);
    return true;
}

void SlideshowDirector::endShowingOfLeaving(const std::shared_ptr<SlideTextures> (&leaving)[2]) {
    // A slide off both renderers has ended its showing, also where the loader has queued it again and so
    // keeps its set: its clip closes and its sound goes now.
    for (const auto& set : leaving)
        if (set && set != renderer1->slideTextures() && set != renderer2->slideTextures())
            set->endShowing();
}

void SlideshowDirector::noteUnreadableDrawn(const SlideFramePosition& r) {
    const bool inTransition = !r.inPhoto && !r.inFadeIn && !r.inFadeOut && slideTransitionObj();
    for (const SlideshowImageObject* drawn : {renderer1.get(), inTransition ? renderer2.get() : nullptr}) {
        const auto set = drawn ? drawn->slideTextures() : nullptr;
        const auto frames = set ? set->frameSource() : nullptr;
        if (frames && frames->unreadable())
            if (const auto at = indexOf(slideshowArray, set->slide().get()))
                noteLostFile(*at, *set->slide());
    }
    if (const auto at = background->unreadableBackdrop(); at && *at < slideshowArray.size())
        noteLostFile(*at, *slideshowArray[*at]);
    if (background->userPictureUnreadable())
        if (const auto project = SlideshowProject::currentMainProject())
            noteLost(project->themePictureLostMessage());
}

bool SlideshowDirector::enterSlide(const SlideFramePosition& r) {
    const auto project = SlideshowProject::currentMainProject();
    nPreviousSlide = r.slideIndex;
    // Taken again whole when the frame gave way: the first slide stays at the cache's front until the
    // second is taken.
    if (!getTextureNo1FromCache(*renderer1))
        return false;
    if ((playLoops(*project) || r.slideIndex + 1 < slideshowArray.size()) &&
        !getTextureNo2FromCache(*renderer2))
        return false;
    const auto item = renderer1->slideItemData();
    if (!item)
        return true;
    // The slide's length goes in before the preparation, which lays out some transitions' frames.
    const int frames = int(std::min<quint64>(item->nTransitionDuration(), 1u << 30));
    auto chosen = transitions->getTransitionByInfo(item->transitionInfo(), frames);
    const SlideList own = project->slideshowArray();
    const auto at = indexOf(own, item.get());
    if (chosen && at && *at + 1 < own.size() && own[*at + 1]->itemType() == SlideItem::kItemTypeVideo &&
        !chosen->bNeedFBO()) {
        // Prepared like any choice: left as its last use ended, the cross-fade would be a cut.
        chosen = transitions->getAlphaBlendTransition();
        if (chosen) {
            chosen->setNTotalTransitionFrame(frames);
            chosen->initTransition();
        }
    }
    if (chosen)
        chosen->setNTotalTransitionFrame(frames);
    shared.set(&Shared::transitionObj, std::move(chosen));
    return true;
}

void SlideshowDirector::drawFrame(const SlideFramePosition& r) {
    const auto project = SlideshowProject::currentMainProject();
    // Only a transition's 3D pictures meet in depth; everything else is drawn back to front.
    const auto transition = slideTransitionObj();
    platform::gl::FrameBuffer::setDepthAttachedToBound(!r.inFadeIn && !r.inFadeOut && !r.inPhoto &&
                                                       transition && transition->drawsInDepth());
    if (r.inFadeIn) {
        const float alpha = float(currentFrame) / float(project->nFrameSlideshowFadeIn());
        renderer1->playSlideshowWithAlpha(qint64(currentFrame.load()), 0, alpha);
        return;
    }
    if (r.inFadeOut) {
        const quint64 fadeOut = project->nFrameSlideshowFadeOut();
        const quint64 q = currentFrame - (totalFrames - fadeOut);
        const auto& last = slideshowArray.back();
        if (renderer1->slideItemData() != last) {
            renderer1->setSlideItemData(last);
            renderer1->initSlideshowParam();
        }
        // The fade-out goes on with the last slide's motion where its photo part left it.
        const std::size_t n = slideshowArray.size();
        const quint64 leadIn =
            n == 1 ? project->nFrameSlideshowFadeIn() : slideshowArray[n - 2]->nTransitionDuration();
        renderer1->playSlideshowWithAlpha(qint64(leadIn + last->nPhotoDuration() + q), 0,
                                          1.0f - float(q) / float(fadeOut));
        return;
    }
    if (r.inPhoto || !transition) {
        renderer1->playSlideshow(r.frameInSlide, 0, true, true);
        return;
    }
    if (transition->bNeedFBO()) {
        drawTransitionThroughFrameBuffers(r);
        return;
    }
    transition->setTransitionBackground(background.get());
    transition->setCurrentSlideshow(renderer1);
    transition->setNextSlideshow(renderer2);
    transition->setCurrentTextureID(fboOne.texture());
    transition->setNextTextureID(fboTwo.texture());
    transition->transition(int(r.frameInTransition), int(r.frameInSlide));
}

void SlideshowDirector::ensureTransitionFrameBuffers(int width, int height) {
    // Sized to the target being drawn (the output in an export, the view's picture in the preview), and
    // remade when the target changes, so transitions are never drawn at another size and stretched.
    for (FrameBufferObject* fbo : {&fboOne, &fboTwo})
        if (!fbo->isValid() || fbo->texWidth() != width || fbo->texHeight() != height)
            fbo->initFBOWithWidth(unsigned(width), unsigned(height));
}

void SlideshowDirector::drawTransitionThroughFrameBuffers(const SlideFramePosition& r) {
    GLint viewport[4] = {0, 0, 0, 0};
    GLint target = 0;
    glGetIntegerv(GL_VIEWPORT, viewport);
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &target);
    const auto exporter = rgbConverterObject();
    const int width = exporter ? exporter->nWidth() : viewport[2];
    const int height = exporter ? exporter->nHeight() : viewport[3];
    if (width <= 0 || height <= 0)
        return;
    ensureTransitionFrameBuffers(width, height);

    gRenderAspectRatio = float(fboOne.texWidth()) / float(fboOne.texHeight());
    fboOne.switchToFBO();
    platform::gl::FrameBuffer::setDepthAttachedToBound(false); // one slide each, drawn back to front
    renderer1->playSlideshow(r.frameInSlide, 0, false, true);
    gRenderAspectRatio = float(fboTwo.texWidth()) / float(fboTwo.texHeight());
    fboTwo.switchToFBO();
    platform::gl::FrameBuffer::setDepthAttachedToBound(false);
    renderer2->playSlideshow(r.frameInTransition, 1, false, true);

    if (exporter) {
        exporter->switchOffScreenFBO();
    } else {
        glBindFramebuffer(GL_FRAMEBUFFER, GLuint(target));
        glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
    }
    gRenderAspectRatio = float(width) / float(height);
    const auto transition = slideTransitionObj();
    transition->setTransitionBackground(background.get());
    transition->setCurrentSlideshow(renderer1);
    transition->setNextSlideshow(renderer2);
    transition->setCurrentTextureID(fboOne.texture());
    transition->setNextTextureID(fboTwo.texture());
    transition->transition(int(r.frameInTransition));
}

// ---- the preview's clock

bool SlideshowDirector::DropOrPaddingFrame() {
    const auto play = takeWindowPlay();
    if (!play)
        return true; // an export plays: the preview draws nothing
    if (currentFrame < 5)
        return false;
    const double t = clock->secondsSinceStart();
    if (lastTimeStamp == -1.0) {
        lastTimeStamp = t;
        return false;
    }
    const unsigned long rate = SlideshowProject::ulFrameRate();
    const float d = 1.0f / float(rate ? rate : 30);
    summaryDiff += float((t - lastTimeStamp) - double(d));
    lastTimeStamp = t;
    if (!(summaryDiff > d || -summaryDiff > d))
        return false;
    const qint64 k = qint64(summaryDiff / d); // toward zero
    // Behind by k periods: skip them and this tick's own frame, which is not drawn (k + 1). Ahead: stand
    // still or step back (k + 1 <= 0).
    const qint64 moved = qint64(currentFrame) + k + 1;
    currentFrame = quint64(std::max<qint64>(moved, 0));
    summaryDiff -= d * float(k);
    return true;
}
