// The clip copy on its own and in its window: progress, outcome and what is left on disk.
#include "support/MainWindowFixture.h"

#include "model/SlideshowProject.h"
#include "platform/foundation/NotificationCenter.h"
#include "ui/UiNotifications.h"
#include "ui/editing/ClipFileCopier.h"
#include "ui/editing/CopyFileProgressWindowController.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

using clip_file_copier::Outcome;

namespace {

QByteArray noise(qint64 size) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(7);
    for (char& b : bytes)
        b = char(generator.bounded(256));
    return bytes;
}

QString write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class ClipCopyTest : public MainWindowTest {
protected:
    // Runs the window as the modal run would: it shows, copies and ends itself. `before` runs first.
    QStringList runWindow(const QString& source, const QString& destination,
                          const std::function<void(CopyFileProgressWindowController&)>& before = {}) {
        CopyFileProgressWindowController window(project);
        window.setStrSrcFilePath(source);
        window.setStrDstFilePath(destination);
        QStringList shown;
        QObject::connect(&window, &CopyFileProgressWindowController::progressShown,
                         [&](const QString& text) { shown << text; });
        if (before)
            before(window);
        window.exec();
        outcome = window.result().outcome;
        return shown;
    }
    QStringList leftIn(const QString& folder) const {
        return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    Outcome outcome = Outcome::Failed;
};

TEST_F(ClipCopyTest, TwoAndAHalfMebibytesGiveThreeMessagesAndTheSameBytes) {
    const QByteArray bytes = noise(2621440);
    const QString source = write(dir.file("clip.mov"), bytes);
    QDir().mkpath(dir.file("out"));
    const QString destination = dir.file("out/clip.mov");
    const QStringList shown = runWindow(source, destination);
    EXPECT_EQ(outcome, Outcome::Copied);
    EXPECT_EQ(shown, (QStringList{"Importing video: clip.mov, please wait ...\n 40.00% [ 1M / 2M ]",
                                  "Importing video: clip.mov, please wait ...\n 80.00% [ 2M / 2M ]",
                                  "Importing video: clip.mov, please wait ...\n 100.00% [ 2M / 2M ]"}));
    EXPECT_TRUE(readAll(destination) == bytes);
    EXPECT_EQ(leftIn(dir.file("out")), QStringList{"clip.mov"}) << "no temporary file stays";
    EXPECT_TRUE(readAll(source) == bytes) << "the source is only read";
}

TEST_F(ClipCopyTest, AnEmptyFileCopiesWithoutAMessageAndCancelOrFailureLeavesNothing) {
    QDir().mkpath(dir.file("out"));
    const QString empty = write(dir.file("empty.mp4"), QByteArray());
    EXPECT_TRUE(runWindow(empty, dir.file("out/empty.mp4")).isEmpty());
    EXPECT_EQ(outcome, Outcome::Copied);
    EXPECT_TRUE(QFileInfo(dir.file("out/empty.mp4")).exists());
    EXPECT_EQ(QFileInfo(dir.file("out/empty.mp4")).size(), 0);

    const QString big = write(dir.file("big.mov"), noise(3 * 1048576));
    const QStringList shown = runWindow(
        big, dir.file("out/big.mov"), [](CopyFileProgressWindowController& w) { w.buttonCancel()->click(); });
    EXPECT_EQ(outcome, Outcome::Cancelled);
    EXPECT_EQ(shown.size(), 1) << "the chunk under way ends the copy";
    EXPECT_FALSE(QFileInfo(dir.file("out/big.mov")).exists());

    runWindow(dir.path(), dir.file("out/folder.mov")); // a folder opens and cannot be read
    EXPECT_EQ(outcome, Outcome::Failed);
    runWindow(big, dir.file("out/empty.mp4"));
    EXPECT_EQ(outcome, Outcome::Failed) << "an existing file is never replaced";
    EXPECT_EQ(QFileInfo(dir.file("out/empty.mp4")).size(), 0);
    EXPECT_EQ(leftIn(dir.file("out")), QStringList{"empty.mp4"}) << "no partial or temporary file";
}

TEST_F(ClipCopyTest, ASourceInTheTemporaryFolderSurvivesItsCopy) {
    const QByteArray bytes = noise(4096);
    TempDir temporary; // the system's temporary folder, where the copy of old went
    const QString source = write(temporary.file("holiday.mov"), bytes);
    QDir().mkpath(dir.file("out"));
    const auto result = clip_file_copier::copyFile(source, dir.file("out/holiday.mov"), {}, {});
    EXPECT_EQ(result.outcome, Outcome::Copied) << result.error.toStdString();
    EXPECT_TRUE(readAll(source) == bytes);
    EXPECT_TRUE(readAll(dir.file("out/holiday.mov")) == bytes);
}

namespace {

// Calls back for every event a watched object receives.
class EventSpy : public QObject {
public:
    explicit EventSpy(std::function<void(QEvent&)> seen) : seen(std::move(seen)) {}
    bool eventFilter(QObject*, QEvent* event) override {
        seen(*event);
        return false;
    }

private:
    std::function<void(QEvent&)> seen;
};

} // namespace

// However short the copy, the window is drawn with its message, bar and Cancel before the copy begins.
TEST_F(ClipCopyTest, APersonSeesTheMessageBarAndCancelBeforeTheCopyBegins) {
    QDir().mkpath(dir.file("out"));
    const std::pair<const char*, qint64> files[] = {
        {"empty.mp4", 0}, {"short.mov", 4096}, {"long.mov", 2621440}};
    for (const auto& [name, size] : files) {
        SCOPED_TRACE(name);
        const QString source = write(dir.file(name), noise(size));
        const QString destination = dir.file(QStringLiteral("out/") + name);
        bool drawnBeforeCopying = false;
        std::unique_ptr<EventSpy> spy;
        runWindow(source, destination, [&](CopyFileProgressWindowController& window) {
            spy = std::make_unique<EventSpy>([&](QEvent& event) {
                if (event.type() != QEvent::Paint || window.hasStarted())
                    return;
                drawnBeforeCopying = window.myField1()->isVisible() &&
                                     window.myField1()->text().startsWith("Importing video: ") &&
                                     window.progressIndicator()->isVisible() &&
                                     window.buttonCancel()->isVisible();
            });
            window.installEventFilter(spy.get());
        });
        EXPECT_EQ(outcome, Outcome::Copied);
        EXPECT_TRUE(drawnBeforeCopying);
    }
}

// "NOTIFY_CLOSE_COPY_FILE_PROGRESS_WINDOW" closes the window: a copy not yet begun never begins, and one
// under way stops after its chunk, so that nothing reaches the project once the window has gone.
TEST_F(ClipCopyTest, TheCloseNotificationEndsTheWindowAndItsCopy) {
    const auto close = [] {
        platform::NotificationCenter::defaultCenter().post(kNotifyCloseCopyFileProgressWindow);
    };
    QDir().mkpath(dir.file("out"));
    const QString big = write(dir.file("big.mov"), noise(8 * 1048576));

    bool begun = true;
    EXPECT_TRUE(runWindow(big, dir.file("out/early.mov"), [&](CopyFileProgressWindowController& w) {
                    close();
                    begun = w.hasStarted();
                }).isEmpty());
    EXPECT_FALSE(begun);
    EXPECT_EQ(outcome, Outcome::Cancelled);

    {
        // Closed once drawn, with its copy queued behind the drawing: that copy never begins either.
        CopyFileProgressWindowController drawn(project);
        drawn.setStrSrcFilePath(big);
        drawn.setStrDstFilePath(dir.file("out/drawn.mov"));
        drawn.show();
        QImage picture(drawn.size(), QImage::Format_ARGB32_Premultiplied);
        drawn.render(&picture); // drawn at once, its copy queued
        close();
        QCoreApplication::processEvents();
        EXPECT_FALSE(drawn.hasStarted());
        EXPECT_TRUE(drawn.hasFinished());
        EXPECT_FALSE(drawn.isVisible());
    }
    EXPECT_TRUE(leftIn(dir.file("out")).isEmpty());

    CopyFileProgressWindowController window(project);
    window.show();
    window.importSourceToTempDirAndMoveItToProject(big, dir.file("out/late.mov"));
    close();
    EXPECT_TRUE(project->bExportProgressCancelButtonClicked()) << "the copy is asked to stop";
    window.waitForCopy();
    EXPECT_TRUE(window.hasFinished());
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.result().outcome, Outcome::Cancelled);
    EXPECT_TRUE(leftIn(dir.file("out")).isEmpty()) << "no clip, partial or whole";
}
