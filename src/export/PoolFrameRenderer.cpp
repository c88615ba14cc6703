#include "export/PoolFrameRenderer.h"

#include "platform/foundation/StringTable.h"

PoolFrameRenderer::PoolFrameRenderer(std::unique_ptr<FrameRenderer> drawing, EncoderBufferManager& pool,
                                     std::function<bool()> writerEnded)
    : RedirectedFrameRenderer(std::move(drawing)), pool(pool), writerEnded(std::move(writerEnded)) {}

PoolFrameRenderer::~PoolFrameRenderer() {
    end();
}

bool PoolFrameRenderer::begin(const Play& play, QString* error) {
    if (!RedirectedFrameRenderer::begin(play, error))
        return false;
    if (renderer->frameBytes() > qint64(pool.uYUVBufferSize())) {
        *error = tr_("A frame of %1 bytes does not fit the encoder's buffers of %2 bytes.")
                     .arg(renderer->frameBytes())
                     .arg(pool.uYUVBufferSize());
        return false;
    }
    return true;
}

bool PoolFrameRenderer::writeFrame(QString* error) {
    std::optional<EncoderBufferManager::Buffer> buffer =
        pool.waitYUVDataFromIdlePool([this] { return !writerEnded(); });
    if (!buffer || writerEnded()) {
        if (buffer)
            pool.freeYUVDataToIdelPool(std::move(*buffer));
        *error = tr_("The movie stopped taking frames.");
        return false;
    }
    if (!renderer->readFrame(buffer->data(), qint64(buffer->size()), error)) {
        pool.freeYUVDataToIdelPool(std::move(*buffer));
        return false;
    }
    pool.addDataToPendingQueue(std::move(*buffer));
    return true;
}

void PoolFrameRenderer::beforeEnd() {
    pool.addEOFToPendingQueue();
}
