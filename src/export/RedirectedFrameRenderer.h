#pragma once

#include "render/FramePump.h"

#include <memory>
#include <utility>

// The frames of another renderer taken into memory instead of its pipe: the drawing is the renderer's own,
// and a subclass says in writeFrame where each frame read back goes. end() leaves the renderer once, after
// beforeEnd(). Used on the pump's thread only.
class RedirectedFrameRenderer : public FrameRenderer {
public:
    explicit RedirectedFrameRenderer(std::unique_ptr<FrameRenderer> drawing) : renderer(std::move(drawing)) {}

    bool begin(const Play& play, QString* error) override { return renderer->begin(play, error); }
    quint64 totalFrames() const override { return renderer->totalFrames(); }
    bool renderFrame() override { return renderer->renderFrame(); }
    QString renderError() const override { return renderer->renderError(); }
    void end() override {
        if (std::exchange(ended, true))
            return;
        beforeEnd();
        renderer->end();
    }

protected:
    // Subclasses call end() in their own destructor, while beforeEnd() is still theirs.
    virtual void beforeEnd() {}

    std::unique_ptr<FrameRenderer> renderer;

private:
    bool ended = false;
};
