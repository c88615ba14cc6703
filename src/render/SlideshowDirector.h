#pragma once

#include "model/ProjectCollaborators.h"
#include "platform/foundation/Guarded.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/gl/Context.h"
#include "platform/gl/DriverLock.h"
#include "platform/media/MediaTime.h"
#include "render/FrameBufferObject.h"
#include "render/SlideTextures.h"

#include <QVariantMap>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace platform {
class Clock;
}
class FrameConverterObject;
class SlideItem;
class SlideshowProject;
class SlideshowImageObject;
class SlideshowTransition;
class StageBackground;
class TransitionManager;

// Where one frame of a show lies: the answer of SlideshowDirector::CS_GetSlideIndexFromCurrentFrame.
struct SlideFramePosition {
    quint64 slideIndex = 0;
    quint64 frameInSlide = 0; // within the slide's motion, which begins with what brings it on
    bool inPhoto = false;
    bool inFadeIn = false;
    bool inFadeOut = false;
    quint64 photoFrames = 0;
    quint64 transitionFrames = 0;
    quint64 frameInTransition = 0;
    quint64 framesLeftInTransition = 0;
    quint64 frameFromPhotoStart = 0;
};

// The timeline player: turns the project's slides into numbered frames at the project frame rate and draws
// any one of them on request, for the preview (one frame per display refresh that the clock keeps) and for
// every export (every frame in turn, off screen). It owns two slide renderers, the two frame buffers of
// transitions, the transition registry, the stage background and a cache of slides whose textures a
// preloader thread (on its own context sharing with the main context) loads up to three slides ahead; it
// opens a clip ahead only for the slide that comes on next, and a clip closes once its slide is done.
//
// Calling order: a start (setSlideshowArray, ...FromFrame, ...FromIndex), then playOneFrame once per frame
// with a context of the main share group current, the target bound and its viewport set, until it answers
// false or the caller stops; stop() ends the preview's play at any time. Frames, starts and ends take the
// play's lock, so a preview and an export never draw at once.
//
// An export plays through startExportPlay, playExportFrame and endExportPlay, and owns the play in between:
// what the window asks of the player meanwhile (a start, stop, rewind, seek, its clock or status, a preview's
// frame) leaves the export's play alone and never waits longer than one frame's drawing. The export's play
// carries its own settings: it never repeats, clips follow its frame times and the preview's music stays
// silent, whatever the project says.
class SlideshowDirector : public ProjectDirector, public std::enable_shared_from_this<SlideshowDirector> {
public:
    static constexpr quint64 kNoSlide = ~quint64(0);

    SlideshowDirector();
    // Stops the preloader and the background's loader and waits for both.
    ~SlideshowDirector() override;
    SlideshowDirector(const SlideshowDirector&) = delete;
    SlideshowDirector& operator=(const SlideshowDirector&) = delete;

    void initDirector();
    void setSlideshowArray(const std::vector<std::shared_ptr<SlideItem>>& slides);
    void setSlideshowArrayFromFrame(const std::vector<std::shared_ptr<SlideItem>>& slides, quint64 startFrom);
    void setSlideshowArrayFromIndex(const std::vector<std::shared_ptr<SlideItem>>& slides, int startFrom);
    // Draws frame nCurrentFrame and moves on; false when the show has ended and does not loop. A preview's
    // frame that waits for a slide gives way to another thread that wants the play (a stop, a rewind, a
    // start): it then draws nothing, stays on its frame and answers true (see frameDrawn).
    bool playOneFrame();
    // Whether the last playOneFrame drew its frame; asked under holdPlay.
    bool frameDrawn() const { return drewFrame; }
    using PlayLock = std::unique_lock<platform::gl::RankedMutex<std::recursive_mutex>>;
    // The play's own lock, which playOneFrame takes again: the view takes it first to draw a frame on its
    // context, so that a frame waiting for a slide can let that context go and take it back. A frame that
    // waits for a slide, the preview's or an export's, gives way to any other thread asking for this lock,
    // and draws again once that thread has had it.
    [[nodiscard]] PlayLock holdPlay() { return takePlay(); }
    // Ends the preview's play; an export's play is left alone (endExportPlay ends it).
    void stop();
    void resetDirector() override;

    // ---- an export's play
    // Plays the slides for an export, drawn through `converter`; `cancelled` is asked during every wait.
    // False while another export plays.
    bool startExportPlay(const std::vector<std::shared_ptr<SlideItem>>& slides,
                         std::shared_ptr<FrameConverterObject> converter, std::function<bool()> cancelled);
    // Draws the export's next frame; false when it cannot be drawn (see lostSlideFileMessage) or the play
    // ended.
    bool playExportFrame();
    // Ends the export's play; the preview may play again.
    void endExportPlay();
    bool exportPlays() const override { return exportOwnsPlay.load(); }
    // The preview's clock correction; true tells the view to draw nothing on this tick.
    bool DropOrPaddingFrame();

