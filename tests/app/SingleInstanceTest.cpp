#include "app/SingleInstance.h"
#include "app/ApplicationShell.h"
#include "support/HangGuard.h"
#include "support/LockHolder.h"
#include "support/PlantedEntries.h"
#include "support/TempDir.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <optional>
#include <string>
#include <thread>

#include <sys/stat.h>

TEST(SingleInstance, ASecondCopyIsRefusedUntilTheFirstEnds) {
    QTemporaryDir folder;
    std::optional<SingleInstance> first(std::in_place, QStringList{folder.path()});
    ASSERT_TRUE(first->claim());
    EXPECT_TRUE(first->claim()) << "claiming again is no second copy";
    SingleInstance second({folder.path()});
    EXPECT_FALSE(second.claim());
    first.reset();
    EXPECT_TRUE(second.claim());
}

TEST(SingleInstance, TheClaimOfACopyThatCrashedIsTakenOver) {
    QTemporaryDir folder;
    QFile left(folder.filePath("vistrelle.lock"));
    ASSERT_TRUE(left.open(QIODevice::WriteOnly));
    left.write("2147483646\nvistrelle\n\n"); // no such process
    left.close();
    SingleInstance copy({folder.path()});
    EXPECT_TRUE(copy.claim());
}

TEST(SingleInstance, WithoutAFolderTheCopyRunsUnguarded) {
    SingleInstance copy{QStringList{QString()}};
    EXPECT_TRUE(copy.claim());
}

// A copy claims its runtime folder and the cache folder: one that shares either with a running copy is
// refused, and the cache folder standing in for the runtime folder is claimed once.
TEST(SingleInstance, ASecondCopyIsRefusedWhereverItMeetsTheFirst) {
    const TempDir root;
    const QString runtime = root.file("run"), cache = root.file("cache");
    const QString otherRuntime = root.file("other-run"), otherCache = root.file("other-cache");
    for (const QString& folder : {runtime, cache, otherRuntime, otherCache})
        ASSERT_TRUE(QDir().mkpath(folder));
    SingleInstance first({runtime, cache});
    ASSERT_TRUE(first.claim());
    const struct {
        const char* what;
        QStringList folders;
        bool runs;
    } cases[] = {{"another login: the runtime folder differs", {otherRuntime, cache}, false},
                 {"the cache folder differs", {runtime, otherCache}, false},
                 {"the same folders", {runtime, cache}, false},
                 {"a home of its own", {otherRuntime, otherCache}, true},
                 {"the cache folder is the runtime folder", {otherRuntime, otherRuntime}, true}};
    for (const auto& c : cases) {
        SingleInstance second(c.folders);
        EXPECT_EQ(second.claim(), c.runs) << c.what;
    }
}

// Whatever stands at either folder's claim name, the claim answers at once. A link or a pipe is no copy's
// claim: it is replaced by the claim's file, never followed nor opened, and the claim holds against a second
// copy. A folder cannot be replaced: the start is refused, and told which to remove. A file another process
// holds locked is a running copy's claim until that process lets go, whatever the file says.
TEST(SingleInstance, TheClaimNeverWaitsAndTellsACopyOnlyByItsLock) {
    const HangGuard guard("a claim over something planted at its name");
    for (const test_support::PlantedEntry& entry : test_support::plantedEntries()) {
        for (const int planted : {0, 1}) {
            SCOPED_TRACE(std::string(entry.what) +
                         (planted == 0 ? " in the runtime folder" : " in the cache"));
            const TempDir root;
            const QStringList folders{root.file("run"), root.file("cache")};
            for (const QString& folder : folders)
                ASSERT_TRUE(QDir().mkpath(folder));
            const QString claim = QDir(folders[planted]).filePath("vistrelle.lock");
            ASSERT_TRUE(entry.plant(claim, root.path()));
            const unsigned kind = test_support::entryKind(claim);
            SingleInstance copy(folders);
            if (kind == S_IFDIR) {
                EXPECT_FALSE(copy.claim());
                EXPECT_EQ(claimRefusal(copy), "Vistrelle cannot start: \"" + claim +
                                                  "\" stands where it marks that it is running, and it is a "
                                                  "folder. Remove \"" +
                                                  claim + "\", then start Vistrelle again.");
                EXPECT_EQ(test_support::entryKind(claim), kind) << "left as it was";
                continue;
            }
            EXPECT_TRUE(copy.claim());
            EXPECT_EQ(test_support::entryKind(claim), unsigned(S_IFREG)) << "replaced by the claim's file";
            EXPECT_FALSE(QFileInfo::exists(root.file("nothing"))) << "no link is followed";
            SingleInstance second({folders[planted]});
            EXPECT_FALSE(second.claim()) << "the claim holds there";
        }
    }

    const TempDir folder;
    std::optional<LockHolder> holder(std::in_place, folder.file("vistrelle.lock"));
    ASSERT_TRUE(holder->holds()) << holder->said().toStdString();
    SingleInstance copy({folder.path()});
    EXPECT_FALSE(copy.claim()) << "held by another process";
    EXPECT_EQ(claimRefusal(copy), "Vistrelle is already running: go on in its window.");
    ASSERT_TRUE(holder->letGo()) << holder->said().toStdString();
    holder.reset();
    EXPECT_TRUE(copy.claim()) << "the file the other process held is no claim once it has let go";
}

// Two starts at once, each finding what is planted at the claim's name: whichever replaces it, the other
// finds the new file as the claim of a running copy, never as a name where nothing can be made, nor as an
// obstacle.
TEST(SingleInstance, OfTwoStartsAtOnceOverSomethingPlantedOneRuns) {
    const HangGuard guard("two claims over something planted at their name");
    for (const test_support::PlantedEntry& entry : test_support::plantedEntries()) {
        const TempDir root;
        const QString claim = root.file("vistrelle.lock");
        if (!entry.plant(claim, root.path()) || test_support::entryKind(claim) == S_IFDIR)
            continue;
        SCOPED_TRACE(entry.what);
        for (int round = 0; round < 500; ++round) {
            QFile::remove(claim);
            const QString beside = root.file(QString::number(round));
            ASSERT_TRUE(QDir().mkpath(beside));
            ASSERT_TRUE(entry.plant(claim, beside));
            std::array<std::optional<SingleInstance>, 2> starts;
            std::array<bool, 2> claimed{};
            std::atomic<int> ready{0};
            const auto start = [&](std::size_t i) {
                starts[i].emplace(QStringList{root.path()});
                for (++ready; ready < 2;) {
                }
                claimed[i] = starts[i]->claim();
            };
            std::thread other(start, 1);
            start(0);
            other.join();
            ASSERT_EQ(int(claimed[0]) + int(claimed[1]), 1) << "round " << round;
            for (const auto& refused : starts)
                ASSERT_TRUE(refused->obstacle().isEmpty()) << refused->obstacle().toStdString();
        }
    }
}
