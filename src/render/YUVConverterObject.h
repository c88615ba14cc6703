#pragma once

#include "render/FrameBufferObject.h"
#include "render/FrameConverterObject.h"
#include "render/ShaderProgramObject.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

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
// chroma target averages each 2x2 block as it samples the frame. Frames go into a caller's buffer
// (convert) or whole into the frame pipe (convertFIFO), through the same pipe writer as the RGB read-back.
class YUVConverterObject : public FrameConverterObject {
public:
    using FrameConverterObject::FrameConverterObject;
    ~YUVConverterObject() override;

    bool InitShaders() override;
    // Remakes the luma and chroma targets when the size changed or they are missing.
    bool InitBuffersWithWidth(int width, int height, bool needCreateOffScreenFBO) override;
    void releaseOpenGLVar() override;

    // (3 x width x height) / 2.
    qint64 nYUVBUffSize() const override { return qint64(frameLayout().frameSize); }
    YUVFrameLayout frameLayout() const { return YUVFrameLayout(nWidth(), nHeight()); }
    int nBytesPerPixel() const { return 4; }

    // Converts the frame drawn into the off-screen target into `buffer`. False, with the buffer untouched,
    // when it is smaller than a frame or the read-back is not set up.
    bool convert(unsigned char* buffer, qint64 size) override;
    // Converts the frame and writes it whole into the pipe, opening the pipe first when it is not open.
    // False when the read-back is not set up, the pipe cannot be opened or the frame cannot be written.
    bool convertFIFO() override;

private:
    struct Pass;
    bool runPasses(unsigned char* frame);
    void runPass(const Pass& pass, unsigned char* destination, int width, int height);

    std::unique_ptr<ShaderProgramObject> yuvShader;
    std::unique_ptr<FrameBufferObject> fboY;
    std::unique_ptr<FrameBufferObject> fboUV;
    std::vector<unsigned char> yuvLine; // one frame for the pipe
};
