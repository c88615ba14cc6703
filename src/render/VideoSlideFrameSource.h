#pragma once

#include "model/VideoSlideItem.h"
#include "platform/gl/DriverLock.h"
#include "platform/gl/ShareGroup.h"
#include "render/SlideFrameSource.h"

#include <condition_variable>
#include <memory>
#include <mutex>

// The texture of a clip slide: the slide reads and paces the clip's frames, this uploads each new frame
// into one GL texture of the main share group, row stride and all.
class VideoSlideFrameSource : public SlideFrameSource, public VideoFrameTarget {
public:
    explicit VideoSlideFrameSource(std::shared_ptr<VideoSlideItem> clip);
    // The source goes once nothing shows the slide or has it queued, ending the showing: a play that comes
    // back opens the clip and makes its sound again.
    ~VideoSlideFrameSource() override;

    // The factory for item type 3: a source for each clip slide with a file, none otherwise.
    static std::shared_ptr<SlideFrameSource> make(const std::shared_ptr<SlideItem>& slide);

    bool LoadOneFrameToOpenGLTexture(quint64 frame) override;
    // Opens a pass of the clip with its first frame decoded unless one is waiting; the next pass to start
    // takes it. It goes with the source, or with the showing that ends before a pass took it.
    void prepareAhead() override;
    // The clip's reader (its file, its decoder and the decoder's threads), a pass opened ahead that no pass
    // took and the clip's sound player go.
    void endShowing() override;
    GLuint texture() const override { return videoTexture(); }
    QSize dimensions() const override;
    int orientation() const override;
    bool unreadable() const override { return item->clipUnreadable(); }

    GLuint videoTexture() const;
    void uploadVideoFrame(const QImage& frame) override;
    // A texture of w x h mid-grey pixels with linear filters and clamped edges; 0 when it cannot be made.
    static platform::gl::ObjectName createVideoTextuerUsingWidth(int width, int height);

private:
    std::shared_ptr<VideoSlideItem> item;
    // Neither is held while the clip reads or asks for the driver lock.
    platform::gl::RankedMutex<> aheadMutex{platform::gl::LockRank::FrameSource,
                                           "VideoSlideFrameSource::aheadMutex"};
    std::unique_ptr<VideoSlideItem::ReadingAhead> ahead;
    bool preparing = false; // under aheadMutex: the loader is opening a pass ahead
    std::condition_variable_any prepared;
    mutable platform::gl::RankedMutex<> mutex{platform::gl::LockRank::FrameSource,
                                              "VideoSlideFrameSource::mutex"};
    platform::gl::ObjectName m_textureHandle;
    QSize textureSize;
};
