#pragma once

#include "render/FrameBufferObject.h"
#include "render/FrameConverterObject.h"
#include "render/ShaderProgramObject.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

// Where the planes of one planar 4:2:0 frame lie: luma at full size, then the two chroma planes at the
// halves of the size rounded down, each row-major without padding, top row first, no header.
struct YUVFrameLayout {
    YUVFrameLayout(int width, int height);

    std::size_t width;
    std::size_t height;
    std::size_t chromaWidth;
    std::size_t chromaHeight;
    std::size_t uOffset;   // width x height
    std::size_t vOffset;   // (5 x width x height) / 4, also for odd sizes
    std::size_t frameSize; // (3 x width x height) / 2

    std::size_t lumaSize() const { return width * height; }
    std::size_t chromaSize() const { return chromaWidth * chromaHeight; }
};

// Reads the exported frame back as planar YUV 4:2:0 (1.5 bytes a pixel instead of 4): the colour conversion
// and the chroma subsampling run on the GPU in three passes of "Shader_yuv", one per plane; the halved
// chroma target averages each 2x2 block as it samples the frame.
class YUVConverterObject : public FrameConverterObject {
public:
    YUVConverterObject(int width, int height);
    ~YUVConverterObject() override;

    // Builds "Shader_yuv" on the current context. False when it does not build.
    bool InitShaders();
    // Makes the luma and chroma targets on the current context, keeping those already made.
    bool InitBuffers();

    std::size_t nYUVBUffSize() const { return layout.frameSize; }
    const YUVFrameLayout& frameLayout() const { return layout; }
    int nBytesPerPixel() const { return 4; }

    // Converts the frame drawn into the off-screen target into `pYUVBuff`. False, with the buffer untouched,
    // when it is smaller than a frame or the passes cannot be made.
    bool convert(std::span<std::uint8_t> pYUVBuff);

    // Drops the GL objects of the passes (a context of their share group need not be current).
    void releaseOpenGLVar();

private:
    struct Pass;
    bool preparePasses();
    void runPass(const Pass& pass, std::uint8_t* destination, int width, int height);

    YUVFrameLayout layout;
    std::unique_ptr<ShaderProgramObject> yuvShader;
    std::unique_ptr<FrameBufferObject> fboY;
    std::unique_ptr<FrameBufferObject> fboUV;
};
