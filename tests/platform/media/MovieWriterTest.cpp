#include "platform/media/MovieWriter.h"
#include "platform/media/AudioReader.h"
#include "platform/media/MediaAsset.h"
#include "platform/media/SerialQueue.h"
#include "platform/media/VideoReader.h"
#include "support/ClipMaker.h"
#include "support/ColourBars.h"
#include "support/FilesBeingMade.h"
#include "support/MediaProbe.h"
#include "support/MovieDecoder.h"
#include "support/TempDir.h"
#include "support/TestEnvironment.h"
#include "support/ToneMaker.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <random>
#include <thread>

using namespace platform::media;

namespace {

void expectColoursOfFrame(const QImage& image, int frameIndex) {
    ASSERT_FALSE(image.isNull());
    for (int bar = 0; bar < ColourBars::kBars; ++bar) {
        const QColor want = ColourBars::barColour(frameIndex, bar);
        const QColor got = image.pixelColor(ColourBars::barCentre(image.size(), bar));
        EXPECT_NEAR(got.red(), want.red(), 12) << "frame " << frameIndex << " bar " << bar;
        EXPECT_NEAR(got.green(), want.green(), 12) << "frame " << frameIndex << " bar " << bar;
        EXPECT_NEAR(got.blue(), want.blue(), 12) << "frame " << frameIndex << " bar " << bar;
    }
}

int longestKeyFrameDistance(const MediaProbe::Stream& stream) {
    int longest = 0;
    int previous = 0;
    for (int key : stream.keyFrames) {
        longest = std::max(longest, key - previous);
        previous = key;
    }
    return std::max(longest, stream.packets - previous);
}

MovieWriter::Settings settingsFor(const QString& path, QSize size = QSize(64, 48)) {
    MovieWriter::Settings settings;
    settings.path = path;
    settings.frameSize = size;
    settings.videoBitRate = 500'000;
    settings.encoderLanes = 2; // the joined stream on every machine, whatever its cores would choose
    return settings;
}

void checkTwoSecondMovie(const QString& path, const QString& formatName) {
    const MediaProbe probe = MediaProbe::probe(path);
    ASSERT_TRUE(probe.ok) << probe.error.toStdString();
    EXPECT_TRUE(probe.formatName.contains(formatName)) << probe.formatName.toStdString();
    ASSERT_EQ(probe.streams.size(), 2u);
    const MediaProbe::Stream* video = probe.firstOfType("video");
    const MediaProbe::Stream* audio = probe.firstOfType("audio");
    ASSERT_TRUE(video && audio);
    EXPECT_EQ(video->codec, "h264");
    EXPECT_EQ(audio->codec, "aac");
    EXPECT_EQ(video->width, 640);
    EXPECT_EQ(video->height, 360);
    EXPECT_EQ(audio->sampleRate, 44100);
    EXPECT_EQ(audio->channels, 2);
    EXPECT_EQ(video->packets, 60);
    EXPECT_NEAR(probe.durationSeconds, 2.0, 0.05);
    EXPECT_NEAR(video->durationSeconds, 2.0, 0.001);
    ASSERT_FALSE(video->keyFrames.empty());
    EXPECT_EQ(video->keyFrames.front(), 0);
    EXPECT_LE(longestKeyFrameDistance(*video), 30);
    const MediaAsset asset = MediaAsset::open(path);
    EXPECT_EQ(asset.metadata().value("title").toString(), "Bars & Tone");
    EXPECT_EQ(asset.metadata().value("description").toString(), "Sixty frames of colour bars");
    if (formatName == "mov") { // players of QuickTime movies look for the QuickTime key space's title
        EXPECT_EQ(probe.tags.value("com.apple.quicktime.title").toString(), "Bars & Tone");
    }
}

} // namespace

class MovieWriterContainers : public ::testing::TestWithParam<MovieContainer> {};

