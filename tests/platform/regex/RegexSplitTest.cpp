#include "RegexTestSupport.h"

namespace {

QStringList splitAll(const QString& subject, const QString& regex, RXRegexOptions options = 0) {
    RXError error;
    const QStringList pieces =
        componentsSeparatedByRegex(subject, regex, options, RXMakeRange(0, subject.size()), &error);
    EXPECT_EQ(error.code, 0) << error.localizedFailureReason();
    return pieces;
}

// The line-break pattern the DVD author splits dvdauthor's output with, written with escapes.
const QString lineBreaks = QStringLiteral(R"((?:\r\n|[\n\x0B\f\r\x{85}\p{Zl}\p{Zp}]))");
// The same pattern with the control characters standing as themselves.
const QString lineBreaksLiteral = QString::fromUtf16(u"(?:\r\n|[\n\x0B\f\r\u0085\\p{Zl}\\p{Zp}])");

} // namespace

TEST(RegexSplit, PiecesBetweenSeparators) {
    EXPECT_EQ(splitAll("a,b,c", ","), QStringList({"a", "b", "c"}));
    EXPECT_EQ(splitAll("one  two   three", " +"), QStringList({"one", "two", "three"}));
    EXPECT_EQ(splitAll("abc", ","), QStringList({"abc"}));
}

TEST(RegexSplit, EmptyPiecesAtHeadAndInsideStay) {
    EXPECT_EQ(splitAll(",a,b", ","), QStringList({"", "a", "b"}));
    EXPECT_EQ(splitAll("a,,b", ","), QStringList({"a", "", "b"}));
    EXPECT_EQ(splitAll(",,a", ","), QStringList({"", "", "a"}));
}

TEST(RegexSplit, EmptyPiecesAtTailAreDroppedWhenTextEndsWithSeparator) {
    EXPECT_EQ(splitAll("a,b,", ","), QStringList({"a", "b"}));
    EXPECT_EQ(splitAll("a,b,,,", ","), QStringList({"a", "b"}));
    EXPECT_EQ(splitAll(",,,", ","), QStringList());
    EXPECT_EQ(splitAll("", ","), QStringList());
    // Only the tail goes: the empty piece at the head of a list that keeps a real piece stays.
    EXPECT_EQ(splitAll(",a,,", ","), QStringList({"", "a"}));
}

TEST(RegexSplit, CaptureGroupsFollowThePieceBeforeTheirMatch) {
    EXPECT_EQ(splitAll("a1b2c", "(\\d)"), QStringList({"a", "1", "b", "2", "c"}));
    EXPECT_EQ(splitAll("k=v;x=y", "(=)|(;)"), QStringList({"k", "=", "", "v", "", ";", "x", "=", "", "y"}));
}

TEST(RegexSplit, GroupThatDidNotTakePartGivesNonNullEmptyString) {
    const QStringList pieces = splitAll("a-b", "(-)|(\\+)");
    ASSERT_EQ(pieces, QStringList({"a", "-", "", "b"}));
    EXPECT_FALSE(pieces[2].isNull());
}

TEST(RegexSplit, TailDropTakesTheCapturesRecordedAfterTheEmptyPiece) {
    EXPECT_EQ(splitAll("a1b2", "(\\d)"), QStringList({"a", "1", "b", "2"}));
    // "a" | 1 | "" | 2 <end>: the empty piece and its capture "2" go, "a" and its "1" stay.
    EXPECT_EQ(splitAll("a12", "(\\d)"), QStringList({"a", "1"}));
    EXPECT_EQ(splitAll("12", "(\\d)"), QStringList());
}

TEST(RegexSplit, EmptyMatchAtPreviousEndIsSkipped) {
    EXPECT_EQ(splitAll("abc", ""), QStringList({"a", "b", "c"}));
    EXPECT_EQ(splitAll("abc", "x*"), QStringList({"a", "b", "c"}));
    // "aa" is a real separator; the empty match right after it is not one more.
    EXPECT_EQ(splitAll("baab", "a*"), QStringList({"b", "b"}));
    EXPECT_EQ(splitAll("", ""), QStringList());
}

TEST(RegexSplit, RangeLimitsTheSplitAndAnchorsAtItsBounds) {
    const QString subject = "xx,a,b,yy";
    EXPECT_EQ(componentsSeparatedByRegex(subject, ",", RXMakeRange(3, 3)), QStringList({"a", "b"}));
    // The range ends with a separator: its tail piece is dropped.
    EXPECT_EQ(componentsSeparatedByRegex(subject, ",", RXMakeRange(3, 4)), QStringList({"a", "b"}));
    // The range's start counts as the start of the text for "^".
    EXPECT_EQ(componentsSeparatedByRegex(subject, "^a", RXMakeRange(3, 3)), QStringList({"", ",b"}));
    EXPECT_EQ(componentsSeparatedByRegex(subject, "^,", RXMakeRange(3, 3)), QStringList({"a,b"}));
    EXPECT_EQ(componentsSeparatedByRegex(subject, ",", RXMakeRange(4, 0)), QStringList());
}

