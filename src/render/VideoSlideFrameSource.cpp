#include "render/VideoSlideFrameSource.h"

#include "platform/gl/Context.h"
#include "platform/gl/DriverLock.h"

#include <new>
#include <vector>

VideoSlideFrameSource::VideoSlideFrameSource(std::shared_ptr<VideoSlideItem> clip) : item(std::move(clip)) {}

VideoSlideFrameSource::~VideoSlideFrameSource() {
    endShowing();
}

void VideoSlideFrameSource::endShowing() {
    // A pass opened ahead that is here, or on its way, came too late for the showing that ends: the next
    // showing has its own opened when it is due.
    std::unique_ptr<VideoSlideItem::ReadingAhead> late;
    {
        std::unique_lock lock(aheadMutex);
        while (preparing)
            platform::gl::waitOutsideGl(lock,
                                        [&](auto& held) { prepared.wait(held, [&] { return !preparing; }); });
        late = std::move(ahead);
    }
    late.reset();
    item->endShowing();
}

std::shared_ptr<SlideFrameSource> VideoSlideFrameSource::make(const std::shared_ptr<SlideItem>& slide) {
    auto clip = std::dynamic_pointer_cast<VideoSlideItem>(slide);
    if (!clip || clip->strVideoFilePath().isEmpty())
        return nullptr;
    return std::make_shared<VideoSlideFrameSource>(std::move(clip));
}

bool VideoSlideFrameSource::LoadOneFrameToOpenGLTexture(quint64 frame) {
    std::unique_ptr<VideoSlideItem::ReadingAhead> opened;
    {
        const std::lock_guard lock(aheadMutex);
        opened = std::move(ahead);
    }
    const bool loaded = item->LoadOneFrameToOpenGLTexture(frame, *this, opened);
    if (opened) { // no pass started: it waits for the next one
        const std::lock_guard lock(aheadMutex);
        if (!ahead)
            ahead = std::move(opened);
    }
    return loaded;
}

void VideoSlideFrameSource::prepareAhead() {
    {
        const std::lock_guard lock(aheadMutex);
        if (ahead || preparing)
            return;
        preparing = true;
    }
    auto opened = item->openReadingAhead();
    {
        const std::lock_guard lock(aheadMutex);
        preparing = false;
        if (!ahead)
            ahead = std::move(opened);
    }
    prepared.notify_all();
}

QSize VideoSlideFrameSource::dimensions() const {
    return item->videoDimensions();
}

int VideoSlideFrameSource::orientation() const {
    return item->videoOrientation();
}

GLuint VideoSlideFrameSource::videoTexture() const {
    const std::lock_guard lock(mutex);
    return m_textureHandle.get();
}

platform::gl::ObjectName VideoSlideFrameSource::createVideoTextuerUsingWidth(int width, int height) {
    if (width <= 0 || height <= 0)
        return {};
    std::vector<unsigned char> grey;
    try {
        grey.assign(std::size_t(width) * std::size_t(height) * 4, 128);
    } catch (const std::bad_alloc&) {
        return {};
    }
    auto name = platform::gl::ObjectName::genTexture();
    glBindTexture(GL_TEXTURE_2D, name.get());
    glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_FALSE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    // Stored BGRA, like the frames uploaded into it: no conversion per frame, and the rasteriser's fast
    // paths.
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_BGRA, GL_UNSIGNED_BYTE, grey.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    return name;
}

void VideoSlideFrameSource::uploadVideoFrame(const QImage& given) {
    if (given.isNull())
        return;
    // 0xAARRGGBB words: B, G, R, A bytes on the little-endian machines we run on.
    const bool bgra = given.format() == QImage::Format_ARGB32 || given.format() == QImage::Format_RGB32 ||
                      given.format() == QImage::Format_ARGB32_Premultiplied;
    const QImage frame = bgra ? given : given.convertToFormat(QImage::Format_ARGB32);
    // Uploads are made under the driver lock, one at a time; the source's lock guards only the handle that
    // the player reads, and no call into the driver is made under it.
    const platform::gl::DriverLock driver;
    const QSize size = frame.size();
    GLuint name = 0;
    {
        const std::lock_guard lock(mutex);
        if (m_textureHandle && size == textureSize)
            name = m_textureHandle.get();
    }
    if (name == 0) {
        platform::gl::ObjectName made = createVideoTextuerUsingWidth(size.width(), size.height());
        name = made.get();
        {
            const std::lock_guard lock(mutex);
            std::swap(m_textureHandle, made);
            textureSize = m_textureHandle ? size : QSize();
        } // the texture it replaces is deleted here, with the lock let go
        if (name == 0)
            return;
    }
    glBindTexture(GL_TEXTURE_2D, name);
    // Decoders pad their rows; GL reads each row from its own start.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, GLint(frame.bytesPerLine() / 4));
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, size.width(), size.height(), GL_BGRA, GL_UNSIGNED_BYTE,
                    frame.constBits());
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glBindTexture(GL_TEXTURE_2D, 0);
}
