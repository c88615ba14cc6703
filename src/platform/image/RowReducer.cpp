#include "platform/image/RowReducer.h"

#include <algorithm>
#include <cstring>

namespace platform::image::detail {

namespace {

// What a part that never decoded shows, as a JPEG's does.
constexpr int kUndecodedGrey = 128;

QImage::Format resultFormat(int channels, bool alpha, bool kept) {
    if (channels == 1)
        return QImage::Format_Grayscale8;
    if (!alpha)
        return QImage::Format_RGB32;
    return kept ? QImage::Format_ARGB32 : QImage::Format_ARGB32_Premultiplied;
}

QImage greyPicture(const QSize& size, QImage::Format format) {
    QImage picture(size, format);
    if (!picture.isNull())
        picture.fill(QColor(kUndecodedGrey, kUndecodedGrey, kUndecodedGrey));
    return picture;
}

quint64 mean(quint64 sum, quint64 count) {
    return (sum + count / 2) / count;
}

} // namespace

RowReducer::RowReducer(const QSize& storedSize, const QSize& reducedSize, int bytes, bool withAlpha)
    : stored(storedSize), reduced(reducedSize), channels(bytes), alpha(withAlpha) {
    result = greyPicture(reduced, resultFormat(channels, alpha, reduced == stored));
    if (result.isNull() || reduced == stored)
        return;
    // Stored column x falls in result column x * reduced / stored.
    columnStart.resize(std::size_t(reduced.width()) + 1);
    for (int x = 0; x <= reduced.width(); ++x)
        columnStart[std::size_t(x)] =
            int((qint64(x) * stored.width() + reduced.width() - 1) / reduced.width());
    sums.assign(std::size_t(reduced.width()) * std::size_t(channels == 1 ? 1 : alpha ? 4 : 3), 0);
}

QImage RowReducer::blank(const QSize& size, int channels, bool alpha) {
    return greyPicture(size, resultFormat(channels, alpha, true));
}

void RowReducer::add(const uchar* row) {
    if (result.isNull() || storedRows >= stored.height())
        return;
    const int y = storedRows++;
    if (reduced == stored) {
        std::memcpy(result.scanLine(y), row, std::size_t(stored.width()) * std::size_t(channels));
        return;
    }
    addSums(row);
    ++rowsInSums;
    const auto resultRow = [&](int storedRow) {
        return int(qint64(storedRow) * reduced.height() / stored.height());
    };
    if (storedRows == stored.height() || resultRow(storedRows) != resultRow(y))
        emitRow(resultRow(y));
}

void RowReducer::addSums(const uchar* row) {
    quint64* sum = sums.data();
    for (std::size_t x = 0; x + 1 < columnStart.size(); ++x) {
        const uchar* pixel = row + std::size_t(columnStart[x]) * std::size_t(channels);
        const uchar* end = row + std::size_t(columnStart[x + 1]) * std::size_t(channels);
        if (channels == 1) {
            quint64 grey = 0;
            for (; pixel < end; ++pixel)
                grey += *pixel;
            *sum++ += grey;
        } else if (!alpha) {
            quint64 blue = 0, green = 0, red = 0;
            for (; pixel < end; pixel += 4) {
                blue += pixel[0];
                green += pixel[1];
                red += pixel[2];
            }
            *sum++ += blue;
            *sum++ += green;
            *sum++ += red;
        } else { // each colour weighed by its opacity: a transparent pixel's hidden colour counts for nothing
            quint64 blue = 0, green = 0, red = 0, opacity = 0;
            for (; pixel < end; pixel += 4) {
                const unsigned weight = pixel[3];
                blue += pixel[0] * weight;
                green += pixel[1] * weight;
                red += pixel[2] * weight;
                opacity += weight;
            }
            *sum++ += blue;
            *sum++ += green;
            *sum++ += red;
            *sum++ += opacity;
        }
    }
}

void RowReducer::emitRow(int y) {
    uchar* out = result.scanLine(y);
    const quint64* sum = sums.data();
    for (std::size_t x = 0; x + 1 < columnStart.size(); ++x) {
        const quint64 count = quint64(columnStart[x + 1] - columnStart[x]) * quint64(rowsInSums);
        if (channels == 1) {
            out[x] = uchar(mean(*sum++, count));
            continue;
        }
        uchar* pixel = out + 4 * x;
        // Premultiplied: the colours' sums are weighed by opacities of up to 255.
        const quint64 colourCount = alpha ? count * 255 : count;
        for (int c = 0; c < 3; ++c)
            pixel[c] = uchar(mean(*sum++, colourCount));
        pixel[3] = alpha ? uchar(mean(*sum++, count)) : 255;
    }
    std::fill(sums.begin(), sums.end(), 0);
    rowsInSums = 0;
}

} // namespace platform::image::detail
