#pragma once

#include "render/FrameConverterObject.h"
#include "render/ShaderProgramObject.h"

#include <QByteArray>

#include <memory>
#include <vector>

// Reads each finished frame back in the frame-pipe format: the off-screen frame is copied upside down into
// a second frame buffer through "Shader_simple", which also swaps red and blue, so that one read of RGBA
// bytes yields blue, green, red, alpha with the picture's top row first.
class RGBConverterObject : public FrameConverterObject {
public:
    using FrameConverterObject::FrameConverterObject;

    bool InitShaders() override;
    bool InitBuffersWithWidth(int width, int height, bool needCreateOffScreenFBO) override;
    void releaseOpenGLVar() override;
    // Reads the frame into `buffer`, which must hold nYUVBUffSize() bytes.
    bool convert(unsigned char* buffer, qint64 size) override;
    // Reads the frame and writes it whole into the pipe, opening the pipe first when it is not open. False
    // when the read-back is not set up, the pipe cannot be opened or the frame cannot be written; the pump
    // then stops and the export fails.
    bool convertFIFO() override;

    // Planar 4:2:0 from 3-byte blue, green, red pixels, or from 4-byte blue, green, red, alpha pixels: the Y
    // plane, then U and V of the top left pixel of every 2 x 2 block (odd sizes round the chroma planes up).
    static QByteArray rgb2yuv420p(const unsigned char* bgr, int width, int height);
    static QByteArray bgra2yuv420p(const unsigned char* bgra, int width, int height);

private:
    bool flippedCopy();
    void readFrame(unsigned char* into);

    std::unique_ptr<ShaderProgramObject> shader;
    std::unique_ptr<FrameBufferObject> fboRGB;
    std::vector<unsigned char> rgbaLine;
};
