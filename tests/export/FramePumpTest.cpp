// The loop every pipe pump shares, with renderers that keep count, and against a pipe whose reader dies.
#include "EncoderTestSupport.h"

#include "export/FramePipeReader.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NamedPipe.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace encoder_test;

namespace {

// Records the calls a pump makes.
class CountingRenderer : public FrameRenderer {
public:
    explicit CountingRenderer(quint64 frames) : frames(frames) {}
    bool begin(const Play& play, QString* error) override {
        calls.push_back("begin");
        slideCount = play.slides.size();
        cancelled = play.cancelled;
        if (failBegin)
            *error = "no context";
        return !failBegin;
    }
    quint64 totalFrames() const override { return frames; }
    bool renderFrame() override {
        calls.push_back("render");
        return !(failRenderAt && rendered >= *failRenderAt) && (++rendered, true);
    }
    bool writeFrame(QString* error) override {
        calls.push_back("write");
        if (failWriteAt && written >= *failWriteAt) {
            *error = "reader gone";
            return false;
        }
        ++written;
        return true;
    }
    void end() override { calls.push_back("end"); }

    quint64 frames;
    quint64 rendered = 0, written = 0;
    std::size_t slideCount = 0;
    bool failBegin = false;
    std::optional<quint64> failRenderAt, failWriteAt;
    std::vector<std::string> calls;
    std::function<bool()> cancelled;
};

using End = FramePump::Outcome::End;

} // namespace

TEST(PumpLoopTest, WritesEveryFrameButTheFirstAndReportsProgress) {
    CountingRenderer renderer(5);
    std::vector<double> progress;
    FramePump::Options options;
    options.slides = {platform::makeMainThreadShared<SlideItem>(),
                      platform::makeMainThreadShared<SlideItem>()};
    options.progress = [&](double value) { progress.push_back(value); };
    const FramePump::Outcome outcome = FramePump::run(renderer, options);
    EXPECT_EQ(outcome.end, End::Completed);
    EXPECT_EQ(outcome.totalFrames, 5u);
    EXPECT_EQ(outcome.framesRendered, 5u);
    EXPECT_EQ(outcome.framesWritten, 4u);
    EXPECT_EQ(renderer.slideCount, 2u);
    EXPECT_EQ(renderer.calls,
              (std::vector<std::string>{"begin", "render", "render", "write", "render", "write", "render",
                                        "write", "render", "write", "end"}));
    EXPECT_EQ(progress, (std::vector<double>{0.2, 0.4, 0.6, 0.8, 1.0}));
}

TEST(PumpLoopTest, WritesTheFirstFrameWhenAVariantAsks) {
    CountingRenderer renderer(3);
    FramePump::Options options;
    options.skipFirstFrame = false;
    EXPECT_EQ(FramePump::run(renderer, options).framesWritten, 3u);
}

TEST(PumpLoopTest, StopChecksEndThePumpAsStoppedAndStillClose) {
    CountingRenderer beforeRender(10);
    FramePump::Options options;
    int asked = 0;
    options.stopBeforeRender = [&] { return ++asked > 3; };
    FramePump::Outcome outcome = FramePump::run(beforeRender, options);
    EXPECT_EQ(outcome.end, End::Stopped);
    EXPECT_EQ(outcome.framesRendered, 3u);
    EXPECT_EQ(beforeRender.calls.back(), "end");

    CountingRenderer beforeWrite(10);
    FramePump::Options writeOptions;
    writeOptions.stopBeforeWrite = [&] { return beforeWrite.written == 2; };
    outcome = FramePump::run(beforeWrite, writeOptions);
    EXPECT_EQ(outcome.end, End::Stopped);
    EXPECT_EQ(outcome.framesWritten, 2u);
    EXPECT_EQ(outcome.framesRendered, 4u); // the frame whose write was refused had been drawn
}

TEST(PumpLoopTest, FailuresAreToldBeforeThePipeCloses) {
    for (const char* failing : {"begin", "render", "write"}) {
        CountingRenderer renderer(10);
        renderer.failBegin = std::string(failing) == "begin";
        if (std::string(failing) == "render")
            renderer.failRenderAt = 4;
        if (std::string(failing) == "write")
            renderer.failWriteAt = 2;
        FramePump::Options options;
        std::vector<std::string> callsAtTelling;
        std::optional<FramePump::Outcome> told;
        options.beforeClose = [&](const FramePump::Outcome& outcome) {
            told = outcome;
            callsAtTelling = renderer.calls;
        };
        std::vector<double> progress;
        options.progress = [&](double value) { progress.push_back(value); };
        const FramePump::Outcome outcome = FramePump::run(renderer, options);
        SCOPED_TRACE(failing);
        EXPECT_EQ(outcome.end, End::Failed);
        EXPECT_FALSE(outcome.error.isEmpty());
        ASSERT_TRUE(told);
        EXPECT_EQ(told->error, outcome.error);
        EXPECT_NE(callsAtTelling.back(), "end");
        EXPECT_EQ(renderer.calls.back(), "end");
        EXPECT_EQ(progress.back(), 1.0); // a pump that ends early still shows the end
    }
}

TEST(PumpLoopTest, TheRenderersPipeWaitsGiveUpOnEitherStopCheck) {
    CountingRenderer renderer(0);
    bool beforeRender = false, beforeWrite = false;
    FramePump::Options options;
    options.stopBeforeRender = [&] { return beforeRender; };
    options.stopBeforeWrite = [&] { return beforeWrite; };
    FramePump::run(renderer, options);
    ASSERT_TRUE(renderer.cancelled);
    EXPECT_FALSE(renderer.cancelled());
    beforeWrite = true;
    EXPECT_TRUE(renderer.cancelled());
    beforeWrite = false;
    beforeRender = true;
    EXPECT_TRUE(renderer.cancelled());
}

TEST(PumpLoopTest, AShowOfNoFramesCompletesAndCloses) {
    CountingRenderer renderer(0);
    const FramePump::Outcome outcome = FramePump::run(renderer, {});
    EXPECT_EQ(outcome.end, End::Completed);
    EXPECT_EQ(renderer.calls, (std::vector<std::string>{"begin", "end"}));
}

TEST(PumpLoopTest, AReaderThatDiesEndsThePumpWithAnErrorNotTheProcess) {
    TempDir folder;
    platform::NamedPipe pipe;
    ASSERT_TRUE(pipe.create(folder.file("frames")));
    ScriptedRenderer::Script script;
    script.frames = 50;
    script.size = QSize(320, 180); // 50 frames are many times what the pipe holds
    ScriptedRenderer renderer(script);
    const std::size_t frameBytes = 320 * 180 * 4;
    // The consumer takes two frames and goes away, as an ffmpeg child that failed would.
    std::thread consumer([&] {
        FramePipeReader reader(frameBytes);
        ASSERT_TRUE(reader.open(pipe.path()));
        std::vector<unsigned char> frame(frameBytes);
        for (int i = 0; i < 2; ++i)
            ASSERT_EQ(reader.readFrame(frame.data(), {}), FramePipeReader::Status::Frame);
    });
    FramePump::Options options;
    options.pipePath = pipe.path();
    const FramePump::Outcome outcome = FramePump::run(renderer, options);
    consumer.join();
    EXPECT_EQ(outcome.end, End::Failed);
    EXPECT_LT(outcome.framesWritten, 49u);
    EXPECT_GE(outcome.framesWritten, 2u);
    EXPECT_EQ(outcome.error, QStringLiteral("The reader of the pipe has gone away"));
    EXPECT_TRUE(renderer.ended);
}
