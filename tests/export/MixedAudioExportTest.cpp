#include "MixerTestSupport.h"

#include "export/DVDMenuAudioMixerObject.h"
#include "export/MixedAudioExport.h"
#include "export/NSAudioMixerObject.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/media/AudioReader.h"
#include "support/MediaProbe.h"
#include "support/ToneMaker.h"

#include <QFile>
#include <QFileInfo>

#include <mutex>

using mixer_test::MixerTest;
using Outcome = MixedAudioExport::Outcome;

namespace {

std::vector<float> decode(const QString& path) {
    platform::media::AudioReader reader;
    EXPECT_TRUE(reader.open(path)) << reader.errorString().toStdString();
    std::vector<float> all;
    std::vector<float> buffer(8192);
    int got = 0;
    while ((got = reader.read(buffer.data(), 4096)) > 0)
        all.insert(all.end(), buffer.begin(), buffer.begin() + got * 2);
    return all;
}

// Gathers the progress notifications posted while it lives.
class ProgressLog {
public:
    ProgressLog() {
        auto& center = platform::NotificationCenter::defaultCenter();
        handle =
            platform::ObserverHandle(center, center.addObserver(MixedAudioExport::progressNotificationName(),
                                                                [this](const platform::Notification& note) {
                                                                    std::lock_guard lock(mutex);
                                                                    posts.push_back(note);
                                                                }));
    }
    std::vector<platform::Notification> all() {
        std::lock_guard lock(mutex);
        return posts;
    }

private:
    std::mutex mutex;
    std::vector<platform::Notification> posts;
    platform::ObserverHandle handle;
};

} // namespace

class MixedAudioExportTest : public MixerTest {
protected:
    // A 2 s song of a 440 Hz tone at half scale over a 2 s show, at full level.
    std::shared_ptr<NSAudioMixerObject> toneMix(double showSeconds = 2.0) {
        EXPECT_TRUE(ToneMaker::writeWav(file("tone.wav"), 440.0, 2.0, 0.5f));
        setSongs({"tone.wav"});
        project->setFltBackgroundMusicVolumeWhenPhotos(1.0f);
        project->setBBackgroundMusicLoopFlag(true);
        setSlides({photo(static_cast<float>(showSeconds), 0)});
        auto mixer = NSAudioMixerObject::installNewMixer(project);
        mixer->mixProjectAudio();
        return mixer;
    }
};

TEST_F(MixedAudioExportTest, TheProjectsMixBecomesTheTemporaryM4AWithProgress) {
    const auto mixer = toneMix();
    const QString path = SlideshowProject::strTempM4AAudioFullPath();
    ASSERT_TRUE(path.endsWith("_temp_audio.m4a"));
    ASSERT_TRUE(path.startsWith(qEnvironmentVariable("XDG_CACHE_HOME") + "/"))
        << "large files go to a private folder on disk";
    ProgressLog log;
    const QVariantMap stage = {{"start", 0.0}, {"step", 0.1}, {"desc", "Creating background music ..."}};
    const auto result = MixedAudioExport::exportToTemporaryFile(mixer->composition(), mixer->audioMix(), {},
                                                                MixedAudioExport::progressNotifier(7, stage));
    ASSERT_TRUE(result.completed()) << result.error.toStdString();

    const auto posts = log.all();
    ASSERT_FALSE(posts.empty());
    EXPECT_EQ(posts.back().object.toInt(), 7);
    EXPECT_EQ(posts.back().userInfo.value("baseinfo").toMap(), stage);
    EXPECT_FLOAT_EQ(posts.back().userInfo.value("progress").toFloat(), 1.0f);

    const MediaProbe probe = MediaProbe::probe(path);
    ASSERT_TRUE(probe.ok) << probe.error.toStdString();
    ASSERT_EQ(probe.streams.size(), 1u);
    EXPECT_EQ(probe.streams[0].codec, "aac");
    EXPECT_NEAR(probe.durationSeconds, 2.0, 0.05);
    // The tone at full level between the fades (0.9 s each), and faded in at the start.
    const std::vector<float> sound = decode(path);
    const double middle = ToneMaker::rms(sound, 2, -1, 40000, 8820);
    const double start = ToneMaker::rms(sound, 2, -1, 0, 4410);
    EXPECT_NEAR(middle, 0.5 / std::sqrt(2.0), 0.02);
    EXPECT_LT(start, middle * 0.2);
}

