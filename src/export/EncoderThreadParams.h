#pragma once

#include "export/EncoderBufferManager.h"

#include <memory>

// What an encoding thread of the movie encoder is handed (EncoderController::threadEncodeMP4Thread): the
// pool of frames, which the holder keeps alive until it goes.
struct MP4EncoderThreadParam {
    std::shared_ptr<EncoderBufferManager> encodeBufferManager;
};
