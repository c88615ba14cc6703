#include "dvd/PaletteQuantiser.h"

#include "platform/image/ImageAdditions.h"
#include "platform/image/PictureReading.h"

#include <QColorSpace>

#include <libimagequant.h>

#include <memory>
#include <vector>

namespace palette_quantiser {

namespace {

const QString kStep = QStringLiteral("pngquant");

template <typename T, void (*Free)(T*)> struct Freed {
    void operator()(T* object) const {
        if (object)
            Free(object);
    }
};
using Attributes = std::unique_ptr<liq_attr, Freed<liq_attr, liq_attr_destroy>>;
using Bitmap = std::unique_ptr<liq_image, Freed<liq_image, liq_image_destroy>>;
using Result = std::unique_ptr<liq_result, Freed<liq_result, liq_result_destroy>>;

QString problem(liq_error code) {
    switch (code) {
    case LIQ_VALUE_OUT_OF_RANGE:
        return QStringLiteral("The number of colours must be from 2 to 256.");
    case LIQ_OUT_OF_MEMORY:
        return QStringLiteral("There is not enough memory to reduce the picture's colours.");
    case LIQ_QUALITY_TOO_LOW:
        return QStringLiteral("The picture cannot be shown well in so few colours.");
    default:
        return QStringLiteral("The picture's colours could not be reduced (error %1).").arg(int(code));
    }
}

QImage fail(QString* error, const QString& message) {
    if (error)
        *error = message;
    return QImage();
}

// Straight colour in sRGB: the quantiser weighs colours as they are seen, and a premultiplied pixel's
// colour is divided by its alpha in the conversion (a clear pixel's is 0).
QImage straightSRGB(const QImage& image) {
    QImage rows = image;
    if (const QColorSpace space = image.colorSpace(); space.isValid() && space != QColorSpace::SRgb)
        rows = image.convertedToColorSpace(QColorSpace::SRgb);
    return rows.convertToFormat(QImage::Format_RGBA8888);
}

std::vector<void*> rowsOf(QImage& image) {
    std::vector<void*> rows(std::size_t(image.height()));
    for (int y = 0; y < image.height(); ++y)
        rows[std::size_t(y)] = image.scanLine(y);
    return rows;
}

} // namespace

QImage quantised(const QImage& image, int colours, QString* error) {
    if (image.isNull())
        return fail(error, QStringLiteral("There is no picture to reduce."));
    const Attributes attributes(liq_attr_create());
    if (!attributes)
        return fail(error, problem(LIQ_OUT_OF_MEMORY));
    if (const liq_error code = liq_set_max_colors(attributes.get(), colours); code != LIQ_OK)
        return fail(error, problem(code));
    QImage input = straightSRGB(image);
    if (input.isNull())
        return fail(error, problem(LIQ_OUT_OF_MEMORY));
    std::vector<void*> inputRows = rowsOf(input); // read by the bitmap until it goes
    const Bitmap bitmap(liq_image_create_rgba_rows(attributes.get(), inputRows.data(), input.width(),
                                                   input.height(), kGamma));
    if (!bitmap)
        return fail(error, problem(LIQ_OUT_OF_MEMORY));
    liq_result* made = nullptr;
    if (const liq_error code = liq_image_quantize(bitmap.get(), attributes.get(), &made); code != LIQ_OK)
        return fail(error, problem(code));
    const Result result(made);
    liq_set_dithering_level(result.get(), 1.0f);

    QImage indexed(input.size(), QImage::Format_Indexed8);
    if (indexed.isNull())
        return fail(error, problem(LIQ_OUT_OF_MEMORY));
    std::vector<void*> outputRows = rowsOf(indexed);
    if (const liq_error code = liq_write_remapped_image_rows(
            result.get(), bitmap.get(), reinterpret_cast<unsigned char**>(outputRows.data()));
        code != LIQ_OK)
        return fail(error, problem(code));
    // The palette is final only once the picture has been remapped.
    const liq_palette* palette = liq_get_palette(result.get());
    QList<QRgb> table;
    for (unsigned i = 0; i < palette->count; ++i) {
        const liq_color& c = palette->entries[i];
        table.append(qRgba(c.r, c.g, c.b, c.a));
    }
    indexed.setColorTable(table);
    indexed.setColorSpace(QColorSpace::SRgb);
    return indexed;
}

bool writeQuantisedPNG(const QImage& image, const QString& path, int colours, DVDStepError* error) {
    QString why;
    const QImage reduced = quantised(image, colours, &why);
    if (reduced.isNull())
        return failStep(error, kStep, why);
    if (!saveToPNGFile(reduced, path))
        return failStep(error, kStep, QStringLiteral("Cannot write \"%1\".").arg(path));
    return true;
}

bool writeQuantisedPNG(const QString& source, const QString& path, int colours, DVDStepError* error) {
    const QImage image = platform::image::readPicture(source).image;
    if (image.isNull())
        return failStep(error, kStep, QStringLiteral("Cannot read the picture \"%1\".").arg(source));
    return writeQuantisedPNG(image, path, colours, error);
}

} // namespace palette_quantiser
