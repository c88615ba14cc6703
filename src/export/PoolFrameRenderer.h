#pragma once

#include "export/EncoderBufferManager.h"
#include "export/RedirectedFrameRenderer.h"

#include <functional>
#include <memory>

// Hands each frame of another renderer to the encoder through its pool of frame buffers instead of a
// pipe: every frame written waits for an idle buffer, has the renderer read the frame into it and queues
// it; the end of the play queues the end-of-stream mark. With only a few buffers, the drawing runs at
// most that many frames ahead of the encoder. Used on the pump's thread only.
class PoolFrameRenderer : public RedirectedFrameRenderer {
public:
    // `writerEnded` is asked while waiting for a buffer: true once nothing takes frames any more.
    PoolFrameRenderer(std::unique_ptr<FrameRenderer> renderer, EncoderBufferManager& pool,
                      std::function<bool()> writerEnded);
    ~PoolFrameRenderer() override;

    bool begin(const Play& play, QString* error) override;
    bool writeFrame(QString* error) override;

private:
    void beforeEnd() override;

    EncoderBufferManager& pool;
    std::function<bool()> writerEnded;
};
