#include "ui/editing/VideoFrameImage.h"

#include <QVideoFrameFormat>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace {

// A 4 x 2 frame of one Y'CbCr colour in `format`.
QVideoFrame uniformFrame(QVideoFrameFormat::PixelFormat pixels, int y, int cb, int cr,
                         QVideoFrameFormat::ColorSpace space = QVideoFrameFormat::ColorSpace_BT601) {
    QVideoFrameFormat format(QSize(4, 2), pixels);
    format.setColorSpace(space);
    QVideoFrame frame(format);
    if (!frame.map(QVideoFrame::WriteOnly))
        return {};
    std::memset(frame.bits(0), y, size_t(frame.mappedBytes(0)));
    const bool semiPlanar =
        pixels == QVideoFrameFormat::Format_NV12 || pixels == QVideoFrameFormat::Format_NV21;
    if (semiPlanar) {
        const bool crFirst = pixels == QVideoFrameFormat::Format_NV21;
        for (int i = 0; i + 1 < frame.mappedBytes(1); i += 2) {
            frame.bits(1)[i] = uchar(crFirst ? cr : cb);
            frame.bits(1)[i + 1] = uchar(crFirst ? cb : cr);
        }
    } else {
        const bool crFirst = pixels == QVideoFrameFormat::Format_YV12;
        std::memset(frame.bits(1), crFirst ? cr : cb, size_t(frame.mappedBytes(1)));
        std::memset(frame.bits(2), crFirst ? cb : cr, size_t(frame.mappedBytes(2)));
    }
    frame.unmap();
    return frame;
}

bool near(QRgb actual, QRgb expected, int tolerance = 2) {
    return std::abs(qRed(actual) - qRed(expected)) <= tolerance &&
           std::abs(qGreen(actual) - qGreen(expected)) <= tolerance &&
           std::abs(qBlue(actual) - qBlue(expected)) <= tolerance;
}

} // namespace

TEST(VideoFrameImage, FourTwoZeroFramesBecomeTheirColours) {
    struct Case {
        int y, cb, cr;
        QVideoFrameFormat::ColorSpace space;
        QRgb expected;
    };
    const Case colours[] = {
        {235, 128, 128, QVideoFrameFormat::ColorSpace_BT601, qRgb(255, 255, 255)},
        {16, 128, 128, QVideoFrameFormat::ColorSpace_BT601, qRgb(0, 0, 0)},
        {81, 90, 240, QVideoFrameFormat::ColorSpace_BT601, qRgb(255, 0, 0)},
        {63, 102, 240, QVideoFrameFormat::ColorSpace_BT709, qRgb(255, 0, 0)},
        {32, 240, 118, QVideoFrameFormat::ColorSpace_BT709, qRgb(0, 0, 255)},
    };
    for (const auto pixels : {QVideoFrameFormat::Format_YUV420P, QVideoFrameFormat::Format_YV12,
                              QVideoFrameFormat::Format_NV12, QVideoFrameFormat::Format_NV21})
        for (const Case& c : colours) {
            const QImage image = imageOfVideoFrame(uniformFrame(pixels, c.y, c.cb, c.cr, c.space));
            ASSERT_EQ(image.size(), QSize(4, 2)) << pixels;
            for (const QPoint at : {QPoint(0, 0), QPoint(3, 1)})
                EXPECT_TRUE(near(image.pixel(at), c.expected))
                    << "format " << pixels << " Y " << c.y << ": " << std::hex << image.pixel(at);
        }
}

TEST(VideoFrameImage, PackedFramesAreCopiedAndOthersGiveNoPicture) {
    QVideoFrame packed(QVideoFrameFormat(QSize(2, 1), QVideoFrameFormat::Format_BGRA8888));
    ASSERT_TRUE(packed.map(QVideoFrame::WriteOnly));
    const uchar pixel[8] = {10, 20, 30, 255, 40, 50, 60, 255}; // B, G, R, A
    std::memcpy(packed.bits(0), pixel, sizeof pixel);
    packed.unmap();
    const QImage image = imageOfVideoFrame(packed);
    ASSERT_EQ(image.size(), QSize(2, 1));
    EXPECT_EQ(image.pixel(0, 0), qRgb(30, 20, 10));
    EXPECT_EQ(image.pixel(1, 0), qRgb(60, 50, 40));

    EXPECT_TRUE(imageOfVideoFrame(QVideoFrame(QVideoFrameFormat(QSize(4, 2), QVideoFrameFormat::Format_P010)))
                    .isNull());
    EXPECT_TRUE(imageOfVideoFrame(QVideoFrame()).isNull());
}
