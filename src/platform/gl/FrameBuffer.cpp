#include "platform/gl/FrameBuffer.h"

#include "platform/gl/GlError.h"

#include <EGL/egl.h>

#include <cstring>
#include <map>
#include <mutex>

namespace platform::gl {

namespace {

GLint integer(GLenum what) {
    GLint value = 0;
    glGetIntegerv(what, &value);
    return value;
}

// Puts back the bindings a FrameBuffer changes while it builds or reads itself.
class BindingKeeper {
public:
    BindingKeeper()
        : drawFramebuffer(integer(GL_DRAW_FRAMEBUFFER_BINDING)),
          readFramebuffer(integer(GL_READ_FRAMEBUFFER_BINDING)), texture(integer(GL_TEXTURE_BINDING_2D)),
          renderbuffer(integer(GL_RENDERBUFFER_BINDING)) {}
    ~BindingKeeper() {
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, GLuint(drawFramebuffer));
        glBindFramebuffer(GL_READ_FRAMEBUFFER, GLuint(readFramebuffer));
        glBindTexture(GL_TEXTURE_2D, GLuint(texture));
        glBindRenderbuffer(GL_RENDERBUFFER, GLuint(renderbuffer));
    }
    BindingKeeper(const BindingKeeper&) = delete;
    BindingKeeper& operator=(const BindingKeeper&) = delete;

private:
    GLint drawFramebuffer, readFramebuffer, texture, renderbuffer;
};

// Pixel-pack state other than the alignment would change the layout of the rows we read into; it is set
// to its defaults for the read and restored afterwards.
class PackStateKeeper {
public:
    PackStateKeeper()
        : rowLength(integer(GL_PACK_ROW_LENGTH)), skipPixels(integer(GL_PACK_SKIP_PIXELS)),
          skipRows(integer(GL_PACK_SKIP_ROWS)), packBuffer(integer(GL_PIXEL_PACK_BUFFER_BINDING)) {
        glPixelStorei(GL_PACK_ROW_LENGTH, 0);
        glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
        glPixelStorei(GL_PACK_SKIP_ROWS, 0);
        glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    }
    ~PackStateKeeper() {
        glPixelStorei(GL_PACK_ROW_LENGTH, rowLength);
        glPixelStorei(GL_PACK_SKIP_PIXELS, skipPixels);
        glPixelStorei(GL_PACK_SKIP_ROWS, skipRows);
        glBindBuffer(GL_PIXEL_PACK_BUFFER, GLuint(packBuffer));
    }
    PackStateKeeper(const PackStateKeeper&) = delete;
    PackStateKeeper& operator=(const PackStateKeeper&) = delete;

private:
    GLint rowLength, skipPixels, skipRows, packBuffer;
};

// Our framebuffers by the context they were made on and their name: names are per context.
struct Registry {
    std::mutex mutex;
    std::map<std::pair<const void*, GLuint>, FrameBuffer*> buffers;
};

// Never destroyed: frame buffers held by statics outlive any static made after them.
Registry& registry() {
    static auto* instance = new Registry;
    return *instance;
}

QString framebufferStatusName(GLenum status) {
    switch (status) {
    case GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT:
        return QStringLiteral("incomplete attachment");
    case GL_FRAMEBUFFER_INCOMPLETE_MISSING_ATTACHMENT:
        return QStringLiteral("missing attachment");
    case GL_FRAMEBUFFER_UNSUPPORTED:
        return QStringLiteral("unsupported");
    default:
        return QStringLiteral("status 0x%1").arg(status, 4, 16, QLatin1Char('0'));
    }
}

// The size of a 2D texture; empty for a name that is no texture or a texture of another kind.
QSize textureSize(GLuint texture) {
    if (texture == 0 || !glIsTexture(texture))
        return QSize();
    const GLint previous = integer(GL_TEXTURE_BINDING_2D);
    drainErrors();
    glBindTexture(GL_TEXTURE_2D, texture);
    GLint w = 0, h = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    const bool twoDimensional = glGetError() == GL_NO_ERROR; // binding another kind of texture fails
    glBindTexture(GL_TEXTURE_2D, GLuint(previous));
    return twoDimensional ? QSize(w, h) : QSize();
}

} // namespace

