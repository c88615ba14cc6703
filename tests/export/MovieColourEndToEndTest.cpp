// The colours of an exported movie: the labels every size carries, and a colour adjustment reaching the
// blurred backdrop around the photo, read back from the movie itself.
#include "EncoderTestSupport.h"
#include "support/MediaProbe.h"
#include "support/MovieDecoder.h"
#include "support/RecordingDialogs.h"

#include "export/MovieExportCommand.h"
#include "render/DirectorFrameRenderer.h"
#include "render/StageBackground.h"

#include <QImage>

using namespace encoder_test;

namespace {

const QColor kOrange(230, 120, 20);

bool isGrey(QColor c, int tolerance = 12) {
    return std::abs(c.red() - c.green()) <= tolerance && std::abs(c.green() - c.blue()) <= tolerance;
}

QString describe(QColor c) {
    return c.name();
}

} // namespace

class MovieColourEndToEndTest : public EncoderTest {
protected:
    void SetUp() override {
        EncoderTest::SetUp();
        const QString why = player.start(5);
        ASSERT_TRUE(why.isEmpty()) << why.toStdString();
        player.director->backgroundRender()->setTheme({{"backgroundID", 0}}); // the slides' blurred backdrops
        addColourSlidesAndTone(*project, contents(), {kOrange, kOrange, kOrange});
        for (const SlideItemRef& slide : project->slideshowArray()) {
            // Half the frame, so that the backdrop shows round the photo; short, to keep the movie small.
            slide->setZoomStart(0.5);
            slide->setZoomEnd(0.5);
            slide->customSetDurations(0.4f, 0.2f);
            const QString backdrop = QFileInfo(slide->fileName()).completeBaseName() + "_bk.jpg";
            QImage blur(64, 36, QImage::Format_RGB32);
            blur.fill(kOrange);
            ASSERT_TRUE(blur.save(contents() + "/" + backdrop, "JPEG", 95));
            slide->setBackgroudImageFileName(backdrop);
        }
        project->calcSlideItemsPhotoTransitionDuration();
        project->setShareOption("ServiceName", "PhotoLibrary");
    }
    void TearDown() override {
        command.reset();
        player.stop();
        EncoderTest::TearDown();
    }
    // Exports the project at the share option's size; the movie's path, or empty when it failed.
    QString exportMovie(int videoSize, QSize size) {
        project->setShareOption("VideoSize", videoSize);
        NotificationLog notes{{MovieExportCommand::createVideoFileEndNotificationName()}};
        command =
            std::make_unique<MovieExportCommand>(dialogs, DirectorFrameRenderer::factory(player.director));
        if (!command->startEncodingMovieFile())
            return QString();
        // A whole export: a loaded machine takes tens of seconds over it at 1280 x 720.
        const bool ended = waitFor(
            [&] { return notes.count(MovieExportCommand::createVideoFileEndNotificationName()) == 1; },
            std::chrono::minutes(10));
        command->endEncoding();
        EXPECT_TRUE(dialogs.alerts.empty()) << dialogs.alertText().toStdString();
        return ended ? project->strEncodingVideoFilePath(QSizeF(size)) : QString();
    }

    RealPlayer player;
    RecordingDialogs dialogs;
    std::unique_ptr<MovieExportCommand> command;
};

// Matrix, primaries and transfer name one system: BT.709 from 720 lines up, SMPTE 170M (BT.601) below, as
// the pixels were converted; and the grey the first photo was adjusted to is grey in its backdrop too,
// while the other photos keep their orange one.
TEST_F(MovieColourEndToEndTest, EachSizeIsLabelledAsConvertedAndTheBackdropFollowsTheColourAdjustment) {
    ASSERT_TRUE(project->slideItemAtIndex(0)->ApplyAdjustColor({{"Saturation", 0.0}}));
    const struct {
        int videoSize;
        QSize size;
        const char* system;
    } sizes[] = {{0, QSize(640, 360), "smpte170m"}, {2, QSize(1280, 720), "bt709"}};
    for (const auto& c : sizes) {
        SCOPED_TRACE(c.system);
        const QString path = exportMovie(c.videoSize, c.size);
        ASSERT_FALSE(path.isEmpty());
        const MediaProbe probe = MediaProbe::probe(path);
        const MediaProbe::Stream* video = probe.firstOfType("video");
        ASSERT_TRUE(video) << probe.error.toStdString();
        EXPECT_EQ(video->width, c.size.width());
        EXPECT_EQ(video->colourMatrix.toStdString(), c.system);
        EXPECT_EQ(video->colourPrimaries.toStdString(), c.system);
        EXPECT_EQ(video->colourTransfer.toStdString(), c.system);

        const quint64 second = project->slideItemAtIndex(1)->nItemStartFrameIndex() + 6;
        const DecodedMovie movie = DecodedMovie::decode(path, {5, int(second)});
        ASSERT_TRUE(movie.ok) << movie.error.toStdString();
        const QImage& adjusted = movie.frames.at(5);
        const QImage& plain = movie.frames.at(int(second));
        const QPoint middle(c.size.width() / 2, c.size.height() / 2);
        const QPoint edge(c.size.width() / 20, c.size.height() / 2);
        EXPECT_TRUE(isGrey(adjusted.pixelColor(middle)))
            << describe(adjusted.pixelColor(middle)).toStdString();
        EXPECT_TRUE(isGrey(adjusted.pixelColor(edge))) << "the backdrop round the adjusted photo is "
                                                       << describe(adjusted.pixelColor(edge)).toStdString();
        EXPECT_GT(plain.pixelColor(edge).red() - plain.pixelColor(edge).blue(), 100)
            << "an unadjusted backdrop stays orange: " << describe(plain.pixelColor(edge)).toStdString();
    }
}