TEST_P(MovieWriterContainers, WritesATwoSecondMovieWithSound) {
    TempDir dir;
    const bool quickTime = GetParam() == MovieContainer::QuickTime;
    const QString path = dir.file(quickTime ? "bars.mov" : "bars.mp4");
    ClipMaker::Options options;
    options.size = QSize(640, 360);
    options.frames = 60;
    options.audio = true;
    options.container = GetParam();
    options.title = "Bars & Tone";
    options.description = "Sixty frames of colour bars";
    QString error;
    ASSERT_TRUE(ClipMaker::make(path, options, &error)) << error.toStdString();
    checkTwoSecondMovie(path, quickTime ? "mov" : "mp4");

    VideoReader reader;
    ASSERT_TRUE(reader.open(path)) << reader.errorString().toStdString();
    for (int n : {0, 17, 45, 59}) {
        ASSERT_TRUE(reader.seek(MediaTime(n, 30)));
        VideoFrame frame;
        ASSERT_TRUE(reader.readFrame(frame));
        EXPECT_EQ(frame.time, MediaTime(n, 30));
        expectColoursOfFrame(frame.image, n);
    }
    AudioReader sound;
    ASSERT_TRUE(sound.open(path));
    std::vector<float> samples(2 * 44100 * 2 + 4096);
    int total = 0;
    for (int got = 0; (got = sound.read(samples.data() + total * 2, 4096)) > 0;)
        total += got;
    EXPECT_NEAR(total, 88200, 50);
    samples.resize(static_cast<size_t>(total) * 2);
    EXPECT_NEAR(ToneMaker::rms(samples), 0.5 / std::sqrt(2.0), 0.02);
}

INSTANTIATE_TEST_SUITE_P(Containers, MovieWriterContainers,
                         ::testing::Values(MovieContainer::MPEG4, MovieContainer::QuickTime),
                         [](const auto& info) {
                             return info.param == MovieContainer::QuickTime ? "QuickTime" : "MPEG4";
                         });

TEST(MovieWriter, FrameTimesAreKeptAsGiven) {
    TempDir dir;
    MovieWriter writer(settingsFor(dir.file("late.mp4")));
    ASSERT_TRUE(writer.start()) << writer.errorString().toStdString();
    for (int n = 1; n <= 10; ++n) // the first frame at 1/30 s, as the frame pump delivers them
        ASSERT_TRUE(writer.appendVideoFrame(ColourBars::frame(QSize(64, 48), n), MediaTime(n, 30)));
    ASSERT_TRUE(writer.finish()) << writer.errorString().toStdString();
    EXPECT_EQ(writer.status(), MovieWriter::Status::Completed);
    EXPECT_EQ(writer.videoFramesWritten(), 10);
    VideoReader reader;
    ASSERT_TRUE(reader.open(dir.file("late.mp4")));
    VideoFrame frame;
    ASSERT_TRUE(reader.readFrame(frame));
    EXPECT_EQ(frame.time, MediaTime(1, 30)); // exact: the movie's own timescale is 600
}

TEST(MovieWriter, TakesFramesWithPaddedRows) {
    TempDir dir;
    const QSize size(64, 48);
    MovieWriter writer(settingsFor(dir.file("stride.mp4"), size));
    ASSERT_TRUE(writer.start());
    const int stride = size.width() * 4 + 96;
    std::vector<uchar> buffer(static_cast<size_t>(stride) * size.height(), 0xEE);
    const QImage bars = ColourBars::frame(size, 3);
    for (int y = 0; y < size.height(); ++y)
        std::memcpy(buffer.data() + y * stride, bars.constScanLine(y), static_cast<size_t>(size.width()) * 4);
    ASSERT_TRUE(writer.appendVideoFrame(buffer.data(), stride, MediaTime::zero()));
    ASSERT_TRUE(writer.finish());
    VideoReader reader;
    ASSERT_TRUE(reader.open(dir.file("stride.mp4")));
    VideoFrame frame;
    ASSERT_TRUE(reader.readFrame(frame));
    expectColoursOfFrame(frame.image, 3);
}

