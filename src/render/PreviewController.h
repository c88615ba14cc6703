#pragma once

#include <memory>

class DisplayLink;
class NSGLView;
class SlideshowDirector;

// What the preview view and its render object need of the main window controller: whether the preview
// plays, and where to hand the display link, the player and the view once they exist.
class PreviewController {
public:
    virtual ~PreviewController() = default;
    // True while the preview plays; read on the display link's thread.
    virtual bool m_bPlaying() const = 0;
    virtual void setDisplayLink(DisplayLink* link) { (void)link; }
    // Shows the welcome picture in the preview.
    virtual void clearOpenGLWindow() {}
    virtual void setDirector(std::shared_ptr<SlideshowDirector> director) { (void)director; }
    virtual void setOpengGLView(NSGLView* view) { (void)view; }
};
