#include "app/CacheFolderUse.h"
#include "support/HangGuard.h"
#include "support/LockHolder.h"
#include "support/PlantedEntries.h"
#include "support/TempDir.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <optional>

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
    ASSERT_TRUE(QFile::link(cache.file("elsewhere"), cache.file("vistrelle-copies.lock")));
    for (const QString& folder : {QString(), cache.path(), cache.file("missing")}) {
        CacheFolderUse use(folder);
        EXPECT_FALSE(removes(use)) << folder.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(cache.file("elsewhere"))) << "the link is not followed";
}

// Whatever stands at the lock's name, a start goes on at once and removes nothing: a pipe (whose open would
// wait for a writer), a folder or a link is left as it was, and a lock another process holds alone is not
// waited for.
TEST(CacheFolderUse, AStartThatCannotHaveTheLockGoesOnAndRemovesNothing) {
    const HangGuard guard("a start before a lock it cannot have");
    for (const test_support::PlantedEntry& entry : test_support::plantedEntries()) {
        const TempDir cache;
        const QString lock = cache.file("vistrelle-copies.lock");
        ASSERT_TRUE(entry.plant(lock, cache.path())) << entry.what;
        const unsigned planted = test_support::entryKind(lock);
        CacheFolderUse use(cache.path());
        EXPECT_FALSE(removes(use)) << entry.what;
        EXPECT_EQ(test_support::entryKind(lock), planted) << entry.what << ": left as it was";
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
