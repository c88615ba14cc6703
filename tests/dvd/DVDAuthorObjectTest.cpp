#include "DVDTestSupport.h"

#include "dvd/DVDAuthorObject.h"
#include "dvd/DVDMenuItem.h"
#include "dvd/DVDNotifications.h"
#include "platform/foundation/ChildProcess.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace dvd_test;
using test_support::readBytes;

namespace {

// Records what an authoring run tells: progress values, the finished notification and the handler calls.
struct Listener {
    explicit Listener(platform::NotificationCenter& center)
        : progress(center, center.addObserver(kNotifyDVDAuthorProgress,
                                              [this](const platform::Notification& n) {
                                                  std::lock_guard lock(mutex);
                                                  values << n.object.toDouble();
                                              })),
          finished(center, center.addObserver(kNotifyDVDAuthorFinishedOK,
                                              [this](const platform::Notification&) { ++finishedCount; })) {}

    void attach(DVDAuthorObject& author) {
        author.setCompletionHandler([this](const DVDAuthorOutcome& outcome) {
            ++handlerCalls;
            // The handler comes before the finished notification, so the progress session is over first.
            handlerBeforeFinished = finishedCount == 0;
            lastKind = outcome.kind;
        });
    }
    QList<double> progressValues() {
        std::lock_guard lock(mutex);
        return values;
    }

