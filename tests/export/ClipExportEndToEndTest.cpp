// A movie exported from a project of two photos with a clip between them: the clip's frames play in order
// and in their colours at its place, and its sound is in the movie at its own level.
#include "EncoderTestSupport.h"
#include "support/MovieDecoder.h"
#include "support/RecordingDialogs.h"

#include "export/MovieExportCommand.h"
#include "model/VideoSlideItem.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/MainThread.h"
#include "render/DirectorFrameRenderer.h"
#include "render/SlideshowDirector.h"
#include "render/StageBackground.h"
#include "support/ClipMaker.h"
#include "support/FrameCode.h"

#include <QFileInfo>
#include <QImage>

#include <cmath>

using namespace encoder_test;

namespace {

constexpr int kClipFrames = 60; // 2 s
constexpr float kClipLevel = 0.5f;
constexpr double kToneAmplitude = 0.5; // the clip maker's tone

} // namespace

class ClipExportEndToEndTest : public EncoderTest {
protected:
    void SetUp() override {
        EncoderTest::SetUp();
        const QString why = player.start(5);
        ASSERT_TRUE(why.isEmpty()) << why.toStdString();
        director = player.director;
    }
    void TearDown() override {
        command.reset();
        director.reset();
        player.stop();
        EncoderTest::TearDown();
    }

    // Photo, clip, photo; the clip a 16:9 picture that fills the movie, with a tone.
    void makeProject() {
        ClipMaker::Options options;
        options.size = QSize(256, 144);
        options.frames = kClipFrames;
        options.audio = true;
        options.picture = FrameCode::redOverBlueFrame;
        const QString source = folder.file("clip.mp4");
        ASSERT_TRUE(ClipMaker::make(source, options));
        const QString copy = project->createVideoFilePathInProjectFromSource(source);
        ASSERT_TRUE(QFile::copy(source, copy));
        clip = platform::makeMainThreadShared<VideoSlideItem>();
        clip->setFSecTransitionDuration(0.5f);
        clip->setFltOutputVolume(kClipLevel);
        clip->PrepareVideoItem(copy);
        ASSERT_TRUE(clip->hasAsset());
        project->setSlideshowArray({stillPhoto(contents(), "red.png", QColor(220, 40, 40)), clip,
                                    stillPhoto(contents(), "blue.png", QColor(50, 70, 230))});
        project->calcSlideItemsPhotoTransitionDuration();
        project->setShareOption("VideoSize", 0);
        project->setShareOption("ServiceName", "PhotoLibrary");
    }

    RealPlayer player;
    std::shared_ptr<SlideshowDirector> director;
    std::shared_ptr<VideoSlideItem> clip;
    RecordingDialogs dialogs;
    std::unique_ptr<MovieExportCommand> command;
};

TEST_F(ClipExportEndToEndTest, TheClipPlaysItsFramesInOrderAndInTheirColoursAtItsPlaceWithItsSound) {
    makeProject();
    const quint64 total = project->totalFrameCount();
    const quint64 start = clip->nItemStartFrameIndex();
    const quint64 leadIn = project->slideshowArray()[0]->nTransitionDuration();
    const quint64 end = start + clip->nPhotoDuration();
    ASSERT_GT(end, start + 30);

    NotificationLog notes{{MovieExportCommand::createVideoFileEndNotificationName()}};
    command = std::make_unique<MovieExportCommand>(dialogs, DirectorFrameRenderer::factory(director));
    ASSERT_TRUE(command->startEncodingMovieFile());
    ASSERT_TRUE(waitFor([&] {
        return notes.count(MovieExportCommand::createVideoFileEndNotificationName()) == 1;
    })) << dialogs.alertText().toStdString();
    command->endEncoding();
    EXPECT_TRUE(dialogs.alerts.empty()) << dialogs.alertText().toStdString();

    std::set<int> wanted;
    for (int i = 0; i < int(total); ++i)
        wanted.insert(i);
    const DecodedMovie movie =
        DecodedMovie::decode(project->strEncodingVideoFilePath(QSizeF(640, 360)), wanted);
    ASSERT_TRUE(movie.ok) << movie.error.toStdString();
    ASSERT_GE(movie.frameTimes.size(), std::size_t(end));

    // Each movie frame by the show frame it holds: its time in frames.
    int previous = -1;
    int clipFrames = 0;
    for (std::size_t i = 0; i < movie.frameTimes.size(); ++i) {
        const quint64 showFrame = quint64(std::llround(movie.frameTimes[i] * 30.0));
        const int code = FrameCode::read(movie.frames.at(int(i)));
        if (showFrame < start - leadIn) {
            EXPECT_EQ(code, -1) << "before the clip, show frame " << showFrame;
            continue;
        }
        if (showFrame < start || showFrame >= end)
            continue; // transitions mix two pictures
        ++clipFrames;
        EXPECT_EQ(code, int(showFrame - start + leadIn)) << "show frame " << showFrame;
        QString seen;
        EXPECT_TRUE(FrameCode::showsRedOverBlue(movie.frames.at(int(i)), &seen))
            << "show frame " << showFrame << ": " << seen.toStdString();
        if (previous >= 0) {
            EXPECT_EQ(code, previous + 1) << "the clip's frames follow one another";
        }
        previous = code;
    }
    EXPECT_EQ(clipFrames, int(end - start));

    // The clip's tone starts with what brings the clip on and fades in and out over 0.9 s of its 2 s: at
    // its middle it plays at the clip's own level. Over the first photo there is nothing to hear.
    const double clipStart = double(start - leadIn) / 30.0;
    const double clipMiddle = clipStart + 1.0;
    const double expected = kToneAmplitude * kClipLevel / std::sqrt(2.0);
    EXPECT_NEAR(movie.audioLevel(clipMiddle - 0.08, 0.16), expected, expected * 0.1);
    EXPECT_NEAR(movie.audioLevel(clipStart + 0.45 - 0.02, 0.04), expected / 2.0, expected * 0.1)
        << "half-way in";
    EXPECT_LT(movie.audioLevel(0.1, 0.5), 0.01);
}
