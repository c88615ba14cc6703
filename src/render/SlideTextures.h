#pragma once

#include "platform/gl/DriverLock.h"
#include "render/SlideFrameSource.h"
#include "render/TextureObject.h"
#include "render/ThemeImageFilter.h"

#include <QImage>
#include <QVariantMap>

#include <memory>
#include <mutex>

class SlideItem;

// The GL textures of one slide: its picture, its caption picture and its background picture (the texture
// fields and hooks of a slide). The model knows no GL, so the set lives here and is shared by reference:
// every cache entry and every renderer that holds the slide holds the set, a slide that is queued again
// while on screen reuses the textures already loaded, and the textures go (through the share group's
// deferred deletes) only when the last holder lets go.
class SlideTextures {
public:
    explicit SlideTextures(std::shared_ptr<SlideItem> slide);
    SlideTextures(const SlideTextures&) = delete;
    SlideTextures& operator=(const SlideTextures&) = delete;

    // The live set of `slide`, or a new empty one; sets are found again while anything holds them.
    static std::shared_ptr<SlideTextures> forSlide(const std::shared_ptr<SlideItem>& slide);

    const std::shared_ptr<SlideItem>& slide() const { return item; }

    // Loads the picture and caption textures unless they are loaded. A context must be current.
    void ensureLoaded();
    // Readies the frame source's first frame off the drawing thread (a clip opened ahead): the preloader's
    // call, once for each time the slide comes on next.
    void prepareAhead();
    // The slide has left the screen, whoever still holds the set (the loader may have queued the slide
    // again): its frame source ends the showing (SlideFrameSource::endShowing).
    void endShowing();
    // The slide's texture operations. Photo slides load their files; clip and composition slides make a
    // frame source instead and have no picture textures of their own.
    void loadTextureobj();
    void loadStringTextureObj();
    // No part calls it: the stage's own loader reads the backdrops it draws (StageBackground).
    void loadBackgroundTextureObj();

    std::shared_ptr<TextureObject> textureObj() const;
    std::shared_ptr<TextureObject> textTextureObj() const;
    std::shared_ptr<TextureObject> backgroundTextureObj() const;
    std::shared_ptr<SlideFrameSource> frameSource() const;
    // Loaded without what the slide shows: a photo whose picture did not decode whole (nor upload), a clip
    // or composition whose frames cannot be made (its file gone or unreadable): it shows the stage alone, or
    // the part of the picture that decoded; or a photo whose caption picture did not, and which shows
    // without its caption or with part of it.
    bool pictureUnreadable() const;

    // The picture a photo slide's texture shows: its file decoded at most 2048 on a side, through the
    // theme's photo filter ("PhotoFilter") and, for themes that dress photos, the theme's frame and shadow.
    // Null when the file does not decode; `whole`, when asked, tells whether it decoded whole.
    static QImage slidePicture(const SlideItem& slide, const QVariantMap& theme, bool* whole = nullptr);
    // Where slidePicture puts a photo of `photo` pixels: the photo fills the picture unless the theme
    // dresses it.
    static ThemedPhotoPlacement slidePicturePlacement(const QSize& photo, const QVariantMap& theme);

private:
    std::shared_ptr<SlideItem> item;
    // Textures leave the set under it and are destroyed once it is let go: a deletion enters the driver.
    mutable platform::gl::RankedMutex<> mutex{platform::gl::LockRank::Cache, "SlideTextures::mutex"};
    std::shared_ptr<TextureObject> picture;
    std::shared_ptr<TextureObject> caption;
    std::shared_ptr<TextureObject> background;
    std::shared_ptr<SlideFrameSource> source;
    bool pictureLoaded = false;
    bool pictureWhole = false;
    bool captionLoaded = false;
    bool captionUnreadable = false;
};
