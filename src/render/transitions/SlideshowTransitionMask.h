#pragma once

#include "render/TextureObject.h"
#include "render/transitions/SlideshowTransition.h"

#include <QString>

#include <memory>

namespace platform::gl {
class ShareGroup;
}

// A wipe shaped by a grey mask picture ("01" ... "50"): dark areas of the mask change first.
class SlideshowTransitionMask : public SlideshowTransition {
public:
    static constexpr int kMaskCount = 50;

    SlideshowTransitionMask();
    bool drawsInDepth() const override { return false; } // drawn back to front
    // A random mask of all fifty.
    void initTransition() override;
    // The mask of a picker choice: index 0 is mask "01".
    void initTransition(int index);
    void transition(int n) override;

    // The number of the mask the next frame draws with.
    int maskNumber() const { return wantedMask; }
    float fBlendFactor() const { return blendFactor; }
    // "01" ... "50": the resource name (type "jpg") of a mask number.
    static QString maskName(int number);
    // The texture drawn with last (0 when the mask could not be loaded).
    GLuint maskTextureID() const { return maskTexture ? maskTexture->textureID() : 0; }

private:
    // Loads the wanted mask on the drawing context, unless it is loaded in that context's share group.
    void ensureMaskTexture();

    int wantedMask = 1;
    int loadedMask = 0;
    std::unique_ptr<TextureObject> maskTexture;
    std::weak_ptr<platform::gl::ShareGroup> loadedIn;
    float blendFactor = 0.0f;
};
