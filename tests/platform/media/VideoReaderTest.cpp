#include "platform/media/VideoReader.h"
#include "support/ClipMaker.h"
#include "support/ColourBars.h"
#include "support/TempDir.h"
#include "support/ToneMaker.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace platform::media;

namespace {

// The bar colours of a decoded frame tell which source frame it was.
int frameIndexOf(const QImage& image) {
    const QColor first = image.pixelColor(ColourBars::barCentre(image.size(), 0));
    for (int n = 0; n < ColourBars::kBars; ++n) {
        const QColor want = ColourBars::barColour(n, 0);
        if (std::abs(first.red() - want.red()) < 24 && std::abs(first.green() - want.green()) < 24 &&
            std::abs(first.blue() - want.blue()) < 24)
            return n;
    }
    return -1;
}

class VideoReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClipMaker::Options options;
        options.size = QSize(128, 72);
        options.frames = 40;
        ASSERT_TRUE(ClipMaker::make(dir.file("clip.mp4"), options));
    }

    TempDir dir;
};

} // namespace

TEST_F(VideoReaderTest, ReadsEveryFrameInOrderWithItsTime) {
    VideoReader reader;
    ASSERT_TRUE(reader.open(dir.file("clip.mp4"))) << reader.errorString().toStdString();
    EXPECT_EQ(reader.size(), QSize(128, 72));
    EXPECT_NEAR(reader.frameRate(), 30.0, 0.01);
    EXPECT_NEAR(reader.duration().seconds(), 40 / 30.0, 0.001);
    EXPECT_EQ(reader.rotation(), 0);
    VideoFrame frame;
    int n = 0;
    while (reader.readFrame(frame)) {
        EXPECT_EQ(frame.time, MediaTime(n, 30));
        EXPECT_EQ(frame.image.format(), QImage::Format_ARGB32);
        EXPECT_EQ(frame.image.size(), QSize(128, 72));
        EXPECT_EQ(frameIndexOf(frame.image), n % ColourBars::kBars) << n;
        EXPECT_EQ(qAlpha(frame.image.pixel(64, 36)), 255) << n;
        ++n;
    }
    EXPECT_EQ(n, 40);
    EXPECT_TRUE(reader.atEnd());
    EXPECT_TRUE(reader.errorString().isEmpty());
}

TEST_F(VideoReaderTest, SeeksToTheFrameShownAtATimeAndGoesOnFromThere) {
    VideoReader reader;
    ASSERT_TRUE(reader.open(dir.file("clip.mp4")));
    for (const auto& [seconds, expected] :
         {std::pair{1.0, 30}, {0.51, 15}, {0.0, 0}, {1.3, 39}, {5.0, 39}, {0.99, 29}}) {
        ASSERT_TRUE(reader.seek(MediaTime::fromSeconds(seconds, 90000)));
        VideoFrame frame;
        ASSERT_TRUE(reader.readFrame(frame)) << seconds;
        EXPECT_EQ(frame.time, MediaTime(expected, 30)) << seconds;
        EXPECT_EQ(frameIndexOf(frame.image), expected % ColourBars::kBars) << seconds;
    }
    ASSERT_TRUE(reader.seek(MediaTime(20, 30)));
    VideoFrame frame;
    ASSERT_TRUE(reader.readFrame(frame));
    ASSERT_TRUE(reader.readFrame(frame));
    EXPECT_EQ(frame.time, MediaTime(21, 30));
    EXPECT_EQ(frameIndexOf(reader.frameAt(1.0)), 30 % ColourBars::kBars);
}

TEST_F(VideoReaderTest, FillsACallersBufferWithItsRowStride) {
    VideoReader reader;
    ASSERT_TRUE(reader.open(dir.file("clip.mp4")));
    const int stride = 128 * 4 + 64;
    std::vector<uchar> buffer(static_cast<size_t>(stride) * 72, 0x5A);
    MediaTime time;
    ASSERT_TRUE(reader.readFrame(buffer.data(), stride, &time));
    EXPECT_EQ(time, MediaTime::zero());
    const QImage view(buffer.data(), 128, 72, stride, QImage::Format_ARGB32);
    EXPECT_EQ(frameIndexOf(view), 0);
    EXPECT_EQ(buffer[128 * 4], 0x5A); // the padding is left alone
    EXPECT_FALSE(reader.readFrame(buffer.data(), 100, &time));
}