TEST(MovieWriter, CancelRemovesThePartialFile) {
    TempDir dir;
    const QString path = dir.file("cancelled.mp4");
    MovieWriter writer(settingsFor(path));
    ASSERT_TRUE(writer.start());
    ASSERT_TRUE(writer.appendVideoFrame(ColourBars::frame(QSize(64, 48), 0), MediaTime::zero()));
    EXPECT_FALSE(QFile::exists(path)) << "the name is taken only by a finished movie";
    EXPECT_EQ(test_support::filesBeingMadeFor(path).size(), 1);
    writer.cancel();
    EXPECT_EQ(writer.status(), MovieWriter::Status::Cancelled);
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    EXPECT_TRUE(test_support::filesBeingMadeFor(path).isEmpty());
    EXPECT_FALSE(writer.appendVideoFrame(ColourBars::frame(QSize(64, 48), 1), MediaTime(1, 30)));
    EXPECT_FALSE(writer.finish());
    EXPECT_EQ(writer.status(), MovieWriter::Status::Cancelled);

    const QString dropped = dir.file("dropped.mp4");
    {
        MovieWriter unfinished(settingsFor(dropped));
        ASSERT_TRUE(unfinished.start());
        ASSERT_TRUE(unfinished.appendVideoFrame(ColourBars::frame(QSize(64, 48), 0), MediaTime::zero()));
    }
    EXPECT_FALSE(QFile::exists(dropped));
}

namespace {

// Frames of grain, which keep the encoders busy for a while each.
std::vector<QImage> grainFrames(QSize size, int count) {
    std::mt19937 random(11);
    std::vector<QImage> frames;
    for (int n = 0; n < count; ++n) {
        QImage frame(size, QImage::Format_RGB32);
        for (int y = 0; y < size.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(frame.scanLine(y));
            for (int x = 0; x < size.width(); ++x)
                row[x] = 0xff000000u | (random() & 0xffffffu);
        }
        frames.push_back(frame);
    }
    return frames;
}

} // namespace

// Another program writes into whatever stands at the movie's name while the movie is made, a stale movie
// there too: the finished movie holds none of its bytes.
TEST(MovieWriter, AProgramWritingAtTheMoviesNameMeanwhileDoesNotReachTheMovie) {
    TempDir dir;
    const QString path = dir.file("movie.mp4");
    ASSERT_TRUE(test_support::writeBytes(path, QByteArray(64 * 1024, 'm')));
    const QSize size(320, 180);
    const std::vector<QImage> grain = grainFrames(size, 8);
    MovieWriter writer(settingsFor(path, size));
    ASSERT_TRUE(writer.start()) << writer.errorString().toStdString();
    int frames = 0;
    const auto append = [&] {
        ASSERT_TRUE(
            writer.appendVideoFrame(grain[std::size_t(frames) % grain.size()], MediaTime(frames, 30)));
        ++frames;
    };
    // Until a good part of the pictures is in the movie being made, wherever it is.
    while (test_support::largestFileIn(dir.path()) < 256 * 1024 && frames < 3000)
        append();
    EXPECT_TRUE(test_support::writeIntoInPlace(path));
    for (int more = 0; more < 30; ++more)
        append();
    ASSERT_TRUE(writer.finish()) << writer.errorString().toStdString();
    const DecodedMovie movie = DecodedMovie::decode(path);
    ASSERT_TRUE(movie.ok) << movie.error.toStdString();
    EXPECT_EQ(movie.decodeErrors, 0);
    EXPECT_EQ(int(movie.frameTimes.size()), frames);
    EXPECT_EQ(writer.writtenFile(), platform::FileIdentity::ofPath(path));
}

TEST(MovieWriter, ACancelWhileBothLanesWriteEndsCancelledAndLeavesNothing) {
    TempDir dir;
    const QSize size(640, 360);
    const std::vector<QImage> grain = grainFrames(size, 4);
    for (int run = 0; run < 20; ++run) {
        SCOPED_TRACE(run);
        const QString path = dir.file(QStringLiteral("cancelled%1.mp4").arg(run));
        MovieWriter::Settings settings = settingsFor(path, size);
        settings.gopSize = 6; // the lanes take turns often: either may be writing packets at the cancel
        settings.videoBitRate = 8'000'000;
        MovieWriter writer(settings);
        ASSERT_TRUE(writer.start()) << writer.errorString().toStdString();
        std::atomic<int> appended{0};
        std::thread feeder([&] {
            for (int n = 0; writer.appendVideoFrame(grain[std::size_t(n) % grain.size()], MediaTime(n, 30));
                 ++n)
                ++appended;
        });
        const int cancelAfter = 1 + 3 * run; // spread over the first groups of both lanes
        while (appended < cancelAfter)
            std::this_thread::yield();
        writer.cancel();
        feeder.join();
        EXPECT_EQ(writer.status(), MovieWriter::Status::Cancelled);
        EXPECT_EQ(writer.errorString(), QStringLiteral("The movie was cancelled"));
        EXPECT_FALSE(QFile::exists(path));
    }
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty());
}

