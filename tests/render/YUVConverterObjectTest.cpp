#include "RenderTestSupport.h"

#include "platform/foundation/NamedPipe.h"
#include "platform/gl/DriverLock.h"
#include "render/YUVConverterObject.h"
#include "support/TempDir.h"

#include <algorithm>
#include <cmath>
#include <thread>
#include <vector>

namespace {

struct Weights {
    double r, g, b, offset, low, high;
};

// The frame format's planes as the format defines them, computed here on the processor.
constexpr Weights kY{0.299, 0.587, 0.114, 0.0, 0.06274, 0.92156};
constexpr Weights kU{-0.169, -0.331, 0.5, 0.5, 0.06274, 0.93725};
constexpr Weights kV{0.5, -0.419, -0.081, 0.5, 0.06274, 0.93725};

int sample(const Weights& w, double r, double g, double b) {
    const double value = std::clamp(w.r * r + w.g * g + w.b * b + w.offset, w.low, w.high);
    return int(std::lround(value * 255.0));
}

int sample(const Weights& w, QColor c) {
    return sample(w, c.redF(), c.greenF(), c.blueF());
}

// Fills a rectangle of the bound target (GL coordinates, origin bottom left), under the driver lock as the
// player draws.
void fill(int x, int y, int w, int h, QColor c) {
    const platform::gl::DriverLock driver;
    glEnable(GL_SCISSOR_TEST);
    glScissor(x, y, w, h);
    glClearColor(float(c.redF()), float(c.greenF()), float(c.blueF()), 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
}

::testing::AssertionResult bytesNear(const std::uint8_t* bytes, std::size_t count, int expected,
                                     int tolerance = 1) {
    for (std::size_t i = 0; i < count; ++i)
        if (std::abs(int(bytes[i]) - expected) > tolerance)
            return ::testing::AssertionFailure()
                   << "byte " << i << " is " << int(bytes[i]) << ", expected " << expected;
    return ::testing::AssertionSuccess();
}

} // namespace

class YUVConverterTest : public RenderTest {
protected:
    // A converter whose off-screen target has been filled by `paint` (bound, cleared to black), converted
    // into a frame with one guard byte after it.
    template <typename Paint> std::vector<std::uint8_t> convertFrame(int width, int height, Paint paint) {
        converter = std::make_unique<YUVConverterObject>(width, height);
        EXPECT_TRUE(converter->switchOffScreenFBO());
        paint();
        std::vector<std::uint8_t> frame(converter->nYUVBUffSize() + 1, kGuard);
        EXPECT_TRUE(converter->convert(frame.data(), qint64(frame.size())));
        EXPECT_EQ(frame.back(), kGuard) << "the conversion wrote past the frame";
        frame.pop_back();
        return frame;
    }

