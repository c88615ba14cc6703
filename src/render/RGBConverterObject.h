#pragma once

#include "platform/gl/GlApi.h"
#include "render/FrameConverterObject.h"
#include "render/FramePipeQueue.h"
#include "render/ShaderProgramObject.h"

#include <QByteArray>

#include <deque>
#include <memory>
#include <vector>

// Reads each finished frame back in the frame-pipe format. The off-screen target is read as it is, blue,
// green, red, alpha with the bottom row first, and its rows leave for the pipe in the other order, so that
// no pass over the frame is spent on turning it. The pipe is written by a thread of its own while the next
// frame is drawn (FramePipeQueue). Where the target cannot be read that way, it is copied upside down into
// a second frame buffer through "Shader_simple", which also swaps red and blue, and read from there.
//
// Once the first frame has been read as it is, the player draws into a few targets in turn and each frame
// is read two frames behind. The driver's read of drawn pixels waits for the rasteriser's whole queue: the
// read-back waits for a fence of all that was drawn first, out of the GL driver lock, and holds the lock
// only for the copy. The read stays on the drawing context: a software rasteriser walks every context's
// drawing state when another context maps a texture, unguarded, and reading on a context of its own
// crashed once in hundreds of thousands of frames.
class RGBConverterObject : public FrameConverterObject {
public:
    using FrameConverterObject::FrameConverterObject;
    // Writes the frames still in flight, as releaseOpenGLVar() does.
    ~RGBConverterObject() override;

    bool InitShaders() override;
    bool InitBuffersWithWidth(int width, int height, bool needCreateOffScreenFBO) override;
    // Reads the frames still in flight into the pipe first (unless cancelled, failed or on another context).
    void releaseOpenGLVar() override;
    // Reads the frame into `buffer`, which must hold nYUVBUffSize() bytes.
    bool convert(unsigned char* buffer, qint64 size) override;
    // The earlier form: reads the bound target as it is, without turning it, into `buffer` (nYUVBUffSize()
    // bytes): blue, green, red, alpha with the bottom row first.
    bool convert_old(unsigned char* buffer, qint64 size);
    // Reads the frame and queues it for the pipe, opening the pipe first when it is not open. False when the
    // read-back is not set up, the pipe cannot be opened, or an earlier frame could not be written (the
    // reader went away, the export was cancelled); the pump then stops and the export fails.
    bool convertFIFO() override;
    // Waits until every queued frame is in the pipe; false, with errorString(), when one could not be.
    bool flushFIFO();

    // Planar 4:2:0 from 3-byte blue, green, red pixels, or from 4-byte blue, green, red, alpha pixels: the Y
    // plane, then U and V of the top left pixel of every 2 x 2 block (odd sizes round the chroma planes up).
    static QByteArray rgb2yuv420p(const unsigned char* bgr, int width, int height);
    static QByteArray bgra2yuv420p(const unsigned char* bgra, int width, int height);

private:
    bool flippedCopy();
    void readFrame(unsigned char* into);
    bool readTargetAsItIs(unsigned char* into);
    bool readBackBehind();
    bool convertNow();
    // Waits until the rasteriser has drawn all that this context handed it, asking the cancel test between
    // looks; false, with the reason, else.
    bool waitUntilRasterised();
    bool waitForFence(GLsync fence);
    // Reads the oldest drawn target once it is rasterised and hands it back for drawing again.
    std::unique_ptr<FrameBufferObject> readOldestInFlight();
    bool readEveryInFlight();
    void dropInFlight();

    struct InFlight {
        std::unique_ptr<FrameBufferObject> target;
    };

    std::unique_ptr<ShaderProgramObject> shader;
    std::unique_ptr<FrameBufferObject> fboRGB;
    std::unique_ptr<FramePipeQueue> queue;
    std::deque<InFlight> inFlight; // drawn targets not read yet, oldest first
    GLsync passedHold = nullptr;   // the last fence seen passed, until a later one passes
    bool directReadFails = false;
    bool directReadWorks = false;
};
