#include "platform/media/MediaAsset.h"
#include "support/ClipMaker.h"
#include "support/LocalListener.h"
#include "support/TempDir.h"
#include "support/ToneMaker.h"

#include <QFile>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace platform::media;

TEST(MediaAsset, DescribesAWavFile) {
    TempDir dir;
    ASSERT_TRUE(ToneMaker::writeWav(dir.file("a.wav"), 440.0, 1.5, 0.5f, 1, 22050));
    const MediaAsset asset = MediaAsset::open(dir.file("a.wav"));
    ASSERT_TRUE(asset.isValid()) << asset.errorString().toStdString();
    EXPECT_TRUE(asset.hasAudio());
    EXPECT_FALSE(asset.hasVideo());
    EXPECT_EQ(asset.sampleRate(), 22050);
    EXPECT_EQ(asset.channels(), 1);
    EXPECT_EQ(asset.audioTimeRange(), TimeRange::fromSeconds(0.0, 1.5));
    EXPECT_EQ(asset.duration(), MediaTime::fromSeconds(1.5));
    EXPECT_EQ(asset.formatName(), "wav");
}

TEST(MediaAsset, PreciseDurationsOfEncodedSongsLeaveOutPrimingAndPadding) {
    TempDir dir;
    const QVariantMap tags{{"title", "Évening tone"}, {"artist", "Test Bench"}, {"album", "Sines"}};
    for (const auto& [name, container, codec] :
         {std::tuple{"t.m4a", "ipod", "aac"}, std::tuple{"t.mp3", "mp3", "libmp3lame"}}) {
        ASSERT_TRUE(ToneMaker::writeEncoded(dir.file(name), container, codec, 440.0, 1.0, 0.5f, tags));
        const MediaAsset asset = MediaAsset::open(dir.file(name));
        ASSERT_TRUE(asset.isValid()) << asset.errorString().toStdString();
        EXPECT_NEAR(asset.audioTimeRange().duration.seconds(), 1.0, 0.002) << name;
        EXPECT_EQ(asset.sampleRate(), 44100);
        EXPECT_EQ(asset.channels(), 2);
        EXPECT_EQ(asset.audioCodecName(), QString(name).endsWith("mp3") ? "mp3" : "aac");
        EXPECT_EQ(asset.metadata().value("title").toString(), "Évening tone") << name;
        EXPECT_EQ(asset.metadata().value("artist").toString(), "Test Bench") << name;
        EXPECT_EQ(asset.metadata().value("album").toString(), "Sines") << name;
        EXPECT_FALSE(asset.hasVideo());
    }
}

