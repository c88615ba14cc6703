#include <gtest/gtest.h>
#include "app/ApplicationShell.h"
#include <QByteArray>
#include <QtGlobal>
TEST(ApplicationShell, OffscreenPlatformCountsAsDisplay) {
    qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
    EXPECT_TRUE(displayAvailable());
}
