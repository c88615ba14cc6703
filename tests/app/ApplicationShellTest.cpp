#include "app/ApplicationShell.h"
#include <QByteArray>
#include <QtGlobal>
#include <gtest/gtest.h>
TEST(ApplicationShell, OffscreenPlatformCountsAsDisplay) {
    qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
    EXPECT_TRUE(displayAvailable());
}

TEST(ApplicationShell, DocumentsAreTheArgumentsThatAreNotOptions) {
    EXPECT_EQ(documentArguments({"vistrelle", "--verbose", "/a/P.VistrelleProject", "b"}),
              (QStringList{"/a/P.VistrelleProject", "b"}));
    EXPECT_TRUE(documentArguments({"vistrelle"}).isEmpty());
}
