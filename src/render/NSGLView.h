#pragma once

#include "platform/gl/Context.h"
#include "platform/gl/FrameBuffer.h"
#include "render/DisplayLink.h"
#include "render/OpenGLRenderObject.h"
#include "render/ThemeImageFilter.h"

#include <QImage>
#include <QObject>
#include <QSize>
#include <QSizeF>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

class PreviewController;
class SharedShaderPrograms;
class TextureObject;

// The preview: the system's main GL context and an off-screen target of the view's pixel size on it. A
// display link calls it once per display refresh on the link's own thread; while the controller plays, it
// draws one frame of the timeline (unless the player's clock says to drop this tick) and hands the finished
// frame as a picture through frameReady, which a plain widget (PreviewWidget) paints. Resizing and drawing
// take the main context's lock; a frame that waits for a slide lets it go, and one resized meanwhile is not
// handed out.
class NSGLView : public QObject, public PreviewDrawable {
    Q_OBJECT
public:
    explicit NSGLView(PreviewController* controller, QObject* parent = nullptr,
                      std::shared_ptr<DisplayLinkTimeSource> time = DisplayLinkTimeSource::steady(),
                      double refreshPeriod = 1.0 / 60.0);
    ~NSGLView() override;

    // Makes the main context, the render object and the player, hands them to the controller, and starts
    // the display link. Throws platform::gl::GlError when no GL can be had.
    void prepareOpenGL(float backingScaleFactor = 1.0f);
    // The view's new size in backing pixels.
    void reshape(const QSize& pixelSize);

    // The display link's callback; draws only while the controller plays. Answers 0.
    int getFrameForTime(double outputTime, double currentTime);
    void drawView();

    // Still pictures outside the player's frame loop: with the main context current and locked, the view's
    // target bound and cleared black and the preview's viewport and aspect ratio set, runs draw with the
    // shared programs, then hands the frame out as frameReady. Nothing happens before the view has a size.
    // The caller keeps the player stopped meanwhile.
    void drawStill(const std::function<void(const SharedShaderPrograms&)>& draw);
    // A texture of a picture, made on the main context; null when it cannot be read.
    std::shared_ptr<TextureObject> loadTexture(const QString& path);
    std::shared_ptr<TextureObject> loadTexture(const QImage& picture);

    // A drag over the view of (dx, dy) points on a view of `viewSize` points: pan and zoom or text moves,
    // depending on what the project is editing, so that either follows the pointer.
    void mouseDragged(double dx, double dy, const QSizeF& viewSize);
    // The slide's photo as the preview shows it: its own size, and where the picture drawn of it (framed by
    // the theme or not) holds it.
    struct ShownPhoto {
        QSize size;
        ThemedPhotoPlacement placed;
    };
    // A move of stage pixels in pixels of the photo, its picture fitted into a stage of that many pixels.
    // Without a photo, one as large as the stage stands in for it.
    static QPointF stagePixelsToPhoto(const QPointF& move, const QSize& stage, const ShownPhoto& photo);
    static constexpr QSizeF kStageSize{1920.0, 1080.0};

    PreviewController* slideshowMainObj() const { return controller; }
    OpenGLRenderObject* renderer() const { return renderObject.get(); }
    std::shared_ptr<platform::gl::Context> mainContext() const { return context; }
    DisplayLink* displayLink() const { return link.get(); }
    QImage lastFrame() const;
    QSize pixelSize() const;

    // PreviewDrawable
    GLuint bindDrawable() override;
    void flushBuffer() override;

signals:
    // A finished frame, emitted on the display link's thread.
    void frameReady(const QImage& frame);

private:
    void initGL(float backingScaleFactor);
    static ShownPhoto currentPhoto();

    PreviewController* controller;
    std::shared_ptr<DisplayLinkTimeSource> timeSource;
    double period;
    std::shared_ptr<platform::gl::Context> context;
    std::unique_ptr<OpenGLRenderObject> renderObject;
    std::unique_ptr<platform::gl::FrameBuffer> target;
    // Under the main context: each new target counts one on, and a frame remembers the one it bound.
    std::uint64_t targetGeneration = 0;
    std::uint64_t boundGeneration = 0;
    std::unique_ptr<DisplayLink> link;
    mutable std::mutex frameMutex;
    QImage frame;
    QSize size;
};
