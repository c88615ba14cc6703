// The sound of the in-memory movie paths, read back from the written movie: the mix (a steady tone here)
// fades in over the first 3 s and out over the last 3 s, starts again when it runs dry, and falls silent
// once a music slideshow's songs are used up. The path that hands frames straight to the writer writes the
// mix as it is, again from its beginning when it runs dry.
#include "EncoderTestSupport.h"
#include "support/MovieDecoder.h"
#include "support/ProjectSongs.h"
#include "support/RecordingDialogs.h"

#include "export/MovieExportCommand.h"

#include <cmath>

using namespace encoder_test;

namespace {

constexpr double kShowSeconds = 8.0;
constexpr float kToneAmplitude = 0.5f;

enum class Path { Pool, PlanarPool, Writer }; // encodeVideo_2, encodeVideo_YUV_Test, encodeVideo_3

struct SoundCase {
    const char* name;
    Path path;
    double toneSeconds; // the mix
    bool musicSlideshow;
    int songs;    // songs the project lists (the mix stands for them)
    int restarts; // how often the mix ran dry
    int songIndex;
    std::vector<std::pair<double, double>> levels; // moment, level as a share of the tone's own
};

SoundCase soundCase(const char* name, Path path, double toneSeconds, bool musicSlideshow, int songs,
                    int restarts, int songIndex, std::vector<std::pair<double, double>> levels) {
    return {name, path, toneSeconds, musicSlideshow, songs, restarts, songIndex, std::move(levels)};
}

void PrintTo(const SoundCase& c, std::ostream* out) {
    *out << c.name;
}

} // namespace

class PoolSoundEndToEndTest : public EncoderTest, public ::testing::WithParamInterface<SoundCase> {};

TEST_P(PoolSoundEndToEndTest, TheMovieCarriesTheFadedRepeatedMix) {
    const SoundCase c = GetParam();
    const quint64 frames = quint64(kShowSeconds * 30);
    useShowOfFrames(frames);
    project->setBIsMusicSideshow(c.musicSlideshow);
    std::vector<MusicItemRef> songs;
    for (int i = 0; i < c.songs; ++i)
        songs.push_back(test_support::songNamed(QStringLiteral("song%1.mp3").arg(i)));
    project->setMusicArray(songs);

    RecordingDialogs dialogs;
    MovieExportCommand command(dialogs, [frames]() -> std::unique_ptr<FrameRenderer> {
        ScriptedRenderer::Script script;
        script.frames = frames;
        return std::make_unique<ScriptedRenderer>(script);
    });
    std::unique_ptr<EncoderController> encoder = makeEncoder(c.toneSeconds);
    NotificationLog notes{{EncoderController::movieFinishedNotificationName(),
                           EncoderController::movieFailedNotificationName()}};
    const bool started = c.path == Path::Pool         ? encoder->encodeVideo_2(&command)
                         : c.path == Path::PlanarPool ? encoder->encodeVideo_YUV_Test(&command)
                                                      : encoder->encodeVideo_3(&command);
    ASSERT_TRUE(started) << encoder->dictEncodeResult().value("desc").toString().toStdString();
    ASSERT_TRUE(waitFor([&] { return !notes.all().empty(); }));
    ASSERT_EQ(notes.count(EncoderController::movieFinishedNotificationName()), 1)
        << notes.all().front().userInfo.value("desc").toString().toStdString();
    encoder->waitUntilFinished();
    EXPECT_EQ(encoder->nSongIndexContinue(), c.restarts);
    EXPECT_EQ(encoder->nSongIndex(), c.songIndex);

    const DecodedMovie movie = DecodedMovie::decode(encoder->strVideoOutputFullPath());
    ASSERT_TRUE(movie.ok) << movie.error.toStdString();
    EXPECT_NEAR(double(movie.audio.size() / 2) / 44100.0, kShowSeconds, 1.0 / 30.0)
        << "ends with the pictures";
    const double full = kToneAmplitude / std::sqrt(2.0);
    for (const auto& [at, share] : c.levels)
        EXPECT_NEAR(movie.audioLevel(at - 0.05, 0.1) / full, share, 0.05) << "at " << at << " s";
}

// Fades: a third of the tone at 1 s, two thirds at 2 s, all of it in the middle, the same down to the end.
INSTANTIATE_TEST_SUITE_P(
    Paths, PoolSoundEndToEndTest,
    ::testing::Values(soundCase("FadesInAndOut", Path::Pool, 10.0, false, 0, 0, 0,
                                {{1.0, 1 / 3.0}, {2.0, 2 / 3.0}, {4.0, 1.0}, {6.0, 2 / 3.0}, {7.0, 1 / 3.0}}),
                      soundCase("PlanarFramesFadeTheSameWay", Path::PlanarPool, 10.0, false, 0, 0, 0,
                                {{1.0, 1 / 3.0}, {4.0, 1.0}, {7.0, 1 / 3.0}}),
                      soundCase("TheMixRepeatsWhenItRunsDry", Path::Pool, 2.5, false, 2, 3, 1,
                                {{2.0, 2 / 3.0}, {3.5, 1.0}, {4.5, 1.0}, {6.5, 0.5}}),
                      soundCase("WithoutSongsTheIndexStaysAtTheFirst", Path::Pool, 2.5, false, 0, 3, 0,
                                {{4.5, 1.0}}),
                      soundCase("AMusicSlideshowFallsSilentOnceItsSongsAreUsedUp", Path::Pool, 2.5, true, 2,
                                3, 1, {{2.0, 2 / 3.0}, {3.5, 0.0}, {4.5, 0.0}, {6.5, 0.0}}),
                      soundCase("PlanarFramesFallSilentTheSameWay", Path::PlanarPool, 2.5, true, 2, 3, 1,
                                {{2.0, 2 / 3.0}, {3.5, 0.0}, {6.5, 0.0}}),
                      soundCase("TheWritersPathWritesTheMixAsItIsAndRepeatsIt", Path::Writer, 2.5, true, 2, 3,
                                1, {{1.0, 1.0}, {3.5, 1.0}, {7.5, 1.0}})),
    [](const ::testing::TestParamInfo<SoundCase>& info) { return info.param.name; });