TEST(MovieWriter, FailuresAreReportedAndLeaveNoFile) {
    TempDir dir;
    {
        MovieWriter empty(settingsFor(dir.file("empty.mp4")));
        ASSERT_TRUE(empty.start());
        EXPECT_FALSE(empty.finish());
        EXPECT_EQ(empty.status(), MovieWriter::Status::Failed);
        EXPECT_FALSE(empty.errorString().isEmpty());
        EXPECT_FALSE(QFile::exists(dir.file("empty.mp4")));
    }
    {
        MovieWriter backwards(settingsFor(dir.file("backwards.mp4")));
        ASSERT_TRUE(backwards.start());
        ASSERT_TRUE(backwards.appendVideoFrame(ColourBars::frame(QSize(64, 48), 0), MediaTime(2, 30)));
        EXPECT_FALSE(backwards.appendVideoFrame(ColourBars::frame(QSize(64, 48), 1), MediaTime(2, 30)));
        EXPECT_EQ(backwards.status(), MovieWriter::Status::Failed);
        EXPECT_FALSE(QFile::exists(dir.file("backwards.mp4")));
        EXPECT_FALSE(backwards.finish());
    }
    {
        MovieWriter wrongSize(settingsFor(dir.file("size.mp4")));
        ASSERT_TRUE(wrongSize.start());
        EXPECT_FALSE(wrongSize.appendVideoFrame(ColourBars::frame(QSize(32, 48), 0), MediaTime::zero()));
        EXPECT_TRUE(wrongSize.errorString().contains("32x48")) << wrongSize.errorString().toStdString();
    }
    {
        MovieWriter odd(settingsFor(dir.file("odd.mp4"), QSize(63, 48)));
        EXPECT_FALSE(odd.start());
        EXPECT_TRUE(odd.errorString().contains("63x48"));
        EXPECT_FALSE(QFile::exists(dir.file("odd.mp4")));
    }
    {
        MovieWriter nowhere(settingsFor(dir.file("no/such/folder/m.mp4")));
        EXPECT_FALSE(nowhere.start());
        EXPECT_TRUE(nowhere.errorString().contains("m.mp4")) << nowhere.errorString().toStdString();
    }
    {
        MovieWriter silent(settingsFor(dir.file("silent.mp4")));
        ASSERT_TRUE(silent.start());
        const int16_t samples[4] = {};
        EXPECT_FALSE(silent.appendAudioSamples(samples, 2)); // no sound track was asked for
    }
}

TEST(MovieWriter, VideoAndSoundMayBeAppendedFromTwoThreads) {
    TempDir dir;
    MovieWriter::Settings settings = settingsFor(dir.file("threads.mp4"));
    settings.audio = true;
    MovieWriter writer(settings);
    ASSERT_TRUE(writer.start());
    std::promise<void> go;
    std::shared_future<void> start = go.get_future().share();
    std::thread video([&] {
        start.wait();
        for (int n = 0; n < 45; ++n)
            ASSERT_TRUE(writer.appendVideoFrame(ColourBars::frame(QSize(64, 48), n), MediaTime(n, 30)));
    });
    std::thread sound([&] {
        start.wait();
        const std::vector<int16_t> tone = ToneMaker::toInt16(ToneMaker::sine(440.0, 1.5, 0.5f));
        for (size_t done = 0; done < tone.size(); done += 2 * 441)
            ASSERT_TRUE(writer.appendAudioSamples(tone.data() + done, 441));
    });
    go.set_value();
    video.join();
    sound.join();
    ASSERT_TRUE(writer.finish()) << writer.errorString().toStdString();
    const MediaProbe probe = MediaProbe::probe(dir.file("threads.mp4"));
    ASSERT_TRUE(probe.ok);
    EXPECT_EQ(probe.firstOfType("video")->packets, 45);
    EXPECT_NEAR(MediaAsset::open(dir.file("threads.mp4")).audioTimeRange().duration.seconds(), 1.5, 0.002);
}

