// The files the export hands ffmpeg through its descriptors, and what another program plants at their names
// (links, folders, other movies) or does to the movie being made: never followed, written through or taken.
#include "FFMMP4TestSupport.h"

#include "support/FilesBeingMade.h"
#include "support/MediaProbe.h"
#include "support/MovieDecoder.h"
#include "support/WithoutProc.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <utility>

using namespace ffmmp4_test;

// Another program writes into whatever stands at the movie's name while ffmpeg writes the movie, a stale
// movie there too: the movie told finished decodes without an error.
TEST_F(FFMMP4Test, AProgramWritingAtTheMoviesNameMeanwhileDoesNotReachTheMovie) {
    ASSERT_TRUE(test_support::writeBytes(output(), QByteArray(64 * 1024, 'm')));
    creator->setAudioMixStep(
        toneMix({}, 10.0)); // sound beside every picture, so that ffmpeg writes as it goes
    pump.frames = 300;
    pump.grain = true;
    bool reached = false;
    pump.afterFrame = [&](int i) {
        if (i != 200)
            return;
        // Until a good part of the pictures is in the movie being made, wherever it is.
        ASSERT_TRUE(test_support::waitWithoutEvents(
            [&] { return test_support::largestFileIn(dir.path()) >= 256 * 1024; }, 60000));
        reached = test_support::writeIntoInPlace(output());
    };
    start();
    ASSERT_TRUE(ended());
    EXPECT_TRUE(reached);
    ASSERT_EQ(recorder.count(kFinished), 1) << recorder.failure().toStdString();
    const DecodedMovie movie = DecodedMovie::decode(output());
    ASSERT_TRUE(movie.ok) << movie.error.toStdString();
    EXPECT_EQ(movie.decodeErrors, 0);
    EXPECT_EQ(movie.frameTimes.size(), 300u);
    EXPECT_EQ(creator->writtenMovie(), platform::FileIdentity::ofPath(output()));
}

TEST_F(FFMMP4Test, LinksPlantedAtTheFixedNamesAreReplacedNotFollowed) {
    const QStringList names{output(), FFMMCreateObjectBase::strTempM4AAudioFullPath(),
                            FFMMCreateObjectBase::strVideoFIFOName(),
                            FFMMCreateObjectBase::strAudioFIFOName()};
    for (qsizetype i = 0; i < names.size(); ++i) {
        test_support::writeBytes(dir.file(QString("target-%1").arg(i)), "keep");
        ASSERT_TRUE(QFile::link(dir.file(QString("target-%1").arg(i)), names[i]));
    }
    pump.frames = 5;
    start();
    ASSERT_TRUE(ended());
    EXPECT_EQ(recorder.count(kFinished), 1) << recorder.failure().toStdString();
    for (qsizetype i = 0; i < names.size(); ++i)
        EXPECT_EQ(test_support::readBytes(dir.file(QString("target-%1").arg(i))), "keep")
            << names[i].toStdString();
    EXPECT_FALSE(QFileInfo(output()).isSymLink());
}

// Another program puts a link to a file of its own at the frames' pipe, and a movie without sound at the
// mixed sound's name, while ffmpeg starts: no frame goes into its file, ffmpeg reads the frames and the sound
// of the export, and the movie told finished has them.
TEST_F(FFMMP4Test, FilesPutAtThePipesAndTheSoundsNamesWhileFFmpegStartsAreNeverUsed) {
    const QString victim = dir.file("other-program.dat");
    ASSERT_TRUE(test_support::writeBytes(victim, "keep"));
    ASSERT_TRUE(makeSilentMovie(dir.file("silent.mp4")));
    pump.frames = 5;
    pump.beforeOpen = [&] {
        ASSERT_TRUE(QFile::link(victim, dir.file("pipe.link")));
        ASSERT_EQ(::rename(QFile::encodeName(dir.file("pipe.link")).constData(),
                           QFile::encodeName(FFMMCreateObjectBase::strVideoFIFOName()).constData()),
                  0);
        ASSERT_EQ(::rename(QFile::encodeName(dir.file("silent.mp4")).constData(),
                           QFile::encodeName(FFMMCreateObjectBase::strTempM4AAudioFullPath()).constData()),
                  0);
    };
    start();
    ASSERT_TRUE(ended());
    EXPECT_EQ(recorder.count(kFinished), 1) << recorder.failure().toStdString();
    EXPECT_EQ(test_support::readBytes(victim), "keep");
    const MediaProbe probe = MediaProbe::probe(output());
    ASSERT_TRUE(probe.ok) << probe.error.toStdString();
    ASSERT_NE(probe.firstOfType("video"), nullptr);
    EXPECT_EQ(probe.firstOfType("video")->packets, 5);
    EXPECT_NE(probe.firstOfType("audio"), nullptr) << "the other program's silence was taken for the sound";
    QFile::remove(
        FFMMCreateObjectBase::strVideoFIFOName()); // the other program's link stays the export's end
}