    static constexpr std::uint8_t kGuard = 0x5a;
    std::unique_ptr<YUVConverterObject> converter;
};

TEST(YUVFrameLayout, PlanesOfA720pFrame) {
    const YUVFrameLayout layout(1280, 720);
    EXPECT_EQ(layout.frameSize, 1382400u);
    EXPECT_EQ(layout.lumaSize(), 921600u);
    EXPECT_EQ(layout.uOffset, 921600u);
    EXPECT_EQ(layout.vOffset, 1152000u);
    EXPECT_EQ(layout.chromaSize(), 230400u);
    EXPECT_EQ(layout.vOffset + layout.chromaSize(), layout.frameSize);
}

TEST(YUVFrameLayout, OddSidesRoundTheChromaDownButKeepTheOffsets) {
    const YUVFrameLayout layout(5, 3);
    EXPECT_EQ(layout.chromaWidth, 2u);
    EXPECT_EQ(layout.chromaHeight, 1u);
    EXPECT_EQ(layout.uOffset, 15u);
    EXPECT_EQ(layout.vOffset, 18u);
    EXPECT_EQ(layout.frameSize, 22u);
    EXPECT_LE(layout.vOffset + layout.chromaSize(), layout.frameSize);
    EXPECT_LE(layout.uOffset + layout.chromaSize(), layout.vOffset) << "U and V planes overlap";

    EXPECT_EQ(YUVFrameLayout(-4, 8).frameSize, 0u);
}

TEST_F(YUVConverterTest, SolidColoursGiveTheirBT601Bytes) {
    const QColor colours[] = {
        Qt::white, Qt::black, Qt::red, Qt::green, Qt::blue, QColor(128, 128, 128), QColor(200, 150, 40),
        Qt::yellow};
    for (const QColor& colour : colours) {
        SCOPED_TRACE(colour.name().toStdString());
        const auto frame = convertFrame(16, 8, [&] { fill(0, 0, 16, 8, colour); });
        const YUVFrameLayout& layout = converter->frameLayout();
        EXPECT_TRUE(bytesNear(frame.data(), layout.lumaSize(), sample(kY, colour)));
        EXPECT_TRUE(bytesNear(frame.data() + layout.uOffset, layout.chromaSize(), sample(kU, colour)));
        EXPECT_TRUE(bytesNear(frame.data() + layout.vOffset, layout.chromaSize(), sample(kV, colour)));
    }
}

TEST_F(YUVConverterTest, WhiteAndBlackSitAtTheEndsOfTheLumaRange) {
    auto frame = convertFrame(8, 4, [] { fill(0, 0, 8, 4, Qt::white); });
    EXPECT_EQ(frame[0], 235);
    EXPECT_EQ(frame[converter->frameLayout().uOffset], 128);
    EXPECT_EQ(frame[converter->frameLayout().vOffset], 128);
    frame = convertFrame(8, 4, [] { fill(0, 0, 8, 4, Qt::black); });
    EXPECT_EQ(frame[0], 16);
    // Pure blue and pure red push chroma past its top: it is held at 239.
    frame = convertFrame(8, 4, [] { fill(0, 0, 8, 4, Qt::blue); });
    EXPECT_EQ(frame[converter->frameLayout().uOffset], 239);
    frame = convertFrame(8, 4, [] { fill(0, 0, 8, 4, Qt::red); });
    EXPECT_EQ(frame[converter->frameLayout().vOffset], 239);
}

// The off-screen target holds the frame as drawn (its top in GL's last row); the planes start at the top.
TEST_F(YUVConverterTest, PlanesStartAtTheTopOfThePicture) {
    const int w = 8, h = 8;
    const auto frame = convertFrame(w, h, [&] {
        fill(0, h / 2, w, h / 2, Qt::red); // top half
        fill(0, 0, w, h / 2, Qt::blue);    // bottom half
    });
    const YUVFrameLayout& layout = converter->frameLayout();
    EXPECT_TRUE(bytesNear(frame.data(), w * h / 2, sample(kY, Qt::red)));
    EXPECT_TRUE(bytesNear(frame.data() + w * h / 2, w * h / 2, sample(kY, Qt::blue)));
    const std::size_t half = layout.chromaSize() / 2;
    EXPECT_TRUE(bytesNear(frame.data() + layout.uOffset, half, sample(kU, Qt::red)));
    EXPECT_TRUE(bytesNear(frame.data() + layout.uOffset + half, half, sample(kU, Qt::blue)));
    EXPECT_TRUE(bytesNear(frame.data() + layout.vOffset, half, sample(kV, Qt::red)));
    EXPECT_TRUE(bytesNear(frame.data() + layout.vOffset + half, half, sample(kV, Qt::blue)));
}

// Columns alternating red and blue: each chroma sample is the colour of its 2x2 block, their mean.
TEST_F(YUVConverterTest, ChromaIsTheMeanOfEachTwoByTwoBlock) {
    const int w = 8, h = 4;
    const auto frame = convertFrame(w, h, [&] {
        for (int x = 0; x < w; ++x)
            fill(x, 0, 1, h, x % 2 ? Qt::blue : Qt::red);
    });
    const YUVFrameLayout& layout = converter->frameLayout();
    for (int x = 0; x < w; ++x)
        EXPECT_NEAR(frame[x], sample(kY, x % 2 ? Qt::blue : Qt::red), 1) << "luma column " << x;
    EXPECT_TRUE(bytesNear(frame.data() + layout.uOffset, layout.chromaSize(), sample(kU, 0.5, 0.0, 0.5)));
    EXPECT_TRUE(bytesNear(frame.data() + layout.vOffset, layout.chromaSize(), sample(kV, 0.5, 0.0, 0.5)));
}

// Rows of an odd width are not padded to four bytes: the lit first column stays first in every row.
TEST_F(YUVConverterTest, OddSizesKeepRowsUnpadded) {
    const int w = 7, h = 5;
    const auto frame = convertFrame(w, h, [&] { fill(0, 0, 1, h, Qt::white); });
    ASSERT_EQ(frame.size(), std::size_t(3 * w * h / 2));
    for (int row = 0; row < h; ++row) {
        EXPECT_EQ(frame[row * w], 235) << "row " << row;
        EXPECT_TRUE(bytesNear(frame.data() + row * w + 1, w - 1, 16)) << "row " << row;
    }
    const YUVFrameLayout& layout = converter->frameLayout();
    EXPECT_EQ(layout.chromaWidth, 3u);
    EXPECT_EQ(layout.chromaHeight, 2u);
    EXPECT_TRUE(bytesNear(frame.data() + layout.uOffset, layout.chromaSize(), 128));
    EXPECT_TRUE(bytesNear(frame.data() + layout.vOffset, layout.chromaSize(), 128));
}

TEST_F(YUVConverterTest, AOnePixelHighFrameHasOnlyLuma) {
    const auto frame = convertFrame(6, 1, [] { fill(0, 0, 6, 1, Qt::white); });
    ASSERT_EQ(frame.size(), 9u);
    EXPECT_TRUE(bytesNear(frame.data(), 6, 235));
}

TEST_F(YUVConverterTest, RefusesABufferSmallerThanAFrame) {
    YUVConverterObject yuv(16, 8);
    ASSERT_TRUE(yuv.switchOffScreenFBO());
    std::vector<std::uint8_t> small(yuv.nYUVBUffSize() - 1, kGuard);
    EXPECT_FALSE(yuv.convert(small.data(), qint64(small.size())));
    EXPECT_TRUE(bytesNear(small.data(), small.size(), kGuard, 0)) << "a refused buffer was written";
}

TEST_F(YUVConverterTest, NeedsTheOffScreenFrameFirst) {
    YUVConverterObject yuv(16, 8);
    std::vector<std::uint8_t> frame(yuv.nYUVBUffSize());
    EXPECT_FALSE(yuv.convert(frame.data(), qint64(frame.size()))) << "converted a frame that was never drawn";
}

// Blending and depth testing left on by the player must not touch the planes, and stay on afterwards.
TEST_F(YUVConverterTest, PlayerStateNeitherLeaksInNorIsLost) {
    {
        const platform::gl::DriverLock driver;
        glEnable(GL_BLEND);
        glBlendFunc(GL_ZERO, GL_ONE); // would keep the cleared target
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_NEVER);
    }
    const QColor grey(100, 100, 100);
    const auto frame = convertFrame(8, 4, [&] { fill(0, 0, 8, 4, grey); });
    EXPECT_TRUE(bytesNear(frame.data(), 32, sample(kY, grey)));
    const platform::gl::DriverLock driver;
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    GLint alignment = 0;
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 4);
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glBlendFunc(GL_ONE, GL_ZERO);
}

