#include "ui/editing/VideoFrameImage.h"

#include <QVideoFrameFormat>

#include <algorithm>

namespace {

// Y'CbCr to R'G'B' in 16.16 fixed point: luma scale, then Cr for red, Cb and Cr for green, Cb for blue.
struct Matrix {
    int lumaOffset, luma, crRed, cbGreen, crGreen, cbBlue;
};

Matrix matrixFor(const QVideoFrameFormat& format) {
    const bool full = format.colorRange() == QVideoFrameFormat::ColorRange_Full;
    const bool bt709 = format.colorSpace() == QVideoFrameFormat::ColorSpace_BT709;
    if (full)
        return bt709 ? Matrix{0, 65536, 103206, 12276, 30679, 121609}
                     : Matrix{0, 65536, 91881, 22554, 46802, 116130};
    return bt709 ? Matrix{16, 76309, 117489, 13975, 34925, 138438}
                 : Matrix{16, 76309, 104597, 25675, 53279, 132201};
}

uchar clamped(int value) {
    return uchar(std::clamp((value + 32768) >> 16, 0, 255));
}

// Chroma at (x / 2, y / 2): `cb` and `cr` with `step` bytes between neighbouring samples.
QImage fromYuv420(const uchar* luma, int lumaStride, const uchar* cb, const uchar* cr, int chromaStride,
                  int step, int width, int height, const Matrix& m) {
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull())
        return image;
    for (int y = 0; y < height; ++y) {
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        const uchar* yRow = luma + qsizetype(y) * lumaStride;
        const uchar* cbRow = cb + qsizetype(y / 2) * chromaStride;
        const uchar* crRow = cr + qsizetype(y / 2) * chromaStride;
        for (int x = 0; x < width; ++x) {
            const int l = (yRow[x] - m.lumaOffset) * m.luma;
            const int u = cbRow[(x / 2) * step] - 128, v = crRow[(x / 2) * step] - 128;
            out[x] = qRgb(clamped(l + m.crRed * v), clamped(l - m.cbGreen * u - m.crGreen * v),
                          clamped(l + m.cbBlue * u));
        }
    }
    return image;
}

} // namespace

QImage imageOfVideoFrame(const QVideoFrame& source) {
    QVideoFrame frame(source);
    if (!frame.isValid() || !frame.map(QVideoFrame::ReadOnly))
        return {};
    const int width = frame.width(), height = frame.height();
    const Matrix m = matrixFor(frame.surfaceFormat());
    QImage image;
    switch (frame.pixelFormat()) {
    case QVideoFrameFormat::Format_YUV420P:
        image = fromYuv420(frame.bits(0), frame.bytesPerLine(0), frame.bits(1), frame.bits(2),
                           frame.bytesPerLine(1), 1, width, height, m);
        break;
    case QVideoFrameFormat::Format_YV12:
        image = fromYuv420(frame.bits(0), frame.bytesPerLine(0), frame.bits(2), frame.bits(1),
                           frame.bytesPerLine(1), 1, width, height, m);
        break;
    case QVideoFrameFormat::Format_NV12:
        image = fromYuv420(frame.bits(0), frame.bytesPerLine(0), frame.bits(1), frame.bits(1) + 1,
                           frame.bytesPerLine(1), 2, width, height, m);
        break;
    case QVideoFrameFormat::Format_NV21:
        image = fromYuv420(frame.bits(0), frame.bytesPerLine(0), frame.bits(1) + 1, frame.bits(1),
                           frame.bytesPerLine(1), 2, width, height, m);
        break;
    default: {
        const QImage::Format packed = QVideoFrameFormat::imageFormatFromPixelFormat(frame.pixelFormat());
        if (packed != QImage::Format_Invalid)
            image = QImage(frame.bits(0), width, height, frame.bytesPerLine(0), packed).copy();
        break;
    }
    }
    frame.unmap();
    return image;
}
