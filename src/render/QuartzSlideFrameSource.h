#pragma once

#include "model/QuartzSlideItem.h"
#include "render/OffscreenRenderer.h"
#include "render/SlideFrameSource.h"

#include <memory>

// The picture of a composition slide: its composition rendered off screen, at the slide's size, at the time
// of each frame the renderer draws.
class QuartzSlideFrameSource : public SlideFrameSource {
public:
    QuartzSlideFrameSource(std::shared_ptr<QuartzSlideItem> slide,
                           std::unique_ptr<OffscreenRenderer> renderer);

    // The factory for item type 2: the slide's composition opened on a context sharing with the one the slide
    // was opened with (else the player's main context), handed the slide's clip and its photo duration. None
    // for a slide without a composition file or when the composition does not load.
    static std::shared_ptr<SlideFrameSource> make(const std::shared_ptr<SlideItem>& slide);

    // Renders frame n of the slide's motion at n / frame rate seconds.
    bool LoadOneFrameToOpenGLTexture(quint64 frame) override;
    GLuint texture() const override;
    QSize dimensions() const override;

    OffscreenRenderer* myQuartzBufferRender() const { return renderer.get(); }

private:
    std::shared_ptr<QuartzSlideItem> item;
    // Used under the driver lock, which lets one thread at a time into the renderer as into the driver.
    std::unique_ptr<OffscreenRenderer> renderer;
};
