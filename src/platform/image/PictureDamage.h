#pragma once

// Telling a picture file that decodes only in part where its reader does not: the BMP and GIF readers fill
// what they could not decode (black, the last colour) and answer a picture all the same. The TIFF and WebP
// readers fail the read instead, and the JPEG and PNG decoders tell their own damage (JpegDecoder,
// PngDecoder).

#include <QByteArray>

namespace platform::image {

// Whether the encoded picture holds all it shows: false for an uncompressed BMP shorter than its pixels and
// for a GIF whose first picture ends before its data does. True for any other bytes, which their decode
// judges.
bool pictureDataWhole(const QByteArray& bytes);

} // namespace platform::image
