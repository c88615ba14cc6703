#include "render/TextureObject.h"

#include "platform/gl/DriverLock.h"
#include "platform/gl/GlError.h"
#include "platform/image/PictureReading.h"

#include <algorithm>
#include <cstring>

using platform::gl::ObjectName;

namespace {

// The GL formats of a mask by its pixel layout; false for a layout a mask cannot have.
struct MaskLayout {
    GLint internalFormat;
    GLenum pixelFormat;
    int bytesPerPixel;
};

bool maskLayout(const QImage& image, MaskLayout& layout) {
    switch (image.format()) {
    case QImage::Format_Grayscale8:
    case QImage::Format_Alpha8:
        layout = {GL_LUMINANCE, GL_LUMINANCE, 1};
        return true;
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
        // 0xAARRGGBB words: B, G, R, A bytes on the little-endian machines we run on.
        layout = {GL_RGBA, GL_BGRA, 4};
        return true;
    case QImage::Format_RGBX8888:
    case QImage::Format_RGBA8888:
    case QImage::Format_RGBA8888_Premultiplied:
        layout = {GL_RGBA, GL_RGBA, 4};
        return true;
    case QImage::Format_RGB888:
        layout = {GL_RGB, GL_RGB, 3};
        return true;
    default:
        return false;
    }
}

// Alpha is the fourth byte of a pixel in both 32-bit layouts we upload.
bool everyPixelOpaque(const QImage& pixels) {
    if (!pixels.hasAlphaChannel())
        return true;
    for (int y = 0; y < pixels.height(); ++y) {
        const uchar* line = pixels.constScanLine(y);
        for (int x = 0; x < pixels.width(); ++x)
            if (line[x * 4 + 3] != 255)
                return false;
    }
    return true;
}

} // namespace

QSize TextureObject::fittedSize(const QSize& size, int maxWidth, int maxHeight) {
    return platform::image::requestedSize(size, {QSize(maxWidth, maxHeight)});
}

// A slide without such a picture (a DVD menu's, say) names none: nothing to read, and nothing to warn about.
QImage TextureObject::readImage(const QString& path, int maxWidth, int maxHeight, bool* whole) {
    if (whole)
        *whole = false;
    if (path.isEmpty())
        return {};
    const platform::image::Picture picture = platform::image::readPicture(path, {QSize(maxWidth, maxHeight)});
    if (whole)
        *whole = picture.whole;
    return picture.image;
}

QImage TextureObject::readImageFromData(const QByteArray& data, int maxWidth, int maxHeight) {
    return platform::image::readPictureData(data, {QSize(maxWidth, maxHeight)}).image;
}

bool TextureObject::LoadImage(const QString& path) {
    texture.reset();
    setSize(0, 0);
    bool decodedWhole = false;
    const bool loaded = upload(readImage(path, limitWidth, limitHeight, &decodedWhole));
    whole = loaded && decodedWhole;
    return loaded;
}

bool TextureObject::LoadImageFromData(const QByteArray& data) {
    texture.reset();
    setSize(0, 0);
    return upload(readImageFromData(data, limitWidth, limitHeight));
}

bool TextureObject::LoadCIImage(const QImage& image) {
    texture.reset();
    setSize(0, 0);
    if (image.isNull())
        return false;
    const QSize fitted = fittedSize(image.size(), limitWidth, limitHeight);
    return upload(fitted == image.size()
                      ? image
                      : image.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

bool TextureObject::LoadPicture(const platform::image::Picture& picture) {
    const bool loaded = LoadCIImage(picture.image);
    whole = loaded && picture.whole;
    return loaded;
}

void TextureObject::setSize(int w, int h) {
    opaque = false;
    whole = false;
    width = std::int16_t(w);
    height = std::int16_t(h);
    ratio = h > 0 ? float(w) / float(h) : 0.0f;
}

bool TextureObject::upload(const QImage& picture) {
    // A picture that opened but did not decode is a failed load, not an empty success.
    if (picture.isNull() || picture.width() < 1 || picture.height() < 1)
        return false;
    // B, G, R, A bytes: the layout the rasteriser's fast paths sample, and what most decoders give.
    const QImage pixels = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied).mirrored(false, true);
    setSize(pixels.width(), pixels.height());
    opaque = everyPixelOpaque(pixels);
    whole = true;
    const platform::gl::DriverLock driver; // a loader's upload while the player draws
    texture = ObjectName::genTexture();
    glBindTexture(GL_TEXTURE_2D, texture.get());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, GLint(pixels.bytesPerLine() / 4));
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, pixels.width(), pixels.height(), 0, GL_BGRA, GL_UNSIGNED_BYTE,
                 pixels.constBits());
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    platform::gl::drainErrors();
    return true;
}

bool TextureObject::LoadImage_mask(const QString& path) {
    // A mask keeps its own pixel layout and is never turned.
    const QImage image =
        platform::image::readPicture(path, platform::image::PictureRequest::asStored()).image;
    if (image.isNull())
        return false;
    return LoadImage_mask(image);
}

bool TextureObject::LoadImage_mask(const QImage& source) {
    QImage image = source.format() == QImage::Format_Grayscale16
                       ? source.convertToFormat(QImage::Format_Grayscale8)
                       : source;
    MaskLayout layout{};
    if (image.isNull() || !maskLayout(image, layout))
        return false;
    const int rowPixels = int(image.bytesPerLine() / layout.bytesPerPixel);
    QByteArray bytes(reinterpret_cast<const char*>(image.constBits()), qsizetype(image.sizeInBytes()));
    auto* data = reinterpret_cast<unsigned char*>(bytes.data());
    if (layout.bytesPerPixel == 4)
        for (qsizetype pixel = 0; pixel < qsizetype(image.height()) * rowPixels; ++pixel)
            data[pixel * 4 + 3] = data[pixel * 4];
    // Rows wider than the picture repeat their last pixel into the padding (up to two places), so linear
    // filtering at the right edge does not pick up garbage.
    const int padding = std::min(rowPixels - image.width(), 2);
    for (int row = 0; row < image.height() && padding > 0; ++row) {
        unsigned char* last = data + qsizetype(row) * image.bytesPerLine() +
                              qsizetype(image.width() - 1) * layout.bytesPerPixel;
        for (int k = 1; k <= padding; ++k)
            std::memcpy(last + k * layout.bytesPerPixel, last, size_t(layout.bytesPerPixel));
    }
    width = std::int16_t(image.width());
    height = std::int16_t(image.height());
    ratio = float(image.width()) / float(image.height());
    opaque = false;
    whole = true;
    const platform::gl::DriverLock driver;
    ObjectName made = ObjectName::genTexture();
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, made.get());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    // QImage rows start on 4-byte boundaries, as GL's default unpacking expects.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexImage2D(GL_TEXTURE_2D, 0, layout.internalFormat, rowPixels, image.height(), 0, layout.pixelFormat,
                 GL_UNSIGNED_BYTE, data);
    platform::gl::drainErrors();
    texture = std::move(made);
    return true;
}
