#pragma once

#include "model/SlideItem.h"

#include <QSize>

#include <memory>

namespace platform::gl {
class Context;
}

// The slide of a composition (item type 2): its picture is a composition file rendered off screen for every
// frame of the slide, on its own at 1280 x 720 or over a video clip whose path the composition receives.
// The rendering belongs to the engine, which makes the slide's renderer when it loads the slide's textures
// and shares it with the context handed to openComposition.
class QuartzSlideItem : public SlideItem {
public:
    QuartzSlideItem();

    // Decodes a composition slide (registered for "QuartzSlideItem").
    static std::shared_ptr<QuartzSlideItem> initWithCoder(platform::KeyedUnarchiver& coder);
    QStringList archiveClassNames() const override {
        return {QStringLiteral("QuartzSlideItem"), QStringLiteral("SlideItem")};
    }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    // A composition slide of the same files, durations and size.
    std::shared_ptr<SlideItem> copy() const override;

    // Sizes the slide for its composition: over a clip, the clip's picture size and a photo part of the
    // clip's length (less the transition, or the whole clip with no transition when the clip is not longer
    // than it); on its own, 1280 x 720. The renderer the engine makes shares with `context`. Always true.
    bool openComposition(std::shared_ptr<platform::gl::Context> context);
    // The size the composition renders at: the slide's, or when it has none (a slide read back from a
    // project, whose size is not stored) the clip's picture over a clip, else 1280 x 720.
    QSize compositionSize();
    // Ends the rendering for good: the composition is let go and the picture no longer changes.
    void stop();
    bool isStopped() const { return stopped.load(); }
    std::shared_ptr<platform::gl::Context> compositionContext() const;

    bool iSItemReady() const override { return true; }
    QString mediaFilePath() const override { return strQuartzFilePath(); }
    // The composition is there and holds something; only the engine can read it.
    bool isMediaFileUsable() const override;
    // The composition a stored path stands for in the project whose "Contents" folder is given: a place in
    // "Contents", or at a full path (as earlier projects stored it) the project's own file or one of our
    // compositions; else a file of its name in "Contents", where a project renamed, moved, copied or
    // received keeps its copy. Empty when the project holds none.
    static QString compositionPathInProject(const QString& stored, const QString& contentsFolder);
    // The stored composition becomes the file compositionPathInProject finds, the stored clip the project's
    // own clip (as a clip slide's); whatever else they name is missing.
    bool locateFilesInProject(const QString& contentsFolder) override;
    // The composition is what the slide shows: it has no picture of its own.
    bool isPresentIn(const QString& contentsFolder) const override;

    // The files the slide renders; a read slide has none until its project locates them. The setters
    // take the paths a person chose; a composition that is a file of the project whose "Contents" folder
    // is given is stored by its place there.
    QString strQuartzFilePath() const;
    void setStrQuartzFilePath(const QString& path, const QString& contentsFolder = QString());
    bool bVideoItem() const { return videoItem.load(); }
    void setBVideoItem(bool value) { videoItem = value; }
    QString strVideoFilePath() const;
    void setStrVideoFilePath(const QString& path);

protected:
    void decodeFields(platform::KeyedUnarchiver& coder) override;
    // Its composition too, when it is the project's copy; one of ours stays.
    QStringList filesForDeleting() const override;

private:
    // Threads: the loader thread reads the paths and the context while the main thread may set them; they
    // are guarded together in `fields`, the flags are atomic, and sizeDecision makes the size one decision.
    struct Fields {
        QString quartzFilePath, videoFilePath;             // the files rendered
        QString storedQuartzFilePath, storedVideoFilePath; // as chosen or read, and stored again
        std::shared_ptr<platform::gl::Context> context;
    };
    platform::Guarded<Fields> fields;
    std::mutex sizeDecision;
    std::atomic<bool> videoItem{false};
    std::atomic<bool> stopped{false};
};
