#pragma once

// Ground of the tests of the MPEG-2 creator and the DVD command: an open project of our own (its own user,
// temporary folder and defaults) with slides whose pictures the test draws, the DVD-menu settings, a
// player on a surfaceless GL context, dialogs that record what they were asked, a recorder of
// notifications, and a scripted frame pump.

#include "dvd/DVDCommandDialogs.h"
#include "dvd/DVDMPEGIICreateObject.h"
#include "model/SlideshowProject.h"
#include "model/SlideshowProjectManager.h"
#include "platform/foundation/NotificationCenter.h"
#include "render/FramePumpHost.h"
#include "support/IsolatedUser.h"
#include "support/NotificationLog.h"
#include "support/RealPlayer.h"
#include "support/RecordingDialogs.h"
#include "support/TestEnvironment.h"

#include <QColor>
#include <QStringList>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class SlideshowDirector;

namespace dvd_command_test {

// How long a test waits for a command that should end; it only stops a broken test from hanging.
constexpr int kCommandDeadlineMs = 180000;

// Runs the main thread's queued work until the condition holds.
inline bool spinUntil(const std::function<bool()>& condition) {
    return test_support::spinUntil(condition, kCommandDeadlineMs);
}

using test_support::NotificationLog;

// A pump that writes solid frames of the class-level output size into the video pipe, as the read-back
// writes them (planar grey frames when the pipe asks for YUV), and remembers what it saw of the pipe.
class ScriptedPumpHost : public FramePumpHost<DVDMPEGIICreateObject> {
public:
    struct Script {
        int frames = 20;
        // Fails before the pipe is ever opened, as a pump without GL would.
        bool failBeforeOpening = false;
        // Returns without telling the creator anything.
        bool silent = false;
        // Runs with the pass's output before the pipe opens: ffmpeg waits for the pictures, its output not
        // yet open.
        std::function<void(const QString& output)> beforeOpen = nullptr;
    };
    explicit ScriptedPumpHost(Script script) : script(script) {}

    void runFramePump(const FramePumpParam<DVDMPEGIICreateObject>& param) override;

    std::atomic<int> menuCalls{0};
    std::atomic<int> slideshowCalls{0};
    std::atomic<int> framesWritten{0};
    std::atomic<int> pipeMode{-1}; // permission bits of the video pipe as the pump found it
    // The pipe paths and outputs the passes had when their pumps started, in order.
    std::vector<QString> outputsSeen;

private:
    void pump(const FramePumpParam<DVDMPEGIICreateObject>& param);
    Script script;
    std::mutex mutex;
};

// A sound step that writes `seconds` of a tone as the mixed M4A and records the passes asked for.
DVDMPEGIICreateObject::MixStep toneMix(double seconds,
                                       std::vector<DVDMPEGIICreateObject::Pass>* passes = nullptr);

} // namespace dvd_command_test

// An open project in a private folder, the default DVD-menu settings, nothing rendered.
class DVDProjectTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    QString contents() const;
    // `count` slides of plain colours drawn by the test, each `photo` seconds with `transition` after.
    void useSlides(int count, float photo = 0.5f, float transition = 0.3f);
    static QColor slideColour(int index);

    test_support::IsolatedUser user{{.seed = 7, .manualClock = false}};
    const TempDir& folder = user.folder();
    SlideshowProjectRef project;
    std::shared_ptr<SlideshowProjectManager> manager;
    platform::NotificationCenter center;
};

// The same with a player on its own surfaceless GL context, as the frame pumps need.
class DVDRenderTest : public DVDProjectTest {
protected:
    void SetUp() override;
    void TearDown() override;

    RealPlayer player;
    std::shared_ptr<SlideshowDirector> director;
};
