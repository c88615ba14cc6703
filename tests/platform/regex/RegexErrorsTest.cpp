#include "RegexTestSupport.h"

#include <unicode/utypes.h>

namespace {

QVariant info(const RXError& error, const char* key) {
    return error.userInfo.value(QLatin1String(key));
}

} // namespace

TEST(RegexErrors, InvalidPatternGivesErrorObjectAndNoPieces) {
    RXError error;
    const QStringList pieces =
        componentsSeparatedByRegex("a(b", "a(b", RXCaseless, RXMakeRange(0, 3), &error);
    EXPECT_TRUE(pieces.isEmpty());
    EXPECT_EQ(error.domain, QStringLiteral("RXICURegexErrorDomain"));
    EXPECT_EQ(error.code, U_REGEX_MISMATCHED_PAREN);
    EXPECT_EQ(info(error, "RXICURegexErrorName").toString(), QStringLiteral("U_REGEX_MISMATCHED_PAREN"));
    EXPECT_EQ(info(error, "RXICURegexErrorCode").toInt(), int(U_REGEX_MISMATCHED_PAREN));
    EXPECT_EQ(info(error, "RXICURegexRegex").toString(), QStringLiteral("a(b"));
    EXPECT_EQ(info(error, "RXICURegexRegexOptions").toUInt(), RXCaseless);
    EXPECT_EQ(info(error, "RXICURegexLine").toInt(), 1);
    EXPECT_EQ(info(error, "RXICURegexOffset").toInt(), 3);
    EXPECT_EQ(info(error, "RXICURegexPreContext").toString(), QStringLiteral("a(b"));
    EXPECT_EQ(info(error, "RXICURegexPostContext").toString(), QString());
    EXPECT_EQ(error.localizedDescription(),
              QStringLiteral("There was an error compiling the regular expression."));
    EXPECT_EQ(error.localizedFailureReason(),
              QStringLiteral("The error U_REGEX_MISMATCHED_PAREN occurred at line 1, column 3: a(b<<HERE>>"));
}

TEST(RegexErrors, ErrorContextSplitsAroundThePosition) {
    RXError error;
    EXPECT_FALSE(isRegexValidWithOptions("ab[c", 0, &error));
    EXPECT_EQ(error.code, U_REGEX_MISSING_CLOSE_BRACKET);
    EXPECT_EQ(info(error, "RXICURegexErrorName").toString(), QStringLiteral("U_REGEX_MISSING_CLOSE_BRACKET"));

    EXPECT_FALSE(isRegexValidWithOptions("a{2,1}b", 0, &error));
    EXPECT_EQ(info(error, "RXICURegexErrorName").toString(), QStringLiteral("U_REGEX_MAX_LT_MIN"));
    const QString pre = info(error, "RXICURegexPreContext").toString();
    const QString post = info(error, "RXICURegexPostContext").toString();
    EXPECT_EQ(pre + post, QStringLiteral("a{2,1}b"));
    EXPECT_GE(info(error, "RXICURegexOffset").toInt(), pre.size());
}

TEST(RegexErrors, InvalidPatternNeverRaisesAndEveryFormAnswersItsFailureValue) {
    const QString bad = "(";
    QString text = "abc";
    EXPECT_NO_THROW(componentsSeparatedByRegex(text, bad));
    EXPECT_EQ(captureCountForRegex(bad), -1);
    EXPECT_EQ(captureCount(bad), -1);
    EXPECT_FALSE(isRegexValid(bad));
    EXPECT_FALSE(isMatchedByRegex(text, bad));
    EXPECT_FALSE(rangeOfRegex(text, bad).found());
    EXPECT_TRUE(stringByMatching(text, bad).isNull());
    EXPECT_TRUE(stringByReplacingOccurrencesOfRegex(text, bad, "x").isNull());
    EXPECT_TRUE(componentsMatchedByRegex(text, bad).isEmpty());
    EXPECT_TRUE(dictionaryByMatchingRegex(text, bad, {{"k", 7}}).isEmpty());
    EXPECT_EQ(replaceOccurrencesOfRegex(text, bad, "x"), -1);
    EXPECT_EQ(text, QStringLiteral("abc"));
    bool called = false;
    RXError error;
    EXPECT_FALSE(enumerateStringsMatchedByRegex(text, bad, 0, RXMakeRange(0, 3), &error, 0,
                                                [&](qsizetype, auto, auto, bool&) { called = true; }));
    EXPECT_FALSE(called);
    EXPECT_EQ(error.code, U_REGEX_MISMATCHED_PAREN);
}

