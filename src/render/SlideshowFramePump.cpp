#include "render/SlideshowFramePump.h"

#include "platform/gl/Context.h"
#include "platform/gl/GlError.h"
#include "render/RGBConverterObject.h"
#include "render/SlideshowDirector.h"

namespace {

SlideshowFramePump::Result failed(SlideshowFramePump::Result result, const QString& error) {
    result.ok = false;
    result.error = error;
    return result;
}

} // namespace

SlideshowFramePump::Result SlideshowFramePump::run(SlideshowDirector& director,
                                                   const std::vector<std::shared_ptr<SlideItem>>& slides,
                                                   const Options& options) {
    Result result;
    if (options.width <= 0 || options.height <= 0)
        return failed(
            result,
            QStringLiteral("No frames of %1 x %2 can be made").arg(options.width).arg(options.height));
    std::shared_ptr<platform::gl::Context> context;
    try {
        context = director.CreateShareOpenGLContext();
    } catch (const platform::gl::GlError& error) {
        return failed(result, QString::fromUtf8(error.what()));
    }
    if (!context)
        return failed(result, QStringLiteral("The player has no context to share"));
    const platform::gl::Context::Scope scope(*context);

    auto converter = std::make_shared<RGBConverterObject>(options.width, options.height);
    converter->setContext(context);
    converter->setStrVideoFIFOFullPath(options.pipePath);
    converter->setCancelled(options.cancelled);
    converter->setPipeOpenTimeout(options.openTimeoutSeconds);
    if (!converter->switchOffScreenFBO())
        return failed(result, converter->errorString());

    // The converter is set before the play starts, so that the preview draws nothing from here on.
    director.setRgbConverterObject(converter);
    director.setSlideshowArray(slides);
    director.setNCurrentFrame(0);
    result.totalFrames = director.nTotalFrames();
    result.ok = true;
    while (result.framesWritten < result.totalFrames) {
        if (options.cancelled && options.cancelled()) {
            result.cancelled = true;
            result = failed(result, QStringLiteral("The export was cancelled"));
            break;
        }
        converter->switchOffScreenFBO();
        if (!director.playOneFrame())
            break;
        if (!converter->convertFIFO()) {
            result.cancelled = options.cancelled && options.cancelled();
            result = failed(result, converter->errorString());
            break;
        }
        ++result.framesWritten;
        if (options.progress)
            options.progress(result.framesWritten, result.totalFrames);
    }
    if (result.ok && result.framesWritten < result.totalFrames)
        result = failed(result, QStringLiteral("The show ended after %1 of %2 frames")
                                    .arg(result.framesWritten)
                                    .arg(result.totalFrames));
    director.setRgbConverterObject(nullptr);
    return result;
}
