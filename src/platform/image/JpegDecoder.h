#pragma once

// The JPEG decoder behind readPicture, called directly: it reduces while decoding (the decoder's own scaling
// of its transform), tells damage from its own warnings in the same pass, and is bounded in what it may hold.

#include "platform/image/PictureReading.h"

#include <functional>

namespace platform::image::detail {

// Where the coded bytes come from: each call fills the buffer with the next bytes and answers how many,
// 0 at the end of the data.
using JpegInput = std::function<qint64(char* buffer, qint64 capacity)>;

enum class JpegStage {
    Header, // the size and orientation only
    Judge,  // every coded byte decoded at the smallest size, no pixels kept
    Pixels, // the picture at the size requested
};

Picture readJpeg(const JpegInput& input, const PictureRequest& request, JpegStage stage);

bool isJpegSignature(const QByteArray& start);

} // namespace platform::image::detail
