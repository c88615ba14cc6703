// The music director's per-song player: where the repeated song list stands at a time, one player per
// song going round the list, and the plain song record.
#include "ModelTestEnvironment.h"

#include "model/MusicDirector.h"
#include "model/SongRecord.h"
#include "platform/media/AudioPlayer.h"
#include "support/NullAudioSink.h"
#include "support/ProjectSongs.h"
#include "support/ToneMaker.h"

#include <cmath>
#include <limits>

using model_test::ModelTest;
using model_test::writeFile;
using test_support::NullAudioSink;

class PerSongPlayerTest : public ModelTest {
protected:
    SlideshowProjectRef project = user.openProject();
    MusicDirector director;
    std::vector<NullAudioSink*> sinks; // each lives as long as its player

    void SetUp() override {
        platform::media::AudioPlayer::setDefaultSinkFactory([this] {
            auto sink = std::make_unique<NullAudioSink>();
            sinks.push_back(sink.get());
            return sink;
        });
    }
    void TearDown() override {
        director.stop_old();
        platform::media::AudioPlayer::setDefaultSinkFactory(nullptr);
        ModelTest::TearDown();
    }

    // Songs of these lengths, tones in the project's "Contents".
    void useTones(const std::vector<double>& seconds) {
        std::vector<MusicItemRef> songs;
        for (std::size_t i = 0; i < seconds.size(); ++i) {
            const QString name = QStringLiteral("tone%1.wav").arg(i);
            EXPECT_TRUE(
                ToneMaker::writeWav(user.contents() + "/" + name, 300 + 100 * double(i), seconds[i], 0.5f));
            songs.push_back(test_support::songNamed(name));
        }
        project->setMusicArray(songs);
    }
    double playerSeconds() const {
        return director.audioPlayer() ? director.audioPlayer()->currentTime().seconds() : -1.0;
    }
};

TEST_F(PerSongPlayerTest, TheRepeatedListIsWalkedToTheSongAtATime) {
    project->setMusicArray({songOf(10), songOf(20), songOf(5)});
    struct Case {
        double seconds;
        int index;
        double offset;
    };
    for (const Case& c : std::vector<Case>{{0, 0, 0},
                                           {9.5, 0, 9.5},
                                           {10, 1, 0},
                                           {34.5, 2, 4.5},
                                           {35, 0, 0},
                                           {35 * 3 + 12, 1, 2},
                                           {35e9 + 31, 2, 1}}) {
        int index = -1;
        double offset = -1;
        EXPECT_TRUE(director.findSongLocation(c.seconds, index, offset)) << c.seconds;
        EXPECT_EQ(index, c.index) << c.seconds;
        EXPECT_NEAR(offset, c.offset, 1e-3) << c.seconds;
    }
    int index = -1;
    double offset = -1;
    for (double seconds : {std::nan(""), std::numeric_limits<double>::infinity()}) {
        EXPECT_FALSE(director.findSongLocation(seconds, index, offset));
        EXPECT_EQ(index, 0);
        EXPECT_DOUBLE_EQ(offset, 0.3);
    }
    project->setMusicArray({songOf(0.04), songOf(0.05)});
    EXPECT_FALSE(director.findSongLocation(1.0, index, offset)) << "a round of less than 0.1 s";
    project->setMusicArray({});
    EXPECT_FALSE(director.findSongLocation(1.0, index, offset));
    EXPECT_FALSE(director.playFromLocation_old(1.0));
}

