#pragma once

#include "render/FrameBufferObject.h"
#include "render/FramePipeWriter.h"

#include <QString>

#include <functional>
#include <memory>

namespace platform::gl {
class Context;
}

// The read-back stage of an export: an off-screen frame buffer of the output size on the exporting thread's
// context, into which the player draws each finished frame while the converter is set on it. Converters
// that read the frame back (RGB, YUV) build on this base; the base reads nothing back.
//
// A converter belongs to the one thread that pumps the frames. Its context must be current there (the pump
// holds a platform::gl::Context::Scope of it); a converter without a context works on whatever context is
// current.
class FrameConverterObject {
public:
    // 16 x 16.
    FrameConverterObject();
    FrameConverterObject(int width, int height);
    // Closes the pipe; the GL objects go through their share group.
    virtual ~FrameConverterObject();
    FrameConverterObject(const FrameConverterObject&) = delete;
    FrameConverterObject& operator=(const FrameConverterObject&) = delete;

    void setStrVideoFIFOFullPath(const QString& path) { writer.setPath(path); }
    QString strVideoFIFOFullPath() const { return writer.path(); }
    // What the pipe waits watch: the export's cancel test, and how long a reader may take to come.
    void setCancelled(std::function<bool()> test) {
        cancelTest = test;
        writer.setCancelled(std::move(test));
    }
    void setPipeOpenTimeout(double seconds) { writer.setOpenTimeout(seconds); }
    // The write descriptor of the pipe; -1 while it is closed.
    int nVideoWriteFD() const { return writer.isOpen() ? writer.descriptor() : -1; }

    // A new context drops the GL objects made on the old one; the same context changes nothing.
    void setContext(std::shared_ptr<platform::gl::Context> context);
    std::shared_ptr<platform::gl::Context> context() const { return glContext; }

    // Makes the GL objects on first use and binds the off-screen frame buffer for drawing (cleared, the
    // viewport all of it). False when the converter's context is not current on this thread, when a shader
    // program or frame buffer cannot be made, or when the frame buffer is not complete.
    virtual bool switchOffScreenFBO();
    FrameBufferObject* fboOffScreen() const { return offScreen.get(); }
    // Takes another off-screen buffer; a buffer of another size makes the converter adopt that size.
    void setFboOffScreen(std::unique_ptr<FrameBufferObject> buffer);
    // The shaders and buffers, once, with the context current; sets the drawing aspect ratio. False (and
    // false again on every later call) when the shaders do not build, so that no export writes frames that
    // nothing drew.
    bool createFramebuffer();
    virtual bool InitShaders();
    // Takes the size; with `needCreateOffScreenFBO` remakes the off-screen buffer when the size changed or
    // there is none. False when a buffer cannot be made.
    virtual bool InitBuffersWithWidth(int width, int height, bool needCreateOffScreenFBO);
    // Drops the GL objects (with the context current when it is current on this thread).
    void deleteFramebuffer();
    virtual void releaseOpenGLVar();

    // Bytes of one read-back frame.
    virtual qint64 nYUVBUffSize() const { return qint64(width) * height * 4; }
    // The base converts nothing.
    virtual bool convertYUV() { return false; }
    virtual bool convert(unsigned char* buffer, qint64 size);
    virtual bool convertFIFO() { return false; }

    int nWidth() const { return width; }
    int nHeight() const { return height; }
    // Why the last operation failed.
    QString errorString() const { return error; }

protected:
    bool fail(const QString& message);
    bool contextUsable() const;
    // A new off-screen buffer of the converter's size; null, with errorString(), when none can be made.
    std::unique_ptr<FrameBufferObject> makeOffScreenTarget();
    // Puts `next` (of the same size) in place of the off-screen buffer and hands back the one it replaces.
    std::unique_ptr<FrameBufferObject> exchangeFboOffScreen(std::unique_ptr<FrameBufferObject> next);

    FramePipeWriter writer;
    std::function<bool()> cancelTest;

private:
    std::shared_ptr<platform::gl::Context> glContext;
    std::unique_ptr<FrameBufferObject> offScreen;
    int width;
    int height;
    bool buildFailed = false;
    QString error;
};
