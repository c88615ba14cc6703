#pragma once

// Internal to the regular-expression routines: argument checks, the locked run of one operation on a
// cached expression, and error reporting.

#include "platform/regex/NSException.h"
#include "platform/regex/RXCachedRegex.h"
#include "platform/regex/RXError.h"
#include "platform/regex/RXRegexCache.h"

#include <QHash>
#include <QStringList>

#include <mutex>
#include <optional>
#include <span>
#include <type_traits>

namespace rx {

struct OpRequest {
    RXCall call;
    const QString& subject;
    const QString& regex;
    RXRegexOptions options;
    RXRange range;
    RXError* error;
    QVariantMap failureInfo = {}; // further user info of an ICU failure
};

[[noreturn]] void raiseInvalidArgument(const RXCall& call, const QString& message);
void checkRegex(const RXCall& call, const QString& regex);
void checkSubjectAndRange(const RXCall& call, const QString& subject, RXRange range);
void checkCapture(const RXCall& call, const RXCachedRegex& entry, qsizetype capture);

inline RXRange wholeRange(const QString& subject) {
    return {0, subject.size()};
}
QString substring(const QString& subject, RXRange range);
QStringList strings(const QString& subject, std::span<const RXRange> ranges);

RXErrorDetails failureDetails(const OpRequest& request, int icuStatus);
void reportCompileFailure(const QString& regex, RXRegexOptions options, const RXCompileFailure& failure,
                          RXError* error);
[[noreturn]] void raiseICUError(const OpRequest& request, int icuStatus);

// Runs `body(entry, status)` under the cache lock on the entry for the request's pattern, set to its
// subject and range. Answers nothing when the pattern does not compile (the error is reported) or when
// ICU refuses the subject and the caller asked for an error object; any other ICU failure is raised.
template <class Body>
auto performRegexOp(const OpRequest& request, Body&& body)
    -> std::optional<std::invoke_result_t<Body, RXCachedRegex&, UErrorCode&>> {
    checkRegex(request.call, request.regex);
    checkSubjectAndRange(request.call, request.subject, request.range);
    const size_t subjectHash = qHash(request.subject);
    RXCompileFailure failure;
    UErrorCode status = U_ZERO_ERROR;
    bool compiled = false;
    bool subjectSet = false;
    std::optional<std::invoke_result_t<Body, RXCachedRegex&, UErrorCode&>> result;
    {
        RXRegexCache& cache = RXRegexCache::shared();
        std::lock_guard guard(cache.lock());
        RXCachedRegex* entry = cache.getCachedRegex(request.regex, request.options, failure);
        compiled = entry != nullptr;
        if (compiled) {
            entry->setToSubject(request.subject, subjectHash, request.range, status);
            subjectSet = U_SUCCESS(status);
            if (subjectSet)
                result = body(*entry, status);
        }
    }
    if (!compiled) {
        reportCompileFailure(request.regex, request.options, failure, request.error);
        return std::nullopt;
    }
    if (!subjectSet && request.error) {
        *request.error = RXMakeError(failureDetails(request, status),
                                     QStringLiteral("The ICU library returned an unexpected error."));
        return std::nullopt;
    }
    if (U_FAILURE(status))
        raiseICUError(request, status);
    return result;
}

} // namespace rx
