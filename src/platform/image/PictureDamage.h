#pragma once

// Telling a picture file that decodes only in part. The JPEG, BMP and GIF readers fill what they could not
// decode (grey, black, the last colour) and answer a picture all the same; the PNG, TIFF and WebP readers
// fail the read instead, so for those the decode itself is the test.

#include <QByteArray>

namespace platform::image {

// Whether the encoded picture holds all it shows: false for a JPEG whose decoder met coded data missing or
// wrongly coded, or that does not decode at all (bytes to spare before a marker, which some cameras write,
// cost nothing of it); for an uncompressed BMP shorter than its pixels; for a GIF whose first picture ends
// before its data does. True for any other bytes, which their decode judges.
bool pictureDataWhole(const QByteArray& bytes);

// The JPEG part of that test, told by the decoder itself (its warnings' codes, whatever logging is set up):
// decoded at an eighth of its size, which still reads every coded byte and skips most of the work.
bool jpegDecodesWhole(const QByteArray& bytes);

bool isJpegData(const QByteArray& bytes);

} // namespace platform::image
