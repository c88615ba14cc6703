#include "app/SingleInstance.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <optional>

TEST(SingleInstance, ASecondCopyIsRefusedUntilTheFirstEnds) {
    QTemporaryDir folder;
    std::optional<SingleInstance> first(std::in_place, folder.path());
    ASSERT_TRUE(first->claim());
    EXPECT_TRUE(first->claim()) << "claiming again is no second copy";
    SingleInstance second(folder.path());
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
    SingleInstance copy(folder.path());
    EXPECT_TRUE(copy.claim());
}

TEST(SingleInstance, WithoutAFolderTheCopyRunsUnguarded) {
    SingleInstance copy{QString()};
    EXPECT_TRUE(copy.claim());
}
