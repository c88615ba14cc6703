#pragma once

#include "platform/gl/Context.h"
#include "platform/gl/DriverLock.h"
#include "render/GLMatrix.h"
#include "render/TextureObject.h"

#include <QRect>
#include <QString>
#include <QVariantMap>

#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

class SlideItem;

// The layer behind the slides: the backdrop of the project's theme. It is one of the user's own picture,
// a fixed picture of the theme ("bk_cloth", "bk_clouds", "table"), plain black, or a moving backdrop made of
// the slides' own background pictures, cross-fading from slide to slide. The moving backdrop behind a frame
// depends on the frame's number alone: the player moves it once per output frame, however many times the
// frame's drawing draws it. A loader thread on a context of its own (sharing with the main context) keeps
// the backdrops of the slide on stage and of the two after it.
class StageBackground {
public:
    StageBackground();
    // Stops and joins the loader.
    ~StageBackground();
    StageBackground(const StageBackground&) = delete;
    StageBackground& operator=(const StageBackground&) = delete;

    // Takes the theme's "backgroundID" and forgets the user picture. The fixed picture of ids 3, 4 and 5 is
    // loaded by the next drawing, on the drawing thread's context.
    void setTheme(const QVariantMap& theme);
    // Forgets the backdrops and applies the open project's current theme.
    void initForNewProject();
    // Starts a run that plays from frame `startFrame`: the previous loader is stopped and joined first; a
    // loader starts only for a moving backdrop of a non-empty slide list, with the slide of that frame.
    // `loop` tells whether the run plays round again at its end (an export's never does).
    void SetProjectSlideshowArray(const std::vector<std::shared_ptr<SlideItem>>& slides,
                                  quint64 startFrame = 0, bool loop = false);
    // The run's own count of played frames (of DrawOneFrame_new) starts again. The user's picture is read
    // once a run, by its first drawing, and again after a change of theme.
    void initParam();
    // The frames of the whole show, where the count of played frames wraps.
    void setTotalFrame(quint64 frames) { slideShowTotalFrame = frames; }
    quint64 nSlideShowTotalFrame() const { return slideShowTotalFrame; }
    quint64 nPlayedFrame() const { return playedFrame; }

    // Where a frame of the show lies among the backdrops' periods: each slide's backdrop lasts as long as
    // the slide (its photo and the transition that takes it off; the first one the fade-in too).
    struct Place {
        std::size_t slideIndex = 0;
        quint64 frameInPeriod = 0;
        quint64 period = 0;
    };
    static std::optional<Place> placeAt(quint64 frame, const std::vector<std::shared_ptr<SlideItem>>& slides);
    // The share of the next slide's backdrop in the mix: none until six tenths of the period, then rising
    // to whole by its last frame.
    static float crossFadeAt(quint64 frameInPeriod, quint64 period);
    // Moves the moving backdrop to frame `frame` of the run's show, waiting for its pictures if need be.
    void setPlayedFrame(quint64 frame);
    // Draws the backdrop of the frame last set into the bound target; `flip` picks the upright (true) or
    // the mirrored texture coordinates. The pixels of `hidden` (window coordinates), which an opaque
    // picture drawn next covers whole, are left as they are.
    void DrawOneFrame(bool flip, const QRect& hidden = QRect());
    void DrawOneFrameStaticBackground(const TextureObject* texture, bool flip, const QRect& hidden = QRect());
    // The earlier drawing, which moves itself on by one frame per call: at the end of the show it starts
    // again when the run plays in a loop, else it stops the layer, which then stays black. It draws the
    // user's picture only once DrawOneFrame has read it, and gives the mirrored picture of `flip` false by
    // turning the backdrop over rather than by its texture coordinates.
    void DrawOneFrame_new(bool flip);
    bool isStopped() const { return bStopped.load(); }
    // Ends the run: the loader leaves within one wait and drops its backdrops; drawing shows black.
    void stop();
    // The stop, and the wait for the loader to end.
    void stopLoader();
    void willBacktoProjectManagerView();

