// Songs filed into a project from real files: copies under names that never clash, titles, lengths and
// tags read from the files, the default song and the music director.
#include "ModelTestEnvironment.h"

#include "model/ContentsFolder.h"
#include "model/MusicDirector.h"
#include "model/ProjectCollaborators.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/StandardPaths.h"
#include "support/ToneMaker.h"

#include <QRegularExpression>

#include <QSet>

#include <cmath>
#include <thread>

using model_test::bytesOf;
using model_test::ModelTest;
using model_test::writeFile;

class SongFilingTest : public ModelTest {
protected:
    SlideshowProjectRef project;
    QString contents;
    QString music;
    void SetUp() override {
        ModelTest::SetUp();
        project = openNewProject("Songs");
        ASSERT_TRUE(project);
        contents = project->strMacProjectBundleContentsPath();
        music = home + "/Music";
        QDir().mkpath(music);
    }
    QStringList copiesOf(const QString& baseName) const {
        return QDir(contents).entryList({baseName + "-*"}, QDir::Files, QDir::Name);
    }
};

TEST_F(SongFilingTest, AnImportedSongIsCopiedWithItsTagsAndLength) {
    const QString path = music + "/Evening Walk.m4a";
    ASSERT_TRUE(ToneMaker::writeEncoded(path, "ipod", "aac", 330, 2.0, 0.5f,
                                        {{"title", "Evening"},
                                         {"album", "Walks"},
                                         {"artist", "Ann; Bob"},
                                         {"genre", "Folk"},
                                         {"composer", "Cleo"}}));
    clock->set(12.345);
    QString error;
    const QVariantMap song = SlideshowProjectManager::getMusicInfoDict(path, &error);
    ASSERT_FALSE(song.isEmpty()) << error.toStdString();
    EXPECT_EQ(song.value("filePath").toString(), path);
    EXPECT_EQ(song.value("titleFromFileName").toString(), "Evening Walk");
    EXPECT_FALSE(song.contains("musicSource")) << "an imported song plays from its copy";
    const QString copy = song.value("pureFileName").toString();
    const double seconds = ContentsFolder::secondsSinceReferenceDate();
    EXPECT_EQ(copy, QStringLiteral("Evening Walk-%1.m4a").arg(seconds, 0, 'f', 2));
    EXPECT_EQ(bytesOf(contents + "/" + copy), bytesOf(path));
    EXPECT_EQ(song.value("strTitle").toString(), "Evening");
    EXPECT_NEAR(song.value("numberDuration").toDouble(), 2.0, 0.05);
    EXPECT_EQ(song.value("strAlbum").toString(), "Walks");
    EXPECT_EQ(song.value("strAudioSampleRate").toInt(), 44100);
    EXPECT_EQ(song.value("strGenre").toString(), "Folk");
    EXPECT_EQ(song.value("arrayAuthors").toList(), (QVariantList{"Ann", "Bob"}));
    EXPECT_EQ(song.value("strComposer").toString(), "Cleo");

    auto item = platform::makeMainThreadShared<MusicItem>();
    item->addEntriesFromDictionary(song);
    EXPECT_EQ(item->strFilePath(), contents + "/" + copy);
    EXPECT_EQ(item->strTitle(), "Evening");
}

TEST_F(SongFilingTest, ASongWithoutTagsTakesItsTitleFromItsName) {
    const QString path = music + "/plain.tone.wav";
    ASSERT_TRUE(ToneMaker::writeWav(path, 440, 0.75, 0.5f, 1, 22050));
    const QVariantMap song = SlideshowProjectManager::getMusicInfoDict(path);
    EXPECT_EQ(song.value("titleFromFileName").toString(), "plain.tone");
    EXPECT_EQ(song.value("strTitle").toString(), "plain.tone");
    EXPECT_NEAR(song.value("numberDuration").toDouble(), 0.75, 0.01);
    EXPECT_EQ(song.value("strAudioSampleRate").toInt(), 22050);
    for (const char* key : {"strAlbum", "strGenre", "arrayAuthors", "strComposer"})
        EXPECT_FALSE(song.contains(key)) << key;
}

TEST_F(SongFilingTest, TwoImportsWithinAHundredthOfASecondKeepTheirOwnCopies) {
    const QString first = music + "/song.wav", second = music + "/other/song.wav";
    QDir().mkpath(music + "/other");
    ASSERT_TRUE(ToneMaker::writeWav(first, 440, 0.5, 0.5f));
    ASSERT_TRUE(ToneMaker::writeWav(second, 880, 1.0, 0.5f));
    clock->set(100.0);
    const QVariantMap a = SlideshowProjectManager::getMusicInfoDict(first);
    const QVariantMap b = SlideshowProjectManager::getMusicInfoDict(second);
    ASSERT_FALSE(a.isEmpty());
    ASSERT_FALSE(b.isEmpty());
    const QString copyA = a.value("pureFileName").toString(), copyB = b.value("pureFileName").toString();
    EXPECT_NE(copyA, copyB);
    EXPECT_TRUE(copyB.endsWith("-1.wav")) << copyB.toStdString();
    EXPECT_EQ(bytesOf(contents + "/" + copyA), bytesOf(first));
    EXPECT_EQ(bytesOf(contents + "/" + copyB), bytesOf(second)) << "the second song is not the first's audio";
    EXPECT_NEAR(b.value("numberDuration").toDouble(), 1.0, 0.01);
}

