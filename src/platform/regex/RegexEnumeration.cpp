// The block forms of the regular-expression routines.

#include "platform/regex/RegexRoutines.h"

#include "platform/regex/RXBlockEnumerationHelper.h"
#include "platform/regex/RXRegexOp.h"

#include <memory>

using rx::OpRequest;
using rx::wholeRange;

namespace {

enum class Kind { Matching, Replacing };

void checkEnumerationOptions(const RXCall& call, RXRegexEnumerationOptions options, Kind kind) {
    RXRegexEnumerationOptions allowed =
        RXRegexEnumerationCapturedStringsNotRequired | RXRegexEnumerationTransientCapturedStrings;
    if (kind == Kind::Replacing)
        allowed |= RXRegexEnumerationReleaseReturnedString;
    const RXRegexEnumerationOptions exclusive =
        RXRegexEnumerationCapturedStringsNotRequired | RXRegexEnumerationTransientCapturedStrings;
    if ((options & ~allowed) != 0 || (options & exclusive) == exclusive)
        rx::raiseInvalidArgument(call,
                                 QStringLiteral("The RXRegexEnumerationOptions argument is not valid."));
}

// Makes the helper under the cache lock, then runs `run(helper, status)` without it. Answers false when
// the pattern did not compile or an ICU failure was turned into an error object.
template <class Run>
bool performEnumeration(const OpRequest& request, RXRegexEnumerationOptions options, Kind kind, bool hasBlock,
                        Run&& run) {
    rx::checkRegex(request.call, request.regex);
    if (!hasBlock)
        rx::raiseInvalidArgument(request.call, QStringLiteral("The block argument is NULL."));
    checkEnumerationOptions(request.call, options, kind);
    OpRequest withOptions = request;
    withOptions.failureInfo.insert(QLatin1String(RXICURegexEnumerationOptionsKey), options);
    UErrorCode status = U_ZERO_ERROR;
    const auto helper = rx::performRegexOp(withOptions, [&](RXCachedRegex& entry, UErrorCode&) {
        return std::make_unique<RXBlockEnumerationHelper>(entry, request.subject, request.range, options,
                                                          status);
    });
    if (!helper)
        return false;
    if (U_SUCCESS(status))
        run(**helper, status);
    if (U_SUCCESS(status))
        return true;
    if (!request.error)
        rx::raiseICUError(withOptions, status);
    *request.error =
        RXMakeError(rx::failureDetails(withOptions, status), QStringLiteral("An unexpected error occurred."));
    return false;
}

bool enumerateMatched(const OpRequest& request, RXRegexEnumerationOptions options,
                      const RXEnumerationBlock& block) {
    return performEnumeration(request, options, Kind::Matching, bool(block),
                              [&](RXBlockEnumerationHelper& helper, UErrorCode& status) {
                                  helper.enumerateMatches(block, status);
                              });
}

bool enumerateSeparated(const OpRequest& request, RXRegexEnumerationOptions options,
                        const RXEnumerationBlock& block) {
    return performEnumeration(request, options, Kind::Matching, bool(block),
                              [&](RXBlockEnumerationHelper& helper, UErrorCode& status) {
                                  helper.enumerateSeparated(block, status);
                              });
}

// The replaced subject and the number of replacements; a null string and -1 on failure.
std::pair<QString, qsizetype> replaceByBlock(const OpRequest& request, RXRegexEnumerationOptions options,
                                             const RXReplacementBlock& block) {
    QString result;
    qsizetype count = 0;
    const bool done = performEnumeration(request, options, Kind::Replacing, bool(block),
                                         [&](RXBlockEnumerationHelper& helper, UErrorCode& status) {
                                             result = helper.replaceMatches(block, count, status);
                                         });
    if (!done)
        return {QString(), -1};
    return {count == 0 ? request.subject : result, count};
}

qsizetype replaceInPlaceByBlock(QString& receiver, const OpRequest& request,
                                RXRegexEnumerationOptions options, const RXReplacementBlock& block) {
    auto [result, count] = replaceByBlock(request, options, block);
    if (count > 0)
        receiver = result;
    return count;
}

} // namespace

