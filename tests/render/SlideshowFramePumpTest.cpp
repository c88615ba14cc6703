#include "PlayerTestSupport.h"

#include "platform/foundation/NamedPipe.h"
#include "render/FrameConverterObject.h"
#include "render/SlideshowFramePump.h"
#include "render/transitions/TransitionManager.h"

#include <QFile>

#include <atomic>
#include <thread>

namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 90;
constexpr qsizetype kFrameBytes = kWidth * kHeight * 4;

// The frames of the pipe, read whole one after the other until the writer closes it.
class PipeReader {
public:
    explicit PipeReader(const QString& path, int stopAfter = -1)
        : thread([this, path, stopAfter] { run(path, stopAfter); }) {}
    ~PipeReader() { join(); }
    void join() {
        if (thread.joinable())
            thread.join();
    }
    std::vector<QByteArray> frames;
    qsizetype leftOver = 0;

private:
    void run(const QString& path, int stopAfter) {
        platform::UniqueFd fd = platform::NamedPipe::openForReading(path);
        QByteArray frame;
        char buffer[20000];
        for (ssize_t got; (got = ::read(fd.get(), buffer, sizeof buffer)) > 0;) {
            frame.append(buffer, got);
            while (frame.size() >= kFrameBytes) {
                frames.push_back(frame.left(kFrameBytes));
                frame.remove(0, kFrameBytes);
                if (int(frames.size()) == stopAfter)
                    return; // the reader goes away
            }
        }
        leftOver = frame.size();
    }
    std::thread thread;
};

// The colour of pixel (x, y), y from the top, of a frame in the pipe (blue, green, red, alpha bytes).
QRgb pixelOf(const QByteArray& frame, int x, int y) {
    const auto* p = reinterpret_cast<const unsigned char*>(frame.constData()) + (qint64(y) * kWidth + x) * 4;
    return qRgba(p[2], p[1], p[0], p[3]);
}

} // namespace

class FramePumpTest : public PlayerTest {
protected:
    void SetUp() override {
        PlayerTest::SetUp();
        if (HasFatalFailure())
            return;
        project->setBPlayLoop(false);
        project->setFltSlideshowFadeIn(0.0f);
        project->setFltSlideshowFadeOut(0.0f);
        // 15 photo frames each, 9 transition frames after the first two: 3 x 15 + 2 x 9 = 63 frames.
        auto first =
            photo("halves.png", render_test::topAndBottom(kWidth, kHeight, Qt::red, Qt::green), 0.5f, 0.3f);
        auto second = photo("blue.png", rendertest::solid(kWidth, kHeight, Qt::blue), 0.5f, 0.3f);
        auto third = photo("yellow.png", rendertest::solid(kWidth, kHeight, Qt::yellow), 0.5f, 0.3f);
        first->setTransitionInfo(TransitionManager::transitionInfo("Blend", 1));
        second->setTransitionInfo(TransitionManager::transitionInfo("3D", 0));
        useSlides({first, second, third});
        ASSERT_TRUE(pipe.create(folder->file("v_fifo")));
        options.width = kWidth;
        options.height = kHeight;
        options.pipePath = pipe.path();
        options.openTimeoutSeconds = 10.0;
    }
    platform::NamedPipe pipe;
    SlideshowFramePump::Options options;
};

TEST_F(FramePumpTest, AThreeSlideShowArrivesFrameByFrameThroughThePipe) {
    std::vector<quint64> progress;
    options.progress = [&](quint64 done, quint64 total) {
        EXPECT_EQ(total, 63u);
        progress.push_back(done);
    };
    PipeReader reader(pipe.path());
    const auto result = SlideshowFramePump::run(*director, project->slideshowArray(), options);
    reader.join();
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_EQ(result.totalFrames, 63u);
    EXPECT_EQ(result.framesWritten, 63u);
    ASSERT_EQ(reader.frames.size(), 63u);
    EXPECT_EQ(reader.leftOver, 0) << "only whole frames";
    EXPECT_EQ(progress.size(), 63u);
    EXPECT_EQ(progress.back(), 63u);
    EXPECT_FALSE(director->rgbConverterObject()) << "the preview may draw again";

    using rendertest::colourNear;
    // The first slide, top row first: red above, green below.
    EXPECT_TRUE(colourNear(pixelOf(reader.frames[7], 80, 10), qRgb(255, 0, 0)));
    EXPECT_TRUE(colourNear(pixelOf(reader.frames[7], 80, 80), qRgb(0, 255, 0)));
    EXPECT_EQ(qAlpha(pixelOf(reader.frames[7], 80, 10)), 255);
    // The cross-fade to blue starts from the first slide and is half-way after 4.5 of its 9 frames.
    EXPECT_TRUE(colourNear(pixelOf(reader.frames[15], 80, 10), qRgb(255, 0, 0)));
    const QRgb mid = pixelOf(reader.frames[19], 80, 10);
    EXPECT_NEAR(qRed(mid), 142, 4);
    EXPECT_NEAR(qBlue(mid), 113, 4);
    // The second slide, then the door opening on the third.
    EXPECT_TRUE(colourNear(pixelOf(reader.frames[31], 80, 45), qRgb(0, 0, 255)));
    EXPECT_TRUE(colourNear(pixelOf(reader.frames[39], 80, 45), qRgb(0, 0, 255)));
    const QByteArray& opening = reader.frames[44];
    EXPECT_TRUE(colourNear(pixelOf(opening, 80, 45), qRgb(255, 255, 0))) << "the door is open in the middle";
    EXPECT_TRUE(colourNear(pixelOf(opening, 2, 45), qRgb(0, 0, 255), 40))
        << "its leaves still stand at the sides";
    EXPECT_TRUE(colourNear(pixelOf(reader.frames[62], 80, 45), qRgb(255, 255, 0)));
}

TEST_F(FramePumpTest, AReaderThatGoesAwayStopsThePumpWithAnError) {
    PipeReader reader(pipe.path(), 5);
    const auto result = SlideshowFramePump::run(*director, project->slideshowArray(), options);
    reader.join();
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.cancelled);
    EXPECT_LT(result.framesWritten, 63u);
    EXPECT_GE(result.framesWritten, 5u);
    EXPECT_FALSE(result.error.isEmpty());
    EXPECT_FALSE(director->rgbConverterObject());
}

TEST_F(FramePumpTest, NoReaderOrACancelEndsThePumpWithoutAHang) {
    options.openTimeoutSeconds = 0.2;
    auto result = SlideshowFramePump::run(*director, project->slideshowArray(), options);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.framesWritten, 0u);

    std::atomic<bool> cancel{false};
    options.openTimeoutSeconds = 0.0;
    options.cancelled = [&] { return cancel.load(); };
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        cancel = true;
    });
    result = SlideshowFramePump::run(*director, project->slideshowArray(), options);
    canceller.join();
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.cancelled);
    EXPECT_FALSE(director->rgbConverterObject());
}
