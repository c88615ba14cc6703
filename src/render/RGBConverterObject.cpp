#include "render/RGBConverterObject.h"

#include "render/QuadDrawing.h"

namespace {

// The top of the destination samples the bottom of the source: the frame is turned upside down once, and
// since the read-back returns the bottom row first, the rows leave in picture order.
constexpr float kFlipPositions[12] = {-1, 1, 0, -1, -1, 0, 1, -1, 0, 1, 1, 0};
constexpr float kFlipTexCoords[8] = {0, 0, 0, 1, 1, 1, 1, 0};

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

void RGBConverterObject::releaseOpenGLVar() {
    queue.reset(); // before the pipe closes: the frames not yet written are dropped
    shader.reset();
    fboRGB.reset();
    FrameConverterObject::releaseOpenGLVar();
}

bool RGBConverterObject::flippedCopy() {
    if (!contextUsable())
        return fail(QStringLiteral("The converter's GL context is not current on this thread"));
    if (!shader || !fboRGB || !fboOffScreen())
        return fail(QStringLiteral("The read-back is not set up"));
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

bool RGBConverterObject::readTargetAsItIs(unsigned char* into) {
    if (directReadFails)
        return false;
    while (glGetError() != GL_NO_ERROR) {
    }
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
    const std::size_t rowBytes = std::size_t(nWidth()) * 4;
    unsigned char* into = queue->acquire(rowBytes * std::size_t(nHeight()));
    if (!into)
        return fail(queue->errorString());
    if (readTargetAsItIs(into)) {
        queue->submit(nHeight(), rowBytes, true);
        return true;
    }
    if (!flippedCopy())
        return false;
    readFrame(into);
    queue->submit(nHeight(), rowBytes, false);
    return true;
}

bool RGBConverterObject::flushFIFO() {
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
