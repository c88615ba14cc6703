#pragma once

#include "platform/gl/GlApi.h"
#include "platform/gl/ShareGroup.h"
#include "platform/image/PictureReading.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <cstdint>

// One GL texture made from a picture, with the size it was uploaded at. Ordinary loads make RGBA8 textures
// holding the picture upside down (first texture row = bottom row of the picture), linear filtering,
// clamped edges, no mipmaps, at most maxWidth x maxHeight: big photos are decoded at the reduced size.
//
// A load runs on whatever context is current (the main context or a loader's shared one). The texture is
// deleted through its share group when the object goes or loads again, so the object may go on any thread.
class TextureObject {
public:
    TextureObject() = default;
    TextureObject(const TextureObject&) = delete;
    TextureObject& operator=(const TextureObject&) = delete;

    // The first picture of an image file, of encoded data, or a picture in memory. Each first drops the
    // texture held. A source that cannot be opened or decoded answers false and leaves no texture.
    bool LoadImage(const QString& path);
    bool LoadImageFromData(const QByteArray& data);
    bool LoadCIImage(const QImage& image);
    // A picture read elsewhere (platform::image::readPicture and its kin), whole as it decoded.
    bool LoadPicture(const platform::image::Picture& picture);
    // A grey mask keeping its own pixel layout (luminance for 8-bit pictures, RGBA/BGRA for 32-bit ones,
    // the grey value copied into alpha). An unsupported layout answers false and leaves the object as it was.
    bool LoadImage_mask(const QString& path);
    bool LoadImage_mask(const QImage& image);

    GLuint textureID() const { return texture.get(); }
    std::int16_t textWidth() const { return width; }
    std::int16_t textHeight() const { return height; }
    float textRatio() const { return ratio; }
    // Whether every pixel of the loaded picture is opaque: drawn over something, it hides it whole.
    bool isOpaque() const { return opaque; }
    // Whether the last load holds its whole picture: false when it failed, and when an image file's bytes
    // decoded only in part, whose texture shows what decoded.
    bool isWhole() const { return whole; }
    int maxWidth() const { return limitWidth; }
    int maxHeight() const { return limitHeight; }

    // The size a picture of `size` is uploaded at under the limits (fractions dropped).
    static QSize fittedSize(const QSize& size, int maxWidth, int maxHeight);
    // Decodes the first picture of a file or of data, reduced to fit the limits while decoding; turned as
    // its orientation tag says. Null when it cannot be read. `whole`, when asked: the bytes decode whole.
    static QImage readImage(const QString& path, int maxWidth = 2048, int maxHeight = 2048,
                            bool* whole = nullptr);
    static QImage readImageFromData(const QByteArray& data, int maxWidth = 2048, int maxHeight = 2048);

private:
    bool upload(const QImage& picture);
    void setSize(int w, int h);

    platform::gl::ObjectName texture;
    std::int16_t width = 0;
    std::int16_t height = 0;
    float ratio = 0.0f;
    bool opaque = false;
    bool whole = false;
    int limitWidth = 2048;
    int limitHeight = 2048;
};
