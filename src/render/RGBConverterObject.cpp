#include "render/RGBConverterObject.h"

#include "platform/gl/Context.h"
#include "platform/gl/DriverLock.h"
#include "platform/gl/GlError.h"
#include "render/QuadDrawing.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>

namespace {

// The top of the destination samples the bottom of the source: the frame is turned upside down once, and
// since the read-back returns the bottom row first, the rows leave in picture order.
constexpr float kFlipPositions[12] = {-1, 1, 0, -1, -1, 0, 1, -1, 0, 1, 1, 0};
constexpr float kFlipTexCoords[8] = {0, 0, 0, 1, 1, 1, 1, 0};
// Targets drawn into in turn: one being drawn, one being rasterised, one being read.
constexpr std::size_t kTargets = 3;
// How long the read-back stays out of the driver between looks at its fence: the rasteriser tells nobody
// when it is done, and the loaders may go in meanwhile.
constexpr auto kFencePoll = std::chrono::microseconds(250);

QByteArray toYuv420p(const unsigned char* pixels, int width, int height, int bytesPerPixel) {
    if (!pixels || width <= 0 || height <= 0)
        return {};
    const qint64 lumaSize = qint64(width) * height;
    const qint64 chromaSize = qint64((width + 1) / 2) * ((height + 1) / 2);
    QByteArray planes(lumaSize + 2 * chromaSize, Qt::Uninitialized);
    auto* y = reinterpret_cast<unsigned char*>(planes.data());
    unsigned char* u = y + lumaSize;
    unsigned char* v = u + chromaSize;
    for (int row = 0; row < height; ++row)
        for (int column = 0; column < width; ++column) {
            const unsigned char* p = pixels + (qint64(row) * width + column) * bytesPerPixel;
            const int b = p[0], g = p[1], r = p[2];
            *y++ = static_cast<unsigned char>(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16);
            if (row % 2 == 0 && column % 2 == 0) {
                *u++ = static_cast<unsigned char>(((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128);
                *v++ = static_cast<unsigned char>(((112 * r - 94 * g - 18 * b + 128) >> 8) + 128);
            }
        }
    return planes;
}

} // namespace

bool RGBConverterObject::InitShaders() {
    if (!FrameConverterObject::InitShaders())
        return false;
    const platform::gl::DriverLock driver;
    shader = std::make_unique<ShaderProgramObject>();
    shader->setAttriKey({QStringLiteral("position"), QStringLiteral("texcoord")});
    shader->setUniformKey({QStringLiteral("texture")});
    shader->setShaderFileName(QStringLiteral("Shader_simple"));
    if (shader->loadShaders())
        return true;
    shader.reset();
    return fail(QStringLiteral("The read-back program \"Shader_simple\" could not be built"));
}

bool RGBConverterObject::InitBuffersWithWidth(int w, int h, bool needCreateOffScreenFBO) {
    const platform::gl::DriverLock driver;
    const bool made = FrameConverterObject::InitBuffersWithWidth(w, h, needCreateOffScreenFBO);
    fboRGB = std::make_unique<FrameBufferObject>();
    if (nWidth() <= 0 || nHeight() <= 0 ||
        !fboRGB->initFBOWithWidth(unsigned(nWidth()), unsigned(nHeight()))) {
        fboRGB.reset();
        return fail(
            QStringLiteral("No read-back frame buffer of %1 x %2 can be made").arg(nWidth()).arg(nHeight()));
    }
    return made;
}

RGBConverterObject::~RGBConverterObject() {
    releaseOpenGLVar();
}

void RGBConverterObject::releaseOpenGLVar() {
    // What the pump was told is written is written.
    if (queue && contextUsable())
        readEveryInFlight();
    dropInFlight();
    if (passedHold && contextUsable()) {
        const platform::gl::DriverLock driver;
        glDeleteSync(std::exchange(passedHold, nullptr));
    }
    // Before the pipe closes: the frames not yet written are dropped (a wait, outside the lock).
    queue.reset();
    shader.reset();
    fboRGB.reset();
    FrameConverterObject::releaseOpenGLVar();
}

bool RGBConverterObject::flippedCopy() {
    if (!contextUsable())
        return fail(QStringLiteral("The converter's GL context is not current on this thread"));
    if (!shader || !fboRGB || !fboOffScreen())
        return fail(QStringLiteral("The read-back is not set up"));
    const platform::gl::DriverLock driver;
    if (!fboRGB->switchToFBO())
        return fail(QStringLiteral("The read-back frame buffer is not complete"));
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    shader->useMe();
    quad::bindTexture(0, fboOffScreen()->texture());
    glUniform1i(shader->uniformValue(QStringLiteral("texture")), 0);
    quad::drawFan(*shader, kFlipPositions, kFlipTexCoords);
    glFlush();
    return true;
}

void RGBConverterObject::readFrame(unsigned char* into) {
    const platform::gl::DriverLock driver;
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, fboRGB->texWidth(), fboRGB->texHeight(), GL_RGBA, GL_UNSIGNED_BYTE, into);
}

bool RGBConverterObject::convert(unsigned char* buffer, qint64 size) {
    if (!buffer || size < nYUVBUffSize())
        return fail(QStringLiteral("The buffer cannot hold a frame of %1 bytes").arg(nYUVBUffSize()));
    if (!flippedCopy())
        return false;
    readFrame(buffer);
    return true;
}

bool RGBConverterObject::convert_old(unsigned char* buffer, qint64 size) {
    if (!contextUsable())
        return fail(QStringLiteral("The converter's GL context is not current on this thread"));
    if (!buffer || size < nYUVBUffSize())
        return fail(QStringLiteral("The buffer cannot hold a frame of %1 bytes").arg(nYUVBUffSize()));
    const platform::gl::DriverLock driver;
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, nWidth(), nHeight(), GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, buffer);
    return true;
}

