#include "platform/foundation/PropertyListValues.h"
#include "support/TempDir.h"

#include <QDateTime>
#include <QFile>

#include <gtest/gtest.h>

namespace {

QVariant parse(const QByteArray& xml, QString* error = nullptr) {
    TempDir dir;
    QFile file(dir.file("list.plist"));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(xml);
    file.close();
    return platform::readPropertyListFile(file.fileName(), error);
}

} // namespace

TEST(PropertyListValues, XmlValuesBecomeQtValues) {
    const QVariant root = parse(R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><array>
  <dict>
    <key>name</key><string>Caf&#233; &amp; more</string>
    <key>count</key><integer>-12</integer>
    <key>ratio</key><real>0.75</real>
    <key>on</key><true/>
    <key>bytes</key><data>AAEC</data>
    <key>when</key><date>2001-01-02T00:00:00Z</date>
    <key>inner</key><array><integer>1</integer><dict/></array>
  </dict>
  <string></string>
</array></plist>)");
    ASSERT_EQ(root.typeId(), QMetaType::QVariantList);
    const QVariantList list = root.toList();
    ASSERT_EQ(list.size(), 2);
    const QVariantMap map = list[0].toMap();
    EXPECT_EQ(map.value("name").toString(), QString::fromUtf8("Café & more"));
    EXPECT_EQ(map.value("count").toLongLong(), -12);
    EXPECT_DOUBLE_EQ(map.value("ratio").toDouble(), 0.75);
    EXPECT_EQ(map.value("on").typeId(), QMetaType::Bool);
    EXPECT_TRUE(map.value("on").toBool());
    EXPECT_EQ(map.value("bytes").toByteArray(), QByteArray("\x00\x01\x02", 3));
    EXPECT_EQ(map.value("when").toDateTime(), QDateTime(QDate(2001, 1, 2), QTime(0, 0), Qt::UTC));
    EXPECT_EQ(map.value("inner").toList().size(), 2);
    EXPECT_EQ(map.value("inner").toList()[1].typeId(), QMetaType::QVariantMap);
    EXPECT_EQ(list[1].toString(), QString());
}

TEST(PropertyListValues, UnreadableFilesGiveAnInvalidValueWithAReason) {
    QString error;
    EXPECT_FALSE(platform::readPropertyListFile("/nonexistent/list.plist", &error).isValid());
    EXPECT_FALSE(error.isEmpty());
    error.clear();
    EXPECT_FALSE(parse("<plist><array><string>open", &error).isValid());
    EXPECT_FALSE(error.isEmpty());
}

TEST(PropertyListValues, AWrittenDictionaryReadsBackTheSame) {
    TempDir dir;
    const QVariantMap written{
        {"text", QStringLiteral("Café <&>")},
        {"count", qint64(-12)},
        {"status", 304},
        {"expires", 1700000000.25},
        {"on", true},
        {"bytes", QByteArray("\0\1\2", 3)},
        {"when", QDateTime::fromMSecsSinceEpoch(1700000000000, Qt::UTC)},
        {"list", QVariantList{qint64(1), QStringLiteral("two")}},
        {"nested", QVariantMap{{"inner", QStringLiteral("value")}}},
    };
    ASSERT_TRUE(platform::writePropertyListFile(dir.file("out.plist"), written));
    QVariantMap expected = written;
    expected["status"] = qint64(304); // integers come back 64 bits wide
    EXPECT_EQ(platform::readPropertyListFile(dir.file("out.plist")).toMap(), expected);
    QString error;
    EXPECT_FALSE(platform::writePropertyListFile(dir.file("missing/out.plist"), written, &error));
    EXPECT_TRUE(error.contains("missing/out.plist"));
}