TEST_F(MixedAudioExportTest, ProgressRisesToOneWhilePolled) {
    const auto mixer = toneMix(20.0); // ten passes of the song
    std::vector<float> seen;
    const auto result = MixedAudioExport::exportToFile(
        mixer->composition(), mixer->audioMix(), file("mix.m4a"), {}, [&](float p) { seen.push_back(p); },
        std::chrono::milliseconds(2));
    ASSERT_TRUE(result.completed()) << result.error.toStdString();
    ASSERT_FALSE(seen.empty());
    for (size_t i = 1; i < seen.size(); ++i)
        EXPECT_GE(seen[i], seen[i - 1]);
    EXPECT_GE(seen.front(), 0.0f);
    EXPECT_FLOAT_EQ(seen.back(), 1.0f);
}

TEST_F(MixedAudioExportTest, AnOldFileIsReplaced) {
    const auto mixer = toneMix();
    {
        QFile old(file("mix.m4a"));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("not a movie");
    }
    ASSERT_TRUE(
        MixedAudioExport::exportToFile(mixer->composition(), mixer->audioMix(), file("mix.m4a")).completed());
    EXPECT_TRUE(MediaProbe::probe(file("mix.m4a")).ok);
}

TEST_F(MixedAudioExportTest, ACancelledExportLeavesNoFile) {
    const auto mixer = toneMix(20.0);
    int asked = 0;
    const auto result = MixedAudioExport::exportToFile(mixer->composition(), mixer->audioMix(),
                                                       file("mix.m4a"), [&] { return ++asked > 0; });
    EXPECT_EQ(result.outcome, Outcome::Cancelled);
    EXPECT_GE(asked, 1);
    EXPECT_FALSE(QFileInfo::exists(file("mix.m4a")));
}

TEST_F(MixedAudioExportTest, AFailureIsReportedWithItsReasonAndLeavesNoFile) {
    const auto mixer = toneMix();
    const QString path = dir.path() + "/no such folder/mix.m4a";
    const auto result = MixedAudioExport::exportToFile(mixer->composition(), mixer->audioMix(), path);
    EXPECT_EQ(result.outcome, Outcome::Failed);
    EXPECT_FALSE(result.error.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(path));

    const auto nowhere = MixedAudioExport::exportToFile(mixer->composition(), mixer->audioMix(), QString());
    EXPECT_EQ(nowhere.outcome, Outcome::Failed);
    EXPECT_FALSE(nowhere.error.isEmpty());
}

TEST_F(MixedAudioExportTest, AMixWhoseSongVanishedFails) {
    const auto mixer = toneMix();
    ASSERT_TRUE(QFile::remove(file("tone.wav")));
    const auto result =
        MixedAudioExport::exportToFile(mixer->composition(), mixer->audioMix(), file("mix.m4a"));
    EXPECT_EQ(result.outcome, Outcome::Failed);
    EXPECT_TRUE(result.error.contains("tone.wav")) << result.error.toStdString();
    EXPECT_FALSE(QFileInfo::exists(file("mix.m4a")));
}

TEST_F(MixedAudioExportTest, TheMenusMixExportsToo) {
    ASSERT_TRUE(ToneMaker::writeWav(file("tone.wav"), 440.0, 1.5, 0.5f));
    DVDMenuAudioMixerObject mixer({file("tone.wav")}, 4.0);
    mixer.mixProjectAudio();
    const auto result =
        MixedAudioExport::exportToFile(mixer.composition(), mixer.audioMix(), file("menu.m4a"));
    ASSERT_TRUE(result.completed()) << result.error.toStdString();
    // Songs at 0, 1 and 2 s: the third ends at 3.5 s, within 0.8 s of the menu's length.
    EXPECT_NEAR(MediaProbe::probe(file("menu.m4a")).durationSeconds, 3.5, 0.05);
}

TEST_F(MixedAudioExportTest, TheProjectsSoundStepInstallsAMixerAndExportsItsMix) {
    toneMix();
    project->setAudioMixer(nullptr);
    const auto result = MixedAudioExport::exportProjectMix(project);
    ASSERT_TRUE(result.completed()) << result.error.toStdString();
    EXPECT_NE(std::dynamic_pointer_cast<NSAudioMixerObject>(project->audioMixer()), nullptr);
    EXPECT_NEAR(MediaProbe::probe(SlideshowProject::strTempM4AAudioFullPath()).durationSeconds, 2.0, 0.05);
}

TEST_F(MixedAudioExportTest, TheProjectsCancelFlagCancelsItsSoundStep) {
    toneMix(20.0);
    project->setBExportProgressCancelButtonClicked(true);
    const auto result = MixedAudioExport::exportProjectMix(project);
    EXPECT_EQ(result.outcome, Outcome::Cancelled);
    EXPECT_FALSE(QFileInfo::exists(SlideshowProject::strTempM4AAudioFullPath()));
}
