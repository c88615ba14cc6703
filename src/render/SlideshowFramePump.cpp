#include "render/SlideshowFramePump.h"

#include "render/DirectorFrameRenderer.h"
#include "render/FramePump.h"
#include "render/SlideshowDirector.h"

SlideshowFramePump::Result SlideshowFramePump::run(SlideshowDirector& director,
                                                   const std::vector<std::shared_ptr<SlideItem>>& slides,
                                                   const Options& options) {
    Result result;
    if (options.width <= 0 || options.height <= 0) {
        result.error =
            QStringLiteral("No frames of %1 x %2 can be made").arg(options.width).arg(options.height);
        return result;
    }
    DirectorFrameRenderer renderer(director.shared_from_this());
    renderer.setFrameSize(QSize(options.width, options.height));
    renderer.setPipeOpenTimeout(options.openTimeoutSeconds);

    FramePump::Options pump;
    pump.slides = slides;
    pump.pipePath = options.pipePath;
    pump.yuvFrames = options.yuvFrames;
    pump.skipFirstFrame = false; // these streams carry every frame of the show
    pump.stopBeforeRender = options.cancelled;
    quint64 written = 0;
    if (options.progress)
        pump.progress = [&](double fraction) {
            if (fraction >= 1.0)
                return; // the pump's closing call; every frame has been counted already
            options.progress(++written, renderer.totalFrames());
        };
    const FramePump::Outcome outcome = FramePump::run(renderer, pump);
    result.totalFrames = outcome.totalFrames;
    result.framesWritten = outcome.framesWritten;
    result.ok = outcome.end == FramePump::Outcome::End::Completed;
    result.cancelled = options.cancelled && options.cancelled();
    result.error = result.ok                                     ? QString()
                   : result.cancelled && outcome.error.isEmpty() ? QStringLiteral("The export was cancelled")
                                                                 : outcome.error;
    return result;
}