bool RGBConverterObject::readTargetAsItIs(unsigned char* into) {
    if (directReadFails)
        return false;
    const platform::gl::DriverLock driver;
    platform::gl::drainErrors();
    glBindFramebuffer(GL_READ_FRAMEBUFFER, fboOffScreen()->framebufferName());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, nWidth(), nHeight(), GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, into);
    directReadFails = glGetError() != GL_NO_ERROR;
    return !directReadFails;
}

bool RGBConverterObject::convertFIFO() {
    if (!contextUsable())
        return fail(QStringLiteral("The converter's GL context is not current on this thread"));
    if (!fboOffScreen())
        return fail(QStringLiteral("The read-back is not set up"));
    // The pipe opens here, before any frame is handed over: an export whose reader never comes has
    // written nothing.
    if (!queue && !writer.isOpen() && !writer.open())
        return fail(writer.errorString());
    if (!queue)
        queue = std::make_unique<FramePipeQueue>(writer, cancelTest);
    if (directReadWorks)
        return readBackBehind();
    return readEveryInFlight() && convertNow();
}

bool RGBConverterObject::convertNow() {
    const std::size_t rowBytes = std::size_t(nWidth()) * 4;
    unsigned char* into = queue->acquire(rowBytes * std::size_t(nHeight()));
    if (!into)
        return fail(queue->errorString());
    if (readTargetAsItIs(into)) {
        queue->submit(nHeight(), rowBytes, true);
        directReadWorks = true;
        return true;
    }
    if (!flippedCopy())
        return false;
    readFrame(into);
    queue->submit(nHeight(), rowBytes, false);
    return true;
}

bool RGBConverterObject::readBackBehind() {
    {
        const platform::gl::DriverLock driver;
        glFlush(); // the drawn frame on its way to the rasteriser while an older one is read
    }
    const auto otherSize = [this](const InFlight& drawn) {
        return drawn.target->texWidth() != nWidth() || drawn.target->texHeight() != nHeight();
    };
    std::unique_ptr<FrameBufferObject> next;
    if (std::any_of(inFlight.begin(), inFlight.end(), otherSize)) {
        // Targets of the size before a change are read, then dropped.
        if (!readEveryInFlight())
            return false;
    } else if (inFlight.size() + 1 >= kTargets && !(next = readOldestInFlight())) {
        return false;
    }
    if (!next && !(next = makeOffScreenTarget()))
        return false;
    inFlight.push_back({exchangeFboOffScreen(std::move(next))});
    return true;
}

