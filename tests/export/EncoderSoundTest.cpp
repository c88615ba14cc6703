// The movie encoder's reader of the sound and its other entries outside a run: which song or mix it reads,
// how it goes on to the next song, the pool's frames taken one at a time, and the holder of an encoding
// thread handed to the main thread.
#include "EncoderTestSupport.h"

#include "support/ProjectSongs.h"
#include "support/ToneMaker.h"

#include <QCoreApplication>

#include <thread>

using namespace encoder_test;

namespace {

// Songs whose left channel holds one value throughout: what a reader reads tells which song it is.
constexpr float kSongLevels[] = {0.25f, 0.75f};

} // namespace

class EncoderSoundTest : public EncoderTest {
protected:
    void addSongs() {
        for (int i = 0; i < 2; ++i)
            ASSERT_TRUE(ToneMaker::writeLevels(contents() + QStringLiteral("/song%1.wav").arg(i), 1.0,
                                               kSongLevels[i], kSongLevels[i]));
        project->setMusicArray(
            {test_support::songNamed("song0.wav", "Song 0"), test_support::songNamed("song1.wav", "Song 1")});
    }
    // The left value of the next frames of the reader.
    static float nextLevel(EncoderController& encoder) {
        std::vector<float> frames(2 * 64);
        EXPECT_EQ(encoder.assetReaderAudio()->read(frames.data(), 64), 64);
        return frames[2 * 32];
    }
};

TEST_F(EncoderSoundTest, TheOlderReaderOpensTheSongOfTheIndexItself) {
    addSongs();
    EncoderController encoder;
    for (int index : {1, 0}) {
        ASSERT_TRUE(encoder.initAudioVar_old(index));
        EXPECT_NEAR(nextLevel(encoder), kSongLevels[index], 1e-3);
    }
    EXPECT_TRUE(encoder.dictEncodeResult().isEmpty());

    QFile::remove(contents() + "/song1.wav");
    EXPECT_FALSE(encoder.initAudioVar_old(1));
    EXPECT_EQ(encoder.assetReaderAudio(), nullptr);
    EXPECT_EQ(encoder.dictEncodeResult().value("desc").toString(),
              "Can't read Song 1 song's data correctly, please try to change the song to another one.");
    EXPECT_FALSE(encoder.initAudioVar_old(7)) << "no such song";
}

TEST_F(EncoderSoundTest, TheNextSongReadsTheMixAgainFromItsBeginningWithOrWithoutSongs) {
    for (const bool withSongs : {false, true}) {
        if (withSongs)
            addSongs();
        // Each encoder removes the mixed sound when it goes.
        ASSERT_TRUE(ToneMaker::writeEncoded(SlideshowProject::strTempM4AAudioFullPath(), "ipod", "aac", 440.0,
                                            0.5, 0.5f));
        EncoderController encoder;
        ASSERT_TRUE(encoder.initAudioVar(0));
        std::vector<float> frames(2 * 4096);
        int read = 0;
        while (const int got = encoder.assetReaderAudio()->read(frames.data(), 4096))
            read += got;
        EXPECT_NEAR(read, 22050, 2);
        const std::vector<int> expectedIndex = withSongs ? std::vector{1, 0, 1} : std::vector{0, 0, 0};
        for (int turn = 0; turn < 3; ++turn) {
            encoder.switchMusicToNextSong_2();
            ASSERT_NE(encoder.assetReaderAudio(), nullptr);
            EXPECT_GT(encoder.assetReaderAudio()->read(frames.data(), 4096), 0) << "from the beginning again";
            EXPECT_EQ(encoder.nSongIndex(), expectedIndex[std::size_t(turn)]);
            EXPECT_EQ(encoder.nSongIndexContinue(), turn + 1);
        }
    }
}

TEST_F(EncoderSoundTest, FramesOfThePoolAreTakenInOrderUntilTheEnd) {
    EncoderController encoder;
    std::vector<unsigned char> frame(16);
    EXPECT_FALSE(encoder.nextFrameInCVPixelBuffer(frame.data(), qint64(frame.size()))) << "no pool";

    encoder.setEncodeBufferManager(std::make_unique<EncoderBufferManager>(16, 2048));
    EncoderBufferManager& pool = *encoder.encodeBufferManager();
    std::thread producer([&pool] {
        for (unsigned char value = 1; value <= 5; ++value) {
            auto buffer = pool.waitYUVDataFromIdlePool();
            std::fill(buffer->begin(), buffer->end(), value);
            pool.addDataToPendingQueue(std::move(*buffer));
        }
        pool.addEOFToPendingQueue();
    });
    std::vector<unsigned char> seen;
    std::vector<unsigned char> large(32, 0);
    while (encoder.nextFrameInCVPixelBuffer(large.data(), qint64(large.size()))) {
        seen.push_back(large[0]);
        EXPECT_EQ(large[15], large[0]);
        EXPECT_EQ(large[16], 0) << "no more than a frame is copied";
    }
    producer.join();
    EXPECT_EQ(seen, (std::vector<unsigned char>{1, 2, 3, 4, 5}));
    EXPECT_EQ(pool.idleCount(), EncoderBufferManager::kBufferCount) << "every buffer went back";

    encoder.setBCancelRequest(true);
    EXPECT_FALSE(encoder.nextFrameInCVPixelBuffer(frame.data(), qint64(frame.size())))
        << "a cancelled wait ends empty-handed";
}

TEST_F(EncoderSoundTest, AnEncodingThreadsHolderGoesOnceTheMainThreadHasSeenIt) {
    EncoderController encoder;
    auto holder = std::make_unique<MP4EncoderThreadParam>();
    holder->encodeBufferManager = std::make_shared<EncoderBufferManager>();
    const std::weak_ptr<EncoderBufferManager> pool = holder->encodeBufferManager;
    std::thread worker([&] { encoder.threadEncodeMP4Thread(std::move(holder)); });
    worker.join();
    EXPECT_FALSE(pool.expired()) << "kept until the main thread has run its part";
    EXPECT_TRUE(waitFor([&] { return pool.expired(); }));
}

TEST_F(EncoderSoundTest, TheSoundThreadOfTheWritersPathHasNothingToWriteOutsideARun) {
    EncoderController encoder;
    encoder.startAudioReadWrite(12.5);
    EXPECT_DOUBLE_EQ(encoder.flt64TotalDuration(), 12.5);
    EXPECT_TRUE(encoder.bAudioThreadFinished()) << "no reader, no movie: no sound to write";
    encoder.requestAndWaitAudioThreadFinish();
    EXPECT_TRUE(encoder.bRequestAudioThreadFinish());
    const std::vector<unsigned char> frame(128 * 72 * 4, 0);
    QString error;
    EXPECT_FALSE(encoder.writeRGBAFrame(frame.data(), qint64(frame.size()), &error));
    EXPECT_FALSE(error.isEmpty());
    encoder.finishRGBInput(); // nothing to finish
    EXPECT_EQ(encoder.framesAppended(), 0);
}