TEST(RegexErrors, ValidPatternsReportTheirCaptureCount) {
    EXPECT_EQ(captureCountForRegex("a(b)(c(d))"), 3);
    EXPECT_EQ(captureCount("(?:x)(y)"), 1);
    EXPECT_EQ(captureCountWithOptions("abc", RXCaseless, nullptr), 0);
    EXPECT_TRUE(isRegexValid(""));
    // Options are validated by the compiler as well.
    RXError error;
    EXPECT_EQ(captureCountForRegex("a", 0x40000000u, &error), -1);
    EXPECT_EQ(info(error, "RXICURegexErrorName").toString(), QStringLiteral("U_REGEX_INVALID_FLAG"));
    EXPECT_EQ(error.localizedFailureReason(), QStringLiteral("The error U_REGEX_INVALID_FLAG occurred."));
}

TEST(RegexErrors, NullPatternRaisesInvalidArgument) {
    const QString reason = reasonFor("componentsSeparatedByRegex:options:range:error:",
                                     "The regular expression argument is NULL.");
    const QString name = expectRaises<NSInvalidArgumentException>(
        [] { componentsSeparatedByRegex("abc", QString(), 0, RXMakeRange(0, 3), nullptr); }, reason);
    EXPECT_EQ(name, QStringLiteral("NSInvalidArgumentException"));
    expectRaises<NSInvalidArgumentException>(
        [] { captureCountForRegex(QString()); },
        reasonFor("captureCountForRegex:", "The regular expression argument is NULL.", '+'));
    expectRaises<NSInvalidArgumentException>(
        [] { isRegexValid(QString()); },
        reasonFor("isRegexValid", "The regular expression argument is NULL."));
    // The empty pattern is a pattern; only the null string stands for a missing one.
    EXPECT_NO_THROW(componentsSeparatedByRegex("abc", QStringLiteral("")));
}

TEST(RegexErrors, RangeOutsideSubjectRaisesRangeException) {
    const QString reason =
        reasonFor("componentsSeparatedByRegex:options:range:error:", "Range or index out of bounds.");
    EXPECT_EQ(
        reason,
        QStringLiteral(
            "*** -[QString componentsSeparatedByRegex:options:range:error:]: Range or index out of bounds."));
    const QString name = expectRaises<NSRangeException>(
        [] { componentsSeparatedByRegex("abc", ",", 0, RXMakeRange(1, 3), nullptr); }, reason);
    EXPECT_EQ(name, QStringLiteral("NSRangeException"));
    expectRaises<NSRangeException>(
        [] { componentsSeparatedByRegex("abc", ",", 0, RXMakeRange(-1, 1), nullptr); }, reason);
    expectRaises<NSRangeException>(
        [] { componentsSeparatedByRegex("abc", ",", 0, RXMakeRange(4, 0), nullptr); }, reason);
    expectRaises<NSRangeException>(
        [] { componentsSeparatedByRegex("abc", ",", 0, RXMakeRange(2, RXNotFound), nullptr); }, reason);
    expectRaises<NSRangeException>([] { rangeOfRegex("abc", "b", RXMakeRange(RXNotFound, 0)); },
                                   reasonFor("rangeOfRegex:inRange:", "Range or index out of bounds."));
    EXPECT_NO_THROW(componentsSeparatedByRegex("abc", ",", 0, RXMakeRange(3, 0), nullptr));
}