TEST(MovieWriter, ReadyBlocksOnASerialQueueKeepTheKindsInterleaved) {
    TempDir dir;
    MovieWriter::Settings settings = settingsFor(dir.file("paced.mp4"));
    settings.audio = true;
    MovieWriter writer(settings);
    ASSERT_TRUE(writer.start());
    SerialQueue queue("mediaInputQueue");
    const int frames = 60;
    const std::vector<float> tone = ToneMaker::sine(440.0, 2.0, 0.5f);
    int nextFrame = 0;
    size_t nextSample = 0;
    double videoEnd = 0.0;
    double audioEnd = 0.0;
    double worstLead = 0.0;
    std::promise<void> videoDone;
    std::promise<void> audioDone;
    writer.requestMediaDataWhenReady(MediaKind::Video, queue, [&] {
        EXPECT_TRUE(queue.isCurrentThread());
        while (writer.isReadyForMoreMediaData(MediaKind::Video)) {
            if (nextFrame == frames) {
                writer.markAsFinished(MediaKind::Video);
                videoDone.set_value();
                return;
            }
            worstLead = std::max(worstLead, videoEnd - audioEnd);
            ASSERT_TRUE(writer.appendVideoFrame(ColourBars::frame(QSize(64, 48), nextFrame),
                                                MediaTime(nextFrame, 30)));
            videoEnd = ++nextFrame / 30.0;
        }
    });
    writer.requestMediaDataWhenReady(MediaKind::Audio, queue, [&] {
        while (writer.isReadyForMoreMediaData(MediaKind::Audio)) {
            if (nextSample == tone.size()) {
                writer.markAsFinished(MediaKind::Audio);
                audioDone.set_value();
                return;
            }
            worstLead = std::max(worstLead, audioEnd - videoEnd);
            const int count = static_cast<int>(std::min<size_t>(1024, (tone.size() - nextSample) / 2));
            ASSERT_TRUE(writer.appendAudioSamples(tone.data() + nextSample, count));
            nextSample += static_cast<size_t>(count) * 2;
            audioEnd = static_cast<double>(nextSample / 2) / 44100.0;
        }
    });
    videoDone.get_future().wait();
    audioDone.get_future().wait();
    queue.waitUntilIdle();
    EXPECT_LE(worstLead, 0.5 + 1024.0 / 44100.0);
    ASSERT_TRUE(writer.finish()) << writer.errorString().toStdString();
    EXPECT_EQ(MediaProbe::probe(dir.file("paced.mp4")).firstOfType("video")->packets, frames);
}

namespace {

// Peak bit rate and coded picture buffer of the H.264 levels of our export sizes, kbit/s and kbit, as the
// Main profile has them; High allows a quarter more.
struct LevelLimits {
    int level;
    double maxRate, buffer;
};
constexpr LevelLimits kLevels[] = {{30, 10000, 10000}, {31, 14000, 14000}, {32, 20000, 20000},
                                   {40, 20000, 25000}, {41, 50000, 62500}, {42, 50000, 62500}};

// The deepest a decoder's buffer, filled at the level's peak rate, falls behind the frames it must take at
// 30 a second; above the buffer's size the decoder runs dry.
double deepestShortfall(const std::vector<int>& packetSizes, double maxRate) {
    double shortfall = 0.0, deepest = 0.0;
    for (const int bytes : packetSizes) {
        shortfall = std::max(0.0, shortfall + bytes * 8.0 - maxRate / 30.0);
        deepest = std::max(deepest, shortfall);
    }
    return deepest;
}

} // namespace