    void setMainContext(std::shared_ptr<platform::gl::Context> context);
    std::shared_ptr<platform::gl::Context> mainContext() const;
    int nThemeBackgroundID() const { return themeBackgroundID.load(); }
    float fBlendFactor() const { return blendFactor; }
    int nFrameInSlide() const { return frameInSlide; }
    bool isLoaderRunning() const { return loaderRunning.load(); }
    // Backdrops in the cache.
    std::size_t cacheCount() const;

    // One backdrop of the cache: a slide with the texture of its background picture (none for slides that
    // have no picture of their own).
    struct CacheEntry {
        std::shared_ptr<SlideItem> slide;
        std::shared_ptr<TextureObject> texture;
        bool unreadable = false; // the slide names a backdrop picture that did not load
    };
    // The backdrop of the run's slide `index`, once loaded; none after a stop or without a loader.
    std::optional<CacheEntry> backdropOf(std::size_t index);
    // The first slide of the run whose backdrop picture, taken for drawing, could not be read: the stage
    // shows black where it belongs.
    std::optional<std::size_t> unreadableBackdrop() const;
    // Whether the picture the project names for the stage, taken for this run's drawing, could not be read
    // whole (gone, out of the project's reach, undecodable or damaged): the stage shows black, or what of it
    // decoded.
    bool userPictureUnreadable() const { return userPictureLost.load(); }

private:
    enum class Kind { UserPicture, FixedPicture, Black, Moving };
    Kind kind() const;
    QString userPicturePath() const;
    void threadLoadBackgroundTexture(std::shared_ptr<platform::gl::Context> context, int themeID);
    CacheEntry loadBackdrop(const std::shared_ptr<SlideItem>& slide, int themeID) const;
    void drawMoving(bool flip, const QRect& hidden, bool turnOver = false);
    // Under textCacheLock: whether the loader keeps slide `index`, and the first one it lacks.
    bool isWanted(std::size_t index) const;
    std::optional<std::size_t> firstMissing() const;
    const TextureObject* textureOrBlack(const std::shared_ptr<TextureObject>& texture);
    void ensureFixedTextures();
    void loadUserPicture();

    Matrix4 modelView, projection, mvp;
    std::shared_ptr<TextureObject> textureNo1, textureNo2;
    std::shared_ptr<SlideItem> siTextureNo1;
    std::optional<std::size_t> shownIndex;      // the slide whose backdrop textureNo1 is
    std::optional<std::size_t> firstUnreadable; // under textCacheLock
    float blendFactor = 0.0f;
    int frameInSlide = 0;
    quint64 slideShowTotalFrame = 0;
    quint64 playedFrame = 0; // DrawOneFrame_new's own count
    bool runLoops = false;
    std::atomic<bool> bStopped{false};
    std::atomic<int> themeBackgroundID{0};
    std::atomic<bool> fixedPictureStale{false};

    std::vector<std::shared_ptr<SlideItem>> slideshowArray;
    std::map<std::size_t, CacheEntry> textCacheArray; // by slide index
    std::size_t wantedIndex = 0;                      // the first slide of the loader's window
    mutable platform::gl::RankedMutex<> textCacheLock{platform::gl::LockRank::Cache,
                                                      "StageBackground::textCacheLock"};
    std::condition_variable_any cacheChanged;
    std::atomic<bool> loaderRunning{false};
    std::thread loader;

    std::unique_ptr<TextureObject> text1;
    std::unique_ptr<TextureObject> textureBackground;
    std::atomic<bool> userPictureStale{true};
    std::atomic<bool> userPictureLost{false};
    std::unique_ptr<TextureObject> textureBlackColor;
    mutable platform::gl::RankedMutex<> contextMutex{platform::gl::LockRank::Field,
                                                     "StageBackground::contextMutex"};
    std::shared_ptr<platform::gl::Context> context;
};