// Without /proc, ffmpeg is handed the mixed sound and the movie being made by the names they were made under
// (the movie's a hidden one then): the movie is made, with its sound.
TEST_F(FFMMP4Test, WithoutProcTheMovieIsMadeWithItsSound) {
    bool over = false;
    {
        const test_support::WithoutProc procAbsent;
        creator->setAudioMixStep(toneMix({}, 1.0));
        pump.frames = 5;
        start();
        over = ended();
    }
    ASSERT_TRUE(over);
    EXPECT_EQ(recorder.count(kFinished), 1) << recorder.failure().toStdString();
    const MediaProbe probe = MediaProbe::probe(output());
    ASSERT_TRUE(probe.ok) << probe.error.toStdString();
    ASSERT_NE(probe.firstOfType("video"), nullptr);
    EXPECT_EQ(probe.firstOfType("video")->packets, 5);
    EXPECT_NE(probe.firstOfType("audio"), nullptr);
}

// Another program puts a movie without sound in place of the mixed sound as the mix ends: the export does not
// take it for its sound, and says that the movie was not made.
TEST_F(FFMMP4Test, AMixedSoundReplacedAsTheMixEndsIsRefused) {
    ASSERT_TRUE(makeSilentMovie(dir.file("silent.mp4")));
    creator->setAudioMixStep(toneMix({}, 1.0, [&] {
        ASSERT_EQ(::rename(QFile::encodeName(dir.file("silent.mp4")).constData(),
                           QFile::encodeName(FFMMCreateObjectBase::strTempM4AAudioFullPath()).constData()),
                  0);
    }));
    pump.frames = 5;
    start();
    ASSERT_TRUE(ended());
    EXPECT_EQ(recorder.count(kFinished), 0) << "a movie without its sound was told finished";
    ASSERT_EQ(recorder.count(kFailed), 1);
    EXPECT_TRUE(recorder.failure().contains("another program removed or replaced it"))
        << recorder.failure().toStdString();
    EXPECT_EQ(pump.calls.load(), 0);
    EXPECT_FALSE(QFile::exists(output()));
}

// A folder stands at the movie's name, from the start or put there while ffmpeg starts: the movie is not
// made, and the failure says why rather than blaming another program's file.
TEST_F(FFMMP4Test, AFolderAtTheMoviesNameIsToldAsSuch) {
    for (const auto& [fromTheStart, told] :
         {std::pair{true, "a folder is in the way"}, std::pair{false, "Is a directory"}}) {
        SCOPED_TRACE(told);
        QDir(output()).removeRecursively();
        if (fromTheStart) {
            ASSERT_TRUE(QDir().mkdir(output()));
        }
        pump.frames = 5;
        pump.calls = 0;
        pump.written = 0;
        pump.beforeOpen = [&, fromTheStart = fromTheStart] {
            if (!fromTheStart) {
                ASSERT_TRUE(QDir().mkdir(output()));
            }
        };
        Recorder recorded;
        start();
        ASSERT_TRUE(ended());
        EXPECT_EQ(recorded.count(kFinished), 0);
        ASSERT_EQ(recorded.count(kFailed), 1);
        EXPECT_TRUE(recorded.failure().contains(told)) << recorded.failure().toStdString();
        EXPECT_FALSE(recorded.failure().contains("another program")) << recorded.failure().toStdString();
        EXPECT_EQ(pump.calls.load(), fromTheStart ? 0 : 1)
            << "frames were drawn for a movie that could not be";
        EXPECT_TRUE(QFileInfo(output()).isDir());
        expectNoTemporaryFiles();
    }
}

