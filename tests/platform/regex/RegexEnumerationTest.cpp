#include "RegexTestSupport.h"

#include <stdexcept>
#include <vector>

namespace {

struct Call {
    qsizetype count;
    QStringList strings;
    std::vector<RXRange> ranges;
};

// Records every block call; stops after `stopAfter` calls when positive.
RXEnumerationBlock recorder(std::vector<Call>& calls, int stopAfter = 0) {
    return [&calls, stopAfter](qsizetype count, std::span<const QString> strings,
                               std::span<const RXRange> ranges, bool& stop) {
        calls.push_back({count, QStringList(strings.begin(), strings.end()), {ranges.begin(), ranges.end()}});
        stop = stopAfter > 0 && int(calls.size()) == stopAfter;
    };
}

} // namespace

TEST(RegexEnumeration, MatchesWithCapturesAndRanges) {
    std::vector<Call> calls;
    EXPECT_TRUE(enumerateStringsMatchedByRegex("x=1 y= z=3", "(\\w)=(\\d)?", recorder(calls)));
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].count, 3);
    EXPECT_EQ(calls[0].strings, QStringList({"x=1", "x", "1"}));
    EXPECT_EQ(calls[1].strings, QStringList({"y=", "y", ""}));
    EXPECT_EQ(calls[1].ranges[0], RXMakeRange(4, 2));
    EXPECT_EQ(calls[1].ranges[2], RXRange::notFound());
    EXPECT_EQ(calls[2].ranges[2], RXMakeRange(9, 1));
}

TEST(RegexEnumeration, StopFlagEndsAfterThatCall) {
    std::vector<Call> calls;
    EXPECT_TRUE(enumerateStringsMatchedByRegex("a1b2c3", "\\d", recorder(calls, 2)));
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].strings, QStringList({"2"}));

    std::vector<Call> pieces;
    EXPECT_TRUE(enumerateStringsSeparatedByRegex("a,b,c", ",", recorder(pieces, 1)));
    EXPECT_EQ(pieces.size(), 1u);
}

TEST(RegexEnumeration, RangesOnlyAndRangeLimit) {
    std::vector<Call> calls;
    EXPECT_TRUE(enumerateStringsMatchedByRegex("a1b2c3", "[a-z](\\d)", RXNoOptions, RXMakeRange(2, 4),
                                               nullptr, RXRegexEnumerationCapturedStringsNotRequired,
                                               recorder(calls)));
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_TRUE(calls[0].strings.isEmpty());
    EXPECT_EQ(calls[0].count, 2);
    EXPECT_EQ(calls[0].ranges, std::vector<RXRange>({RXMakeRange(2, 2), RXMakeRange(3, 1)}));
    EXPECT_EQ(calls[1].ranges, std::vector<RXRange>({RXMakeRange(4, 2), RXMakeRange(5, 1)}));
}

TEST(RegexEnumeration, TransientStringsStayValidInCopies) {
    QStringList kept;
    EXPECT_TRUE(enumerateStringsMatchedByRegex(
        "ab cd ef", "\\w+", 0, RXMakeRange(0, 8), nullptr, RXRegexEnumerationTransientCapturedStrings,
        [&](qsizetype, std::span<const QString> strings, auto, bool&) { kept.append(strings[0]); }));
    EXPECT_EQ(kept, QStringList({"ab", "cd", "ef"}));
}

TEST(RegexEnumeration, SeparatedPiecesFollowTheSplitRules) {
    std::vector<Call> calls;
    EXPECT_TRUE(enumerateStringsSeparatedByRegex(",a1b2c,,", "(\\d)|,", recorder(calls)));
    // Pieces "", "a", "b", "c"; the empty pieces after "c" at the tail are dropped.
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].strings, QStringList({"", ""}));
    EXPECT_EQ(calls[1].strings, QStringList({"a", "1"}));
    EXPECT_EQ(calls[1].ranges, std::vector<RXRange>({RXMakeRange(1, 1), RXMakeRange(2, 1)}));
    EXPECT_EQ(calls[3].strings, QStringList({"c", ""}));
    EXPECT_EQ(calls[3].ranges[1], RXRange::notFound());

    std::vector<Call> last;
    EXPECT_TRUE(enumerateStringsSeparatedByRegex("a1b", "(\\d)", recorder(last)));
    ASSERT_EQ(last.size(), 2u);
    // The last piece has no match after it.
    EXPECT_EQ(last[1].strings, QStringList({"b", ""}));
    EXPECT_EQ(last[1].ranges[1], RXRange::notFound());
}

TEST(RegexEnumeration, BlockMayCallTheRoutinesItself) {
    QStringList words;
    EXPECT_TRUE(enumerateStringsSeparatedByRegex("a b\nc d", "\n", [&](qsizetype, auto strings, auto, bool&) {
        words += componentsSeparatedByRegex(strings[0], " ");
        EXPECT_TRUE(enumerateStringsMatchedByRegex(strings[0], "\\w", [](auto, auto, auto, bool&) {}));
    }));
    EXPECT_EQ(words, QStringList({"a", "b", "c", "d"}));
}

TEST(RegexEnumeration, ExceptionFromTheBlockPassesThrough) {
    EXPECT_THROW(enumerateStringsMatchedByRegex(
                     "abc", ".", [](auto, auto, auto, bool&) { throw std::runtime_error("block"); }),
                 std::runtime_error);
    EXPECT_EQ(componentsMatchedByRegex("abc", "."), QStringList({"a", "b", "c"}));
}

TEST(RegexEnumeration, FailureInsideTheEnumerationBecomesAnErrorObject) {
    const QString subject(200000, QLatin1Char('a'));
    RXError error;
    bool called = false;
    EXPECT_FALSE(enumerateStringsMatchedByRegex(subject, "(a|b)*c", 0, RXMakeRange(0, subject.size()), &error,
                                                0, [&](auto, auto, auto, bool&) { called = true; }));
    EXPECT_FALSE(called);
    EXPECT_EQ(error.domain, QStringLiteral("RXICURegexErrorDomain"));
    EXPECT_EQ(error.localizedDescription(), QStringLiteral("An unexpected error occurred."));
    EXPECT_EQ(error.userInfo.value("RXICURegexErrorName").toString(),
              QStringLiteral("U_REGEX_STACK_OVERFLOW"));
    EXPECT_THROW(enumerateStringsMatchedByRegex(subject, "(a|b)*c", [](auto, auto, auto, bool&) {}),
                 RXICURegexException);
}
