#pragma once

// The PNG decoder behind readPicture, called directly: a picture is decoded a row at a time and reduced as
// its rows come (16 bits a sample to 8; palettes, grey and transparency expanded), so what a read holds
// follows the size asked for; its damage (a chunk's check value wrong, its data cut short) is told in the
// same pass. An interlaced picture, whose rows come in seven passes, is decoded whole, within the bound of a
// whole decode, and then reduced.

#include "platform/image/JpegDecoder.h" // the input and the stages, which the two decoders share

namespace platform::image::detail {

// Without `request.judge` (and but for the stage that judges), the chunks' check values are not looked at,
// as a preview would show the picture.
Picture readPng(const JpegInput& input, const PictureRequest& request, JpegStage stage);

bool isPngSignature(const QByteArray& start);

} // namespace platform::image::detail