bool RGBConverterObject::waitUntilRasterised() {
    platform::gl::DriverLock::checkFreeToWait("the rasteriser");
    GLsync fence = nullptr;
    GLsync hold = nullptr;
    {
        const platform::gl::DriverLock driver;
        fence = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
        hold = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0); // nothing drawn between: the same point
        glFlush();
    }
    if (!fence || !hold) {
        const platform::gl::DriverLock driver;
        glDeleteSync(fence);
        glDeleteSync(hold);
        return fail(QStringLiteral("A drawn frame could not be fenced for its read-back"));
    }
    const bool passed = waitForFence(fence);
    const platform::gl::DriverLock driver;
    glDeleteSync(fence);
    // The software rasteriser counts a fence as passed before its last thread has let go of it, and frees it
    // once nothing holds it; the next frame's drawing lets go of the driver's own holds. So the fence seen
    // passed stays held until a later one has passed, which its threads reach only after leaving this one.
    glDeleteSync(passed ? std::exchange(passedHold, hold) : hold);
    return passed;
}

bool RGBConverterObject::waitForFence(GLsync fence) {
    for (;;) {
        GLenum waited = GL_WAIT_FAILED;
        {
            const platform::gl::DriverLock driver;
            waited = glClientWaitSync(fence, 0, 0);
        }
        if (waited == GL_ALREADY_SIGNALED || waited == GL_CONDITION_SATISFIED)
            return true;
        if (waited != GL_TIMEOUT_EXPIRED)
            return fail(QStringLiteral("The wait for a drawn frame failed"));
        if (cancelTest && cancelTest())
            return fail(QStringLiteral("The export was cancelled while a frame was being drawn"));
        std::this_thread::sleep_for(kFencePoll);
    }
}

std::unique_ptr<FrameBufferObject> RGBConverterObject::readOldestInFlight() {
    InFlight oldest = std::move(inFlight.front());
    inFlight.pop_front();
    if (!waitUntilRasterised())
        return nullptr;
    FrameBufferObject& target = *oldest.target;
    const std::size_t rowBytes = std::size_t(target.texWidth()) * 4;
    unsigned char* into = queue->acquire(rowBytes * std::size_t(target.texHeight()));
    if (!into) {
        fail(queue->errorString());
        return nullptr;
    }
    {
        const platform::gl::DriverLock driver;
        platform::gl::drainErrors();
        GLint reading = 0;
        glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &reading);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, target.framebufferName());
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glReadPixels(0, 0, target.texWidth(), target.texHeight(), GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, into);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, GLuint(reading));
        if (glGetError() != GL_NO_ERROR) {
            fail(QStringLiteral("A drawn frame could not be read back"));
            return nullptr;
        }
    }
    queue->submit(target.texHeight(), rowBytes, true);
    return std::move(oldest.target);
}

bool RGBConverterObject::readEveryInFlight() {
    while (!inFlight.empty())
        if (!readOldestInFlight())
            return false;
    return true;
}

void RGBConverterObject::dropInFlight() {
    inFlight.clear();
}

bool RGBConverterObject::flushFIFO() {
    if (!readEveryInFlight())
        return false;
    if (!queue || queue->flush())
        return true;
    return fail(queue->errorString());
}

QByteArray RGBConverterObject::rgb2yuv420p(const unsigned char* bgr, int width, int height) {
    return toYuv420p(bgr, width, height, 3);
}

QByteArray RGBConverterObject::bgra2yuv420p(const unsigned char* bgra, int width, int height) {
    return toYuv420p(bgra, width, height, 4);
}
