#include "RegexTestSupport.h"

TEST(RegexMatch, FirstMatchRangeAndCaptures) {
    const QString subject = "key=value; other=thing";
    EXPECT_TRUE(isMatchedByRegex(subject, "=\\w+;"));
    EXPECT_FALSE(isMatchedByRegex(subject, "\\d"));
    EXPECT_EQ(rangeOfRegex(subject, "(\\w+)=(\\w+)"), RXMakeRange(0, 9));
    EXPECT_EQ(rangeOfRegex(subject, "(\\w+)=(\\w+)", 2), RXMakeRange(4, 5));
    EXPECT_EQ(stringByMatching(subject, "(\\w+)=(\\w+)", 1), QStringLiteral("key"));
    EXPECT_EQ(rangeOfRegex(subject, "\\d"), RXRange::notFound());
    EXPECT_TRUE(stringByMatching(subject, "\\d").isNull());
}

TEST(RegexMatch, CaptureThatDidNotTakePartIsNotFound) {
    EXPECT_EQ(rangeOfRegex("ab", "a(x)?b", 1), RXRange::notFound());
    EXPECT_TRUE(stringByMatching("ab", "a(x)?b", 1).isNull());
    EXPECT_EQ(stringByMatching("ab", "a(x)?b", 0), QStringLiteral("ab"));
    // An empty capture that did take part is an empty, non-null string.
    const QString empty = stringByMatching("ab", "a(x*)b", 1);
    EXPECT_TRUE(empty.isEmpty());
    EXPECT_FALSE(empty.isNull());
}

TEST(RegexMatch, RangeLimitsTheSearch) {
    const QString subject = "abc abc";
    EXPECT_EQ(rangeOfRegex(subject, "abc", RXMakeRange(1, 6)), RXMakeRange(4, 3));
    EXPECT_FALSE(isMatchedByRegex(subject, "abc", RXMakeRange(1, 5)));
    EXPECT_EQ(stringByMatching(subject, "^a..", RXMakeRange(4, 3)), QStringLiteral("abc"));
    EXPECT_EQ(stringByMatching(subject, "c$", RXMakeRange(0, 3)), QStringLiteral("c"));
    EXPECT_EQ(rangeOfRegex(subject, "b", RXCaseless, RXMakeRange(2, 5), 0, nullptr), RXMakeRange(5, 1));
}

TEST(RegexMatch, RepeatedAndInterleavedSearchesStayCorrect) {
    const QString subject = "a1 b2 c3";
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(rangeOfRegex(subject, "\\d", RXMakeRange(0, 8)), RXMakeRange(1, 1));
        EXPECT_EQ(rangeOfRegex(subject, "\\d", RXMakeRange(2, 6)), RXMakeRange(4, 1));
        EXPECT_EQ(rangeOfRegex(subject, "\\d", RXMakeRange(5, 3)), RXMakeRange(7, 1));
        EXPECT_EQ(componentsMatchedByRegex(subject, "\\d"), QStringList({"1", "2", "3"}));
        EXPECT_EQ(stringByMatching(subject, "(\\w)(\\d)", 2), QStringLiteral("1"));
    }
    // The same pattern on another subject of the same length.
    EXPECT_EQ(rangeOfRegex("x9 y8 z7", "\\d", RXMakeRange(2, 6)), RXMakeRange(4, 1));
}

TEST(RegexMatch, SubjectChangedUnderTheSamePointerIsSeenAfresh) {
    // A raw-data string keeps the caller's buffer: same address and length, different characters.
    char16_t characters[] = u"cat hat";
    const QString view = QString::fromRawData(reinterpret_cast<const QChar*>(characters), 7);
    EXPECT_EQ(rangeOfRegex(view, "hat"), RXMakeRange(4, 3));
    characters[0] = u'h';
    EXPECT_EQ(rangeOfRegex(view, "hat"), RXMakeRange(0, 3));
    flushCachedRegexData(view);
    characters[0] = u'c';
    EXPECT_EQ(rangeOfRegex(view, "hat"), RXMakeRange(4, 3));
}