FrameBuffer::FrameBuffer(int width, int height, ColourAttachment colourAttachment)
    : colourKind(colourAttachment), frameWidth(width), frameHeight(height) {
    if (!ShareGroup::current())
        throw GlError(QStringLiteral("A frame buffer was asked for with no current context"));
    const GLint maxSize = integer(GL_MAX_RENDERBUFFER_SIZE);
    if (width < 1 || height < 1 || width > maxSize || height > maxSize)
        throw GlError(QStringLiteral("A frame buffer of %1 x %2 cannot be made (at most %3 on a side)")
                          .arg(width)
                          .arg(height)
                          .arg(maxSize));
    logErrors("the calls before making a frame buffer"); // so the check below sees only ours
    const BindingKeeper keeper;
    framebuffer = ObjectName::genFramebuffer();
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer.get());
    if (colourKind == ColourAttachment::Texture) {
        colour = ObjectName::genTexture();
        glBindTexture(GL_TEXTURE_2D, colour.get());
        // BGRA storage: what the read-back hands on, and the layout the rasteriser's fast paths draw into and
        // sample from. Unsized on purpose: a sized GL_RGBA8 is stored RGBA whatever the data's order, which
        // keeps every draw into it and from it on the slow path (three times the CPU for a picture).
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    } else {
        colour = ObjectName::genRenderbuffer();
        glBindRenderbuffer(GL_RENDERBUFFER, colour.get());
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    }
    attachColour(0);
    depth = ObjectName::genRenderbuffer();
    glBindRenderbuffer(GL_RENDERBUFFER, depth.get());
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth.get());
    const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
    const QStringList errors = drainErrors();
    if (status != GL_FRAMEBUFFER_COMPLETE || !errors.isEmpty())
        throw GlError(QStringLiteral("A frame buffer of %1 x %2 is not usable: %3 %4")
                          .arg(width)
                          .arg(height)
                          .arg(framebufferStatusName(status), errors.join(QLatin1Char(' '))));
    owningContext = eglGetCurrentContext();
    const std::lock_guard lock(registry().mutex);
    registry().buffers[{owningContext, framebuffer.get()}] = this;
}

FrameBuffer::~FrameBuffer() {
    const std::lock_guard lock(registry().mutex);
    const auto found = registry().buffers.find({owningContext, framebuffer.get()});
    if (found != registry().buffers.end() && found->second == this)
        registry().buffers.erase(found);
}

void FrameBuffer::setDepthAttached(bool attached) {
    if (attached == depthAttached)
        return;
    const GLint previous = integer(GL_DRAW_FRAMEBUFFER_BINDING);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer.get());
    glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER,
                              attached ? depth.get() : 0);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, GLuint(previous));
    depthAttached = attached;
}

void FrameBuffer::setDepthAttachedToBound(bool attached) {
    const GLuint bound = GLuint(integer(GL_DRAW_FRAMEBUFFER_BINDING));
    if (bound == 0)
        return;
    FrameBuffer* buffer = nullptr;
    {
        const std::lock_guard lock(registry().mutex);
        const auto found = registry().buffers.find({eglGetCurrentContext(), bound});
        if (found != registry().buffers.end())
            buffer = found->second;
    }
    if (buffer)
        buffer->setDepthAttached(attached);
}

bool FrameBuffer::attachColourTexture(GLuint texture) {
    const GLuint wanted = texture == colourTexture() ? 0 : texture;
    if (wanted == borrowedColour)
        return true;
    if (wanted != 0 && textureSize(wanted) != QSize(frameWidth, frameHeight))
        return false;
    const BindingKeeper keeper;
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer.get());
    attachColour(wanted);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        attachColour(borrowedColour);
        return false;
    }
    borrowedColour = wanted;
    return true;
}

void FrameBuffer::attachColour(GLuint borrowed) {
    if (borrowed != 0 || colourKind == ColourAttachment::Texture)
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D,
                               borrowed ? borrowed : colour.get(), 0);
    else
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour.get());
}

void FrameBuffer::bind() const {
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer.get());
    glViewport(0, 0, frameWidth, frameHeight);
}

QImage FrameBuffer::readPixelsBGRA(int x, int y, int w, int h) const {
    const GLint previous = integer(GL_READ_FRAMEBUFFER_BINDING);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer.get());
    struct Restore {
        GLint name;
        ~Restore() { glBindFramebuffer(GL_READ_FRAMEBUFFER, GLuint(name)); }
    } restore{previous};
    return gl::readPixelsBGRA(x, y, w, h);
}

QImage readPixelsBGRA(int x, int y, int w, int h) {
    if (w <= 0 || h <= 0)
        return {};
    QImage image(w, h, QImage::Format_ARGB32);
    if (image.isNull())
        throw GlError(QStringLiteral("No memory for a read-back of %1 x %2").arg(w).arg(h));
    logErrors("the calls before reading pixels");
    const PackStateKeeper packState;
    const qsizetype alignment = integer(GL_PACK_ALIGNMENT);
    const qsizetype rowBytes = qsizetype(w) * 4;
    const qsizetype glStride = (rowBytes + alignment - 1) / alignment * alignment;
    // BGRA with the reversed 8_8_8_8 packing is QImage's 0xAARRGGBB word on either byte order.
    constexpr GLenum type = GL_UNSIGNED_INT_8_8_8_8_REV;
    if (glStride == image.bytesPerLine()) {
        glReadPixels(x, y, w, h, GL_BGRA, type, image.bits());
    } else {
        QByteArray rows(glStride * h, Qt::Uninitialized);
        glReadPixels(x, y, w, h, GL_BGRA, type, rows.data());
        for (int row = 0; row < h; ++row)
            std::memcpy(image.scanLine(row), rows.constData() + row * glStride, size_t(rowBytes));
    }
    const QStringList errors = drainErrors();
    if (!errors.isEmpty())
        throw GlError(QStringLiteral("Reading pixels failed: ") + errors.join(QLatin1Char(' ')));
    // GL's first row is the bottom one.
    return std::move(image).mirrored(false, true);
}

} // namespace platform::gl
