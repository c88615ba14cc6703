#include "platform/foundation/UserDefaults.h"

#include "support/TempDir.h"
#include "support/TestEnvironment.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <limits>
#include <thread>
#include <vector>

using platform::UserDefaults;

namespace {

void writeText(const QString& path, const QByteArray& text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

const QDateTime someDate = QDateTime::fromMSecsSinceEpoch(1'234'567'890'123, Qt::UTC);
const QByteArray binary("\x00\x01\xff\xfe=;\n[General]", 17);
const QVariantMap nested{{"FontName", "Serif"}, {"FontSize", 24.5}, {"List", QVariantList{1, "two", true}}};

void storeEveryType(UserDefaults& defaults) {
    defaults.setValue("LastProjectBundlePath", "/home/u/Videos/Vistrelle/My Show");
    defaults.setValue("Awkward", "=a;b\n[c]\t\"quoted\" @start ünïcødé ✓");
    defaults.setValue("Enable1080p", true);
    defaults.setValue("Disabled", false);
    defaults.setValue("Count", 42);
    defaults.setValue("Negative", -7);
    defaults.setValue("Huge", std::numeric_limits<qint64>::max());
    defaults.setValue("Precise", qint64(9007199254740993)); // 2^53 + 1: a double would lose the last digit
    defaults.setValue("Tenth", 0.1);
    defaults.setValue("Tiny", 1e-300);
    defaults.setValue("Data", binary);
    defaults.setValue("Names", QStringList{"a", "b, c", ""});
    defaults.setValue("FontInfo", nested);
    defaults.setValue("When", someDate);
}

void expectEveryType(const UserDefaults& defaults) {
    EXPECT_EQ(defaults.string("LastProjectBundlePath"), "/home/u/Videos/Vistrelle/My Show");
    EXPECT_EQ(defaults.string("Awkward"), "=a;b\n[c]\t\"quoted\" @start ünïcødé ✓");
    EXPECT_TRUE(defaults.boolean("Enable1080p"));
    EXPECT_FALSE(defaults.boolean("Disabled", true));
    EXPECT_EQ(defaults.integer("Count"), 42);
    EXPECT_EQ(defaults.integer("Negative"), -7);
    EXPECT_EQ(defaults.integer("Huge"), std::numeric_limits<qint64>::max());
    EXPECT_EQ(defaults.integer("Precise"), qint64(9007199254740993));
    EXPECT_EQ(defaults.real("Tenth"), 0.1);
    EXPECT_EQ(defaults.real("Tiny"), 1e-300);
    EXPECT_EQ(defaults.value("Data").toByteArray(), binary);
    EXPECT_EQ(defaults.value("Names").toStringList(), (QStringList{"a", "b, c", ""}));
    EXPECT_EQ(defaults.value("FontInfo").toMap(), nested);
    EXPECT_EQ(defaults.value("When").toDateTime(), someDate);
}

TEST(UserDefaultsTest, EveryTypeRoundTripsInTheSameAndInANewInstance) {
    TempDir dir;
    const QString path = dir.file("Vistrelle.conf");
    {
        UserDefaults defaults(path);
        storeEveryType(defaults);
        expectEveryType(defaults);
        // Written at once: another reader sees every value while the writer is still alive.
        UserDefaults other(path);
        expectEveryType(other);
    }
    UserDefaults reopened(path);
    expectEveryType(reopened);
}

TEST(UserDefaultsTest, MissingKeysGiveTheReadersOwnDefault) {
    TempDir dir;
    UserDefaults defaults(dir.file("d.conf"));
    EXPECT_FALSE(defaults.contains("OutputVideoFormat"));
    EXPECT_EQ(defaults.string("OutputVideoFormat", "MP4"), "MP4");
    EXPECT_TRUE(defaults.string("OutputVideoFormat").isNull());
    EXPECT_TRUE(defaults.boolean("moveToApplicationsFolderAlertSuppress", true));
    EXPECT_FALSE(defaults.boolean("moveToApplicationsFolderAlertSuppress"));
    EXPECT_EQ(defaults.integer("Count", -5), -5);
    EXPECT_EQ(defaults.real("Scale", 2.5), 2.5);
    EXPECT_EQ(defaults.value("Anything", "x").toString(), "x");
    EXPECT_FALSE(defaults.value("Anything").isValid());
}

TEST(UserDefaultsTest, TypedReadersCoerceWhatTheFileHolds) {
    TempDir dir;
    const QString path = dir.file("hand.conf");
    writeText(path, "[General]\n"
                    "yesWord=YES\nyesShort=y\none=1\nten=10\ntrueWord=true\n"
                    "noWord=NO\nzero=0\nfalseWord=false\nempty=\n"
                    "number=42\nspaced=\"  -17  \"\nfraction=2.75\nnegativeFraction=-2.75\nexponent=1e3\n"
                    "garbage=hello\nhuge=1e300\n");
    const UserDefaults defaults(path);

    for (const char* key : {"yesWord", "yesShort", "one", "ten", "trueWord", "number", "fraction"})
        EXPECT_TRUE(defaults.boolean(key)) << key;
    for (const char* key : {"noWord", "zero", "falseWord", "empty"})
        EXPECT_FALSE(defaults.boolean(key, true)) << key;

    EXPECT_EQ(defaults.integer("number"), 42);
    EXPECT_EQ(defaults.integer("spaced"), -17);
    EXPECT_EQ(defaults.integer("fraction"), 2);
    EXPECT_EQ(defaults.integer("negativeFraction"), -2);
    EXPECT_EQ(defaults.integer("exponent"), 1000);
    EXPECT_EQ(defaults.integer("trueWord"), 1);
    EXPECT_EQ(defaults.integer("falseWord", 9), 0);
    EXPECT_EQ(defaults.integer("huge"), std::numeric_limits<qint64>::max());
    EXPECT_EQ(defaults.real("number"), 42.0);
    EXPECT_EQ(defaults.real("fraction"), 2.75);
    EXPECT_EQ(defaults.string("number"), "42");

    // Text that is no number or truth value gives the reader's default instead of a made-up zero.
    EXPECT_TRUE(defaults.boolean("garbage", true));
    EXPECT_FALSE(defaults.boolean("garbage", false));
    EXPECT_EQ(defaults.integer("garbage", 7), 7);
    EXPECT_EQ(defaults.real("garbage", 1.5), 1.5);
}

TEST(UserDefaultsTest, NonTextValuesAreNotReadAsTextOrNumbers) {
    TempDir dir;
    UserDefaults defaults(dir.file("d.conf"));
    defaults.setValue("List", QStringList{"1"});
    defaults.setValue("Map", QVariantMap{{"a", 1}});
    EXPECT_EQ(defaults.string("List", "fallback"), "fallback");
    EXPECT_EQ(defaults.integer("Map", 3), 3);
    EXPECT_TRUE(defaults.boolean("Map", true));
    defaults.setValue("Flag", true);
    EXPECT_EQ(defaults.integer("Flag"), 1);
    EXPECT_EQ(UserDefaults(dir.file("d.conf")).integer("Flag"), 1);
}

TEST(UserDefaultsTest, RemovingAndSettingNothingDeleteTheKeyOnDisk) {
    TempDir dir;
    const QString path = dir.file("d.conf");
    UserDefaults defaults(path);
    defaults.setValue("A", "1");
    defaults.setValue("B", "2");
    defaults.remove("A");
    defaults.setValue("B", QVariant());
    EXPECT_FALSE(defaults.contains("A"));
    UserDefaults reopened(path);
    EXPECT_FALSE(reopened.contains("A"));
    EXPECT_FALSE(reopened.contains("B"));
}

TEST(UserDefaultsTest, KeysWithSeparatorsStayDistinct) {
    TempDir dir;
    const QString path = dir.file("d.conf");
    const QStringList keys = {"a/b", "a//b", "a\\b", "a%2Fb", "/a", "a", "OAuth2: Photo Site/upload"};
    {
        UserDefaults defaults(path);
        for (const QString& key : keys)
            defaults.setValue(key, key + "!");
    }
    UserDefaults reopened(path);
    for (const QString& key : keys)
        EXPECT_EQ(reopened.string(key), key + "!") << key.toStdString();
}

TEST(UserDefaultsTest, SynchronizeReportsAStoreThatCannotBeWritten) {
    TempDir dir;
    writeText(dir.file("notAFolder"), "x");
    UserDefaults defaults(dir.file("notAFolder/d.conf"));
    defaults.setValue("A", 1);
    EXPECT_FALSE(defaults.synchronize());

    UserDefaults good(dir.file("good.conf"));
    good.setValue("A", 1);
    EXPECT_TRUE(good.synchronize());
}

TEST(UserDefaultsTest, StandardStoreFollowsTheTestPathAndDefaultsToTheConfigFolder) {
    TempDir dir;
    const QString first = dir.file("first.conf");
    UserDefaults::setStorePathForTesting(first);
    UserDefaults::standard().setValue("OutputVideoFormat", "MOV");
    EXPECT_EQ(UserDefaults(first).string("OutputVideoFormat"), "MOV");

    const QString second = dir.file("second.conf");
    UserDefaults::setStorePathForTesting(second);
    EXPECT_FALSE(UserDefaults::standard().contains("OutputVideoFormat"));

    test_support::EnvOverride config("XDG_CONFIG_HOME", dir.file("config"));
    UserDefaults::setStorePathForTesting(QString());
    UserDefaults::standard().setValue("Enable1080p", true);
    EXPECT_TRUE(QFileInfo::exists(dir.file("config/Vistrelle/Vistrelle.conf")));
    EXPECT_TRUE(UserDefaults(dir.file("config/Vistrelle/Vistrelle.conf")).boolean("Enable1080p"));
    UserDefaults::setStorePathForTesting(second);
}

TEST(UserDefaultsTest, ConcurrentWritersLoseNothing) {
    TempDir dir;
    const QString path = dir.file("d.conf");
    UserDefaults defaults(path);
    constexpr int threads = 4, keysPerThread = 40;
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&, t] {
            for (int i = 0; i < keysPerThread; ++i) {
                const QString key = QString("k%1_%2").arg(t).arg(i);
                defaults.setValue(key, t * 1000 + i);
                EXPECT_EQ(defaults.integer(key, -1), t * 1000 + i);
            }
        });
    for (auto& worker : workers)
        worker.join();
    UserDefaults reopened(path);
    for (int t = 0; t < threads; ++t)
        for (int i = 0; i < keysPerThread; ++i)
            EXPECT_EQ(reopened.integer(QString("k%1_%2").arg(t).arg(i), -1), t * 1000 + i);
}

} // namespace
