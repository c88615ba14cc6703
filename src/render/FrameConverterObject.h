#pragma once

#include "render/FrameBufferObject.h"

#include <memory>

// The read-back stage of an export: an off-screen frame buffer of the output size on the exporting thread's
// context, into which the player draws each finished frame while the converter is set on it. Converters
// that read the frame back (RGB, YUV) build on this base.
class FrameConverterObject {
public:
    FrameConverterObject(int width, int height);
    virtual ~FrameConverterObject() = default;
    FrameConverterObject(const FrameConverterObject&) = delete;
    FrameConverterObject& operator=(const FrameConverterObject&) = delete;

    // Binds the off-screen frame buffer (made at the first call, on the current context), clears it and sets
    // the viewport to all of it. False when it cannot be made or is not complete.
    virtual bool switchOffScreenFBO();

    FrameBufferObject* fboOffScreen() const { return offScreen.get(); }
    int nWidth() const { return width; }
    int nHeight() const { return height; }

private:
    std::unique_ptr<FrameBufferObject> offScreen;
    int width;
    int height;
};
