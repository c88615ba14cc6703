// The in-memory movie exports: the real player draws the project (three pictures of plain colours and a tone
// as the song) off screen, the frames reach the writer through the encoder's pool of buffers, as BGRA or as
// planar YUV 4:2:0, or straight from the pump to the writer, and the movie is read again with libavformat.
#include "EncoderTestSupport.h"
#include "support/FilesBeingMade.h"
#include "support/MovieDecoder.h"
#include "support/RecordingDialogs.h"

#include "export/MovieExportCommand.h"
#include "render/DirectorFrameRenderer.h"
#include "render/SlideshowDirector.h"
#include "support/MediaProbe.h"

#include <QFileInfo>
#include <QImage>

using namespace encoder_test;

namespace {

const QColor kSlideColours[3] = {QColor(220, 40, 40), QColor(40, 200, 60), QColor(50, 70, 230)};

int distance(QColor a, QColor b) {
    return std::max(
        {std::abs(a.red() - b.red()), std::abs(a.green() - b.green()), std::abs(a.blue() - b.blue())});
}

struct PoolPath {
    const char* name;
    QSize size;
    bool sound;
    const char* brand;   // the container's brand: QuickTime or MPEG-4
    int colourTolerance; // the YUV read-back's conversion differs a little from the decoder's
    bool fadedSound;     // the pool paths fade the sound in over 3 s; the writer's path writes it as it is
};

void PrintTo(const PoolPath& path, std::ostream* out) {
    *out << path.name;
}

} // namespace

class PoolExportEndToEndTest : public EncoderTest, public ::testing::WithParamInterface<PoolPath> {
protected:
    void SetUp() override {
        EncoderTest::SetUp();
        const QString why = player.start(5);
        ASSERT_TRUE(why.isEmpty()) << why.toStdString();
        director = player.director;
        addColourSlidesAndTone(*project, contents(), {kSlideColours[0], kSlideColours[1], kSlideColours[2]});
        project->setShareOption("VideoSize", 0);
        project->setShareOption("ServiceName", "PhotoLibrary");
        command = std::make_unique<MovieExportCommand>(dialogs, DirectorFrameRenderer::factory(director));
    }
    void TearDown() override {
        encoder.reset();
        command.reset();
        director.reset();
        player.stop();
        EncoderTest::TearDown();
    }

    // Starts the path named by the parameter; the movie's path.
    QString start() {
        const std::string name = GetParam().name;
        if (name == "encodeMovieFile") {
            EXPECT_TRUE(command->encodeMovieFile());
            return project->strEncodingVideoFilePath(QSizeF(1920, 1080));
        }
        MovieExportCommand::prepareProjectForExport(*project);
        encoder = std::make_shared<EncoderController>();
        const QString path = project->strEncodingVideoFilePath(SlideshowProject::sizeVideoOutput());
        encoder->setStrVideoOutputFullPath(path);
        const bool started = name == "encodeVideo_1"   ? encoder->encodeVideo_1(command.get())
                             : name == "encodeVideo_3" ? encoder->encodeVideo_3(command.get())
                                                       : encoder->encodeVideo_YUV_Test(command.get());
        EXPECT_TRUE(started) << encoder->dictEncodeResult().value("desc").toString().toStdString();
        return path;
    }

    RealPlayer player;
    std::shared_ptr<SlideshowDirector> director;
    RecordingDialogs dialogs;
    std::unique_ptr<MovieExportCommand> command;
    std::shared_ptr<EncoderController> encoder;
};