TEST_F(PerSongPlayerTest, EachSongPlaysOnceThenTheNextOneRoundTheList) {
    useTones({1.0, 0.5, 0.75});
    const auto songs = project->musicArray();
    ASSERT_TRUE(director.playFromLocation_old(1.2));
    EXPECT_EQ(director.currentSongPlayingIndex(), 1);
    EXPECT_EQ(director.currentPlayMusicItem(), songs[1]);
    EXPECT_NEAR(playerSeconds(), 0.2, 0.01);
    ASSERT_EQ(sinks.size(), 1u);
    EXPECT_TRUE(sinks[0]->isStarted());

    sinks[0]->advance(0.4);
    model_test::spinFor(20);
    EXPECT_EQ(director.currentSongPlayingIndex(), 2) << "the end of a song starts the next";
    EXPECT_NEAR(playerSeconds(), 0.0, 0.01);
    ASSERT_EQ(sinks.size(), 2u) << "a player of its own";
    EXPECT_EQ(director.audioPlayer()->sink(), sinks[1]) << "the finished song's player is let go";

    sinks[1]->advance(1.0);
    model_test::spinFor(20);
    EXPECT_EQ(director.currentSongPlayingIndex(), 0) << "after the last, the first";
    EXPECT_EQ(director.currentPlayMusicItem(), songs[0]);

    director.next();
    EXPECT_EQ(director.currentSongPlayingIndex(), 1);
    director.setBCmdPlayRequest(true);
    director.setBStartPlayingForRequest(true);
    director.stop_old();
    EXPECT_FALSE(director.audioPlayer());
    EXPECT_EQ(director.currentSongPlayingIndex(), 0);
    EXPECT_FALSE(director.bCmdPlayRequest());
    EXPECT_FALSE(director.bStartPlayingForRequest());
    EXPECT_DOUBLE_EQ(director.currentSongPlayingTime(), 0.0);
    EXPECT_DOUBLE_EQ(director.totalSongPlayingTime(), 0.0);
}

TEST_F(PerSongPlayerTest, TheEndOfAReplacedOrGonePlayerIsNotHeard) {
    useTones({0.5, 0.5, 0.5});
    ASSERT_TRUE(director.playFromSongIndex(0, 0.0));
    sinks.back()->advance(1.0); // its end is on its way to the main thread
    ASSERT_TRUE(director.playFromSongIndex(2, 0.0));
    model_test::spinFor(20);
    EXPECT_EQ(director.currentSongPlayingIndex(), 2) << "the first song's end skips nothing";

    auto gone = std::make_unique<MusicDirector>();
    ASSERT_TRUE(gone->playFromSongIndex(1, 0.0));
    sinks.back()->advance(1.0);
    gone.reset();
    model_test::spinFor(20); // nothing may reach the director that went
    EXPECT_EQ(director.currentSongPlayingIndex(), 2);
}

TEST_F(PerSongPlayerTest, AListShorterThanATenthOfASecondARoundIsNotGoneRound) {
    useTones({0.0, 0.01});
    ASSERT_TRUE(director.playFromSongIndex(1, 0.0));
    sinks.back()->advance(1.0);
    model_test::spinFor(20);
    EXPECT_EQ(sinks.size(), 1u) << "the end of the song starts no other";
    EXPECT_FALSE(director.audioPlayer());
    director.next();
    EXPECT_EQ(sinks.size(), 1u);
}

TEST_F(PerSongPlayerTest, ASongThatCannotPlayLeavesNoPlayer) {
    useTones({0.5, 0.5});
    writeFile(user.contents() + "/words.wav", "no sound in here");
    const auto silent = test_support::songNamed("words.wav");
    auto songs = project->musicArray();
    songs.insert(songs.end(), {silent, test_support::songNamed("absent.wav")});
    project->setMusicArray(songs);

    EXPECT_TRUE(director.playFromSongIndex(-3, 0.0)) << "taken round the list: song 1";
    EXPECT_EQ(director.currentSongPlayingIndex(), 1);
    EXPECT_FALSE(director.playFromSongIndex(2, 0.0));
    EXPECT_FALSE(director.audioPlayer()) << "the player before is gone too";
    EXPECT_EQ(director.currentPlayMusicItem(), silent) << "the song is remembered all the same";
    EXPECT_FALSE(director.playFromSongIndex(7, 0.0));
    EXPECT_EQ(director.currentSongPlayingIndex(), 3);
    EXPECT_FALSE(director.audioPlayer());

    project->setMusicArray({});
    director.next();
    EXPECT_FALSE(director.playFromSongIndex(0, 0.0));
    EXPECT_FALSE(director.audioPlayer());
}

TEST(SongRecordTest, KeepsItsFiveTextsApart) {
    SongRecord record;
    EXPECT_TRUE(record.strName().isEmpty());
    record.setStrName("n");
    record.setStrTitle("t");
    record.setStrDuration("3:05");
    record.setStrAlbum("a");
    record.setStrArtist("r");
    EXPECT_EQ(QStringList({record.strName(), record.strTitle(), record.strDuration(), record.strAlbum(),
                           record.strArtist()}),
              QStringList({"n", "t", "3:05", "a", "r"}));
}
