#pragma once

#include "export/EncoderBufferManager.h"
#include "render/FramePump.h"

#include <functional>
#include <memory>

// Hands each frame of another renderer to the encoder through its pool of frame buffers instead of a
// pipe: every frame written waits for an idle buffer, has the renderer read the frame into it and queues
// it; the end of the play queues the end-of-stream mark. With only a few buffers, the drawing runs at
// most that many frames ahead of the encoder. Used on the pump's thread only.
class PoolFrameRenderer : public FrameRenderer {
public:
    // `writerEnded` is asked while waiting for a buffer: true once nothing takes frames any more.
    PoolFrameRenderer(std::unique_ptr<FrameRenderer> renderer, EncoderBufferManager& pool,
                      std::function<bool()> writerEnded);
    ~PoolFrameRenderer() override;

    bool begin(const Play& play, QString* error) override;
    quint64 totalFrames() const override { return renderer->totalFrames(); }
    bool renderFrame() override { return renderer->renderFrame(); }
    QString renderError() const override { return renderer->renderError(); }
    bool writeFrame(QString* error) override;
    void end() override;

private:
    std::unique_ptr<FrameRenderer> renderer;
    EncoderBufferManager& pool;
    std::function<bool()> writerEnded;
    bool ended = false;
};
