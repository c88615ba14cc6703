#include "platform/keychain/FileKeychain.h"
#include "platform/keychain/SecretServiceKeychain.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QUuid>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

using platform::keychain::FileKeychain;
using platform::keychain::Keychain;
using platform::keychain::SecretServiceKeychain;
using platform::keychain::Status;

enum class Store { File, SecretService };

class KeychainContractTest : public ::testing::TestWithParam<Store> {
protected:
    void SetUp() override {
        if (GetParam() == Store::File) {
            keychain = std::make_shared<FileKeychain>(folder.file("keychain"));
            return;
        }
        if (!SecretServiceKeychain::isAvailable())
            GTEST_SKIP() << "no Secret Service answers on this session bus";
        keychain = std::make_shared<SecretServiceKeychain>();
    }
    void TearDown() override {
        if (keychain)
            for (const QString& account : {QStringLiteral("OAuth"), QStringLiteral("Other")})
                keychain->deleteGenericPassword(service, account);
    }

    TempDir folder;
    std::shared_ptr<Keychain> keychain;
    // Unique, so that a real keyring never mixes this run's items with anything of the user's.
    const QString service = "Vistrelle test " + QUuid::createUuid().toString(QUuid::WithoutBraces);
};

TEST_P(KeychainContractTest, ItemsAreFoundByServiceAndAccountReplacedAndDeletedOnce) {
    QByteArray password;
    EXPECT_EQ(keychain->findGenericPassword(service, "OAuth", &password), Status::ItemNotFound);
    EXPECT_EQ(keychain->deleteGenericPassword(service, "OAuth"), Status::ItemNotFound);

    const QByteArray secret("refresh_token=1%2Fxyz \n\x01\xff", 24);
    ASSERT_EQ(keychain->addGenericPassword(service, "OAuth", "first"), Status::Success);
    ASSERT_EQ(keychain->addGenericPassword(service, "OAuth", secret), Status::Success);
    ASSERT_EQ(keychain->addGenericPassword(service, "Other", "other"), Status::Success);
    EXPECT_EQ(keychain->findGenericPassword(service, "OAuth", &password), Status::Success);
    EXPECT_EQ(password, secret);
    EXPECT_EQ(keychain->findGenericPassword(service + " ", "OAuth", &password), Status::ItemNotFound);

    EXPECT_EQ(keychain->deleteGenericPassword(service, "OAuth"), Status::Success);
    EXPECT_EQ(keychain->findGenericPassword(service, "OAuth", &password), Status::ItemNotFound);
    EXPECT_EQ(keychain->findGenericPassword(service, "Other", &password), Status::Success);
    EXPECT_EQ(password, "other");
}

INSTANTIATE_TEST_SUITE_P(Stores, KeychainContractTest, ::testing::Values(Store::File, Store::SecretService),
                         [](const auto& info) {
                             return info.param == Store::File ? "File" : "SecretService";
                         });

mode_t modeOf(const QString& path) {
    struct stat info {};
    ::lstat(QFile::encodeName(path).constData(), &info);
    return info.st_mode & 07777;
}

TEST(FileKeychain, OnlyTheUserCanReachTheFileAndAFileThatIsNotPlainlyOursIsNeverUsed) {
    TempDir folder;
    const QString place = folder.file("keychain");
    ASSERT_TRUE(QDir().mkpath(place));
    QFile::setPermissions(place, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                     QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
    FileKeychain keychain(place);
    ASSERT_EQ(keychain.addGenericPassword("Corvanta", "OAuth", "secret"), Status::Success);
    EXPECT_EQ(modeOf(place), 0700u);
    EXPECT_EQ(modeOf(keychain.filePath()), 0600u);
    EXPECT_EQ(QDir(place).entryList(QDir::Files), QStringList{"secrets"}); // no temporary file left behind

    // A link planted in place of the file is neither followed nor replaced.
    const QString elsewhere = folder.file("elsewhere");
    ASSERT_TRUE(QFile::rename(keychain.filePath(), elsewhere));
    ASSERT_TRUE(QFile::link(elsewhere, keychain.filePath()));
    QByteArray password;
    EXPECT_EQ(keychain.findGenericPassword("Corvanta", "OAuth", &password), Status::Failed);
    EXPECT_EQ(keychain.addGenericPassword("Corvanta", "OAuth", "new"), Status::Failed);
    EXPECT_TRUE(QFileInfo(keychain.filePath()).isSymLink());
}

} // namespace
