#include "webservice/DSDateTime.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>

TEST(DSDateTime, ReadsAndWritesTheServiceForms) {
    const qint64 unknown = DSDateTime::kUndefined;
    const struct {
        const char* text;
        qint64 second;
        qint64 offset;
        bool universal;
        const char* written;
    } cases[] = {
        {"2009-01-27T18:03:41Z", 41, 0, true, "2009-01-27T18:03:41Z"},
        {"2009-01-27T18:03:41.537-08:00", 41, -28800, false, "2009-01-27T18:03:41-08:00"},
        {"2009-01-27T18:03:41+05:30", 41, 19800, false, "2009-01-27T18:03:41+05:30"},
        {"2009-01-27T18:03:41-00:00", 41, unknown, false, "2009-01-27T18:03:41-00:00"},
        {"2009-01-27T18:03:41+00:00", 41, 0, false, "2009-01-27T18:03:41+00:00"},
        {"2009-01-27T18:03:41", 41, 0, true, "2009-01-27T18:03:41Z"},
        {"2009-01-27t18:03:41z", 41, 0, true, "2009-01-27T18:03:41Z"},
        {"2009-01-27 18:03:41Z", 41, 0, true, "2009-01-27T18:03:41Z"},
        {"2009-01-27T18:03Z", unknown, 0, true, "2009-01-27T18:03:00Z"},
    };
    for (const auto& c : cases) {
        const DSDateTime dateTime = DSDateTime::dateTimeWithRFC3339String(QString::fromLatin1(c.text));
        EXPECT_TRUE(dateTime.hasTime()) << c.text;
        EXPECT_EQ(dateTime.dateComponents().second, c.second) << c.text;
        EXPECT_EQ(dateTime.offsetSeconds(), c.offset) << c.text;
        EXPECT_EQ(dateTime.isUniversalTime(), c.universal) << c.text;
        EXPECT_EQ(dateTime.RFC3339String(), QLatin1String(c.written)) << c.text;
    }
    const DSDateTime parsed =
        DSDateTime::dateTimeWithRFC3339String(QStringLiteral("2009-01-27T18:03:41.537-08:00"));
    EXPECT_EQ(parsed.date(), QDateTime(QDate(2009, 1, 28), QTime(2, 3, 41), QTimeZone::utc()));
}

TEST(DSDateTime, DateOnlyValuesAreNoonInUniversalTime) {
    DSDateTime day = DSDateTime::dateTimeWithRFC3339String(QStringLiteral("2009-01-27"));
    EXPECT_FALSE(day.hasTime());
    EXPECT_EQ(day.RFC3339String(), QStringLiteral("2009-01-27"));
    EXPECT_EQ(day.date(), QDateTime(QDate(2009, 1, 27), QTime(12, 0), QTimeZone::utc()));
    day.setHasTime(true);
    EXPECT_EQ(day.RFC3339String(), QStringLiteral("2009-01-27T00:00:00-00:00"));
    day.setHasTime(false);
    EXPECT_EQ(day.RFC3339String(), QStringLiteral("2009-01-27"));
}

TEST(DSDateTime, ValuesFromInstantsCarryTheirZone) {
    const QDateTime instant(QDate(2009, 1, 27), QTime(17, 3, 41), QTimeZone::utc());
    const DSDateTime inParis = DSDateTime::dateTimeWithDate(instant, QTimeZone(3600));
    EXPECT_EQ(inParis.RFC3339String(), QStringLiteral("2009-01-27T18:03:41+01:00"));
    EXPECT_EQ(inParis.date(), instant);
    const DSDateTime universal = DSDateTime::dateTimeWithDate(instant, QTimeZone::utc());
    EXPECT_TRUE(universal.isUniversalTime());
    EXPECT_EQ(universal.RFC3339String(), QStringLiteral("2009-01-27T17:03:41Z"));
    EXPECT_EQ(universal, DSDateTime::dateTimeWithDate(instant, QTimeZone::utc()));
    EXPECT_FALSE(universal == inParis);
}

TEST(DSDateTime, TruncatedAndRandomTextsNeverPrintTheUnknownMarker) {
    const QString full = QStringLiteral("2009-01-27T18:03:41.537-08:00");
    QStringList texts;
    for (qsizetype length = 0; length <= full.size(); ++length)
        texts.append(full.left(length));
    QRandomGenerator random(26);
    const QString alphabet = QStringLiteral("0123456789-+:.TZz e");
    for (int i = 0; i < 500; ++i) {
        QString text;
        for (int j = random.bounded(24); j > 0; --j)
            text.append(alphabet[random.bounded(int(alphabet.size()))]);
        texts.append(text);
    }
    texts.append(QStringLiteral("99999999999999999999-1-1T1:1:1e39"));
    for (const QString& text : texts) {
        const DSDateTime dateTime = DSDateTime::dateTimeWithRFC3339String(text);
        const QString written = dateTime.RFC3339String();
        EXPECT_FALSE(written.contains(QStringLiteral("922337"))) << qPrintable(text);
        dateTime.date();
    }
    EXPECT_EQ(DSDateTime::dateTimeWithRFC3339String(QStringLiteral("2009-01")).RFC3339String(), QString(""));
}
