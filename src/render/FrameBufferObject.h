#pragma once

#include "platform/gl/FrameBuffer.h"

#include <optional>

// An off-screen drawing target: a platform frame buffer (a colour texture with a 24-bit depth renderbuffer)
// that may be remade at another size. The player draws the two slides of a transition into two of these and
// the transition draws their textures. Made with a context current; it may be destroyed on any thread.
class FrameBufferObject {
public:
    FrameBufferObject() = default;
    FrameBufferObject(const FrameBufferObject&) = delete;
    FrameBufferObject& operator=(const FrameBufferObject&) = delete;

    // Makes (or remakes) the GL objects at the given size. False, with nothing made, when GL's renderbuffer
    // limit does not exceed both sides or a side is 0, and with nothing left when GL cannot make them.
    bool initFBOWithWidth(unsigned width, unsigned height);
    // At the open project's screen size (nScreenWidth x nScreenHeight).
    bool initFBO();
    // Binds the frame buffer, clears colour (opaque black) and depth and sets the viewport to all of it.
    // False, with the frame buffer bound and nothing cleared, when it is not complete.
    bool switchToFBO();
    // Binds the given frame buffer (the caller's own target; 0 by default).
    static bool switchbackToSystemFBO(GLuint framebuffer = 0);

    bool isValid() const { return frame.has_value(); }
    GLuint framebufferName() const { return frame ? frame->name() : 0; }
    // The texture that receives the drawing: the frame buffer's own, or the one set in its place.
    GLuint texture() const { return frame ? frame->attachedColourTexture() : 0; }
    // Makes a texture of the caller's, of the frame buffer's size, receive the drawing from now on; 0 goes
    // back to the frame buffer's own. False, with nothing changed, without a frame buffer or for anything
    // but a 2D texture of that size. The caller keeps the texture alive while it is set; a remake of the
    // frame buffer lets go of it.
    bool setTexture(GLuint texture);
    int texWidth() const { return width; }
    int texHeight() const { return height; }
    int maxRenderbufferSize() const { return maxSize; }

private:
    std::optional<platform::gl::FrameBuffer> frame;
    int width = 0;
    int height = 0;
    int maxSize = 0;
};