TEST(RegexSplit, RangesAreUtf16Units) {
    const QString subject = QString::fromUtf16(u"\U0001F600,x,\U0001F601");
    EXPECT_EQ(splitAll(subject, ","),
              QStringList({QString::fromUtf16(u"\U0001F600"), "x", QString::fromUtf16(u"\U0001F601")}));
    EXPECT_EQ(componentsSeparatedByRegex(subject, ",", RXMakeRange(2, 3)), QStringList({"", "x"}));
}

TEST(RegexSplit, OptionsReachTheCompiler) {
    EXPECT_EQ(splitAll("aXbxc", "x"), QStringList({"aXb", "c"}));
    EXPECT_EQ(splitAll("aXbxc", "x", RXCaseless), QStringList({"a", "b", "c"}));
    EXPECT_EQ(splitAll("a\nb\nc", "^"), QStringList({"a\nb\nc"}));
    EXPECT_EQ(splitAll("a\nb\nc", "^", RXMultiline), QStringList({"a\n", "b\n", "c"}));
    EXPECT_EQ(splitAll("a\nb", "a.b"), QStringList({"a\nb"}));
    EXPECT_EQ(splitAll("xa\nby", "a.b", RXDotAll), QStringList({"x", "y"}));
    EXPECT_EQ(splitAll("1a2", "a  # the letter", RXComments), QStringList({"1", "2"}));
}

TEST(RegexSplit, DvdauthorStatusOutputSplitsIntoLines) {
    const QString chunk = "STAT: VOBU 1 at 1MB, 1 PGCs\rSTAT: VOBU 2 at 2MB, 1 PGCs\r\nINFO: done\n";
    const QStringList expected = {"STAT: VOBU 1 at 1MB, 1 PGCs", "STAT: VOBU 2 at 2MB, 1 PGCs", "INFO: done"};
    EXPECT_EQ(splitAll(chunk, lineBreaks, RXMultiline), expected);
    EXPECT_EQ(splitAll(chunk, lineBreaksLiteral, RXMultiline), expected);
}

TEST(RegexSplit, DvdauthorLineBreakRules) {
    for (const QString& pattern : {lineBreaks, lineBreaksLiteral}) {
        EXPECT_EQ(splitAll("a\nb\n", pattern, RXMultiline), QStringList({"a", "b"}));
        EXPECT_EQ(splitAll("a\r\nb", pattern, RXMultiline), QStringList({"a", "b"}));
        EXPECT_EQ(splitAll("a\n\nb", pattern, RXMultiline), QStringList({"a", "", "b"}));
        EXPECT_EQ(splitAll("a\r\rb", pattern, RXMultiline), QStringList({"a", "", "b"}));
        EXPECT_EQ(splitAll("a\n\r\nb", pattern, RXMultiline), QStringList({"a", "", "b"}));
        EXPECT_EQ(splitAll("", pattern, RXMultiline), QStringList());
        EXPECT_EQ(splitAll("\n\n\n", pattern, RXMultiline), QStringList());
        EXPECT_EQ(splitAll("\r\n", pattern, RXMultiline), QStringList());
        EXPECT_EQ(splitAll("no break here", pattern, RXMultiline), QStringList({"no break here"}));
        EXPECT_EQ(splitAll("\nlead", pattern, RXMultiline), QStringList({"", "lead"}));
    }
}

TEST(RegexSplit, DvdauthorLineBreakPatternKnowsUnicodeSeparators) {
    const QString text = QString::fromUtf16(u"a\x0B"
                                            "b\f"
                                            "c\u0085"
                                            "d\u2028"
                                            "e\u2029"
                                            "f");
    EXPECT_EQ(splitAll(text, lineBreaks, RXMultiline), QStringList({"a", "b", "c", "d", "e", "f"}));
}

TEST(RegexSplit, SameSubjectAgainAndAfterChangeGivesFreshResults) {
    QString text = "a,b";
    EXPECT_EQ(componentsSeparatedByRegex(text, ","), QStringList({"a", "b"}));
    EXPECT_EQ(componentsSeparatedByRegex(text, ","), QStringList({"a", "b"}));
    text[1] = QLatin1Char(';');
    EXPECT_EQ(componentsSeparatedByRegex(text, ","), QStringList({"a;b"}));
    text.append(",c");
    EXPECT_EQ(componentsSeparatedByRegex(text, ","), QStringList({"a;b", "c"}));
}
