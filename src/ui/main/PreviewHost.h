#pragma once

#include "render/DisplayLink.h"

#include <QPointer>

#include <memory>

class NSGLView;
class PreviewController;
class PreviewWidget;
class QWidget;
class SlideshowDirector;

// The document window's preview: the GL view it makes (with its display link and its player, which the view
// hands back while it prepares) and the widget in the window that paints the view's pictures. Main thread;
// the view's link thread asks its controller whether the preview plays until the view goes.
class PreviewHost {
public:
    PreviewHost() = default;
    ~PreviewHost();
    PreviewHost(const PreviewHost&) = delete;
    PreviewHost& operator=(const PreviewHost&) = delete;

    // Makes the view for `controller` and its widget in `host`, and prepares GL; false (the preview stays
    // black, nothing kept) when no GL can be had.
    bool host(PreviewController& controller, QWidget& host, std::shared_ptr<DisplayLinkTimeSource> time);
    // The player goes inside the view's context, and the view's link thread before anything it reads.
    void shutDown();

    // What the view hands back while it prepares.
    void setDirector(std::shared_ptr<SlideshowDirector> player) { director = std::move(player); }
    void setDisplayLink(DisplayLink* link) { displayLink = link; }
    void setView(NSGLView* view) { glView = view; }

    std::shared_ptr<SlideshowDirector> slideshowDirector() const { return director; }
    NSGLView* view() const { return glView; }
    DisplayLink* link() const { return displayLink; }
    PreviewWidget* widget() const { return preview; }

private:
    std::shared_ptr<SlideshowDirector> director;
    NSGLView* glView = nullptr;
    DisplayLink* displayLink = nullptr;
    std::unique_ptr<NSGLView> ownedView;
    QPointer<PreviewWidget> preview;
};
