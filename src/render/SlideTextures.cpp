#include "render/SlideTextures.h"

#include "model/SlideItem.h"
#include "model/SlideshowProject.h"
#include "model/SlideshowThemeManager.h"
#include "render/QuartzSlideFrameSource.h"
#include "render/ThemeImageFilter.h"
#include "render/VideoSlideFrameSource.h"

#include <map>

namespace {

struct Registry {
    std::mutex mutex;
    std::map<const SlideItem*, std::weak_ptr<SlideTextures>> sets;
    std::map<int, SlideFrameSourceFactory> sourceFactories;
};

// The engine's own sources, used while no other factory is installed for the type: clip slides read their
// frames and composition slides render their compositions wherever the engine draws (preview, exports,
// menus).
SlideFrameSourceFactory builtInFactory(int itemType) {
    if (itemType == SlideItem::kItemTypeVideo)
        return &VideoSlideFrameSource::make;
    if (itemType == SlideItem::kItemTypeQuartz)
        return &QuartzSlideFrameSource::make;
    return nullptr;
}

Registry& registry() {
    static Registry instance;
    return instance;
}

QVariantMap currentTheme() {
    const auto project = SlideshowProject::currentMainProject();
    if (!project || !project->themeManger())
        return {};
    return project->themeManger()->currentThemeDict();
}

bool dressesPhotos(const QVariantMap& theme) {
    return !theme.isEmpty() && SlideshowThemeManager::bNeedApplyTheme(theme);
}

bool isPhoto(const SlideItem& slide) {
    return slide.itemType() != SlideItem::kItemTypeVideo && slide.itemType() != SlideItem::kItemTypeQuartz;
}

std::shared_ptr<TextureObject> loadedFromFile(const QString& path) {
    if (path.isEmpty())
        return nullptr;
    auto texture = std::make_shared<TextureObject>();
    texture->LoadImage(path);
    return texture;
}

} // namespace

void setSlideFrameSourceFactory(int itemType, SlideFrameSourceFactory factory) {
    Registry& r = registry();
    const std::lock_guard lock(r.mutex);
    if (factory)
        r.sourceFactories[itemType] = std::move(factory);
    else
        r.sourceFactories.erase(itemType);
}

std::shared_ptr<SlideFrameSource> makeSlideFrameSource(const std::shared_ptr<SlideItem>& slide) {
    SlideFrameSourceFactory factory;
    {
        Registry& r = registry();
        const std::lock_guard lock(r.mutex);
        const auto found = r.sourceFactories.find(slide->itemType());
        factory = found != r.sourceFactories.end() ? found->second : builtInFactory(slide->itemType());
    }
    return factory ? factory(slide) : nullptr;
}

SlideTextures::SlideTextures(std::shared_ptr<SlideItem> slide) : item(std::move(slide)) {}

std::shared_ptr<SlideTextures> SlideTextures::forSlide(const std::shared_ptr<SlideItem>& slide) {
    if (!slide)
        return nullptr;
    Registry& r = registry();
    const std::lock_guard lock(r.mutex);
    for (auto it = r.sets.begin(); it != r.sets.end();)
        it = it->second.expired() ? r.sets.erase(it) : std::next(it);
    if (auto live = r.sets[slide.get()].lock())
        return live;
    auto made = std::make_shared<SlideTextures>(slide);
    r.sets[slide.get()] = made;
    return made;
}

QImage SlideTextures::slidePicture(const SlideItem& slide, const QVariantMap& theme, bool* whole) {
    // The slide's picture with its text layer and the theme's colour filter, then the theme's frame.
    QImage image = slide.slideImageForTexture(theme, whole);
    if (image.isNull())
        return image;
    if (dressesPhotos(theme))
        image = applyTheme(image, theme);
    return image;
}

ThemedPhotoPlacement SlideTextures::slidePicturePlacement(const QSize& photo, const QVariantMap& theme) {
    if (dressesPhotos(theme))
        return themedPhotoPlacement(photo, theme);
    return {photo, QRect(QPoint(0, 0), photo)};
}

void SlideTextures::ensureLoaded() {
    bool needPicture, needCaption;
    {
        const std::lock_guard lock(mutex);
        needPicture = !pictureLoaded;
        needCaption = !captionLoaded;
    }
    if (needPicture)
        loadTextureobj();
    if (needCaption)
        loadStringTextureObj();
}

void SlideTextures::prepareAhead() {
    // Also again while the slide is on screen (a loop of one or two slides): each pass of a clip starts anew.
    if (const auto frames = frameSource())
        frames->prepareAhead();
}

void SlideTextures::endShowing() {
    if (const auto frames = frameSource())
        frames->endShowing();
}

void SlideTextures::loadTextureobj() {
    std::shared_ptr<TextureObject> made;
    std::shared_ptr<SlideFrameSource> madeSource;
    bool whole = false;
    if (isPhoto(*item)) {
        made = std::make_shared<TextureObject>();
        made->LoadCIImage(slidePicture(*item, currentTheme(), &whole));
    } else {
        madeSource = makeSlideFrameSource(item);
    }
    const std::lock_guard lock(mutex);
    std::swap(picture, made);
    std::swap(source, madeSource);
    pictureLoaded = true;
    pictureWhole = whole;
}

bool SlideTextures::pictureUnreadable() const {
    const std::lock_guard lock(mutex);
    return (pictureLoaded &&
            (isPhoto(*item) ? !picture || picture->textureID() == 0 || !pictureWhole : !source)) ||
           captionUnreadable;
}

void SlideTextures::loadStringTextureObj() {
    auto made = isPhoto(*item) ? loadedFromFile(item->textImageFileName()) : nullptr;
    const bool lost = item->drawsCaptionPicture() && (!made || made->textureID() == 0 || !made->isWhole());
    const std::lock_guard lock(mutex);
    std::swap(caption, made);
    captionLoaded = true;
    captionUnreadable = lost;
}

void SlideTextures::loadBackgroundTextureObj() {
    std::shared_ptr<TextureObject> made;
    if (isPhoto(*item))
        if (const auto backdrop =
                item->readPictureFile(SlideItem::PictureFile::Backdrop, {QSize(2048, 2048)})) {
            made = std::make_shared<TextureObject>();
            made->LoadPicture(*backdrop);
        }
    const std::lock_guard lock(mutex);
    std::swap(background, made);
}

std::shared_ptr<TextureObject> SlideTextures::textureObj() const {
    const std::lock_guard lock(mutex);
    return picture;
}

std::shared_ptr<TextureObject> SlideTextures::textTextureObj() const {
    const std::lock_guard lock(mutex);
    return caption;
}

std::shared_ptr<TextureObject> SlideTextures::backgroundTextureObj() const {
    const std::lock_guard lock(mutex);
    return background;
}

std::shared_ptr<SlideFrameSource> SlideTextures::frameSource() const {
    const std::lock_guard lock(mutex);
    return source;
}
