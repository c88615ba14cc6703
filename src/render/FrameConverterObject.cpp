#include "render/FrameConverterObject.h"

FrameConverterObject::FrameConverterObject(int w, int h) : width(w), height(h) {}

bool FrameConverterObject::switchOffScreenFBO() {
    if (!offScreen) {
        auto made = std::make_unique<FrameBufferObject>();
        if (!made->initFBOWithWidth(unsigned(width), unsigned(height)))
            return false;
        offScreen = std::move(made);
    }
    return offScreen->switchToFBO();
}
