// The pictures of the movie: the frames of encodeVideo_3 on the pump's thread, and the video block on
// "mediaInputQueue" with the frames it reads from the pipe or the pool.
#include "export/EncoderController.h"

#include "export/EncoderControllerShared.h"
#include "platform/foundation/StringTable.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <optional>
#include <thread>

using encoder_controller::failureResult;
using encoder_controller::pipeOpenFailure;
using platform::media::MediaKind;
using platform::media::MediaTime;
using platform::media::MovieWriter;

namespace {

constexpr std::chrono::milliseconds kAudioCatchUpPoll{20};

} // namespace

// ---- the frames of encodeVideo_3, on the pump's thread

bool EncoderController::writeRGBAFrame(const unsigned char* pixels, qint64 size, QString* error) {
    const qint64 frameBytes = qint64(frameSize.width()) * frameSize.height() * 4;
    if (!writer || writingEnded || bCancelRequest() || hasFailure()) {
        *error = tr_("The movie stopped taking frames.");
        return false;
    }
    if (!pixels || size < frameBytes) {
        *error = tr_("A frame of %1 bytes is smaller than a frame of the movie.").arg(size);
        return false;
    }
    ++videoFrameCounter; // the first frame shows at 1/30 s, as on the other paths
    if (!writer->appendVideoFrame(pixels, frameSize.width() * 4, MediaTime(videoFrameCounter, kFrameRate))) {
        *error = writer->errorString();
        setFailure(failureResult(*error));
        return false;
    }
    ++appended;
    return true;
}

void EncoderController::finishRGBInput() {
    if (!writer || writingEnded)
        return;
    const auto writing = [this] {
        return !bCancelRequest() && !hasFailure() && writer->status() == MovieWriter::Status::Writing;
    };
    if (writing()) {
        writer->markAsFinished(MediaKind::Video);
        // The sound may lag the pictures: with them finished it need not wait for them any more, and its
        // thread ends by itself once the whole show's sound is in.
        while (!bAudioThreadFinished() && writing())
            std::this_thread::sleep_for(kAudioCatchUpPoll);
    }
    requestAndWaitAudioThreadFinish();
    videoBlockFinished_2();
}

// ---- the blocks on "mediaInputQueue"

void EncoderController::videoBlock() {
    if (writingEnded)
        return;
    videoBlockRunning = true;
    bool stop = false;
    while (!stop && writer->isReadyForMoreMediaData(MediaKind::Video)) {
        ++videoFrameCounter; // the first frame shows at 1/30 s
        if (bCancelRequest() || hasFailure()) {
            stop = true;
            break;
        }
        if (bufferPool) {
            stop = !readAndAppendPoolFrame() || bCancelRequest();
            continue;
        }
        if (!pipeReader->isOpen() && !pipeReader->open(pipe.reachablePath())) {
            setFailure(failureResult(pipeOpenFailure(), pipeReader->errorCode()));
            stop = true;
            break;
        }
        if (!frameRing) {
            frameRing = std::make_unique<FrameRing>(
                *pipeReader,
                FrameRing::slotsFor(std::size_t(frameSize.width()) * std::size_t(frameSize.height()) * 4));
            frameRing->start({[this] { return bCancelRequest() || hasFailure(); },
                              [this] { return bVideoReadThreadFinished(); }});
        }
        stop = !readAndAppendFrame() || bCancelRequest();
    }
    if (stop)
        videoBlockFinished_2();
    videoBlockRunning = false;
}

bool EncoderController::readAndAppendFrame() {
    const unsigned char* frame = nullptr;
    switch (frameRing->next(&frame, [this] { return bCancelRequest() || hasFailure(); })) {
    case FramePipeReader::Status::Frame: {
        const bool added =
            writer->appendVideoFrame(frame, frameSize.width() * 4, MediaTime(videoFrameCounter, kFrameRate));
        frameRing->release();
        if (!added) {
            setFailure(failureResult(writer->errorString()));
            return false;
        }
        ++appended;
        return true;
    }
    case FramePipeReader::Status::Failed:
        setFailure(failureResult(tr_("Can not read video named pipe!"), frameRing->errorCode()));
        return false;
    case FramePipeReader::Status::EndOfStream:
    case FramePipeReader::Status::Stopped:
        break;
    }
    return false;
}

bool EncoderController::readAndAppendPoolFrame() {
    bool endOfStream = false;
    std::optional<EncoderBufferManager::Buffer> frame = bufferPool->waitDataFromPendingQueue(
        &endOfStream, [this] { return !bCancelRequest() && !hasFailure(); });
    if (!frame)
        return false; // the end of the stream, a cancel or a failure
    const int bytesPerLine = frameSource == Frames::YUVPool ? frameSize.width() : frameSize.width() * 4;
    const bool added =
        writer->appendVideoFrame(frame->data(), bytesPerLine, MediaTime(videoFrameCounter, kFrameRate));
    bufferPool->freeYUVDataToIdelPool(std::move(*frame));
    if (!added) {
        setFailure(failureResult(writer->errorString()));
        return false;
    }
    ++appended;
    return true;
}

bool EncoderController::nextFrameInCVPixelBuffer(unsigned char* buffer, qint64 size) {
    if (!bufferPool || !buffer)
        return false;
    bool endOfStream = false;
    std::optional<EncoderBufferManager::Buffer> frame =
        bufferPool->waitDataFromPendingQueue(&endOfStream, [this] { return !bCancelRequest(); });
    if (!frame)
        return false;
    const std::size_t bytes = std::min(
        {std::size_t(std::max<qint64>(size, 0)), std::size_t(bufferPool->uYUVBufferSize()), frame->size()});
    std::memcpy(buffer, frame->data(), bytes);
    bufferPool->freeYUVDataToIdelPool(std::move(*frame));
    return true;
}
