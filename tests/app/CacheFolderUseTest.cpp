#include "app/CacheFolderUse.h"
#include "support/TempDir.h"

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