// Where the file system has no unnamed files the movie is made under a hidden name of its own. Another
// program that puts a link to a file of its own there before ffmpeg opens it, or removes the file, never has
// ffmpeg write into its file, and the end is told as a failure naming the movie the user asked for.
class FFMMP4HiddenNameTest : public FFMMP4Test {
protected:
    void SetUp() override {
        FFMMP4Test::SetUp();
        platform::setUnnamedFilesAllowed(false);
    }
    void TearDown() override {
        platform::setUnnamedFilesAllowed(true);
        FFMMP4Test::TearDown();
    }

    // Runs five pictures with `meddle` applied to the movie being made before ffmpeg opens it; its failure.
    QString runMeddledWith(const std::function<void(const QString& partial)>& meddle) {
        int meddled = 0;
        pump.frames = 5;
        pump.beforeOpen = [&] {
            for (const QString& name : test_support::filesBeingMadeFor(output())) {
                meddle(dir.file(name));
                ++meddled;
            }
        };
        start();
        EXPECT_TRUE(ended());
        EXPECT_EQ(meddled, 1);
        EXPECT_EQ(recorder.count(kFinished), 0);
        EXPECT_EQ(recorder.count(kFailed), 1);
        const QString failure = recorder.failure();
        EXPECT_TRUE(failure.endsWith("Export the movie again.")) << failure.toStdString();
        EXPECT_FALSE(failure.contains(output())) << "the cache's own file is not the user's";
        return failure;
    }
    QString movieName() const {
        return SlideshowProject::fileNameForTitle(project->strProjectTitle()) + ".mp4";
    }
};

TEST_F(FFMMP4HiddenNameTest, ALinkAtTheNameTheMovieIsMadeUnderIsNotWrittenThrough) {
    const QString victim = dir.file("other-program.dat");
    ASSERT_TRUE(test_support::writeBytes(victim, "keep"));
    const QString failure = runMeddledWith([&](const QString& path) {
        ASSERT_TRUE(QFile::link(victim, path + ".link"));
        ASSERT_EQ(
            ::rename(QFile::encodeName(path + ".link").constData(), QFile::encodeName(path).constData()), 0);
    });
    EXPECT_EQ(test_support::readBytes(victim), "keep");
    EXPECT_TRUE(failure.startsWith("The movie \"" + movieName() +
                                   "\" was not made: another program put a file of its own in place of"))
        << failure.toStdString();
}

TEST_F(FFMMP4HiddenNameTest, AMovieRemovedWhileItIsMadeIsToldAsRemovedAndNotMade) {
    const QString failure = runMeddledWith([](const QString& path) { ASSERT_TRUE(QFile::remove(path)); });
    EXPECT_TRUE(
        failure.startsWith("The movie \"" + movieName() +
                           "\" was not made: another program removed the file it was being written into"))
        << failure.toStdString();
    EXPECT_FALSE(QFile::exists(output()));
}

// Where the file system has unnamed files, the movie being made has no name in its folder at all: no other
// program can open it to write into it.
TEST_F(FFMMP4Test, TheMovieBeingMadeHasNoNameAnotherProgramCouldOpen) {
    QStringList namesWhileWriting;
    QStringList unnamedWhileWriting;
    pump.frames = 5;
    pump.beforeOpen = [&] {
        namesWhileWriting = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
        unnamedWhileWriting = test_support::unnamedFilesOpenIn(dir.path());
    };
    start();
    ASSERT_TRUE(ended());
    EXPECT_EQ(recorder.count(kFinished), 1) << recorder.failure().toStdString();
    EXPECT_FALSE(namesWhileWriting.contains("movie.mp4"));
    for (const QString& name : namesWhileWriting)
        EXPECT_FALSE(name.startsWith(".movie.mp4.")) << name.toStdString();
    EXPECT_EQ(unnamedWhileWriting.size(), 1) << unnamedWhileWriting.join(", ").toStdString();
    EXPECT_EQ(creator->writtenMovie(), platform::FileIdentity::ofPath(output()));
}