TEST_F(YUVConverterTest, ConvertsAgainAfterItsGLObjectsWereReleased) {
    auto frame = convertFrame(8, 4, [] { fill(0, 0, 8, 4, Qt::green); });
    converter->releaseOpenGLVar();
    ASSERT_TRUE(converter->switchOffScreenFBO());
    fill(0, 0, 8, 4, Qt::white);
    ASSERT_TRUE(converter->convert(frame.data(), qint64(frame.size())));
    EXPECT_TRUE(bytesNear(frame.data(), 32, 235));
}

// ---- into the frame pipe

// Frames go whole into the pipe, sized to the frame at hand when a larger target is handed in, and the
// pipe closes with the converter.
TEST_F(YUVConverterTest, FramesGoWholeIntoThePipeAtEachSize) {
    TempDir folder;
    platform::NamedPipe pipe;
    ASSERT_TRUE(pipe.create(folder.file("fifo")));
    QByteArray received;
    std::thread reader([&] {
        const platform::UniqueFd fd = platform::NamedPipe::openForReading(pipe.path());
        char buffer[65536];
        for (ssize_t got; (got = ::read(fd.get(), buffer, sizeof buffer)) > 0;)
            received.append(buffer, got);
    });
    std::vector<std::uint8_t> inMemory;
    {
        YUVConverterObject yuv(16, 8);
        yuv.setStrVideoFIFOFullPath(pipe.path());
        ASSERT_TRUE(yuv.switchOffScreenFBO());
        fill(0, 0, 16, 8, Qt::red);
        ASSERT_TRUE(yuv.convertFIFO()) << yuv.errorString().toStdString();
        auto larger = std::make_unique<FrameBufferObject>();
        ASSERT_TRUE(larger->initFBOWithWidth(40, 20));
        yuv.setFboOffScreen(std::move(larger));
        EXPECT_EQ(yuv.nYUVBUffSize(), 40 * 20 * 3 / 2);
        ASSERT_TRUE(yuv.switchOffScreenFBO());
        fill(0, 0, 40, 20, Qt::blue);
        ASSERT_TRUE(yuv.convertFIFO()) << yuv.errorString().toStdString();
        inMemory.resize(std::size_t(yuv.nYUVBUffSize()));
        ASSERT_TRUE(yuv.convert(inMemory.data(), qint64(inMemory.size())));
    }
    reader.join();
    ASSERT_EQ(received.size(), 16 * 8 * 3 / 2 + 40 * 20 * 3 / 2);
    const auto* first = reinterpret_cast<const std::uint8_t*>(received.constData());
    EXPECT_TRUE(bytesNear(first, 16 * 8, sample(kY, Qt::red)));
    const std::uint8_t* second = first + 16 * 8 * 3 / 2;
    EXPECT_TRUE(std::equal(inMemory.begin(), inMemory.end(), second)) << "the pipe got another frame";
    EXPECT_TRUE(bytesNear(second, 40 * 20, sample(kY, Qt::blue)));
    EXPECT_TRUE(bytesNear(second + 40 * 20, 20 * 10, sample(kU, Qt::blue)));
}