TEST_F(SongFilingTest, AFailedCopyIsReported) {
    QString error;
    EXPECT_TRUE(SlideshowProjectManager::getMusicInfoDict(music + "/absent.mp3", &error).isEmpty());
    EXPECT_FALSE(error.isEmpty());
    const QString path = music + "/song.wav";
    ASSERT_TRUE(ToneMaker::writeWav(path, 440, 0.5, 0.5f));
    QFile(contents).setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const bool enforced = !QFileInfo(contents).isWritable();
    error.clear();
    const QVariantMap song = SlideshowProjectManager::getMusicInfoDict(path, &error);
    QFile(contents).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (enforced) {
        EXPECT_TRUE(song.isEmpty());
        EXPECT_FALSE(error.isEmpty());
    }
    SlideshowProject::resetMainProjectForTesting();
    error.clear();
    EXPECT_TRUE(SlideshowProjectManager::getMusicInfoDict(path, &error).isEmpty()) << "no project open";
    EXPECT_FALSE(error.isEmpty());
}

TEST_F(SongFilingTest, NamesInContentsNeverOverwrite) {
    clock->set(7.0);
    const QString stamp = QString::number(ContentsFolder::secondsSinceReferenceDate(), 'f', 2);
    EXPECT_EQ(ContentsFolder::timeStampedName("thumb_", "jpg"), "thumb_" + stamp + ".jpg");
    EXPECT_EQ(ContentsFolder::timeStampedName("psd_bk_", ""), "psd_bk_" + stamp);
    writeFile(contents + "/thumb_" + stamp + ".jpg", "taken");
    EXPECT_EQ(ContentsFolder::freeName(contents, "thumb_" + stamp + ".jpg"), "thumb_" + stamp + "-1.jpg");
    writeFile(music + "/new.jpg", "new");
    const QString used =
        ContentsFolder::copyUnderFreeName(music + "/new.jpg", contents, "thumb_" + stamp + ".jpg");
    EXPECT_EQ(used, "thumb_" + stamp + "-1.jpg");
    EXPECT_EQ(bytesOf(contents + "/thumb_" + stamp + ".jpg"), QByteArray("taken"));
    EXPECT_EQ(bytesOf(contents + "/" + used), QByteArray("new"));
    QString error;
    EXPECT_TRUE(ContentsFolder::copyUnderFreeName(music, contents, "folder", &error).isEmpty());
    EXPECT_FALSE(error.isEmpty()) << "a folder is not copied";
}

TEST_F(SongFilingTest, PicturesMadeAtOnceClaimDifferentNames) {
    clock->set(3.0);
    const QString name = ContentsFolder::timeStampedName("psd_", "jpg");
    std::vector<QString> claimed(16);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < claimed.size(); ++i)
        threads.emplace_back([&, i] { claimed[i] = ContentsFolder::reserveName(contents, name); });
    for (auto& thread : threads)
        thread.join();
    QSet<QString> distinct(claimed.begin(), claimed.end());
    EXPECT_EQ(distinct.size(), 16);
    EXPECT_TRUE(distinct.contains(name));
    EXPECT_TRUE(distinct.contains(QString(name).replace(".jpg", "-15.jpg")));
    QString error;
    EXPECT_TRUE(ContentsFolder::reserveName(contents + "/absent", name, &error).isEmpty());
    EXPECT_FALSE(error.isEmpty());
}

TEST_F(SongFilingTest, DurationsAreMeasuredOnRealFilesAndFailuresAreNotCached) {
    ASSERT_TRUE(ToneMaker::writeWav(contents + "/copy.wav", 440, 1.25, 0.5f));
    auto song = platform::makeMainThreadShared<MusicItem>();
    song->addEntriesFromDictionary({{"pureFileName", "copy.wav"}});
    EXPECT_NEAR(song->duration(), 1.25, 0.01);
    EXPECT_NEAR(song->dictFileMediaItem().value("numberDuration").toDouble(), 1.25, 0.01);

    auto late = platform::makeMainThreadShared<MusicItem>();
    late->addEntriesFromDictionary({{"pureFileName", "late.wav"}});
    EXPECT_DOUBLE_EQ(late->duration(), 0.0);
    writeFile(contents + "/late.wav", "not yet a song");
    EXPECT_DOUBLE_EQ(late->duration(), 0.0);
    EXPECT_FALSE(late->dictFileMediaItem().contains("numberDuration"));
    ASSERT_TRUE(ToneMaker::writeWav(contents + "/late.wav", 440, 0.5, 0.5f));
    EXPECT_NEAR(late->duration(), 0.5, 0.01) << "measured once the file is a song";
    EXPECT_NEAR(MusicDirector::totalDurationFromArray({song, late}), 1.75, 0.02);
    EXPECT_DOUBLE_EQ(MusicDirector::totalDurationFromArray({}), 0.0);
}

