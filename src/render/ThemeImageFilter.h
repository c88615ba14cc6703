#pragma once

// How the current theme dresses a photo before it becomes a texture. `theme` is a theme dictionary with
// its exact keys: "PhotoShadow" {"needShadow", "ShadowOffset"}, "PhotoFrame" {"needFrame", "colorFrame",
// "FrameColor", the four "...PaddingSize" keys, "RoundConner", "RoundConnerSize", "PatternImage",
// "PatternName"} and "PhotoFilter".

#include <QImage>
#include <QRect>
#include <QSize>
#include <QVariantMap>

// A new premultiplied picture of (W + S) x (H + S) pixels for a W x H photo and a shadow of S pixels
// (0 without "needShadow"). The frame covers the top-left W x H, painted in "FrameColor" or tiled with
// the picture "PatternName" (the plain colour when that picture is missing), optionally with rounded
// corners; its shadow falls S pixels right and S pixels down, into the extra room. The photo is drawn
// stretched into the frame less the paddings (only with "needFrame"), each padding on its own side as
// seen. Without "colorFrame" no frame is painted and the photo itself casts the shadow.
// A null photo gives a null picture.
QImage applyTheme(const QImage& image, const QVariantMap& theme);

// Where applyTheme puts a photo: the size of the picture it makes, and the rectangle of that picture the
// photo is stretched into.
struct ThemedPhotoPlacement {
    QSize picture;
    QRect photo;
};
ThemedPhotoPlacement themedPhotoPlacement(const QSize& photo, const QVariantMap& theme);
