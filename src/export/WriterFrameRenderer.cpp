#include "export/WriterFrameRenderer.h"

#include "platform/foundation/StringTable.h"

WriterFrameRenderer::WriterFrameRenderer(std::unique_ptr<FrameRenderer> drawing, Sink sink)
    : RedirectedFrameRenderer(std::move(drawing)), sink(std::move(sink)) {}

WriterFrameRenderer::~WriterFrameRenderer() {
    end();
}

bool WriterFrameRenderer::begin(const Play& play, QString* error) {
    if (!RedirectedFrameRenderer::begin(play, error))
        return false;
    if (renderer->frameBytes() <= 0) {
        *error = tr_("The frames of the slideshow cannot be read back.");
        return false;
    }
    frame.resize(std::size_t(renderer->frameBytes()));
    return true;
}

bool WriterFrameRenderer::writeFrame(QString* error) {
    const qint64 size = qint64(frame.size());
    return renderer->readFrame(frame.data(), size, error) && sink(frame.data(), size, error);
}
