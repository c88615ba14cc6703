#include "support/LockHolder.h"

#include <QFile>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

const char* const kLockedFile = "VISTRELLE_TEST_LOCKED_FILE";
const char* const kHeld = "the lock is held";

} // namespace

// Run only as the child of a LockHolder.
TEST(DISABLED_LockHolderChild, HoldsTheLockUntilLetGo) {
    const QByteArray path = QFile::encodeName(qEnvironmentVariable(kLockedFile));
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0) << path.constData();
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    TestChild::tellParent(kHeld);
    TestChild::waitForParent();
    ::close(fd);
}

LockHolder::LockHolder(const QString& path)
    : child("DISABLED_LockHolderChild.HoldsTheLockUntilLetGo", {{kLockedFile, path}}) {
    held = child.waitForLine(kHeld);
}
