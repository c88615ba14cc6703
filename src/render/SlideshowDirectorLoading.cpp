// The director's slide loader and its cache: the loader thread readies the slides of a play ahead of its
// frames, and a frame takes them from the cache.
#include "render/SlideshowDirector.h"

#include "model/SlideItem.h"
#include "platform/foundation/CancellableWait.h"
#include "platform/gl/DriverLock.h"
#include "render/SlideshowImageObject.h"

#include <algorithm>
#include <chrono>

using SlideList = std::vector<std::shared_ptr<SlideItem>>;

namespace {

constexpr std::size_t kCacheAhead = 3;
constexpr auto kReadyPoll = std::chrono::milliseconds(100);
// Looks, kReadyPoll apart, at a photo whose picture is absent or empty before a play gives up on it: one
// replaced by renaming reappears, one rewritten in place fills again. A picture that is there but does not
// decode, and a clip or composition that cannot be read, are given up once loaded, without looks.
constexpr int kUnusablePicturePolls = 5;

} // namespace

bool SlideshowDirector::waitForCache(CacheGuard& lock, Waiter waiter, const std::function<bool()>& done) {
    // A frame gives way to whoever wants the play; the loader's waits end on a stop or a cancel.
    const bool mayGiveWay = waiter == Waiter::Frame;
    const auto over = [&] { return done() || (mayGiveWay && playWanted > 0); };
    bool cancelled = false;
    while (!cancelled && !over())
        platform::gl::waitOutsideGl(lock, [&](CacheGuard& held) {
            cancelled = !platform::waitUnlessCancelled(
                held, cacheChanged, kReadyPoll, [this] { return cancelRequested(); }, over);
            if (cancelled)
                bStopped = true;
        });
    if (cancelled)
        cacheChanged.notify_all();
    return cancelled || done();
}

SlideshowDirector::Readiness SlideshowDirector::waitForReadySlide(const std::shared_ptr<SlideItem>& slide,
                                                                  std::size_t index) {
    // A picture still being made (an import claims the file's name at once) is waited for; a stop or a
    // cancel ends the wait, so a slide that never becomes ready cannot hold the preloader (and with it the
    // next start and an export) for good. A slide discarded meanwhile (deleted, its import failed), or whose
    // picture stays absent or empty for a few looks (another program took it away or cut it: a sync tool, a
    // full disk, an editor that failed to write), is given up: the preview goes on past it, and an export,
    // which checked every file before it started, fails saying which.
    int unusableLooks = 0;
    std::unique_lock lock(textCacheLock);
    while (!bStopped) {
        lock.unlock();
        const bool ready = slide->iSItemReady();
        const bool discarded = !ready && slide->isDiscarded();
        const bool beingMade = !ready && !discarded && slide->isPictureBeingMade();
        const bool cancelled = !ready && cancelRequested();
        lock.lock();
        if (ready)
            return bStopped ? Readiness::Stopped : Readiness::Ready;
        if (cancelled) {
            bStopped = true;
            cacheChanged.notify_all();
            return Readiness::Stopped;
        }
        unusableLooks = beingMade ? 0 : unusableLooks + 1;
        if (discarded || unusableLooks > kUnusablePicturePolls) {
            if (!exportOwnsPlay)
                return bStopped ? Readiness::Stopped : Readiness::Gone;
            lock.unlock();
            noteLostFile(index, *slide);
            return Readiness::Stopped;
        }
        cacheChanged.wait_for(lock, kReadyPoll, [&] { return bStopped.load(); });
    }
    return Readiness::Stopped;
}

quint64 SlideshowDirector::lastOrderDue() const {
    // Before the play's first frame, the slide it starts with and the next; then the one after the slide on
    // screen.
    return orderOnScreen ? *orderOnScreen + 1 : 1;
}

SlideshowDirector::CacheEntry* SlideshowDirector::dueForReadying() {
    // Queued slides follow one another in order, and are readied in that order.
    for (CacheEntry& entry : textCacheArray)
        if (entry.slide && !entry.readied)
            return entry.order <= lastOrderDue() ? &entry : nullptr;
    return nullptr;
}

bool SlideshowDirector::allReadied() const {
    return std::all_of(textCacheArray.begin(), textCacheArray.end(),
                       [](const CacheEntry& entry) { return !entry.slide || entry.readied; });
}

