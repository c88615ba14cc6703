#include "app/CacheFolderUse.h"
#include "support/HangGuard.h"
#include "support/LockHolder.h"
#include "support/PlantedEntries.h"
#include "support/TempDir.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <optional>

#include <sys/stat.h>

namespace {

// Whether the use removes, with what it answers.
bool removes(CacheFolderUse& use) {
    bool ran = false;
    EXPECT_EQ(use.removeLeftoversWhenAlone([&ran] { ran = true; }), ran);
    return ran;
}

} // namespace

// Each use holds the folder while it lives: a start removes only while no other does.
TEST(CacheFolderUse, AStartRemovesOnlyWhileNoOtherCopyUsesTheFolder) {
    const TempDir cache;
    std::optional<CacheFolderUse> first(std::in_place, cache.path());
    EXPECT_TRUE(removes(*first));
    EXPECT_FALSE(removes(*first)) << "a use removes once, at its start";
    std::optional<CacheFolderUse> second(std::in_place, cache.path());
    EXPECT_FALSE(removes(*second));
    first.reset();
    {
        CacheFolderUse third(cache.path());
        EXPECT_FALSE(removes(third)) << "the second still runs";
    }
    second.reset();
    CacheFolderUse fourth(cache.path());
    EXPECT_TRUE(removes(fourth));
}

// Without a lock a running copy cannot be told from an ended one, so nothing is removed.
TEST(CacheFolderUse, WithoutALockNothingIsRemoved) {
    const TempDir cache;
    ASSERT_TRUE(QDir().mkdir(cache.file("vistrelle-copies.lock")));
    for (const QString& folder : {QString(), cache.path(), cache.file("missing")}) {
        CacheFolderUse use(folder);
        EXPECT_FALSE(removes(use)) << folder.toStdString();
    }
}

// Whatever stands at the lock's name, a start goes on at once: a pipe (whose open would wait for a writer) or
// a link is replaced by the lock's file, never followed nor opened, and the start removes as usual; a folder
// is left as it was and nothing is removed; a lock another process holds alone is not waited for.
TEST(CacheFolderUse, AStartNeverWaitsForTheLockAndRemovesOnlyWhenItHasIt) {
    const HangGuard guard("a start before a lock it cannot have");
    for (const test_support::PlantedEntry& entry : test_support::plantedEntries()) {
        const TempDir cache;
        const QString lock = cache.file("vistrelle-copies.lock");
        ASSERT_TRUE(entry.plant(lock, cache.path())) << entry.what;
        const unsigned planted = test_support::entryKind(lock);
        CacheFolderUse use(cache.path());
        const bool folder = planted == S_IFDIR;
        EXPECT_EQ(removes(use), !folder) << entry.what;
        EXPECT_EQ(test_support::entryKind(lock), folder ? planted : unsigned(S_IFREG)) << entry.what;
        EXPECT_FALSE(QFileInfo::exists(cache.file("nothing"))) << entry.what << ": no link is followed";
    }

    const TempDir cache;
    std::optional<LockHolder> holder(std::in_place, cache.file("vistrelle-copies.lock"));
    ASSERT_TRUE(holder->holds()) << holder->said().toStdString();
    {
        CacheFolderUse use(cache.path());
        EXPECT_FALSE(removes(use)) << "held alone by another process";
    }
    ASSERT_TRUE(holder->letGo()) << holder->said().toStdString();
    holder.reset();
    CacheFolderUse use(cache.path());
    EXPECT_TRUE(removes(use)) << "once the other process has let go";
}
