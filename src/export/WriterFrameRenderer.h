#pragma once

#include "export/RedirectedFrameRenderer.h"

#include <functional>
#include <memory>
#include <vector>

// Hands each frame of another renderer straight to a writer instead of a pipe: the frame just drawn is read
// back into a buffer of its own and given to the sink before the next one is drawn. Used on the pump's
// thread only.
class WriterFrameRenderer : public RedirectedFrameRenderer {
public:
    // Takes one frame of the renderer's frameBytes(); false, with *error, once the writer takes no more.
    using Sink = std::function<bool(const unsigned char* frame, qint64 size, QString* error)>;

    WriterFrameRenderer(std::unique_ptr<FrameRenderer> renderer, Sink sink);
    ~WriterFrameRenderer() override;

    bool begin(const Play& play, QString* error) override;
    bool writeFrame(QString* error) override;

private:
    Sink sink;
    std::vector<unsigned char> frame;
};
