#include "RegexTestSupport.h"

namespace {

QString upperCaseMatch(qsizetype, std::span<const QString> strings, std::span<const RXRange>, bool&) {
    return strings[0].toUpper();
}

} // namespace

TEST(RegexReplace, TemplateCapturesAndEscapes) {
    EXPECT_EQ(stringByReplacingOccurrencesOfRegex("John Smith", "(\\w+) (\\w+)", "$2, $1"),
              QStringLiteral("Smith, John"));
    EXPECT_EQ(stringByReplacingOccurrencesOfRegex("a1b2", "\\d", "<$0>"), QStringLiteral("a<1>b<2>"));
    EXPECT_EQ(stringByReplacingOccurrencesOfRegex("cost 5", "(\\d)", "\\$$1"), QStringLiteral("cost $5"));
    EXPECT_EQ(stringByReplacingOccurrencesOfRegex("a\\b", "\\\\", "\\\\\\\\"), QStringLiteral("a\\\\b"));
    // A group that did not take part is replaced by nothing.
    EXPECT_EQ(stringByReplacingOccurrencesOfRegex("ab", "a(x)?", "[$1]"), QStringLiteral("[]b"));
    EXPECT_EQ(stringByReplacingOccurrencesOfRegex("aXa", "x", "-", RXCaseless, RXMakeRange(0, 3), nullptr),
              QStringLiteral("a-a"));
}

TEST(RegexReplace, NoMatchAnswersAnEqualString) {
    const QString subject = "nothing to see";
    const QString replaced = stringByReplacingOccurrencesOfRegex(subject, "\\d", "x");
    EXPECT_EQ(replaced, subject);
    EXPECT_EQ(replaced.constData(), subject.constData()); // the subject itself, not a copy
}

TEST(RegexReplace, RangeKeepsTheTextAroundIt) {
    EXPECT_EQ(stringByReplacingOccurrencesOfRegex("a-a-a-a", "a", "b", RXMakeRange(2, 3)),
              QStringLiteral("a-b-b-a"));
    // "^" anchors at the range's start.
    EXPECT_EQ(stringByReplacingOccurrencesOfRegex("xx yy", "^y", "Y", RXMakeRange(3, 2)),
              QStringLiteral("xx Yy"));
}

TEST(RegexReplace, EmptyMatchesInsertBetweenEveryCharacter) {
    EXPECT_EQ(stringByReplacingOccurrencesOfRegex("abc", "", "-"), QStringLiteral("-a-b-c-"));
    EXPECT_EQ(stringByReplacingOccurrencesOfRegex("", "x*", "!"), QStringLiteral("!"));
}

TEST(RegexReplace, ResultLongerThanTheFirstBufferIsComplete) {
    // 10 matches of 8 units each exceed the first buffer of 10 + 5 + 2 * 16 + 16 units.
    const QString subject(10, QLatin1Char('a'));
    const QString expected(80, QLatin1Char('a'));
    EXPECT_EQ(stringByReplacingOccurrencesOfRegex(subject, "(a)", "$1$1$1$1$1$1$1$1"), expected);
    const QString big(5000, QLatin1Char('z'));
    EXPECT_EQ(stringByReplacingOccurrencesOfRegex(big, "z", "$0$0$0"), QString(15000, QLatin1Char('z')));
}

TEST(RegexReplace, InPlaceCountsAndChangesOnlyTheRange) {
    QString text = "a1b22c333";
    EXPECT_EQ(replaceOccurrencesOfRegex(text, "\\d+", "#"), 3);
    EXPECT_EQ(text, QStringLiteral("a#b#c#"));
    EXPECT_EQ(replaceOccurrencesOfRegex(text, "\\d", "#"), 0);
    EXPECT_EQ(text, QStringLiteral("a#b#c#"));
    EXPECT_EQ(replaceOccurrencesOfRegex(text, "#", "[$0]", RXMakeRange(2, 2)), 1);
    EXPECT_EQ(text, QStringLiteral("a#b[#]c#"));
    RXError error;
    EXPECT_EQ(replaceOccurrencesOfRegex(text, "B", "x", RXCaseless, RXMakeRange(0, text.size()), &error), 1);
    EXPECT_EQ(text, QStringLiteral("a#x[#]c#"));
    // Later operations see the changed string.
    EXPECT_EQ(componentsSeparatedByRegex(text, "#"), QStringList({"a", "x[", "]c"}));
}

TEST(RegexReplace, ByBlock) {
    EXPECT_EQ(stringByReplacingOccurrencesOfRegex("one two", "\\w+", upperCaseMatch),
              QStringLiteral("ONE TWO"));
    const auto bracketGroups = [](qsizetype count, std::span<const QString> strings, std::span<const RXRange>,
                                  bool&) {
        EXPECT_EQ(count, 3);
        return QStringLiteral("[%1|%2]").arg(strings[1], strings[2]);
    };
    EXPECT_EQ(stringByReplacingOccurrencesOfRegex("x=1;y=;", "(\\w)=(\\d)?", bracketGroups),
              QStringLiteral("[x|1];[y|];"));
    // A null answer replaces the match with nothing.
    EXPECT_EQ(
        stringByReplacingOccurrencesOfRegex("a1b", "\\d", [](auto, auto, auto, bool&) { return QString(); }),
        QStringLiteral("ab"));
    EXPECT_EQ(stringByReplacingOccurrencesOfRegex("abc", "\\d", upperCaseMatch), QStringLiteral("abc"));
}

TEST(RegexReplace, ByBlockStopsAndKeepsTheRest) {
    int calls = 0;
    const auto firstTwo = [&](qsizetype, std::span<const QString>, std::span<const RXRange>, bool& stop) {
        stop = ++calls == 2;
        return QStringLiteral("#");
    };
    EXPECT_EQ(
        stringByReplacingOccurrencesOfRegex("a1b2c3d4", "\\d", 0, RXMakeRange(0, 8), nullptr, 0, firstTwo),
        QStringLiteral("a#b#c3d4"));
    EXPECT_EQ(calls, 2);
}

TEST(RegexReplace, ByBlockInPlaceWithRangesOnly) {
    QString text = "a1b2c3";
    const auto positions = [](qsizetype, std::span<const QString> strings, std::span<const RXRange> ranges,
                              bool&) {
        EXPECT_TRUE(strings.empty());
        return QString::number(ranges[0].location);
    };
    EXPECT_EQ(replaceOccurrencesOfRegex(text, "\\d", 0, RXMakeRange(2, 4), nullptr,
                                        RXRegexEnumerationCapturedStringsNotRequired, positions),
              2);
    EXPECT_EQ(text, QStringLiteral("a1b3c5"));
    EXPECT_EQ(replaceOccurrencesOfRegex(text, "z", upperCaseMatch), 0);
    EXPECT_EQ(text, QStringLiteral("a1b3c5"));
    EXPECT_EQ(replaceOccurrencesOfRegex(text, "[a-z]", upperCaseMatch), 3);
    EXPECT_EQ(text, QStringLiteral("A1B3C5"));
}
