#pragma once

#include "platform/gl/Context.h"
#include "render/GLMatrix.h"
#include "render/TextureObject.h"

#include <QRect>
#include <QString>
#include <QVariantMap>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

class SlideItem;

// The layer behind the slides: the backdrop of the project's theme. It is one of the user's own picture,
// a fixed picture of the theme ("bk_cloth", "bk_clouds", "table"), plain black, or a moving backdrop made of
// the slides' own background pictures, cross-fading from slide to slide. For the moving backdrop a loader
// thread on a context of its own (sharing with the main context) keeps a cache of backdrops up to three
// slides ahead of the drawing thread.
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
    // Frames of one slide period, and of the whole show.
    void setSlideshowDuration(int frames);
    void setTotalFrame(quint64 frames);
    // Starts a run: the previous loader is stopped and joined first; a loader starts only for a moving
    // backdrop of a non-empty slide list.
    void SetProjectSlideshowArray(const std::vector<std::shared_ptr<SlideItem>>& slides);
    // Resets the drawing state for a new drawing run.
    void initParam();
    // Draws the backdrop of the next frame into the bound target; `flip` picks the upright (true) or the
    // mirrored texture coordinates. The pixels of `hidden` (window coordinates), which an opaque picture
    // drawn next covers whole, are left as they are.
    void DrawOneFrame(bool flip, const QRect& hidden = QRect());
    void DrawOneFrameStaticBackground(const TextureObject* texture, bool flip, const QRect& hidden = QRect());
    // Ends the run: the loader leaves within one wait and drops its backdrops; drawing shows black.
    void stop();
    void willBacktoProjectManagerView();

    void setMainContext(std::shared_ptr<platform::gl::Context> context);
    std::shared_ptr<platform::gl::Context> mainContext() const;
    int nThemeBackgroundID() const { return themeBackgroundID.load(); }
    float fBlendFactor() const { return blendFactor; }
    int nFrameInSlide() const { return frameInSlide; }
    bool isLoaderRunning() const { return loaderRunning.load(); }
    // Entries in the backdrop cache, end markers included.
    std::size_t cacheCount() const;

    // One backdrop of the cache: a slide with the texture of its background picture (none for slides that
    // have no picture of their own), or the end marker of a pass through the slides.
    struct CacheEntry {
        std::shared_ptr<SlideItem> slide;
        std::shared_ptr<TextureObject> texture;
        bool isEndMarker() const { return !slide; }
    };
    std::optional<CacheEntry> getFirstTextureFromCache();
    std::optional<CacheEntry> getSecondTextureFromCache();

private:
    enum class Kind { UserPicture, FixedPicture, Black, Moving };
    Kind kind() const;
    QString userPicturePath() const;
    void stopLoader();
    void threadLoadBackgroundTexture(std::shared_ptr<platform::gl::Context> context, int themeID);
    CacheEntry loadBackdrop(const std::shared_ptr<SlideItem>& slide, int themeID) const;
    void drawMoving(bool flip, const QRect& hidden);
    void advanceMovingState();
    const TextureObject* textureOrBlack(const std::shared_ptr<TextureObject>& texture);
    void ensureFixedTextures();

    Matrix4 modelView, projection, mvp;
    std::shared_ptr<TextureObject> textureNo1, textureNo2;
    std::shared_ptr<SlideItem> siTextureNo1;
    float blendFactor = 0.0f;
    float nTotalFrame = 480.0f;
    quint64 nSlideShowTotalFrame = 0;
    quint64 nPlayedFrame = 0;
    int frameInSlide = 0;
    bool bNeedChangeTexture = true;
    std::atomic<bool> bStopped{false};
    std::atomic<int> themeBackgroundID{0};
    std::atomic<bool> fixedPictureStale{false};

    std::vector<std::shared_ptr<SlideItem>> slideshowArray;
    std::deque<CacheEntry> textCacheArray;
    mutable std::mutex textCacheLock;
    std::condition_variable cacheChanged;
    std::atomic<bool> loaderRunning{false};
    std::thread loader;

    std::unique_ptr<TextureObject> text1;
    std::unique_ptr<TextureObject> textureBackground;
    std::atomic<bool> userPictureStale{true};
    std::unique_ptr<TextureObject> textureBlackColor;
    mutable std::mutex contextMutex;
    std::shared_ptr<platform::gl::Context> context;
};
