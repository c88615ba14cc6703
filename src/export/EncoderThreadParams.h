#pragma once

#include "export/EncoderBufferManager.h"
#include "platform/foundation/UniqueFd.h"

#include <QString>

#include <memory>

class EncoderController;

// What an encoding thread of the movie encoder is handed (EncoderController::threadEncodeMP4Thread): the
// encoder, the movie to write, the pool of frames, a pipe of frames (its read and write ends) and the read
// end of a sound file. The holder owns what it holds and lets it go with itself.
struct MP4EncoderThreadParam {
    EncoderController* encoderController = nullptr;
    QString strFullOutputFileName;
    std::shared_ptr<EncoderBufferManager> encodeBufferManager;
    struct Pipe {
        platform::UniqueFd readEnd;
        platform::UniqueFd writeEnd;
    } yuvPipe;
    platform::UniqueFd fileHandleWAVRead;
};

// What a thread that writes sound into a file is handed: the file's write end.
struct WAVCreateThreadParam {
    platform::UniqueFd fileHandleWAVWrite;
};