TEST_F(VideoReaderTest, FramesWithTransparencyComeOpaqueInTheirOwnColours) {
    // A picture file reads as a stream of one frame, and keeps its transparency as a clip's frames would.
    QImage picture(32, 16, QImage::Format_ARGB32);
    picture.fill(QColor(200, 40, 10, 96));
    ASSERT_TRUE(picture.save(dir.file("see-through.png")));
    VideoReader reader;
    ASSERT_TRUE(reader.open(dir.file("see-through.png"))) << reader.errorString().toStdString();
    VideoFrame frame;
    ASSERT_TRUE(reader.readFrame(frame)) << reader.errorString().toStdString();
    EXPECT_EQ(QColor::fromRgba(frame.image.pixel(20, 8)).name(QColor::HexArgb).toStdString(), "#ffc8280a");
}

TEST_F(VideoReaderTest, ThumbnailsAreTurnedUpright) {
    ClipMaker::Options options;
    options.size = QSize(96, 48);
    options.frames = 40;
    options.rotation = 90;
    ASSERT_TRUE(ClipMaker::make(dir.file("portrait.mp4"), options));
    QString error;
    const QImage thumbnail = VideoReader::thumbnailAt(dir.file("portrait.mp4"), 1.0, &error);
    ASSERT_FALSE(thumbnail.isNull()) << error.toStdString();
    EXPECT_EQ(thumbnail.size(), QSize(48, 96));
    // Turned clockwise, the first bar (left) comes to the top.
    const QColor top = thumbnail.pixelColor(24, 6);
    const QColor want = ColourBars::barColour(30, 0);
    EXPECT_NEAR(top.red(), want.red(), 24);
    EXPECT_NEAR(top.green(), want.green(), 24);
    EXPECT_NEAR(top.blue(), want.blue(), 24);
}

TEST_F(VideoReaderTest, ReportsFilesWithoutPictures) {
    VideoReader reader;
    EXPECT_FALSE(reader.open(dir.file("missing.mp4")));
    EXPECT_TRUE(reader.errorString().contains("missing.mp4"));
    VideoFrame frame;
    EXPECT_FALSE(reader.readFrame(frame));
    EXPECT_FALSE(reader.seek(MediaTime::zero()));

    ASSERT_TRUE(ToneMaker::writeWav(dir.file("sound.wav"), 440.0, 0.2, 0.5f));
    EXPECT_FALSE(reader.open(dir.file("sound.wav")));
    EXPECT_FALSE(reader.errorString().isEmpty());

    QFile text(dir.file("film.mp4"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write(QByteArray("no film here\n").repeated(100));
    text.close();
    EXPECT_FALSE(reader.open(dir.file("film.mp4")));
    QString error;
    EXPECT_TRUE(VideoReader::thumbnailAt(dir.file("film.mp4"), 1.0, &error).isNull());
    EXPECT_FALSE(error.isEmpty());
}

TEST_F(VideoReaderTest, ADamagedStreamEndsWithoutCrashing) {
    // Overwrite the middle of the picture data: the index survives, some frames do not decode.
    QFile file(dir.file("clip.mp4"));
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const qint64 size = file.size();
    file.seek(size / 3);
    file.write(QByteArray(static_cast<int>(size / 4), '\x7f'));
    file.close();
    VideoReader reader;
    ASSERT_TRUE(reader.open(dir.file("clip.mp4")));
    VideoFrame frame;
    int frames = 0;
    while (reader.readFrame(frame) && frames < 1000)
        ++frames;
    EXPECT_LE(frames, 40);
    EXPECT_TRUE(reader.atEnd());
}
