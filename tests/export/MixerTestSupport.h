#pragma once

// A project of our own making for the mixers: songs and sounds are WAV files in its "Contents" folder whose
// left and right channels each hold one constant value, so that the mix's gains can be read off a single
// rendered frame (songs on the left, slide sounds on the right). The preview plays into null sinks.

#include "model/MusicItem.h"
#include "model/SlideshowProject.h"
#include "model/VideoSlideItem.h"
#include "platform/foundation/MainThread.h"
#include "platform/media/AudioPlayer.h"
#include "platform/media/AudioRenderer.h"
#include "support/NullAudioSink.h"
#include "support/ProjectSongs.h"
#include "support/TempDir.h"
#include "support/TestEnvironment.h"
#include "support/ToneMaker.h"

#include <QDir>
#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace mixer_test {

struct Levels {
    float left = 0.0f;
    float right = 0.0f;
};

class MixerTest : public ::testing::Test {
protected:
    static constexpr float kSong = 0.5f;  // the songs' left channel
    static constexpr float kSound = 0.5f; // the slide sounds' right channel

    TempDir dir;
    SlideshowProjectRef project;
    std::vector<test_support::NullAudioSink*> sinks; // made by the players, newest last

    void SetUp() override {
        QDir().mkpath(contents());
        project = platform::makeMainThreadShared<SlideshowProject>();
        project->setStrMacProjectBundleContentsPath(contents());
        project->setBBackgroundMusicLoopFlag(false);
        platform::media::AudioPlayer::setDefaultSinkFactory([this] {
            auto sink = std::make_unique<test_support::NullAudioSink>();
            sinks.push_back(sink.get());
            return sink;
        });
    }

    void TearDown() override {
        if (project)
            project->setAudioMixer(nullptr);
        project.reset();
        platform::media::AudioPlayer::setDefaultSinkFactory(nullptr);
    }

    QString contents() const { return dir.path() + "/Contents"; }
    QString file(const QString& name) const { return contents() + "/" + name; }

    // A WAV in "Contents" holding the two values throughout.
    QString writeLevels(const QString& name, double seconds, float left, float right) {
        EXPECT_TRUE(ToneMaker::writeLevels(file(name), seconds, left, right));
        return file(name);
    }
    QString writeSong(const QString& name, double seconds) { return writeLevels(name, seconds, kSong, 0.0f); }
    QString writeSound(const QString& name, double seconds) {
        return writeLevels(name, seconds, 0.0f, kSound);
    }

    void setSongs(const QStringList& names) {
        std::vector<MusicItemRef> songs;
        for (const QString& name : names)
            songs.push_back(test_support::songNamed(name));
        project->setMusicArray(songs);
    }

    static SlideItemRef photo(float seconds, float transition, const QString& sound = QString()) {
        auto slide = platform::makeMainThreadShared<SlideItem>();
        slide->customSetDurations(seconds, transition);
        if (!sound.isEmpty())
            slide->setStrSoundFileName(sound);
        return slide;
    }
    static std::shared_ptr<VideoSlideItem>
    clip(float seconds, float transition, std::optional<float> musicLevel, const QString& path = QString()) {
        auto slide = platform::makeMainThreadShared<VideoSlideItem>();
        slide->customSetDurations(seconds, transition);
        if (musicLevel)
            slide->customizeBKMusicVolume(*musicLevel);
        if (!path.isEmpty())
            slide->setStrVideoFilePath(path);
        return slide;
    }
    void setSlides(std::vector<SlideItemRef> slides) {
        project->setSlideshowArray(std::move(slides));
        project->calcSlideItemsPhotoTransitionDuration();
    }

    // The mix's two channels at a moment, divided by the sources' values: the gains of songs and sounds.
    static Levels levelsAt(const platform::media::Composition& composition,
                           const platform::media::AudioMix& mix, double seconds) {
        platform::media::AudioRenderer renderer(composition, mix);
        float frame[2] = {0.0f, 0.0f};
        EXPECT_TRUE(renderer.render(static_cast<int64_t>(seconds * 44100 + 0.5), 1, frame))
            << renderer.errorString().toStdString();
        return {frame[0] / kSong, frame[1] / kSound};
    }
};

} // namespace mixer_test