    static SlideFramePosition
    CS_GetSlideIndexFromCurrentFrame(quint64 frame, const std::vector<std::shared_ptr<SlideItem>>& slides);
    SlideFramePosition
    getSlideIndexFromCurrentFrame(quint64 frame,
                                  const std::vector<std::shared_ptr<SlideItem>>& slides) const {
        return CS_GetSlideIndexFromCurrentFrame(frame, slides);
    }
    qint64 slideIndexOfPlaying() const;
    // Observer body for a theme change: the notification's object is the theme dictionary.
    void SlideshowThemeChanged(const platform::Notification& notification);
    void initForNewProject();
    void willBacktoProjectManagerView();
    void setAsTextLayer();
    std::unique_ptr<platform::gl::Context> CreateShareOpenGLContext() const;

    std::shared_ptr<SlideshowImageObject> slide1() const { return renderer1; }
    std::shared_ptr<SlideshowImageObject> slide2() const { return renderer2; }
    std::shared_ptr<SlideshowTransition> slideTransitionObj() const;
    std::shared_ptr<StageBackground> backgroundRender() const { return background; }
    std::shared_ptr<TransitionManager> transitionMgr() const { return transitions; }
    std::shared_ptr<platform::gl::Context> mainContext() const;
    void setMainContext(std::shared_ptr<platform::gl::Context> context);
    quint64 nTotalFrames() const { return totalFrames.load(); }
    quint64 nCurrentFrame() const { return currentFrame.load(); }
    void setNCurrentFrame(quint64 frame);
    int directorStatus() const { return status.load(); }
    void setDirectorStatus(int value);
    // An export's, while one plays.
    std::shared_ptr<FrameConverterObject> rgbConverterObject() const;
    platform::media::MediaTime currentFrameTimeStamp() const override;
    void setCurrentFrameTimeStamp(const platform::media::MediaTime& time);
    bool bTextLayerDirector() const { return textLayerDirector; }
    int nShowFrame() const { return showFrame; }
    int nTransitionFrame() const { return transitionFrame; }
    // The frame buffers of transitions (sized to the target of the frame that first needs them).
    const FrameBufferObject& fboSlideOne() const { return fboOne; }
    const FrameBufferObject& fboSlideTwo() const { return fboTwo; }
    // Slides in the cache, end markers included.
    std::size_t cacheCount() const;
    // The clock of the preview's drop-or-repeat test (seconds on a monotonic scale); tests script it.
    void setClock(std::shared_ptr<platform::Clock> clock);
    // Asked during every wait of a play (an export's cancel): once it answers true the waits give up as
    // after stop(), so that a cancelled export always ends. Empty for the preview.
    void setCancelCheck(std::function<bool()> check);
    // What the user is told of the slide that an export's play gave up on because it was discarded, or its
    // file vanished, stayed empty or did not decode whole, during the run, or of the theme's backdrop picture
    // that did not; empty otherwise. Cleared by each start.
    QString lostSlideFileMessage() const;

private:
    struct CacheEntry {
        std::shared_ptr<SlideItem> slide;
        std::shared_ptr<SlideTextures> textures;
        quint64 order = 0;    // among the slides the loader queued in this play; end markers have none
        bool readied = false; // its frame source readied ahead (a clip opened) for this showing
    };
    struct StartPoint {
        quint64 frame = 0;
        int fromIndex = 0;             // a start at the first frame of this slide
        bool fromProjectTotal = false; // the total of the project's own slides, as the position slider uses
        bool preloadFromFrame = false; // the preloader begins with the slide of `frame`
    };

    void startPlay(const std::vector<std::shared_ptr<SlideItem>>& slides, StartPoint start);
    // The project's repeat for the preview; an export's play never repeats, whatever the project says.
    bool playLoops(const SlideshowProject& project) const;
    // The play's lock for everything but a frame: a frame waiting for a slide, which holds it, is asked to
    // give way first, so that the main thread never waits behind a frame that waits in turn.
    PlayLock takePlay();
    // The same for what the window asks: none while an export owns the play, which the window leaves alone.
    std::optional<PlayLock> takeWindowPlay();
    // With the play held: a start, the set-up of the first frame, and the stop (which ends the loaders and
    // answers the slide where the play stood).
    void startHeld(const std::vector<std::shared_ptr<SlideItem>>& slides, StartPoint start);
    void initHeld();
    quint64 stopHeld();
    bool playFrame();
    void setRgbConverterObject(std::shared_ptr<FrameConverterObject> converter);
    using CacheLock = platform::gl::RankedMutex<>;
    using CacheGuard = std::unique_lock<CacheLock>;

