#pragma once

// Fixtures of the ffmpeg movie creator's tests: an open project of our own at a small output size, a pump
// that writes solid frames into the frames' pipe, a tone as the mixed sound, ffmpeg stand-ins, and a recorder
// of the movie's end notifications.

#include "export/EncoderController.h"
#include "export/FFMMP4CreateObject.h"
#include "model/SlideshowProject.h"
#include "support/NotificationLog.h"
#include "support/TempDir.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QFile>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace ffmmp4_test {

inline const QString kFinished = EncoderController::movieFinishedNotificationName();
inline const QString kFailed = EncoderController::movieFailedNotificationName();

// Runs the main thread's queued work until the condition holds; false after a limit that only keeps a
// broken test from hanging.
bool waitFor(const std::function<bool()>& condition);

// The movie's end notifications, told from any thread.
class Recorder : public test_support::NotificationLog {
public:
    Recorder() : NotificationLog({kFinished, kFailed}) {}
    // The first failure's text; empty when none was told.
    QString failure() const {
        for (const platform::Notification& note : all())
            if (note.name == kFailed)
                return note.userInfo.value("desc").toString();
        return {};
    }
    int total() const { return int(all().size()); }
};

// A pump that writes solid BGRA frames of the output size, a different grey each, as the read-back would.
class SolidFramePump : public FramePumpHost<FFMMP4CreateObject> {
public:
    void runFramePump(const FramePumpParam<FFMMP4CreateObject>& param) override;

    int frames = 12;
    bool grain = false; // noise, which costs the encoder many bytes a frame
    std::function<void(int)> afterFrame;
    std::function<void()> beforeOpen; // while ffmpeg waits for the pictures, its output not yet open
    std::atomic<int> calls{0};
    std::atomic<int> written{0};
    std::atomic<bool> opened{false};
    FramePumpParam<FFMMP4CreateObject> pipes;
    std::vector<mode_t> modes; // of the video and the audio pipe, as the pump found them
    QStringList reached;       // the files the pump's names for the pipes lead to
};

class FFMMP4Test : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    QString tools() const { return dir.path() + "/tools"; }
    QString output() const { return dir.path() + "/movie.mp4"; }
    // A small movie without sound, as another program might put in place of the mixed sound.
    static bool makeSilentMovie(const QString& path);

    // A sound step that writes `seconds` of tone as the mixed M4A, after `also`, and tells the file it
    // wrote as the mix does; `after` runs once it is written.
    FFMMP4CreateObject::MixStep toneMix(std::function<void()> also = {}, double seconds = 1.0,
                                        std::function<void()> after = {});

    // An ffmpeg stand-in: a shell script in the tools folder, which tests put first.
    void fakeFFmpeg(const QString& body);

    void start() { ASSERT_TRUE(creator->startEncodeMovie({{"strOutputFullPath", output()}})); }
    bool ended() {
        if (!waitFor([this] { return !creator->isRunning(); }))
            return false;
        QCoreApplication::processEvents(); // what it queued for the main thread before it ended
        return true;
    }
    static bool exists(const QString& path) {
        struct stat st {};
        return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
    }
    void expectNoTemporaryFiles() {
        EXPECT_FALSE(exists(FFMMCreateObjectBase::strVideoFIFOName()));
        EXPECT_FALSE(exists(FFMMCreateObjectBase::strAudioFIFOName()));
        EXPECT_FALSE(exists(FFMMCreateObjectBase::strTempM4AAudioFullPath()));
    }

    TempDir dir;
    std::optional<test_support::EnvOverride> toolsEnv;
    SlideshowProjectRef project;
    SolidFramePump pump;
    Recorder recorder;
    std::unique_ptr<FFMMP4CreateObject> creator;
};

} // namespace ffmmp4_test
