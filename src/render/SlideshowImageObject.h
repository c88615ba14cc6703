#pragma once

#include "platform/gl/DriverLock.h"
#include "platform/gl/GlApi.h"
#include "render/GLMatrix.h"
#include "render/SlideTextures.h"

#include <QPointF>
#include <QRect>

#include <atomic>
#include <memory>
#include <mutex>

class SlideItem;
class StageBackground;
class ShaderProgramObject;

// Draws one slide at one frame of its motion: the stage background behind it, the slide's picture placed
// with its pan, zoom and rotation and its aspect kept, and its caption band. The motion of a slide runs from
// the start of the transition (or fade-in) that brings it on to the end of the one that takes it off;
// frames are counted on that scale.
//
// The caller has a context current, the target bound and gRenderAspectRatio set to the target's width over
// height. Flip true draws upright for the final target; false draws upside down for a frame buffer whose
// texture is then shown with the mirrored texture coordinates.
class SlideshowImageObject {
public:
    SlideshowImageObject();

    // The slide to draw and its textures (found or made through SlideTextures::forSlide when not given); a
    // null slide draws only the background. Follow with initSlideshowParam.
    void setSlideItemData(std::shared_ptr<SlideItem> slide,
                          std::shared_ptr<SlideTextures> textures = nullptr);
    std::shared_ptr<SlideItem> slideItemData() const;
    std::shared_ptr<SlideTextures> slideTextures() const;
    void setBackgrondRender(std::shared_ptr<StageBackground> background);
    std::shared_ptr<StageBackground> backgrondRender() const;
    bool bTextLayer() const { return textLayer; }
    void setBTextLayer(bool value) { textLayer = value; }

    // Computes the motion length for the slide from the open project and resets the background's run.
    void initSlideshowParam();
    quint64 nTotalFrames() const { return totalFrames; }

    void playSlideshow(quint64 frame, unsigned textureIndex, bool flip, bool depth);
    // The photo texture with a global alpha over the background (the show's fades); no caption.
    void playSlideshowWithAlpha(qint64 frame, unsigned textureIndex, float alpha);
    // The photo texture moved by a movement record (x, y, z offsets first), with no clear and no background.
    void playSlideshowWithData(int frame, const float moveParam[9], unsigned textureIndex);
    void rotateOperation(int frame, bool upright);
    void drawText(bool upright, unsigned frame);

    // The motion at a frame, from the slide's pan and zoom.
    QPointF panAt(double frame) const;
    double zoomAt(double frame) const;
    const Matrix4& modelViewMatrix() const { return modelView; }

private:
    struct Source {
        const ShaderProgramObject* program = nullptr;
        GLuint texture = 0;
        int width = 0;
        int height = 0;
        bool upright = true;
        bool video = false;
        int orientation = 3;
        float zoomDivisor = 1.0f;
        bool opaque = false; // a loaded picture without a transparent pixel
    };
    bool chooseSource(quint64 frame, bool flip, Source& source);
    void placeWithAspect(int width, int height, double zoom);
    void placeSource(const Source& source, quint64 frame, bool depth);
    static void fanPositions(int width, int height, float positions[12]);
    // The pixels of the viewport (GL window coordinates) that the picture placed by the model-view covers
    // whole; empty when it is turned or covers none.
    QRect coveredPixels(int width, int height) const;
    void drawPlaced(const ShaderProgramObject& program, GLuint texture, unsigned unit, int width, int height,
                    bool upright, bool clamp);
    double motionFraction(double frame) const;

    mutable platform::gl::RankedMutex<> itemMutex{platform::gl::LockRank::Cache,
                                                  "SlideshowImageObject::itemMutex"};
    std::shared_ptr<SlideItem> item;
    std::shared_ptr<SlideTextures> textures;
    std::shared_ptr<StageBackground> background;
    Matrix4 modelView, projection, mvp;
    quint64 totalFrames = 0;
    bool textLayer = false;
};
