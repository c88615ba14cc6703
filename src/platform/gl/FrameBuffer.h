#pragma once

#include "platform/gl/GlApi.h"
#include "platform/gl/ShareGroup.h"

#include <QImage>

namespace platform::gl {

// A framebuffer object of a fixed size with an RGBA8 colour attachment (a texture stored as BGRA, or a
// renderbuffer) and a 24-bit depth renderbuffer, attached until told otherwise. Made and used with a context
// current; its names go through the share group, so it may be destroyed on any thread.
class FrameBuffer {
public:
    enum class ColourAttachment { Texture, Renderbuffer };

    // Throws GlError with no current context, a size outside 1..GL_MAX_RENDERBUFFER_SIZE or an incomplete
    // framebuffer. Leaves the caller's framebuffer, texture and renderbuffer bindings as they were.
    FrameBuffer(int width, int height, ColourAttachment colour = ColourAttachment::Texture);

    GLuint name() const { return framebuffer.get(); }
    // The frame buffer's own colour texture; 0 for a renderbuffer attachment.
    GLuint colourTexture() const { return colourKind == ColourAttachment::Texture ? colour.get() : 0; }
    // The texture that receives the colour: one attached in place of the own colour, else the own texture.
    GLuint attachedColourTexture() const { return borrowedColour ? borrowedColour : colourTexture(); }
    // Attaches `texture`, a 2D texture of the frame buffer's size made on any context of the share group, as
    // the colour in place of the own one; 0 or the own texture puts the own colour back. False, with the
    // colour before kept, for anything else or when the frame buffer would not be complete with it. The
    // caller keeps the texture alive while it is attached. Leaves the caller's bindings as they were.
    bool attachColourTexture(GLuint texture);
    int width() const { return frameWidth; }
    int height() const { return frameHeight; }

    // Binds the framebuffer for drawing and reading and sets the viewport to all of it.
    void bind() const;
    // Reads a rectangle (GL coordinates, origin bottom left) without disturbing the caller's bindings.
    QImage readPixelsBGRA(int x, int y, int w, int h) const;
    QImage readPixelsBGRA() const { return readPixelsBGRA(0, 0, frameWidth, frameHeight); }

    // Without a depth attachment a software rasteriser draws flat, axis-aligned pictures on its fast path;
    // only intersecting 3D geometry needs one. The contents of a detached depth buffer are undefined.
    void setDepthAttached(bool attached);
    bool isDepthAttached() const { return depthAttached; }
    // The same for the framebuffer bound for drawing on the current context, when it is one of ours.
    static void setDepthAttachedToBound(bool attached);

    FrameBuffer(const FrameBuffer&) = delete;
    FrameBuffer& operator=(const FrameBuffer&) = delete;
    ~FrameBuffer();

private:
    // Attaches the borrowed texture, or the own colour for 0, to the bound framebuffer.
    void attachColour(GLuint borrowed);

    ObjectName framebuffer;
    ObjectName colour;
    ObjectName depth;
    GLuint borrowedColour = 0;
    ColourAttachment colourKind;
    const void* owningContext = nullptr;
    bool depthAttached = true;
    int frameWidth;
    int frameHeight;
};

// Reads a rectangle of the bound read framebuffer (GL coordinates, origin bottom left) into a QImage of
// Format_ARGB32, whose pixels are B, G, R, A bytes in memory on little-endian machines. Row 0 of the image is
// the top row of the rectangle. Honours the caller's GL_PACK_ALIGNMENT. Answers a null image for an empty
// rectangle and throws GlError when GL reports an error on the read.
QImage readPixelsBGRA(int x, int y, int w, int h);

} // namespace platform::gl
