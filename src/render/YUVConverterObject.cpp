#include "render/YUVConverterObject.h"

#include "platform/gl/DriverLock.h"
#include "render/QuadDrawing.h"

#include <algorithm>

namespace {

// The limits of the frame format: 16..235 for luma, 16..239 for chroma.
constexpr float kLumaMin = 0.06274f, kLumaMax = 0.92156f, kChromaMax = 0.93725f;

std::size_t side(int value) {
    return value > 0 ? std::size_t(value) : 0;
}

// Capability switches the passes turn off and put back, so that the player's drawing state neither blends
// nor depth-tests a plane, and a plane's pass leaves the player's state as it found it.
class PassState {
public:
    PassState() : blend(glIsEnabled(GL_BLEND)), depth(glIsEnabled(GL_DEPTH_TEST)) {
        glGetIntegerv(GL_PACK_ALIGNMENT, &packAlignment);
        glDisable(GL_BLEND);
        glDisable(GL_DEPTH_TEST);
        // Plane rows have no padding, whatever their width.
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
    }
    ~PassState() {
        glPixelStorei(GL_PACK_ALIGNMENT, packAlignment);
        if (blend)
            glEnable(GL_BLEND);
        if (depth)
            glEnable(GL_DEPTH_TEST);
    }
    PassState(const PassState&) = delete;
    PassState& operator=(const PassState&) = delete;

private:
    GLboolean blend;
    GLboolean depth;
    GLint packAlignment = 4;
};

} // namespace

YUVFrameLayout::YUVFrameLayout(int w, int h)
    : width(side(w)), height(side(h)), chromaWidth(width / 2), chromaHeight(height / 2),
      uOffset(width * height), vOffset(5 * width * height / 4), frameSize(3 * width * height / 2) {}

// One row of the pass table: the plane's weights of red, green and blue with its offset, and its range.
struct YUVConverterObject::Pass {
    float coeff[4];
    float minValue;
    float maxValue;
};

YUVConverterObject::~YUVConverterObject() = default;

bool YUVConverterObject::InitShaders() {
    if (!FrameConverterObject::InitShaders())
        return false;
    const platform::gl::DriverLock driver;
    auto shader = std::make_unique<ShaderProgramObject>();
    shader->setAttriKey({QStringLiteral("position"), QStringLiteral("texcoord")});
    shader->setUniformKey({QStringLiteral("texture"), QStringLiteral("coeff"), QStringLiteral("minValue"),
                           QStringLiteral("maxValue")});
    shader->setShaderFileName(QStringLiteral("Shader_yuv"));
    if (!shader->loadShaders())
        return fail(QStringLiteral("The read-back program \"Shader_yuv\" could not be built"));
    yuvShader = std::move(shader);
    return true;
}

bool YUVConverterObject::InitBuffersWithWidth(int w, int h, bool needCreateOffScreenFBO) {
    const platform::gl::DriverLock driver;
    const bool resized = w != nWidth() || h != nHeight();
    const bool made = FrameConverterObject::InitBuffersWithWidth(w, h, needCreateOffScreenFBO);
    const YUVFrameLayout layout = frameLayout();
    const auto remake = [&](std::unique_ptr<FrameBufferObject>& fbo, std::size_t fw, std::size_t fh) {
        if (fbo && !resized)
            return true;
        fbo = std::make_unique<FrameBufferObject>();
        if (fbo->initFBOWithWidth(unsigned(fw), unsigned(fh)))
            return true;
        fbo.reset();
        return fail(QStringLiteral("No read-back frame buffer of %1 x %2 can be made").arg(fw).arg(fh));
    };
    if (!remake(fboY, layout.width, layout.height))
        return false;
    // A frame one pixel wide or high has empty chroma planes, and nothing to draw them into.
    if (layout.chromaSize() == 0)
        fboUV.reset();
    else if (!remake(fboUV, layout.chromaWidth, layout.chromaHeight))
        return false;
    return made;
}

void YUVConverterObject::releaseOpenGLVar() {
    yuvShader.reset();
    fboY.reset();
    fboUV.reset();
    yuvLine = {};
    FrameConverterObject::releaseOpenGLVar();
}

bool YUVConverterObject::convert(unsigned char* buffer, qint64 size) {
    if (!buffer || size < nYUVBUffSize())
        return fail(QStringLiteral("The buffer cannot hold a frame of %1 bytes").arg(nYUVBUffSize()));
    return runPasses(buffer);
}

bool YUVConverterObject::convertFIFO() {
    // Sized to the frame being read every time: the size may have changed since the last frame.
    yuvLine.resize(std::size_t(nYUVBUffSize()));
    if (!runPasses(yuvLine.data()))
        return false;
    if (!writer.isOpen() && !writer.open())
        return fail(writer.errorString());
    if (!writer.writeFrame(yuvLine.data(), yuvLine.size()))
        return fail(writer.errorString());
    return true;
}

bool YUVConverterObject::runPasses(unsigned char* frame) {
    if (!contextUsable())
        return fail(QStringLiteral("The converter's GL context is not current on this thread"));
    const YUVFrameLayout layout = frameLayout();
    if (!yuvShader || !fboY || !fboOffScreen() || (layout.chromaSize() > 0 && !fboUV))
        return fail(QStringLiteral("The read-back is not set up"));
    // BT.601 weights of red, green and blue, with chroma centred on one half.
    static constexpr Pass y{{0.299f, 0.587f, 0.114f, 0.0f}, kLumaMin, kLumaMax};
    static constexpr Pass u{{-0.169f, -0.331f, 0.5f, 0.5f}, kLumaMin, kChromaMax};
    static constexpr Pass v{{0.5f, -0.419f, -0.081f, 0.5f}, kLumaMin, kChromaMax};
    const platform::gl::DriverLock driver;
    const PassState state;
    if (!fboY->switchToFBO())
        return fail(QStringLiteral("The read-back frame buffer is not complete"));
    runPass(y, frame, int(layout.width), int(layout.height));
    if (layout.chromaSize() == 0)
        return true;
    const int cw = int(layout.chromaWidth), ch = int(layout.chromaHeight);
    if (!fboUV->switchToFBO())
        return fail(QStringLiteral("The read-back frame buffer is not complete"));
    runPass(u, frame + layout.uOffset, cw, ch);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    runPass(v, frame + layout.vOffset, cw, ch);
    return true;
}

void YUVConverterObject::runPass(const Pass& pass, unsigned char* destination, int width, int height) {
    const ShaderProgramObject& shader = *yuvShader;
    shader.useMe();
    glUniform1f(shader.uniformValue(QStringLiteral("minValue")), pass.minValue);
    glUniform1f(shader.uniformValue(QStringLiteral("maxValue")), pass.maxValue);
    glUniform4fv(shader.uniformValue(QStringLiteral("coeff")), 1, pass.coeff);
    quad::bindTexture(0, fboOffScreen()->texture());
    glUniform1i(shader.uniformValue(QStringLiteral("texture")), 0);
    // The mirrored coordinates turn the frame over once, so that the first row read back is its top.
    quad::drawFan(shader, quad::kUnitPositions, quad::kMirroredTexCoords);
    glFlush();
    glReadPixels(0, 0, width, height, GL_RED, GL_UNSIGNED_BYTE, destination);
}
