#pragma once

#include "platform/gl/Context.h"
#include "render/FramePump.h"

#include <QSize>

#include <functional>
#include <memory>
#include <optional>

class ExportPictureLook;
class FrameConverterObject;
class RGBConverterObject;
class SlideshowDirector;

// The renderer of the real pumps: the timeline player draws the show off screen at the class-level output
// size, on a context of the pump's own that shares with the player's main context, and the RGB converter
// (the YUV converter for a play of YUV frames) reads each frame back into the pipe or into a caller's
// buffer. While it plays, the play is the export's: the preview draws nothing, and the window's stop, rewind
// or play leave it alone. Used on the pump's thread only.
class DirectorFrameRenderer : public FrameRenderer {
public:
    using Factory = std::function<std::unique_ptr<FrameRenderer>()>;

    explicit DirectorFrameRenderer(std::shared_ptr<SlideshowDirector> director);
    ~DirectorFrameRenderer() override;

    // Renderers for the pumps of exports that play through this player.
    static Factory factory(std::shared_ptr<SlideshowDirector> director);

    // Frames of this size instead of the class-level output size.
    void setFrameSize(QSize frameSize) { requestedSize = frameSize; }
    // How long the reader may take to open the pipe (the converter's own limit when unset).
    void setPipeOpenTimeout(double seconds) { pipeOpenTimeout = seconds; }

    bool begin(const Play& play, QString* error) override;
    quint64 totalFrames() const override { return total; }
    bool renderFrame() override;
    QString renderError() const override { return failure; }
    bool writeFrame(QString* error) override;
    qint64 frameBytes() const override;
    bool readFrame(unsigned char* buffer, qint64 size, QString* error) override;
    bool finishWriting(QString* error) override;
    void end() override;
    // Waits for the end of the export's look at the pictures of its play, which starts once its first frame
    // is drawn (or at this call); its refusal, empty when every picture decodes.
    QString waitForPictureLook();

private:
    bool fail(const QString& message, QString* error);
    // Binds the converter's target for the next frame. The player takes the driver lock itself, after its
    // own.
    bool switchOffScreenFBO();

    std::shared_ptr<SlideshowDirector> director;
    std::shared_ptr<platform::gl::Context> context;
    std::optional<platform::gl::Context::Scope> scope;
    std::shared_ptr<FrameConverterObject> converter;
    RGBConverterObject* rgbConverter = nullptr; // the converter, when it reads BGRA
    QSize size;
    std::optional<QSize> requestedSize;
    std::optional<double> pipeOpenTimeout;
    quint64 total = 0;
    QString failure;
    std::unique_ptr<ExportPictureLook> look; // of the pictures of the play begun
    std::function<bool()> cancelled;
    bool playStarted = false; // the player took this renderer's play: only then does end() end it
};
