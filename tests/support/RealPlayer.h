#pragma once

// The real player on a headless GL context, for tests that need real frames: exports, the preview.

#include "model/SlideItem.h"

#include <QColor>
#include <QString>

#include <cstdint>
#include <memory>

class SharedShaderPrograms;
class SlideshowDirector;
namespace platform::gl {
class Context;
}

// A player on its own surfaceless context, drawing on a black stage, with the shared programs built.
class RealPlayer {
public:
    ~RealPlayer() { stop(); }
    // Empty when the player stands, else why it cannot. Seeds the shared random source.
    QString start(std::uint64_t seed);
    void stop();
    std::shared_ptr<SlideshowDirector> director;
    std::shared_ptr<platform::gl::Context> context;

private:
    std::shared_ptr<SharedShaderPrograms> shaders;
};

// A photo slide of one colour (640 x 360, saved into `folder`) that neither pans nor zooms: 1 s photo, 0.5 s
// transition.
SlideItemRef stillPhoto(const QString& folder, const QString& name, QColor colour);

// Still slides of grey pictures "still<i>.png" in `folder`, as stillPhoto makes them.
std::vector<SlideItemRef> stillPhotos(const QString& folder, int count);