TEST_P(PoolExportEndToEndTest, ThePicturesAndTheSongBecomeAMovieThroughThePool) {
    const PoolPath path = GetParam();
    const quint64 total = project->totalFrameCount(); // 3 x 30 photo frames and 2 x 15 transition frames
    ASSERT_EQ(total, 120u);
    NotificationLog notes{{EncoderController::movieFinishedNotificationName(),
                           EncoderController::movieFailedNotificationName()}};
    const QString moviePath = start();
    // A whole export, at 1920 x 1080 on one path: a loaded machine takes tens of seconds over it.
    ASSERT_TRUE(waitFor([&] { return notes.all().size() == 1; }, std::chrono::minutes(10)))
        << dialogs.alertText().toStdString();
    ASSERT_EQ(notes.count(EncoderController::movieFinishedNotificationName()), 1)
        << notes.all().front().userInfo.value("desc").toString().toStdString();
    if (encoder)
        encoder->waitUntilFinished();
    else
        command->endEncoding();
    EXPECT_TRUE(dialogs.alerts.empty()) << dialogs.alertText().toStdString();
    EXPECT_EQ(director->rgbConverterObject(), nullptr); // the player is back in preview mode

    const MediaProbe probe = MediaProbe::probe(moviePath);
    ASSERT_TRUE(probe.ok) << probe.error.toStdString();
    EXPECT_EQ(probe.tags.value("major_brand").toString().trimmed(), QString(path.brand));
    const MediaProbe::Stream* video = probe.firstOfType("video");
    ASSERT_TRUE(video);
    EXPECT_EQ(video->codec, "h264");
    EXPECT_EQ(video->width, path.size.width());
    EXPECT_EQ(video->height, path.size.height());
    ASSERT_EQ(probe.streams.size(), path.sound ? 2u : 1u);

    // Every frame the player drew but the first, each at its frame number over 30.
    const DecodedMovie movie = DecodedMovie::decode(moviePath, {14, 104});
    ASSERT_TRUE(movie.ok) << movie.error.toStdString();
    EXPECT_EQ(movie.frameTimes.size(), total - 1);
    EXPECT_NEAR(movie.frameTimes.back() + 1.0 / 30.0, double(total) / 30.0, 1.0 / 30.0);
    for (const auto& [index, slide] : {std::pair{14, 0}, {104, 2}}) {
        const QImage& frame = movie.frames.at(index);
        ASSERT_EQ(frame.size(), path.size);
        const int w = path.size.width(), h = path.size.height();
        for (const QPoint at : {QPoint(w / 2, h / 2), QPoint(w / 4, h / 4), QPoint(3 * w / 4, 3 * h / 4)})
            EXPECT_LE(distance(frame.pixelColor(at), kSlideColours[slide]), path.colourTolerance)
                << "frame " << index << " at " << at.x() << "," << at.y() << " is "
                << frame.pixelColor(at).name().toStdString();
    }
    if (path.sound) { // the mixed song, ending with the pictures
        EXPECT_NEAR(double(movie.audio.size() / 2) / 44100.0, double(total) / 30.0, 1.0 / 30.0);
        // The song alone is at about 0.32 here; a third of it where the sound fades in over 3 s.
        const double level = movie.audioLevel(0.95, 0.1);
        EXPECT_GT(level, path.fadedSound ? 0.06 : 0.2);
        EXPECT_LT(level, path.fadedSound ? 0.15 : 0.4);
    } else {
        EXPECT_TRUE(movie.audio.empty());
    }
}

TEST_P(PoolExportEndToEndTest, CancelMidExportRemovesTheMovieQuietly) {
    for (const SlideItemRef& slide : project->slideshowArray())
        slide->customSetDurations(4.0f, 0.5f); // 13 s: long enough to be stopped half way
    project->calcSlideItemsPhotoTransitionDuration();
    NotificationLog notes{{EncoderController::movieFinishedNotificationName(),
                           EncoderController::movieFailedNotificationName()}};
    const QString moviePath = start();
    const std::shared_ptr<EncoderController> running = encoder ? encoder : command->encoderController();
    ASSERT_TRUE(running);
    ASSERT_TRUE(waitFor([&] { return running->framesAppended() >= 20; }));
    EXPECT_EQ(test_support::filesBeingMadeFor(moviePath).size(), 1);
    project->setBExportProgressCancelButtonClicked(true);
    if (encoder) {
        encoder->setBCancelRequest(true);
        ASSERT_TRUE(waitForEnd(*encoder));
        encoder->waitUntilFinished();
    } else {
        command->cancelEncoding();
        ASSERT_TRUE(waitFor([&] { return !command->isEncoding(); }));
    }
    project->setBExportProgressCancelButtonClicked(false);
    EXPECT_LT(running->framesAppended(), qint64(project->totalFrameCount()) - 1);
    EXPECT_FALSE(QFileInfo::exists(moviePath));
    EXPECT_TRUE(test_support::filesBeingMadeFor(moviePath).isEmpty());
    EXPECT_EQ(director->rgbConverterObject(), nullptr);
    waitFor([] { return true; });
    EXPECT_TRUE(notes.all().empty());
    EXPECT_TRUE(dialogs.alerts.empty()) << dialogs.alertText().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Paths, PoolExportEndToEndTest,
                         ::testing::Values(PoolPath{"encodeVideo_1", {640, 360}, false, "qt", 16, false},
                                           PoolPath{"encodeMovieFile", {1920, 1080}, true, "isom", 16, true},
                                           PoolPath{
                                               "encodeVideo_YUV_Test", {640, 360}, true, "isom", 24, true},
                                           PoolPath{"encodeVideo_3", {640, 360}, true, "qt", 16, false}),
                         [](const ::testing::TestParamInfo<PoolPath>& info) { return info.param.name; });