TEST(MovieWriter, LanesJoinIntoOneStreamOfEveryFrameInOrder) {
    TempDir dir;
    for (int lanes : {1, 2, 3}) {
        SCOPED_TRACE(lanes);
        const QString path = dir.file(QStringLiteral("lanes%1.mp4").arg(lanes));
        MovieWriter::Settings settings = settingsFor(path);
        settings.encoderLanes = lanes;
        settings.gopSize = 10;
        MovieWriter writer(settings);
        ASSERT_TRUE(writer.start()) << writer.errorString().toStdString();
        const int frames = 47; // the last group short
        for (int n = 0; n < frames; ++n)
            ASSERT_TRUE(writer.appendVideoFrame(ColourBars::frame(QSize(64, 48), n), MediaTime(n + 1, 30)));
        ASSERT_TRUE(writer.finish()) << writer.errorString().toStdString();
        const MediaProbe probe = MediaProbe::probe(path);
        const MediaProbe::Stream* video = probe.firstOfType("video");
        ASSERT_TRUE(video);
        EXPECT_EQ(video->packets, frames);
        EXPECT_LE(longestKeyFrameDistance(*video), 10);
        if (lanes > 1) { // one key frame a group: each costs the bits of many others
            EXPECT_EQ(video->keyFrames, (std::vector<int>{0, 10, 20, 30, 40}));
        }
        VideoReader reader;
        ASSERT_TRUE(reader.open(path));
        for (int n = 0; n < frames; ++n) {
            VideoFrame frame;
            ASSERT_TRUE(reader.readFrame(frame)) << n;
            EXPECT_EQ(frame.time, MediaTime(n + 1, 30));
            expectColoursOfFrame(frame.image, n);
        }
    }
}

TEST(MovieWriter, TheStreamStaysWithinTheLevelItDeclares) {
    TempDir dir;
    const QSize size(640, 360);
    for (int lanes : {1, 2}) { // lanes share the decoder's buffer
        SCOPED_TRACE(lanes);
        MovieWriter::Settings settings = settingsFor(dir.file(QStringLiteral("busy%1.mp4").arg(lanes)), size);
        settings.videoBitRate = 3'800'000; // the smallest export size and its rate
        settings.encoderLanes = lanes;
        MovieWriter writer(settings);
        ASSERT_TRUE(writer.start()) << writer.errorString().toStdString();
        // Still pictures save bits that the rate control would spend at once on pictures of noise.
        QImage picture(size, QImage::Format_ARGB32);
        quint32 seed = 7;
        for (int n = 1; n <= 420; ++n) {
            if (n <= 240) {
                picture.fill(QColor(90, 120, 150));
            } else {
                for (int y = 0; y < size.height(); ++y) {
                    auto* row = reinterpret_cast<quint32*>(picture.scanLine(y));
                    for (int x = 0; x < size.width(); ++x)
                        row[x] = 0xff000000u | ((seed = seed * 1664525u + 1013904223u) >> 8);
                }
            }
            ASSERT_TRUE(writer.appendVideoFrame(picture, MediaTime(n, 30)));
        }
        ASSERT_TRUE(writer.finish()) << writer.errorString().toStdString();
        const MediaProbe probe = MediaProbe::probe(settings.path);
        const MediaProbe::Stream* video = probe.firstOfType("video");
        ASSERT_TRUE(video);
        const auto limits = std::find_if(std::begin(kLevels), std::end(kLevels),
                                         [&](const LevelLimits& l) { return l.level == video->level; });
        ASSERT_NE(limits, std::end(kLevels)) << "level " << video->level;
        const double high = video->profile >= 100 ? 1.25 : 1.0;
        EXPECT_LE(deepestShortfall(video->packetSizes, limits->maxRate * 1000 * high),
                  limits->buffer * 1000 * high)
            << "level " << video->level;
        // And within the peak rate and buffer the encoder was given, twice the average each.
        const double peak = 2.0 * double(settings.videoBitRate);
        EXPECT_LE(deepestShortfall(video->packetSizes, peak), peak * 1.05);
    }
}