TEST(RegexErrors, NullPatternIsCheckedBeforeRangeAndTemplate) {
    expectRaises<NSInvalidArgumentException>(
        [] {
            stringByReplacingOccurrencesOfRegex("abc", QString(), QString(), 0, RXMakeRange(9, 9), nullptr);
        },
        reasonFor("stringByReplacingOccurrencesOfRegex:withString:options:range:error:",
                  "The regular expression argument is NULL."));
    expectRaises<NSInvalidArgumentException>(
        [] { stringByReplacingOccurrencesOfRegex("abc", "b", QString(), 0, RXMakeRange(9, 9), nullptr); },
        reasonFor("stringByReplacingOccurrencesOfRegex:withString:options:range:error:",
                  "The replacement string argument is NULL."));
}

TEST(RegexErrors, CaptureOutsideTheGroupsRaises) {
    const QString reason = reasonFor("rangeOfRegex:capture:", "The capture argument is not valid.");
    expectRaises<NSInvalidArgumentException>([] { rangeOfRegex("abc", "(b)", 2); }, reason);
    expectRaises<NSInvalidArgumentException>([] { rangeOfRegex("abc", "(b)", -1); }, reason);
    expectRaises<NSInvalidArgumentException>(
        [] { componentsMatchedByRegex("abc", "b", 1); },
        reasonFor("componentsMatchedByRegex:capture:", "The capture argument is not valid."));
    EXPECT_NO_THROW(rangeOfRegex("abc", "(b)", 1));
    // A pattern that does not compile is reported, not its capture.
    EXPECT_NO_THROW(rangeOfRegex("abc", "(b", 5));
}

TEST(RegexErrors, DictionaryArgumentsAreChecked) {
    const char* selector = "dictionaryByMatchingRegex:options:range:error:withKeys:forCaptures:count:";
    const QString keys[] = {"whole", QString()};
    const qsizetype captures[] = {0, 1};
    const qsizetype badCaptures[] = {0, 3};
    const QString namedKeys[] = {"whole", "digit"};
    expectRaises<NSInvalidArgumentException>(
        [&] {
            dictionaryByMatchingRegex("a1", "(\\d)", 0, RXMakeRange(0, 2), nullptr, nullptr, captures, 2);
        },
        reasonFor(selector, "The keys argument is NULL."));
    expectRaises<NSInvalidArgumentException>(
        [&] { dictionaryByMatchingRegex("a1", "(\\d)", 0, RXMakeRange(0, 2), nullptr, keys, nullptr, 2); },
        reasonFor(selector, "The captures argument is NULL."));
    expectRaises<NSInvalidArgumentException>(
        [&] { dictionaryByMatchingRegex("a1", "(\\d)", 0, RXMakeRange(0, 2), nullptr, keys, captures, 2); },
        reasonFor(selector, "The capture key (key 2 of 2) is NULL."));
    expectRaises<NSInvalidArgumentException>(
        [&] {
            dictionaryByMatchingRegex("a1", "(\\d)", 0, RXMakeRange(0, 2), nullptr, namedKeys, badCaptures,
                                      2);
        },
        reasonFor(selector, "The capture argument 3 (capture 2 of 2) for key 'digit' is not valid."));
    expectRaises<NSInvalidArgumentException>(
        [] {
            arrayOfDictionariesByMatchingRegex("a1", "(\\d)", {{"k", -1}});
        },
        reasonFor("arrayOfDictionariesByMatchingRegex:withKeysAndCaptures:",
                  "The capture argument -1 (capture 1 of 1) for key 'k' is not valid."));
}

