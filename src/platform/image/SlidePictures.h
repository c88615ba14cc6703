#pragma once

// How the pictures a photo's slide keeps beside it are made from its photo, alike for every slide: the slide
// picture, the blurred backdrop that themes draw around it, and the timeline thumbnail, each written as JPEG
// at its own quality.

#include <QImage>
#include <QSize>

namespace platform::image::slide_pictures {

constexpr int kPictureQuality = 98;
constexpr int kBackdropQuality = 90;
constexpr int kThumbnailQuality = 100;
// The largest a slide's picture is worked on, on its longer side: the largest texture the player draws.
constexpr int kLargestSide = 2048;
// A thumbnail needs no more of the photo than this on its longer side: readers may decode that little.
constexpr int kThumbnailReadSide = 256;

// JPEG keeps no transparency, and a transparent pixel still holds a colour that the encoder would show: every
// picture is laid on black before it is written.
QImage flattenedOnBlack(const QImage& picture);
// Reduced (never enlarged) so that the longer side is at most `side`.
QImage reducedTo(const QImage& picture, int side);
// The slide picture: the photo with its longer side at most `maxWidth`.
QImage picture(const QImage& photo, int maxWidth);
// The backdrop: the photo at most 640 on its longer side, blurred.
QImage backdrop(const QImage& photo);
// The thumbnail: the photo cropped to fill 80 x 70.
QImage thumbnail(const QImage& photo);

} // namespace platform::image::slide_pictures
