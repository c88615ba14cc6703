#pragma once

#include "platform/gl/GlApi.h"
#include "render/GLMatrix.h"

#include <memory>
#include <vector>

class SlideshowImageObject;
struct TransitionSlice;
class StageBackground;

// The base of every transition between two slides. A transition that needs frame buffers (bNeedFBO) gets
// both slides drawn into textures by the player and draws one frame with transition(n); one that does not
// draws through the two renderers with transition(n, currentPos). One object serves every slide that chooses
// it: initTransition resets it before its first frame.
class SlideshowTransition {
public:
    SlideshowTransition();
    virtual ~SlideshowTransition() = default;
    SlideshowTransition(const SlideshowTransition&) = delete;
    SlideshowTransition& operator=(const SlideshowTransition&) = delete;

    // Frame `n` of a frame-buffer transition; the base draws nothing.
    virtual void transition(int n);
    // Frame `n` of a transition drawn through the renderers, `currentPos` the frame in the outgoing slide's
    // motion; the base draws nothing.
    virtual void transition(int n, int currentPos);
    // Enables blending, the depth test and textures and clears to opaque black (only with a context current;
    // subclasses also draw their random variant here, which needs none).
    virtual void initTransition();

    // Draws a frame-buffer texture over the whole view with the mirrored coordinates (which show the upside
    // down image of a frame buffer upright); the caller has "Shader_one_texture" in use.
    void renderImageWithOneTextureShader(GLuint texture, unsigned dstTextureIndex);
    // One textured fan of four vertices (3 floats each) with 2 texture coordinates each, "Shader_one_texture"
    // in use.
    void drawTexture(GLuint texture, unsigned onWhichTexture, const float verts[12], const float textCoor[8]);
    static void initMovement(float moveParam[9]);

    std::shared_ptr<SlideshowImageObject> currentSlideshow() const { return current; }
    void setCurrentSlideshow(std::shared_ptr<SlideshowImageObject> renderer) {
        current = std::move(renderer);
    }
    std::shared_ptr<SlideshowImageObject> nextSlideshow() const { return next; }
    void setNextSlideshow(std::shared_ptr<SlideshowImageObject> renderer) { next = std::move(renderer); }
    GLuint currentTextureID() const { return currentTexture; }
    void setCurrentTextureID(GLuint texture) { currentTexture = texture; }
    GLuint nextTextureID() const { return nextTexture; }
    void setNextTextureID(GLuint texture) { nextTexture = texture; }
    int nTotalTransitionFrame() const { return totalFrames; }
    // Never below 1, so that no transition divides by a zero length.
    void setNTotalTransitionFrame(int frames) { totalFrames = frames < 1 ? 1 : frames; }
    bool bNeedFBO() const { return needFBO; }
    // Whether its pictures meet in depth: only then does the player give the frame a depth buffer, whose
    // presence alone keeps every draw of the frame off the rasteriser's fast path.
    virtual bool drawsInDepth() const { return true; }
    void setBNeedFBO(bool value) { needFBO = value; }
    StageBackground* transitionBackground() const { return background; }
    void setTransitionBackground(StageBackground* layer) { background = layer; }

protected:
    // q = n / N, the part of the transition done before frame n.
    float progress(int n) const { return float(n) / float(totalFrames); }
    // The state every frame-buffer frame starts from: blending, depth test and textures on, colour and depth
    // cleared to opaque black.
    static void clearForFrame();
    // modelView at depth -1 and the slide frustum, so the unit fan fills the view; sets mvp.
    void loadFrameBufferMatrices();
    // One frame of the slice wipes: the back picture (the outgoing one when revealing, else the incoming
    // one) over the whole view, then the layers, each showing the other picture.
    void drawLayersOverBackPicture(bool reveal, const std::vector<TransitionSlice>& layers);

    Matrix4 modelView, projection, mvp;
    int currentPos = 0;

private:
    std::shared_ptr<SlideshowImageObject> current, next;
    GLuint currentTexture = 0, nextTexture = 0;
    int totalFrames;
    bool needFBO = true;
    StageBackground* background = nullptr;
};
