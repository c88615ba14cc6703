#include "webservice/BaseClasses/DSUtilities.h"
#include "support/TempDir.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QFile>

using namespace DSUtilities;

TEST(DSUtilities, ControlCharactersGoExceptTabAndLineEnds) {
    EXPECT_EQ(
        stringWithControlsFilteredForString(QStringLiteral("a\tb\nc\rd\u000Be\u000Cf\u200Dg\u0000h\uFEFF")),
        QStringLiteral("a\tb\nc\rdefgh"));
    EXPECT_EQ(stringWithControlsFilteredForString(QString::fromUcs4(U"x\U000E0001y")), QStringLiteral("xy"));
    EXPECT_TRUE(stringWithControlsFilteredForString(QString()).isNull());
}

TEST(DSUtilities, UserAgentTokensAndInfiniteNumbers) {
    EXPECT_EQ(userAgentStringForString(QStringLiteral("My App (Mac)/1.0")), QStringLiteral("My_App_Mac1.0"));
    EXPECT_EQ(userAgentStringForString(QStringLiteral("a<b>@,;:\\\"[]?={}\tc")), QStringLiteral("abc"));
    EXPECT_EQ(doubleNumberOrInfForString(QStringLiteral("inf")), std::numeric_limits<double>::infinity());
    EXPECT_EQ(doubleNumberOrInfForString(QStringLiteral("-INF")), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(doubleNumberOrInfForString(QStringLiteral("0")), 0.0);
    EXPECT_EQ(doubleNumberOrInfForString(QStringLiteral(" 2.5e2xyz")), 250.0);
    EXPECT_FALSE(doubleNumberOrInfForString(QStringLiteral("")));
}

TEST(DSUtilities, PercentEncodersEscapeTheirOwnSets) {
    for (const QChar reserved : QStringLiteral("!*'();:@&=+$,/?%#[] ")) {
        const QString encoded = stringByURLEncodingForURI(QString(reserved));
        EXPECT_EQ(encoded,
                  QStringLiteral("%%1").arg(int(reserved.unicode()), 2, 16, QLatin1Char('0')).toUpper())
            << reserved.toLatin1();
    }
    EXPECT_EQ(stringByURLEncodingForURI(QStringLiteral("aZ09-._~")), QStringLiteral("aZ09-._~"));
    EXPECT_EQ(stringByURLEncodingStringParameter(QStringLiteral("a b&c")), QStringLiteral("a+b%26c"));
    EXPECT_EQ(stringByURLEncodingString(QStringLiteral("http://h/p?q=a b<é#f")),
              QStringLiteral("http://h/p?q=a%20b%3C%C3%A9#f"));
    EXPECT_EQ(stringByPercentEncodingUTF8ForString(QStringLiteral("50%")), QStringLiteral("50%25"));
    EXPECT_EQ(stringByPercentEncodingUTF8ForString(QStringLiteral("é\n~")), QStringLiteral("%C3%A9%0A~"));
}

TEST(DSUtilities, VersionsCompareByTheirFirstFourNumbers) {
    const struct {
        const char* a;
        const char* b;
        int order;
    } cases[] = {{"1.2", "1.10", -1},           {nullptr, "0", 0}, {"1.12", "1.12.0", 0}, {"2", "1.9", 1},
                 {"1.2.3.4.5", "1.2.3.4.9", 0}, {"1.x", "1.0", 0}, {"3.0", "3.0.1", -1}};
    for (const auto& c : cases)
        EXPECT_EQ(compareVersion(QString::fromLatin1(c.a), QString::fromLatin1(c.b)), c.order)
            << c.a << " " << c.b;
    EXPECT_EQ(DSLibraryVersionString(), QStringLiteral("1.12"));
}

TEST(DSUtilities, ReplyBodiesAndSearches) {
    const auto reply = dictionaryWithResponseData("SID=abc\nAuth=x=y\nbad\n=nokey\nSID=def\n");
    ASSERT_TRUE(reply);
    EXPECT_EQ(*reply, (QMap<QString, QString>{{QStringLiteral("SID"), QStringLiteral("def")},
                                              {QStringLiteral("Auth"), QStringLiteral("x=y")}}));
    EXPECT_FALSE(dictionaryWithResponseString(QString()));

    const QList<QVariant> items{QStringLiteral("a"), QVariant(), QStringLiteral("b"), QVariant()};
    const auto same = [](const QVariant& item) { return item; };
    EXPECT_EQ(objectsFromArray(items, QVariant(), same).size(), 2);
    EXPECT_EQ(objectsFromArray(items, QStringLiteral("b"), same), QList<QVariant>{QStringLiteral("b")});
    EXPECT_FALSE(firstObjectFromArray(items, QStringLiteral("z"), same));
}

TEST(DSUtilities, MIMETypesComeFromTheFileName) {
    TempDir dir;
    for (const char* name : {"clip.mp4", "odd.zzqq"}) {
        QFile file(dir.file(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    const QString fallback = QStringLiteral("application/x-fallback");
    EXPECT_EQ(MIMETypeForFileAtPath(dir.file(QStringLiteral("clip.mp4")), fallback),
              QStringLiteral("video/mp4"));
    EXPECT_EQ(MIMETypeForFileAtPath(dir.file(QStringLiteral("odd.zzqq")), fallback), fallback);
    EXPECT_EQ(MIMETypeForFileAtPath(dir.file(QStringLiteral("missing.mp4")), fallback), fallback);
}