// A raw stream's reader resyncs over the bytes a copy spoilt and counts only the frames it finds: the song
// is as long as its bytes tell, as it plays, not shorter by the stretch lost.
TEST(MediaAsset, ARawSongThatLostAStretchKeepsItsLength) {
    TempDir dir;
    const struct {
        const char* name;
        QStringList codec;
        double spoilt;
    } cases[] = {
        {"cbr.mp3", {"-c:a", "libmp3lame", "-b:a", "128k"}, 1.2},
        {"raw.aac", {"-c:a", "aac"}, 0.3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(ToneMaker::writeByFfmpeg(dir.file(c.name), ToneMaker::beeps(4.0, 0.5, 0.1f), c.codec));
        ASSERT_TRUE(ToneMaker::spoilStretch(dir.file(c.name), 1.3, c.spoilt));
        const MediaAsset asset = MediaAsset::open(dir.file(c.name), true);
        ASSERT_TRUE(asset.isValid()) << asset.errorString().toStdString();
        EXPECT_NEAR(asset.audioTimeRange().duration.seconds(), 4.0, 0.05);
    }
}

TEST(MediaAsset, DescribesAMovie) {
    TempDir dir;
    ClipMaker::Options options;
    options.size = QSize(160, 96);
    options.frames = 15;
    options.audio = true;
    options.rotation = 90;
    ASSERT_TRUE(ClipMaker::make(dir.file("c.mov"), [&] {
        auto o = options;
        o.container = MovieContainer::QuickTime;
        return o;
    }()));
    const MediaAsset asset = MediaAsset::open(dir.file("c.mov"));
    ASSERT_TRUE(asset.isValid()) << asset.errorString().toStdString();
    EXPECT_TRUE(asset.hasVideo());
    EXPECT_TRUE(asset.hasAudio());
    EXPECT_EQ(asset.videoSize(), QSize(160, 96));
    EXPECT_EQ(asset.displaySize(), QSize(96, 160));
    EXPECT_EQ(asset.rotation(), 90);
    EXPECT_NEAR(asset.frameRate(), 30.0, 0.01);
    EXPECT_NEAR(asset.videoTimeRange().duration.seconds(), 0.5, 0.02);
    EXPECT_NEAR(asset.audioTimeRange().duration.seconds(), 0.5, 0.002);
    EXPECT_EQ(asset.videoCodecName(), "h264");
}

TEST(MediaAsset, RotationsRoundTrip) {
    TempDir dir;
    for (int rotation : {0, 180, 270}) {
        ClipMaker::Options options;
        options.size = QSize(64, 32);
        options.frames = 2;
        options.rotation = rotation;
        const QString path = dir.file(QString("r%1.mp4").arg(rotation));
        ASSERT_TRUE(ClipMaker::make(path, options));
        EXPECT_EQ(MediaAsset::open(path).rotation(), rotation);
    }
}

TEST(MediaAsset, ReportsUnreadableFilesWithoutCrashing) {
    TempDir dir;
    const MediaAsset missing = MediaAsset::open(dir.file("missing.m4a"));
    EXPECT_FALSE(missing.isValid());
    EXPECT_FALSE(missing.hasAudio());
    EXPECT_TRUE(missing.errorString().contains("missing.m4a")) << missing.errorString().toStdString();

    QFile text(dir.file("words.mp3"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write(QByteArray("plain words, not a song\n").repeated(100));
    text.close();
    const MediaAsset words = MediaAsset::open(dir.file("words.mp3"));
    EXPECT_FALSE(words.isValid());
    EXPECT_FALSE(words.errorString().isEmpty());

    QFile empty(dir.file("empty.m4a"));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    EXPECT_FALSE(MediaAsset::open(dir.file("empty.m4a")).isValid());
}

TEST(MediaAsset, ATruncatedMovieIsRefusedOrShorter) {
    TempDir dir;
    ClipMaker::Options options;
    options.frames = 30;
    ASSERT_TRUE(ClipMaker::make(dir.file("c.mp4"), options));
    QFile file(dir.file("c.mp4"));
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.resize(file.size() / 3));
    file.close();
    // The index of an MP4 file is written at its end: without it there is nothing to play.
    const MediaAsset asset = MediaAsset::open(dir.file("c.mp4"));
    EXPECT_FALSE(asset.isValid());
    EXPECT_FALSE(asset.errorString().isEmpty());
}

TEST(MediaAsset, OnlyLocalRegularFilesAreOpened) {
    TempDir dir;
    test_support::LocalListener listener;
    ASSERT_NE(listener.port(), 0);
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.file("fifo.mov")).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(dir.file("fifo.mov"), dir.file("link-to-fifo.mov")));
    ASSERT_TRUE(QFile::link("/dev/zero", dir.file("zero.mov")));
    // Each of these would block, read forever or go on the network if it were opened.
    for (const QString& path : {listener.url("clip.mov"), QString("tcp://127.0.0.1:%1").arg(listener.port()),
                                QString("/dev/zero"), QString("/dev/stdin"), dir.file("fifo.mov"),
                                dir.file("link-to-fifo.mov"), dir.file("zero.mov"), dir.path()}) {
        const MediaAsset asset = MediaAsset::open(path);
        EXPECT_FALSE(asset.isValid()) << path.toStdString();
        EXPECT_FALSE(asset.errorString().isEmpty()) << path.toStdString();
    }
    EXPECT_EQ(listener.connections(), 0);
    ASSERT_TRUE(ToneMaker::writeWav(dir.file("a.wav"), 440.0, 0.5, 0.5f, 1, 22050));
    ASSERT_TRUE(QFile::link(dir.file("a.wav"), dir.file("linked.wav")));
    EXPECT_TRUE(MediaAsset::open(dir.file("linked.wav")).isValid()) << "a link to a file is that file";
}