bool enumerateStringsMatchedByRegex(const QString& subject, const QString& regex,
                                    const RXEnumerationBlock& block) {
    return enumerateMatched({{'-', "QString", "enumerateStringsMatchedByRegex:usingBlock:"},
                             subject,
                             regex,
                             0,
                             wholeRange(subject),
                             nullptr},
                            0, block);
}

bool enumerateStringsMatchedByRegex(const QString& subject, const QString& regex, RXRegexOptions options,
                                    RXRange range, RXError* error,
                                    RXRegexEnumerationOptions enumerationOptions,
                                    const RXEnumerationBlock& block) {
    return enumerateMatched(
        {{'-', "QString",
          "enumerateStringsMatchedByRegex:options:inRange:error:enumerationOptions:usingBlock:"},
         subject,
         regex,
         options,
         range,
         error},
        enumerationOptions, block);
}

bool enumerateStringsSeparatedByRegex(const QString& subject, const QString& regex,
                                      const RXEnumerationBlock& block) {
    return enumerateSeparated({{'-', "QString", "enumerateStringsSeparatedByRegex:usingBlock:"},
                               subject,
                               regex,
                               0,
                               wholeRange(subject),
                               nullptr},
                              0, block);
}

bool enumerateStringsSeparatedByRegex(const QString& subject, const QString& regex, RXRegexOptions options,
                                      RXRange range, RXError* error,
                                      RXRegexEnumerationOptions enumerationOptions,
                                      const RXEnumerationBlock& block) {
    return enumerateSeparated(
        {{'-', "QString",
          "enumerateStringsSeparatedByRegex:options:inRange:error:enumerationOptions:usingBlock:"},
         subject,
         regex,
         options,
         range,
         error},
        enumerationOptions, block);
}

QString stringByReplacingOccurrencesOfRegex(const QString& subject, const QString& regex,
                                            const RXReplacementBlock& block) {
    return replaceByBlock({{'-', "QString", "stringByReplacingOccurrencesOfRegex:usingBlock:"},
                           subject,
                           regex,
                           0,
                           wholeRange(subject),
                           nullptr},
                          0, block)
        .first;
}

QString stringByReplacingOccurrencesOfRegex(const QString& subject, const QString& regex,
                                            RXRegexOptions options, RXRange range, RXError* error,
                                            RXRegexEnumerationOptions enumerationOptions,
                                            const RXReplacementBlock& block) {
    return replaceByBlock(
               {{'-', "QString",
                 "stringByReplacingOccurrencesOfRegex:options:inRange:error:enumerationOptions:usingBlock:"},
                subject,
                regex,
                options,
                range,
                error},
               enumerationOptions, block)
        .first;
}

qsizetype replaceOccurrencesOfRegex(QString& receiver, const QString& regex,
                                    const RXReplacementBlock& block) {
    const QString subject = receiver;
    return replaceInPlaceByBlock(receiver,
                                 {{'-', "QString", "replaceOccurrencesOfRegex:usingBlock:"},
                                  subject,
                                  regex,
                                  0,
                                  wholeRange(subject),
                                  nullptr},
                                 0, block);
}

qsizetype replaceOccurrencesOfRegex(QString& receiver, const QString& regex, RXRegexOptions options,
                                    RXRange range, RXError* error,
                                    RXRegexEnumerationOptions enumerationOptions,
                                    const RXReplacementBlock& block) {
    const QString subject = receiver;
    return replaceInPlaceByBlock(
        receiver,
        {{'-', "QString", "replaceOccurrencesOfRegex:options:inRange:error:enumerationOptions:usingBlock:"},
         subject,
         regex,
         options,
         range,
         error},
        enumerationOptions, block);
}
