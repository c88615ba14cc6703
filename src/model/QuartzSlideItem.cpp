#include "model/QuartzSlideItem.h"

#include "model/ArchiveCoding.h"
#include "model/ContentsFolder.h"
#include "platform/foundation/MainThread.h"

#include <QDir>
#include <QFileInfo>

namespace {

// The project's own composition is stored by its place in "Contents", so that the project renamed, moved,
// copied or received still finds it; anything else by its full path.
QString storedPath(const QString& path, const QString& contentsFolder) {
    return ContentsFolder::fileInProject(path, contentsFolder).isEmpty()
               ? path
               : QDir(contentsFolder).relativeFilePath(path);
}

} // namespace

QuartzSlideItem::QuartzSlideItem() {
    setItemType(kItemTypeQuartz);
}

std::shared_ptr<QuartzSlideItem> QuartzSlideItem::initWithCoder(platform::KeyedUnarchiver& coder) {
    auto slide = platform::makeMainThreadShared<QuartzSlideItem>();
    slide->decodeFields(coder);
    return slide;
}

// The composition's files are kept with the slide: without them a reloaded composition slide would show
// nothing ever again. Nothing is read yet: the stored paths may lead anywhere (locateFilesInProject).
void QuartzSlideItem::decodeFields(platform::KeyedUnarchiver& coder) {
    SlideItem::decodeFields(coder);
    setItemType(kItemTypeQuartz);
    fields.with([&coder](Fields& f) {
        f.storedQuartzFilePath = archive::decodeString(coder, "strQuartzFilePath");
        f.storedVideoFilePath = archive::decodeString(coder, "strVideoFilePath");
    });
    setBVideoItem(coder.decodeBool("bVideoItem"));
}

void QuartzSlideItem::encodeWithCoder(platform::KeyedArchiver& coder) const {
    SlideItem::encodeWithCoder(coder);
    const Fields f = fields.get();
    coder.encodeObject(archive::objectOrNil(f.storedQuartzFilePath), "strQuartzFilePath");
    coder.encodeObject(archive::objectOrNil(f.storedVideoFilePath), "strVideoFilePath");
    coder.encodeBool(bVideoItem(), "bVideoItem");
}

QString QuartzSlideItem::compositionPathInProject(const QString& stored, const QString& contentsFolder) {
    if (stored.isEmpty() || contentsFolder.isEmpty())
        return QString();
    const QString found = QDir::isAbsolutePath(stored)
                              ? ContentsFolder::projectOrResourceFile(stored, contentsFolder)
                              : ContentsFolder::fileInProject(contentsFolder + "/" + stored, contentsFolder);
    if (!found.isEmpty())
        return found;
    const QString name = QFileInfo(stored).fileName();
    return name.isEmpty() ? QString()
                          : ContentsFolder::fileInProject(contentsFolder + "/" + name, contentsFolder);
}

bool QuartzSlideItem::locateFilesInProject(const QString& contentsFolder) {
    return fields.with([&contentsFolder](Fields& f) {
        f.quartzFilePath = compositionPathInProject(f.storedQuartzFilePath, contentsFolder);
        if (!f.quartzFilePath.isEmpty())
            f.storedQuartzFilePath = storedPath(f.quartzFilePath, contentsFolder);
        f.videoFilePath = f.storedVideoFilePath.isEmpty()
                              ? QString()
                              : ContentsFolder::clipInProject(f.storedVideoFilePath, contentsFolder);
        return !f.quartzFilePath.isEmpty() && f.videoFilePath.isEmpty() == f.storedVideoFilePath.isEmpty();
    });
}

bool QuartzSlideItem::isMediaFileUsable() const {
    const QString path = mediaFilePath();
    return isPresentFile(path) && QFileInfo(path).size() > 0;
}

bool QuartzSlideItem::isPresentIn(const QString& contentsFolder) const {
    return !compositionPathInProject(fields.get(&Fields::storedQuartzFilePath), contentsFolder).isEmpty();
}

QStringList QuartzSlideItem::filesForDeleting() const {
    return SlideItem::filesForDeleting() << strQuartzFilePath();
}

std::shared_ptr<SlideItem> QuartzSlideItem::copy() const {
    auto other = platform::makeMainThreadShared<QuartzSlideItem>();
    Fields files = fields.get();
    files.context.reset();
    other->fields.set(std::move(files));
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

void QuartzSlideItem::setStrQuartzFilePath(const QString& path, const QString& contentsFolder) {
    const QString stored = storedPath(path, contentsFolder);
    fields.with([&](Fields& f) {
        f.quartzFilePath = path;
        f.storedQuartzFilePath = stored;
    });
}

QString QuartzSlideItem::strVideoFilePath() const {
    return fields.get(&Fields::videoFilePath);
}

void QuartzSlideItem::setStrVideoFilePath(const QString& path) {
    fields.with([&path](Fields& f) { f.videoFilePath = f.storedVideoFilePath = path; });
}
