#pragma once

// Clip slides over clips the test encodes itself: frames that carry their number (FrameCode), an
// optional tone, a turn; a frame target that records what a slide hands over; sound without a device.

#include "ModelTestEnvironment.h"

#include "model/ProjectCollaborators.h"
#include "model/SlideshowProject.h"
#include "model/VideoSlideItem.h"
#include "platform/foundation/MainThread.h"
#include "platform/media/AudioPlayer.h"
#include "support/ClipMaker.h"
#include "support/FrameCode.h"
#include "support/NullAudioSink.h"

#include <QFile>
#include <QFileInfo>

#include <mutex>
#include <vector>

namespace model_test {

// Records the number of every frame a clip slide uploads.
class RecordingTarget : public VideoFrameTarget {
public:
    void uploadVideoFrame(const QImage& frame) override {
        const std::lock_guard lock(mutex);
        frames.push_back(FrameCode::read(frame));
        sizes.push_back(frame.size());
    }
    std::vector<int> shown() const {
        const std::lock_guard lock(mutex);
        return frames;
    }
    int last() const {
        const std::lock_guard lock(mutex);
        return frames.empty() ? -1 : frames.back();
    }
    std::size_t count() const {
        const std::lock_guard lock(mutex);
        return frames.size();
    }
    QSize lastSize() const {
        const std::lock_guard lock(mutex);
        return sizes.empty() ? QSize() : sizes.back();
    }

private:
    mutable std::mutex mutex;
    std::vector<int> frames;
    std::vector<QSize> sizes;
};

// The player's frame time during an export, set by the test.
// The player of an export, whose frame times the test sets.
class ScriptedDirector : public ProjectDirector {
public:
    void resetDirector() override { time = platform::media::MediaTime(0, 600); }
    platform::media::MediaTime currentFrameTimeStamp() const override { return time; }
    bool exportPlays() const override { return true; }
    void setFrame(qint64 frame, int rate = 30) { time = platform::media::MediaTime(frame * 600 / rate, 600); }

    platform::media::MediaTime time{0, 600};
};

class ClipTest : public ModelTest {
protected:
    static constexpr double kPeriod = 1.0 / 30.0;

    void SetUp() override {
        ModelTest::SetUp();
        platform::media::AudioPlayer::setDefaultSinkFactory([this] {
            auto sink = std::make_unique<test_support::NullAudioSink>();
            sinks.push_back(sink.get());
            return sink;
        });
    }
    void TearDown() override {
        platform::media::AudioPlayer::setDefaultSinkFactory(nullptr);
        ModelTest::TearDown();
    }

    // A clip of `frames` frames at 30 per second, each showing its number.
    QString makeClip(const QString& name, int frames, bool audio = false, int rotation = 0,
                     QSize size = QSize(96, 64)) {
        ClipMaker::Options options;
        options.size = size;
        options.frames = frames;
        options.audio = audio;
        options.rotation = rotation;
        options.picture = FrameCode::frame;
        const QString path = dir.file(name);
        QString error;
        EXPECT_TRUE(ClipMaker::make(path, options, &error)) << error.toStdString();
        return path;
    }

    // The clip at path as the open project holds it: copied into its "videos" folder, as the import does (an
    // open project reads only its own clips). Without an open project, path itself.
    QString inProject(const QString& path) {
        const auto project = SlideshowProject::currentMainProject();
        if (!project)
            return path;
        const QString clip = project->strProjectVideoFileDirectory() + "/" + QFileInfo(path).fileName();
        if (QFileInfo(path).isFile() && !QFileInfo::exists(clip)) {
            EXPECT_TRUE(QFile::copy(path, clip)) << clip.toStdString();
        }
        return clip;
    }

    // A clip slide prepared from path (see inProject), with the test's clock.
    std::shared_ptr<VideoSlideItem> clipSlide(const QString& path) {
        auto slide = platform::makeMainThreadShared<VideoSlideItem>();
        slide->setClock(clock);
        slide->PrepareVideoItem(inProject(path));
        return slide;
    }

    std::vector<test_support::NullAudioSink*> sinks;
};

} // namespace model_test
