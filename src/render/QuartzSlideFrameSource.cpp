#include "render/QuartzSlideFrameSource.h"

#include "model/SlideshowProject.h"
#include "platform/gl/Context.h"
#include "platform/gl/DriverLock.h"
#include "render/SlideshowDirector.h"

namespace {

std::shared_ptr<platform::gl::Context> sharedContextFor(const QuartzSlideItem& slide) {
    if (auto context = slide.compositionContext())
        return context;
    const auto project = SlideshowProject::currentMainProject();
    const auto player = project ? std::dynamic_pointer_cast<SlideshowDirector>(project->director()) : nullptr;
    return player ? player->mainContext() : nullptr;
}

} // namespace

QuartzSlideFrameSource::QuartzSlideFrameSource(std::shared_ptr<QuartzSlideItem> slide,
                                               std::unique_ptr<OffscreenRenderer> made)
    : item(std::move(slide)), renderer(std::move(made)) {}

std::shared_ptr<SlideFrameSource> QuartzSlideFrameSource::make(const std::shared_ptr<SlideItem>& slide) {
    auto composition = std::dynamic_pointer_cast<QuartzSlideItem>(slide);
    if (!composition || composition->strQuartzFilePath().isEmpty())
        return nullptr;
    const QSize size = composition->compositionSize();
    auto renderer = OffscreenRenderer::create(composition->strQuartzFilePath(), GL_TEXTURE_2D, size.width(),
                                              size.height(), sharedContextFor(*composition),
                                              composition->strVideoFilePath());
    if (!renderer)
        return nullptr;
    renderer->setDuration(composition->fSecPhotoDuration());
    if (composition->isStopped())
        renderer->stop();
    return std::make_shared<QuartzSlideFrameSource>(std::move(composition), std::move(renderer));
}

bool QuartzSlideFrameSource::LoadOneFrameToOpenGLTexture(quint64 frame) {
    const platform::gl::DriverLock driver;
    if (item->isStopped() && !renderer->isStopped())
        renderer->stop();
    const unsigned long rate = SlideshowProject::ulFrameRate();
    return renderer->updateTextureForTime(double(frame) / double(rate ? rate : 30));
}

GLuint QuartzSlideFrameSource::texture() const {
    const platform::gl::DriverLock driver;
    return renderer->auxFrameBuffer() ? renderer->auxFrameBuffer()->texture() : 0;
}

QSize QuartzSlideFrameSource::dimensions() const {
    return QSize(item->width(), item->height());
}
