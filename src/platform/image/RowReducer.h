#pragma once

// A picture reduced while its rows come, top to bottom: each pixel of the result is the mean of the stored
// pixels that fall in it, so what is held besides the result is one row of sums, never the picture.

#include <QImage>
#include <QSize>

#include <vector>

namespace platform::image::detail {

class RowReducer {
public:
    // Rows of `stored.width()` pixels of `channels` bytes: 1 (grey), or 4 (blue, green, red, then unused or,
    // with `alpha`, the opacity, by which the colours are weighed). The result is grey, RGB32, or with alpha
    // premultiplied (ARGB32 when kept at its size); where no row came it is grey. Null when it cannot be
    // allocated.
    RowReducer(const QSize& stored, const QSize& reduced, int channels, bool alpha);

    // A picture of the format kept at its own size, grey all over.
    static QImage blank(const QSize& size, int channels, bool alpha);

    bool isNull() const { return result.isNull(); }
    // The next stored row.
    void add(const uchar* row);
    QImage take() { return std::move(result); }

private:
    void addSums(const uchar* row);
    void emitRow(int y);

    QSize stored, reduced;
    int channels;
    bool alpha;
    QImage result;
    std::vector<int> columnStart; // of each result column, and the stored width after the last
    std::vector<quint64> sums;    // of the result row being made, a sum per channel and column
    int storedRows = 0;           // added so far
    int rowsInSums = 0;
};

} // namespace platform::image::detail