TEST_F(SongFilingTest, TheDefaultSongIsMeasuredOnItsResourceWhenItHasNoCopy) {
    ASSERT_FALSE(platform::paths::pathForResource("default", "mp3").isEmpty());
    const auto menuSong = SlideshowProjectManager::defaultMenuSong();
    EXPECT_EQ(menuSong->dictFileMediaItem().value("pureFileName").toString(), "default");
    EXPECT_EQ(menuSong->strFilePath(), platform::paths::pathForResource("default", "mp3"));
    const double expected = MusicItem::songDuration(platform::paths::pathForResource("default", "mp3"));
    ASSERT_GT(expected, 1.0);
    EXPECT_DOUBLE_EQ(menuSong->duration(), expected) << "not 0 for the missing \"Contents/default\"";

    ASSERT_FALSE(project->musicArray().empty());
    const auto projectSong = project->musicArray()[0];
    const QVariantMap dictionary = projectSong->dictFileMediaItem();
    EXPECT_EQ(dictionary.value("musicSource").toString(), "bundleDefaultMusic");
    EXPECT_TRUE(QFileInfo::exists(contents + "/" + dictionary.value("pureFileName").toString()));
    EXPECT_TRUE(QRegularExpression("^default-\\d+\\.\\d\\d\\.mp3$")
                    .match(dictionary.value("pureFileName").toString())
                    .hasMatch());
    EXPECT_DOUBLE_EQ(projectSong->duration(), expected);
}

TEST_F(SongFilingTest, AStockSongStoredByAnotherInstallationKeepsPlaying) {
    const QString ours = platform::paths::pathForResource("default", "mp3");
    ASSERT_FALSE(ours.isEmpty());
    writeFile(contents + "/default-1.00.mp3", "copy");
    const QString elsewhere = "/x/Tool.app/Contents/Resources/default.mp3";
    struct Case {
        QVariantMap song;
        QString plays;
    };
    const std::vector<Case> cases = {
        {{{"musicSource", "bundleDefaultMusic"},
          {"filePath", elsewhere},
          {"pureFileName", "default-1.00.mp3"}},
         ours},
        {{{"musicSource", "bundleDefaultMusic"}, {"filePath", "/opt/gone/share/vistrelle/default.mp3"}},
         ours},
        {{{"filePath", elsewhere}, {"pureFileName", "lost.mp3"}}, ours},
        {{{"filePath", music + "/mine.mp3"}, {"pureFileName", "lost.mp3"}}, contents + "/lost.mp3"},
    };
    for (const Case& c : cases) {
        MusicItem song;
        song.addEntriesFromDictionary(c.song);
        EXPECT_EQ(song.strFilePath(), c.plays) << c.song.value("filePath").toString().toStdString();
    }
    // Without a stock song of our own, the copy plays.
    TempDir empty;
    const test_support::EnvOverride resources("VISTRELLE_RESOURCES", empty.path());
    MusicItem song;
    song.addEntriesFromDictionary(cases[0].song);
    EXPECT_EQ(song.strFilePath(), contents + "/default-1.00.mp3");
}

TEST(SongTimes, TrimmedAndWide) {
    EXPECT_EQ(MusicItem::timeToString(3599.9, false, true), "59:59");
    EXPECT_EQ(MusicItem::timeToString(3600, false, true), "1:00:00");
    EXPECT_EQ(MusicItem::timeToString(75, true, false), "0 : 01 : 15");
    EXPECT_EQ(MusicItem::timeToString(3725, false, true), "1:02:05");
}

namespace {

class LoggingMixer : public PlayableAudioMixer {
public:
    explicit LoggingMixer(QStringList& log) : log(log) {}
    void seekToBegin() override { log << "seek"; }
    void mixProjectAudioForPlaying() override { log << "mix"; }
    bool PlayMixedAudioFrom(double seconds) override {
        log << QStringLiteral("play %1").arg(seconds);
        return true;
    }
    void StopPlayingMixedAudio() override { log << "stop"; }

private:
    QStringList& log;
};

} // namespace

TEST_F(SongFilingTest, TheDirectorPlaysThroughANewMixerEachTime) {
    QStringList log;
    MusicDirector::setAudioMixerFactory([&] { return std::make_shared<LoggingMixer>(log); });
    MusicDirector director;
    EXPECT_EQ(director.musicArray().size(), project->musicArray().size());
    EXPECT_TRUE(director.playFromLocation(2.5));
    const auto first = project->audioMixer();
    ASSERT_TRUE(first);
    director.stop();
    director.play();
    EXPECT_NE(project->audioMixer(), first) << "every start has a new mixer";
    director.stop();
    EXPECT_EQ(log, (QStringList{"mix", "play 2.5", "stop", "mix", "play 0", "stop"}));
    EXPECT_TRUE(project->audioMixer()) << "a stopped mixer stays installed";

    MusicDirector::setAudioMixerFactory(nullptr);
    EXPECT_TRUE(director.playFromLocation(1.0));
    EXPECT_FALSE(project->audioMixer()) << "no mixer can be made: the old one is dropped all the same";
    director.stop();
    EXPECT_EQ(log.size(), 6);
}
