#pragma once

// Fixtures of the movie encoder's tests: an open project of our own in a private folder (its own user,
// temporary folder and defaults), a sound step that writes a tone as the mixed M4A, frame pumps made of
// scripted renderers that write frames of known colours, and a recorder of the encoder's notifications.

#include "export/EncoderController.h"
#include "model/MainWindowServices.h"
#include "model/QuartzSlideItem.h"
#include "model/SlideshowProject.h"
#include "model/VideoSlideItem.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/gl/Context.h"
#include "render/FramePump.h"
#include "render/SharedShaderPrograms.h"
#include "render/SlideshowDirector.h"
#include "support/IsolatedUser.h"
#include "support/NotificationLog.h"
#include "support/RealPlayer.h"
#include "support/TestEnvironment.h"

#include <QColor>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace encoder_test {

// Runs the main thread's queued work until the condition holds; false when it has not after `limit`
// (which only stops a broken test from hanging; no test measures time).
bool waitFor(const std::function<bool()>& condition,
             std::chrono::milliseconds limit = std::chrono::seconds(60));

// The colour of frame i of the scripted shows: far apart in hue from frame to frame.
QColor frameColour(quint64 frame);
// A BGRA frame of one colour.
std::vector<unsigned char> solidFrame(int width, int height, QColor colour);
// Writes `seconds` of a 440 Hz tone as the mixed M4A and tells the file it wrote, as the mix does.
MixedAudioExport::Result writeToneMix(double seconds);

using test_support::NotificationLog;

// A renderer whose frames are solid colours (frameColour(i) for the i-th drawn frame), written into the
// pipe as the read-back would write them: the pipe opened, blocking, at the first write.
class ScriptedRenderer : public FrameRenderer {
public:
    struct Script {
        quint64 frames = 6;
        QSize size{128, 72};
        // Bytes per write() call; 0 writes a frame at once.
        std::size_t chunk = 0;
        std::chrono::milliseconds pausePerChunk{0};
        std::chrono::milliseconds pausePerFrame{0};
        // After this many frames written, half a frame more is written and the pipe closed as if the
        // writer had died; the writes answer true all the same, as a broken read-back would.
        std::optional<quint64> dieAfter;
        // renderFrame answers false from this drawn frame on.
        std::optional<quint64> failRenderAt;
        bool failBegin = false;
        // Grain over the colour, so that every frame costs the encoder many bytes.
        bool noisy = false;
    };

    explicit ScriptedRenderer(Script script) : script(std::move(script)) {}

    bool begin(const Play& play, QString* error) override;
    quint64 totalFrames() const override { return script.frames; }
    bool renderFrame() override;
    bool writeFrame(QString* error) override;
    // The frame just drawn into a buffer of the encoder's pool, as the read-back would put it there: BGRA,
    // or planar 4:2:0 of the colour's lightness when the play asks for YUV frames.
    qint64 frameBytes() const override;
    bool readFrame(unsigned char* buffer, qint64 size, QString* error) override;
    void end() override;

    std::atomic<quint64> rendered{0};
    std::atomic<quint64> written{0};
    std::atomic<bool> ended{false};
    std::atomic<bool> pipeWasOpened{false};
    QString path;

private:
    Script script;
    platform::UniqueFd fd;
    bool dead = false;
    bool yuvFrames = false;
};

// A pump host that runs a function as the pump.
class ScriptedPumpHost : public FramePumpHost<EncoderController> {
public:
    using Body = std::function<void(const FramePumpParam<EncoderController>&)>;
    explicit ScriptedPumpHost(Body body) : body(std::move(body)) {}
    void runFramePump(const FramePumpParam<EncoderController>& param) override {
        ++calls;
        body(param);
    }
    std::atomic<int> calls{0};

private:
    Body body;
};

// The usual pump: the scripted renderer under the shared pump loop, with the movie pump's ends.
ScriptedPumpHost::Body scriptedPump(ScriptedRenderer::Script script);

// Counts the process's threads and open descriptors.
int threadCount();
int openDescriptorCount();

class EncoderTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    QString contents() const;
    // A sound step that writes `seconds` of a 440 Hz tone as the mixed M4A, after running `also` (which
    // may sabotage what the driver uses next).
    EncoderController::MixStep toneMix(double seconds, std::function<void()> also = {});
    // An encoder for the project's temporary movie path at the class-level size, with the tone mix.
    std::unique_ptr<EncoderController> makeEncoder(double toneSeconds = 2.0);
    // Makes the project's show `frames` frames long (one slide).
    void useShowOfFrames(quint64 frames);
    // Waits for the three end flags.
    static bool waitForEnd(const EncoderController& encoder);

    test_support::IsolatedUser user{{.seed = 7, .manualClock = false}};
    const TempDir& folder = user.folder();
    SlideshowProjectRef project;
};

// A main window that only counts how often the preview was stopped.
class RecordingServices : public MainWindowServices {
public:
    void updateProjectInfo() override {}
    void refreshUIForOpenProject() override {}
    void stop() override { ++stops; }
    void setNCurrentSlideshowItemIndex(int) override {}
    void ensureCurrentSlideThumbnailVisible() override {}
    float getTimelineXPositionFromFrame(quint64) override { return -1.0f; }
    void reshapeOpenGLView() override {}
    bool isExportRunning() const override { return false; }
    int stops = 0;
};

// Three still slides of the given colours (1 s photos, 0.5 s transitions), pictures of 640 x 360 in the
// project's "Contents", and a 2 s tone that plays once.
void addColourSlidesAndTone(SlideshowProject& project, const QString& contents,
                            const std::array<QColor, 3>& colours);
// A clip slide of a silent clip of colour bars, 1 s unless `frames` says otherwise, made in `folder` and
// copied into the project, as an import does; its file in the project keeps `name`.
std::shared_ptr<VideoSlideItem> clipSlide(SlideshowProject& project, const QString& folder,
                                          const QString& name, int frames = 30);
// A composition slide of a composition of ours written into the project's "Contents" under `name`, shown
// for 1 s.
std::shared_ptr<QuartzSlideItem> compositionSlide(const QString& contents, const QString& name);

} // namespace encoder_test