TEST(RegexMatch, ComponentsOfEveryMatch) {
    EXPECT_EQ(componentsMatchedByRegex("a1b22c333", "\\d+"), QStringList({"1", "22", "333"}));
    EXPECT_EQ(componentsMatchedByRegex("k1=v1,k2=v2", "(\\w+)=(\\w+)", 2), QStringList({"v1", "v2"}));
    EXPECT_EQ(componentsMatchedByRegex("a1b22c333", "\\d+", RXMakeRange(2, 4)), QStringList({"22"}));
    EXPECT_EQ(componentsMatchedByRegex("a1b22c333", "\\d+", RXMakeRange(2, 5)), QStringList({"22", "3"}));
    EXPECT_EQ(componentsMatchedByRegex("abc", "\\d"), QStringList());
    // Empty matches: each is followed by a search one unit further on.
    EXPECT_EQ(componentsMatchedByRegex("baaac", "a*"), QStringList({"", "aaa", "", ""}));
    EXPECT_EQ(componentsMatchedByRegex("ab", "(x)?(a|b)", RXNoOptions, RXMakeRange(0, 2), 1, nullptr),
              QStringList({"", ""}));
}

TEST(RegexMatch, CaptureComponents) {
    EXPECT_EQ(captureComponentsMatchedByRegex("x=1 y=2", "(\\w)=(\\d)"), QStringList({"x=1", "x", "1"}));
    EXPECT_EQ(captureComponentsMatchedByRegex("x=1 y=2", "(\\w)=(\\d)", RXMakeRange(1, 6)),
              QStringList({"y=2", "y", "2"}));
    EXPECT_EQ(captureComponentsMatchedByRegex("ab", "a(x)?(b)"), QStringList({"ab", "", "b"}));
    EXPECT_EQ(captureComponentsMatchedByRegex("ab", "z(.)"), QStringList());

    const QList<QStringList> all = arrayOfCaptureComponentsMatchedByRegex("x=1 y= z=3", "(\\w)=(\\d)?");
    ASSERT_EQ(all.size(), 3);
    EXPECT_EQ(all[0], QStringList({"x=1", "x", "1"}));
    EXPECT_EQ(all[1], QStringList({"y=", "y", ""}));
    EXPECT_EQ(all[2], QStringList({"z=3", "z", "3"}));
    EXPECT_TRUE(arrayOfCaptureComponentsMatchedByRegex("abc", "\\d").isEmpty());
}

TEST(RegexMatch, Dictionaries) {
    const QString subject = "name: Ada, year: 1815; name: Alan";
    const QString pattern = "name: (\\w+)(?:, year: (\\d+))?";
    const RXCaptureDictionary first = dictionaryByMatchingRegex(subject, pattern, {{"name", 1}, {"year", 2}});
    EXPECT_EQ(first, RXCaptureDictionary({{"name", "Ada"}, {"year", "1815"}}));

    const QList<RXCaptureDictionary> all =
        arrayOfDictionariesByMatchingRegex(subject, pattern, {{"name", 1}, {"year", 2}, {"whole", 0}});
    ASSERT_EQ(all.size(), 2);
    EXPECT_EQ(all[1], RXCaptureDictionary({{"name", "Alan"}, {"year", ""}, {"whole", "name: Alan"}}));

    const QString keys[] = {"name"};
    const qsizetype captures[] = {1};
    EXPECT_EQ(dictionaryByMatchingRegex(subject, pattern, 0, RXMakeRange(23, 10), nullptr, keys, captures, 1),
              RXCaptureDictionary({{"name", "Alan"}}));
    EXPECT_TRUE(dictionaryByMatchingRegex(subject, "\\d{9}", {{"k", 0}}).isEmpty());
    // Without keys each match still gives a (empty) dictionary.
    EXPECT_EQ(arrayOfDictionariesByMatchingRegex(subject, "name", {}).size(), 2);
}

TEST(RegexMatch, EmptyAndNullSubjects) {
    EXPECT_TRUE(isMatchedByRegex(QString(), "^$"));
    EXPECT_EQ(rangeOfRegex(QString(), "x*"), RXMakeRange(0, 0));
    EXPECT_EQ(componentsSeparatedByRegex(QString(), ","), QStringList());
    EXPECT_EQ(componentsMatchedByRegex(QString(), "x*"), QStringList({""}));
    EXPECT_EQ(componentsMatchedByRegex(QString(), "x*"), QStringList({""}));
}

TEST(RegexMatch, EmptyMatchAtTheEndIsFoundByEveryNewOperation) {
    // A walk that ended after an empty match at the end must not colour the next operation's answer.
    const QString subject = "ab";
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(componentsMatchedByRegex(subject, "$"), QStringList({""}));
        EXPECT_EQ(rangeOfRegex(subject, "$"), RXMakeRange(2, 0));
        EXPECT_EQ(rangeOfRegex(subject, "$", RXMakeRange(2, 0)), RXMakeRange(2, 0));
        EXPECT_EQ(componentsMatchedByRegex(subject, "$", RXMakeRange(2, 0)), QStringList({""}));
        EXPECT_TRUE(isMatchedByRegex(subject, "$", RXMakeRange(2, 0)));
    }
}