TEST(RegexErrors, EnumerationOptionsAreChecked) {
    const auto block = [](qsizetype, std::span<const QString>, std::span<const RXRange>, bool&) {};
    const auto replacing = [](qsizetype, std::span<const QString>, std::span<const RXRange>, bool&) {
        return QStringLiteral("x");
    };
    const char* selector =
        "enumerateStringsMatchedByRegex:options:inRange:error:enumerationOptions:usingBlock:";
    const QString reason = reasonFor(selector, "The RXRegexEnumerationOptions argument is not valid.");
    for (RXRegexEnumerationOptions bad : {0x1u, 0x100u, 0x400u, 0xA00u, 0x1000u}) {
        expectRaises<NSInvalidArgumentException>(
            [&] { enumerateStringsMatchedByRegex("ab", "a", 0, RXMakeRange(0, 2), nullptr, bad, block); },
            reason);
    }
    EXPECT_TRUE(enumerateStringsMatchedByRegex("ab", "a", 0, RXMakeRange(0, 2), nullptr, 0x200, block));
    EXPECT_TRUE(enumerateStringsMatchedByRegex("ab", "a", 0, RXMakeRange(0, 2), nullptr, 0x800, block));
    // Releasing the returned string only concerns the replacing enumerations.
    EXPECT_EQ(stringByReplacingOccurrencesOfRegex("ab", "a", 0, RXMakeRange(0, 2), nullptr, 0x400, replacing),
              QStringLiteral("xb"));
    expectRaises<NSInvalidArgumentException>(
        [&] {
            stringByReplacingOccurrencesOfRegex("ab", "a", 0, RXMakeRange(0, 2), nullptr, 0xA00, replacing);
        },
        reasonFor("stringByReplacingOccurrencesOfRegex:options:inRange:error:enumerationOptions:usingBlock:",
                  "The RXRegexEnumerationOptions argument is not valid."));
    expectRaises<NSInvalidArgumentException>(
        [] { enumerateStringsMatchedByRegex("ab", "a", RXEnumerationBlock()); },
        reasonFor("enumerateStringsMatchedByRegex:usingBlock:", "The block argument is NULL."));
}

TEST(RegexErrors, IcuFailureAfterCompilingRaisesRegexException) {
    try {
        stringByReplacingOccurrencesOfRegex("abc", "(b)", "<$5>");
        FAIL() << "nothing was raised";
    } catch (const RXICURegexException& exception) {
        EXPECT_EQ(exception.name(), QStringLiteral("RXICURegexException"));
        const QString message = QStringLiteral("ICU regular expression error #%1, U_INDEX_OUTOFBOUNDS_ERROR.")
                                    .arg(int(U_INDEX_OUTOFBOUNDS_ERROR));
        EXPECT_EQ(exception.reason(),
                  reasonFor("stringByReplacingOccurrencesOfRegex:withString:", "") + message);
        const QVariantMap& userInfo = exception.userInfo();
        EXPECT_EQ(userInfo.value("RXICURegexReplacementString").toString(), QStringLiteral("<$5>"));
        EXPECT_EQ(userInfo.value("RXICURegexSubjectString").toString(), QStringLiteral("abc"));
        EXPECT_EQ(userInfo.value("RXICURegexRegex").toString(), QStringLiteral("(b)"));
        EXPECT_EQ(userInfo.value("RXICURegexErrorCode").toInt(), int(U_INDEX_OUTOFBOUNDS_ERROR));
    }
    // The cache stays usable after an exception left it.
    EXPECT_EQ(stringByReplacingOccurrencesOfRegex("abc", "(b)", "<$1>"), QStringLiteral("a<b>c"));
}

TEST(RegexErrors, BacktrackingOverflowRaisesRegexExceptionAndLeavesTheLockFree) {
    const QString subject(200000, QLatin1Char('a'));
    EXPECT_THROW(isMatchedByRegex(subject, "(a|b)*c"), RXICURegexException);
    EXPECT_TRUE(isMatchedByRegex(subject, "a+"));
}

TEST(RegexErrors, ExceptionsAreCatchableByTheirCommonBase) {
    EXPECT_THROW(rangeOfRegex("abc", "b", RXMakeRange(5, 1)), NSException);
    EXPECT_THROW(rangeOfRegex("abc", "b", RXMakeRange(5, 1)), std::exception);
}