    void stopPreloader();
    void threadLoadTexture(std::shared_ptr<platform::gl::Context> shared,
                           std::vector<std::shared_ptr<SlideItem>> slides, quint64 startIndex, bool loop);
    bool cancelRequested() const;
    // Called and answers with textCacheLock held: waits until done(), a stop or a cancel (which stops the
    // play), or, for a preview's frame, until another thread wants the play (then false: the frame gives
    // way). The driver lock and the main context, when held, are let go for the wait and taken back with
    // the cache lock let go.
    enum class Waiter { Loader, Frame };
    bool waitForCache(CacheGuard& lock, Waiter waiter, const std::function<bool()>& done);
    enum class Readiness { Ready, Gone, Stopped };
    Readiness waitForReadySlide(const std::shared_ptr<SlideItem>& slide, std::size_t index);
    // The export fails on slide `index`, the first such slide of the play naming it; locks textCacheLock.
    void noteLostFile(std::size_t index, const SlideItem& slide);
    // The export fails with `message` unless it already failed; locks textCacheLock.
    void noteLost(const QString& message);
    // After an export's frame: a slide drawn in it whose clip or composition could not be read showed the
    // stage alone, or its clip's last good frame held in place of the rest; or a slide's backdrop picture
    // drawn behind it, or the picture the project names for the stage, could not be read whole and showed
    // black or in part.
    void noteUnreadableDrawn(const SlideFramePosition& position);
    // With textCacheLock held: the queued slide whose frame source is to be readied ahead now, if any, and
    // whether every queued slide has been.
    quint64 lastOrderDue() const;
    CacheEntry* dueForReadying();
    bool allReadied() const;
    // False when the frame gave way before its slide came.
    bool getTextureNo1FromCache(SlideshowImageObject& renderer);
    bool getTextureNo2FromCache(SlideshowImageObject& renderer);
    void dropCacheThroughEndMarker();
    bool enterSlide(const SlideFramePosition& position);
    void endShowingOfLeaving(const std::shared_ptr<SlideTextures> (&leaving)[2]);
    void drawFrame(const SlideFramePosition& position);
    void drawTransitionThroughFrameBuffers(const SlideFramePosition& position);
    void ensureTransitionFrameBuffers(int width, int height);

    std::vector<std::shared_ptr<SlideItem>> slideshowArray;
    std::atomic<quint64> totalFrames{0};
    std::atomic<quint64> currentFrame{0};
    quint64 nFrameStartFrom = 0;
    int showFrame = 0;
    int transitionFrame = 0;
    std::shared_ptr<SlideshowImageObject> renderer1, renderer2;
    std::shared_ptr<TransitionManager> transitions;
    FrameBufferObject fboOne, fboTwo;
    quint64 nPreviousSlide = kNoSlide;
    std::shared_ptr<StageBackground> background;
    std::atomic<int> status{0};
    float summaryDiff = 0.0f;
    double lastTimeStamp = -1.0;
    bool textLayerDirector = false;
    std::shared_ptr<platform::Clock> clock;
    bool drewFrame = false;
    bool startNoticePosted = false; // for the frame it stands on: a frame that gave way comes again

    // Threads: the play (the display link's thread in the preview, a pump's thread in an export) and the
    // main thread. The frame counters, the status and the stop flag are atomic. What the other threads
    // read or set at any time, the context, converter, transition, time stamp and cancel test, is guarded in
    // `shared`. The slides, renderers, frame buffers and clock belong to whoever holds `mutex`: it is held
    // by every frame, the starts, stop, the clock correction, the rewind and an export's start and end, and
    // is recursive because the project's rewind calls back into resetDirector from inside playOneFrame. The
    // text cache, the threads waiting for the play, the slide on screen and the lost file's message go under
    // textCacheLock (the export's ownership is set under both locks), the preloader's handle under
    // preloaderMutex.
    mutable platform::gl::RankedMutex<std::recursive_mutex> mutex{platform::gl::LockRank::Director,
                                                                  "SlideshowDirector::mutex"};
    struct Shared {
        std::shared_ptr<platform::gl::Context> context;
        std::shared_ptr<FrameConverterObject> converter;
        std::shared_ptr<SlideshowTransition> transitionObj;
        platform::media::MediaTime timeStamp{0, 600};
        std::function<bool()> cancelCheck;
    };
    platform::Guarded<Shared> shared;

    std::deque<CacheEntry> textCacheArray;
    mutable CacheLock textCacheLock{platform::gl::LockRank::Cache, "SlideshowDirector::textCacheLock"};
    std::condition_variable_any cacheChanged;
    std::atomic<bool> bStopped{true};
    int playWanted = 0; // under textCacheLock: threads waiting in takePlay
    // Set and cleared under mutex and textCacheLock, by the export's start and end.
    std::atomic<bool> exportOwnsPlay{false};
    QString lostFileMessage; // under textCacheLock
    // Under textCacheLock: the order of the slide the play took on screen last, none before its first.
    std::optional<quint64> orderOnScreen;
    std::atomic<bool> preloaderRunning{false};
    // The thread handle, joined by whichever start or stop gets there; held while it joins.
    platform::gl::RankedMutex<> preloaderMutex{platform::gl::LockRank::LoaderHandle,
                                               "SlideshowDirector::preloaderMutex"};
    std::thread preloader;
};
