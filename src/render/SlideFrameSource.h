#pragma once

#include "platform/gl/GlApi.h"

#include <QSize>

#include <functional>
#include <memory>

class SlideItem;

// A slide whose picture changes over its motion (a video clip, a composition): the renderer asks it for the
// texture of each frame it draws. The clip and composition players provide these through a factory per item
// type; a slide without a source draws only the stage background.
class SlideFrameSource {
public:
    virtual ~SlideFrameSource() = default;
    // Brings the texture to the slide's picture at `frame` of its motion; called with the drawing context
    // current. False when there is no picture for that frame.
    virtual bool LoadOneFrameToOpenGLTexture(quint64 frame) = 0;
    // Readies, off the drawing thread and without GL, what the first frame of the slide's motion would
    // otherwise wait for (a clip's file and decoder); the slide loader's call.
    virtual void prepareAhead() {}
    // The slide has left the screen: what its showing holds goes (a clip's reader and sound), what was
    // readied for its next showing stays. The player's call after a frame, with the driver lock and the main
    // context held: a source that waits for another thread lets them go.
    virtual void endShowing() {}
    virtual GLuint texture() const = 0;
    // The picture's size in pixels as stored.
    virtual QSize dimensions() const = 0;
    // How a clip's frames are turned (0 a quarter turn, 1 minus a quarter turn, 2 a half turn, 3 none);
    // only clip slides (item type 3) are turned.
    virtual int orientation() const { return 3; }
    // The file could not be read for the frame last asked (gone, emptied, spoilt): it drew nothing, or, in
    // an export, nothing more of the file.
    virtual bool unreadable() const { return false; }
};

using SlideFrameSourceFactory =
    std::function<std::shared_ptr<SlideFrameSource>(const std::shared_ptr<SlideItem>&)>;

// Installs the factory for slides of `itemType` (2 composition, 3 video clip); an empty function puts back
// the engine's own: clip slides with a file read their frames, composition slides with a composition that
// loads render it, other slides get no source.
void setSlideFrameSourceFactory(int itemType, SlideFrameSourceFactory factory);
std::shared_ptr<SlideFrameSource> makeSlideFrameSource(const std::shared_ptr<SlideItem>& slide);