TEST(MovieWriter, HDMoviesAreConvertedAndLabelledBT709AndSmallerOnesBT601Whole) {
    TempDir dir;
    const QColor green(20, 200, 40);
    // Y'CbCr of limited range back to R'G'B' with the labelled matrix's red and blue weights.
    const auto toRGB = [](const std::array<int, 3>& ycc, double kr, double kb) {
        const double y = (ycc[0] - 16) / 219.0, cb = (ycc[1] - 128) / 224.0, cr = (ycc[2] - 128) / 224.0;
        const double r = y + 2 * (1 - kr) * cr, b = y + 2 * (1 - kb) * cb;
        const double g = (y - kr * r - kb * b) / (1 - kr - kb);
        return std::array<double, 3>{r * 255, g * 255, b * 255};
    };
    // The sizes of the movie export.
    for (const auto& [size, matrix] : {std::pair{QSize(640, 360), QString("smpte170m")},
                                       {QSize(960, 540), QString("smpte170m")},
                                       {QSize(1280, 720), QString("bt709")},
                                       {QSize(1920, 1080), QString("bt709")}}) {
        SCOPED_TRACE(matrix.toStdString());
        const QString path = dir.file(matrix + ".mp4");
        MovieWriter writer(settingsFor(path, size));
        ASSERT_TRUE(writer.start());
        QImage picture(size, QImage::Format_ARGB32);
        picture.fill(green);
        for (int n = 1; n <= 3; ++n)
            ASSERT_TRUE(writer.appendVideoFrame(picture, MediaTime(n, 30)));
        ASSERT_TRUE(writer.finish());
        const MediaProbe probe = MediaProbe::probe(path);
        const MediaProbe::Stream* video = probe.firstOfType("video");
        ASSERT_TRUE(video);
        // Matrix, primaries and transfer of one system, the one the pixels were converted with.
        EXPECT_EQ(video->colourMatrix.toStdString(), matrix.toStdString());
        EXPECT_EQ(video->colourPrimaries.toStdString(), matrix.toStdString());
        EXPECT_EQ(video->colourTransfer.toStdString(), matrix.toStdString());
        const auto ycc = MediaProbe::firstFrameYCbCr(path, QPoint(size.width() / 2, size.height() / 2));
        ASSERT_TRUE(ycc);
        const auto rgb = matrix == "bt709" ? toRGB(*ycc, 0.2126, 0.0722) : toRGB(*ycc, 0.299, 0.114);
        EXPECT_NEAR(rgb[0], green.red(), 4);
        EXPECT_NEAR(rgb[1], green.green(), 4);
        EXPECT_NEAR(rgb[2], green.blue(), 4);
    }
}

TEST(MovieWriter, PlanarPicturesAreCodedAsTheyAreAndLabelledBT601AtEverySize) {
    TempDir dir;
    const std::array<int, 3> ycc{120, 90, 170};
    for (const QSize size : {QSize(64, 48), QSize(1280, 720)}) {
        SCOPED_TRACE(size.width());
        const QString path = dir.file(QStringLiteral("planar%1.mp4").arg(size.width()));
        MovieWriter::Settings settings = settingsFor(path, size);
        settings.planarPictures = true;
        MovieWriter writer(settings);
        ASSERT_TRUE(writer.start()) << writer.errorString().toStdString();
        // Rows padded to twice the width, as a caller's buffer may be.
        const int line = 2 * size.width();
        std::vector<uchar> frame(std::size_t(line) * size.height() * 3 / 2);
        std::fill_n(frame.begin(), std::size_t(line) * size.height(), uchar(ycc[0]));
        const auto chroma = frame.begin() + std::ptrdiff_t(line) * size.height();
        const std::ptrdiff_t chromaBytes = std::ptrdiff_t(line / 2) * (size.height() / 2);
        std::fill_n(chroma, chromaBytes, uchar(ycc[1]));
        std::fill_n(chroma + chromaBytes, chromaBytes, uchar(ycc[2]));
        for (int n = 1; n <= 3; ++n)
            ASSERT_TRUE(writer.appendVideoFrame(frame.data(), line, MediaTime(n, 30)));
        EXPECT_FALSE(writer.appendVideoFrame(QImage(size, QImage::Format_ARGB32), MediaTime(4, 30)));
        EXPECT_EQ(writer.status(), MovieWriter::Status::Failed);
        MovieWriter again(settings);
        ASSERT_TRUE(again.start());
        for (int n = 1; n <= 3; ++n)
            ASSERT_TRUE(again.appendVideoFrame(frame.data(), line, MediaTime(n, 30)));
        ASSERT_TRUE(again.finish()) << again.errorString().toStdString();
        const MediaProbe probe = MediaProbe::probe(path);
        const MediaProbe::Stream* video = probe.firstOfType("video");
        ASSERT_TRUE(video);
        EXPECT_EQ(video->packets, 3);
        EXPECT_EQ(video->colourMatrix.toStdString(), "smpte170m");
        const auto read = MediaProbe::firstFrameYCbCr(path, QPoint(size.width() / 2, size.height() / 2));
        ASSERT_TRUE(read);
        for (std::size_t i = 0; i < 3; ++i)
            EXPECT_NEAR((*read)[i], ycc[i], 2) << i;
    }
}