void SlideshowDirector::threadLoadTexture(std::shared_ptr<platform::gl::Context> shared, SlideList slides,
                                          quint64 startIndex, bool loop) {
    {
        const platform::gl::Context::Scope scope(*shared);
        std::size_t i = std::size_t(startIndex);
        quint64 order = 0;
        bool queueing = !slides.empty();
        // A slide's frame source is readied (a clip opened, its first frame decoded) only once the slide is
        // next, so that no more clips hold a decoder than those on screen and the next; the loader stays
        // until every slide it queued has been readied.
        while (!bStopped) {
            std::shared_ptr<SlideTextures> due;
            {
                std::unique_lock lock(textCacheLock);
                waitForCache(lock, Waiter::Loader, [&] {
                    return bStopped || (queueing && textCacheArray.size() < kCacheAhead) ||
                           dueForReadying() || (!queueing && allReadied());
                });
                if (CacheEntry* entry = bStopped ? nullptr : dueForReadying()) {
                    entry->readied = true;
                    due = entry->textures;
                }
            }
            if (due) {
                due->prepareAhead();
                continue;
            }
            const Readiness readiness =
                bStopped || !queueing ? Readiness::Stopped : waitForReadySlide(slides[i], i);
            if (readiness == Readiness::Stopped)
                break;
            // A slide queued again while it is on screen (one- or two-slide loops) reuses its loaded set. A
            // slide given up keeps its place with nothing loaded: its time shows the stage alone.
            auto textures = SlideTextures::forSlide(slides[i]);
            bool dueNow = false;
            if (readiness == Readiness::Ready) {
                textures->ensureLoaded();
                if (exportOwnsPlay && textures->pictureUnreadable()) { // no movie without the picture
                    noteLostFile(i, *slides[i]);
                    break;
                }
                {
                    const std::lock_guard lock(textCacheLock);
                    dueNow = allReadied() && order <= lastOrderDue();
                }
                if (dueNow) // before it is queued, so that the play never takes it unready
                    textures->prepareAhead();
            }
            // A photo, or a slide given up, has nothing to ready.
            const bool readied = dueNow || !textures->frameSource();
            const bool passEnds = i + 1 >= slides.size();
            {
                const std::lock_guard lock(textCacheLock);
                textCacheArray.push_back(CacheEntry{slides[i], std::move(textures), order++, readied});
                if (passEnds)
                    textCacheArray.push_back(CacheEntry{});
            }
            cacheChanged.notify_all();
            i = passEnds ? 0 : i + 1;
            queueing = !passEnds || loop;
        }
        if (bStopped) {
            // Dropped here, with a context of their share group current, unless a renderer still holds them;
            // destroyed with the cache's lock let go, as their destruction enters the driver.
            std::deque<CacheEntry> dropped;
            const std::lock_guard lock(textCacheLock);
            dropped.swap(textCacheArray);
        }
    }
    shared.reset();
    {
        const std::lock_guard lock(textCacheLock);
        preloaderRunning = false;
    }
    cacheChanged.notify_all();
}

bool SlideshowDirector::getTextureNo1FromCache(SlideshowImageObject& renderer) {
    CacheEntry entry;
    {
        CacheGuard lock(textCacheLock);
        if (!waitForCache(lock, Waiter::Frame,
                          [&] { return bStopped || !textCacheArray.empty() || !preloaderRunning; }))
            return false;
        if (!bStopped && !textCacheArray.empty())
            entry = textCacheArray.front();
        if (entry.slide)
            orderOnScreen = entry.order;
    }
    cacheChanged.notify_all(); // the slide after it is next now
    renderer.setSlideItemData(entry.slide, entry.textures);
    renderer.initSlideshowParam();
    return true;
}

bool SlideshowDirector::getTextureNo2FromCache(SlideshowImageObject& renderer) {
    CacheEntry entry;
    CacheEntry left; // destroyed with the cache's lock let go
    {
        CacheGuard lock(textCacheLock);
        if (!waitForCache(lock, Waiter::Frame,
                          [&] { return bStopped || textCacheArray.size() >= 2 || !preloaderRunning; }))
            return false;
        if (!bStopped && textCacheArray.size() >= 2) {
            entry = textCacheArray[1];
            left = std::move(textCacheArray.front());
            textCacheArray.pop_front();
        }
    }
    cacheChanged.notify_all();
    renderer.setSlideItemData(entry.slide, entry.textures);
    renderer.initSlideshowParam();
    return true;
}

void SlideshowDirector::dropCacheThroughEndMarker() {
    std::vector<CacheEntry> dropped; // destroyed with the cache's lock let go
    {
        const std::lock_guard lock(textCacheLock);
        while (!textCacheArray.empty()) {
            const bool marker = !textCacheArray.front().slide;
            dropped.push_back(std::move(textCacheArray.front()));
            textCacheArray.pop_front();
            if (marker)
                break;
        }
    }
    cacheChanged.notify_all();
}