TEST_F(YUVConverterTest, AReaderThatGoesAwayFailsTheFrameNotTheProgram) {
    TempDir folder;
    platform::NamedPipe pipe;
    ASSERT_TRUE(pipe.create(folder.file("fifo")));
    YUVConverterObject yuv(64, 32);
    yuv.setStrVideoFIFOFullPath(pipe.path());
    ASSERT_TRUE(yuv.switchOffScreenFBO());
    {
        std::thread reader([&] { platform::NamedPipe::openForReading(pipe.path()); }); // opens, then closes
        (void)yuv.convertFIFO(); // the first frame may land in the pipe before the reader has gone
        reader.join();
    }
    bool failed = false;
    for (int i = 0; i < 4 && !failed; ++i)
        failed = !yuv.convertFIFO();
    EXPECT_TRUE(failed) << "frames were taken as written with nobody reading";
    EXPECT_FALSE(yuv.errorString().isEmpty());
}

TEST_F(YUVConverterTest, NobodyComingToReadIsAFailureNotAHang) {
    TempDir folder;
    platform::NamedPipe pipe;
    ASSERT_TRUE(pipe.create(folder.file("fifo")));
    YUVConverterObject yuv(16, 8);
    yuv.setStrVideoFIFOFullPath(pipe.path());
    int asked = 0;
    yuv.setCancelled([&] { return ++asked > 3; });
    ASSERT_TRUE(yuv.switchOffScreenFBO());
    EXPECT_FALSE(yuv.convertFIFO());
    EXPECT_GT(asked, 3);
}
