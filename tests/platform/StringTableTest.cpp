#include "platform/foundation/StringTable.h"

#include "support/TempDir.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QStringEncoder>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using platform::localizedString;

namespace {

// A resource folder of our own for one test, found through VISTRELLE_RESOURCES.
class StringTableTest : public ::testing::Test {
protected:
    TempDir resources;
    test_support::EnvOverride env{"VISTRELLE_RESOURCES", resources.path()};
    QLocale savedLocale;

    void SetUp() override { QLocale::setDefault(QLocale::c()); }
    void TearDown() override { QLocale::setDefault(savedLocale); }

    void writeTable(const QString& relativePath, const QByteArray& contents) {
        const QString path = resources.file("strings/" + relativePath);
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }
};

TEST_F(StringTableTest, ParsesEntriesCommentsAndEscapes) {
    writeTable("Localizable.strings", R"(/* A header comment
   spanning "lines" = "not an entry"; */
"Plain" = "Plain text";
// a line comment "Commented" = "no";
"Quote \"inside\"" = "Say \"hi\"";
"Backslash" = "a\\b";
"Lines" = "one\ntwo\tthree";
"Unicode" = "caf\U00e9";
"Spacing"   =
    "spread over lines"   ;
Bare = word;
"Same";
"Empty" = "";
"Twice" = "first";
"Twice" = "second";
"Ünïcødé ✓" = "direct UTF-8 ✓";
)");
    EXPECT_EQ(localizedString("Plain"), "Plain text");
    EXPECT_EQ(localizedString("Commented"), "Commented");
    EXPECT_EQ(localizedString("not an entry"), "not an entry");
    EXPECT_EQ(localizedString("Quote \"inside\""), "Say \"hi\"");
    EXPECT_EQ(localizedString("Backslash"), "a\\b");
    EXPECT_EQ(localizedString("Lines"), "one\ntwo\tthree");
    EXPECT_EQ(localizedString("Unicode"), QString::fromUtf8("café"));
    EXPECT_EQ(localizedString("Spacing"), "spread over lines");
    EXPECT_EQ(localizedString("Bare"), "word");
    EXPECT_EQ(localizedString("Same"), "Same");
    EXPECT_EQ(localizedString("Twice"), "second");
    EXPECT_EQ(localizedString(QString::fromUtf8("Ünïcødé ✓")), QString::fromUtf8("direct UTF-8 ✓"));
    EXPECT_EQ(tr_("Plain"), "Plain text");
}

TEST_F(StringTableTest, MissingKeysAndEmptyValuesGiveTheKey) {
    writeTable("Localizable.strings", "\"Empty\" = \"\";\n\"Known\" = \"Yes\";\n");
    EXPECT_EQ(localizedString("Empty"), "Empty");
    EXPECT_EQ(localizedString("Unknown text"), "Unknown text");
    EXPECT_EQ(localizedString(""), "");
    EXPECT_EQ(localizedString("Known", "NoSuchTable"), "Known");
}

TEST_F(StringTableTest, AMalformedEntryCostsOnlyItself) {
    writeTable("Localizable.strings", "\"Before\" = \"ok\";\n"
                                      "\"Broken\" = ;\n"
                                      "\"NoSemicolon\" = \"x\"\n"
                                      "\"After\" = \"fine\";\n"
                                      "\"Later\" = \"back\";\n"
                                      "\"Unterminated\" = \"runs off the end");
    EXPECT_EQ(localizedString("Before"), "ok");
    EXPECT_EQ(localizedString("Broken"), "Broken");
    EXPECT_EQ(localizedString("NoSemicolon"), "NoSemicolon");
    EXPECT_EQ(localizedString("Unterminated"), "Unterminated");
    // A missing ";" swallows the entry up to the next ";"; reading resumes after it.
    EXPECT_EQ(localizedString("After"), "After");
    EXPECT_EQ(localizedString("Later"), "back");
    writeTable("Recovery.strings", "\"A\" = = \"bad\"; \"B\" = \"good\";");
    EXPECT_EQ(localizedString("B", "Recovery"), "good");
    EXPECT_EQ(localizedString("A", "Recovery"), "A");
}

TEST_F(StringTableTest, NamedTablesAreSeparate) {
    writeTable("Localizable.strings", "\"Move\" = \"from the default table\";\n");
    writeTable("MoveApplication.strings", "\"Move\" = \"from the move table\";\n");
    EXPECT_EQ(localizedString("Move"), "from the default table");
    EXPECT_EQ(localizedString("Move", "Localizable"), "from the default table");
    EXPECT_EQ(localizedString("Move", "MoveApplication"), "from the move table");
}

TEST_F(StringTableTest, TheUsersLanguageComesFirstThenTheBaseTable) {
    writeTable("Localizable.strings", "\"Yes\" = \"Yes\"; \"No\" = \"No\"; \"Cancel\" = \"Cancel\";");
    writeTable("fr/Localizable.strings", "\"Yes\" = \"Oui\"; \"No\" = \"Non\"; \"Cancel\" = \"\";");
    writeTable("fr_CA/Localizable.strings", "\"Yes\" = \"Ouais\";");
    QLocale::setDefault(QLocale("fr_CA"));
    EXPECT_EQ(localizedString("Yes"), "Ouais");
    EXPECT_EQ(localizedString("No"), "Non");
    EXPECT_EQ(localizedString("Cancel"), "Cancel");
    QLocale::setDefault(QLocale("fr_FR"));
    EXPECT_EQ(localizedString("Yes"), "Oui");
    QLocale::setDefault(QLocale("de_DE"));
    EXPECT_EQ(localizedString("Yes"), "Yes");
}

TEST_F(StringTableTest, ReadsUtf16TablesWithAByteOrderMark) {
    QStringEncoder encoder(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
    const QByteArray utf16 = encoder.encode(QString::fromUtf8("\"Photos\" = \"Фото\";\n"));
    writeTable("Wide.strings", utf16);
    EXPECT_EQ(localizedString("Photos", "Wide"), QString::fromUtf8("Фото"));
}

TEST_F(StringTableTest, AnotherResourceFolderIsReadAfresh) {
    writeTable("Localizable.strings", "\"Title\" = \"first folder\";");
    EXPECT_EQ(localizedString("Title"), "first folder");
    TempDir other;
    QDir().mkpath(other.file("strings"));
    QFile file(other.file("strings/Localizable.strings"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("\"Title\" = \"second folder\";");
    file.close();
    test_support::EnvOverride env2("VISTRELLE_RESOURCES", other.path());
    EXPECT_EQ(localizedString("Title"), "second folder");
}

TEST_F(StringTableTest, ConcurrentFirstLookupsAllSeeTheTable) {
    QByteArray table;
    for (int i = 0; i < 500; ++i)
        table += QString("\"key%1\" = \"value%1\";\n").arg(i).toUtf8();
    writeTable("Big.strings", table);
    std::atomic<int> wrong = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t)
        threads.emplace_back([&, t] {
            for (int i = t; i < 500; i += 3)
                if (localizedString(QString("key%1").arg(i), "Big") != QString("value%1").arg(i))
                    ++wrong;
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(wrong, 0);
}

} // namespace
