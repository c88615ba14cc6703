#include "render/DirectorFrameRenderer.h"

#include "model/SlideshowProject.h"
#include "platform/foundation/StringTable.h"
#include "platform/gl/GlError.h"
#include "render/ExportPictureLook.h"
#include "render/RGBConverterObject.h"
#include "render/SlideshowDirector.h"
#include "render/YUVConverterObject.h"

#include <utility>

DirectorFrameRenderer::DirectorFrameRenderer(std::shared_ptr<SlideshowDirector> director)
    : director(std::move(director)) {}

DirectorFrameRenderer::~DirectorFrameRenderer() {
    end();
}

DirectorFrameRenderer::Factory DirectorFrameRenderer::factory(std::shared_ptr<SlideshowDirector> director) {
    return [director]() -> std::unique_ptr<FrameRenderer> {
        if (!director)
            return nullptr;
        return std::make_unique<DirectorFrameRenderer>(director);
    };
}

bool DirectorFrameRenderer::fail(const QString& message, QString* error) {
    if (error)
        *error = message.isEmpty() ? tr_("The slideshow could not be drawn.") : message;
    end();
    return false;
}

bool DirectorFrameRenderer::begin(const Play& play, QString* error) {
    // The window's check before the export read the pictures' headers; those of this play are decoded whole
    // off the window's thread, beside the play.
    look = std::make_unique<ExportPictureLook>(play.slides);
    cancelled = play.cancelled;
    const QSizeF output = SlideshowProject::sizeVideoOutput();
    size = requestedSize.value_or(QSize(int(output.width()), int(output.height())));
    if (size.isEmpty())
        return fail(QString(), error);
    try {
        context = director->CreateShareOpenGLContext();
        if (!context)
            return fail(QString(), error);
        scope.emplace(*context);
    } catch (const platform::gl::GlError& glError) {
        return fail(QString::fromUtf8(glError.what()), error);
    }
    if (play.yuvFrames) {
        converter = std::make_shared<YUVConverterObject>(size.width(), size.height());
        rgbConverter = nullptr;
    } else {
        auto rgb = std::make_shared<RGBConverterObject>(size.width(), size.height());
        rgbConverter = rgb.get();
        converter = std::move(rgb);
    }
    converter->setContext(context);
    converter->setStrVideoFIFOFullPath(play.pipePath);
    converter->setCancelled(play.cancelled);
    if (pipeOpenTimeout)
        converter->setPipeOpenTimeout(*pipeOpenTimeout);
    if (!switchOffScreenFBO())
        return fail(converter->errorString(), error);
    // The play is the export's from here to end(): the window's stop, rewind or play leave it alone.
    if (!director->startExportPlay(play.slides, converter, play.cancelled))
        return fail(tr_("Another export is drawing the slideshow."), error);
    playStarted = true;
    if (const SlideshowProjectRef project = SlideshowProject::currentMainProject())
        project->calcSlideItemsPhotoTransitionDuration();
    total = director->nTotalFrames();
    return true;
}

bool DirectorFrameRenderer::renderFrame() {
    // The player gives each frame the output's shape on this thread itself.
    const bool drawn = switchOffScreenFBO() && director->playExportFrame();
    const QString lost = director->lostSlideFileMessage();
    if (drawn && lost.isEmpty()) {
        look->start();
        failure = look->refusal(); // a picture the play has yet to come to
        return failure.isEmpty();
    }
    // The look names every picture that does not decode, this one among them when it was damaged before
    // the play came to it.
    const QString refused = waitForPictureLook();
    failure = refused.isEmpty() ? lost : refused;
    return false;
}

bool DirectorFrameRenderer::switchOffScreenFBO() {
    return converter->switchOffScreenFBO();
}

// The converter takes the driver lock for its own GL calls: it waits for the encoder between them.
bool DirectorFrameRenderer::writeFrame(QString* error) {
    if (converter->convertFIFO())
        return true;
    if (error)
        *error = converter->errorString();
    return false;
}

qint64 DirectorFrameRenderer::frameBytes() const {
    return converter ? converter->nYUVBUffSize() : 0;
}

bool DirectorFrameRenderer::readFrame(unsigned char* buffer, qint64 bufferSize, QString* error) {
    if (converter && converter->convert(buffer, bufferSize))
        return true;
    if (error)
        *error = converter ? converter->errorString() : tr_("The slideshow could not be drawn.");
    return false;
}

bool DirectorFrameRenderer::finishWriting(QString* error) {
    if (!rgbConverter || rgbConverter->flushFIFO())
        return true;
    if (error)
        *error = converter->errorString();
    return false;
}

QString DirectorFrameRenderer::waitForPictureLook() {
    return look ? look->waitForRefusal(cancelled) : QString();
}

void DirectorFrameRenderer::end() {
    // A play the player refused, or never got to, is another export's or none: it is not this one's to end.
    if (std::exchange(playStarted, false))
        director->endExportPlay();
    rgbConverter = nullptr;
    converter.reset(); // closes the pipe: the reader sees the end of the stream
    scope.reset();
    context.reset();
    look.reset();
}
