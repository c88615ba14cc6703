#pragma once

#include "platform/gl/GlApi.h"
#include "render/Composition.h"
#include "render/FrameBufferObject.h"

#include <QString>

#include <memory>

namespace platform::gl {
class Context;
}

// Renders a composition off screen, at a given time, into the texture of a frame buffer of its own, on a
// context of its own that shares textures with the context handed in. A composition slide owns one and the
// slide renderer draws its texture on every frame of the slide. Compositions that publish them get
// "MoviePath" (the clip to show), "Looping" (NO) and "percentDone" (the part of the slide played).
//
// A render leaves the caller as it found it: the caller's context current again, with its own frame buffer
// bindings and viewport, whatever target the caller was drawing into.
class OffscreenRenderer {
    struct Private {
        explicit Private() = default;
    };

public:
    // Null, with *error set, unless the path is given, the target is the 2D or the rectangle texture target,
    // both sides are at least 16 pixels, a context is given, a context sharing with it can be made and a
    // format reads the composition. Renders once at time 0.
    static std::unique_ptr<OffscreenRenderer> create(const QString& compositionPath, GLenum textureTarget,
                                                     int width, int height,
                                                     std::shared_ptr<platform::gl::Context> context,
                                                     const QString& videoPath, QString* error = nullptr);
    OffscreenRenderer(Private, std::shared_ptr<platform::gl::Context> textureContext,
                      std::unique_ptr<platform::gl::Context> ownContext);
    // Lets the composition and the frame buffer go on the renderer's own context.
    ~OffscreenRenderer();
    OffscreenRenderer(const OffscreenRenderer&) = delete;
    OffscreenRenderer& operator=(const OffscreenRenderer&) = delete;

    // Renders the composition at `seconds` into auxFrameBuffer and answers the composition's result; true
    // without drawing once stopped.
    bool updateTextureForTime(double seconds);
    // Binds auxFrameBuffer for drawing on the context that is current, cleared to opaque black with the
    // viewport on all of it, so that the caller draws into the texture the renders go to. A frame buffer is
    // known only to the context it was made on: a buffer handed in is bound on the caller's, while the
    // renderer's own is refused (false, nothing bound) on any context but the renderer's, since its name
    // there would be another frame buffer.
    bool _updateTextureOnTargetContext();
    // Ends the rendering for good: the composition goes, later renders draw nothing.
    void stop();
    bool isStopped() const { return bStopped; }

    // The frame buffer whose texture receives the renders: the renderer's own, or the one handed in.
    FrameBufferObject* auxFrameBuffer() const { return handedIn ? handedIn.get() : frameBuffer.get(); }
    // Makes the renders go to the texture of `buffer` (made on any context of the share group); null goes
    // back to a texture of the renderer's own. False, with nothing changed, for a buffer without a texture.
    bool setTomFrameBuffer(std::unique_ptr<FrameBufferObject> buffer);
    // The texture the renders go to: a 2D texture of auxFrameBuffer's size, seen through coordinates from
    // 0 to 1.
    GLenum textureTarget() const { return textureName() ? GLenum(GL_TEXTURE_2D) : 0; }
    GLuint textureName() const { return auxFrameBuffer() ? auxFrameBuffer()->texture() : 0; }
    int textureWidth() const { return auxFrameBuffer() ? auxFrameBuffer()->texWidth() : 0; }
    int textureHeight() const { return auxFrameBuffer() ? auxFrameBuffer()->texHeight() : 0; }
    float textureCoordSMin() const { return 0.0f; }
    float textureCoordSMax() const { return 1.0f; }
    float textureCoordTMin() const { return 0.0f; }
    float textureCoordTMax() const { return 1.0f; }
    Composition* composition() const { return loaded.get(); }
    // Seconds of the slide, for "percentDone".
    float duration() const { return slideSeconds; }
    void setDuration(float seconds) { slideSeconds = seconds; }
    QString strVideoFilePath() const { return videoFilePath; }
    void setStrVideoFilePath(const QString& path) { videoFilePath = path; }

private:
    std::shared_ptr<platform::gl::Context> _textureContext;
    std::unique_ptr<platform::gl::Context> _pixelBufferContext;
    std::unique_ptr<Composition> loaded;
    // Frame buffers are not shared between contexts: the renders always go through one of the renderer's
    // own context, into the texture of the one handed in when there is one.
    std::unique_ptr<FrameBufferObject> frameBuffer;
    std::unique_ptr<FrameBufferObject> handedIn;
    float slideSeconds = 0.0f;
    bool bStopped = false;
    QString videoFilePath;
};
