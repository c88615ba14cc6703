#include "render/OffscreenRenderer.h"

#include "platform/gl/Context.h"
#include "platform/gl/DriverLock.h"
#include "platform/gl/GlError.h"
#include "render/CompositionRegistry.h"

#include <algorithm>
#include <optional>

namespace {

std::unique_ptr<OffscreenRenderer> refuse(QString* error, const QString& message) {
    if (error)
        *error = message;
    return nullptr;
}

// The drawing state of the caller's context that a render on another context must not disturb.
struct CallerState {
    platform::gl::Context* context = nullptr;
    GLint drawFramebuffer = 0;
    GLint readFramebuffer = 0;
    GLint viewport[4] = {0, 0, 0, 0};

    static CallerState save() {
        CallerState state;
        state.context = platform::gl::Context::current();
        if (state.context) {
            glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &state.drawFramebuffer);
            glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &state.readFramebuffer);
            glGetIntegerv(GL_VIEWPORT, state.viewport);
        }
        return state;
    }
    void restore() const {
        if (!context || platform::gl::Context::current() != context)
            return;
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, GLuint(drawFramebuffer));
        glBindFramebuffer(GL_READ_FRAMEBUFFER, GLuint(readFramebuffer));
        glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
    }
};

// The part of the slide played at `seconds`. A slide is drawn from what brings it on to what takes it off,
// beyond its own length, and a composition may size things by this part: it never leaves 0..1.
float partPlayed(double seconds, float slideSeconds) {
    if (!(slideSeconds > 0.0f) || !(seconds > 0.0))
        return 0.0f;
    return float(std::min(seconds / double(slideSeconds), 1.0));
}

} // namespace

OffscreenRenderer::OffscreenRenderer(Private, std::shared_ptr<platform::gl::Context> textureContext,
                                     std::unique_ptr<platform::gl::Context> ownContext)
    : _textureContext(std::move(textureContext)), _pixelBufferContext(std::move(ownContext)) {}

std::unique_ptr<OffscreenRenderer> OffscreenRenderer::create(const QString& compositionPath,
                                                             GLenum textureTarget, int width, int height,
                                                             std::shared_ptr<platform::gl::Context> context,
                                                             const QString& videoPath, QString* error) {
    if (compositionPath.isEmpty() ||
        (textureTarget != GL_TEXTURE_2D && textureTarget != GL_TEXTURE_RECTANGLE) || width < 16 ||
        height < 16 || !context)
        return refuse(error,
                      QStringLiteral("A composition renderer needs a file, a 2D or rectangle texture of at "
                                     "least 16 x 16 and a context"));
    std::unique_ptr<platform::gl::Context> own;
    try {
        own = platform::gl::Context::createShared(*context, platform::gl::Context::Use::InsideFrame);
    } catch (const platform::gl::GlError& failure) {
        return refuse(error, QString::fromUtf8(failure.what()));
    }
    auto renderer = std::make_unique<OffscreenRenderer>(Private(), std::move(context), std::move(own));
    {
        // The driver lock before the renderer's context, here as in every call: the player takes that context
        // inside its frame, under the driver lock.
        const platform::gl::DriverLock driver;
        const CallerState caller = CallerState::save();
        {
            const platform::gl::Context::Scope scope(*renderer->_pixelBufferContext);
            QString why;
            renderer->loaded = CompositionRegistry::load(compositionPath, &why);
            if (!renderer->loaded)
                return refuse(error, why);
            renderer->frameBuffer = std::make_unique<FrameBufferObject>();
            if (!renderer->frameBuffer->initFBOWithWidth(unsigned(width), unsigned(height)))
                return refuse(
                    error, QStringLiteral("No frame buffer of %1 x %2 can be made").arg(width).arg(height));
        }
        caller.restore();
    }
    renderer->updateTextureForTime(0.0);
    Composition& composition = *renderer->loaded;
    if (composition.publishesInput(QStringLiteral("MoviePath"))) {
        composition.setValueForInputKey(QStringLiteral("MoviePath"), videoPath);
        if (composition.publishesInput(QStringLiteral("Looping")))
            composition.setValueForInputKey(QStringLiteral("Looping"), false);
    }
    return renderer;
}

OffscreenRenderer::~OffscreenRenderer() {
    const platform::gl::DriverLock driver;
    const platform::gl::Context::Scope scope(*_pixelBufferContext);
    loaded.reset();
    frameBuffer.reset();
    handedIn.reset();
}

bool OffscreenRenderer::setTomFrameBuffer(std::unique_ptr<FrameBufferObject> buffer) {
    if (buffer && buffer->texture() == 0)
        return false;
    const platform::gl::DriverLock driver;
    const CallerState caller = CallerState::save();
    bool drawsThere = false;
    {
        const platform::gl::Context::Scope scope(*_pixelBufferContext);
        if (!buffer) {
            drawsThere = frameBuffer->setTexture(0);
        } else {
            const bool sized = frameBuffer->texWidth() == buffer->texWidth() &&
                               frameBuffer->texHeight() == buffer->texHeight();
            drawsThere = (sized || frameBuffer->initFBOWithWidth(unsigned(buffer->texWidth()),
                                                                 unsigned(buffer->texHeight()))) &&
                         frameBuffer->setTexture(buffer->texture());
        }
    }
    caller.restore();
    if (drawsThere)
        handedIn = std::move(buffer);
    return drawsThere;
}

bool OffscreenRenderer::_updateTextureOnTargetContext() {
    if (!handedIn && platform::gl::Context::current() != _pixelBufferContext.get())
        return false;
    const platform::gl::DriverLock driver;
    return auxFrameBuffer()->switchToFBO();
}

void OffscreenRenderer::stop() {
    bStopped = true;
    const platform::gl::DriverLock driver;
    const platform::gl::Context::Scope scope(*_pixelBufferContext);
    loaded.reset();
}

bool OffscreenRenderer::updateTextureForTime(double seconds) {
    if (bStopped || !loaded)
        return true;
    if (loaded->publishesInput(QStringLiteral("percentDone")))
        loaded->setValueForInputKey(QStringLiteral("percentDone"), partPlayed(seconds, slideSeconds));
    const platform::gl::DriverLock driver;
    const CallerState caller = CallerState::save();
    bool rendered = false;
    {
        const platform::gl::Context::Scope scope(*_pixelBufferContext);
        frameBuffer->switchToFBO();
        rendered = loaded->renderAtTime(seconds);
        // Finished before another context of the share group samples the texture.
        glFinish();
        FrameBufferObject::switchbackToSystemFBO();
    }
    // The Scope put the caller's context back; its bindings are put back as they were, whatever the caller
    // was drawing into (an export's buffer, a transition's, the view).
    caller.restore();
    return rendered;
}