    std::mutex mutex;
    QList<double> values;
    std::atomic<int> finishedCount{0};
    std::atomic<int> handlerCalls{0};
    std::atomic<bool> handlerBeforeFinished{false};
    std::atomic<int> lastKind{-1};
    platform::ObserverHandle progress, finished;
};

// A stand-in dvdauthor: records its VIDEO_FORMAT, runs `body`, and with `writeIndex` authors an empty
// VIDEO_TS.IFO into the folder after "-o".
QByteArray fakeAuthor(const QString& marker, const QByteArray& body, bool writeIndex) {
    QByteArray script = "echo \"$VIDEO_FORMAT\" > " + quoted(marker) + "\nout=\"$4\"\n" + body + "\n";
    if (writeIndex)
        script += "mkdir -p \"$out/VIDEO_TS\" && echo index > \"$out/VIDEO_TS/VIDEO_TS.IFO\"\n";
    return script;
}

// The control file dvdunauthor reconstructs from an authored folder.
QString unauthored(const QString& folder, const QString& work) {
    QDir().mkpath(work);
    platform::ChildProcess::Options options;
    options.program = QStringLiteral("dvdunauthor");
    options.arguments = {folder};
    options.workingFolder = work;
    QString error;
    EXPECT_TRUE(platform::ChildProcess::run(options, nullptr, &error)) << qPrintable(error);
    QFile file(work + QStringLiteral("/dvdauthor.xml"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

class DVDAuthorObjectTest : public ::testing::Test {
protected:
    DVDProjectSettings project(bool pal, bool menu) {
        DVDProjectSettings settings = testProject(dir.path(), 3, pal);
        settings.bUseDVDMenu = menu;
        settings.slideshowTotalDuration = 20;
        return settings;
    }
    // A file of `bytes` that stands for a stream where only its size matters.
    QString sizedFile(const QString& name, qint64 bytes) {
        QFile file(dir.file(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.resize(bytes);
        return file.fileName();
    }

    TempDir dir;
    platform::NotificationCenter center;
};

} // namespace

TEST_F(DVDAuthorObjectTest, ChaptersStartAtEachTenthOfTheSlideshow) {
    EXPECT_EQ(DVDAuthorObject::chapterList(5),
              "00:00:00,00:00:00,00:00:01,00:00:01,00:00:02,00:00:02,00:00:03,"
              "00:00:03,00:00:04,00:00:04");
    EXPECT_EQ(DVDAuthorObject::chapterList(4000),
              "00:00:00,00:06:40,00:13:20,00:20:00,00:26:40,00:33:20,00:40:00,"
              "00:46:40,00:53:20,01:00:00");
    EXPECT_EQ(DVDAuthorObject::chapterList(0),
              "00:00:00,00:00:00,00:00:00,00:00:00,00:00:00,00:00:00,00:00:00,"
              "00:00:00,00:00:00,00:00:00");
}

TEST_F(DVDAuthorObjectTest, TitleFragmentLoopsAndEscapesThePath) {
    EXPECT_EQ(DVDAuthorObject::titleFragment("/t/a&b\"c.mpg", "00:00:00,00:00:01"),
              "<vob file=\"/t/a&amp;b&quot;c.mpg\"  chapters=\"00:00:00,00:00:01\"/>\n<post>\njump chapter "
              "1;\n</post>");
}

TEST_F(DVDAuthorObjectTest, StatusLinesGiveProgressInTwoPhases) {
    using V = QList<double>;
    EXPECT_EQ(DVDAuthorObject::progressOfLine("STAT: VOBU 1234 at 300MB, 1 PGCs", 1200), V{12.5});
    EXPECT_EQ(DVDAuthorObject::progressOfLine("STAT: fixing VOBU at 900MB (10/40, 25%)", 1200), V{62.5});
    EXPECT_EQ(DVDAuthorObject::progressOfLine("INFO: Video pts = 0.533 .. 2.535", 1200), V{});
    EXPECT_EQ(DVDAuthorObject::progressOfLine(
                  "STAT: VOBU 9 at 7MB, 1 PGCs STAT: fixing VOBU at 1MB (1/9, 10%)", 10),
              (V{35, 55}));
    // Integer division before the halving: 1 * 100 / 3 = 33, so 16.5.
    EXPECT_EQ(DVDAuthorObject::progressOfLine("STAT: VOBU 2 at 1MB, 1 PGCs", 3), V{16.5});
    // A stream under 1 MiB has size 0: reported as 0, never divided by.
    EXPECT_EQ(DVDAuthorObject::progressOfLine("STAT: VOBU 4 at 0MB, 1 PGCs", 0), V{0});
    EXPECT_EQ(DVDAuthorObject::progressOfLine("STAT: VOBU 4 at 3MB, 1 PGCs", 0), V{0});
    // Lines whose numbers cannot all be read report nothing.
    EXPECT_EQ(DVDAuthorObject::progressOfLine("STAT: VOBU 16 at 1", 10), V{});
    EXPECT_EQ(DVDAuthorObject::progressOfLine("STAT: fixing VOBU at 1MB (17/25, 6", 10), V{});
}

TEST_F(DVDAuthorObjectTest, OutputIsSplitAtEveryKindOfLineBreak) {
    const QString text = QString::fromUtf8("a\r\nb\rc\nd\x0B"
                                           "e\ff") +
                         QChar(0x85) + "g" + QChar(0x2028) + "h" + QChar(0x2029) + "i\n\n";
    EXPECT_EQ(DVDAuthorObject::splitLines(text), (QStringList{"a", "b", "c", "d", "e", "f", "g", "h", "i"}));
    EXPECT_EQ(DVDAuthorObject::splitLines("STAT: x\rSTAT: y\r"), (QStringList{"STAT: x", "STAT: y"}));
}

TEST_F(DVDAuthorObjectTest, CannedStatusOutputBecomesProgressAndFinishes) {
    FakeTools tools;
    // The status lines as dvdauthor writes them, ending in CR; one of them arrives in two pieces.
    tools.add("dvdauthor",
              fakeAuthor(dir.file("format"),
                         "printf 'INFO: dvdauthor creating VTS\\nSTAT: Processing x.mpg...\\n' >&2\n"
                         "printf 'STAT: VOBU 16 at 1MB, 1 PGCs\\rSTAT: VOBU 2' >&2\nsleep 0.2\n"
                         "printf '5 at 2MB, 1 PGCs\\r' >&2\nsleep 0.1\n"
                         "printf 'STAT: fixing VOBU at 1MB (17/25, 64%%)\\rSTAT: fixed 25 VOBUs\\n' >&2",
                         true));
    DVDProjectSettings settings = project(false, false);
    DVDAuthorObject author(settings, center);
    Listener listener(center);
    listener.attach(author);
    author.setVideoFilePath(sizedFile("show.mpg", 2 << 20));
    ASSERT_TRUE(author.AuthorDVD());
    const DVDAuthorOutcome outcome = author.wait();
    EXPECT_EQ(outcome.kind, DVDAuthorOutcome::Finished) << qPrintable(outcome.error.message());
    EXPECT_EQ(author.videoFileSizeMB(), 2);
    EXPECT_EQ(listener.progressValues(), (QList<double>{25, 50, 82}));
    EXPECT_EQ(listener.finishedCount, 1);
    EXPECT_EQ(listener.handlerCalls, 1);
    EXPECT_TRUE(listener.handlerBeforeFinished);
    EXPECT_FALSE(author.AuthorDVD()); // once per object
}

// Another program puts a link to a file of its own at the control file's name before dvdauthor reads it:
// dvdauthor reads the control file made for it. The folder it authors into is made anew, for this user alone.
TEST_F(DVDAuthorObjectTest, ALinkAtTheControlFilesNameIsNeverReadAndTheFolderIsPrivate) {
    TempDir elsewhere;
    const QString victim = elsewhere.file("other.xml");
    ASSERT_TRUE(test_support::writeBytes(victim, "<other/>"));
    const DVDProjectSettings settings = project(false, false);
    const QString control = DVDAuthorObject::temporaryPaths(settings).value(1);
    FakeTools tools;
    tools.add("dvdauthor", fakeAuthor(dir.file("format"),
                                      "ln -s " + quoted(victim) + " " + quoted(control + ".l") +
                                          " && mv -f " + quoted(control + ".l") + " " + quoted(control) +
                                          "\ncat \"$2\" > " + quoted(dir.file("control read")) +
                                          "\nstat -L -c %a \"$out\" > " + quoted(dir.file("folder mode")),
                                      true));
    DVDAuthorObject author(settings, center);
    author.setVideoFilePath(sizedFile("show.mpg", 1 << 20));
    ASSERT_TRUE(author.AuthorDVD());
    const DVDAuthorOutcome outcome = author.wait();
    EXPECT_EQ(outcome.kind, DVDAuthorOutcome::Finished) << qPrintable(outcome.error.message());
    EXPECT_TRUE(readBytes(dir.file("control read")).contains("show.mpg"));
    EXPECT_EQ(readBytes(victim), "<other/>");
    EXPECT_EQ(readBytes(dir.file("folder mode")).trimmed(), "700");
}

// Another program moves the disc folder away and puts a link to a folder of its own at its name before
// dvdauthor starts: dvdauthor authors into the folder made for it, nothing goes into the other program's.
TEST_F(DVDAuthorObjectTest, ALinkPutAtTheDiscFoldersNameIsNeverWrittenThrough) {
    TempDir elsewhere;
    const DVDProjectSettings settings = project(false, false);
    FakeTools tools;
    tools.add("dvdauthor", fakeAuthor(dir.file("format"), "", true));
    DVDAuthorObject author(settings, center);
    author.setVideoFilePath(sizedFile("show.mpg", 1 << 20));
    const QString moved = dir.file("moved away");
    author.setBeforeLaunch([&] {
        const QString folder = author.strOutputDVDFolder();
        ASSERT_EQ(::rename(QFile::encodeName(folder).constData(), QFile::encodeName(moved).constData()), 0);
        ASSERT_TRUE(QFile::link(elsewhere.path(), folder));
    });
    ASSERT_TRUE(author.AuthorDVD());
    const DVDAuthorOutcome outcome = author.wait();
    EXPECT_EQ(outcome.kind, DVDAuthorOutcome::Finished) << qPrintable(outcome.error.message());
    EXPECT_TRUE(QDir(elsewhere.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
        << "dvdauthor wrote into the other program's folder";
    EXPECT_EQ(readBytes(moved + "/VIDEO_TS/VIDEO_TS.IFO"), "index\n");
    EXPECT_EQ(QFile::symLinkTarget(author.reachableOutputDVDFolder()), moved);
}

TEST_F(DVDAuthorObjectTest, RealDvdauthorWithoutMenuAuthorsOneTitleWithChapters) {
    for (bool pal : {false, true}) {
        SCOPED_TRACE(pal ? "PAL" : "NTSC");
        DVDProjectSettings settings = project(pal, false);
        settings.temporaryFolder = dir.file(pal ? "t & 'pal'" : "t <ntsc>");
        settings.slideshowTotalDuration = 2;
        QDir().mkpath(settings.temporaryFolder);
        const QString stream = settings.temporaryFolder + "/show.mpg";
        ASSERT_TRUE(makeDvdStream(stream, 2, pal, false, 9000));
        FakeTools tools;
        tools.wrap("dvdauthor", "echo \"$VIDEO_FORMAT\" > " + quoted(dir.file("format")));
        tools.add("spumux", "touch " + quoted(dir.file("spumux ran")) + "\nexit 1");
        DVDAuthorObject author(settings, center);
        Listener listener(center);
        listener.attach(author);
        author.setVideoFilePath(stream);
        ASSERT_TRUE(author.AuthorDVD());
        const DVDAuthorOutcome outcome = author.wait();
        ASSERT_EQ(outcome.kind, DVDAuthorOutcome::Finished) << qPrintable(outcome.error.message());
        EXPECT_FALSE(QFileInfo::exists(dir.file("spumux ran"))); // no menu, no overlay
        QFile format(dir.file("format"));
        ASSERT_TRUE(format.open(QIODevice::ReadOnly));
        EXPECT_EQ(format.readAll().trimmed(), pal ? "PAL" : "NTSC");
        EXPECT_EQ(author.strOutputDVDFolder(), settings.temporaryFolder + "/tttDVD1");
        EXPECT_TRUE(QFileInfo(author.strOutputDVDFolder() + "/VIDEO_TS/VIDEO_TS.IFO").size() > 0);
        EXPECT_TRUE(QFileInfo(author.strOutputDVDFolder() + "/VIDEO_TS/VTS_01_1.VOB").size() > 0);
        const QString xml = unauthored(author.strOutputDVDFolder(), dir.file(pal ? "un-pal" : "un-ntsc"));
        EXPECT_FALSE(xml.contains("<menus"));
        EXPECT_EQ(xml.count("<titleset"), 1);
        EXPECT_TRUE(xml.contains("jump chapter 1;"));
        EXPECT_GE(xml.count("<cell "), 2); // chapters at 0 s and 1 s of the 2 s stream
        // The stream is over 2 MiB, so dvdauthor reported progress as it went.
        EXPECT_EQ(author.videoFileSizeMB(), QFileInfo(stream).size() >> 20);
        EXPECT_GE(author.videoFileSizeMB(), 2);
        const QList<double> values = listener.progressValues();
        ASSERT_FALSE(values.isEmpty());
        for (double value : values)
            EXPECT_TRUE(value >= 0 && value <= 100) << value;
        EXPECT_GT(*std::max_element(values.begin(), values.end()), 0);
        EXPECT_EQ(listener.finishedCount, 1);
    }
}

TEST_F(DVDAuthorObjectTest, RealDvdauthorWithMenuAuthorsTheMenuWithOneButton) {
    for (bool pal : {false, true}) {
        SCOPED_TRACE(pal ? "PAL" : "NTSC");
        DVDProjectSettings settings = project(pal, true);
        settings.temporaryFolder = dir.file(pal ? "menu & \"pal\"" : "menu <ntsc>");
        QDir().mkpath(settings.temporaryFolder);
        settings.dvdTitle = "Holidays";
        settings.slideshowTotalDuration = 1.5;
        DVDMenuItem menu(menuTemplate(1));
        ASSERT_TRUE(menu.buildMenuImages(settings));
        const QString menuStream = settings.temporaryFolder + "/menu.mpg";
        const QString stream = settings.temporaryFolder + "/show.mpg";
        ASSERT_TRUE(makeMenuStream(menuStream, menu.imagesArray(), pal, true));
        ASSERT_TRUE(makeDvdStream(stream, 1.5, pal, true));
        DVDAuthorObject author(settings, center);
        Listener listener(center);
        listener.attach(author);
        author.setVideoFilePath(stream);
        author.setMenuVideoFilePath(menuStream);
        author.setStateButtonRectArray(menu.stateButtonRectArray());
        ASSERT_TRUE(author.AuthorDVD());
        const DVDAuthorOutcome outcome = author.wait();
        ASSERT_EQ(outcome.kind, DVDAuthorOutcome::Finished) << qPrintable(outcome.error.message());
        const QString xml = unauthored(author.strOutputDVDFolder(), dir.file(pal ? "un-pal" : "un-ntsc"));
        EXPECT_TRUE(xml.contains("<menus")) << qPrintable(xml);
        EXPECT_TRUE(xml.contains("jump vmgm menu entry title;")); // the disc starts in the menu
        EXPECT_EQ(xml.count("<button name="), 1);
        EXPECT_TRUE(xml.contains("jump title 1;"));
        EXPECT_EQ(xml.count("<titleset"), 1);
        EXPECT_EQ(listener.finishedCount, 1);
    }
}

TEST_F(DVDAuthorObjectTest, FailedRunsReportTheStepAndNeverFinish) {
    DVDProjectSettings settings = project(false, false);
    const QString stream = sizedFile("show.mpg", 5000);
    struct Case {
        QByteArray body;
        bool writeIndex;
        const char* expected;
    } cases[] = {
        {"echo 'ERR:  no video stream found' >&2\nexit 1", false, "no video stream found"},
        {"exit 0", false, "VIDEO_TS.IFO"},
        {"kill -TERM $$", true, "signal 15"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        FakeTools tools;
        tools.add("dvdauthor", fakeAuthor(dir.file("format"), c.body, c.writeIndex));
        // A folder left by an earlier run must not count as this run's result.
        QDir().mkpath(settings.temporaryFolder + "/tttDVD1/VIDEO_TS");
        QFile old(settings.temporaryFolder + "/tttDVD1/VIDEO_TS/VIDEO_TS.IFO");
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old");
        old.close();
        DVDAuthorObject author(settings, center);
        Listener listener(center);
        listener.attach(author);
        author.setVideoFilePath(stream);
        ASSERT_TRUE(author.AuthorDVD());
        const DVDAuthorOutcome outcome = author.wait();
        EXPECT_EQ(outcome.kind, DVDAuthorOutcome::Failed);
        EXPECT_EQ(outcome.error.step, "dvdauthor");
        EXPECT_TRUE(outcome.error.detail.contains(c.expected)) << qPrintable(outcome.error.detail);
        EXPECT_EQ(listener.finishedCount, 0);
        EXPECT_EQ(listener.handlerCalls, 1);
    }
}

TEST_F(DVDAuthorObjectTest, MissingInputsStopBeforeAnyProgramRuns) {
    FakeTools tools;
    tools.add("dvdauthor", "touch " + quoted(dir.file("dvdauthor ran")));
    tools.add("spumux", "touch " + quoted(dir.file("spumux ran")) + "\ncat");
    {
        DVDAuthorObject author(project(false, false), center);
        Listener listener(center);
        listener.attach(author);
        author.setVideoFilePath(dir.file("never written.mpg"));
        EXPECT_FALSE(author.AuthorDVD());
        EXPECT_EQ(author.outcome().kind, DVDAuthorOutcome::Failed);
        EXPECT_TRUE(author.outcome().error.detail.contains("missing or empty"));
        EXPECT_EQ(listener.handlerCalls, 1);
    }
    {
        // With a menu, a missing menu stream fails the overlay step.
        DVDAuthorObject author(project(false, true), center);
        author.setVideoFilePath(sizedFile("show.mpg", 4096));
        author.setMenuVideoFilePath(dir.file("no menu.mpg"));
        EXPECT_FALSE(author.AuthorDVD());
        EXPECT_EQ(author.wait().error.step, "spumux");
    }
    EXPECT_FALSE(QFileInfo::exists(dir.file("dvdauthor ran")));
    EXPECT_FALSE(QFileInfo::exists(dir.file("spumux ran")));
}

TEST_F(DVDAuthorObjectTest, CancelBeforeTheRunIsNotLost) {
    FakeTools tools;
    tools.add("dvdauthor",
              fakeAuthor(dir.file("format"), "touch " + quoted(dir.file("dvdauthor ran")), true));
    DVDAuthorObject author(project(false, false), center);
    Listener listener(center);
    listener.attach(author);
    author.setVideoFilePath(sizedFile("show.mpg", 4096));
    center.post(kNotifyCancelEncodingVideo);
    EXPECT_TRUE(author.bTaskCancelled());
    EXPECT_FALSE(author.AuthorDVD());
    EXPECT_EQ(author.wait().kind, DVDAuthorOutcome::Cancelled);
    EXPECT_FALSE(QFileInfo::exists(dir.file("dvdauthor ran")));
    EXPECT_EQ(listener.finishedCount, 0);
    EXPECT_EQ(listener.handlerCalls, 1);
}

TEST_F(DVDAuthorObjectTest, CancelDuringTheOverlayOrDvdauthorStopsIt) {
    for (const char* stage : {"spumux", "dvdauthor"}) {
        SCOPED_TRACE(stage);
        const QString started = dir.file(QString(stage) + " started");
        FakeTools tools;
        tools.add("spumux",
                  QByteArray(stage) == "spumux" ? "touch " + quoted(started) + "\nexec sleep 30" : "cat");
        tools.add("dvdauthor",
                  fakeAuthor(dir.file("format"), "touch " + quoted(started) + "\nexec sleep 30", true));
        DVDAuthorObject author(project(false, true), center);
        Listener listener(center);
        listener.attach(author);
        author.setVideoFilePath(sizedFile("show.mpg", 4096));
        author.setMenuVideoFilePath(sizedFile("menu.mpg", 4096));
        std::thread canceller([&] {
            if (waitForFile(started))
                center.post(kNotifyCancelEncodingVideo);
        });
        const auto start = std::chrono::steady_clock::now();
        author.AuthorDVD();
        EXPECT_EQ(author.wait().kind, DVDAuthorOutcome::Cancelled);
        canceller.join();
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
        EXPECT_EQ(listener.finishedCount, 0);
        EXPECT_EQ(listener.handlerCalls, 1);
    }
}

TEST_F(DVDAuthorObjectTest, CancelAfterTheEndSignalsNothing) {
    FakeTools tools;
    tools.add("dvdauthor", fakeAuthor(dir.file("format"), "echo $$ > " + quoted(dir.file("pid")), true));
    DVDAuthorObject author(project(false, false), center);
    Listener listener(center);
    listener.attach(author);
    author.setVideoFilePath(sizedFile("show.mpg", 4096));
    ASSERT_TRUE(author.AuthorDVD());
    ASSERT_EQ(author.wait().kind, DVDAuthorOutcome::Finished);
    // The child is reaped; its number may already belong to another process, which must not be signalled.
    platform::ChildProcess::Options sleeper;
    sleeper.program = "sleep";
    sleeper.arguments = {"30"};
    platform::ChildProcess bystander(sleeper);
    ASSERT_TRUE(bystander.start());
    center.post(kNotifyCancelEncodingVideo);
    author.DVDAuthorCancel();
    EXPECT_EQ(author.outcome().kind, DVDAuthorOutcome::Finished);
    EXPECT_TRUE(bystander.isRunning());
    EXPECT_EQ(listener.finishedCount, 1);
    bystander.kill();
}
