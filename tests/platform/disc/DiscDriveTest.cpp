#include "platform/disc/DiscDrive.h"

#include "support/TempDir.h"

#include <QFile>

#include <gtest/gtest.h>

#include <signal.h>

using namespace platform::disc;

TEST(DiscLibrary, StartsAgainAfterTheLastHandleWentAndSharesOneSession) {
    auto first = DiscLibrary::acquire();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(DiscLibrary::acquire(), first) << "one session per process at a time";
    first.reset();

    TempDir dir;
    QString error;
    auto drive = DiscDrive::open(DiscDrive::pseudoDriveAddress(dir.file("disc.img")), &error);
    ASSERT_NE(drive, nullptr) << error.toStdString();
    EXPECT_EQ(drive->mediaInfo().profileName, "stdio file");
}

TEST(DiscLibrary, LeavesTheProcessSignalHandlingAlone) {
    struct sigaction before[3];
    const int watched[3] = {SIGINT, SIGTERM, SIGHUP};
    for (int i = 0; i < 3; ++i)
        sigaction(watched[i], nullptr, &before[i]);
    TempDir dir;
    auto drive = DiscDrive::open(DiscDrive::pseudoDriveAddress(dir.file("disc.img")));
    ASSERT_NE(drive, nullptr);
    drive.reset();
    for (int i = 0; i < 3; ++i) {
        struct sigaction after;
        sigaction(watched[i], nullptr, &after);
        EXPECT_EQ(after.sa_handler, before[i].sa_handler) << "signal " << watched[i];
    }
}

TEST(DiscLibrary, ListsDrivesOnlyWhileNoDriveIsOpen) {
    auto library = DiscLibrary::acquire();
    ASSERT_NE(library, nullptr);
    std::vector<DriveInfo> drives;
    QString error;
    ASSERT_TRUE(library->listDrives(&drives, &error)) << error.toStdString();
    for (const DriveInfo& info : drives)
        EXPECT_FALSE(info.address.isEmpty());

    TempDir dir;
    auto drive = DiscDrive::open(DiscDrive::pseudoDriveAddress(dir.file("disc.img")));
    ASSERT_NE(drive, nullptr);
    EXPECT_EQ(library->openDriveCount(), 1);
    drives.push_back({});
    EXPECT_FALSE(library->listDrives(&drives, &error));
    EXPECT_TRUE(drives.empty());
    EXPECT_FALSE(error.isEmpty());

    drive.reset();
    EXPECT_EQ(library->openDriveCount(), 0);
    EXPECT_TRUE(library->listDrives(&drives, &error)) << error.toStdString();
}

TEST(DiscDrive, OpensAFileAsAPseudoDriveWithABlankMedium) {
    TempDir dir;
    QString path = dir.file("disc.img");
    QString address = DiscDrive::pseudoDriveAddress(path);
    EXPECT_EQ(address, "stdio:" + path);
    QString error;
    auto drive = DiscDrive::open(address, &error);
    ASSERT_NE(drive, nullptr) << error.toStdString();
    EXPECT_EQ(drive->address(), address);
    EXPECT_TRUE(drive->isPseudoDrive());
    EXPECT_TRUE(drive->canReadBack());
    EXPECT_FALSE(drive->isClaimed());

    // The library presents a file as its own profile 0xffff, "stdio file": not a writable DVD, so the
    // DVD command's set-up would turn it down while this layer still records onto it.
    MediaInfo medium = drive->mediaInfo();
    EXPECT_EQ(medium.profileCode, 0xffff);
    EXPECT_EQ(medium.profileName, "stdio file");
    EXPECT_EQ(medium.profile, MediaProfile::Other);
    EXPECT_FALSE(isWritableDVD(medium.profile));
    EXPECT_EQ(medium.status, MediaStatus::Blank);
    EXPECT_GT(medium.freeBlocks, 0);
}

TEST(DiscDrive, RefusesAnAddressWhoseFolderDoesNotExist) {
    TempDir dir;
    QString address = DiscDrive::pseudoDriveAddress(dir.file("missing/disc.img"));
    QString error;
    EXPECT_EQ(DiscDrive::open(address, &error), nullptr);
    EXPECT_TRUE(error.contains(address)) << error.toStdString();
    EXPECT_EQ(DiscLibrary::acquire()->openDriveCount(), 0);
}

TEST(DiscDrive, RefusesAnUnknownDevice) {
    QString error;
    EXPECT_EQ(DiscDrive::open("/dev/no-such-recorder", &error), nullptr);
    EXPECT_FALSE(error.isEmpty());
}

TEST(DiscDrive, OnlyOneClaimAtATime) {
    TempDir dir;
    auto drive = DiscDrive::open(DiscDrive::pseudoDriveAddress(dir.file("disc.img")));
    ASSERT_NE(drive, nullptr);
    EXPECT_TRUE(drive->claim());
    EXPECT_FALSE(drive->claim());
    drive->unclaim();
    EXPECT_TRUE(drive->claim());
}

TEST(DiscDrive, ReadsBlocksOfAnExistingImageInOrder) {
    TempDir dir;
    QString path = dir.file("disc.img");
    QByteArray content;
    for (int block = 0; block < 40; ++block)
        content.append(QByteArray(2048, char('a' + block % 26)));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();

    auto drive = DiscDrive::open(DiscDrive::pseudoDriveAddress(path));
    ASSERT_NE(drive, nullptr);
    QByteArray read;
    QString error;
    ASSERT_TRUE(drive->readBlocks(
        3, 37,
        [&](const std::uint8_t* data, std::size_t size) {
            EXPECT_EQ(size % 2048, 0u);
            read.append(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
            return true;
        },
        &error))
        << error.toStdString();
    ASSERT_EQ(read.size(), 37 * 2048);
    for (int block = 0; block < 37; ++block)
        EXPECT_EQ(read.mid(block * 2048, 2048), content.mid((3 + block) * 2048, 2048)) << "block " << block;

    int pieces = 0;
    EXPECT_FALSE(drive->readBlocks(0, 40, [&](const std::uint8_t*, std::size_t) { return ++pieces < 2; }));
    EXPECT_EQ(pieces, 2) << "a sink that says stop is not called again";

    error.clear();
    EXPECT_FALSE(drive->readBlocks(
        30, 20, [](const std::uint8_t*, std::size_t) { return true; }, &error));
    EXPECT_FALSE(error.isEmpty()) << "reading past the end of the medium is an error";
}
