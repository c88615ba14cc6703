#include "model/QuartzSlideItem.h"

#include "model/ArchiveCoding.h"

QuartzSlideItem::QuartzSlideItem() {
    setItemType(kItemTypeQuartz);
}

std::shared_ptr<QuartzSlideItem> QuartzSlideItem::initWithCoder(platform::KeyedUnarchiver& coder) {
    auto slide = std::make_shared<QuartzSlideItem>();
    slide->decodeFields(coder);
    return slide;
}

// The composition's files are kept with the slide: without them a reloaded composition slide would show
// nothing ever again.
void QuartzSlideItem::decodeFields(platform::KeyedUnarchiver& coder) {
    SlideItem::decodeFields(coder);
    setItemType(kItemTypeQuartz);
    setStrQuartzFilePath(archive::decodeString(coder, "strQuartzFilePath"));
    setStrVideoFilePath(archive::decodeString(coder, "strVideoFilePath"));
    setBVideoItem(coder.decodeBool("bVideoItem"));
}

void QuartzSlideItem::encodeWithCoder(platform::KeyedArchiver& coder) const {
    SlideItem::encodeWithCoder(coder);
    coder.encodeObject(archive::objectOrNil(strQuartzFilePath()), "strQuartzFilePath");
    coder.encodeObject(archive::objectOrNil(strVideoFilePath()), "strVideoFilePath");
    coder.encodeBool(bVideoItem(), "bVideoItem");
}

std::shared_ptr<SlideItem> QuartzSlideItem::copy() const {
    auto other = std::make_shared<QuartzSlideItem>();
    other->setStrQuartzFilePath(strQuartzFilePath());
    other->setStrVideoFilePath(strVideoFilePath());
    other->setBVideoItem(bVideoItem());
    other->customSetDurations(fSecPhotoDuration(), fSecTransitionDuration());
    other->setPixelSize(pixelSize());
    other->setTransitionInfo(transitionInfo());
    return other;
}

bool QuartzSlideItem::openComposition(std::shared_ptr<platform::gl::Context> shared) {
    if (bVideoItem()) {
        const float clip = getMovieDuration(strVideoFilePath());
        // A clip no longer than the transition plays whole with no transition, never for a negative time;
        // a clip that cannot be read leaves the durations as they are.
        if (clip > fSecTransitionDuration()) {
            setFSecPhotoDuration(clip - fSecTransitionDuration());
        } else if (clip > 0.0f) {
            setFSecPhotoDuration(clip);
            setFSecTransitionDuration(0.0f);
        }
    } else {
        setPixelSize(QSize(1280, 720));
    }
    fields.set(&Fields::context, std::move(shared));
    return true;
}

QSize QuartzSlideItem::compositionSize() {
    // Asked by the loader thread while the main thread may read the size: one lock over the whole decision.
    const std::lock_guard lock(sizeDecision);
    QSize size = pixelSize();
    if (size.width() <= 0 || size.height() <= 0) {
        if (bVideoItem())
            getMovieDuration(strVideoFilePath());
        size = pixelSize();
        if (size.width() <= 0 || size.height() <= 0) {
            size = QSize(1280, 720);
            setPixelSize(size);
        }
    }
    return size;
}

void QuartzSlideItem::stop() {
    stopped = true;
}

std::shared_ptr<platform::gl::Context> QuartzSlideItem::compositionContext() const {
    return fields.get(&Fields::context);
}

QString QuartzSlideItem::strQuartzFilePath() const {
    return fields.get(&Fields::quartzFilePath);
}

void QuartzSlideItem::setStrQuartzFilePath(const QString& path) {
    fields.set(&Fields::quartzFilePath, path);
}

QString QuartzSlideItem::strVideoFilePath() const {
    return fields.get(&Fields::videoFilePath);
}

void QuartzSlideItem::setStrVideoFilePath(const QString& path) {
    fields.set(&Fields::videoFilePath, path);
}
